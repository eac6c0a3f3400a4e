// The settings dialog and the about box, offscreen.

#include "about.h"
#include "modal.h"
#include "schedule.h"
#include "settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : dialog(schedule)
    {
        TAudioDeviceList devices;
        devices.Names = {QStringLiteral("Speakers"), QStringLiteral("Hall")};
        devices.DeviceIndexes = {0, 2}; // the device between them failed to open
        dialog.SetAudioDevices(devices);
        schedule.Defaults.SetName(QStringLiteral("Bell"));
        schedule.Defaults.Mon = true;
        schedule.SetAudioDevice(2);
    }
    int run(const std::function<void()> &act)
    {
        WhenModal inside([&](QWidget *) { act(); });
        return dialog.exec();
    }
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(9, 0))};
    TSchedule schedule{&clock};
    TfmSettings dialog;
};

TEST_F(SettingsTest, EveryShowingShowsTheSchedulesValues)
{
    run([&] {
        dialog.Fields->edName->setText(QStringLiteral("typed"));
        dialog.cbStartMinimised->setChecked(true);
        dialog.edAudioOutput->setCurrentIndex(0);
        dialog.btCancel->click();
    });
    EXPECT_FALSE(schedule.StartMinimised) << "Cancel stores nothing";
    EXPECT_EQ(schedule.Defaults.Name(), QStringLiteral("Bell"));
    run([&] {
        EXPECT_EQ(dialog.Fields->edName->text(), QStringLiteral("Bell"));
        EXPECT_FALSE(dialog.cbStartMinimised->isChecked());
        EXPECT_EQ(dialog.edAudioOutput->currentText(), QStringLiteral("Hall")) << "index 2 is the second name";
        dialog.btCancel->click();
    });
}

TEST_F(SettingsTest, OkStoresTheDefaultsAndOptionsAndHandsBackTheOutput)
{
    ASSERT_EQ(run([&] {
                  dialog.Fields->edTime->setTime(QTime(7, 45, 10, 900));
                  dialog.Fields->edName->setText(QStringLiteral("  Morning bell  "));
                  dialog.Fields->edAudioFile->setText(QStringLiteral("/missing/bell.wav"));
                  dialog.cbMinimiseToTray->setChecked(true);
                  dialog.btOK->click();
              }),
              QDialog::Accepted);
    EXPECT_EQ(schedule.Defaults.TimeSeconds, 27910u);
    EXPECT_EQ(schedule.Defaults.Name(), QStringLiteral("Morning bell"));
    EXPECT_EQ(schedule.Defaults.AudioFile, QStringLiteral("/missing/bell.wav"));
    EXPECT_TRUE(schedule.MinimiseToTray);
    EXPECT_EQ(dialog.SelectedAudioDevice(), 2) << "unchanged, the loaded index comes back";
    EXPECT_EQ(schedule.AudioDevice(), 2) << "the dialog itself does not set the output";
}

TEST_F(SettingsTest, AnOutputOutsideTheListShowsNoneAndGivesMinusOne)
{
    for (int32_t index : {-1, 1, 7}) {
        schedule.SetAudioDevice(index);
        run([&] {
            EXPECT_EQ(dialog.edAudioOutput->currentIndex(), -1) << index;
            dialog.btOK->click();
        });
        EXPECT_EQ(dialog.SelectedAudioDevice(), -1) << index;
    }
}

TEST_F(SettingsTest, PresetsThenCancelChangeNothing)
{
    run([&] {
        for (QAction *preset : dialog.Fields->pmDaysOfWeek->actions())
            preset->trigger();
        EXPECT_TRUE(dialog.Fields->edDay[6]->isChecked()) << "Weekend was last";
        dialog.btCancel->click();
    });
    EXPECT_TRUE(schedule.Defaults.Mon);
    EXPECT_FALSE(schedule.Defaults.Sun);
    EXPECT_EQ(dialog.edAudioOutput->toolTip(),
              QStringLiteral("Select which audio output to play the sounds events though"));
}

TEST(About, ShowsNameAndVersionAndClosesOnEnterOrEscape)
{
    struct Case {
        TVersionInfo info;
        QString name, version;
    };
    const Case cases[] = {
        {TVersionInfo::Program(), QStringLiteral("Tavolin"), QStringLiteral("Version 1.2.0.0")},
        {{true, QStringLiteral("Tavolin"), QString()}, QStringLiteral("Tavolin"), QStringLiteral("Version ")},
        {{true, QString(), QStringLiteral("1.2.0.0")}, QString(), QStringLiteral("Version 1.2.0.0")},
        {{false, {}, {}}, QStringLiteral("Updated at run-time"), QStringLiteral("Version Updated at run-time")},
    };
    for (const Case &c : cases) {
        TfmAbout box(c.info);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QString name, version;
            WhenModal press([&](QWidget *) {
                name = box.laProgramName->text();
                version = box.laProgramVersion->text();
                QTest::keyClick(&box, key);
            });
            EXPECT_EQ(box.exec(), QDialog::Accepted) << key;
            EXPECT_EQ(name, c.name);
            EXPECT_EQ(version, c.version);
        }
    }
    TfmAbout box;
    EXPECT_TRUE(box.RTFLabel1->text().contains(QStringLiteral("color:#ff0000\">K</span>estrane")));
}

} // namespace
