#pragma once

// Registers this floor's XML value classes (gradients) after the support
// floor's. Safe to call again.
void registerInterfaceTypes();
