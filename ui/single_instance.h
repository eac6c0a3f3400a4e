#pragma once
// One running copy per schedule file: a second start hands over to the
// first, which comes to the front, and ends.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` holds the schedule file; the lock lives beside it.
    explicit TSingleInstance(const QString &folder, QObject *parent = nullptr);

    // True when this is the only copy; it then listens for later ones.
    // Otherwise it asks the running copy to come forward: `reached` tells
    // whether that copy answered.
    bool Claim(bool *reached);

signals:
    void ActivationRequested();

private:
    QString fName;
    QLockFile fLock;
    QLocalServer fServer;
};
