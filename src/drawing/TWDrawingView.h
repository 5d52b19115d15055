#pragma once

class TWTextArea;

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
};
