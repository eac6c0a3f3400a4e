// How late after its second a due event is heard. Everything plays into sink
// A of a private sound server and is timed from the sink's monitor:
//   1. the real program, one click every two seconds;
//   2. paplay started by a sleeper that wakes at each of those seconds, as a
//      reference player on the same sound server;
//   3. the real program with 32 events due in the same second;
//   4. the engine in this process, ticked by plain 500 ms timers that are not
//      aligned to the clock, to show what the alignment buys.
// Goals are printed beside the figures; a missed goal does not fail the run.

#include "audio_library.h"
#include "monitor_recorder.h"
#include "schedule.h"
#include "sound_server.h"
#include "tone.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <numbers>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

using namespace Qt::StringLiterals;
using testsupport::MonitorRecorder;

namespace {

constexpr int kFileRate = 44100;
constexpr int kEvents = 20;
// Two seconds apart: a short file may be played again at the next tick, and
// that repeat must not be taken for the following event.
constexpr int kSpacing = 2;
constexpr int kLeadSeconds = 6;       // program start-up and the recorder's 3 s
constexpr double kClickLevel = 0.5;
constexpr double kClickThreshold = 0.1;
constexpr int kChordTones = 32;
constexpr int kChordRounds = 3;
constexpr double kChordLevel = 1.0 / 40.0;
constexpr double kChordSeconds = 0.25;
constexpr int kSdlPeriodFrames = 512; // as the audio layer opens its outputs
constexpr double kSdlPeriodMs = kSdlPeriodFrames * 1000.0 / kFileRate;

constexpr double kInf = std::numeric_limits<double>::infinity();

void say(const char *format, auto... args)
{
    std::printf(format, args...);
    std::fflush(stdout);
}

double chordFrequency(int k)
{
    // 100 Hz apart: a 10 ms Goertzel window puts every other tone on a null.
    return 400.0 + 100.0 * k;
}

// Stereo s16 WAV at kFileRate; the sound starts at full level at sample 0
// (a cosine) and fades out over its last 2 ms so the end does not click.
bool writeTone(const QString &path, double freqHz, double level, double seconds)
{
    const int frames = int(std::lround(seconds * kFileRate));
    const int fade = kFileRate / 500;
    QByteArray data;
    data.reserve(frames * 4);
    for (int i = 0; i < frames; ++i) {
        double v = level * std::cos(2.0 * std::numbers::pi * freqHz * i / kFileRate);
        if (i >= frames - fade)
            v *= double(frames - 1 - i) / fade;
        const auto s = int16_t(std::lround(v * 32767.0));
        for (int c = 0; c < 2; ++c) {
            data.append(char(s & 0xff));
            data.append(char((s >> 8) & 0xff));
        }
    }
    auto le32 = [](QByteArray &b, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xff));
    };
    auto le16 = [](QByteArray &b, uint16_t v) {
        b.append(char(v & 0xff));
        b.append(char(v >> 8));
    };
    QByteArray out("RIFF");
    le32(out, uint32_t(36 + data.size()));
    out += "WAVEfmt ";
    le32(out, 16);
    le16(out, 1);
    le16(out, 2);
    le32(out, kFileRate);
    le32(out, kFileRate * 4);
    le16(out, 4);
    le16(out, 16);
    out += "data";
    le32(out, uint32_t(data.size()));
    out += data;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Second of the day of local time, and its epoch time in ms.
int secondOfDay(qint64 epochMs)
{
    return QDateTime::fromMSecsSinceEpoch(epochMs).time().msecsSinceStartOfDay() / 1000;
}

qint64 epochMsOfSecond(int second)
{
    return QDateTime(QDate::currentDate(), QTime::fromMSecsSinceStartOfDay(second * 1000)).toMSecsSinceEpoch();
}

void sleepUntilMs(qint64 epochMs)
{
    timespec ts{time_t(epochMs / 1000), long(epochMs % 1000) * 1000000L};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Event times must not cross midnight: the schedule's seconds would wrap.
void avoidMidnight()
{
    const int left = 86400 - secondOfDay(nowMs());
    if (left < 150) {
        say("waiting %d s for midnight to pass\n", left + 2);
        sleepUntilMs(nowMs() + (left + 2) * 1000LL);
    }
}

// A recording with the wall-clock moments at which it had reached given
// lengths. A monitor's sample count does not keep exact time over a minute
// (it gains some hundred parts per million while our output plays), so every
// sample is placed from the nearest such moment after it, a few hundred
// milliseconds away, not from the end of the recording.
struct Recording {
    struct Anchor {
        double wallMs;
        double samples;
    };
    std::vector<int16_t> samples;
    std::vector<Anchor> anchors; // in time order
    const Anchor &after(double samples) const
    {
        for (const Anchor &a : anchors)
            if (a.samples >= samples)
                return a;
        return anchors.back();
    }
    size_t indexAt(double epochMs) const
    {
        const Anchor *at = &anchors.back();
        for (const Anchor &a : anchors)
            if (a.wallMs >= epochMs) {
                at = &a;
                break;
            }
        const double i = at->samples - (at->wallMs - epochMs) * MonitorRecorder::kRate / 1000.0;
        return size_t(std::clamp(i, 0.0, double(samples.size())));
    }
    double timeAt(size_t index) const
    {
        const Anchor &a = after(double(index));
        return a.wallMs - (a.samples - double(index)) * 1000.0 / MonitorRecorder::kRate;
    }
};

class Listener {
public:
    ~Listener() { stopNoting(); }
    bool start(const QString &sink)
    {
        QString error;
        if (!recorder.start(sink, &error) || !recorder.waitUntilLive(&error)) {
            say("cannot record %s: %s\n", qPrintable(sink), qPrintable(error));
            return false;
        }
        liveSinceMs = nowMs();
        noting = true;
        noter = std::thread([this] {
            std::unique_lock lock(mutex);
            while (noting) {
                const size_t n = recorder.countSoFar();
                anchors.push_back({double(nowMs()), double(n)});
                wake.wait_for(lock, std::chrono::milliseconds(100));
            }
        });
        return true;
    }
    // The first event must be at least this late for the monitor to keep up.
    qint64 earliestEventMs() const { return liveSinceMs + 3000; }
    Recording stop(const char *name)
    {
        stopNoting();
        Recording r;
        r.samples = recorder.stop();
        // For a look at the sound itself: ONSET_BENCH_DUMP=<folder>.
        if (const QString dump = qEnvironmentVariable("ONSET_BENCH_DUMP"); !dump.isEmpty()) {
            QFile f(dump + u'/' + QLatin1String(name) + u".s16"_s);
            if (f.open(QIODevice::WriteOnly))
                f.write(reinterpret_cast<const char *>(r.samples.data()), qint64(r.samples.size() * 2));
        }
        if (!recorder.error().isEmpty())
            say("recorder: %s\n", qPrintable(recorder.error()));
        if (!r.samples.empty()) {
            const size_t n = r.samples.size();
            anchors.push_back({double(recorder.timeOfSample(n).toMSecsSinceEpoch()), double(n)});
            r.anchors = anchors;
            const Recording::Anchor &first = anchors.front(), &last = anchors.back();
            say("  [%s] %.1f s recorded; the monitor ran at %+.0f ppm of the wall clock\n", name,
                n / double(MonitorRecorder::kRate),
                1e6 * ((last.samples - first.samples) * 1000.0 / MonitorRecorder::kRate /
                           (last.wallMs - first.wallMs) - 1.0));
        }
        return r;
    }

private:
    void stopNoting()
    {
        {
            std::lock_guard lock(mutex);
            noting = false;
        }
        wake.notify_all();
        if (noter.joinable())
            noter.join();
    }

    MonitorRecorder recorder;
    qint64 liveSinceMs = 0;
    std::mutex mutex;
    std::condition_variable wake;
    bool noting = false;
    std::vector<Recording::Anchor> anchors;
    std::thread noter;
};

struct Click {
    std::optional<double> lag;   // first sound after the second
    std::optional<double> again; // a second start of the same event, if any
};

// Lag of the first loud sample after each scheduled time; none when nothing
// was heard from 100 ms before to 900 ms after it. A sound starting again up
// to 1.5 s after the second is the same event played twice.
std::vector<Click> clickLags(const Recording &rec, const std::vector<qint64> &dueMs)
{
    std::vector<Click> clicks;
    const std::span<const int16_t> all(rec.samples);
    for (const qint64 t : dueMs) {
        Click c;
        const size_t from = rec.indexAt(double(t) - 100.0);
        const size_t to = rec.indexAt(double(t) + 900.0);
        if (const auto hit = testsupport::FirstLoudSample(all.subspan(from, to - from), kClickThreshold)) {
            c.lag = rec.timeAt(from + *hit) - double(t);
            // Past the click's 150 ms and its silence-to-silence settling.
            const size_t next = rec.indexAt(double(t) + *c.lag + 250.0);
            const size_t end = rec.indexAt(double(t) + 1500.0);
            if (next < end) {
                if (const auto re = testsupport::FirstLoudSample(all.subspan(next, end - next), kClickThreshold))
                    c.again = rec.timeAt(next + *re) - double(t);
            }
        }
        clicks.push_back(c);
    }
    return clicks;
}

struct Summary {
    int heard = 0;
    int total = 0;
    int twice = 0;
    double p50 = kInf, p95 = kInf, max = kInf, min = kInf;
};

// Unheard events count as endlessly late: a bell that never rings is the worst.
Summary summarise(const std::vector<Click> &clicks)
{
    Summary s;
    s.total = int(clicks.size());
    std::vector<double> v;
    for (const Click &c : clicks) {
        v.push_back(c.lag.value_or(kInf));
        s.heard += c.lag.has_value();
        s.twice += c.again.has_value();
    }
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    auto rank = [&](double q) { return v[size_t(std::max(0.0, std::ceil(q * v.size()) - 1))]; };
    s.p50 = rank(0.50);
    s.p95 = rank(0.95);
    s.max = v.back();
    s.min = v.front();
    return s;
}

QString ms(double v)
{
    return std::isfinite(v) ? QString::number(v, 'f', 1) : u"--"_s;
}

void printRow(const char *name, const Summary &s)
{
    say("  %-44s %3d/%-3d %8s %8s %8s %8s   %3d\n", name, s.heard, s.total, qPrintable(ms(s.min)),
        qPrintable(ms(s.p50)), qPrintable(ms(s.p95)), qPrintable(ms(s.max)), s.twice);
}

void printLags(const std::vector<Click> &clicks)
{
    QString line = u"    lags:"_s, again;
    for (const Click &c : clicks) {
        line += u' ' + (c.lag ? QString::number(*c.lag, 'f', 1) : u"miss"_s);
        if (c.again)
            again += u' ' + QString::number(*c.again, 'f', 1);
    }
    say("%s\n", qPrintable(line));
    if (!again.isEmpty())
        say("    played again at:%s\n", qPrintable(again));
}

struct DueEvent {
    int second;
    QString file;
};

QByteArray settingsXml(const std::vector<DueEvent> &events)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Schedule>\n  <Settings>\n"
                     "    <AudioDevice>0</AudioDevice>\n    <MinimiseToTray>0</MinimiseToTray>\n"
                     "    <StartMinimised>0</StartMinimised>\n  </Settings>\n  <Events>\n";
    int n = 0;
    for (const DueEvent &e : events) {
        xml += QStringLiteral("    <Event TimeSeconds=\"%1\" Name=\"Onset %2\" Mon=\"-1\" Tue=\"-1\" Wed=\"-1\" "
                              "Thu=\"-1\" Fri=\"-1\" Sat=\"-1\" Sun=\"-1\" AudioFile=\"%3\" />\n")
                   .arg(e.second)
                   .arg(++n)
                   .arg(e.file.toHtmlEscaped())
                   .toUtf8();
    }
    xml += "  </Events>\n</Schedule>\n";
    return xml;
}

// The real program, from its own settings folder, playing on the private
// server's default sink. Lives until destroyed.
class Program {
public:
    bool start(const QString &configHome, const std::vector<DueEvent> &events)
    {
        const QString dir = configHome + u"/Kestrane/Tavolin"_s;
        QDir().mkpath(dir);
        QFile f(dir + u"/settings.xml"_s);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(settingsXml(events)) < 0) {
            say("cannot write %s\n", qPrintable(f.fileName()));
            return false;
        }
        f.close();
        // PULSE_SERVER, PULSE_CLIENTCONFIG come from the private server.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, configHome);
        env.insert(u"SDL_AUDIODRIVER"_s, u"pulseaudio"_s);
        process.setProcessEnvironment(env);
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(configHome + u"/tavolin.log"_s);
        process.setStandardErrorFile(configHome + u"/tavolin.log"_s, QIODevice::Append);
        log = configHome + u"/tavolin.log"_s;
        testsupport::TieToParent(process);
        process.start(QStringLiteral(TAVOLIN_PROGRAM), {});
        if (!process.waitForStarted(5000)) {
            say("cannot start %s: %s\n", TAVOLIN_PROGRAM, qPrintable(process.errorString()));
            return false;
        }
        return true;
    }
    bool running() { return process.state() != QProcess::NotRunning && !process.waitForFinished(0); }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        const bool died = !running();
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(3000);
        }
        QFile f(log);
        if (died && f.open(QIODevice::ReadOnly))
            say("tavolin ended early (exit %d); its output:\n%s\n", process.exitCode(), f.readAll().constData());
    }
    ~Program() { stop(); }

private:
    QProcess process;
    QString log;
};

// The sound server's own view of a stream's buffering, for the report.
void printSinkInputLatency(const QString &server)
{
    QProcess pactl;
    pactl.start(u"pactl"_s, {u"-s"_s, server, u"list"_s, u"sink-inputs"_s});
    if (!pactl.waitForFinished(3000))
        return;
    const QStringList lines = QString::fromLocal8Bit(pactl.readAllStandardOutput()).split(u'\n');
    QString app;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        if (t.startsWith(u"Sink Input #"_s))
            say("    sink input %s\n", qPrintable(t.mid(12)));
        if (t.startsWith(u"Buffer Latency:"_s) || t.startsWith(u"Sink Latency:"_s) || t.startsWith(u"Sample Spec"_s)
            || t.startsWith(u"application.name"_s) || t.startsWith(u"Sink:"_s))
            say("      %s\n", qPrintable(t));
    }
}

// The first second at which a program started now may be given an event:
// after its start-up and the monitor's warm-up.
int firstProgramSecond(const Listener &listener)
{
    return secondOfDay(listener.earliestEventMs()) + kLeadSeconds - 2;
}

// ---- 1. the program, one click a second --------------------------------------

std::vector<Click> measureProgram(const QString &work, const QString &click, const QString &server)
{
    avoidMidnight();
    Listener listener;
    if (!listener.start(u"tavolin_a"_s))
        return {};
    const int first = firstProgramSecond(listener);
    std::vector<DueEvent> events;
    std::vector<qint64> due;
    for (int i = 0; i < kEvents; ++i) {
        events.push_back({first + kSpacing * i, click});
        due.push_back(epochMsOfSecond(first + kSpacing * i));
    }
    Program program;
    const qint64 launched = nowMs();
    if (!program.start(work + u"/config-clicks"_s, events))
        return {};
    say("  program started %.1f s before the first event\n", (due.front() - launched) / 1000.0);
    sleepUntilMs(due[kEvents / 2] + 300);
    say("  while the program plays (pactl):\n");
    printSinkInputLatency(server);
    sleepUntilMs(due.back() + 1000);
    const Recording rec = listener.stop("program");
    if (!program.running())
        say("  the program was not running at the end\n");
    program.stop();
    return clickLags(rec, due);
}

// ---- 2. paplay from a precise sleeper -----------------------------------------

std::vector<Click> measurePaplay(const QString &click, const QString &server)
{
    avoidMidnight();
    Listener listener;
    if (!listener.start(u"tavolin_a"_s))
        return {};
    const qint64 first = (listener.earliestEventMs() / 1000 + 1) * 1000;
    const QByteArray serverArg = "--server=" + server.toLocal8Bit();
    const QByteArray file = click.toLocal8Bit();
    std::vector<qint64> due;
    std::vector<pid_t> children;
    for (int i = 0; i < kEvents; ++i) {
        const qint64 t = first + kSpacing * i * 1000LL;
        due.push_back(t);
        char *argv[] = {const_cast<char *>("paplay"), const_cast<char *>(serverArg.constData()),
                        const_cast<char *>("-d"), const_cast<char *>("tavolin_a"),
                        const_cast<char *>(file.constData()), nullptr};
        sleepUntilMs(t);
        pid_t pid = 0;
        if (posix_spawnp(&pid, "paplay", nullptr, nullptr, argv, environ) == 0)
            children.push_back(pid);
        else
            say("  cannot start paplay\n");
    }
    sleepUntilMs(due.back() + 1000);
    const Recording rec = listener.stop("paplay");
    for (const pid_t pid : children)
        waitpid(pid, nullptr, 0);
    return clickLags(rec, due);
}

// ---- 3. the engine ticked off the clock's grid ---------------------------------

std::vector<Click> measureUnaligned(const QString &click)
{
    avoidMidnight();
    if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        say("  cannot open output device 1: %s\n", AudioLastError());
        return {};
    }
    Listener listener;
    if (!listener.start(u"tavolin_a"_s))
        return {};
    const int first = secondOfDay(listener.earliestEventMs()) + 2;
    TSchedule schedule;
    schedule.SetPaused(true); // its own, aligned ticker stays off
    std::vector<qint64> due;
    for (int i = 0; i < kEvents; ++i) {
        auto e = std::make_unique<TEvent>();
        e->TimeSeconds = uint32_t(first + kSpacing * i);
        e->Mon = e->Tue = e->Wed = e->Thu = e->Fri = e->Sat = e->Sun = true;
        e->AudioFile = click;
        e->AudioDevice = 0;
        schedule.Events.Add(std::move(e));
        due.push_back(epochMsOfSecond(first + kSpacing * i));
    }
    schedule.Events.SetUIDs();

    // Where a free-running timer's ticks fall is wherever it happened to
    // start. Each event gets a timer of its own, started at its own phase,
    // the phases spread evenly over the 500 ms: the figures are those of a
    // plain timer over every moment it might have been started.
    std::vector<int> phases;
    for (int i = 0; i < kEvents; ++i)
        phases.push_back(int((i + 0.5) * 500 / kEvents));
    std::vector<std::unique_ptr<QTimer>> tickers;
    for (int i = 0; i < kEvents; ++i) {
        auto ticker = std::make_unique<QTimer>();
        ticker->setTimerType(Qt::PreciseTimer);
        ticker->setInterval(500);
        QTimer *t = ticker.get();
        QObject::connect(t, &QTimer::timeout, t, [&schedule] { schedule.Events.TickerTimer(); });
        // Three ticks: a second before, half a second before, then within its second.
        QTimer::singleShot(int(due[size_t(i)] - 1000 + phases[size_t(i)] - nowMs()), Qt::PreciseTimer, t, [&schedule, t] {
            t->start();
            schedule.Events.TickerTimer();
        });
        QTimer::singleShot(int(due[size_t(i)] + 600 - nowMs()), Qt::PreciseTimer, t, &QTimer::stop);
        tickers.push_back(std::move(ticker));
    }
    QEventLoop loop;
    QTimer::singleShot(int(due.back() + 1000 - nowMs()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const Recording rec = listener.stop("unaligned");
    schedule.Events.StopAll();
    return clickLags(rec, due);
}

// ---- 4. thirty-two events in one second ------------------------------------------

struct ChordRound {
    int heard = 0;
    double mixOnset = kInf;      // first sound of the mix
    double lastToneOnset = kInf; // the latest of the 32 tones to start
    double firstToneOnset = kInf;
    std::vector<double> levels;
    std::vector<double> onsets; // in event order
};

ChordRound analyseChord(const Recording &rec, qint64 t)
{
    ChordRound r;
    constexpr int window = MonitorRecorder::kRate / 100; // 10 ms: 100 Hz neighbours fall on nulls
    constexpr int step = MonitorRecorder::kRate / 1000;  // 1 ms
    constexpr int heardWindow = MonitorRecorder::kRate / 20; // 50 ms
    const size_t from = rec.indexAt(double(t) - 50.0);
    const size_t heardFrom = rec.indexAt(double(t));
    const size_t to = rec.indexAt(double(t) + 1000.0);
    const std::span<const int16_t> all(rec.samples);
    if (auto hit = testsupport::FirstLoudSample(all.subspan(from, to - from), kChordLevel / 5))
        r.mixOnset = rec.timeAt(from + *hit) - double(t);
    for (int k = 0; k < kChordTones; ++k) {
        const double f = chordFrequency(k);
        // Heard: present at half its level or more somewhere in the second.
        double level = 0.0;
        for (size_t w = heardFrom; w + heardWindow <= to; w += 10 * step)
            level = std::max(level, testsupport::ToneLevel(all.subspan(w, heardWindow), f));
        r.levels.push_back(level);
        r.onsets.push_back(kInf);
        if (level < 0.5 * kChordLevel)
            continue;
        ++r.heard;
        // A tone at half level in a 10 ms window started 5 ms into it.
        double onset = kInf;
        for (size_t w = from; w + window <= to; w += step) {
            if (testsupport::ToneLevel(all.subspan(w, window), f) >= 0.5 * kChordLevel) {
                onset = rec.timeAt(w + window / 2) - double(t);
                break;
            }
        }
        r.onsets.back() = onset;
        r.lastToneOnset = std::max(r.lastToneOnset == kInf ? -kInf : r.lastToneOnset, onset);
        r.firstToneOnset = std::min(r.firstToneOnset, onset);
    }
    return r;
}

std::vector<ChordRound> measureChord(const QString &work, const QStringList &tones)
{
    avoidMidnight();
    Listener listener;
    if (!listener.start(u"tavolin_a"_s))
        return {};
    const int first = firstProgramSecond(listener);
    std::vector<DueEvent> events;
    std::vector<qint64> due;
    for (int round = 0; round < kChordRounds; ++round) {
        const int second = first + 2 * round;
        for (const QString &tone : tones)
            events.push_back({second, tone});
        due.push_back(epochMsOfSecond(second));
    }
    Program program;
    if (!program.start(work + u"/config-chord"_s, events))
        return {};
    sleepUntilMs(due.back() + 1000);
    const Recording rec = listener.stop("chord");
    program.stop();
    std::vector<ChordRound> rounds;
    for (const qint64 t : due)
        rounds.push_back(analyseChord(rec, t));
    return rounds;
}

const char *verdict(bool ok)
{
    return ok ? "PASS" : "FAIL";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);

    testsupport::PrivateSoundServer server;
    QString error;
    if (!server.start(&error)) {
        say("cannot start the private sound server: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir work;
    const QString click = work.filePath(u"click.wav"_s);
    if (!writeTone(click, 1000.0, kClickLevel, 0.15)) {
        say("cannot write %s\n", qPrintable(click));
        return 1;
    }
    QStringList tones;
    for (int k = 0; k < kChordTones; ++k) {
        tones << work.filePath(u"tone-%1.wav"_s.arg(int(chordFrequency(k))));
        if (!writeTone(tones.back(), chordFrequency(k), kChordLevel, kChordSeconds)) {
            say("cannot write %s\n", qPrintable(tones.back()));
            return 1;
        }
    }

    say("Onset lag: time from an event's second to its first sound on sink A's monitor\n"
        "(%d events two seconds apart; a 0.15 s 1 kHz click at %.2f of full scale, onset at %.2f).\n"
        "SDL device period: %d frames at 44.1 kHz = %.1f ms.\n\n",
        kEvents, kClickLevel, kClickThreshold, kSdlPeriodFrames, kSdlPeriodMs);

    say("[1/4] tavolin, the real program (%s)\n", TAVOLIN_PROGRAM);
    const auto program = measureProgram(work.path(), click, server.serverAddress());
    printLags(program);
    say("[2/4] paplay -d tavolin_a, started by a sleeper at each whole second\n");
    const auto paplay = measurePaplay(click, server.serverAddress());
    printLags(paplay);
    say("[3/4] 32 events due in the same second, tavolin again, %d rounds\n", kChordRounds);
    const auto chord = measureChord(work.path(), tones);
    for (size_t i = 0; i < chord.size(); ++i) {
        QString quiet;
        for (int k = 0; k < kChordTones; ++k)
            if (chord[i].levels[size_t(k)] < 0.5 * kChordLevel)
                quiet += u" %1 Hz (%2)"_s.arg(chordFrequency(k)).arg(chord[i].levels[size_t(k)] / kChordLevel, 0, 'f', 2);
        if (!quiet.isEmpty())
            say("    round %zu not heard:%s\n", i + 1, qPrintable(quiet));
        QString onsets;
        for (const double o : chord[i].onsets)
            onsets += u' ' + ms(o);
        say("    round %zu tone onsets, event order:%s\n", i + 1, qPrintable(onsets));
    }
    say("[4/4] the engine in this process, ticked by free 500 ms timers (not aligned), phases spread over 0-500 ms\n");
    const auto unaligned = measureUnaligned(click);
    printLags(unaligned);

    const Summary sp = summarise(program), sr = summarise(paplay), su = summarise(unaligned);
    say("\nOnset lag, ms                                  heard      min      p50      p95      max  twice\n");
    const QByteArray programRow = u"tavolin (aligned ticker, SDL, %1 frames)"_s.arg(kSdlPeriodFrames).toUtf8();
    printRow(programRow.constData(), sp);
    printRow("paplay from a whole-second sleeper", sr);
    printRow("engine, free 500 ms timers, phases 0-500 ms", su);

    say("\n32 events in one second     heard   mix onset   first tone   last tone (ms after the second)\n");
    bool allHeard = !chord.empty();
    double worstLast = chord.empty() ? kInf : -kInf;
    for (size_t i = 0; i < chord.size(); ++i) {
        const ChordRound &r = chord[i];
        say("  round %zu                   %2d/%d   %9s   %10s   %9s\n", i + 1, r.heard, kChordTones,
            qPrintable(ms(r.mixOnset)), qPrintable(ms(r.firstToneOnset)), qPrintable(ms(r.lastToneOnset)));
        allHeard = allHeard && r.heard == kChordTones;
        worstLast = std::max(worstLast, r.heard == kChordTones ? r.lastToneOnset : kInf);
    }

    say("\nGoals                                         measured      goal   verdict\n");
    say("  program onset p95                           %9s  <= %6s   %s\n", qPrintable(ms(sp.p95)), "20.0",
        verdict(sp.p95 <= 20.0));
    say("  program p95 vs 1.5 x paplay p95             %9s  <= %6s   %s\n", qPrintable(ms(sp.p95)),
        qPrintable(ms(1.5 * sr.p95)), verdict(sp.p95 <= 1.5 * sr.p95));
    say("  program median vs unaligned median / 10     %9s  <= %6s   %s\n", qPrintable(ms(sp.p50)),
        qPrintable(ms(su.p50 / 10.0)), verdict(sp.p50 <= su.p50 / 10.0));
    say("  32 events in one second: all heard          %9s  == %6s   %s\n",
        qPrintable(u"%1/%2"_s.arg(chord.empty() ? 0 : std::min_element(chord.begin(), chord.end(), [](auto &a, auto &b) { return a.heard < b.heard; })->heard).arg(kChordTones)),
        qPrintable(u"%1/%1"_s.arg(kChordTones)), verdict(allHeard));
    say("  32 events in one second: last onset         %9s  <= %6s   %s\n", qPrintable(ms(worstLast)), "30.0",
        verdict(worstLast <= 30.0));
    say("(unheard events count as endlessly late)\n");
    return 0;
}
