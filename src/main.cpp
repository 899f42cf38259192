#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvan"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tolvan"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
