#pragma once

#include "model/TWMapBranch.h"
#include "platform/UndoManager.h"
#include "support/BezierPath.h"

// Settings most branches keep at their defaults: made on first change.
struct TWMapBranch::Settings
{
    std::shared_ptr<TWGraphic> enclosedImage;
    int enclosedImageLayoutMode = 0;
    std::optional<QString> soundFileName;
    int soundFileReferenceMethod = 0;
    AttachedTextList attachedTextArray;
    float textMaxWidth = 0;
    HyperlinkList hyperlinks;
    std::optional<QString> mmOid;
    std::optional<Color> boundaryLineColor;
    std::optional<Color> boundaryFillColor;
    int boundaryLineStyle = 0;
    float boundaryLineWidth = 0;
    float boundaryCurveRadius = 0;
    int boundaryCornerStyle = 0;
    float boundaryMargin = 0;
    bool boundaryInheritsLineColor = false;
    bool boundaryDrawsFill = false;
    bool boundaryDrawsLine = false;
    float overriddenChildRepel = 0;
    float overriddenChildSpacing = 0;
    int overriddenChildrenColorMode = 0;
    bool overridesRainbowAngle = false;
    float overriddenRainbowAngle = 0;
    bool hideChildrenOutlineNumbers = false;
    bool resetChildrenOutlineNumbers = false;
    QStringList childrenOutlineNumberFormatOverride;
    int checkBoxState = 0;
    int priority = 0;
    std::optional<CalendarDate> startDate;
    std::optional<CalendarDate> endDate;
    float percentageComplete = -1;
    QStringList resourcesAllocated;
    float duration = 0;
    int durationUnits = 3;
    TrackedChangeList trackedChanges;
    float textDistanceFromLeftEnd = 0;
    float textDistanceFromRightEnd = 0;
    std::shared_ptr<TWBoundaryProxy> boundaryProxy;
    QString screenWriterText;
    bool printScreenWriterText = true;
    Range screenWriterSelectedRange;

    // What a branch without a record of its own answers.
    static const Settings &defaults()
    {
        static const Settings settings;
        return settings;
    }
};

// Run-time state of layout and drawing: made when those first need it.
struct TWMapBranch::Caches
{
    QVariantMap resourcesAllocatedTooltipInfo;
    QVariantList hyperlinkTooltipInfo;
    PointDictionary childrenBoundaryPoints;
    PointList childrenBoundaryOutlinePoints;
    OutlineRim outlineRim;
    PointDictionary autolayoutChildrenBoundaryPoints;
    PointList autolayoutOwnPoints;
    PointList autolayoutChildrenBoundaryOutlinePoints;
    float minAutolayoutY = 0;
    float maxAutolayoutY = 0;
    Rect autolayoutBranchOriginalBounds;
    Rect autolayoutBranchMovedBounds;
    std::shared_ptr<BezierPath> cachedBoundaryPath;
    bool scenesAndCharactersValid = false;
    QVariantList scenesArray;
    QVariantList charactersArray;

    static const Caches &defaults()
    {
        static const Caches caches;
        return caches;
    }
};

// While one lives, the branch's corner and radius setters leave its
// boundary outline to the margin setter that follows them and rebuilds it
// from nothing: a new branch's outline is worked out once, not three times.
class TWBoundaryRebuildFollows
{
public:
    explicit TWBoundaryRebuildFollows(const TWMapBranch &branch);
    ~TWBoundaryRebuildFollows();
    TWBoundaryRebuildFollows(const TWBoundaryRebuildFollows &) = delete;
    TWBoundaryRebuildFollows &operator=(const TWBoundaryRebuildFollows &) = delete;
    static bool covers(const TWMapBranch &branch);

private:
    const TWMapBranch *m_outer;
};

template <class F> void TWMapBranch::registerUndo(F &&inverse)
{
    UndoManager *undo = undoManager();
    if (!undo || !undo->isUndoRegistrationEnabled())
        return;
    std::shared_ptr<TWMapBranch> self = weak_from_this().lock();
    if (!self)
        return;
    undo->registerUndo([self, inverse = std::forward<F>(inverse)] { inverse(*self); });
}

// What stands in for a branch's shape or label that a reader finds but cannot
// read, so that the branch and everything below it stay (TWMapBranch_XML.cpp).
namespace TWBranchStandIn {
// A shape of the document's type for new branches (a rectangle when that
// type has no shape) at the stored bounds, or around the label's place.
std::shared_ptr<TWGraphic> shape(TWMapBranch &branch, std::optional<Rect> bounds,
                                 std::optional<qint64> number);
// An empty label at the stored bounds, or where a new branch's label sits.
std::shared_ptr<TWTextArea> label(TWMapBranch &branch, std::optional<Rect> bounds,
                                  std::optional<qint64> number);
// The bounds of a shape around a label, for a shape that tells no place.
Rect aroundLabel(const TWTextArea &label);
} // namespace TWBranchStandIn
