// Main for tests that need a real X server with a tray host: both are started
// before the QApplication, which must connect to them from its first moment.
#include "x_display.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    // gtest first, so Qt never sees --gtest_* options.
    ::testing::InitGoogleTest(&argc, argv);

    testsupport::PrivateXDisplay display;
    QString error;
    if (!display.start(true, &error)) {
        std::fprintf(stderr, "cannot start the private X display: %s\n", qPrintable(error));
        return 1;
    }

    // Overrides ctest's or the caller's choice: these tests mean xcb on our server.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb"));
    qputenv("DISPLAY", display.displayName().toLocal8Bit());
    qunsetenv("WAYLAND_DISPLAY");
    // A desktop platform theme, or a StatusNotifier host on the user's session
    // bus, would take the icon away from our tray host.
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qunsetenv("XDG_CURRENT_DESKTOP");
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("unix:path=/dev/null/no-bus"));

    int result = 1;
    {
        QApplication app(argc, argv);
        if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000)) {
            std::fprintf(stderr, "Qt sees no system tray on %s although trayer owns it:\n%s\n",
                         qPrintable(display.displayName()), qPrintable(display.log()));
            return 1;
        }
        testsupport::XDisplayEnvironment::setDisplay(&display);
        result = RUN_ALL_TESTS();
        testsupport::XDisplayEnvironment::setDisplay(nullptr);
    }
    // Only now: the QApplication's connection must not outlive the server.
    display.stop();
    return result;
}
