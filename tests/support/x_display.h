#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// An Xvfb server of our own on a display number it picks itself, with an
// optional tray host (trayer) on it. Independent of any QGuiApplication, so it
// can be started before one exists. Children get SIGTERM if we die.
class PrivateXDisplay
{
public:
    PrivateXDisplay() = default;
    ~PrivateXDisplay();
    PrivateXDisplay(const PrivateXDisplay &) = delete;
    PrivateXDisplay &operator=(const PrivateXDisplay &) = delete;

    // Blocks until the server accepts clients (at most about 10 s) and, with
    // withTrayHost, until a tray manager owns _NET_SYSTEM_TRAY_S0.
    bool start(bool withTrayHost, QString *error);
    // Stops the tray host, then the server, and removes the log directory.
    void stop();
    bool isRunning() const;

    // Blocks until the tray manager selection is owned (at most about 10 s).
    bool startTrayHost(QString *error);
    // Kills the tray host and blocks until the selection has no owner, so X
    // clients are told (DestroyNotify of the manager window). False if none ran
    // or the selection stayed owned.
    bool stopTrayHost();
    bool isTrayHostRunning() const;
    // From the server itself, not from our bookkeeping.
    bool isTrayManagerPresent() const;

    // ":N"; empty when not running.
    QString displayName() const { return m_displayName; }
    // True if a window created by process `pid` sits inside one of the tray
    // host's windows, i.e. the tray host accepted it as an icon.
    bool hasWindowEmbeddedInTray(qint64 pid) const;
    // Xvfb's and trayer's stderr, for failure messages.
    QString log() const;

private:
    bool waitForTrayManager(bool present, int timeoutMs) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_trayHost;
    QString m_displayName;
};

// The display that x_test_main started before the QApplication, shared by all
// tests of the program. QT_QPA_PLATFORM=xcb and DISPLAY point at it.
class XDisplayEnvironment
{
public:
    // nullptr outside such a program.
    static PrivateXDisplay *display();
    // ":N", or empty outside such a program.
    static QString displayName();
    // Used by x_test_main only.
    static void setDisplay(PrivateXDisplay *display);
};

// Kills the shared tray host, for tests of the "no tray" path. Qt notices a
// moment later (QSystemTrayIcon::isSystemTrayAvailable() becomes false after
// the event loop has run). Tests that do this must call StartTrayHost() when
// done, since the following tests expect a tray.
bool StopTrayHost();
// Starts it again and waits until the selection is owned; Qt re-docks visible
// icons once it has processed the tray's MANAGER announcement.
bool StartTrayHost();

} // namespace testsupport
