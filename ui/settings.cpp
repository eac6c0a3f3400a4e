#include "settings.h"

#include "schedule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfmSettings::TfmSettings(TSchedule &schedule, QWidget *parent) : QDialog(parent), fSchedule(schedule)
{
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    btCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    btCancel->setAutoDefault(false);
    auto *group = new QGroupBox(QStringLiteral("Default Properties (Used For New Events)"), this);
    Fields = new TEventFields(group);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(Fields);

    edAudioOutput = new QComboBox(this);
    edAudioOutput->setEditable(false);
    edAudioOutput->setToolTip(QStringLiteral("Select which audio output to play the sounds events though"));
    edAudioOutput->setAccessibleName(QStringLiteral("Audio Output"));
    auto *outputLabel = new QLabel(QStringLiteral("Audio &Output"), this);
    outputLabel->setBuddy(edAudioOutput);
    cbMinimiseToTray = new QCheckBox(QStringLiteral("Minimise To Tray"), this);
    cbStartMinimised = new QCheckBox(QStringLiteral("Start Minimised"), this);
    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btOK->setDefault(true);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btOK, &QPushButton::clicked, this, [this] {
        ControlsToSchedule();
        accept();
    });

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // not resizable
    layout->addWidget(group);
    auto *output = new QVBoxLayout;
    output->setSpacing(1);
    output->addWidget(outputLabel);
    output->addWidget(edAudioOutput);
    layout->addLayout(output);
    auto *bottom = new QHBoxLayout;
    auto *options = new QVBoxLayout;
    options->setSpacing(2);
    options->addWidget(cbMinimiseToTray);
    options->addWidget(cbStartMinimised);
    bottom->addLayout(options);
    bottom->addStretch(1);
    bottom->addWidget(btOK, 0, Qt::AlignBottom);
    bottom->addWidget(btCancel, 0, Qt::AlignBottom);
    layout->addLayout(bottom);

    setTabOrder(btCancel, Fields->First());
    setTabOrder(Fields->Last(), edAudioOutput);
    setTabOrder(edAudioOutput, cbMinimiseToTray);
    setTabOrder(cbMinimiseToTray, cbStartMinimised);
    setTabOrder(cbStartMinimised, btOK);
    btCancel->setFocus();
}

void TfmSettings::SetAudioDevices(const TAudioDeviceList &devices)
{
    fDevices = devices;
    edAudioOutput->clear();
    edAudioOutput->addItems(devices.Names);
    edAudioOutput->setCurrentIndex(-1);
}

int32_t TfmSettings::SelectedAudioDevice() const
{
    return fDevices.DeviceIndexAt(edAudioOutput->currentIndex());
}

void TfmSettings::showEvent(QShowEvent *event)
{
    ScheduleToControls();
    QDialog::showEvent(event);
}

void TfmSettings::ScheduleToControls()
{
    Fields->Load(fSchedule.Defaults);
    edAudioOutput->setCurrentIndex(int(fDevices.PositionOf(fSchedule.AudioDevice())));
    cbMinimiseToTray->setChecked(fSchedule.MinimiseToTray);
    cbStartMinimised->setChecked(fSchedule.StartMinimised);
}

void TfmSettings::ControlsToSchedule()
{
    Fields->Store(fSchedule.Defaults);
    fSchedule.MinimiseToTray = cbMinimiseToTray->isChecked();
    fSchedule.StartMinimised = cbStartMinimised->isChecked();
}
