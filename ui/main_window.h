#pragma once
// The main window: the grid of events, the toolbar of actions, the clock,
// the menu and the tray icon. It owns the schedule.

#include "audio_devices.h"
#include "schedule.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;
class QToolBar;
class TClockLabel;
class TfmAbout;
class TfmEventProperties;
class TfmSettings;
class TScheduleGrid;

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    // Loads the user's schedule and opens the audio outputs. Without a clock
    // the schedule reads the system's.
    explicit TfmMain(const Clock *clock = nullptr, QWidget *parent = nullptr);
    ~TfmMain() override;

    // Where the status changes of the schedule's events, and of the event
    // dialog's own event (UID below 0), arrive.
    void OnStatusChange(int32_t UID, TCueStatus Status);

    // True when the window starts hidden in the tray: then nobody calls show().
    bool StartsInTray() const { return fStartsInTray; }
    // Brings the window back from the tray, the taskbar or behind others.
    void BringToFront();

    std::unique_ptr<TSchedule> Schedule;

    // For the dialogs and the tests.
    const TAudioDeviceList &AudioDevices() const { return fAudioDevices; }
    const QString &SettingsPath() const { return fSettingsPath; }
    TScheduleGrid *Grid() const { return grSchedule; }
    QSystemTrayIcon *Tray() const { return TrayIcon; }
    TfmEventProperties *fmEventProperties;
    TfmAbout *fmAbout;
    TfmSettings *fmSettings;

signals:
    // The window has closed and its schedule is saved: the program may end.
    void Closed();

public:
    QAction *actNewEvent, *actDeleteEvent, *actEditEvent, *actPauseSchedule, *actRunSchedule,
        *actStopAll, *mnSettings, *mnExit, *mnAbout;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormClose();
    void CreateActions();
    void RefreshGrid();
    void UpdateControls();
    void HideToTray();
    void TrayIconDblClick();

    void actNewEventExecute();
    void actEditEventExecute();
    void actPauseScheduleExecute();
    void actRunScheduleExecute();
    void actStopAllExecute();
    void actDeleteEventExecute();
    void mnExitClick();
    void mnSettingsClick();
    void mnAboutClick();
    void Hook(TEvent &e);

    const Clock *fClock;
    QString fSettingsPath;
    bool AppLoaded = false;
    bool fStartsInTray = false;
    TAudioDeviceList fAudioDevices;

    TScheduleGrid *grSchedule;
    QToolBar *ToolBar1;
    TClockLabel *JvClock1;
    QSystemTrayIcon *TrayIcon;
};
