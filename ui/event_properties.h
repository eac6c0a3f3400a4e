#pragma once
// The dialog that sets up one event: time, name, weekdays and audio file,
// with a preview of the sound. It edits its own event, Item; the caller
// copies Item back only when the dialog ends with OK.

#include "event_fields.h"
#include "project_classes.h"

#include <QDialog>

class QPushButton;

class TfmEventProperties : public QDialog {
    Q_OBJECT
public:
    // `listener` hears the preview's status changes (with UID -1).
    explicit TfmEventProperties(TOnStatusChange listener, QWidget *parent = nullptr);

    TEvent Item;

    // Preview only for a stopped item whose file exists; Stop while it plays.
    void UpdateButtons();

    // Every way of closing comes here: no preview outlives the dialog.
    void done(int result) override;

    TEventFields *Fields;
    QPushButton *btCancel, *btPreview, *btStop, *btOK;
    // The fields' controls, by their own names.
    QTimeEdit *const &edTime = Fields->edTime;
    QLineEdit *const &edName = Fields->edName;
    QGroupBox *const &edDaysOfWeek = Fields->edDaysOfWeek;
    QCheckBox *const (&edDay)[7] = Fields->edDay;
    QLineEdit *const &edAudioFile = Fields->edAudioFile;
    QToolButton *const &btBrowse = Fields->btBrowse;
    QMenu *const &pmDaysOfWeek = Fields->pmDaysOfWeek;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TOnStatusChange fListener;
};
