#pragma once

#include "feed/FileDialogService.h"

class QWidget;

// FileDialogService over QFileDialog.
class QtFileDialogs : public FileDialogService {
public:
    explicit QtFileDialogs(QWidget *parent = nullptr)
        : m_parent(parent) {}

    void setParent(QWidget *parent) { m_parent = parent; }

    QString saveFileName(const Settings &settings) override;
    QString openFileName(const Settings &settings) override;
    QStringList openFileNames(const Settings &settings) override;

    // "Desc (*.xml)|*.xml|All (*.*)|*.*" becomes "Desc (*.xml);;All (*.*)": Qt
    // reads the patterns from the parentheses of each description.
    static QString toQtFilter(const QString &filter);

private:
    QString run(const Settings &settings, bool save);

    QWidget *m_parent;
};
