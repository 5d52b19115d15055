#include "model/TWMapLayoutServices.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

TWMapLayoutServices &TWMapLayoutServices::none()
{
    static TWMapLayoutServices services;
    return services;
}

void TWMapLayoutServices::recalculateOutlineNumbers(TWMap &map)
{
    if (const std::shared_ptr<TWMapBranch> &root = map.root())
        root->generateOutlineNumberFromPreviousOutlineNumber(QStringLiteral(""),
                                                             map.outlineFormatSettings());
}
