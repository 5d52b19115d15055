#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <memory>

class TWSnapLine;

// Alignment and equal-spacing guides for one dragged branch.
namespace TWSnapLines {

constexpr float SnapDistance = 6.0f;

struct Result
{
    QList<std::shared_ptr<TWSnapLine>> lines;
    // Where the branch bounds' origin goes when the drag is released.
    float targetX = 0;
    float targetY = 0;
};

// `dragged`: the dragged branch's bounds; `rootShape`: the central branch's
// main graphic bounds (which side the branch is on); `others`: the bounds of
// the branches it may line up with.
Result compute(Rect dragged, Rect rootShape, const QList<Rect> &others);

} // namespace TWSnapLines
