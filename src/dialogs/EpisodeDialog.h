#pragma once

#include "look/FormGrowth.h"
#include "model/Episode.h"
#include "model/EpisodeColumn.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class EpisodeBoxHelp;
class ErrorReporter;
class FileDialogService;
class MoreTagsDialog;
class QAction;
class HoverCursorRule;
class LargerTextDialog;
class MessageService;
class PodcastDocument;
class QLabel;
class QLineEdit;
class QPushButton;

// The modal dialog in which one episode is typed: thirteen boxes, one per
// column, "Save" and "Cancel". Its caption tells the mode: exactly "Add New
// Episode" appends a row, anything else rewrites the selected row.
class EpisodeDialog : public QDialog {
    Q_OBJECT

public:
    static QString addCaption();
    static QString editCaption();
    // The size it is drawn at, and its least.
    static QSize designedSize();

    // selectedEpisode is the row an edit rewrites (0: none selected); parent
    // is the window the dialog belongs to and stays above.
    EpisodeDialog(PodcastDocument &document, qsizetype selectedEpisode, MessageService &messages,
                  ErrorReporter &errors, const QString &applicationFolder,
                  QWidget *parent = nullptr);
    ~EpisodeDialog() override;

    QString field(int column) const;
    void setField(int column, const QString &text);
    bool isAddMode() const;

    QLineEdit *box(int column) const { return m_boxes[column]; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

    EpisodeBoxHelp *help() const { return m_help; }
    QAction *moreTagsAction() const { return m_moreTags; }
    // "From Media File…" asks through these (the platform's own by default).
    void setFileDialogs(FileDialogService &dialogs);

    // The episode's kept content as Save will write it: what More Tags
    // confirmed, else what the episode held.
    QByteArray extra() const;
    // A GUID made here is no address: the saved item says isPermaLink="false".
    void markGuidNotPermaLink();
    // Opens More Tags for this episode; tests run the modal dialog themselves.
    void openMoreTags();
    // Opens More Tags, with the cursor on `tag`, once the dialog shows: a
    // finding about an episode's tag leads there.
    void openMoreTagsOnShow(const QString &tag) { m_moreTagsOnShow = tag; }
    void setMoreTagsRunner(std::function<int(MoreTagsDialog &)> run) {
        m_runMoreTags = std::move(run);
    }
    // The same for "Edit in a Larger Box…".
    void setLargerTextRunner(std::function<int(LargerTextDialog &)> run) {
        m_runLargerText = std::move(run);
    }

    // What "Save" made: the episode, the row it is for (one past the last
    // when it is new) and the document's prefixes with those its tags need.
    // Nothing until Save went through; the dialog never changes the document.
    struct Saved {
        Episode episode;
        qsizetype number = 0;
        bool added = false;
        QList<std::pair<QString, QString>> namespaces;
    };
    const std::optional<Saved> &saved() const { return m_saved; }

    // Escape, the close box and "Cancel" all end here.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void planGrowth();
    void load(const QString &applicationFolder);
    void save();

    PodcastDocument &m_document;
    qsizetype m_selectedEpisode;
    MessageService &m_messages;
    ErrorReporter &m_errors;
    QPointer<QWidget> m_owner;
    std::array<QLineEdit *, EpisodeColumn::Count> m_boxes{};
    std::array<QLabel *, EpisodeColumn::Count> m_labels{};
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    HoverCursorRule *m_hover = nullptr;
    QAction *m_moreTags = nullptr;
    EpisodeBoxHelp *m_help = nullptr;
    std::unique_ptr<FileDialogService> m_ownFileDialogs;
    std::function<int(MoreTagsDialog &)> m_runMoreTags;
    std::function<int(LargerTextDialog &)> m_runLargerText;
    FormGrowth m_growth;
    bool m_extraEdited = false;
    QByteArray m_extra;
    QList<std::pair<QString, QString>> m_addedNamespaces;
    std::optional<Saved> m_saved;
    QString m_moreTagsOnShow;
    QString m_moreTagsCursorTag;
};
