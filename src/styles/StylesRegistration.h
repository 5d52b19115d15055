#pragma once

// Registers the style element read inside themes, after the drawing floor's
// services. Safe to call again.
void registerStyleTypes();
