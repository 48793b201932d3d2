#include "app/helplinks.h"

#include "app/dialogs.h"
#include "app/pagecontext.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "io/inifile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

namespace rpu {

namespace {
constexpr int kMsgHelpOpenError = msg::kHelpOpenError;

// The help documents shipped with the program, for a configuration file
// that names none.
QString ShippedHelpFile(const QString &code)
{
    if (code == QLatin1String("RU") || code == QLatin1String("EN") || code == QLatin1String("TR"))
        return QStringLiteral("dorel-rpu-sela_%1.html").arg(code.toLower());
    return {};
}
} // namespace

UrlOpener DesktopUrlOpener()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

QString ReadHelpFileName(const QString &iniPath, const QString &code)
{
    const QString key = code.isEmpty() ? QStringLiteral("RU") : code;
    // The name exactly as configured: a ", " or a ';' inside it stays.
    return ReadIniFile(iniPath).document.Value(QStringLiteral("Help"), key, ShippedHelpFile(key));
}

QString HelpPath(const QStringList &folders, const QString &fileName)
{
    const QString relative = QStringLiteral("help/") + fileName;
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(relative);
        if (QFileInfo(path).isFile())
            return path;
    }
    return folders.isEmpty() ? relative : QDir(folders.front()).filePath(relative);
}

QUrl MailTarget(const QString &address, const QString &programFilePath)
{
    return QUrl(QStringLiteral("mailto:") + address + QStringLiteral("?subject=")
                + QFileInfo(programFilePath).fileName());
}

QUrl WebTarget(const QString &address)
{
    return QUrl(QStringLiteral("http://") + address);
}

HelpAndLinks::HelpAndLinks(QWidget &window, Setup setup)
    : QObject(&window), window_(window), setup_(std::move(setup)), open_(DesktopUrlOpener())
{
    setObjectName(QStringLiteral("HelpAndLinks"));
    web_ = window.findChild<QLabel *>(QStringLiteral("Label_webaddr"));
    mail_ = window.findChild<QLabel *>(QStringLiteral("Label_emailaddr"));
    for (QLabel *label : {web_, mail_}) {
        if (!label)
            continue;
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }
}

void HelpAndLinks::HelpClick()
{
    const QString code = setup_.languageCode ? setup_.languageCode() : QString();
    const QString name = ReadHelpFileName(setup_.iniPath, code);
    helpPath_ = HelpPath(setup_.helpFolders, name);
    // A missing file is a failure even where the desktop would open a folder
    // or report success without checking.
    const bool opened = QFileInfo(helpPath_).isFile() && open_(QUrl::fromLocalFile(helpPath_));
    if (opened || !setup_.dialogs || !setup_.catalogue)
        return;
    setup_.dialogs->MessageBox(&window_, setup_.catalogue->Text(kTitleError),
                               setup_.catalogue->Format(kMsgHelpOpenError, name), Dialogs::Icon::Error,
                               Dialogs::Buttons::Ok);
}

void HelpAndLinks::Label_webaddrClick()
{
    if (web_)
        open_(WebTarget(web_->text()));
}

void HelpAndLinks::Label_emailaddrClick()
{
    if (mail_)
        open_(MailTarget(mail_->text(), setup_.programFilePath));
}

bool HelpAndLinks::eventFilter(QObject *watched, QEvent *event)
{
    // The links open by keyboard too (Tab reaches them).
    const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event)->key() : 0;
    const bool keyOpens = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (keyOpens
        || (event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)) {
        if (watched == web_)
            Label_webaddrClick();
        else if (watched == mail_)
            Label_emailaddrClick();
        if (keyOpens && (watched == web_ || watched == mail_))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rpu
