#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

// Writes a sine of freqHz into dir/fileName with the ffmpeg tool, as
// `channels` identical channels at `rate`. The peak is 1/8 of full scale
// (ffmpeg's sine source) for mono; ffmpeg's upmix lowers it by 3 dB for
// stereo (0.088). codecArgs go before the output
// name, e.g. {"-c:a", "libmp3lame"}; empty lets the file name pick the
// format. Returns the full path, or an empty string and *error.
QString MakeTone(const QString &dir, const QString &fileName, double freqHz, double seconds,
                 int rate, int channels, const QStringList &codecArgs, QString *error);

// Writes bytes as they are, for damaged or fake media files. Returns the full
// path, or an empty string if the file cannot be written.
QString WriteBytes(const QString &dir, const QString &name, const QByteArray &bytes);

} // namespace testsupport
