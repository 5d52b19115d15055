#pragma once

#include <QList>
#include <memory>

class TWGraphic;
class TWLinkLine;
class TWMap;

// While one lives, the graphics whose bounds change belong to a whole tree
// that moves by one offset: a branch's connection is not fitted as its shape
// moves, since the mover fits every connection once all ends have moved, and
// the link lines at each graphic are found in a table made once per move.
class TWTreeTranslation
{
public:
    TWTreeTranslation();
    ~TWTreeTranslation();
    TWTreeTranslation(const TWTreeTranslation &) = delete;
    TWTreeTranslation &operator=(const TWTreeTranslation &) = delete;

    static bool active();
    // The map's link lines starting or ending at the graphic, in the map's
    // order, as TWMap::linkLinesStartingOrEndingWithGraphic() finds them.
    static QList<std::shared_ptr<TWLinkLine>> linkLinesAt(const TWGraphic &graphic,
                                                          const TWMap &map);

private:
    bool m_outer;
};
