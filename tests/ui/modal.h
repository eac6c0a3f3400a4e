#pragma once
// Answers modal dialogs from the event loop, as a user would, while the code
// under test waits in exec().

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Once a modal window shows, runs `act` on it (once).
class WhenModal {
public:
    explicit WhenModal(std::function<void(QWidget *)> act) : fAct(std::move(act))
    {
        fTimer.setInterval(10);
        QObject::connect(&fTimer, &QTimer::timeout, &fTimer, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            fTimer.stop();
            fSeen = true;
            fAct(modal);
        });
        fTimer.start();
    }
    bool seen() const { return fSeen; }

private:
    std::function<void(QWidget *)> fAct;
    QTimer fTimer;
    bool fSeen = false;
};

// Answers the next message box with `button`, and keeps its text.
class MessageBoxAnswer {
public:
    explicit MessageBoxAnswer(QMessageBox::StandardButton button)
        : fWhen([this, button](QWidget *w) {
              auto *box = qobject_cast<QMessageBox *>(w);
              if (!box)
                  return;
              fText = box->text();
              box->button(button) ? box->button(button)->click() : box->done(button);
          })
    {
    }
    QString text() const { return fText; }

private:
    QString fText;
    WhenModal fWhen;
};
