#pragma once
// Where the engine reads the time of day. Tests put a ManualClock in place of
// the system's to play through chosen moments without waiting for them.

#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

// The machine's local time.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    static const SystemClock &instance();
};

// Shows what it was last set to, until set or advanced again.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(QDateTime t) { now_ = std::move(t); }
    void advance(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};
