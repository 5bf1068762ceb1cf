#include "ApplyFormColours.h"

#include "FormLook.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

void ApplyFormColours(QWidget &window) {
    const QColor colour = FormLook::themeColour();
    FormLook::setBackground(window, colour);
    // Nested controls (labels inside a frame) count as well.
    const auto children = window.findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child) ||
            qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child))
            FormLook::setBackground(*child, colour);
    }
}
