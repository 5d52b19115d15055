#pragma once

#include "platform/Geometry.h"

#include <QString>
#include <functional>
#include <optional>

class TWTextArea;

// Rectangles of a view that show a tool tip. The text is asked for when the
// tip is about to show (nothing: no tip), so it follows the model. A
// registry that goes away is known to be gone: tags kept elsewhere are then
// forgotten rather than sent to it.
class TWToolTipRegistry
{
public:
    using TextProvider = std::function<std::optional<QString>()>;

    TWToolTipRegistry();
    virtual ~TWToolTipRegistry();
    TWToolTipRegistry(const TWToolTipRegistry &) = delete;
    TWToolTipRegistry &operator=(const TWToolTipRegistry &) = delete;

    // A tag that removes the rectangle again.
    virtual int addToolTipRect(Rect rect, TextProvider text) = 0;
    virtual void removeToolTip(int tag) = 0;

    static bool isAlive(const TWToolTipRegistry *registry);
};

// What drawing asks of the view it paints into. Off-screen drawing (images,
// previews, printing without a canvas) passes no view at all: no handles are
// drawn then.
class TWDrawingView
{
public:
    virtual ~TWDrawingView() = default;
    // The text area the view edits in place: its editor shows the text, so
    // the drawing leaves it out and shows no handles on it.
    virtual const TWTextArea *editingTextArea() const { return nullptr; }
    // Where drawing registers the tool tips of links; none by default.
    virtual TWToolTipRegistry *toolTipRegistry() const { return nullptr; }
};
