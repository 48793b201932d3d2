#pragma once
// The settings operations of both front ends: reading the device's block,
// accepting a settings file, writing settings with the device's other
// section kept, and the factory settings. A section is range-checked only
// where it is used; a section that is out of range is named, never a reason
// to refuse the other one.

#include "files/settingsfile.h"
#include "ops/blockops.h"
#include "settings/settingsimage.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace rpu::ops {

struct SectionSet {
    bool relay = false;
    bool rpu = false;

    static SectionSet Both() { return {true, true}; }
    static SectionSet Only(SettingsSection section) { return {section == SettingsSection::Relay,
                                                              section == SettingsSection::Rpu}; }
    bool Has(SettingsSection section) const { return section == SettingsSection::Relay ? relay : rpu; }
    void Set(SettingsSection section, bool on) { (section == SettingsSection::Relay ? relay : rpu) = on; }
    bool Empty() const { return !relay && !rpu; }
    friend bool operator==(const SectionSet &, const SectionSet &) = default;
};
inline constexpr SettingsSection kSections[] = {SettingsSection::Relay, SettingsSection::Rpu};

struct SectionFault {
    SettingsSection section;
    BadImageCell cell;
};

// The image with only the cells of the given sections; every other cell 0
// (what a settings file saved from one page holds).
SettingsImage KeepSections(const SettingsImage &image, SectionSet sections);
// Sections with a cell other than 0. A file saved from one page leaves the
// other section all 0; a file with no cell set carries both (it clears).
SectionSet CarriedSections(const SettingsImage &image);
// The sections checked, in order; those out of range with their first bad cell.
std::vector<SectionFault> CheckSections(const SettingsImage &image, SectionSet checked);

// The catalogue's name of a section.
int SectionNameMessage(SettingsSection section);
// "Section ... not saved: byte N=V out of range."
QString DescribeSectionFault(const SectionFault &fault, const MessageCatalogue &catalogue);

struct SettingsReadVerdict {
    int message = 0;                  // link failure; 0 when read
    SettingsImage image{};            // as read, low 8 bits
    SectionSet valid;                 // checked sections in range
    std::vector<SectionFault> faults; // checked sections out of range
    bool ok() const { return message == 0; }
};
SettingsReadVerdict ReadSettings(DeviceSession &session, SectionSet checked, Entry entry);

// A settings file as both front ends accept it: lines 1..96, relay times
// without selection (4294967295, as older versions saved them) read as no
// selection, and only the checked sections range-checked.
struct SettingsFileVerdict {
    FileError fileError;              // the file could not be read or is malformed
    std::optional<BadImageCell> bad;  // first cell out of range in a checked section
    SettingsImage image{};            // cells 0..95; the rest 0
    SectionSet carried;
    bool ok() const { return fileError.ok() && !bad; }
};
SettingsFileVerdict AcceptSettingsFile(const QString &path, SectionSet checked);
// The one text for a refused file; fileName as it is to be shown.
QString DescribeSettingsFile(const SettingsFileVerdict &verdict, const QString &fileName,
                             const MessageCatalogue &catalogue);
// Relay time cells of 4294967295 become 0, the editor's "no selection".
void NormaliseUnselectedRelayTimes(SettingsImage &image);

// The cells a settings file holds.
SettingsFileCells FileCells(const SettingsImage &image);

// A device's settings into a settings file: the sections in range, the rest
// 0; a section out of range is left out, and with none in range nothing is
// written.
struct SettingsSaveVerdict {
    FileError error;
    SectionSet saved;
    std::vector<SectionFault> faults;
    bool written() const { return error.ok() && !saved.Empty(); }
};
SettingsSaveVerdict SaveDeviceSettings(const QString &path, const SettingsReadVerdict &read);

struct SettingsWriteVerdict {
    BlockWriteVerdict write;
    std::optional<SectionFault> refused; // a carried section out of range: nothing sent
    int message = 0;                  // the device's block could not be read first
    SectionSet keptFromDevice;        // sections taken from the device's block
    bool ok() const { return !refused && message == 0 && write.ok(); }
};
// The block a settings write sends: the carried sections as the editors
// would write them, the others as the device's block holds them.
SettingsImage ComposeWriteImage(const SettingsImage &image, SectionSet carried, const SettingsImage &device);

// Writes the carried sections. A section not carried is first read from the
// device and written back as it was, so nothing is wiped that the user never
// asked to change. The window's pages always carry both.
SettingsWriteVerdict WriteSettings(DeviceSession &session, const SettingsImage &image, SectionSet carried,
                                   Entry entry, ReadBack readBack);

} // namespace rpu::ops
