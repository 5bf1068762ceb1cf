#pragma once

#include "feed/FileDialogService.h"

// Answers every file dialog with the path given on the command line.
class FixedPathDialogs : public FileDialogService {
public:
    explicit FixedPathDialogs(QString path)
        : m_path(std::move(path)) {}

    QString saveFileName(const Settings &) override { return m_path; }
    QString openFileName(const Settings &) override { return m_path; }

private:
    QString m_path;
};
