#pragma once

#include <QRect>

class QLabel;
class QPushButton;
class QWidget;

// The windows are placed in twips for Arial. Where the font actually found is
// wider (DejaVu Sans when Liberation Sans is missing), these measure the text
// and make room for it; a caption that fits keeps its designed place.
namespace CaptionFit {
// Free pixels kept between the end of a caption and the box it names.
inline constexpr int Gap = 1;

// Places the caption at its designed place, widened to its text and, where
// the font runs taller, grown evenly about the designed middle.
void placeLabel(QLabel &label, const QRect &designed);

// Moves the box's left edge clear of its caption, keeping its right edge.
void keepBoxClear(QWidget &box, const QLabel &caption);

// Shrinks the button's font until its caption fits the button.
void fitButton(QPushButton &button);
} // namespace CaptionFit
