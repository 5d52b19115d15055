#pragma once

// What every program of the library calls once at start, before it reads a
// document or an exported template: registers the XML readers, graphic kinds,
// drawing hooks and key-path links of every floor, and the resources compiled
// into the library (strings, pictures, styles, themes, export templates,
// tutorials). The library is static and none of this is done by static
// initialisers: a program that skips the call finds none of it. Safe to call
// again.
void registerTypesAndResources();
