#pragma once
// Time of day and media kinds: the small conversions everything else shares.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <stdexcept>

// Days since 30 December 1899; the fraction is the time of day. Before that
// day the fraction still counts forward from midnight (-1.25 is 29 December
// 1899, 06:00).
using TDateTime = double;

constexpr uint32_t kSecondsPerDay = 86400;
constexpr TDateTime kFirstOf2012 = 40909.0; // the date SecondsToTime puts times on

// Raised for a second of the day that no clock shows.
class EInvalidTime : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The time of day `seconds` after midnight on 1 January 2012. Throws
// EInvalidTime for 86400 or more.
TDateTime SecondsToTime(uint32_t seconds);

// The second of the day of `t`: its date dropped, its time taken to the
// nearest millisecond (the resolution of a date-time) and the milliseconds
// then dropped.
uint32_t TimeToSeconds(TDateTime t);

TDateTime DateTimeFromQt(const QDateTime &dt);
QDateTime DateTimeToQt(TDateTime t);

enum TMediaKind : uint8_t {
    mkUnknown,
    mkAiff,
    mkAvi,
    mkFlac,
    mkM4a,
    mkMid,
    mkMov,
    mkMp3,
    mkMp4,
    mkMpg,
    mkOgg,
    mkWav,
    mkWma,
    mkWmv,
};

// Classifies a file by its extension, ignoring the case of A to Z. The
// extension starts at the last "." that no "/", "\" or ":" follows, so paths
// written on Windows classify the same.
TMediaKind MediaKindOfFile(const QString &fileName);
