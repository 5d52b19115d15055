#pragma once

#include "application/TWApplication.h"

// The Deluxe edition.
class TWDApplication : public TWApplication
{
    Q_OBJECT

public:
    TWDApplication(int &argc, char **argv, ApplicationServices services);
    static QString applicationIdentifier() { return EditionTraits::deluxe().applicationIdentifier; }
};
