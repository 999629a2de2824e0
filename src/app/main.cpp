// velmora: the desktop program.

#include "app/ViewerApp.h"
#include "platform/TemporaryFiles.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

int main(int argc, char** argv) {
    velmora::TemporaryFiles::removeOnTerminationSignals();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));

    velmora::ViewerApp viewer;
    viewer.initInstance();
    // A model named on the command line opens as if chosen with File > Open.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) viewer.openAtStart(QFile::encodeName(arguments.at(1)).toStdString());
    return app.exec();
}
