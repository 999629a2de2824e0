// velmora: the desktop program.

#include <QApplication>
#include <QMainWindow>
#include <QScreen>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("QUNT"));
    frame.resize(600, 600);
    frame.show();
    return app.exec();
}
