#pragma once
// Which commands of the command column are usable: one rule, from the link
// state, the page in view and what that page offers now.

#include "session/devicesession.h"

namespace rpu {

// What the page in view offers of the device and file commands.
struct CommandOffer {
    bool write = false;
    bool read = false;
    bool save = false;
    bool load = false;
    bool factory = false;
    bool operator==(const CommandOffer &) const = default;
};

struct CommandState {
    bool workMode = false;    // the work-mode box
    bool connect = false;
    bool disconnect = false;
    CommandOffer device;      // "Записать", "Считать", "Сохранить", "Загрузить", "Завод. настройки"
    bool language = false;
    bool pagesShown = false;  // the page control
    bool pagesEnabled = false;
    bool operator==(const CommandState &) const = default;
};

CommandState CommandsFor(WorkMode mode, LinkState link, bool busy, const CommandOffer &page);

} // namespace rpu
