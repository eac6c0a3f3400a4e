#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

// Makes a child process get SIGTERM when the thread that starts it ends, so a
// crashed or killed test program leaves no helper processes behind. Call
// before QProcess::start(), from the thread that outlives the child.
void TieToParent(QProcess &process);

// A pulseaudio daemon of our own, with two null sinks, reachable only through
// a socket in a private temporary directory. While it runs, this process's
// environment points PulseAudio clients (and SDL) at it.
class PrivateSoundServer
{
public:
    PrivateSoundServer() = default;
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    // Blocks until the server answers (at most about 10 s).
    bool start(QString *error);
    // Stops the server, removes its directory and restores the environment.
    void stop();
    bool isRunning() const;

    QString sinkA() const { return QStringLiteral("tavolin_a"); }
    QString sinkB() const { return QStringLiteral("tavolin_b"); }
    QString descriptionA() const { return QStringLiteral("Tavolin-Test-A"); }
    QString descriptionB() const { return QStringLiteral("Tavolin-Test-B"); }
    // "unix:<dir>/native"; empty when not running.
    QString serverAddress() const { return m_address; }
    // What the daemon wrote to stderr, for failure messages.
    QString log() const;

private:
    struct SavedVariable
    {
        QByteArray name;
        std::optional<QByteArray> value;
    };

    void setVariable(const char *name, const std::optional<QByteArray> &value);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_address;
    std::vector<SavedVariable> m_saved;
};

// Runs one PrivateSoundServer around all tests of a program. A start failure
// is a fatal failure of the global set-up, so no test runs and the program
// fails with the reason.
class SoundServerEnvironment : public ::testing::Environment
{
public:
    void SetUp() override;
    void TearDown() override;

    // The running server, or nullptr outside SetUp()..TearDown().
    static PrivateSoundServer *server();
};

// Registers SoundServerEnvironment once per program, however many files ask:
//   static auto *const soundEnvironment = testsupport::UseSoundServer();
SoundServerEnvironment *UseSoundServer();

} // namespace testsupport
