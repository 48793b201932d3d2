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

// The text of a device that could not be reached, by its kind (USB errors
// with the system's text in parentheses, a socket nobody listens on); empty
// for LinkFault::None.
QString LinkProblemText(const LinkProblem &problem, const MessageCatalogue &catalogue);

} // namespace rpu
