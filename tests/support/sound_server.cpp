#include "sound_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace testsupport {

void TieToParent(QProcess &process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have died before prctl() took effect.
        if (::getppid() != parent)
            ::_exit(127);
    });
}

namespace {

bool writeFile(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        *error = u"cannot write %1: %2"_s.arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

PrivateSoundServer::~PrivateSoundServer()
{
    stop();
}

bool PrivateSoundServer::start(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (m_process) {
        *error = u"sound server already started"_s;
        return false;
    }

    // Unix socket paths are limited to 108 bytes; a deep TMPDIR must not break us.
    QString base = QDir::tempPath();
    if (base.size() > 60)
        base = u"/tmp"_s;
    m_dir = std::make_unique<QTemporaryDir>(base + u"/tavolin-pulse-XXXXXX"_s);
    if (!m_dir->isValid()) {
        *error = u"cannot create temporary directory: %1"_s.arg(m_dir->errorString());
        m_dir.reset();
        return false;
    }
    const QDir dir(m_dir->path());
    const QString socket = dir.filePath(u"native"_s);
    const QString clientConf = dir.filePath(u"client.conf"_s);
    const QString script = dir.filePath(u"server.pa"_s);
    const QString home = dir.filePath(u"home"_s);
    const QString runtime = dir.filePath(u"runtime"_s);
    for (const QString &sub : {home, runtime}) {
        if (!dir.mkpath(sub)) {
            *error = u"cannot create %1"_s.arg(sub);
            stop();
            return false;
        }
    }

    const QString sinkArgs = u"load-module module-null-sink sink_name=%1 rate=48000 "
                             "sink_properties=device.description=%2\n"_s;
    const QString scriptText =
        u"load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"_s.arg(socket)
        + sinkArgs.arg(sinkA(), descriptionA()) + sinkArgs.arg(sinkB(), descriptionB())
        + u"set-default-sink %1\n"_s.arg(sinkA());
    if (!writeFile(script, scriptText.toUtf8(), error)
        || !writeFile(clientConf, QByteArrayLiteral("autospawn = no\n"), error)) {
        stop();
        return false;
    }

    // Everything the daemon and its probe could find of the user's own sound
    // setup is either removed or redirected into our directory.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"PULSE_SERVER"_s, u"PULSE_SINK"_s, u"PULSE_SOURCE"_s, u"PULSE_COOKIE"_s,
                                u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"LISTEN_FDS"_s, u"LISTEN_PID"_s,
                                u"LISTEN_FDNAMES"_s})
        env.remove(name);
    env.insert(u"HOME"_s, home);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
    env.insert(u"PULSE_RUNTIME_PATH"_s, dir.filePath(u"pulse-runtime"_s));
    env.insert(u"PULSE_STATE_PATH"_s, dir.filePath(u"pulse-state"_s));
    env.insert(u"PULSE_CLIENTCONFIG"_s, clientConf);
    // A reachable session bus would make the daemon claim org.PulseAudio1 there,
    // which fails (and ends the daemon) when the user's own server holds it.
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=%1"_s.arg(dir.filePath(u"no-bus"_s)));

    m_process = std::make_unique<QProcess>();
    m_process->setProcessEnvironment(env);
    m_process->setWorkingDirectory(m_dir->path());
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    // A file, not a pipe: nobody has to drain it while tests run.
    m_process->setStandardErrorFile(dir.filePath(u"pulseaudio.log"_s));
    TieToParent(*m_process);
    m_process->start(u"pulseaudio"_s,
                     {u"--daemonize=no"_s, u"--system=no"_s, u"-n"_s, u"--exit-idle-time=-1"_s,
                      u"--use-pid-file=no"_s, u"--disable-shm=yes"_s, u"--realtime=no"_s,
                      u"--high-priority=no"_s, u"--log-target=stderr"_s, u"-F"_s, script});
    if (!m_process->waitForStarted(5000)) {
        *error = u"cannot run pulseaudio: %1"_s.arg(m_process->errorString());
        stop();
        return false;
    }

    m_address = u"unix:"_s + socket;
    const QDeadlineTimer deadline(10000);
    QString probeOutput;
    for (;;) {
        if (QFile::exists(socket)) {
            QProcess probe;
            probe.setProcessEnvironment(env);
            probe.setProcessChannelMode(QProcess::MergedChannels);
            TieToParent(probe);
            probe.start(u"pactl"_s, {u"-s"_s, m_address, u"info"_s});
            if (probe.waitForFinished(2000)) {
                probeOutput = QString::fromLocal8Bit(probe.readAll());
                if (probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
                    break;
            } else {
                probe.kill();
                probe.waitForFinished(1000);
            }
        }
        if (deadline.hasExpired()) {
            *error = u"pulseaudio did not answer within 10 s; pactl said:\n%1\nserver log:\n%2"_s.arg(
                probeOutput, log());
            stop();
            return false;
        }
        // Also how we learn that it died: state() is only updated by waitFor*() or an event loop.
        if (m_process->waitForFinished(50)) {
            *error = u"pulseaudio exited during start-up:\n%1"_s.arg(log());
            stop();
            return false;
        }
    }
    if (!probeOutput.contains(u"Default Sink: "_s + sinkA())) {
        *error = u"pulseaudio runs, but its default sink is not %1:\n%2"_s.arg(sinkA(), probeOutput);
        stop();
        return false;
    }

    setVariable("PULSE_SERVER", m_address.toLocal8Bit());
    setVariable("PULSE_CLIENTCONFIG", clientConf.toLocal8Bit());
    setVariable("SDL_AUDIODRIVER", QByteArrayLiteral("pulseaudio"));
    // The user's choice of device would send our streams to a sink we do not have.
    setVariable("PULSE_SINK", std::nullopt);
    setVariable("PULSE_SOURCE", std::nullopt);
    return true;
}

void PrivateSoundServer::setVariable(const char *name, const std::optional<QByteArray> &value)
{
    SavedVariable saved{QByteArray(name), std::nullopt};
    if (qEnvironmentVariableIsSet(name))
        saved.value = qgetenv(name);
    m_saved.push_back(saved);
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

void PrivateSoundServer::stop()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->value)
            qputenv(it->name.constData(), *it->value);
        else
            qunsetenv(it->name.constData());
    }
    m_saved.clear();

    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                std::fprintf(stderr, "pulseaudio ignored SIGTERM, killing it\n");
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
        m_process.reset();
    }
    m_address.clear();
    m_dir.reset();
}

bool PrivateSoundServer::isRunning() const
{
    // waitForFinished(0) notices an exit that no event loop has reported yet.
    return m_process && m_process->state() != QProcess::NotRunning && !m_process->waitForFinished(0);
}

QString PrivateSoundServer::log() const
{
    if (!m_dir)
        return {};
    QFile file(QDir(m_dir->path()).filePath(u"pulseaudio.log"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

namespace {
std::unique_ptr<PrivateSoundServer> g_server;
}

void SoundServerEnvironment::SetUp()
{
    auto server = std::make_unique<PrivateSoundServer>();
    QString error;
    if (!server->start(&error)) {
        std::fprintf(stderr, "cannot start the private sound server: %s\n", qPrintable(error));
        GTEST_FAIL() << "cannot start the private sound server: " << error.toStdString();
    }
    g_server = std::move(server);
}

void SoundServerEnvironment::TearDown()
{
    // Here, not at static destruction: QCoreApplication still exists.
    g_server.reset();
}

PrivateSoundServer *SoundServerEnvironment::server()
{
    return g_server.get();
}

SoundServerEnvironment *UseSoundServer()
{
    static auto *const environment = static_cast<SoundServerEnvironment *>(
        ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment));
    return environment;
}

} // namespace testsupport
