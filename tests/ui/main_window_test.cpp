// The main window, offscreen, with the recording audio double.

#include "event_properties.h"
#include "main_window.h"
#include "settings.h"
#include "modal.h"
#include "recording_backend.h"
#include "schedule_grid.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        fSavedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
        folder = home.filePath(QStringLiteral("config/Kestrane/Tavolin"));
        audio.devices = {{"Speakers", true}};
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", fSavedConfig);
        QLocale::setDefault(QLocale::system());
    }

    void writeSettings(const QByteArray &xml)
    {
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile f(folder + QStringLiteral("/settings.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(xml);
    }
    QString sound(const QString &name)
    {
        const QString path = home.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    std::unique_ptr<TfmMain> open()
    {
        auto w = std::make_unique<TfmMain>();
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }
    static std::vector<bool> enabled(const TfmMain &w)
    {
        return {w.actNewEvent->isEnabled(), w.actDeleteEvent->isEnabled(), w.actEditEvent->isEnabled(),
                w.actPauseSchedule->isEnabled(), w.actRunSchedule->isEnabled(), w.actStopAll->isEnabled()};
    }
    static QString cell(const TfmMain &w, int row, int column)
    {
        return w.Grid()->CellData(row - 1, column).toString();
    }

    RecordingAudioBackend audio;
    QTemporaryDir home;
    QString folder;
    QByteArray fSavedConfig;
};

TEST_F(MainWindowTest, WithoutASettingsFileOpensEmptyPausedAndSavesAWholeFile)
{
    auto w = open();
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(w->size(), QSize(700, 300));
    EXPECT_EQ(w->Grid()->BodyRows(), 1);
    EXPECT_EQ(w->Grid()->model()->columnCount(), 11);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tavolin ( Paused )"));
    EXPECT_EQ(enabled(*w), (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_EQ(w->AudioDevices().Names, QStringList{QStringLiteral("Speakers")});

    ASSERT_TRUE(w->close());
    const QString file = folder + QStringLiteral("/settings.xml");
    ASSERT_TRUE(QFile::exists(file));
    TSchedule back;
    back.FileName = file;
    back.LoadFromFile();
    EXPECT_EQ(back.MainFormPos.Width, 700);
    EXPECT_EQ(back.MainFormPos.Height, 300);
    EXPECT_TRUE(readAll(file).contains("<Events />"));
}

TEST_F(MainWindowTest, ShowsEventsAndFollowsTheirSound)
{
    const QString bell = sound(QStringLiteral("bell.wav"));
    writeSettings("<Schedule><Events>"
                  "<Event TimeSeconds=\"30600\" Name=\"Morning\" Mon=\"-1\" Tue=\"0\" Wed=\"-1\" Thu=\"0\" Fri=\"0\" Sat=\"0\" Sun=\"-1\" AudioFile=\"" +
                  bell.toUtf8() +
                  "\"/>"
                  "<Event TimeSeconds=\"86400\" Name=\"Broken\" AudioFile=\"C:\\Sounds\\x.wav\"/>"
                  "<Event TimeSeconds=\"61200\" Name=\"Evening\" AudioFile=\"D:eve.mp3\"/>"
                  "</Events></Schedule>");
    auto w = open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tavolin")) << "a schedule with events runs";
    ASSERT_EQ(w->Grid()->BodyRows(), 3);
    EXPECT_EQ(cell(*w, 1, TScheduleGrid::colTime), QStringLiteral("8:30:00 AM"));
    EXPECT_EQ(cell(*w, 1, TScheduleGrid::colName), QStringLiteral("Morning"));
    EXPECT_EQ(cell(*w, 1, TScheduleGrid::colFile), QStringLiteral("bell.wav"));
    std::vector<bool> days;
    for (int c = TScheduleGrid::colMon; c <= TScheduleGrid::colSun; ++c)
        days.push_back(w->Grid()->CellData(0, c, Qt::CheckStateRole) == Qt::Checked);
    EXPECT_EQ(days, (std::vector<bool>{true, false, true, false, false, false, true}));
    EXPECT_FALSE(w->Grid()->model()->flags(w->Grid()->model()->index(0, TScheduleGrid::colMon)) &
                 (Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    EXPECT_EQ(cell(*w, 2, TScheduleGrid::colTime), QStringLiteral("--:--:--")) << "no time of day";
    EXPECT_EQ(cell(*w, 2, TScheduleGrid::colFile), QStringLiteral("x.wav"));
    EXPECT_EQ(cell(*w, 3, TScheduleGrid::colTime), QStringLiteral("5:00:00 PM")) << "rows after it filled";
    EXPECT_EQ(cell(*w, 3, TScheduleGrid::colFile), QStringLiteral("eve.mp3"));
    EXPECT_EQ(enabled(*w), (std::vector<bool>{false, false, false, true, false, false}));

    TEvent *e = w->Schedule->Events.Items(0);
    ASSERT_TRUE(e->Play());
    EXPECT_TRUE(w->Grid()->HasMarker(1));
    EXPECT_FALSE(w->Grid()->HasMarker(2));
    EXPECT_TRUE(w->actStopAll->isEnabled());

    w->OnStatusChange(0, csPaused);
    EXPECT_TRUE(w->Grid()->HasMarker(1)) << "a pause leaves the marker";
    w->OnStatusChange(-1, csStopped);
    EXPECT_TRUE(w->Grid()->HasMarker(1)) << "the dialog's item never touches the grid";

    audio.setActive(e->Stream(), kAudioInactive);
    audio.runEndSyncs(e->Stream()); // the end, from the library's thread
    EXPECT_TRUE(w->Grid()->HasMarker(1));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->Grid()->HasMarker(1));
    EXPECT_FALSE(w->actStopAll->isEnabled());

    // Saved back as it was read, the impossible time included.
    ASSERT_TRUE(w->close());
    EXPECT_TRUE(readAll(folder + QStringLiteral("/settings.xml")).contains("TimeSeconds=\"86400\" Name=\"Broken\""));
}

TEST_F(MainWindowTest, TheDialogsItemNeverTurnsStopAllOn)
{
    auto w = open();
    w->OnStatusChange(-1, csPlaying);
    EXPECT_FALSE(w->actStopAll->isEnabled());
    EXPECT_FALSE(w->Grid()->HasMarker(1));
}

TEST_F(MainWindowTest, TimesFollowTheUsersLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TimeText(30600), QStringLiteral("08:30:00"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TimeText(30600), QStringLiteral("8:30:00 AM"));
    EXPECT_EQ(TimeText(0), QStringLiteral("12:00:00 AM"));
    EXPECT_EQ(TimeText(86399), QStringLiteral("11:59:59 PM"));
}

TEST_F(MainWindowTest, StoredGeometryIsAppliedWithinTheMinimumSize)
{
    writeSettings("<Schedule><Settings><Window Top=\"40\" Left=\"30\" Height=\"200\" Width=\"500\"/></Settings></Schedule>");
    auto w = open();
    EXPECT_EQ(w->size(), QSize(700, 300));
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(30, 40));
}

TEST_F(MainWindowTest, AMalformedFileIsShownKeptAsideAndTheWindowStillOpens)
{
    writeSettings("<Schedule><Settings></Schedule>");
    MessageBoxAnswer ok(QMessageBox::Ok);
    auto w = open();
    EXPECT_TRUE(ok.text().contains(QStringLiteral("settings.xml"))) << ok.text().toStdString();
    EXPECT_TRUE(ok.text().contains(QStringLiteral("unreadable"))) << ok.text().toStdString();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("settings.unreadable-*.xml")}).size(), 1);
    EXPECT_EQ(w->Grid()->BodyRows(), 1);
}

TEST_F(MainWindowTest, AFailedSaveKeepsTheWindowOpen)
{
    auto w = open();
    QDir(folder).removeRecursively();
    QFile blocker(folder); // a file where the folder was: nothing can be saved
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MessageBoxAnswer ok(QMessageBox::Ok);
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(ok.text().contains(QStringLiteral("Could not save"))) << ok.text().toStdString();
    EXPECT_TRUE(w->isVisible());
    QFile::remove(folder);
    QDir().mkpath(folder);
    EXPECT_TRUE(w->close());
}

TEST_F(MainWindowTest, PauseRunStopAllAndDelete)
{
    writeSettings("<Schedule><Events><Event TimeSeconds=\"100\" Name=\"A\" AudioFile=\"" +
                  sound(QStringLiteral("a.wav")).toUtf8() + "\"/><Event TimeSeconds=\"200\" Name=\"B\" AudioFile=\"" +
                  sound(QStringLiteral("b.wav")).toUtf8() + "\"/></Events></Schedule>");
    auto w = open();
    TEvent *a = w->Schedule->Events.Items(0);
    TEvent *b = w->Schedule->Events.Items(1);
    ASSERT_TRUE(a->Play());
    ASSERT_TRUE(b->Play());
    w->actPauseSchedule->trigger();
    EXPECT_TRUE(w->Schedule->Paused());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tavolin ( Paused )"));
    EXPECT_EQ(enabled(*w), (std::vector<bool>{true, true, true, false, true, true}));
    EXPECT_EQ(a->Status(), csPlaying) << "pausing leaves sounds playing";

    w->actStopAll->trigger();
    EXPECT_FALSE(w->Grid()->HasMarker(1));
    EXPECT_FALSE(w->Grid()->HasMarker(2));
    EXPECT_FALSE(w->actStopAll->isEnabled());

    {
        MessageBoxAnswer no(QMessageBox::No);
        w->actDeleteEvent->trigger();
        EXPECT_EQ(no.text(), QStringLiteral("Delete this event?"));
        EXPECT_EQ(w->Schedule->Events.Count(), 2);
    }
    for (int left : {1, 0}) {
        MessageBoxAnswer yes(QMessageBox::Yes);
        w->actDeleteEvent->trigger();
        EXPECT_EQ(w->Schedule->Events.Count(), left);
    }
    EXPECT_EQ(w->Grid()->BodyRows(), 1);
    EXPECT_TRUE(w->Schedule->Paused());
    EXPECT_FALSE(w->actRunSchedule->isEnabled());
}

TEST_F(MainWindowTest, ASecondCopyHandsOverToTheFirstAndEnds)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    QProcess first, second;
    for (QProcess *p : {&first, &second})
        p->setProcessEnvironment(env);
    first.start(QStringLiteral(TAVOLIN_EXE), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(folder + QStringLiteral("/tavolin.lock")); }, 10000));
    QTest::qWait(500);
    second.start(QStringLiteral(TAVOLIN_EXE), {});
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second copy ends by itself";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running) << "the first runs on";
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(5000)) << "it ends when the system asks it to";
}

} // namespace

namespace {

class CommandsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        writeSettings("<Schedule><Settings><AudioDevice>1</AudioDevice>"
                      "<Defaults TimeSeconds=\"0\" Name=\"Fresh\" Sat=\"-1\"/></Settings><Events>"
                      "<Event TimeSeconds=\"100\" Name=\"A\" AudioFile=\"" + sound(QStringLiteral("a.wav")).toUtf8() + "\"/>"
                      "<Event TimeSeconds=\"300\" Name=\"C\" AudioFile=\"" + sound(QStringLiteral("c.wav")).toUtf8() + "\"/>"
                      "</Events></Schedule>");
        w = open();
        w->actPauseSchedule->trigger();
    }
    QStringList names() const
    {
        QStringList n;
        for (int r = 1; r <= w->Grid()->BodyRows(); ++r)
            n << cell(*w, r, TScheduleGrid::colName);
        return n;
    }
    // Runs `command` and answers the event dialog with `act`.
    void withDialog(QAction *command, const std::function<void(TfmEventProperties &)> &act)
    {
        WhenModal inside([&](QWidget *) { act(*w->fmEventProperties); });
        command->trigger();
        EXPECT_TRUE(inside.seen());
    }
    std::unique_ptr<TfmMain> w;
};

TEST_F(CommandsTest, NewStartsFromTheDefaultsAndTakesItsPlaceInTime)
{
    withDialog(w->actNewEvent, [](TfmEventProperties &d) {
        EXPECT_EQ(d.edName->text(), QStringLiteral("Fresh"));
        EXPECT_TRUE(d.edDay[5]->isChecked());
        EXPECT_EQ(d.Item.AudioDevice, 1) << "the schedule's output";
        d.edTime->setTime(QTime(0, 3, 20));
        d.edName->setText(QStringLiteral("B"));
        d.btOK->click();
    });
    EXPECT_EQ(names(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    EXPECT_TRUE(w->Schedule->Paused()) << "paused until Run";
    EXPECT_EQ(w->Schedule->Events.Items(1)->UID(), 1);

    // Its marker shows when it plays, previewed or not.
    TEvent *b = w->Schedule->Events.Items(1);
    b->AudioFile = sound(QStringLiteral("b.wav"));
    ASSERT_TRUE(b->Play());
    EXPECT_TRUE(w->Grid()->HasMarker(2));

    // Survives a restart.
    ASSERT_TRUE(w->close());
    w.reset();
    w = open();
    EXPECT_EQ(names(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
}

TEST_F(CommandsTest, EditMovesTheEventAndCancelChangesNothing)
{
    w->Grid()->SetCurrentCell(1, TScheduleGrid::colName); // C
    withDialog(w->actEditEvent, [](TfmEventProperties &d) {
        d.edName->setText(QStringLiteral("changed"));
        d.btCancel->click();
    });
    EXPECT_EQ(names(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    EXPECT_EQ(w->Grid()->CurrentBodyRow(), 2) << "the current row stays";

    w->Grid()->SetCurrentCell(0, TScheduleGrid::colName); // A, to after C
    withDialog(w->actEditEvent, [](TfmEventProperties &d) {
        EXPECT_EQ(d.edName->text(), QStringLiteral("A"));
        d.edTime->setTime(QTime(0, 10, 0));
        d.btOK->click();
    });
    EXPECT_EQ(names(), (QStringList{QStringLiteral("C"), QStringLiteral("A")}));
    EXPECT_EQ(w->Grid()->CurrentBodyRow(), 1);
    EXPECT_EQ(w->Schedule->Events.Items(1)->TimeSeconds, 600u);
}

TEST_F(CommandsTest, EditingAPlayingEventStopsItFirst)
{
    TEvent *a = w->Schedule->Events.Items(0);
    ASSERT_TRUE(a->Play());
    const uint32_t stream = a->Stream();
    w->Grid()->SetCurrentCell(0, TScheduleGrid::colName);
    withDialog(w->actEditEvent, [](TfmEventProperties &d) { d.btOK->click(); });
    const auto calls = audio.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "BASS_ChannelStop(" + std::to_string(stream) + ")"), calls.end());
    EXPECT_FALSE(w->actStopAll->isEnabled());
}

TEST_F(CommandsTest, DeleteStopsTheEventAndTheLastOneLeavesAnEmptyPausedGrid)
{
    TEvent *a = w->Schedule->Events.Items(0);
    ASSERT_TRUE(a->Play());
    const uint32_t stream = a->Stream();
    audio.setActive(stream, kAudioInactive);
    audio.runEndSyncs(stream); // its end is on the way while it is deleted
    {
        MessageBoxAnswer yes(QMessageBox::Yes);
        w->actDeleteEvent->trigger();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(names(), QStringList{QStringLiteral("C")});
    EXPECT_FALSE(w->Grid()->HasMarker(1)) << "the late notice does not land on C's row";
    EXPECT_FALSE(w->actStopAll->isEnabled());
    {
        MessageBoxAnswer yes(QMessageBox::Yes);
        w->actDeleteEvent->trigger();
    }
    EXPECT_EQ(w->Schedule->Events.Count(), 0);
    EXPECT_EQ(w->Grid()->BodyRows(), 1);
    EXPECT_TRUE(w->Schedule->Paused());
    EXPECT_FALSE(w->actRunSchedule->isEnabled());
}

TEST_F(CommandsTest, ADoubleClickEditsOnlyWhilePaused)
{
    w->actRunSchedule->trigger();
    {
        WhenModal none([](QWidget *m) { static_cast<QDialog *>(m)->reject(); });
        emit w->Grid()->cellDoubleClicked(0, 2);
        QTest::qWait(100);
        EXPECT_FALSE(none.seen()) << "no dialog while the schedule runs";
    }

    w->actPauseSchedule->trigger();
    withDialog(w->actEditEvent, [](TfmEventProperties &d) { d.btCancel->click(); }); // the action itself
    WhenModal edit([](QWidget *m) { static_cast<QDialog *>(m)->reject(); });
    // A real double click on the name of the first row.
    const QRect name = w->Grid()->visualRect(w->Grid()->model()->index(0, TScheduleGrid::colName));
    QTest::mouseClick(w->Grid()->viewport(), Qt::LeftButton, {}, name.center());
    QTest::mouseDClick(w->Grid()->viewport(), Qt::LeftButton, {}, name.center());
    EXPECT_TRUE(edit.seen());
}

} // namespace

namespace {

TEST_F(MainWindowTest, SettingsApplyTheChosenOutputToEveryEvent)
{
    audio.devices = {{"Speakers", true}, {"Broken", false}, {"Hall", true}};
    writeSettings("<Schedule><Events><Event TimeSeconds=\"100\" Name=\"A\"/></Events></Schedule>");
    MessageBoxAnswer failed(QMessageBox::Ok);
    auto w = open();
    EXPECT_EQ(failed.text(), QStringLiteral("Error initializing audio device 2"));
    EXPECT_EQ(w->AudioDevices().Names, (QStringList{QStringLiteral("Speakers"), QStringLiteral("Hall")}));

    WhenModal choose([&](QWidget *) {
        auto *output = w->findChild<QComboBox *>();
        ASSERT_NE(output, nullptr);
        output->setCurrentIndex(1); // "Hall"
        w->fmSettings->accept();
    });
    w->mnSettings->trigger();
    EXPECT_EQ(w->Schedule->AudioDevice(), 2);
    EXPECT_EQ(w->Schedule->Events.Items(0)->AudioDevice, 2);

    WhenModal about([&](QWidget *m) { static_cast<QDialog *>(m)->reject(); });
    w->mnAbout->trigger();
    EXPECT_TRUE(about.seen());
}

} // namespace
