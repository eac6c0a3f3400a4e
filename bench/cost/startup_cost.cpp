// Start-up with 10,000 events: from just before the unchanged tavolin binary
// is spawned to the first flush of its main window, which comes after
// showEvent has filled the grid. paint_mark, preloaded, notes that flush.

#include "cost_common.h"

#include "sound_server.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <poll.h>

extern char **environ;

namespace {

constexpr int kEvents = 10000;
constexpr int kRuns = 7;

// Seconds from spawn to the mark, with the grid's rows then; -1 on failure.
double OneRun(const std::string &schedule, int run, const std::vector<std::string> &extra,
              long long *rows, std::string *note)
{
    char tmpl[] = "/tmp/tavolin-cost-start-XXXXXX";
    if (!mkdtemp(tmpl))
        return -1;
    const std::string home = tmpl;
    const std::string folder = home + "/config/Kestrane/Tavolin";
    std::system(("mkdir -p '" + folder + "' '" + home + "/runtime' && chmod 700 '" + home +
                 "/runtime' && cp '" + schedule + "' '" + folder + "/settings.xml'")
                    .c_str());

    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string v = *e;
        bool keep = true;
        for (const char *drop : {"XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM=",
                                 "LD_PRELOAD=", "DISPLAY=", "WAYLAND_DISPLAY="})
            keep = keep && v.rfind(drop, 0) != 0;
        for (const std::string &x : extra)
            keep = keep && v.rfind(x.substr(0, x.find('=') + 1), 0) != 0;
        if (keep)
            env.push_back(v);
    }
    for (const std::string &x : extra)
        env.push_back(x);
    env.push_back("XDG_CONFIG_HOME=" + home + "/config");
    env.push_back("XDG_RUNTIME_DIR=" + home + "/runtime");
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back(std::string("LD_PRELOAD=") + PAINT_MARK_LIBRARY);
    std::vector<char *> envp;
    for (auto &v : env)
        envp.push_back(v.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char program[] = TAVOLIN_BINARY;
    char *argv[] = {program, nullptr};

    pid_t pid = 0;
    const double start = cost::MonotonicSeconds();
    const int rc = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", program, std::strerror(rc));
        close(pipeFds[0]);
        return -1;
    }

    double result = -1;
    std::string seen;
    double deadline = start + 30;
    char buf[4096];
    while (result < 0 && cost::MonotonicSeconds() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        const ssize_t n = read(pipeFds[0], buf, sizeof buf);
        if (n <= 0)
            break; // the program ended without a frame
        seen.append(buf, size_t(n));
        if (const size_t at = seen.find("tavolin-cost-note "); at != std::string::npos && note->empty())
        {
            *note = seen.substr(at + 18, seen.find('\n', at) - at - 18);
            // A box opened before the window waits for a click that never comes.
            deadline = std::min(deadline, cost::MonotonicSeconds() + 2);
        }
        const size_t at = seen.find("tavolin-cost-mark ");
        if (at != std::string::npos && seen.find('\n', at) != std::string::npos) {
            double when = 0;
            if (std::sscanf(seen.c_str() + at, "tavolin-cost-mark %lf rows=%lld", &when, rows) == 2)
                result = when - start;
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(pipeFds[0]);
    if (result < 0 && note->empty())
        std::fprintf(stderr, "run %d: no main window within 30 s; the program said:\n%s\n", run,
                     seen.c_str());
    std::system(("rm -rf '" + home + "'").c_str());
    return result;
}

// Runs the binary kRuns times (or `runs`) in one audio setting and reports.
void Series(const char *setting, const std::vector<std::string> &extra, const std::string &schedule,
            int runs, bool goal)
{
    std::printf("\n  [%s]\n", setting);
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        long long rows = -1;
        std::string note;
        const double s = OneRun(schedule, run, extra, &rows, &note);
        if (!note.empty())
            std::printf("    run %d: first frame is not the main window but a %s\n", run + 1, note.c_str());
        if (s < 0) {
            std::printf("    run %d: the main window did not show\n", run + 1);
            continue;
        }
        ms.push_back(s * 1000);
        std::printf("    run %d: %.1f ms, grid rows at first frame: %lld\n", run + 1, s * 1000, rows);
    }
    if (ms.empty())
        return;
    std::printf("    min %.1f ms, max %.1f ms over %zu runs\n", *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()), ms.size());
    if (goal)
        cost::ReportGoal(std::string("start-up, 10,000 events, ") + setting + " (median)", cost::Median(ms),
                         "ms", 300);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string schedule = cost::CacheDir() + "/settings-10000.xml";
    if (!cost::WriteSchedule(schedule, kEvents)) {
        std::fprintf(stderr, "cannot write %s\n", schedule.c_str());
        return 0;
    }
    const std::string noAutospawn = cost::CacheDir() + "/no-autospawn.conf";
    std::ofstream(noAutospawn) << "autospawn = no\n";
    std::printf("Start-up of %s with %d events, QT_QPA_PLATFORM=offscreen, fresh XDG_CONFIG_HOME each run.\n"
                "Measured: spawn -> first flush of the main window (the grid is filled in its showEvent, "
                "before that), noted by a preloaded probe; the binary is unchanged.\n",
                TAVOLIN_BINARY, kEvents);

    testsupport::PrivateSoundServer server;
    QString error;
    if (server.start(&error)) {
        // start() pointed this process's environment, which the runs inherit, at the server.
        Series("private PulseAudio server, 2 null sinks", {}, schedule, kRuns, true);
        server.stop();
    } else {
        std::printf("  private sound server did not start: %s\n", error.toLocal8Bit().constData());
    }
    Series("no sound server: no audio output",
           {"SDL_AUDIODRIVER=pulseaudio", "PULSE_SERVER=unix:/nonexistent/tavolin-bench/native",
            "PULSE_CLIENTCONFIG=" + noAutospawn},
           schedule, kRuns, true);
    // One look at SDL's dummy driver, which offers a second device that does not open.
    Series("SDL_AUDIODRIVER=dummy", {"SDL_AUDIODRIVER=dummy"}, schedule, 1, false);
    return 0;
}
