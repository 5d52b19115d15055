#pragma once

#include "support/BezierPath.h"

#include <QString>

class TWHyperlink;
class TWMapBranch;

// A branch subtree described as clickable regions for exports: the outline
// of each branch's shape, presentation instructions (outlines, full bounds
// and hot regions as XML drawing segments) and HTML image-map areas. The
// writers only append; the caller writes the surrounding document.
namespace TWBranchHotspots {

// Curves of outlines are flattened at this tolerance for image-map areas,
// whatever flattening ran before.
constexpr float HotspotFlatness = 0.6f;

// The outline of the branch's shape in map coordinates: a circle's path (with
// its label's rectangle as a second subpath unless the label is centred), a
// line's rectangle around line and label, a flexi branch's hit band, any
// other shape's own path. Empty for a branch without a shape.
BezierPath outlineBezierPath(const TWMapBranch &branch);

// Move, three lines and a close around the rectangle.
BezierPath rectanglePath(const Rect &rect);

// The path as <drawingSegment> elements, each point at
// ((x - xOffset) * zoom, (y - yOffset) * zoom) with six decimals.
void appendDrawingSegments(const BezierPath &path, QString &string, float xOffset, float yOffset,
                           float zoomFactor);

// The branch and its visible descendants: <outline>, <fullBounds>, hot
// regions for the first hyperlink, the notes and the screen-writing text,
// then a <child> per visible child. Nothing for a hidden branch.
void appendXMLPresentationInstructionsTo(const TWMapBranch &branch, QString &string, float xOffset,
                                         float yOffset, float zoomFactor);

// One <area> per hyperlink icon and one for the branch's outline; with
// `doChildren` the children follow and each branch's area links to its own
// anchor in `href` (the root to "DadoZizTitle", others to their outline
// number with "-" for "."). Hidden branches only with `includeHidden`.
// Attribute values are escaped.
void appendImageMapHotspotsToString(const TWMapBranch &branch, QString &string, float xOffset,
                                    float yOffset, float heightZoomFactor, float widthZoomFactor,
                                    const QString &href, const QString &target, bool doChildren,
                                    bool includeHidden);

// The points of a flattened path as "x,y" pairs joined by ",", truncated
// toward zero, with a "," after the last point unless it ends the path.
QString coordinateList(const BezierPath &path, float xOffset, float yOffset, float heightZoomFactor,
                       float widthZoomFactor);

// Where a hyperlink of the branch leads, escaped for XML: in the
// presentation, and in an image map (where an empty file link names the
// document's folder).
QString presentationLinkText(const TWHyperlink &link, const TWMapBranch &branch);
QString hotspotLinkText(const TWHyperlink &link, const TWMapBranch &branch);

} // namespace TWBranchHotspots
