#include "app/ApplicationIcon.h"
#include "app/MainWindow.h"
#include "feed/BuildDate.h"
#include "platform/MessageBoxes.h"
#include "platform/QtDesktopShell.h"
#include "platform/QtFileDialogs.h"

#include "BuildConfig.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::Version));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brindlewood Feed Editor Tool"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A feed file to load."),
                                 QStringLiteral("[file]"));
    parser.process(app);

    MessageBoxes boxes;
    QtFileDialogs dialogs;
    QtDesktopShell shell;
    MainWindow window(MainWindowServices{boxes, boxes, dialogs, shell, BuildDate::systemNow});
    boxes.setParent(&window);
    dialogs.setParent(&window);
    window.show();
    if (const QStringList files = parser.positionalArguments(); !files.isEmpty())
        QTimer::singleShot(0, &window, [&window, path = files.first()] { window.openFeed(path); });
    return app.exec();
}
