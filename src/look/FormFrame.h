#pragma once

#include <QGroupBox>

// A group box as the windows are designed with: a thin border with the caption
// on its top line, filled with the frame's own background colour (white, or
// the theme colour once a skin applies) rather than the style's tint.
class FormFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit FormFrame(const QString &title, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
