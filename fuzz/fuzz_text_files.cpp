// Settings files and registration backups as the pages load them: the raw
// bytes through both one-pass parsers, checked line by line against the
// plain per-line parse; and the same bytes as a list of lines through the
// line-list entry points.

#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "files/textlines.h"

#include "fuzzcheck.h"

#include <QString>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    std::vector<QByteArrayView> lines;
    rpu::TextLineCursor cursor(bytes);
    for (QByteArrayView line; cursor.Next(line);) {
        fuzz::Require(!line.contains('\r') && !line.contains('\n'), "a line holds no line end");
        lines.push_back(line);
    }
    const QStringList split = rpu::SplitTextLines(QString::fromLatin1(bytes));
    fuzz::Require(rpu::CountTextLines(bytes) == int(lines.size()), "the count is the cursor's");
    fuzz::Require(split.size() == qsizetype(lines.size()), "the string split finds the same lines");

    const auto settings = rpu::ParseSettingsText(bytes);
    fuzz::Require(settings.ok() || settings.error.kind != rpu::FileErrorKind::TooShort
                      || lines.size() < std::size_t(rpu::kSettingsFileCells),
                  "a settings file is short only under 96 lines");
    if (settings.ok()) {
        fuzz::Require(settings.value->lineCount == int(lines.size()), "every line is counted");
        for (int i = 0; i < rpu::kSettingsFileCells; ++i) {
            const auto cell = rpu::ParseDecimalLine(lines[std::size_t(i)], i + 1, INT32_MIN, UINT32_MAX);
            fuzz::Require(cell.ok() && quint32(*cell.value) == settings.value->cells[std::size_t(i)],
                          "each cell is its line's number");
        }
    } else if (settings.error.kind != rpu::FileErrorKind::TooShort) {
        const int at = settings.error.line;
        fuzz::Require(at >= 1 && at <= rpu::kSettingsFileCells
                          && !rpu::ParseDecimalLine(lines[std::size_t(at - 1)], at, INT32_MIN, UINT32_MAX).ok(),
                      "a refused settings file names a bad line among the first 96");
    }

    const auto backup = rpu::ParseRegistrationText(bytes);
    if (backup.ok()) {
        const QByteArray &values = backup.value->values;
        fuzz::Require(values.size() >= rpu::kRegistrationImageSize && std::size_t(values.size()) <= lines.size(),
                      "a backup holds the image and no more values than lines");
        for (qsizetype i = 0; i < values.size(); ++i) {
            const auto value = rpu::ParseDecimalLine(lines[std::size_t(i)], int(i + 1), 0, 255);
            fuzz::Require(value.ok() && *value.value == quint8(values[i]), "each value is its line's number");
        }
    } else if (backup.error.kind == rpu::FileErrorKind::NotANumber
               || backup.error.kind == rpu::FileErrorKind::OutOfRange) {
        const int at = backup.error.line;
        fuzz::Require(at >= 1 && std::size_t(at) <= lines.size()
                          && !rpu::ParseDecimalLine(lines[std::size_t(at - 1)], at, 0, 255).ok(),
                      "a refused backup names a bad line");
    }

    (void)rpu::ParseSettingsLines(split);
    (void)rpu::ParseRegistrationLines(split);
    return 0;
}
