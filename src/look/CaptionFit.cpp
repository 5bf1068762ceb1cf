#include "CaptionFit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {
// Below this a caption is no longer comfortable to read; it is the smallest
// size the fallback fonts need for the longest caption.
constexpr qreal SmallestButtonPoints = 8.0;
constexpr qreal ShrinkStep = 0.25;

int buttonWidthFor(const QPushButton &button, const QFont &font) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.fontMetrics = QFontMetrics(font);
    option.text = button.text();
    if (button.autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button.isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    const QFontMetrics metrics(font);
    const QSize text(metrics.horizontalAdvance(button.text()), metrics.height());
    return button.style()->sizeFromContents(QStyle::CT_PushButton, &option, text, &button).width();
}
} // namespace

namespace CaptionFit {
void placeLabel(QLabel &label, const QRect &designed) {
    const QFontMetrics metrics(label.font());
    const int textWidth =
        std::max(metrics.horizontalAdvance(label.text()), label.sizeHint().width());
    QRect rect = designed;
    rect.setWidth(std::max(designed.width(), textWidth + 1));
    const int height = std::max(designed.height(), label.sizeHint().height());
    rect.moveTop(designed.top() - (height - designed.height()) / 2);
    rect.setHeight(height);
    label.setGeometry(rect);
}

void keepBoxClear(QWidget &box, const QLabel &caption) {
    const int clearLeft = caption.geometry().right() + 1 + Gap;
    QRect rect = box.geometry();
    if (rect.left() >= clearLeft)
        return;
    rect.setLeft(clearLeft);
    box.setGeometry(rect);
}

void fitButton(QPushButton &button) {
    QFont font = button.font();
    while (buttonWidthFor(button, font) > button.width() &&
           font.pointSizeF() - ShrinkStep >= SmallestButtonPoints)
        font.setPointSizeF(font.pointSizeF() - ShrinkStep);
    if (font != button.font())
        button.setFont(font);
}
} // namespace CaptionFit
