#pragma once

// Installs the drawing code into the model's hooks (map previews and layout,
// the boundary pass of branch drawing), after the graphics floor's kinds.
// Safe to call again.
void registerMapDrawingServices();
