#include "FormLook.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace {
QFont arialBold(qreal pointSize) {
    QFont font(QStringLiteral("Arial"));
    // Arial is rarely installed outside Windows; these share its metrics, so
    // the captions still fit the boxes laid out for it.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Helvetica")});
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}
} // namespace

namespace FormLook {
QFont formFont() {
    return arialBold(9.0);
}

QFont buttonFont() {
    return arialBold(11.25);
}

QColor designedBackground() {
    return QColor(Qt::white);
}

QColor themeColour() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}

void setBackground(QWidget &widget, const QColor &colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void styleButton(QAbstractButton &button) {
    button.setFont(buttonFont());
    // Reachable with Tab on every platform, not only where buttons take focus.
    button.setFocusPolicy(Qt::StrongFocus);
    QPalette palette = button.palette();
    const QPalette system = QGuiApplication::palette();
    palette.setColor(QPalette::Button, designedBackground());
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::ButtonText, system.color(group, QPalette::ButtonText));
    button.setPalette(palette);
}
} // namespace FormLook
