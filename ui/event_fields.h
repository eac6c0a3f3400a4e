#pragma once
// The four fields of an event as both dialogs show them: time, name, the
// seven days (with their presets on the context menu) and the audio file
// with its browse button.

#include <QWidget>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QTimeEdit;
class QToolButton;
class TEvent;

class TEventFields : public QWidget {
    Q_OBJECT
public:
    explicit TEventFields(QWidget *parent = nullptr);

    // A time past the day (only from a hand-edited file) shows as midnight.
    void Load(const TEvent &e);
    // Whole seconds; the name through its trimming setter; the path as typed.
    void Store(TEvent &e) const;
    void SetDays(const bool (&days)[7]);
    // The file-open dialog; the chosen path goes into the edit.
    void BrowseForFile();

    QWidget *First() const;
    QWidget *Last() const;

    QTimeEdit *edTime;
    QLineEdit *edName;
    QGroupBox *edDaysOfWeek;
    QCheckBox *edDay[7];
    QLineEdit *edAudioFile;
    QToolButton *btBrowse;
    QMenu *pmDaysOfWeek;
};
