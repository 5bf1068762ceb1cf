#pragma once

class QWidget;

// Gives the window, its frames, labels, check boxes and option buttons the
// theme colour (the button face). Text boxes, lists and push buttons keep theirs.
void ApplyFormColours(QWidget &window);
