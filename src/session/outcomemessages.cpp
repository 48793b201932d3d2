#include "session/outcomemessages.h"

#include "i18n/messageids.h"
#include "i18n/messagecatalogue.h"

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
    {Exchange::Open, int(OpenOutcome::NoDevice), msg::kNoDevice},
    {Exchange::Open, int(OpenOutcome::SeveralDevices), msg::kSeveralDevices},
    {Exchange::Init, int(InitOutcome::FrameNotSent), msg::kInitNotSent},
    {Exchange::Init, int(InitOutcome::NoAnswer), msg::kNoDataFromDevice},
    {Exchange::Init, int(InitOutcome::BadHeader), msg::kBadAnswerHeader},
    {Exchange::Init, int(InitOutcome::BadCrc), msg::kAnswerCrcError},
    {Exchange::Read, int(BlockReadOutcome::FrameNotSent), msg::kReadInitNotSent},
    {Exchange::Read, int(BlockReadOutcome::ReadFailed), msg::kNoDataFromDevice},
    {Exchange::Read, int(BlockReadOutcome::BadHeader), msg::kNoAnswer},
    {Exchange::Read, int(BlockReadOutcome::BadCrc), msg::kBlockCrcError},
    {Exchange::Write, int(BlockWriteOutcome::FrameNotSent), msg::kWriteInitNotSent},
    {Exchange::Write, int(BlockWriteOutcome::NoAcknowledgement), msg::kNoDataFromDevice},
    {Exchange::Write, int(BlockWriteOutcome::Refused), msg::kDataNotWritten},
    {Exchange::Write, int(BlockWriteOutcome::DataNotSent), msg::kDataWriteError},
    {Exchange::Firmware, int(FirmwareOutcome::WriteFailed), msg::kDataWriteError},
    {Exchange::Firmware, int(FirmwareOutcome::Refused), msg::kFirmwareNotWritten},
    {Exchange::Firmware, int(FirmwareOutcome::NoAnswer), msg::kNoDataFromDevice},
    {Exchange::Firmware, int(FirmwareOutcome::DemoImage), msg::kDemoImageRefused},
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

QString LinkProblemText(const LinkProblem &problem, const MessageCatalogue &catalogue)
{
    static const struct {
        LinkFault fault;
        int message;
    } kTexts[] = {{LinkFault::Other, msg::kUsbOther},    {LinkFault::NoAccess, msg::kUsbNoAccess}, {LinkFault::Busy, msg::kUsbBusy},
                  {LinkFault::Gone, msg::kUsbGone},     {LinkFault::TimedOut, msg::kUsbTimedOut}, {LinkFault::NoListener, msg::kSocketNoListener}};
    for (const auto &entry : kTexts) {
        if (entry.fault == problem.fault)
            return catalogue.Format(entry.message, problem.detail);
    }
    return {};
}

} // namespace rpu
