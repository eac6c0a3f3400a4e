#pragma once
// The settings dialog: the defaults for new events, the audio output and the
// two window options. OK writes the defaults and the options straight into
// the schedule; the caller takes the chosen output afterwards.

#include "audio_devices.h"
#include "event_fields.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class TSchedule;

class TfmSettings : public QDialog {
    Q_OBJECT
public:
    TfmSettings(TSchedule &schedule, QWidget *parent = nullptr);

    // The outputs offered, each name with its own device.
    void SetAudioDevices(const TAudioDeviceList &devices);
    // The output device index chosen; -1 when none is.
    int32_t SelectedAudioDevice() const;

    TEventFields *Fields;
    QComboBox *edAudioOutput;
    QCheckBox *cbMinimiseToTray, *cbStartMinimised;
    QPushButton *btCancel, *btOK;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ScheduleToControls();
    void ControlsToSchedule();

    TSchedule &fSchedule;
    TAudioDeviceList fDevices;
};
