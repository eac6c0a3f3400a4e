#include "error_guard.h"
#include "icons.h"
#include "main_window.h"
#include "product.h"
#include "settings_location.h"
#include "single_instance.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QLatin1String(kCompanyName));
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setApplicationVersion(QLatin1String(kProductVersion));
    QApplication::setWindowIcon(TavolinAppIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tavolin"));

    TSingleInstance instance(SettingsPath());
    bool reached = false;
    if (!instance.Claim(&reached)) {
        if (!reached)
            ShowError(nullptr, QStringLiteral("Tavolin is already running."));
        return 0;
    }

    // Hidden in the tray the window is not "open"; closing a message box then
    // must not end the program. Only closing the main window does.
    QApplication::setQuitOnLastWindowClosed(false);
    TfmMain fmMain;
    QObject::connect(&fmMain, &TfmMain::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&instance, &TSingleInstance::ActivationRequested, &fmMain, &TfmMain::BringToFront);
    if (!fmMain.StartsInTray())
        fmMain.show();
    return app.exec();
}
