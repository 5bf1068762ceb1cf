#include "QtFileDialogs.h"

#include <QFileDialog>
#include <QStringList>

QString QtFileDialogs::toQtFilter(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        const QString patterns = i + 1 < parts.size()
                                     ? QString(parts.at(i + 1)).replace(u';', u' ').simplified()
                                     : QString();
        if (patterns.isEmpty()) {
            if (!description.isEmpty())
                entries.append(description);
            continue;
        }
        // Qt reads the patterns from the parentheses, so the pattern part
        // replaces whatever the description shows there.
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        if (description.isEmpty())
            description = patterns;
        entries.append(description + QStringLiteral(" (") + patterns + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtFileDialogs::saveFileName(const Settings &settings) {
    return run(settings, true);
}

QString QtFileDialogs::openFileName(const Settings &settings) {
    return run(settings, false);
}

QStringList QtFileDialogs::openFileNames(const Settings &settings) {
    QFileDialog dialog(m_parent, settings.title, QString(), toQtFilter(settings.filter));
    dialog.setObjectName(QStringLiteral("openFilesDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtFileDialogs::run(const Settings &settings, bool save) {
    QFileDialog dialog(m_parent, settings.title, QString(), toQtFilter(settings.filter));
    dialog.setObjectName(save ? QStringLiteral("saveDialog") : QStringLiteral("openDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!settings.fileName.isEmpty())
        dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}
