#include "app/accessiblenames.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace rpu {

namespace {

// Marks a name given here, so that a later run may replace it.
constexpr char kNamedByGroup[] = "rpuNamedByGroup";

bool HasBuddyLabel(const QWidget *input)
{
    const QWidget *parent = input->parentWidget();
    if (!parent)
        return false;
    for (const QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() == input)
            return true;
    }
    return false;
}

QString CaptionAsName(QString caption)
{
    caption.remove(QLatin1Char('&'));
    caption = caption.trimmed();
    while (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption.trimmed();
}

} // namespace

void NameInputsByGroups(QWidget *root)
{
    for (QWidget *input : root->findChildren<QWidget *>()) {
        const bool isInput = qobject_cast<QAbstractItemView *>(input) || qobject_cast<QLineEdit *>(input)
                             || qobject_cast<QComboBox *>(input) || qobject_cast<QAbstractSpinBox *>(input);
        // A combo box's own line edit and list are named through the box.
        if (!isInput || qobject_cast<QComboBox *>(input->parentWidget()))
            continue;
        const bool ours = input->property(kNamedByGroup).toBool();
        if ((!input->accessibleName().isEmpty() && !ours) || HasBuddyLabel(input))
            continue;
        const auto *group = qobject_cast<QGroupBox *>(input->parentWidget());
        const QString name = group ? CaptionAsName(group->title()) : QString();
        if (name.isEmpty())
            continue;
        input->setAccessibleName(name);
        input->setProperty(kNamedByGroup, true);
    }
}

} // namespace rpu
