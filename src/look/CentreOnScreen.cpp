#include "CentreOnScreen.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QStyle>
#include <QWidget>

void CentreOnScreen(QWidget &window) {
    QScreen *screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                           screen->availableGeometry()));
}
