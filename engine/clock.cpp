#include "clock.h"

const SystemClock &SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}
