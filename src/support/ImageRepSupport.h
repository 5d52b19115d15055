#pragma once

#include "platform/Geometry.h"

#include <QByteArray>
#include <optional>

// Shared by the representations that keep a page description as bytes.
namespace ImageRepSupport {

bool looksLikePDF(const QByteArray &data);
bool looksLikeEPS(const QByteArray &data);
// The size of the first "/MediaBox [x0 y0 x1 y1]"; nothing when there is none.
std::optional<Size> pdfMediaBoxSize(const QByteArray &data);
// The size of the first "%%BoundingBox: llx lly urx ury" with four numbers.
std::optional<Size> epsBoundingBoxSize(const QByteArray &data);

} // namespace ImageRepSupport
