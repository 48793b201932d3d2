// Converts a stored window layout between its text and binary forms:
//   layout-convert [--base64] INPUT OUTPUT
// or checks a language module for a translator:
//   layout-convert --check MODULE
// A binary input (starting with "TPF0", raw or base64) becomes text; a text
// input becomes binary, written as base64 with --base64 (the form of an
// "@layout base64" section of a language module).

#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstdio>

namespace {

int Fail(const QString &text, int code)
{
    std::fprintf(stderr, "layout-convert: %s\n", qPrintable(text));
    return code;
}

// The binary stream the input holds, raw or base64; empty when it is text.
QByteArray BinaryOf(const QByteArray &input)
{
    if (input.startsWith(rpu::kLayoutSignature))
        return input;
    const auto decoded = QByteArray::fromBase64Encoding(input.simplified().replace(' ', ""),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded && decoded.decoded.startsWith(rpu::kLayoutSignature) ? decoded.decoded : QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("layout-convert"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Converts a window layout between text and binary form."));
    parser.addHelpOption();
    const QCommandLineOption base64(QStringLiteral("base64"), QStringLiteral("Write binary output as base64 text."));
    parser.addOption(base64);
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Check a language module instead: its sections, messages and placeholders."));
    parser.addOption(check);
    parser.addPositionalArgument(QStringLiteral("input"), QStringLiteral("Layout file, text or binary."));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("File to write."));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(check)) {
        if (args.size() != 1)
            return Fail(QStringLiteral("give one module file to check"), 2);
        // The same reading and checks as the program's when it loads a module.
        QString error;
        const auto module = rpu::LanguageModule::Read(args[0], &error);
        if (!module)
            return Fail(error, 1);
        const QStringList findings = rpu::CheckLanguageModule(*module);
        for (const QString &finding : findings)
            std::printf("%s: %s\n", qPrintable(args[0]), qPrintable(finding));
        return findings.isEmpty() ? 0 : 1;
    }
    if (args.size() != 2)
        return Fail(QStringLiteral("give an input and an output file (see --help)"), 2);

    QString readError;
    const std::optional<QByteArray> read = rpu::ReadModuleBytes(args[0], rpu::kMaxModuleBytes, &readError);
    if (!read)
        return Fail(QStringLiteral("cannot read %1").arg(readError), 2);
    const QByteArray input = *read;

    QByteArray output;
    try {
        const QByteArray binary = BinaryOf(input);
        if (!binary.isEmpty()) {
            output = rpu::LayoutBinaryToText(binary).toUtf8();
        } else {
            QStringDecoder decode(QStringDecoder::Utf8);
            const QString text = decode(input);
            if (decode.hasError())
                return Fail(QStringLiteral("%1 is neither a binary layout nor UTF-8 text").arg(args[0]), 1);
            output = rpu::LayoutTextToBinary(text);
            if (parser.isSet(base64))
                output = output.toBase64() + '\n';
        }
    } catch (const rpu::LayoutError &e) {
        return Fail(QStringLiteral("%1: %2").arg(args[0], e.message()), 1);
    }

    // The save renames a new file over the target: never over a device or FIFO.
    const QFileInfo target(args[1]);
    if ((target.exists() || target.isSymLink()) && !target.isFile())
        return Fail(QStringLiteral("cannot write %1: it is not a regular file").arg(args[1]), 2);
    QSaveFile out(args[1]);
    if (!out.open(QIODevice::WriteOnly) || out.write(output) != output.size() || !out.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(args[1], out.errorString()), 2);
    return 0;
}
