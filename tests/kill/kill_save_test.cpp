// A program killed at any moment of a save leaves the schedule file whole:
// the old schedule or the new one, never a mix and never nothing.

#include "schedule.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

// 'A' or 'B' when all 200 events carry names of that one kind, in order.
char KindOf(const TSchedule &s)
{
    if (s.Events.Count() != 200)
        return '?';
    const QChar kind = s.Events.Items(0)->Name().at(0);
    for (int i = 0; i < 200; ++i)
        if (s.Events.Items(i)->Name() !=
            QStringLiteral("%1%2").arg(kind).arg(i, 3, 10, QLatin1Char('0')))
            return '?';
    return kind == u'A' || kind == u'B' ? char(kind.unicode()) : '?';
}

TEST(KillSaveTest, AKillDuringSaveLeavesTheOldOrTheNewSchedule)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("settings.xml"));

    // The file exists before the first kill, so "no file" is never right.
    QProcess first;
    first.start(QStringLiteral(TAVOLIN_SAVE_LOOP), {path, QStringLiteral("A")});
    ASSERT_TRUE(first.waitForStarted());
    while (!QFile::exists(path) && first.state() == QProcess::Running)
        QThread::msleep(1);
    first.kill();
    first.waitForFinished();

    std::mt19937 random(4242);
    int strays = 0, changed = 0, saves = 0;
    char before = '?';
    for (int run = 0; run < 50; ++run) {
        {
            TSchedule s;
            s.FileName = path;
            ASSERT_NO_THROW(s.LoadFromFile());
            before = KindOf(s);
        }
        QProcess loop;
        // Start with the other schedule, so the first save changes the file.
        loop.start(QStringLiteral(TAVOLIN_SAVE_LOOP),
                   {path, before == 'A' ? QStringLiteral("B") : QStringLiteral("A")});
        ASSERT_TRUE(loop.waitForStarted());
        // The delay counts from the loop's start, not the program's.
        while (!loop.canReadLine())
            ASSERT_TRUE(loop.waitForReadyRead(30000)) << "save_loop never got ready";
        ASSERT_EQ(loop.readLine(), "ready\n");
        QThread::msleep(std::uniform_int_distribution<unsigned long>(5, 200)(random));
        loop.kill(); // SIGKILL
        ASSERT_TRUE(loop.waitForFinished());
        ASSERT_EQ(loop.exitStatus(), QProcess::CrashExit) << "save_loop stopped by itself";
        saves += int(loop.readAllStandardOutput().count('\n'));

        TSchedule s;
        s.FileName = path;
        try {
            s.LoadFromFile();
        } catch (const EFileError &e) {
            FAIL() << "run " << run << ": " << e.what();
        }
        ASSERT_TRUE(QFile::exists(path)) << "run " << run;
        const char after = KindOf(s);
        ASSERT_NE(after, '?') << "run " << run << ": neither schedule A nor B";
        changed += after != before;

        const QStringList stray =
            QDir(dir.path()).entryList({QStringLiteral(".settings.xml.saving-*")}, QDir::Files | QDir::Hidden);
        strays += int(stray.size());
        for (const QString &name : stray)
            QFile::remove(dir.filePath(name));
        const QStringList all = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(all, QStringList{QStringLiteral("settings.xml")}) << "run " << run;
    }
    std::printf("50 kills: %d saves finished, file changed after %d, %d stray temporary files\n",
                saves, changed, strays);
}

} // namespace
