#pragma once
// What the user reads about a failed exchange: one table from each outcome
// to its catalogue message, shared by the window and the command line.

#include "session/devicesession.h"

namespace rpu {

// The catalogue message of a failed outcome; 0 for success or none.
int OutcomeMessage(OpenOutcome outcome);
int OutcomeMessage(InitOutcome outcome);
int OutcomeMessage(BlockReadOutcome outcome);
int OutcomeMessage(BlockWriteOutcome outcome);
int OutcomeMessage(FirmwareOutcome outcome);

} // namespace rpu
