#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The names decide every per-user folder.
    QApplication::setApplicationName(QStringLiteral("Varemo"));
    QApplication::setOrganizationName(QStringLiteral("VELMAR OSTRAND"));
    QMainWindow window;
    window.show();
    return app.exec();
}
