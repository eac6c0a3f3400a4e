#include "monitor_recorder.h"

#include "sound_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

namespace testsupport {

namespace {

std::vector<int16_t> readSamples(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<int16_t> samples(size_t(bytes.size()) / sizeof(int16_t));
    // s16le on a little-endian host: the bytes are the samples.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(int16_t));
    return samples;
}

} // namespace

MonitorRecorder::MonitorRecorder(const QString &serverAddress)
    : m_address(serverAddress)
{
}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(const QString &sink, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (m_process) {
        *error = u"recorder already running"_s;
        return false;
    }
    const QString address = m_address.isEmpty() ? qEnvironmentVariable("PULSE_SERVER") : m_address;
    if (address.isEmpty()) {
        *error = u"no server address and PULSE_SERVER is not set; start PrivateSoundServer first"_s;
        return false;
    }

    m_error.clear();
    m_recorded = 0;
    m_stoppedAtMs = 0;
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        *error = u"cannot create temporary directory: %1"_s.arg(m_dir->errorString());
        m_dir.reset();
        return false;
    }
    m_file = QDir(m_dir->path()).filePath(u"monitor.raw"_s);

    m_process = std::make_unique<QProcess>();
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(m_file);
    TieToParent(*m_process);
    m_process->start(u"parec"_s, {u"--server=%1"_s.arg(address), u"-d"_s, sink + u".monitor"_s,
                                  u"--latency-msec=2"_s, u"--format=s16le"_s,
                                  u"--rate=%1"_s.arg(kRate), u"--channels=1"_s, u"--raw"_s});
    if (!m_process->waitForStarted(5000)) {
        *error = u"cannot run parec: %1"_s.arg(m_process->errorString());
        m_process.reset();
        m_dir.reset();
        return false;
    }
    // A wrong sink or an unreachable server ends parec at once; say so here
    // rather than hand back an empty recording later.
    if (m_process->waitForFinished(200)) {
        *error = u"parec ended at once (exit code %1): %2"_s.arg(m_process->exitCode())
                     .arg(QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed());
        m_process.reset();
        m_dir.reset();
        return false;
    }
    return true;
}

bool MonitorRecorder::waitUntilLive(QString *error, int timeoutMs)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!m_process) {
        *error = u"recorder not started"_s;
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (QFileInfo(m_file).size() == 0) {
        if (m_process->waitForFinished(10)) {
            *error = u"parec ended (exit code %1): %2"_s.arg(m_process->exitCode())
                         .arg(QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed());
            return false;
        }
        if (deadline.hasExpired()) {
            *error = u"no sound data from the monitor within %1 ms"_s.arg(timeoutMs);
            return false;
        }
    }
    return true;
}

std::vector<int16_t> MonitorRecorder::stop()
{
    if (!m_process)
        return {};
    m_stoppedAtMs = QDateTime::currentMSecsSinceEpoch();
    const bool endedEarly = !isRecording();
    if (!endedEarly) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    // parec ends with 0 on SIGTERM; anything else means the recording broke off.
    if (endedEarly || m_process->exitStatus() != QProcess::NormalExit || m_process->exitCode() != 0) {
        m_error = u"parec %1 (exit code %2): %3"_s
                      .arg(endedEarly ? u"ended before stop()"_s : u"failed"_s)
                      .arg(m_process->exitCode())
                      .arg(QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed());
    }
    std::vector<int16_t> samples = readSamples(m_file);
    m_recorded = samples.size();
    m_process.reset();
    m_dir.reset();
    return samples;
}

std::vector<int16_t> MonitorRecorder::samplesSoFar() const
{
    return m_process ? readSamples(m_file) : std::vector<int16_t>{};
}

size_t MonitorRecorder::countSoFar() const
{
    return size_t(QFileInfo(m_file).size()) / sizeof(int16_t);
}

bool MonitorRecorder::isRecording() const
{
    // waitForFinished(0) notices an exit that no event loop has reported yet.
    return m_process && m_process->state() != QProcess::NotRunning && !m_process->waitForFinished(0);
}

QDateTime MonitorRecorder::timeOfSample(size_t index) const
{
    const double samplesBeforeStop = double(m_recorded) - double(index);
    const qint64 ms = m_stoppedAtMs - std::llround(samplesBeforeStop * 1000.0 / kRate);
    return QDateTime::fromMSecsSinceEpoch(ms);
}

} // namespace testsupport
