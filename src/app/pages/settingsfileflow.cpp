#include "app/pages/settingsfileflow.h"

#include "files/filetexts.h"
#include "files/settingsfile.h"
#include "ops/settingsops.h"
#include "session/valuebuffer.h"

#include <QFileInfo>

namespace rpu {

SaveDialogMemory &WindowSaveDialogMemory()
{
    static SaveDialogMemory memory;
    return memory;
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
    const SettingsFileCells cells = ops::FileCells(image);
    context_.buffer.SetValues({cells.begin(), cells.end()});

    if (QFileInfo::exists(path)
        && context_.Box(filemsg::kSystemTitle, context_.Msg(filemsg::kOverwriteQuestion),
                        Dialogs::Icon::Question, Dialogs::Buttons::YesNo)
               != Dialogs::Answer::Yes) {
        context_.Status(filemsg::kSaveCancelled);
        return;
    }
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
    // Only the page in view reads the file, so only its section is checked.
    const ops::SettingsFileVerdict file = ops::AcceptSettingsFile(path, ops::SectionSet::Only(view_.Section()));
    if (!file.fileError.ok()) {
        FileErrorBox(ops::DescribeSettingsFile(file, fileName, context_.catalogue()));
        return;
    }
    const SettingsFileCells cells = ops::FileCells(file.image);
    context_.buffer.SetValues({cells.begin(), cells.end()});
    std::optional<BadImageCell> bad = file.bad;
    if (!bad)
        bad = view_.ShowImage(file.image);
    if (bad) {
        ops::SettingsFileVerdict refused = file;
        refused.bad = bad;
        FileErrorBox(ops::DescribeSettingsFile(refused, fileName, context_.catalogue()));
        return;
    }
    context_.Status(filemsg::kSettingsRead);
}

} // namespace rpu
