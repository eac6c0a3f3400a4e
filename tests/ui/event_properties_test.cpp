// The event dialog on its own, offscreen, with the recording audio double.

#include "event_properties.h"
#include "modal.h"
#include "recording_backend.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class EventPropertiesTest : public ::testing::Test {
protected:
    EventPropertiesTest()
        : dialog([this](int32_t uid, TCueStatus s) {
              heard.push_back(uid);
              (void)s;
              dialog.UpdateButtons(); // as the main window does for UID < 0
          })
    {
    }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        bell = dir.filePath(QStringLiteral("bell.wav"));
        QFile f(bell);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Shows the dialog modally and runs `act` inside; answers the result.
    int run(const std::function<void()> &act)
    {
        WhenModal inside([&](QWidget *) { act(); });
        return dialog.exec();
    }
    std::pair<bool, bool> buttons() const { return {dialog.btPreview->isEnabled(), dialog.btStop->isEnabled()}; }

    RecordingAudioBackend audio;
    QTemporaryDir dir;
    QString bell;
    std::vector<int32_t> heard;
    TfmEventProperties dialog;
};

TEST_F(EventPropertiesTest, PreviewOnlyForAFileThatExists)
{
    for (const QString &file : {bell, QString(), dir.filePath(QStringLiteral("missing.wav")), dir.path()}) {
        dialog.Item.AudioFile = file;
        std::pair<bool, bool> shown;
        run([&] {
            shown = buttons();
            dialog.reject();
        });
        EXPECT_EQ(shown, std::make_pair(file == bell, false)) << file.toStdString();
    }
}

TEST_F(EventPropertiesTest, PreviewFollowsTheTextAsItIsTyped)
{
    const QString typed = bell + QStringLiteral("x");
    run([&] {
        dialog.edAudioFile->clear();
        for (qsizetype n = 1; n <= typed.size(); ++n) {
            QTest::keyClick(dialog.edAudioFile, typed.at(n - 1).toLatin1());
            EXPECT_EQ(dialog.btPreview->isEnabled(), typed.left(n) == bell) << typed.left(n).toStdString();
            EXPECT_EQ(dialog.Item.AudioFile, typed.left(n));
        }
        dialog.reject();
    });
}

TEST_F(EventPropertiesTest, PreviewStopAndTheEndSwitchTheButtons)
{
    dialog.Item.AudioFile = bell;
    dialog.Item.AudioDevice = 2;
    run([&] {
        dialog.btPreview->click();
        EXPECT_EQ(buttons(), std::make_pair(false, true));
        EXPECT_EQ(audio.deviceOf(dialog.Item.Stream()), 3u) << "plays on the item's device";
        dialog.btStop->click();
        EXPECT_EQ(buttons(), std::make_pair(true, false));

        dialog.btPreview->click();
        audio.setActive(dialog.Item.Stream(), kAudioInactive);
        audio.runEndSyncs(dialog.Item.Stream());
        QCoreApplication::processEvents();
        EXPECT_EQ(buttons(), std::make_pair(true, false)) << "the sound ended by itself";
        dialog.reject();
    });
    for (int32_t uid : heard)
        EXPECT_EQ(uid, -1);
    EXPECT_FALSE(heard.empty());
}

TEST_F(EventPropertiesTest, EveryWayOfClosingSilencesThePreview)
{
    using Close = std::function<void()>;
    const std::pair<const char *, Close> ways[] = {
        {"Cancel", [&] { dialog.btCancel->click(); }},
        {"Escape", [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        {"close button", [&] { dialog.close(); }},
        {"OK", [&] { dialog.btOK->click(); }},
    };
    for (const auto &[what, close] : ways) {
        dialog.Item.Assign(TEvent());
        dialog.Item.AudioFile = bell;
        const int result = run([&] {
            dialog.btPreview->click();
            ASSERT_EQ(dialog.Item.Status(), csPlaying);
            close();
        });
        EXPECT_EQ(result, std::string(what) == "OK" ? QDialog::Accepted : QDialog::Rejected) << what;
        EXPECT_EQ(dialog.Item.Status(), csStopped) << what;
        EXPECT_EQ(audio.calls().back(), "BASS_ChannelStop(" + std::to_string(dialog.Item.Stream()) + ")") << what;
    }
}

TEST_F(EventPropertiesTest, OkStoresTheControls)
{
    dialog.Item.SetName(QStringLiteral("Old"));
    const int result = run([&] {
        dialog.edTime->setTime(QTime(8, 30, 15, 700));
        dialog.edName->setText(QStringLiteral("  Second  bell \t"));
        for (int i = 0; i < 7; ++i)
            dialog.edDay[i]->setChecked(i == 1 || i == 6);
        dialog.edAudioFile->setText(QStringLiteral(" /sounds/x.wav "));
        dialog.btOK->click();
    });
    ASSERT_EQ(result, QDialog::Accepted);
    const TEvent &i = dialog.Item;
    EXPECT_EQ(i.TimeSeconds, 30615u) << "the whole second";
    EXPECT_EQ(i.Name(), QStringLiteral("Second  bell"));
    EXPECT_TRUE(!i.Mon && i.Tue && !i.Wed && !i.Thu && !i.Fri && !i.Sat && i.Sun);
    EXPECT_EQ(i.AudioFile, QStringLiteral(" /sounds/x.wav ")) << "untrimmed";
}

TEST_F(EventPropertiesTest, PresetsSetTheBoxesOnlyAndCancelKeepsTheItem)
{
    dialog.Item.Mon = dialog.Item.Sat = true;
    const QString presets[] = {QStringLiteral("Clear"), QStringLiteral("Every Day"),
                               QStringLiteral("Week Days"), QStringLiteral("Weekend")};
    const char *expected[] = {"-------", "xxxxxxx", "xxxxx--", "-----xx"};
    run([&] {
        const QList<QAction *> items = dialog.pmDaysOfWeek->actions();
        ASSERT_EQ(items.size(), 4);
        for (int p = 0; p < 4; ++p) {
            EXPECT_EQ(items[p]->text(), presets[p]);
            items[p]->trigger();
            std::string boxes;
            for (QCheckBox *b : dialog.edDay)
                boxes += b->isChecked() ? 'x' : '-';
            EXPECT_EQ(boxes, expected[p]);
        }
        dialog.btCancel->click();
    });
    EXPECT_TRUE(dialog.Item.Mon && !dialog.Item.Tue && dialog.Item.Sat && !dialog.Item.Sun);
}

TEST_F(EventPropertiesTest, LabelsNameTheirControlsAndCancelComesFirst)
{
    EXPECT_EQ(dialog.edTime->accessibleName(), QStringLiteral("Event Time"));
    EXPECT_EQ(dialog.edName->accessibleName(), QStringLiteral("Event Name"));
    EXPECT_EQ(dialog.edAudioFile->accessibleName(), QStringLiteral("Audio File"));
    EXPECT_EQ(dialog.edDaysOfWeek->title(), QStringLiteral("Event Days"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Event Properties"));
    dialog.Item.AudioFile = bell;
    run([&] {
        EXPECT_EQ(QApplication::focusWidget(), dialog.btCancel);
        // Tab steps through the time's sections first; a disabled Stop is skipped.
        std::vector<QWidget *> order;
        for (int i = 0; i < 15; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (order.empty() || order.back() != QApplication::focusWidget())
                order.push_back(QApplication::focusWidget());
        }
        std::vector<QWidget *> expected = {dialog.edTime, dialog.edName};
        expected.insert(expected.end(), std::begin(dialog.edDay), std::end(dialog.edDay));
        expected.push_back(dialog.edAudioFile);
        expected.push_back(dialog.btBrowse);
        expected.push_back(dialog.btPreview);
        expected.push_back(dialog.btOK);
        EXPECT_EQ(order, expected);
        dialog.reject();
    });
}

} // namespace
