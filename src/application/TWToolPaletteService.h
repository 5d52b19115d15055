#pragma once

#include "application/ApplicationServices.h"

class TWApplication;
class TWToolPaletteController;

// The tool palette as the application calls on it. The palette follows the
// canvas of the application's active document; closing it puts every open
// canvas back to the select tool.
class TWToolPaletteService : public ToolPalette
{
public:
    // Without an application the palette follows no document.
    TWToolPaletteService(TWToolPaletteController &palette, TWApplication *application);
    void showPanel() override;
    void closePanel() override;

private:
    TWToolPaletteController &m_palette;
};
