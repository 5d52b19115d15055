#pragma once

#include <memory>

class TWMap;

// What a maps document asks of the document window that owns it: keeping each
// map's scroll position while the current map changes, and showing the current
// map as selected in the window's list of maps.
class TWMapsDocOwner
{
public:
    virtual ~TWMapsDocOwner() = default;

    // Remembers the visible part of the canvas for the map that is still current.
    virtual void saveVisibleRectForCurrentMap() = 0;
    // Scrolls the canvas to what the new current map remembered.
    virtual void restoreVisibleRectForCurrentMap() = 0;
    // Selects the map in the window's array controller of maps.
    virtual void selectMapInMapsArrayController(const std::shared_ptr<TWMap> &map) = 0;
};
