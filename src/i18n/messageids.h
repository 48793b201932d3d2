#pragma once
// Every catalogue number the program shows, by name. Code never writes a raw
// 100xx: a number used in two places is one name, and a module's translator
// finds what a number is for by searching for its name.

namespace rpu::msg {

// Box titles.
inline constexpr int kTitleError = 10001;            // "Ошибка!"
inline constexpr int kTitleWarning = 10009;          // "Внимание!"
inline constexpr int kTitleSystem = 10013;           // "Системное сообщение"

// Link and handshake.
inline constexpr int kInitNotSent = 10002;
inline constexpr int kBadAnswerHeader = 10003;
inline constexpr int kAnswerCrcError = 10004;
inline constexpr int kDeviceClassReceiver = 10005;   // class 0
inline constexpr int kDeviceClassRelayModule = 10006; // class 1
inline constexpr int kBreakNotSent = 10007;
inline constexpr int kNoDevice = 10008;
inline constexpr int kSeveralDevices = 10010;
inline constexpr int kDeviceFound = 10011;
inline constexpr int kQuitQuestion = 10012;
inline constexpr int kFactorySet = 10014;
inline constexpr int kLinkBroken = 10015;
inline constexpr int kLinking = 10061;
inline constexpr int kLinked = 10064;
inline constexpr int kLinkFailed = 10065;
inline constexpr int kDeviceClassSela = 10072;       // class 2
inline constexpr int kBadImageByte = 10082;          // %d offset, %d value; the program ends
inline constexpr int kLinkLost = 10083;

// Firmware.
inline constexpr int kReadingFirmware = 10016;
inline constexpr int kFirmwareBadFormat = 10017;
inline constexpr int kFirmwareWrongType = 10018;
inline constexpr int kFirmwareForRpu = 10019;
inline constexpr int kFirmwareForMro = 10020;
inline constexpr int kFirmwareRead = 10021;
inline constexpr int kWritingFirmware = 10022;       // %d percent
inline constexpr int kFirmwareWritten = 10023;
inline constexpr int kFirmwareNotWritten = 10024;
inline constexpr int kDeviceModeMismatch = 10025;
inline constexpr int kNewerFirmwareFound = 10062;
inline constexpr int kNoNewerFirmware = 10063;
inline constexpr int kNoFirmwareInBase = 10066;
inline constexpr int kFirmwareForSela = 10073;

// Registration backup.
inline constexpr int kDeletingBackup = 10026;
inline constexpr int kBackupFilter = 10027;
inline constexpr int kDeleteBackupQuestion = 10028; // %s file name
inline constexpr int kBackupDeleted = 10029;
inline constexpr int kInvalidModuleNumber = 10030;
inline constexpr int kReadingBackup = 10031;
inline constexpr int kOpenBackupTitle = 10032;
inline constexpr int kBackupRead = 10033;
inline constexpr int kNeedModuleAndObject = 10039;
inline constexpr int kSavingBackup = 10040;
inline constexpr int kSaveBackupTitle = 10041;
inline constexpr int kBackupSaved = 10043;
inline constexpr int kBackupWritten = 10046;
inline constexpr int kBackupReadFromDevice = 10049;

// Settings.
inline constexpr int kReadingSettings = 10034;
inline constexpr int kOpenSettingsTitle = 10035;
inline constexpr int kSettingsFilter = 10036;
inline constexpr int kSettingsWrongSize = 10037;
inline constexpr int kSettingsRead = 10038;
inline constexpr int kOverwriteQuestion = 10042;
inline constexpr int kSavingSettings = 10044;
inline constexpr int kSettingsSaved = 10045;
inline constexpr int kWritingSettings = 10047;
inline constexpr int kSettingsWritten = 10048;

// Block transfers.
inline constexpr int kWriteInitNotSent = 10050;
inline constexpr int kWritingBlocks = 10051;         // %d percent
inline constexpr int kBlocksWritten = 10052;
inline constexpr int kDataNotWritten = 10053;
inline constexpr int kReadInitNotSent = 10054;
inline constexpr int kReadingBlocks = 10055;         // %d percent
inline constexpr int kNoAnswer = 10056;
inline constexpr int kBlocksRead = 10057;
inline constexpr int kBlockCrcError = 10058;
inline constexpr int kNoDataFromDevice = 10084;
inline constexpr int kDataWriteError = 10085;

// Program, language and help.
inline constexpr int kProgramStarted = 10059;
inline constexpr int kLanguageChanged = 10060;
inline constexpr int kHelpOpenError = 10067;        // %s file
inline constexpr int kSaveCancelled = 10068;
inline constexpr int kDeleteCancelled = 10069;
inline constexpr int kReadCancelled = 10070;
inline constexpr int kFamilyName = 10071;
inline constexpr int kTitleKsy = 10086;
inline constexpr int kWindowCaption = 10087;

// Time list texts.
inline constexpr int kMinutes = 10074;               // %d
inline constexpr int kConstant = 10075;
inline constexpr int kSeconds = 10076;               // %d
inline constexpr int kMinutesSeconds = 10077;        // %d %d
inline constexpr int kTenthSeconds = 10078;          // %.1f
inline constexpr int kConstantOneSecond = 10079;
inline constexpr int kOffOneSecond = 10080;
inline constexpr int kOff = 10081;

// File errors: %s file name, then what each names.
inline constexpr int kFileCannotOpen = 10088;        // %s system reason
inline constexpr int kFileCannotRead = 10089;        // %s system reason
inline constexpr int kFileTooLarge = 10090;
inline constexpr int kFileEmpty = 10091;
inline constexpr int kFileTooShort = 10092;          // %d missing line, %d lines needed
inline constexpr int kFileNotANumber = 10093;        // %d line, %s text
inline constexpr int kFileValueNotAllowed = 10094;   // %d line, %s value
inline constexpr int kFileCannotWrite = 10095;       // %s system reason
inline constexpr int kFileCannotDelete = 10096;      // %s system reason
inline constexpr int kFileIsFolder = 10097;

// Settings sections by name, and what an operation says about one.
inline constexpr int kRelaySectionName = 10098;
inline constexpr int kRpuSectionName = 10099;
inline constexpr int kSectionOutOfRange = 10100;     // %s section, %d offset, %d value
inline constexpr int kSectionKeptFromDevice = 10101; // %s section
inline constexpr int kReadBackDiffers = 10102;       // %d cells, %d first offset, %d written, %d read
inline constexpr int kReadBackIdentical = 10103;
// Firmware files that cannot be read at all.
inline constexpr int kFileMissing = 10104;
inline constexpr int kFileNotRegular = 10105;
// A firmware image of another device class; a receiver silent after it took an image.
inline constexpr int kFirmwareOtherClass = 10170;
inline constexpr int kFirmwareAcceptedThenSilent = 10171;
inline constexpr int kRestoreNotRun = 10172;
// The command line: a language code with no catalogue, firmware that is not newer.
inline constexpr int kUnknownLanguageCode = 10180;  // %s code
inline constexpr int kFirmwareOlder = 10181;        // %s file, %s file's version, %s device's version
inline constexpr int kFirmwareSame = 10182;         // %s file, %s version
inline constexpr int kWriteRunningOnSignal = 10183; // %d seconds
// Pieces of the firmware update's result line.
inline constexpr int kResultCopy = 10184;           // %s files
inline constexpr int kResultNotUpdated = 10185;
inline constexpr int kResultNoAnswer = 10186;
inline constexpr int kResultBackup = 10187;         // %s why
inline constexpr int kResultRestore = 10188;        // %s why
inline constexpr int kResultVersionExpected = 10189; // %s message, %s before, %s after, %s expected
// --all of a command that saves files takes a folder.
inline constexpr int kAllTakesFolder = 10240;       // %s the name given
// --all: a stop signal came while other receivers were written.
inline constexpr int kWriteNotBegun = 10241;
// Files that are not regular files, the program's settings file, link failures by kind.
inline constexpr int kFileNotRegularRead = 10120;    // %s file
inline constexpr int kFileNotRegularWrite = 10121;   // %s file
inline constexpr int kIniNotText = 10122;            // %s file
inline constexpr int kIniNotRead = 10123;            // %s reason
inline constexpr int kUsbNoAccess = 10124;           // %s system text
inline constexpr int kUsbBusy = 10125;
inline constexpr int kUsbGone = 10126;
inline constexpr int kUsbTimedOut = 10127;
inline constexpr int kUsbOther = 10128;
inline constexpr int kSocketNoListener = 10129;      // %s socket path
// A simulated receiver named as such; its demo images kept from receivers.
inline constexpr int kSimulatedDevice = 10150;        // %s the device's type
inline constexpr int kDemoImageRefused = 10151;
inline constexpr int kClosesAfterExchange = 10152;
// The bench station.
inline constexpr int kStationWaiting = 10220;    // %s transport
inline constexpr int kStationDone = 10221;
inline constexpr int kStepIdentify = 10222;
inline constexpr int kStepBackup = 10223;
inline constexpr int kStepFirmware = 10224;
inline constexpr int kStepRestore = 10225;
inline constexpr int kStepSettings = 10226;
inline constexpr int kStepFailed = 10227;        // %s step, %s reason
inline constexpr int kStationStopping = 10228;   // %d receivers in progress
inline constexpr int kStationSummary = 10229;    // %d processed, %d successful
inline constexpr int kRecordNotWritten = 10230;  // %s file, %s reason

// The settings diff: the editors' words, the change lines, the command's own texts.
inline constexpr int kDiffWorkModes = 10190;          // the seven work modes, "|" between
inline constexpr int kDiffRelayNotifications = 10191; // cells 16..28 in order, "|" between
inline constexpr int kDiffRpuNotifications = 10192;   // cells 74..82 in order, "|" between
inline constexpr int kDiffRelayOutput = 10193;        // %d relay number
inline constexpr int kDiffOpenCollectorOutput = 10194; // %d output number
inline constexpr int kDiffFieldMode = 10195;
inline constexpr int kDiffFieldInverse = 10196;
inline constexpr int kDiffFieldCloseFor = 10197;
inline constexpr int kDiffFieldOpenFor = 10198;
inline constexpr int kDiffFieldDuration = 10199;
inline constexpr int kDiffPartition = 10200;          // %d partition
inline constexpr int kDiffSource = 10201;             // %d information source
inline constexpr int kDiffNoMode = 10202;
inline constexpr int kDiffYes = 10203;
inline constexpr int kDiffNo = 10204;
inline constexpr int kDiffValueChange = 10205;        // %s output, %s field, %s before, %s after
inline constexpr int kDiffSwitchChange = 10206;       // %s output, %s field, %s what happened
inline constexpr int kDiffBindingAdded = 10207;
inline constexpr int kDiffBindingRemoved = 10208;
inline constexpr int kDiffNotificationOn = 10209;
inline constexpr int kDiffNotificationOff = 10210;
inline constexpr int kDiffSectionChange = 10211;      // %s section, %s before, %s after
inline constexpr int kDiffSectionGiven = 10212;
inline constexpr int kDiffSectionNotGiven = 10213;
inline constexpr int kDiffSectionOutOfRange = 10214;  // %d offset, %d value
inline constexpr int kDiffSame = 10215;
inline constexpr int kDiffDryRun = 10216;
inline constexpr int kDiffUnknownFactory = 10217;     // %s operand
inline constexpr int kDiffUsage = 10218;

} // namespace rpu::msg
