// Saves one of two schedules over the settings file, alternately and without
// end, until it is killed. Usage: save_loop <settings path> <A|B, the first>.
// Prints "ready" once started, then one line per finished save.

#include "schedule.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3 || (argv[2][0] != 'A' && argv[2][0] != 'B')) {
        std::fprintf(stderr, "usage: save_loop <settings path> <A|B>\n");
        return 2;
    }
    QCoreApplication app(argc, argv); // the event list's ticker wants one
    const QString path = QString::fromLocal8Bit(argv[1]);
    char kind = argv[2][0];
    // Start-up is over: from here on, a kill lands in the saving loop.
    if (write(STDOUT_FILENO, "ready\n", 6) != 6)
        return 1;
    for (long saves = 1;; ++saves) {
        TSchedule schedule;
        schedule.FileName = path;
        for (int i = 0; i < 200; ++i) {
            auto e = std::make_unique<TEvent>();
            e->SetName(QStringLiteral("%1%2").arg(QLatin1Char(kind)).arg(i, 3, 10, QLatin1Char('0')));
            e->TimeSeconds = uint32_t(i * 60);
            e->Mon = e->Fri = true;
            e->AudioFile = QStringLiteral("/srv/bells/%1.wav").arg(i);
            schedule.Events.Add(std::move(e));
        }
        schedule.SaveToFile();
        // Unbuffered: a kill must not take finished saves' lines with it.
        char line[32];
        const int n = std::snprintf(line, sizeof line, "%c %ld\n", kind, saves);
        if (write(STDOUT_FILENO, line, size_t(n)) != n)
            return 1;
        kind = kind == 'A' ? 'B' : 'A';
    }
}
