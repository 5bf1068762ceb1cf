#pragma once

#include <QColor>
#include <QFont>

class QAbstractButton;
class QWidget;

// The look both windows are designed with: white backgrounds, Arial 9 pt bold,
// push buttons in Arial 11.25 pt bold on white.
namespace FormLook {
QFont formFont();
QFont buttonFont();

// The designed background (white) and the theme colour the skin and the form
// colours switch to (the platform's button face).
QColor designedBackground();
QColor themeColour();

// Paints the widget's own background in the colour, whatever its parent shows.
void setBackground(QWidget &widget, const QColor &colour);

// Caption font and colours of a push button.
void styleButton(QAbstractButton &button);
} // namespace FormLook
