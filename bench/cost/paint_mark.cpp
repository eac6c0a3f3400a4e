// Preloaded into the unchanged tavolin binary by startup_cost: notes on stderr
// when the window holding the schedule grid is first flushed (its first frame
// is out), with the rows the grid holds then. A window flushed before it, such
// as a message box, is noted too, with its texts.

#include <QApplication>
#include <QAbstractItemModel>
#include <QTableView>
#include <QWidget>
#include <QWindow>

#include <dlfcn.h>
#include <time.h>

#include <cstdio>

namespace {

using FlushFn = void (*)(void *, const void *, void *, const void *);

void Note(void *window)
{
    static bool marked = false, noted = false;
    if (marked)
        return;
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() != window)
            continue;
        const auto grids = top->findChildren<QTableView *>();
        if (!grids.isEmpty()) {
            marked = true;
            std::fprintf(stderr, "tavolin-cost-mark %lld.%09ld rows=%d\n", (long long)ts.tv_sec,
                         ts.tv_nsec, grids.first()->model() ? grids.first()->model()->rowCount() : -1);
        } else if (!noted) {
            noted = true;
            QString texts;
            for (QObject *o : top->findChildren<QObject *>())
                if (const QVariant t = o->property("text"); t.isValid() && !t.toString().isEmpty())
                    texts += QStringLiteral(" [") + t.toString() + QStringLiteral("]");
            std::fprintf(stderr, "tavolin-cost-note %s:%s\n",
                         top->metaObject()->className(), texts.toLocal8Bit().constData());
        }
        std::fflush(stderr);
        return;
    }
}

} // namespace

// QBackingStore::flush(const QRegion &, QWindow *, const QPoint &), which the
// widgets library calls through the PLT, so a preloaded definition wins.
extern "C" void _ZN13QBackingStore5flushERK7QRegionP7QWindowRK6QPoint(void *self, const void *region,
                                                                       void *window, const void *offset)
{
    static const auto real = reinterpret_cast<FlushFn>(
        dlsym(RTLD_NEXT, "_ZN13QBackingStore5flushERK7QRegionP7QWindowRK6QPoint"));
    real(self, region, window, offset);
    Note(window);
}
