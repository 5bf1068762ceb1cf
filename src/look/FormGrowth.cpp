#include "FormGrowth.h"

#include <cmath>

void FormGrowth::add(QWidget &control, Share share) {
    m_entries.append({&control, control.geometry(), share});
}

void FormGrowth::apply(QSize extra) const {
    const int dx = std::max(0, extra.width());
    const int dy = std::max(0, extra.height());
    auto part = [](int amount, qreal share) {
        return static_cast<int>(std::lround(amount * share));
    };
    for (const Entry &entry : m_entries) {
        if (!entry.control)
            continue;
        // Moves and widths are rounded from the same shares, so that two
        // halves side by side still meet.
        const int left = entry.designed.left() + part(dx, entry.share.moveX);
        const int right = entry.designed.right() + part(dx, entry.share.moveX + entry.share.growX);
        const int top = entry.designed.top() + part(dy, entry.share.moveY);
        const int bottom =
            entry.designed.bottom() + part(dy, entry.share.moveY + entry.share.growY);
        entry.control->setGeometry(QRect(QPoint(left, top), QPoint(right, bottom)));
    }
}
