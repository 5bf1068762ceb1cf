#include "FormFrame.h"

#include <QPainter>

FormFrame::FormFrame(const QString &title, QWidget *parent)
    : QGroupBox(title, parent) {}

void FormFrame::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;
    const QRect inside = rect().adjusted(0, lineY, -1, -1);

    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRoundedRect(inside, 2, 2);

    if (!title().isEmpty()) {
        const int textWidth = metrics.horizontalAdvance(title());
        const QRect caption(8, 0, textWidth + 4, metrics.height());
        painter.fillRect(caption, palette().color(QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }
}
