// How late after each whole or half second the ticker fires: the delay a due
// bell waits before it is played.

#include "event_list.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

class NotingClock final : public Clock {
public:
    QDateTime now() const override
    {
        const QDateTime t = QDateTime::currentDateTime();
        readings.push_back(t);
        return t;
    }
    mutable std::vector<QDateTime> readings;
};

void TickLateness(benchmark::State &state)
{
    NotingClock clock;
    TEventList list(&clock); // empty: a tick reads the clock once, to re-arm
    std::vector<int> late;
    for (auto _ : state) {
        const size_t seen = clock.readings.size();
        while (clock.readings.size() == seen)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        late.push_back(clock.readings.back().time().msecsSinceStartOfDay() % 500);
    }
    std::sort(late.begin(), late.end());
    state.counters["late_ms_median"] = late[late.size() / 2];
    state.counters["late_ms_max"] = late.back();
}

BENCHMARK(TickLateness)->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
