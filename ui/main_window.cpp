#include "main_window.h"

#include "about.h"
#include "clock_label.h"
#include "error_guard.h"
#include "event_properties.h"
#include "icons.h"
#include "product.h"
#include "schedule_grid.h"
#include "settings.h"
#include "settings_location.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolBar>
#include <QWindowStateChangeEvent>

namespace {

const QString kProduct = QLatin1String(kProductName);

} // namespace

TfmMain::TfmMain(const Clock *clock, QWidget *parent) : QMainWindow(parent), fClock(clock)
{
    setWindowTitle(kProduct);
    setWindowIcon(TavolinAppIcon());
    setMinimumSize(700, 300);
    resize(700, 300);

    grSchedule = new TScheduleGrid(this);
    grSchedule->SetMarkerIcon(TavolinImage(Img::Play));
    setCentralWidget(grSchedule);
    CreateActions();

    TrayIcon = new QSystemTrayIcon(TavolinAppIcon(), this);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::DoubleClick || why == QSystemTrayIcon::Trigger)
            TrayIconDblClick();
    });

    fmEventProperties = new TfmEventProperties(
        [this](int32_t uid, TCueStatus status) { OnStatusChange(uid, status); }, this);
    FormCreate();
    fmAbout = new TfmAbout(TVersionInfo::Program(), this);
    fmSettings = new TfmSettings(*Schedule, this);
    fmSettings->SetAudioDevices(fAudioDevices);
}

TfmMain::~TfmMain()
{
    // The schedule goes first: its events fall silent, and any end notice
    // still on its way finds no event and no window.
    Schedule.reset();
}

void TfmMain::CreateActions()
{
    auto action = [this](Img image, const char *caption) {
        auto *a = new QAction(TavolinImage(image), QString::fromLatin1(caption), this);
        return a;
    };
    actNewEvent = action(Img::NewEvent, "New Event");
    actDeleteEvent = action(Img::DeleteEvent, "Delete Event");
    actEditEvent = action(Img::EditEvent, "Edit Event");
    actPauseSchedule = action(Img::Pause, "Pause Schedule");
    actRunSchedule = action(Img::Play, "Run Schedule");
    actStopAll = action(Img::StopAll, "Stop All");
    mnSettings = action(Img::Settings, "Settings...");
    mnExit = action(Img::Exit, "E&xit");
    mnExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    mnAbout = action(Img::About, "&About...");

    connect(actNewEvent, &QAction::triggered, this, &TfmMain::actNewEventExecute);
    connect(actEditEvent, &QAction::triggered, this, &TfmMain::actEditEventExecute);
    // A double click edits the current row, and only while editing is allowed.
    connect(grSchedule, &TScheduleGrid::cellDoubleClicked, actEditEvent, &QAction::trigger);
    connect(grSchedule->horizontalHeader(), &QHeaderView::sectionDoubleClicked, actEditEvent,
            &QAction::trigger);
    connect(actPauseSchedule, &QAction::triggered, this, &TfmMain::actPauseScheduleExecute);
    connect(actRunSchedule, &QAction::triggered, this, &TfmMain::actRunScheduleExecute);
    connect(actStopAll, &QAction::triggered, this, &TfmMain::actStopAllExecute);
    connect(actDeleteEvent, &QAction::triggered, this, &TfmMain::actDeleteEventExecute);
    connect(mnExit, &QAction::triggered, this, &TfmMain::mnExitClick);
    connect(mnSettings, &QAction::triggered, this, &TfmMain::mnSettingsClick);
    connect(mnAbout, &QAction::triggered, this, &TfmMain::mnAboutClick);

    QMenu *mnFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnFile->addAction(mnSettings);
    mnFile->addSeparator();
    mnFile->addAction(mnExit);
    QMenu *mnHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnHelp->addAction(mnAbout);

    ToolBar1 = addToolBar(QStringLiteral("Schedule"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar1->setIconSize(QSize(16, 16)); // the images are drawn for 16 pixels
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->addAction(actNewEvent);
    ToolBar1->addAction(actDeleteEvent);
    ToolBar1->addAction(actEditEvent);
    ToolBar1->addSeparator();
    ToolBar1->addAction(actPauseSchedule);
    ToolBar1->addAction(actRunSchedule);
    ToolBar1->addAction(actStopAll);
    // The clock sits at the right end of the bar above the toolbar: with the
    // desktop's fonts the six buttons need the toolbar's whole width at the
    // minimum window size, and Stop All must never be pushed out of sight.
    JvClock1 = new TClockLabel(menuBar());
    menuBar()->setCornerWidget(JvClock1, Qt::TopRightCorner);
}

void TfmMain::FormCreate()
{
    Schedule = std::make_unique<TSchedule>(fClock);
    fSettingsPath = ::SettingsPath();
    Schedule->FileName = fSettingsPath + QStringLiteral("settings.xml");
    const bool loaded = RunGuarded(this, [this] { Schedule->LoadFromFile(); });

    // The outputs open now, not at the first showing: bells due while the
    // window waits minimised or in the tray must ring.
    GetAudioDevices(fAudioDevices, [this](const QString &message) {
        QMessageBox::warning(this, kProduct, message);
    });
    if (!loaded)
        return;

    for (int i = 0; i < Schedule->Events.Count(); ++i)
        Hook(*Schedule->Events.Items(i));
    Schedule->Events.SetUIDs();

    if (Schedule->StartMinimised) {
        if (Schedule->MinimiseToTray && QSystemTrayIcon::isSystemTrayAvailable()) {
            fStartsInTray = true;
            HideToTray();
        } else {
            setWindowState(Qt::WindowMinimized);
        }
    }
}

void TfmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TfmMain::FormShow()
{
    if (AppLoaded)
        return;
    AppLoaded = true;
    const TFormPos &pos = Schedule->MainFormPos;
    move(pos.Left, pos.Top);
    resize(pos.Width, pos.Height); // the minimum size raises what is too small
    RunGuarded(this, [this] { RefreshGrid(); });
}

void TfmMain::closeEvent(QCloseEvent *event)
{
    if (FormClose()) {
        TrayIcon->hide();
        event->accept();
        emit Closed();
    } else {
        event->ignore(); // the save failed: stay open, nothing is lost
    }
}

bool TfmMain::FormClose()
{
    const QRect frame = frameGeometry();
    TFormPos &pos = Schedule->MainFormPos;
    pos.Top = frame.top();
    pos.Left = frame.left();
    pos.Height = height();
    pos.Width = width();
    return RunGuarded(this, [this] { Schedule->SaveToFile(); });
}

void TfmMain::RefreshGrid()
{
    TEventList &events = Schedule->Events;
    grSchedule->ShowEvents(events);
    grSchedule->SetCurrentCell(0, TScheduleGrid::colTime);
    if (events.Count() == 0)
        Schedule->SetPaused(true);
    UpdateControls();
    events.UpdateAudioDevice(Schedule->AudioDevice());
}

void TfmMain::UpdateControls()
{
    const bool paused = Schedule->Paused();
    const bool any = Schedule->Events.Count() > 0;
    actNewEvent->setEnabled(paused);
    actDeleteEvent->setEnabled(any && paused);
    actEditEvent->setEnabled(any && paused);
    actPauseSchedule->setEnabled(!paused);
    actRunSchedule->setEnabled(any && paused);
    actStopAll->setEnabled(!Schedule->Events.AllStopped());
    setWindowTitle(paused ? kProduct + QStringLiteral(" ( Paused )") : kProduct);
}

void TfmMain::Hook(TEvent &e)
{
    e.SetOnStatusChange([this](int32_t uid, TCueStatus status) { OnStatusChange(uid, status); });
}

void TfmMain::OnStatusChange(int32_t UID, TCueStatus Status)
{
    if (UID < 0) {
        fmEventProperties->UpdateButtons(); // the dialog's own event
    } else {
        if (Status == csStopped)
            grSchedule->SetMarker(UID + 1, false);
        else if (Status == csPlaying)
            grSchedule->SetMarker(UID + 1, true);
    }
    UpdateControls();
}

void TfmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimising hides in the tray when asked to, and only where there is a
    // tray to come back from. Queued: whoever minimises may still show the
    // window once this returns.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        Schedule && Schedule->MinimiseToTray && QSystemTrayIcon::isSystemTrayAvailable()) {
        QMetaObject::invokeMethod(this, [this] {
            if (isMinimized())
                HideToTray();
        }, Qt::QueuedConnection);
    }
}

void TfmMain::HideToTray()
{
    TrayIcon->setToolTip(windowTitle());
    TrayIcon->show();
    hide();
}

void TfmMain::TrayIconDblClick()
{
    BringToFront();
}

void TfmMain::BringToFront()
{
    TrayIcon->hide();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TfmMain::actPauseScheduleExecute()
{
    Schedule->SetPaused(true);
    UpdateControls();
}

void TfmMain::actRunScheduleExecute()
{
    Schedule->SetPaused(false);
    UpdateControls();
}

void TfmMain::actStopAllExecute()
{
    Schedule->Events.StopAll();
}

void TfmMain::actDeleteEventExecute()
{
    if (QMessageBox::question(this, kProduct, QStringLiteral("Delete this event?"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const int row = grSchedule->CurrentBodyRow();
    if (row < 1 || row > Schedule->Events.Count())
        return;
    // Stopped first, so its marker and Stop All follow; the list then destroys
    // it, and a late end notice finds nothing.
    Schedule->Events.Items(row - 1)->Stop();
    Schedule->Events.Delete(row - 1);
    Schedule->Events.SortByTime();
    RunGuarded(this, [this] { RefreshGrid(); });
}

void TfmMain::actNewEventExecute()
{
    TEvent &item = fmEventProperties->Item;
    item.Assign(Schedule->Defaults);
    item.AudioDevice = Schedule->AudioDevice();
    if (fmEventProperties->exec() != QDialog::Accepted)
        return;
    auto e = std::make_unique<TEvent>();
    e->Assign(item);
    Hook(*e);
    Schedule->Events.Add(std::move(e));
    Schedule->Events.SortByTime();
    RunGuarded(this, [this] { RefreshGrid(); });
}

void TfmMain::actEditEventExecute()
{
    int row = grSchedule->CurrentBodyRow();
    if (row < 1 || row > Schedule->Events.Count())
        return;
    fmEventProperties->Item.Assign(*Schedule->Events.Items(row - 1));
    if (fmEventProperties->exec() != QDialog::Accepted)
        return;
    row = grSchedule->CurrentBodyRow();
    TEvent *e = Schedule->Events.Items(row - 1);
    // Stopped first: once the copy marks it stopped, nothing could stop its sound.
    e->Stop();
    e->Assign(fmEventProperties->Item);
    Schedule->Events.SortByTime();
    RunGuarded(this, [this] { RefreshGrid(); });
}

void TfmMain::mnExitClick()
{
    close();
}

void TfmMain::mnSettingsClick()
{
    if (fmSettings->exec() == QDialog::Accepted)
        Schedule->SetAudioDevice(fmSettings->SelectedAudioDevice());
}

void TfmMain::mnAboutClick()
{
    fmAbout->exec();
}
