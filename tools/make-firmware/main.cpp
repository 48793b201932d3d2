// Writes a firmware image for trying the update flows without a real one:
//   make-firmware --out FILE --version N [--type N] [--packets K] [--extra M]
// 55 55 type version, four further header bytes, K packets of 64 body bytes,
// two tail bytes (length 10 + 64 K). --extra appends M bytes, which makes a
// length the program refuses. --demo marks the image as one of the
// simulator's demo images (type 0x12), which a real receiver is never sent.

#include "firmware/firmwarefile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace {

bool ParseNumber(const QString &text, int min, int max, int &out)
{
    bool ok = false;
    const int v = text.toInt(&ok, 0); // 0x12 and 18 alike
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

int Fail(const QString &text)
{
    std::fprintf(stderr, "make-firmware: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("make-firmware"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a firmware image file."));
    parser.addHelpOption();
    const QCommandLineOption outOpt("out", "Image file to write.", "file");
    const QCommandLineOption versionOpt("version", "Firmware version byte (0..255).", "n");
    const QCommandLineOption typeOpt("type", "Device type code (default 0x12).", "n", "0x12");
    const QCommandLineOption packetsOpt("packets", "64-byte body packets (default 16).", "k", "16");
    const QCommandLineOption extraOpt("extra", "Bytes appended after the tail (default 0).", "m", "0");
    const QCommandLineOption demoOpt("demo", "A demo image for the simulator (type 0x12; refused for a real device).");
    parser.addOptions({outOpt, versionOpt, typeOpt, packetsOpt, extraOpt, demoOpt});
    parser.process(app);

    if (!parser.isSet(outOpt) || !parser.isSet(versionOpt))
        return Fail(QStringLiteral("--out and --version are required (see --help)"));
    int version = 0, type = 0, packets = 0, extra = 0;
    if (!ParseNumber(parser.value(versionOpt), 0, 255, version))
        return Fail(QStringLiteral("--version must be 0..255"));
    if (!ParseNumber(parser.value(typeOpt), 0, 255, type))
        return Fail(QStringLiteral("--type must be 0..255"));
    const int maxPackets = int((rpu::kMaxFirmwareFileSize - rpu::kMinFirmwareFileSize) / rpu::kPacketSize);
    if (!ParseNumber(parser.value(packetsOpt), 0, maxPackets, packets))
        return Fail(QStringLiteral("--packets must be 0..%1").arg(maxPackets));
    if (!ParseNumber(parser.value(extraOpt), 0, 63, extra))
        return Fail(QStringLiteral("--extra must be 0..63"));

    if (parser.isSet(demoOpt) && parser.isSet(typeOpt))
        return Fail(QStringLiteral("--demo images are of type 0x12; leave out --type"));
    QByteArray image = parser.isSet(demoOpt)
                           ? rpu::MakeDemoFirmwareImage(std::uint8_t(version), packets)
                           : rpu::MakeFirmwareImage(std::uint8_t(type), std::uint8_t(version), packets);
    for (int i = 0; i < extra; ++i)
        image.append(char(0xA5));

    QSaveFile file(parser.value(outOpt));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(parser.value(outOpt), file.errorString()));
    std::printf("%s: %lld bytes, type 0x%02X, version %d (%s)\n", qPrintable(parser.value(outOpt)),
                static_cast<long long>(image.size()), type, version,
                qPrintable(rpu::FormatFirmwareVersion(version)));
    return 0;
}
