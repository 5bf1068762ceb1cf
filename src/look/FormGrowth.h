#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

// Lets a form drawn at a fixed size grow: each control keeps the place it
// has at the designed size, and takes a share of the extra width and height
// as a move or a stretch. At the designed size nothing moves.
class FormGrowth {
public:
    // Shares of the extra size, from 0 to 1.
    struct Share {
        qreal moveX = 0;
        qreal growX = 0;
        qreal moveY = 0;
        qreal growY = 0;
    };

    // Takes the control's current geometry as its designed place.
    void add(QWidget &control, Share share);
    // Places every control for `extra` pixels beyond the designed size.
    void apply(QSize extra) const;

private:
    struct Entry {
        QPointer<QWidget> control;
        QRect designed;
        Share share;
    };
    QList<Entry> m_entries;
};
