#include "global.h"

#include <gtest/gtest.h>

namespace {

TEST(SecondsToTime, PutsTheTimeOnTheFirstOf2012)
{
    struct Case {
        uint32_t seconds;
        QTime time;
    };
    for (const Case &c : {Case{0, QTime(0, 0, 0)}, Case{3661, QTime(1, 1, 1)},
                          Case{86399, QTime(23, 59, 59)}}) {
        const QDateTime dt = DateTimeToQt(SecondsToTime(c.seconds));
        EXPECT_EQ(dt.date(), QDate(2012, 1, 1)) << c.seconds;
        EXPECT_EQ(dt.time(), c.time) << c.seconds;
    }
    EXPECT_DOUBLE_EQ(SecondsToTime(0), 40909.0);
}

TEST(SecondsToTime, RefusesSecondsPastTheDay)
{
    EXPECT_THROW(SecondsToTime(86400), EInvalidTime);
    EXPECT_THROW(SecondsToTime(4294967295u), EInvalidTime);
}

TEST(TimeToSeconds, RoundTripsEverySecondOfTheDay)
{
    // A date-time is a double: truncating its fraction would turn some whole
    // seconds, 08:00:00 among them, into the second before.
    for (uint32_t s = 0; s < kSecondsPerDay; ++s)
        ASSERT_EQ(TimeToSeconds(SecondsToTime(s)), s);
    EXPECT_EQ(TimeToSeconds(45000.0 + 8.0 / 24.0), 28800u);
}

TEST(TimeToSeconds, DropsDateAndMilliseconds)
{
    struct Case {
        QDateTime when;
        uint32_t seconds;
    };
    const Case cases[] = {
        {QDateTime(QDate(2012, 1, 1), QTime(13, 45, 30, 999)), 49530},
        {QDateTime(QDate(1999, 7, 4), QTime(13, 45, 30, 999)), 49530},
        {QDateTime(QDate(2031, 3, 30), QTime(0, 0, 0, 0)), 0},
        {QDateTime(QDate(2026, 12, 11), QTime(23, 59, 59, 999)), 86399},
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0, 0)), 21600}, // before day zero
    };
    for (const Case &c : cases)
        EXPECT_EQ(TimeToSeconds(DateTimeFromQt(c.when)), c.seconds) << c.when.toString().toStdString();
    // A hair before midnight rounds to the next midnight, not to second 86400.
    EXPECT_EQ(TimeToSeconds(40909.0 + 0.9999999999), 0u);
}

TEST(DateTime, ConvertsBothWays)
{
    const QDateTime when(QDate(2026, 12, 11), QTime(8, 0, 0, 250));
    EXPECT_EQ(DateTimeToQt(DateTimeFromQt(when)), when);
    EXPECT_DOUBLE_EQ(DateTimeFromQt(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(DateTimeToQt(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
}

TEST(MediaKindOfFile, ClassifiesByExtension)
{
    struct Case {
        QString file;
        TMediaKind kind;
    };
    const Case cases[] = {
        {QStringLiteral("C:\\Sounds\\Bell.WAV"), mkWav},
        {QStringLiteral("/home/ana/Sounds/Bell.WAV"), mkWav},
        {QStringLiteral("song.Mp3"), mkMp3},
        {QStringLiteral("song.FLAC"), mkFlac},
        {QStringLiteral("song.wMa"), mkWma},
        {QStringLiteral("song.aiff"), mkAiff},
        {QStringLiteral("song.ogg"), mkOgg},
        {QStringLiteral("song.mp4"), mkMp4},
        {QStringLiteral("C:\\Sounds\\jingle.m4a"), mkM4a},
        {QStringLiteral("clip.avi"), mkAvi},
        {QStringLiteral("tune.mid"), mkMid},
        {QStringLiteral("clip.mov"), mkMov},
        {QStringLiteral("clip.mpg"), mkMpg},
        {QStringLiteral("clip.wmv"), mkWmv},
        {QStringLiteral("archive.tar.flac"), mkFlac},
        {QStringLiteral(".wav"), mkWav},
        {QStringLiteral("C:\\Sounds.old\\readme"), mkUnknown},
        {QStringLiteral("/home/ana/Sounds.old/readme"), mkUnknown},
        {QStringLiteral("C:.wav\\x"), mkUnknown},
        {QStringLiteral("D:bell"), mkUnknown},
        {QStringLiteral("C:\\Sounds\\bell."), mkUnknown},
        {QStringLiteral("C:\\Sounds\\bell.wav.bak"), mkUnknown},
        {QStringLiteral("bell.wave"), mkUnknown},
        {QString(), mkUnknown},
        {QString::fromUtf16(u"bell.\uFF37AV"), mkUnknown}, // a full-width W is not a W
    };
    for (const Case &c : cases)
        EXPECT_EQ(MediaKindOfFile(c.file), c.kind) << c.file.toStdString();
}

} // namespace
