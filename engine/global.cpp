#include "global.h"

#include <array>
#include <cmath>

namespace {

constexpr int64_t kMsecsPerDay = 86400000;
const QDate kDayZero(1899, 12, 30);

} // namespace

TDateTime SecondsToTime(uint32_t seconds)
{
    if (seconds >= kSecondsPerDay)
        throw EInvalidTime(QStringLiteral("%1 is not a time of day: the seconds of a day run from 0 "
                                          "to 86399 (23:59:59).")
                               .arg(seconds)
                               .toStdString());
    return kFirstOf2012 + double(seconds) / double(kSecondsPerDay);
}

uint32_t TimeToSeconds(TDateTime t)
{
    if (!std::isfinite(t))
        return 0;
    const double fraction = std::fabs(t - std::trunc(t));
    const int64_t ms = std::llround(fraction * double(kMsecsPerDay)) % kMsecsPerDay;
    return uint32_t(ms / 1000);
}

TDateTime DateTimeFromQt(const QDateTime &dt)
{
    const double days = double(kDayZero.daysTo(dt.date()));
    const double fraction = double(dt.time().msecsSinceStartOfDay()) / double(kMsecsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime DateTimeToQt(TDateTime t)
{
    if (!std::isfinite(t))
        return {};
    int64_t days = int64_t(std::trunc(t));
    int64_t ms = std::llround(std::fabs(t - std::trunc(t)) * double(kMsecsPerDay));
    if (ms >= kMsecsPerDay) { // rounded up to the next midnight
        ms -= kMsecsPerDay;
        days += t < 0 ? -1 : 1;
    }
    return QDateTime(kDayZero.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

TMediaKind MediaKindOfFile(const QString &fileName)
{
    qsizetype dot = -1;
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName.at(i);
        if (c == u'.') {
            dot = i;
            break;
        }
        if (c == u'/' || c == u'\\' || c == u':')
            break;
    }
    if (dot < 0)
        return mkUnknown;
    const QStringView ext = QStringView(fileName).mid(dot);

    // Only A to Z fold: no other letter may turn one extension into another.
    auto same = [](QStringView a, QStringView b) {
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i) {
            char16_t x = a[i].unicode(), y = b[i].unicode();
            if (x >= u'A' && x <= u'Z')
                x += 32;
            if (y >= u'A' && y <= u'Z')
                y += 32;
            if (x != y)
                return false;
        }
        return true;
    };
    static constexpr std::array<std::pair<const char16_t *, TMediaKind>, 13> kinds{{
        {u".aiff", mkAiff},
        {u".avi", mkAvi},
        {u".flac", mkFlac},
        {u".m4a", mkM4a},
        {u".mid", mkMid},
        {u".mov", mkMov},
        {u".mp3", mkMp3},
        {u".mp4", mkMp4},
        {u".mpg", mkMpg},
        {u".ogg", mkOgg},
        {u".wav", mkWav},
        {u".wma", mkWma},
        {u".wmv", mkWmv},
    }};
    for (const auto &[text, kind] : kinds)
        if (same(ext, QStringView(text)))
            return kind;
    return mkUnknown;
}
