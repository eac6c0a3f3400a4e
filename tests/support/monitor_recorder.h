#pragma once

#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace testsupport {

// Records what a sink plays, from its monitor, as 48 kHz mono s16 samples
// (parec; the sink's channels are mixed down).
//
// A null sink that has been idle renders in blocks of up to 2 s: its monitor
// delivers nothing until the current block has run out, and only then does the
// sink switch to the recorder's low latency. So start the recorder about 3 s
// before a sound whose timing you measure, or call waitUntilLive() after
// start(): once samples flow, the recording follows real time.
//
// parec writes into a file, so recording goes on at full rate whatever the
// test thread does (sleeping, blocking, or running an event loop).
class MonitorRecorder
{
public:
    static constexpr int kRate = 48000;

    // Without an address, uses $PULSE_SERVER (set by PrivateSoundServer).
    explicit MonitorRecorder(const QString &serverAddress = {});
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;

    // Records "<sink>.monitor". Refuses to run without a server address, so it
    // never listens to the user's own sound server.
    bool start(const QString &sink, QString *error);
    // Blocks until the first samples arrive (up to ~2 s after an idle period).
    // Start all recorders first, then wait for each: they become live together.
    bool waitUntilLive(QString *error, int timeoutMs = 5000);
    // Ends recording and returns everything recorded.
    std::vector<int16_t> stop();
    // What has been recorded up to now, while recording goes on.
    std::vector<int16_t> samplesSoFar() const;
    // How many samples that is, without reading them; safe from any thread.
    size_t countSoFar() const;
    bool isRecording() const;

    // Wall-clock time a sample of the last recording was played, counted back
    // from the moment stop() was called (accurate to some milliseconds).
    QDateTime timeOfSample(size_t index) const;
    // Why parec failed, if it did; empty otherwise.
    QString error() const { return m_error; }

private:
    QString m_address;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_file;
    QString m_error;
    qint64 m_stoppedAtMs = 0;
    size_t m_recorded = 0;
};

} // namespace testsupport
