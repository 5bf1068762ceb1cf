#pragma once

#include "look/FormGrowth.h"
#include "model/ChannelField.h"

#include <QSize>
#include <QWidget>
#include <array>

class HoverCursorRule;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

// The designed form (`Form1`): the eight command buttons, the twelve
// podcast boxes with their captions in "Podcast Info", and the episode list
// in "Episode(s)". It starts at its designed size, which is also its least;
// a larger window gives the extra width to the wide boxes and the list, and
// the extra height to the list.
class MainForm : public QWidget {
    Q_OBJECT

public:
    explicit MainForm(HoverCursorRule &hover, QWidget *parent = nullptr);

    static QSize designedSize();

    QLineEdit *field(int index) const { return m_fields[index]; }
    const std::array<QLineEdit *, ChannelField::Count> &fields() const { return m_fields; }
    QLabel *caption(int index) const { return m_labels[index]; }
    // By button number, 1 to 8.
    QPushButton *button(int number) const { return m_buttons[number]; }
    QTreeView *list() const { return m_list; }
    QGroupBox *podcastFrame() const { return m_podcastFrame; }
    QGroupBox *episodeFrame() const { return m_episodeFrame; }

    // The list's tooltip: the drop and double-click hints.
    static QString listToolTip();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildFrames(HoverCursorRule &hover);
    void buildFields();
    void buildList(HoverCursorRule &hover);
    void buildButtons(HoverCursorRule &hover);
    void chainTabOrder();
    void planGrowth();

    std::array<QLineEdit *, ChannelField::Count> m_fields{};
    std::array<QLabel *, ChannelField::Count> m_labels{};
    std::array<QPushButton *, 9> m_buttons{}; // by button number; 0 unused
    QGroupBox *m_podcastFrame = nullptr;
    QGroupBox *m_episodeFrame = nullptr;
    QTreeView *m_list = nullptr;
    FormGrowth m_growth;
};
