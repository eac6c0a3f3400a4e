#pragma once
// The one place where an error that escapes a window's handler is shown to the
// user. The program keeps running.

#include <QString>

#include <functional>

class QWidget;

// Runs `work`; an exception it throws is shown in a message box over `parent`
// with the exception's message. Answers false when that happened.
bool RunGuarded(QWidget *parent, const std::function<void()> &work);

// Shows `message` in the program's own message box and returns once the user
// has closed it.
void ShowError(QWidget *parent, const QString &message);
