#pragma once

class QWidget;

// Moves a top-level window to the middle of the screen it will open on.
void CentreOnScreen(QWidget &window);
