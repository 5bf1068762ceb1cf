#include "app/ApplicationIcon.h"
#include "app/MainWindow.h"
#include "feed/BuildDate.h"
#include "platform/MessageBoxes.h"
#include "platform/QtDesktopShell.h"
#include "platform/QtFileDialogs.h"

#include "BuildConfig.h"

#include <QApplication>
#include <QByteArrayView>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {
void describe(QCommandLineParser &parser) {
    parser.setApplicationDescription(QStringLiteral("Brindlewood Feed Editor Tool"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A feed file to load."),
                                 QStringLiteral("[file]"));
}

bool asksForHelpOrVersion(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "--version" || arg == "-v")
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char *argv[]) {
    // Answered before the window system is reached, so they work without a display.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::Version));
        QCommandLineParser parser;
        describe(parser);
        parser.process(core);
        return EXIT_SUCCESS;
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    QApplication::setApplicationVersion(QString::fromUtf8(BuildConfig::Version));

    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    // The parser passes a lone "-" on as a name; only after "--" is that meant.
    if (!files.isEmpty() && files.first().startsWith(u'-') &&
        !QApplication::arguments().contains(QStringLiteral("--"))) {
        std::fprintf(stderr, "%s: Unknown option '%s'.\n",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(files.first()));
        return EXIT_FAILURE;
    }

    MessageBoxes boxes;
    QtFileDialogs dialogs;
    QtDesktopShell shell;
    MainWindow window(MainWindowServices{boxes, boxes, dialogs, shell, BuildDate::systemNow});
    boxes.setParent(&window);
    dialogs.setParent(&window);
    window.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, path = files.first()] { window.openFeed(path); });
    return app.exec();
}
