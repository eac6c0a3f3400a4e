// Load and save of a 10,000-event settings.xml, and one tick over 10,000
// events, each against its goal.

#include "cost_common.h"

#include "clock.h"
#include "event_list.h"
#include "schedule.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kEvents = 10000;
constexpr int kRepetitions = 9;

// Every weekday on, so each event's weekday is looked at too.
std::unique_ptr<TEvent> MakeEvent(uint32_t seconds, const QString &file)
{
    auto e = std::make_unique<TEvent>();
    e->TimeSeconds = seconds;
    e->Mon = e->Tue = e->Wed = e->Thu = e->Fri = e->Sat = e->Sun = true;
    e->AudioFile = file;
    e->SetName(QStringLiteral("Bell"));
    return e;
}

// A Wednesday noon; no event of the list is at 12:00:00 or 12:00:01 (which a
// tick opens ahead) but the one `due` adds.
void Tick(benchmark::State &state, bool due)
{
    const QDateTime noon(QDate(2024, 5, 15), QTime(12, 0, 0));
    ManualClock clock(noon);
    TEventList list(&clock);
    const uint32_t dueSecond = 12 * 3600;
    for (int i = 0; i < kEvents; ++i) {
        uint32_t s = uint32_t(i * 8) % 86400;
        if (s == dueSecond || s == dueSecond + 1)
            s += 2;
        list.Add(MakeEvent(s, QStringLiteral("/nonexistent/tavolin-bench/bell.wav")));
    }
    if (due)
        list.Items(kEvents / 2)->TimeSeconds = dueSecond; // its file is missing: Play answers false
    list.SetTickerEnabled(false);
    for (auto _ : state)
        list.TickerTimer();
}

struct ScheduleFile {
    QTemporaryDir dir;
    QString path;
    ScheduleFile()
    {
        path = dir.filePath(QStringLiteral("settings.xml"));
        cost::WriteSchedule(path.toStdString(), kEvents);
    }
};

ScheduleFile &File()
{
    static ScheduleFile f;
    return f;
}

void LoadAndSave(benchmark::State &state)
{
    const QString path = File().path;
    for (auto _ : state) {
        TSchedule s;
        s.FileName = path;
        s.LoadFromFile();
        s.SaveToFile();
        if (s.Events.Count() != kEvents)
            state.SkipWithError("the file did not hold 10,000 events");
    }
}

// The two halves apart, to tell which one costs.
void LoadOnly(benchmark::State &state)
{
    const QString path = File().path;
    for (auto _ : state) {
        TSchedule s;
        s.FileName = path;
        s.LoadFromFile();
        benchmark::DoNotOptimize(s.Events.Count());
    }
}

void SaveOnly(benchmark::State &state)
{
    TSchedule s;
    s.FileName = File().path;
    s.LoadFromFile();
    for (auto _ : state)
        s.SaveToFile();
}

void ToBytesOnly(benchmark::State &state)
{
    TSchedule s;
    s.FileName = File().path;
    s.LoadFromFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.ToBytes());
}

BENCHMARK(LoadAndSave)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(LoadOnly)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(SaveOnly)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(ToBytesOnly)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Tick, none_due, false)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Tick, one_due_file_missing, true)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

// Keeps the median real time of each benchmark, in seconds.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (r.aggregate_name == "median")
                medians[r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args)] =
                    r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nSchedule file and ticker, 10,000 events, medians of %d repetitions:\n", kRepetitions);
    auto median = [&](const std::string &name) {
        const auto it = reporter.medians.find(name);
        return it == reporter.medians.end() ? -1.0 : it->second;
    };
    for (const auto &[name, s] : reporter.medians)
        std::printf("    %-30s %10.3f ms\n", name.c_str(), s * 1e3);
    cost::ReportGoal("LoadFromFile + SaveToFile, 10,000 events (median)", median("LoadAndSave") * 1e3, "ms", 50);
    cost::ReportGoal("one tick, 10,000 events, none due (median)", median("Tick/none_due") * 1e6, "us", 100);
    cost::ReportGoal("one tick, 10,000 events, one due, file missing", median("Tick/one_due_file_missing") * 1e6,
                     "us", 100);
    return 0;
}
