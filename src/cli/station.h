#pragma once
// dorel-rpu-cli station: receivers taken as they are plugged in, each on a
// thread of its own through one plan (identify, back up, update, write the
// batch settings, write the memory back), each ending in one record line.

#include "cli/clicommands.h"

#include <QCommandLineParser>
#include <QStringList>

namespace rpu {
class MessageCatalogue;
struct ProgramFolders;
}

namespace rpu::cli {

// The station's own options, added to every parser.
void AddStationOptions(QCommandLineParser &parser);

int RunStation(const QCommandLineParser &parser, const MessageCatalogue &catalogue, CliStreams streams,
               const ProgramFolders &folders, const QStringList &arguments);

} // namespace rpu::cli
