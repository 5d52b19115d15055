#pragma once

class TWImportController;

// Plugs the OPML and MindManager readers into the import commands, as the
// program runs them.
void installExchangeReaders(TWImportController &importer);
