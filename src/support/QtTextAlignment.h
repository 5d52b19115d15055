#pragma once

#include "support/TextTab.h"

#include <Qt>

// Natural and unknown alignments lay out as left, fixed to the left edge.
inline Qt::Alignment qtAlignment(int alignment)
{
    switch (alignment) {
    case RightTextAlignment:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case CenterTextAlignment:
        return Qt::AlignHCenter;
    case JustifiedTextAlignment:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    }
}
