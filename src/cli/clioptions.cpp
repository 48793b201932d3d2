#include "cli/clioptions.h"

#include "cli/diffcommand.h"
#include "cli/station.h"

namespace rpu::cli {

const QCommandLineOption kTransportOption(QStringLiteral("transport"),
    QStringLiteral("usb, simulator, socket:PATH or socket-dir:DIR; repeat for several (default: the configuration file)"),
    QStringLiteral("T"));
const QCommandLineOption kDeviceOption(QStringLiteral("device"),
    QStringLiteral("the device to work on: its number in the list, or its identity (usb:1-1.4, socket:PATH)"),
    QStringLiteral("ID"));
const QCommandLineOption kJsonOption(QStringLiteral("json"), QStringLiteral("results as JSON on standard output: one record per receiver, failures too"));
const QCommandLineOption kYesOption(QStringLiteral("yes"), QStringLiteral("write newer firmware without asking"));
const QCommandLineOption kNewestOption(QStringLiteral("newest"),
    QStringLiteral("the newest firmware of the base folder, when newer than the device's"));
const QCommandLineOption kBaseOption(QStringLiteral("base"),
    QStringLiteral("firmware folder (default: the window's \"base\" folders)"), QStringLiteral("DIR"));
const QCommandLineOption kConfigOption(QStringLiteral("config"),
    QStringLiteral("configuration file (default: the window's)"), QStringLiteral("FILE"));
const QCommandLineOption kAllOption(QStringLiteral("all"),
    QStringLiteral("every device at once, each on its own thread and link; ends with a table"));
const QCommandLineOption kBackupFirstOption(QStringLiteral("backup-first"),
    QStringLiteral("update-firmware: save registration memory (.rrg) and settings (.cfg) to DIR first"),
    QStringLiteral("DIR"));
const QCommandLineOption kRestoreAfterOption(QStringLiteral("restore-after"),
    QStringLiteral("update-firmware: write the saved memory and settings back and read them back"));
const QCommandLineOption kAllowClassChangeOption(QStringLiteral("allow-class-change"),
    QStringLiteral("update-firmware: write an image of another device class (the receiver changes class)"));
const QCommandLineOption kAllowOlderOption(QStringLiteral("allow-older"),
    QStringLiteral("update-firmware FILE: write an image older than the device's firmware"));
const QCommandLineOption kAllowReinstallOption(QStringLiteral("allow-reinstall"),
    QStringLiteral("update-firmware FILE: write the version the device already has"));
const QCommandLineOption kTraceOption(QStringLiteral("trace"),
    QStringLiteral("record the device traffic to FILE, a usbmon capture (with --all: FILE-1, FILE-2, ... per device)"),
    QStringLiteral("FILE"));
const QCommandLineOption kVersionOption(QStringLiteral("version"), QStringLiteral("show the version and stop"));
const QCommandLineOption kLangOption(QStringLiteral("lang"),
    QStringLiteral("language code of the messages (default: the configuration file's)"), QStringLiteral("CODE"));

void SetUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Service-bench commands for РПУ-SELA receivers.\n\n"
        "Commands:\n"
        "  list                      every receiver found\n"
        "  info                      handshake and show one receiver\n"
        "  read-settings OUT.cfg     save the settings block to a file; a section\n"
        "                            out of range is named and left out\n"
        "  write-settings IN.cfg     write a settings file and read it back; a\n"
        "                            section the file does not carry stays as it is\n"
        "  backup OUT.rrg            save the registration memory to a file\n"
        "  restore IN.rrg            write a backup and read it back\n"
        "  Each takes --device ID or --all; with --all, read-settings and backup\n"
        "  take a FOLDER and name each receiver's new file by its identity and\n"
        "  firmware version (an existing file is never replaced).\n"
        "  update-firmware FILE | --newest [--device ID | --all] [--yes]\n"
        "        [--backup-first DIR [--restore-after]] [--allow-older | --allow-reinstall]\n"
        "                            write firmware, then check the new version\n"
        "  diff A B                  what differs between two settings, each a .cfg\n"
        "                            file, device, factory:relay or factory:rpu\n"
        "                            (exit 0 the same, 1 different)\n"
        "  write-settings IN.cfg --dry-run   what the write would change; nothing written\n"
        "  station --backup-dir DIR --record FILE [--firmware FILE | --newest]\n"
        "        [--settings FILE] [--count N]\n"
        "                            take receivers as they are plugged in: back up,\n"
        "                            update, write settings, one JSON line each\n\n"
        "Exit codes: 0 done, 1 a receiver failed, 2 bad command line or file,\n"
        "3 nothing to do (no newer firmware), 4 a signal came during a write (finished first)."));
    parser.addHelpOption();
    parser.addOption(kVersionOption);
    parser.addOptions({kTransportOption, kDeviceOption, kJsonOption, kYesOption, kNewestOption, kBaseOption,
                       kConfigOption, kLangOption, kAllOption, kBackupFirstOption, kRestoreAfterOption,
                       kTraceOption, kAllowClassChangeOption, kAllowOlderOption, kAllowReinstallOption});
    parser.addOption(kDryRunOption);
    AddStationOptions(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("what to do"));
}

} // namespace rpu::cli
