#include "x_display.h"

#include "sound_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace testsupport {

namespace {

constexpr int kStartTimeoutMs = 10000;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// A short-lived client connection of our own, so nothing here depends on (or
// disturbs) the application's connection.
class Connection
{
public:
    explicit Connection(const QString &display)
        : m_c(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
    }
    ~Connection() { xcb_disconnect(m_c); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // xcb_connect() never returns null; failures show up here.
    bool ok() const { return xcb_connection_has_error(m_c) == 0; }
    xcb_connection_t *get() const { return m_c; }

    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root; }

    xcb_atom_t atom(const char *name) const
    {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(qstrlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    xcb_window_t selectionOwner(xcb_atom_t selection) const
    {
        Reply<xcb_get_selection_owner_reply_t> reply(
            xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, selection), nullptr));
        return reply ? reply->owner : xcb_window_t(XCB_NONE);
    }

    std::vector<xcb_window_t> children(xcb_window_t window) const
    {
        Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr));
        if (!reply)
            return {};
        const xcb_window_t *first = xcb_query_tree_children(reply.get());
        return {first, first + xcb_query_tree_children_length(reply.get())};
    }

    // _NET_WM_PID, or -1 when the window has none (or is gone).
    qint64 pid(xcb_window_t window, xcb_atom_t pidAtom) const
    {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
            return -1;
        return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    }

private:
    xcb_connection_t *m_c;
};

bool hasWindowOf(const Connection &c, xcb_window_t window, qint64 pid, xcb_atom_t pidAtom)
{
    for (xcb_window_t child : c.children(window)) {
        if (c.pid(child, pidAtom) == pid || hasWindowOf(c, child, pid, pidAtom))
            return true;
    }
    return false;
}

void endProcess(std::unique_ptr<QProcess> &process, const char *name)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            std::fprintf(stderr, "%s ignored SIGTERM, killing it\n", name);
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

bool hasExited(QProcess &process)
{
    // waitForFinished(0) notices an exit that no event loop has reported yet.
    return process.state() == QProcess::NotRunning || process.waitForFinished(0);
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

} // namespace

PrivateXDisplay::~PrivateXDisplay()
{
    stop();
}

bool PrivateXDisplay::start(bool withTrayHost, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (m_server) {
        *error = u"X display already started"_s;
        return false;
    }

    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/tavolin-x-XXXXXX"_s);
    if (!m_dir->isValid()) {
        *error = u"cannot create temporary directory: %1"_s.arg(m_dir->errorString());
        m_dir.reset();
        return false;
    }

    m_server = std::make_unique<QProcess>();
    m_server->setStandardInputFile(QProcess::nullDevice());
    // stdout carries the display number (-displayfd 1); stderr goes to a file
    // so that nobody has to drain it.
    m_server->setStandardErrorFile(QDir(m_dir->path()).filePath(u"xvfb.log"_s));
    TieToParent(*m_server);
    // -noreset: otherwise the server resets whenever its last client leaves,
    // e.g. between our probe and the first real client.
    m_server->start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x800x24"_s,
                                 u"-nolisten"_s, u"tcp"_s, u"-noreset"_s});
    if (!m_server->waitForStarted(5000)) {
        *error = u"cannot run Xvfb: %1"_s.arg(m_server->errorString());
        stop();
        return false;
    }

    const QDeadlineTimer deadline(kStartTimeoutMs);
    QByteArray number;
    for (;;) {
        // Read first: hasExited() may already have buffered what Xvfb wrote.
        number += m_server->readAllStandardOutput();
        if (number.endsWith('\n'))
            break;
        if (deadline.hasExpired() || hasExited(*m_server)) {
            *error = u"Xvfb gave no display number within %1 ms:\n%2"_s.arg(kStartTimeoutMs).arg(log());
            stop();
            return false;
        }
        m_server->waitForReadyRead(50);
    }
    bool isNumber = false;
    number.trimmed().toInt(&isNumber);
    if (!isNumber) {
        *error = u"Xvfb wrote \"%1\" instead of a display number"_s.arg(QString::fromLocal8Bit(number));
        stop();
        return false;
    }
    m_displayName = u":"_s + QString::fromLatin1(number.trimmed());

    for (;;) {
        if (Connection(m_displayName).ok())
            break;
        if (deadline.hasExpired() || hasExited(*m_server)) {
            *error = u"Xvfb on %1 did not accept clients within %2 ms:\n%3"_s.arg(m_displayName)
                         .arg(kStartTimeoutMs)
                         .arg(log());
            stop();
            return false;
        }
        QThread::msleep(20);
    }

    if (withTrayHost && !startTrayHost(error)) {
        stop();
        return false;
    }
    return true;
}

bool PrivateXDisplay::startTrayHost(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!isRunning()) {
        *error = u"no X display to start a tray host on"_s;
        return false;
    }
    if (isTrayHostRunning()) {
        *error = u"tray host already running"_s;
        return false;
    }
    m_trayHost.reset();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_displayName);
    // Nothing of the user's desktop session may load into it.
    for (const QString &name : {u"WAYLAND_DISPLAY"_s, u"GTK_MODULES"_s, u"DBUS_SESSION_BUS_ADDRESS"_s})
        env.remove(name);
    env.insert(u"NO_AT_BRIDGE"_s, u"1"_s);

    m_trayHost = std::make_unique<QProcess>();
    m_trayHost->setProcessEnvironment(env);
    m_trayHost->setStandardInputFile(QProcess::nullDevice());
    m_trayHost->setStandardOutputFile(QProcess::nullDevice());
    m_trayHost->setStandardErrorFile(QDir(m_dir->path()).filePath(u"trayer.log"_s), QIODevice::Append);
    TieToParent(*m_trayHost);
    m_trayHost->start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                                    u"request"_s, u"--height"_s, u"24"_s, u"--transparent"_s, u"false"_s});
    if (!m_trayHost->waitForStarted(5000)) {
        *error = u"cannot run trayer: %1"_s.arg(m_trayHost->errorString());
        m_trayHost.reset();
        return false;
    }
    if (!waitForTrayManager(true, kStartTimeoutMs)) {
        *error = u"trayer did not become the tray manager of %1 within %2 ms:\n%3"_s.arg(m_displayName)
                     .arg(kStartTimeoutMs)
                     .arg(log());
        endProcess(m_trayHost, "trayer");
        return false;
    }
    return true;
}

bool PrivateXDisplay::stopTrayHost()
{
    if (!m_trayHost)
        return false;
    const bool wasRunning = !hasExited(*m_trayHost);
    endProcess(m_trayHost, "trayer");
    // The server clears the selection when trayer's connection closes, which
    // may be a little after the process has been reaped.
    return wasRunning && waitForTrayManager(false, 5000);
}

bool PrivateXDisplay::isTrayHostRunning() const
{
    return m_trayHost && !hasExited(*m_trayHost);
}

bool PrivateXDisplay::isTrayManagerPresent() const
{
    if (!isRunning())
        return false;
    const Connection c(m_displayName);
    return c.ok() && c.selectionOwner(c.atom("_NET_SYSTEM_TRAY_S0")) != XCB_NONE;
}

bool PrivateXDisplay::waitForTrayManager(bool present, int timeoutMs) const
{
    const Connection c(m_displayName);
    if (!c.ok())
        return false;
    const xcb_atom_t selection = c.atom("_NET_SYSTEM_TRAY_S0");
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if ((c.selectionOwner(selection) != XCB_NONE) == present)
            return true;
        if (deadline.hasExpired() || (present && !isTrayHostRunning()))
            return false;
        QThread::msleep(20);
    }
}

bool PrivateXDisplay::hasWindowEmbeddedInTray(qint64 pid) const
{
    if (!isTrayHostRunning())
        return false;
    const qint64 trayPid = m_trayHost->processId();
    const Connection c(m_displayName);
    if (!c.ok())
        return false;
    const xcb_atom_t pidAtom = c.atom("_NET_WM_PID");
    for (xcb_window_t topLevel : c.children(c.root())) {
        if (c.pid(topLevel, pidAtom) == trayPid && hasWindowOf(c, topLevel, pid, pidAtom))
            return true;
    }
    return false;
}

void PrivateXDisplay::stop()
{
    endProcess(m_trayHost, "trayer");
    endProcess(m_server, "Xvfb");
    m_displayName.clear();
    m_dir.reset();
}

bool PrivateXDisplay::isRunning() const
{
    return m_server && !hasExited(*m_server);
}

QString PrivateXDisplay::log() const
{
    if (!m_dir)
        return {};
    const QDir dir(m_dir->path());
    return u"--- Xvfb:\n"_s + readFile(dir.filePath(u"xvfb.log"_s)) + u"--- trayer:\n"_s
        + readFile(dir.filePath(u"trayer.log"_s));
}

namespace {
PrivateXDisplay *g_display = nullptr;
}

PrivateXDisplay *XDisplayEnvironment::display()
{
    return g_display;
}

QString XDisplayEnvironment::displayName()
{
    return g_display ? g_display->displayName() : QString();
}

void XDisplayEnvironment::setDisplay(PrivateXDisplay *display)
{
    g_display = display;
}

bool StopTrayHost()
{
    return g_display && g_display->stopTrayHost();
}

bool StartTrayHost()
{
    if (!g_display)
        return false;
    QString error;
    if (!g_display->startTrayHost(&error)) {
        std::fprintf(stderr, "cannot start the tray host: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace testsupport
