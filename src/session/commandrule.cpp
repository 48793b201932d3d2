#include "session/commandrule.h"

namespace rpu {

CommandState CommandsFor(WorkMode mode, LinkState link, bool busy, const CommandOffer &page)
{
    CommandState s;
    if (mode == WorkMode::Demo) {
        s.workMode = true;
        s.device = page;
        s.language = true;
        s.pagesShown = true;
    } else {
        switch (link) {
        case LinkState::Down:
            s.workMode = true;
            s.connect = true;
            s.language = true;
            break;
        case LinkState::Failed:
            s.connect = true;
            s.pagesShown = true;
            break;
        case LinkState::Linked:
            s.disconnect = true;
            s.device = page;
            s.pagesShown = true;
            break;
        }
    }
    s.pagesEnabled = true;
    if (busy) {
        // While an exchange lets window events run, nothing may start another.
        const bool shown = s.pagesShown;
        s = CommandState{};
        s.pagesShown = shown;
    }
    return s;
}

} // namespace rpu
