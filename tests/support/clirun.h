#pragma once
// Runs the built dorel-rpu-cli as a bench would and keeps what it said.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace rpu::test {

struct CliRun {
    int exitCode = -1; // -1: crashed or timed out
    QString out;
    QString err;
};

// Starts p, feeds it input and waits for its end (-1 after timeoutMs).
inline CliRun RunToEnd(QProcess &p, const QByteArray &input = {}, int timeoutMs = 60000)
{
    p.start();
    p.write(input);
    p.closeWriteChannel();
    CliRun run;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

// config: the configuration file to use; one that does not exist keeps the
// build folder's INI from choosing the transport.
inline CliRun RunCli(QStringList args, const QString &config, const QByteArray &input = {})
{
    QProcess p;
    p.setProgram(qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-cli"));
    args << QStringLiteral("--config") << config;
    p.setArguments(args);
    return RunToEnd(p, input);
}

} // namespace rpu::test
