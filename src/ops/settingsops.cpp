#include "ops/settingsops.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <algorithm>
#include <limits>

namespace rpu::ops {

namespace {

constexpr quint32 kUnselectedTime = std::numeric_limits<quint32>::max();

bool IsRelayTime(const SettingsField &field)
{
    return field.kind == FieldKind::CloseFor || field.kind == FieldKind::OpenFor
           || field.kind == FieldKind::Duration;
}

template <typename Visit>
void ForSectionCells(SettingsSection section, Visit visit)
{
    for (const SettingsField &field : SettingsFields(section))
        visit(field.offset);
}

std::vector<int> ImageCells(const SettingsImage &image)
{
    return {image.begin(), image.end()};
}

} // namespace

SettingsImage KeepSections(const SettingsImage &image, SectionSet sections)
{
    SettingsImage kept{};
    for (SettingsSection section : kSections) {
        if (sections.Has(section))
            ForSectionCells(section, [&](int offset) { kept[offset] = image[offset]; });
    }
    return kept;
}

SectionSet CarriedSections(const SettingsImage &image)
{
    SectionSet carried;
    for (SettingsSection section : kSections) {
        bool any = false;
        ForSectionCells(section, [&](int offset) { any = any || image[offset] != 0; });
        carried.Set(section, any);
    }
    return carried.Empty() ? SectionSet::Both() : carried;
}

std::vector<SectionFault> CheckSections(const SettingsImage &image, SectionSet checked)
{
    std::vector<SectionFault> faults;
    for (SettingsSection section : kSections) {
        if (!checked.Has(section))
            continue;
        if (const auto bad = FindBadCell(image, section))
            faults.push_back({section, *bad});
    }
    return faults;
}

int SectionNameMessage(SettingsSection section)
{
    return section == SettingsSection::Relay ? msg::kRelaySectionName : msg::kRpuSectionName;
}

QString DescribeSectionFault(const SectionFault &fault, const MessageCatalogue &catalogue)
{
    return catalogue.Format(msg::kSectionOutOfRange,
                            {catalogue.Text(SectionNameMessage(fault.section)),
                             FormatArg(qint64(fault.cell.offset)), FormatArg(qint64(fault.cell.value))});
}

SettingsReadVerdict ReadSettings(DeviceSession &session, SectionSet checked, Entry entry)
{
    SettingsReadVerdict verdict;
    const BlockReadVerdict read = ReadImage(session, kSettingsBlocks, entry);
    verdict.message = read.message;
    if (!read.ok())
        return verdict;
    std::copy_n(read.cells.begin(), kSettingsImageCells, verdict.image.begin());
    verdict.faults = CheckSections(verdict.image, checked);
    verdict.valid = checked;
    for (const SectionFault &fault : verdict.faults)
        verdict.valid.Set(fault.section, false);
    return verdict;
}

void NormaliseUnselectedRelayTimes(SettingsImage &image)
{
    for (const SettingsField &field : SettingsFields(SettingsSection::Relay)) {
        if (IsRelayTime(field) && image[field.offset] == kUnselectedTime)
            image[field.offset] = 0;
    }
}

SettingsFileCells FileCells(const SettingsImage &image)
{
    SettingsFileCells cells{};
    std::copy_n(image.begin(), kSettingsFileCells, cells.begin());
    return cells;
}

SettingsFileVerdict AcceptSettingsFile(const QString &path, SectionSet checked)
{
    SettingsFileVerdict verdict;
    const FileResult<SettingsFileContent> content = ReadSettingsFile(path);
    if (!content.ok()) {
        verdict.fileError = content.error;
        return verdict;
    }
    std::copy(content.value->cells.begin(), content.value->cells.end(), verdict.image.begin());
    NormaliseUnselectedRelayTimes(verdict.image);
    verdict.carried = CarriedSections(verdict.image);
    const std::vector<SectionFault> faults = CheckSections(verdict.image, checked);
    if (!faults.empty())
        verdict.bad = faults.front().cell;
    return verdict;
}

QString DescribeSettingsFile(const SettingsFileVerdict &verdict, const QString &fileName,
                             const MessageCatalogue &catalogue)
{
    if (!verdict.fileError.ok()) {
        const QString described = DescribeFileError(verdict.fileError, fileName, catalogue);
        // The catalogue's text for a file of the wrong size names no file.
        if (verdict.fileError.kind == FileErrorKind::TooShort)
            return catalogue.Text(msg::kSettingsWrongSize) + QLatin1Char('\n') + described;
        return described;
    }
    if (verdict.bad) {
        FileError error;
        error.kind = FileErrorKind::OutOfRange;
        error.line = verdict.bad->offset + 1;
        error.text = QString::number(verdict.bad->value);
        return DescribeFileError(error, fileName, catalogue);
    }
    return {};
}

SettingsSaveVerdict SaveDeviceSettings(const QString &path, const SettingsReadVerdict &read)
{
    SettingsSaveVerdict verdict;
    verdict.faults = read.faults;
    if (read.valid.Empty())
        return verdict;
    const SettingsImage kept = KeepSections(read.image, read.valid);
    verdict.error = WriteSettingsFile(path, FileCells(kept));
    if (verdict.error.ok())
        verdict.saved = read.valid;
    return verdict;
}

SettingsImage ComposeWriteImage(const SettingsImage &image, SectionSet carried, const SettingsImage &device)
{
    // Carried sections pass through the model, so the block holds what the
    // window's pages would write for them (the RPU marker included).
    SettingsImage merged{};
    if (carried.relay)
        WriteRelaySection(ReadRelaySection(image), merged);
    if (carried.rpu)
        WriteRpuSection(ReadRpuSection(image), merged);
    for (SettingsSection section : kSections) {
        if (!carried.Has(section))
            ForSectionCells(section, [&](int offset) { merged[offset] = device[offset]; });
    }
    return merged;
}

SettingsWriteVerdict WriteSettings(DeviceSession &session, const SettingsImage &image, SectionSet carried,
                                   Entry entry, ReadBack readBack)
{
    SettingsWriteVerdict verdict;
    if (const auto faults = CheckSections(image, carried); !faults.empty()) {
        verdict.refused = faults.front();
        return verdict;
    }
    SettingsImage merged = ComposeWriteImage(image, carried, {});
    if (carried != SectionSet::Both()) {
        const BlockReadVerdict device = ReadImage(session, kSettingsBlocks, entry);
        if (!device.ok()) {
            verdict.message = device.message;
            return verdict;
        }
        SettingsImage deviceImage{};
        std::copy_n(device.cells.begin(), kSettingsImageCells, deviceImage.begin());
        merged = ComposeWriteImage(image, carried, deviceImage);
        verdict.keptFromDevice = {!carried.relay, !carried.rpu};
        // The write follows the read on the same entry.
        entry = Entry::AsEntered;
    }
    const std::vector<int> cells = ImageCells(merged);
    verdict.write = WriteImage(session, kSettingsBlocks, cells, entry, readBack);
    return verdict;
}

} // namespace rpu::ops
