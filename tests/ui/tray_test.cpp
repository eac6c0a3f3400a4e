// Hiding in the tray, under a private X server with a real tray host.

#include "main_window.h"
#include "recording_backend.h"
#include "schedule_grid.h"
#include "x_display.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
        audio.devices = {{"Speakers", true}};
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", saved);
        if (!testsupport::XDisplayEnvironment::display()->isTrayHostRunning())
            testsupport::StartTrayHost();
    }
    void settings(bool toTray, bool startMinimised)
    {
        const QString folder = home.filePath(QStringLiteral("config/Kestrane/Tavolin"));
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile f(folder + QStringLiteral("/settings.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("<Schedule><Settings><MinimiseToTray>%1</MinimiseToTray>"
                               "<StartMinimised>%2</StartMinimised></Settings>"
                               "<Events><Event TimeSeconds=\"60\" Name=\"Bell\"/></Events></Schedule>")
                    .arg(toTray ? -1 : 0)
                    .arg(startMinimised ? -1 : 0)
                    .toUtf8());
    }
    bool docked() const
    {
        return testsupport::XDisplayEnvironment::display()->hasWindowEmbeddedInTray(::getpid());
    }

    RecordingAudioBackend audio;
    QTemporaryDir home;
    QByteArray saved;
};

TEST_F(TrayTest, MinimisingHidesInTheTrayAndADoubleClickBringsItBack)
{
    settings(true, false);
    TfmMain w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.actPauseSchedule->trigger();
    w.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 2000));
    EXPECT_TRUE(w.Tray()->isVisible());
    EXPECT_EQ(w.Tray()->toolTip(), QStringLiteral("Tavolin ( Paused )")) << "the caption at that moment";
    EXPECT_TRUE(QTest::qWaitFor([&] { return docked(); }, 5000)) << "the icon sits in the tray";

    emit w.Tray()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_FALSE(w.Tray()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !docked(); }, 5000));
}

TEST_F(TrayTest, StartingMinimisedInTheTrayShowsNothingUntilCalled)
{
    settings(true, true);
    TfmMain w;
    EXPECT_TRUE(w.StartsInTray());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Tray()->isVisible());
    EXPECT_EQ(w.AudioDevices().Names, QStringList{QStringLiteral("Speakers")}) << "outputs open at start-up";
    EXPECT_EQ(w.Schedule->Events.Items(0)->UID(), 0) << "events hooked and numbered";
    EXPECT_FALSE(w.Grid()->CellData(0, TScheduleGrid::colName).isValid()) << "the grid waits for the first showing";

    emit w.Tray()->activated(QSystemTrayIcon::DoubleClick);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.Grid()->CellData(0, TScheduleGrid::colName).toString(), QStringLiteral("Bell"));
    EXPECT_FALSE(w.Tray()->isVisible());
}

TEST_F(TrayTest, WithoutATrayOrWithoutTheOptionMinimisingIsOrdinary)
{
    for (bool trayHost : {true, false}) {
        SCOPED_TRACE(trayHost ? "option off" : "no tray host");
        if (!trayHost) {
            ASSERT_TRUE(testsupport::StopTrayHost());
            ASSERT_TRUE(QTest::qWaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, 5000));
        }
        settings(!trayHost, !trayHost); // with no tray, even a tray start stays reachable
        TfmMain w;
        EXPECT_FALSE(w.StartsInTray());
        w.show();
        w.showMinimized();
        QTest::qWait(100);
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.isMinimized());
        EXPECT_FALSE(w.Tray()->isVisible());
    }
}

} // namespace
