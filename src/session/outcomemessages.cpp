#include "session/outcomemessages.h"

namespace rpu {

namespace {

// Every failed outcome and what the user reads about it.
enum class Exchange { Open, Init, Read, Write, Firmware };
struct OutcomeText {
    Exchange exchange;
    int code;
    int message;
};
constexpr OutcomeText kOutcomeTexts[] = {
    {Exchange::Open, int(OpenOutcome::NoDevice), 10008},
    {Exchange::Open, int(OpenOutcome::SeveralDevices), 10010},
    {Exchange::Init, int(InitOutcome::FrameNotSent), 10002},
    {Exchange::Init, int(InitOutcome::NoAnswer), 10084},
    {Exchange::Init, int(InitOutcome::BadHeader), 10003},
    {Exchange::Init, int(InitOutcome::BadCrc), 10004},
    {Exchange::Read, int(BlockReadOutcome::FrameNotSent), 10054},
    {Exchange::Read, int(BlockReadOutcome::ReadFailed), 10084},
    {Exchange::Read, int(BlockReadOutcome::BadHeader), 10056},
    {Exchange::Read, int(BlockReadOutcome::BadCrc), 10058},
    {Exchange::Write, int(BlockWriteOutcome::FrameNotSent), 10050},
    {Exchange::Write, int(BlockWriteOutcome::NoAcknowledgement), 10084},
    {Exchange::Write, int(BlockWriteOutcome::Refused), 10053},
    {Exchange::Write, int(BlockWriteOutcome::DataNotSent), 10085},
    {Exchange::Firmware, int(FirmwareOutcome::WriteFailed), 10085},
    {Exchange::Firmware, int(FirmwareOutcome::Refused), 10024},
    {Exchange::Firmware, int(FirmwareOutcome::NoAnswer), 10084},
    {Exchange::Firmware, int(FirmwareOutcome::DemoImage), 10151},
};

int Lookup(Exchange exchange, int code)
{
    for (const OutcomeText &t : kOutcomeTexts) {
        if (t.exchange == exchange && t.code == code)
            return t.message;
    }
    return 0;
}

} // namespace

int OutcomeMessage(OpenOutcome o) { return Lookup(Exchange::Open, int(o)); }
int OutcomeMessage(InitOutcome o) { return Lookup(Exchange::Init, int(o)); }
int OutcomeMessage(BlockReadOutcome o) { return Lookup(Exchange::Read, int(o)); }
int OutcomeMessage(BlockWriteOutcome o) { return Lookup(Exchange::Write, int(o)); }
int OutcomeMessage(FirmwareOutcome o) { return Lookup(Exchange::Firmware, int(o)); }

} // namespace rpu
