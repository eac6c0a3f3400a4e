#include "fixtures.h"

#include "sound_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace testsupport {

QString MakeTone(const QString &dir, const QString &fileName, double freqHz, double seconds,
                 int rate, int channels, const QStringList &codecArgs, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const QString path = QDir(dir).filePath(fileName);
    const QString source = u"sine=frequency=%1:sample_rate=%2:duration=%3"_s.arg(freqHz).arg(rate).arg(seconds);
    QStringList args{u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-nostdin"_s, u"-y"_s,
                     u"-f"_s, u"lavfi"_s, u"-i"_s, source, u"-ac"_s, QString::number(channels)};
    args += codecArgs;
    args += path;

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    TieToParent(ffmpeg);
    ffmpeg.start(u"ffmpeg"_s, args);
    if (!ffmpeg.waitForStarted(5000)) {
        *error = u"cannot run ffmpeg: %1"_s.arg(ffmpeg.errorString());
        return {};
    }
    if (!ffmpeg.waitForFinished(60000)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished(5000);
        *error = u"ffmpeg did not finish making %1"_s.arg(path);
        return {};
    }
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0 || !QFile::exists(path)) {
        *error = u"ffmpeg failed making %1 (exit code %2): %3"_s.arg(path).arg(ffmpeg.exitCode())
                     .arg(QString::fromLocal8Bit(ffmpeg.readAll()).trimmed());
        return {};
    }
    return path;
}

QString WriteBytes(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace testsupport
