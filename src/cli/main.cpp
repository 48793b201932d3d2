// dorel-rpu-cli: the configurator's device work from a terminal or a script.

#include "cli/clicommands.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    const int code = rpu::cli::RunCli(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(),
                                      {out, err, in, ::isatty(STDERR_FILENO) != 0});
    out.flush();
    err.flush();
    return code;
}
