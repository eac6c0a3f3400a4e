#pragma once
// Files that must never be lost: replaced whole or not at all, and kept
// aside instead of overwritten when they could not be read.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <stdexcept>

// A file could not be read or written. The message names the file and says
// what went wrong, in words a user can act on.
class EFileError : public std::runtime_error {
public:
    explicit EFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// Writes `bytes` to a new file beside `path`, flushes it to the disk, then
// renames it over `path` (over a link's target when `path` is a link). Until
// the rename the old file stays whole; a crash leaves at most a stray
// ".<name>.saving-XXXXXX" beside it. Throws EFileError and leaves the old
// file untouched when anything fails.
void WriteFileAtomically(const QString &path, const QByteArray &bytes);

// Moves `path` to "<base>.<reason>-<yyyyMMdd-HHmmss>.<suffix>" beside it,
// copying it when it cannot be moved. Answers the new path, or empty when
// neither worked.
QString KeepAside(const QString &path, const QString &reason, const QDateTime &when);

// Tests only: called with the new file's name once it is complete, just
// before it replaces the old one.
void SetBeforeReplaceHook(std::function<void(const QString &newFile)> hook);
