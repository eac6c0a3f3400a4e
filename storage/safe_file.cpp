#include "safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::function<void(const QString &)> &beforeReplace()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Makes a rename in `dir` survive a power cut.
void syncFolder(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void SetBeforeReplaceHook(std::function<void(const QString &)> hook)
{
    beforeReplace() = std::move(hook);
}

void WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo given(path);
    const QFileInfo target(given.isSymLink() ? given.symLinkTarget() : given.absoluteFilePath());
    const QString name = target.absoluteFilePath();
    auto fail = [&](const QString &why) {
        throw EFileError(QStringLiteral("Could not save %1: %2. The file there is unchanged.").arg(name, why));
    };

    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".saving-XXXXXX"));
    if (!QDir(target.absolutePath()).exists())
        fail(QStringLiteral("the folder %1 does not exist").arg(target.absolutePath()));
    if (!file.open())
        fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(file.errorString());
    if (::fsync(file.handle()) != 0)
        fail(systemError(errno));
    file.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                              QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    if (beforeReplace())
        beforeReplace()(file.fileName());
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(name).constData()) != 0)
        fail(systemError(errno));
    file.setAutoRemove(false); // it is the file now
    syncFolder(target.absolutePath());
}

QString KeepAside(const QString &path, const QString &reason, const QDateTime &when)
{
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName() + u'.' + reason + u'-' +
                         when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString aside = stem + suffix;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = stem + u'-' + QString::number(n) + suffix;
    if (QFile::rename(path, aside) || QFile::copy(path, aside))
        return aside;
    return QString();
}
