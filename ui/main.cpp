#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Kestrane"));
    QApplication::setApplicationName(QStringLiteral("Tavolin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVOLIN_VERSION));
    TfmMain fmMain;
    fmMain.show();
    return app.exec();
}
