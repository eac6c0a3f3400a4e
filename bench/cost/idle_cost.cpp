// Idle cost of the unchanged tavolin binary with 1,000 events, none due, the
// schedule running and nothing playing: CPU over 60 s and RSS growth. The
// copies run side by side: one with no sound server (no audio output at all),
// one with its outputs ready on a private PulseAudio server (closed while quiet), and one on SDL's
// dummy driver, where a box about device 2 stays open over the unshown window.

#include "cost_common.h"

#include "sound_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

constexpr int kEvents = 1000;
constexpr int kSettleSeconds = 8; // past the 4 s after which a quiet output closes
constexpr int kWindowSeconds = 60;

struct Copy {
    std::string label;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> process;
    int pid = 0;
    long long ticksAtStart = 0;
    std::map<std::string, cost::ThreadReading> threadsAtStart;
    std::vector<long long> rssKb; // every 5 s from the start of the window
};

// The daemon this program started: our child named pulseaudio.
int FindSoundServerPid()
{
    const std::string self = std::to_string(getpid());
    DIR *d = opendir("/proc");
    int found = 0;
    while (dirent *e = d ? readdir(d) : nullptr) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        const std::string stat = cost::ReadText(std::string("/proc/") + e->d_name + "/stat");
        const size_t close = stat.rfind(')');
        if (stat.find("(pulseaudio)") == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == self)
            found = std::atoi(e->d_name);
    }
    if (d)
        closedir(d);
    return found;
}

bool Start(Copy &c, QProcessEnvironment env, const std::string &schedule)
{
    c.home = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/tavolin-cost-idle-XXXXXX"));
    const QString config = c.home->filePath(QStringLiteral("config"));
    const QString runtime = c.home->filePath(QStringLiteral("runtime"));
    const QString folder = config + QStringLiteral("/Kestrane/Tavolin");
    QDir().mkpath(folder);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::copy(QString::fromStdString(schedule), folder + QStringLiteral("/settings.xml"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("LD_PRELOAD"));
    c.process = std::make_unique<QProcess>();
    c.process->setProcessEnvironment(env);
    c.process->setStandardOutputFile(QProcess::nullDevice());
    c.process->setStandardErrorFile(c.home->filePath(QStringLiteral("stderr.txt")));
    testsupport::TieToParent(*c.process);
    c.process->start(QStringLiteral(TAVOLIN_BINARY), {});
    if (!c.process->waitForStarted(5000)) {
        std::printf("  %s: cannot start tavolin: %s\n", c.label.c_str(),
                    c.process->errorString().toLocal8Bit().constData());
        return false;
    }
    c.pid = int(c.process->processId());
    return true;
}

void Report(Copy &c, double seconds)
{
    if (!c.pid)
        return;
    if (c.process->state() != QProcess::Running) {
        std::printf("  %s: tavolin ended early; it said:\n%s\n", c.label.c_str(),
                    cost::ReadText(c.home->filePath(QStringLiteral("stderr.txt")).toStdString()).c_str());
        return;
    }
    const long long ticks = cost::CpuTicks(c.pid) - c.ticksAtStart;
    const double percent = 100.0 * ticks / cost::TicksPerSecond() / seconds;
    std::printf("\n  [%s]  pid %d\n", c.label.c_str(), c.pid);
    std::printf("    VmRSS every 5 s from the start of the window (kB):");
    for (long long kb : c.rssKb)
        std::printf(" %lld", kb);
    std::printf("\n    CPU: %lld ticks of %.0f/s over %.1f s\n", ticks, cost::TicksPerSecond(), seconds);
    std::printf("    per thread over the window (cpu ms, times it ran per second):\n");
    for (const auto &[name, now] : cost::Threads(c.pid)) {
        const auto before = c.threadsAtStart.find(name);
        const cost::ThreadReading b = before == c.threadsAtStart.end() ? cost::ThreadReading{} : before->second;
        std::printf("      %-28s %7.0f ms  %7.1f /s\n", name.c_str(),
                    1000.0 * (now.ticks - b.ticks) / cost::TicksPerSecond(),
                    (now.switches - b.switches) / seconds);
    }
    cost::ReportGoal(c.label + ": CPU over 60 s, % of one core", percent, "%", 0.2);
    const double growthMb = (c.rssKb.back() - c.rssKb.front()) / 1024.0;
    cost::ReportGoal(c.label + ": VmRSS growth over the window", growthMb, "MB", 1.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string schedule = cost::CacheDir() + "/settings-1000.xml";
    cost::WriteSchedule(schedule, kEvents);

    QProcessEnvironment quiet = QProcessEnvironment::systemEnvironment();
    quiet.remove(QStringLiteral("PULSE_SINK"));
    const std::string noAutospawn = cost::CacheDir() + "/no-autospawn.conf";
    std::ofstream(noAutospawn) << "autospawn = no\n";
    quiet.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("pulseaudio"));
    quiet.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/tavolin-bench/native"));
    quiet.insert(QStringLiteral("PULSE_CLIENTCONFIG"), QString::fromStdString(noAutospawn));
    QProcessEnvironment dummy = QProcessEnvironment::systemEnvironment();
    dummy.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));

    testsupport::PrivateSoundServer server;
    QString error;
    const bool haveServer = server.start(&error);
    if (!haveServer)
        std::printf("  private sound server did not start: %s\n", error.toLocal8Bit().constData());
    // start() pointed this process's environment at the server.
    const QProcessEnvironment withServer = QProcessEnvironment::systemEnvironment();
    const int serverPid = haveServer ? FindSoundServerPid() : 0;

    std::printf("Idle cost: %s, %d events (none due within the hour), schedule running, nothing "
                "playing, QT_QPA_PLATFORM=offscreen.\nWindow: from %d s after start for %d s; "
                "the copies run at the same time.\n",
                TAVOLIN_BINARY, kEvents, kSettleSeconds, kWindowSeconds);

    Copy copies[3];
    copies[0].label = "no sound server, no output";
    copies[1].label = "outputs ready on private PulseAudio";
    copies[2].label = "SDL dummy driver (error box open)";
    Start(copies[0], quiet, schedule);
    if (haveServer)
        Start(copies[1], withServer, schedule);
    Start(copies[2], dummy, schedule);

    QThread::sleep(kSettleSeconds);
    const double windowStart = cost::MonotonicSeconds();
    long long serverTicks = serverPid ? cost::CpuTicks(serverPid) : 0;
    for (Copy &c : copies) {
        if (!c.pid)
            continue;
        c.ticksAtStart = cost::CpuTicks(c.pid);
        c.threadsAtStart = cost::Threads(c.pid);
        c.rssKb.push_back(cost::RssKb(c.pid));
    }
    for (int t = 5; t <= kWindowSeconds; t += 5) {
        QThread::msleep(5000);
        QCoreApplication::processEvents();
        for (Copy &c : copies)
            if (c.pid)
                c.rssKb.push_back(cost::RssKb(c.pid));
    }
    const double seconds = cost::MonotonicSeconds() - windowStart;
    for (Copy &c : copies)
        Report(c, seconds);
    if (serverPid) {
        serverTicks = cost::CpuTicks(serverPid) - serverTicks;
        std::printf("\n    the PulseAudio daemon itself, serving those open outputs, over the same "
                    "window: %.3f %% of one core (%lld ticks)\n",
                    100.0 * serverTicks / cost::TicksPerSecond() / seconds, serverTicks);
    }
    for (Copy &c : copies) {
        if (!c.pid)
            continue;
        c.process->terminate();
        if (!c.process->waitForFinished(5000)) {
            c.process->kill();
            c.process->waitForFinished(2000);
        }
    }
    server.stop();
    return 0;
}
