#pragma once

// Registers the key-path links the palettes follow through the model, after
// the style and interface floors' registrations. Safe to call again.
void registerPaletteLinks();
