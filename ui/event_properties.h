#pragma once
// The dialog that sets up one event: time, name, weekdays and audio file,
// with a preview of the sound. It edits its own event, Item; the caller
// copies Item back only when the dialog ends with OK.

#include "project_classes.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimeEdit;
class QToolButton;

class TfmEventProperties : public QDialog {
    Q_OBJECT
public:
    // `listener` hears the preview's status changes (with UID -1).
    explicit TfmEventProperties(TOnStatusChange listener, QWidget *parent = nullptr);

    TEvent Item;

    // Preview only for a stopped item whose file exists; Stop while it plays.
    void UpdateButtons();

    // Shows the file-open dialog; the chosen file's path goes into the edit.
    void BrowseForFile();

    QPushButton *btCancel, *btPreview, *btStop, *btOK;
    QTimeEdit *edTime;
    QLineEdit *edName, *edAudioFile;
    QGroupBox *edDaysOfWeek;
    QCheckBox *edDay[7];
    QToolButton *btBrowse;
    QMenu *pmDaysOfWeek;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ItemToControls();
    void ControlsToItem();
    void SetDays(const bool (&days)[7]);

    TOnStatusChange fListener;
};

// The four weekday presets, in menu order, shared with the settings dialog.
void AddDayPresets(QMenu *menu, const std::function<void(const bool (&)[7])> &apply);
