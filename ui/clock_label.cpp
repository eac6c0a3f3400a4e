#include "clock_label.h"

#include <QDateTime>

TClockLabel::TClockLabel(QWidget *parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setMargin(2);
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 1.1);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    setFont(f);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 pm")) + 8);
    setAccessibleName(QStringLiteral("Clock"));
    fTimer.setSingleShot(true);
    fTimer.setTimerType(Qt::PreciseTimer);
    connect(&fTimer, &QTimer::timeout, this, &TClockLabel::Tick);
    Tick();
}

void TClockLabel::Tick()
{
    const QTime now = QTime::currentTime();
    setText(now.toString(QStringLiteral("hh:mm:ss ap")));
    fTimer.start(1000 - now.msec() + 2); // just after the next second begins
}
