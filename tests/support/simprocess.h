#pragma once
// Starts the simulator program for end-to-end tests.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QThread>

namespace rpu::test {

// One rpu-sim process; stopped (and killed if it must be) when it goes out of scope.
class SimProcess {
public:
    SimProcess(const QString &socket, const QStringList &extra) : socket_(socket)
    {
        const QString bin = qEnvironmentVariable("RPU_BIN_DIR", QCoreApplication::applicationDirPath() + "/../bin");
        process_.setProgram(bin + QStringLiteral("/rpu-sim"));
        process_.setArguments(QStringList{QStringLiteral("--socket"), socket} + extra);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
    }
    ~SimProcess() { Stop(); }

    // True once the simulator listens.
    bool WaitReady()
    {
        if (!process_.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            if (QFile::exists(socket_))
                return true;
            if (process_.state() != QProcess::Running)
                return false;
            QThread::msleep(10);
        }
        return false;
    }

    // Exit code after SIGTERM, -1 when it had to be killed.
    int Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return process_.exitCode();
        process_.terminate();
        if (process_.waitForFinished(5000))
            return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
        process_.kill();
        process_.waitForFinished(2000);
        return -1;
    }

private:
    QString socket_;
    QProcess process_;
};

} // namespace rpu::test
