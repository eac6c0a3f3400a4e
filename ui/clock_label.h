#pragma once

#include <QLabel>
#include <QTimer>

// The toolbar's clock: hh:mm:ss am/pm, turning over just after each second.
class TClockLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClockLabel(QWidget *parent = nullptr);

private:
    void Tick();

    QTimer fTimer;
};
