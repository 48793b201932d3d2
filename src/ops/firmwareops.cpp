#include "ops/firmwareops.h"

#include "ops/receivermemory.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "link/devicelink.h"
#include "session/outcomemessages.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace rpu::ops {

std::optional<std::span<const std::uint8_t>> AcceptedFirmwareImage(const ValueBuffer &buffer, qint64 acceptedSize)
{
    const std::optional<std::span<const std::uint8_t>> image = buffer.Bytes();
    if (!image || qint64(image->size()) != acceptedSize || !FirmwareLengthFitsPackets(acceptedSize))
        return std::nullopt;
    return image;
}

QString RefusedFirmwareText(const FirmwareFile &file, const QString &path, const MessageCatalogue &catalogue)
{
    const QString text = DescribeFirmwareFile(file, path, catalogue);
    return file.readError == FirmwareReadError::None ? path + QStringLiteral(": ") + text : text;
}

FirmwareOutcome WriteFirmwareFile(DeviceSession &session, const FirmwareFile &file)
{
    if (!file.accepted())
        return FirmwareOutcome::WriteFailed;
    const std::span<const std::uint8_t> image(reinterpret_cast<const std::uint8_t *>(file.bytes.constData()),
                                              std::size_t(file.bytes.size()));
    return session.WriteFirmware(image);
}

namespace {

class Update {
public:
    Update(ReceiverAccess &receiver, const FirmwareUpdateRequest &request, const MessageCatalogue &catalogue)
        : receiver_(receiver), request_(request), catalogue_(catalogue)
    {
    }

    FirmwareUpdateVerdict Run()
    {
        Steps();
        return v_;
    }

private:
    bool Steps();
    bool Fail(UpdateStep step, int message = 0, const QString &detail = {})
    {
        v_.step = step;
        v_.message = message;
        v_.detail = detail;
        return false;
    }
    bool ChooseFirmware(const DeviceInfo &device);
    bool SaveMemory(DeviceSession &session, const DeviceInfo &device);
    bool Relink();
    bool RestoreMemory(DeviceSession &session);

    ReceiverAccess &receiver_;
    const FirmwareUpdateRequest &request_;
    const MessageCatalogue &catalogue_;
    FirmwareUpdateVerdict v_;
    FirmwareFile firmware_;
    ReceiverMemory saved_; // read before the firmware write, for writing it back
};

bool Update::ChooseFirmware(const DeviceInfo &device)
{
    if (request_.file) {
        firmware_ = *request_.file;
    } else {
        const NewerFirmwareCheck check =
            FindNewerFirmwareIn(request_.baseDirs, device.deviceClass, device.versionByte);
        if (check.listed.isEmpty() || !check.newer)
            return Fail(UpdateStep::NothingNewer,
                        check.listed.isEmpty() ? msg::kNoFirmwareInBase : msg::kNoNewerFirmware);
        const QString path = FirmwareFilePath(request_.baseDirs, check.name);
        firmware_ = ReadFirmwareFile(path);
        if (!firmware_.accepted())
            return Fail(UpdateStep::FirmwareFile, FirmwareVerdictMessage(firmware_.verdict),
                        RefusedFirmwareText(firmware_, path, catalogue_));
        if (request_.confirm) {
            const std::optional<bool> answer = request_.confirm(check.name);
            if (!answer)
                return Fail(UpdateStep::NoAnswer);
            if (!*answer)
                return Fail(UpdateStep::Declined);
        }
    }
    v_.firmwareName = firmware_.fileName;
    v_.versionExpected = firmware_.versionByte;
    if (!firmware_.accepted())
        return Fail(UpdateStep::FirmwareFile, FirmwareVerdictMessage(firmware_.verdict),
                    RefusedFirmwareText(firmware_, firmware_.fileName, catalogue_));
    // After such a write every later update would be refused as a wrong file type.
    const int imageClass = DeviceClassOfVersion(firmware_.versionByte);
    if (imageClass != device.deviceClass && !request_.allowClassChange)
        return Fail(UpdateStep::ClassChange, msg::kFirmwareOtherClass,
                    catalogue_.Format(msg::kFirmwareOtherClass,
                                      {firmware_.fileName, catalogue_.Text(DeviceTypeMessage(imageClass)),
                                       catalogue_.Text(DeviceTypeMessage(device.deviceClass))}));
    if (request_.file && imageClass == device.deviceClass) {
        const QString version = FormatDeviceVersion(firmware_.versionByte);
        if (firmware_.versionByte < device.versionByte && !request_.allowOlder)
            return Fail(UpdateStep::NotNewer, msg::kFirmwareOlder,
                        catalogue_.Format(msg::kFirmwareOlder, {firmware_.fileName, version,
                                                                FormatDeviceVersion(device.versionByte)}));
        if (firmware_.versionByte == device.versionByte && !request_.allowReinstall)
            return Fail(UpdateStep::NotNewer, msg::kFirmwareSame,
                        catalogue_.Format(msg::kFirmwareSame, {firmware_.fileName, version}));
    }
    return true;
}

bool Update::SaveMemory(DeviceSession &session, const DeviceInfo &device)
{
    MemoryCopyVerdict copy = CopyReceiverMemory(
        session, request_.backupDir, request_.backupStem + QStringLiteral("_v") + FormatDeviceVersion(device.versionByte),
        catalogue_);
    v_.backupFiles = copy.files;
    v_.settingsFaults = copy.settingsFaults;
    if (!copy.ok())
        return Fail(UpdateStep::Backup, copy.message, copy.detail);
    saved_ = std::move(copy.memory);
    return true;
}

bool Update::Relink()
{
    receiver_.Drop();
    QDeadlineTimer deadline(request_.relinkWaitMs);
    QString error;
    while (!receiver_.Relink(&error)) {
        if (deadline.hasExpired())
            return Fail(UpdateStep::Relink, 0, error);
        QThread::msleep(100);
    }
    return true;
}

bool Update::RestoreMemory(DeviceSession &session)
{
    v_.restore = WriteBackMemory(session, saved_);
    if (!v_.restore.ok())
        return Fail(UpdateStep::Restore, v_.restore.message);
    v_.restored = true;
    return true;
}

bool Update::Steps()
{
    DeviceSession *session = receiver_.Session();
    if (!session)
        return Fail(UpdateStep::Link, msg::kLinkFailed);
    const DeviceInfo before = session->Info();
    v_.versionBefore = before.versionByte;
    if (before.deviceClass != kSelaDeviceClass)
        return Fail(UpdateStep::DeviceClass, msg::kFirmwareWrongType);
    if (!ChooseFirmware(before))
        return false;
    if (!request_.backupDir.isEmpty()) {
        if (!SaveMemory(*session, before))
            return false;
        // The firmware goes to a device entered for the main page, as in the window.
        if (!session->Break())
            return Fail(UpdateStep::Link, msg::kBreakNotSent);
        if (const int failed = OutcomeMessage(session->Init(kInitMainPage)))
            return Fail(UpdateStep::Link, failed);
    }
    if (const FirmwareOutcome outcome = WriteFirmwareFile(*session, firmware_); outcome != FirmwareOutcome::Ok)
        return Fail(UpdateStep::Write, OutcomeMessage(outcome));
    v_.written = true;

    // Renewed as after the window's update: new pipes, break and handshake,
    // and the version the device now reports.
    if (!Relink()) {
        v_.restoreSkipped = request_.restoreAfter;
        return false;
    }
    session = receiver_.Session();
    // Found again at its place, but another receiver may have been plugged in there.
    const int expectedClass = request_.allowClassChange ? DeviceClassOfVersion(firmware_.versionByte)
                                                        : before.deviceClass;
    if (session->Info().deviceClass != expectedClass)
        return Fail(UpdateStep::Relink, 0,
                    QStringLiteral("another receiver answers there (class %1, was %2)")
                        .arg(session->Info().deviceClass)
                        .arg(expectedClass));
    v_.versionAfter = session->Info().versionByte;
    if (v_.versionAfter != v_.versionExpected) {
        v_.restoreSkipped = request_.restoreAfter;
        return Fail(UpdateStep::Version, msg::kFirmwareNotWritten);
    }
    return !request_.restoreAfter || RestoreMemory(*session);
}

} // namespace

FirmwareUpdateVerdict UpdateFirmware(ReceiverAccess &receiver, const FirmwareUpdateRequest &request,
                                     const MessageCatalogue &catalogue)
{
    return Update(receiver, request, catalogue).Run();
}

} // namespace rpu::ops
