#include "app/pages/settingsfileflow.h"

#include "files/filetexts.h"
#include "files/settingsfile.h"
#include "session/valuebuffer.h"

#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace rpu {

namespace {

constexpr quint32 kUnselectedTime = std::numeric_limits<quint32>::max();

std::vector<std::uint32_t> FileCells(const SettingsImage &image)
{
    return {image.begin(), image.begin() + kSettingsFileCells};
}

bool IsRelayTime(const SettingsField &field)
{
    return field.kind == FieldKind::CloseFor || field.kind == FieldKind::OpenFor
           || field.kind == FieldKind::Duration;
}

} // namespace

SaveDialogMemory &WindowSaveDialogMemory()
{
    static SaveDialogMemory memory;
    return memory;
}

void NormaliseUnselectedRelayTimes(SettingsImage &image)
{
    for (const SettingsField &field : SettingsFields(SettingsSection::Relay)) {
        if (IsRelayTime(field) && image[field.offset] == kUnselectedTime)
            image[field.offset] = 0;
    }
}

std::optional<BadImageCell> FindBadSettingsFileCell(const SettingsImage &image)
{
    if (auto bad = FindBadCell(image, SettingsSection::Relay))
        return bad;
    return FindBadCell(image, SettingsSection::Rpu);
}

SettingsFileFlow::SettingsFileFlow(PageContext &context, SettingsImageView &view, QWidget *owner,
                                   SaveDialogMemory &memory)
    : context_(context), view_(view), owner_(owner), memory_(memory)
{
}

void SettingsFileFlow::FileErrorBox(const QString &text)
{
    context_.Box(kTitleError, text, Dialogs::Icon::Error);
}

void SettingsFileFlow::SaveSettingsFile()
{
    context_.Status(filemsg::kSavingSettings);
    const FileDialogSpec &dialog = kSaveSettingsDialog;
    const QString offered = DefaultSettingsFileName(context_.session.Mode() == WorkMode::Demo,
                                                    context_.host.SelectedDeviceMode(),
                                                    context_.session.Info().deviceClass)
                                .value_or(memory_.lastName);
    Dialogs *dialogs = context_.dialogs();
    const QString path =
        dialogs ? dialogs->SaveFileName(owner_, context_.Msg(dialog.titleMessage),
                                        dialog.Folder(context_.places.Folders.dataFolder), offered,
                                        context_.Msg(dialog.filterMessage), dialog.defaultSuffix)
                : QString();
    if (path.isEmpty()) {
        context_.Status(filemsg::kSaveCancelled);
        return;
    }
    memory_.lastName = QFileInfo(path).fileName();

    // Only the page in view contributes; the other section stays 0.
    SettingsImage image{};
    view_.ComposeOwnSection(image);
    context_.buffer.SetValues(FileCells(image));

    if (QFileInfo::exists(path)
        && context_.Box(filemsg::kSystemTitle, context_.Msg(filemsg::kOverwriteQuestion),
                        Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
               != Dialogs::Answer::Yes) {
        context_.Status(filemsg::kSaveCancelled);
        return;
    }
    SettingsFileCells cells{};
    std::copy_n(image.begin(), kSettingsFileCells, cells.begin());
    const FileError error = WriteSettingsFile(path, cells);
    if (!error.ok()) {
        FileErrorBox(DescribeFileError(error, QFileInfo(path).fileName(), context_.catalogue()));
        return;
    }
    context_.Status(filemsg::kSettingsSaved);
}

void SettingsFileFlow::LoadSettingsFile()
{
    context_.Status(filemsg::kReadingSettings);
    const FileDialogSpec &dialog = kOpenSettingsDialog;
    Dialogs *dialogs = context_.dialogs();
    const QString path =
        dialogs ? dialogs->OpenFileName(owner_, context_.Msg(dialog.titleMessage),
                                        dialog.Folder(context_.places.Folders.dataFolder),
                                        context_.Msg(dialog.filterMessage), QString())
                : QString();
    if (path.isEmpty()) {
        context_.Status(filemsg::kReadCancelled);
        return;
    }
    const QString fileName = QFileInfo(path).fileName();

    context_.buffer.Clear();
    const auto content = ReadSettingsFile(path);
    if (!content.ok()) {
        // The catalogue has a text for a file of the wrong size; it names no
        // file, so ours follows it.
        const QString described = DescribeFileError(content.error, fileName, context_.catalogue());
        FileErrorBox(content.error.kind == FileErrorKind::TooShort
                         ? context_.Msg(filemsg::kSettingsWrongSize) + QLatin1Char('\n') + described
                         : described);
        return;
    }
    SettingsImage image{};
    std::copy(content.value->cells.begin(), content.value->cells.end(), image.begin());
    context_.buffer.SetValues(FileCells(image));
    NormaliseUnselectedRelayTimes(image);

    std::optional<BadImageCell> bad = FindBadSettingsFileCell(image);
    if (!bad)
        bad = view_.ShowImage(image);
    if (bad) {
        FileError error;
        error.kind = FileErrorKind::OutOfRange;
        error.line = bad->offset + 1;
        error.text = QString::number(bad->value);
        FileErrorBox(DescribeFileError(error, fileName, context_.catalogue()));
        return;
    }
    context_.Status(filemsg::kSettingsRead);
}

} // namespace rpu
