// dorel-rpu-cli: the configurator's device work from a terminal or a script.

#include "cli/clicommands.h"
#include "cli/writeguard.h"
#include "io/safefile.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    rpu::cli::InstallWriteSignalHandlers();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    // From argv itself: Qt's arguments() turn a file name that is not UTF-8
    // into another name.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << rpu::PathFromNative(argv[i]);
    const int code = rpu::cli::RunCli(arguments, QCoreApplication::applicationDirPath(),
                                      {out, err, in, ::isatty(STDERR_FILENO) != 0});
    out.flush();
    err.flush();
    return code;
}
