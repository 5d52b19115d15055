#pragma once

// Registers the XML element readers and writers of the value classes of this
// floor (colours, fonts, attributed strings, pictures, dates...) and raises
// libxml2's depth limit for every parser of the program. Explicit rather than
// static initialisers, so that a program linking the static library without
// keeping every object still gets them. Safe to call again.
void registerSupportTypes();
