#pragma once
// What the page flow asks of the page in view: which column commands it
// offers, and the commands themselves. A page offers only what it does; the
// rest stays as these defaults.

#include "session/commandrule.h"

namespace rpu {

class Page {
public:
    virtual ~Page() = default;
    virtual CommandOffer Offer() const { return {}; }
    // "Считать", "Записать", "Сохранить", "Загрузить".
    virtual void Read() {}
    virtual void Write() {}
    virtual void Save() {}
    virtual void Load() {}
    // "Заводские"; false when the page has no factory settings of its own.
    virtual bool Factory() { return false; }
};

} // namespace rpu
