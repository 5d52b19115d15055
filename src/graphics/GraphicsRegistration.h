#pragma once

// Registers the graphic kinds that documents name by class ("TWImage",
// "TWFlexiBranch"), after the support floor's value classes. Safe to call
// again.
void registerGraphicsKinds();
