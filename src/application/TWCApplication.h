#pragma once

#include "application/TWApplication.h"

// The Compact edition.
class TWCApplication : public TWApplication
{
    Q_OBJECT

public:
    TWCApplication(int &argc, char **argv, ApplicationServices services);
    static QString applicationIdentifier()
    {
        return EditionTraits::compact().applicationIdentifier;
    }
};
