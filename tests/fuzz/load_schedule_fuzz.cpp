// Any bytes either load as a schedule or raise EFileError, and a schedule
// that loaded saves to a document that loads again.

#include "schedule.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The event list's ticker is a QTimer, which wants an application. Never
    // destroyed, and kept away from libFuzzer's own arguments.
    static int argc = 1;
    static char name[] = "load_schedule_fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray saved;
    {
        TSchedule schedule;
        try {
            schedule.LoadFromBytes(bytes, QStringLiteral("input"));
        } catch (const EFileError &) {
            return 0;
        }
        saved = schedule.ToBytes();
    }
    TSchedule reloaded;
    try {
        reloaded.LoadFromBytes(saved, QStringLiteral("saved"));
    } catch (const EFileError &e) {
        std::fprintf(stderr, "A saved schedule did not load again: %s\n%s\n", e.what(),
                     saved.constData());
        std::abort();
    }
    return 0;
}
