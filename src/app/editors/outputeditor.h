#pragma once
// The editor of one output of a settings page: binding grid, work mode,
// notification boxes and the "Дополнительно:" lists. The relay page and the
// RPU page differ in names, captions and the work-mode handler only.

#include "settings/outputpresets.h"
#include "settings/settingsimage.h"

#include <QLocale>
#include <QWidget>

#include <array>
#include <functional>
#include <span>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace rpu {

class MessageCatalogue;

struct NotificationBoxSpec {
    const char *prefix;   // object name without the output number
    int bit;              // notification bit, or -1 for a box without a cell
    bool enabledAtStart;
    bool followsOutput;   // enabled and cleared with the output's other boxes
    bool offInSpecial;    // stays disabled in "Специальный"
    bool hidden;
};

struct OutputEditorLayout {
    SettingsSection section;
    const char *nameSuffix;    // after the list prefixes: "" or "RPU"
    const char *bindingPrefix; // "privrele" or "privrelrpu"
    int bindingCount;
    int bindingRows;
    std::span<const NotificationBoxSpec> boxes;
    const char *modeGroupName; // group name without the output number
    const char *modeButtonPrefix; // "" leaves the buttons unnamed
    std::span<const int> lockedModes; // buttons the user cannot choose
};

class OutputEditor : public QWidget {
    Q_OBJECT
public:
    int Output() const { return n_; }
    // Selected work-mode value, 0 for none.
    int CheckedMode() const;
    // The locale the time lists are written in; follows a language change.
    void SetLocale(const QLocale &locale) { locale_ = locale; }

protected:
    OutputEditor(int n, const OutputEditorLayout &layout, const MessageCatalogue &catalogue,
                 const QLocale &locale, QWidget *parent);

    // Checks the mode's button without running the handler; 0 checks none.
    void SelectMode(int mode);

    // The preset of a work mode as this page knows it; none for 0.
    virtual std::optional<OutputPreset> PresetFor(int mode) const = 0;
    void OnModeChosen() { RunPreset(PresetFor(CheckedMode())); }

    template <int B>
    void ShowValues(const OutputSettings<B> &output);
    template <int B>
    OutputSettings<B> Collect() const;

private:
    // What the controls show. The mode logic works on this, and only what
    // differs reaches the widgets: showing the values they already show
    // repaints nothing, and a change repaints the changed controls only.
    enum TimeListKind { OpenList, CloseList, DurationList, SounderList, NoList };
    struct ListState {
        TimeListKind items = NoList; // NoList keeps the items the list has
        int item = -1;
        bool enabled = false;
    };
    struct Controls {
        QList<bool> bindingChecked, bindingEnabled, boxChecked, boxEnabled;
        int mode = 0;
        ListState openFor, closeFor, duration, inverse;
    };
    Controls Current() const;
    void Apply(const Controls &c);

    void SetOutputEnabled(Controls &c, bool on) const;
    void SetEventsChecked(Controls &c, bool on) const;
    // A mode change by the user or by a shown image: resets the output's
    // boxes and lists to the preset; bindings keep their state.
    void RunPreset(const std::optional<OutputPreset> &preset);
    void PresetInto(Controls &c, const OutputPreset &preset);

    // The groups and list captions have no names of their own; they are
    // named after the editor, the way the layout knows them, once the
    // editor has its name.
    void NameParts();
    void BuildBindings(QGroupBox *group);
    void BuildModes(QGroupBox *group);
    void BuildNotifications(QGroupBox *group);
    void BuildLists(QGroupBox *group);
    // Forgets the lists' items when their texts changed (catalogue, locale).
    void RefreshTimeTexts();
    void ShowList(QComboBox *list, const ListState &state, TimeListKind &shown);
    void ShowItems(QComboBox *list, TimeListKind kind, TimeListKind &shown);
    QString TimeTextsKey() const;
    TimeEncoding DurationEncodingOf(int mode) const;

    const int n_;
    const OutputEditorLayout &layout_;
    const MessageCatalogue &catalogue_;
    QLocale locale_;

    QList<QCheckBox *> bindings_;
    QList<QCheckBox *> boxes_; // in the order of layout_.boxes
    QButtonGroup *modes_ = nullptr;
    QComboBox *openFor_ = nullptr;
    QComboBox *closeFor_ = nullptr;
    QComboBox *duration_ = nullptr;
    QComboBox *inverse_ = nullptr;
    std::array<QGroupBox *, 3> parts_{}; // bindings, notifications, lists
    QList<QLabel *> listCaptions_;

    std::array<QStringList, NoList> items_;
    QString itemsKey_;
    TimeListKind openShown_ = NoList;
    TimeListKind closeShown_ = NoList;
    TimeListKind durationShown_ = NoList;
};

// Relay page output (RTR and MRO device modes).
class RelayOutputEditor final : public OutputEditor {
    Q_OBJECT
public:
    RelayOutputEditor(int n, const MessageCatalogue &catalogue, const QLocale &locale,
                      QWidget *parent = nullptr);

    void Show(const RelayOutput &output);
    RelayOutput Value() const;

    // Whether "Звуковой" offers its duration; asked at every mode change.
    void SetSounderDurationCondition(std::function<bool()> allowed);

    void ReleWorkMode1Click();

protected:
    std::optional<OutputPreset> PresetFor(int mode) const override;

private:
    std::function<bool()> sounderAllowed_;
};

// RPU page output (autonomous receiver).
class RpuOutputEditor final : public OutputEditor {
    Q_OBJECT
public:
    RpuOutputEditor(int n, const MessageCatalogue &catalogue, const QLocale &locale,
                    QWidget *parent = nullptr);

    void Show(const RpuOutput &output);
    RpuOutput Value() const;

    void RadioButton_ReleWorkModeRPUClick();

protected:
    std::optional<OutputPreset> PresetFor(int mode) const override;
};

} // namespace rpu
