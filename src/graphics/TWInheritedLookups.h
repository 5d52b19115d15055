#pragma once

#include "support/Color.h"
#include "support/Shadow.h"

#include <QHash>
#include <optional>

class TWGraphic;

// While one lives on this thread, the shadow and stroke colour each graphic
// inherits are worked out once: a pass that reads a whole tree without
// changing it asks for them at every branch, and each is a walk up to the
// root. Whatever changes a graphic's shadow, colour or place in the tree
// must not happen while one lives.
class TWInheritedLookups
{
public:
    TWInheritedLookups();
    ~TWInheritedLookups();
    TWInheritedLookups(const TWInheritedLookups &) = delete;
    TWInheritedLookups &operator=(const TWInheritedLookups &) = delete;

    // The innermost on this thread, if any.
    static TWInheritedLookups *current();

    QHash<const TWGraphic *, std::optional<Shadow>> shadows;
    QHash<const TWGraphic *, Color> strokeColors;

private:
    TWInheritedLookups *m_outer;
};
