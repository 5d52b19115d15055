// What find and spelling ask of the canvas.

#include "canvas/TWGraphicView.h"

void TWGraphicView::commitPendingText()
{
    if (!hasStoredText())
        return;
    m_commitTimer.stop();
    changeTextFromStoredDict();
}
