#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setObjectName(QStringLiteral("Form1"));
    window.setWindowTitle(QStringLiteral("Brindlewood Feed Editor Tool"));
    window.show();
    return app.exec();
}
