#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWBranchEdgeMoves.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"
#include "support/Image.h"

#include <QDebug>
#include <QVarLengthArray>
#include <cmath>
#include <type_traits>
#include <typeinfo>

namespace {

// Inner margin of the shape and the text's padding above and below in it.
constexpr float Margin = 3;
constexpr float TextPadding = 6;
constexpr float IconHeight = 16;

// Sizing asks this of every branch: a type compare, where a cast walks the
// hierarchy.
static_assert(std::is_final_v<TWFlexiBranch>);
TWFlexiBranch *flexiShape(const std::shared_ptr<TWGraphic> &shape)
{
    TWGraphic *g = shape.get();
    return g && typeid(*g) == typeid(TWFlexiBranch) ? static_cast<TWFlexiBranch *>(g) : nullptr;
}

// A line carries its label above it, unless it holds a picture.
bool isLineWithoutPicture(const TWMapBranch &branch)
{
    return branch.mainGraphic()->getTextAlignmentMode() == 0 && !branch.enclosedImage();
}

// The label's top in a shape of that top and height, by text position;
// a position outside 1 to 3 centres it.
float labelY(int position, float top, float height, float labelHeight)
{
    switch (position) {
    case 1:
        return top + Margin;
    case 3:
        return top + height - Margin - labelHeight;
    default:
        return top + height / 2 - labelHeight / 2;
    }
}

void logUndefinedPosition(const char *operation)
{
    qWarning().noquote() << QStringLiteral(
                                "ERROR: TWMapBranchUtils %1: no text relative position defined.")
                                .arg(QLatin1String(operation));
}

} // namespace

bool TWMapBranch::isTextMaxWidthInMainGraphic() const
{
    if (!m_mainGraphic || !m_enclosedTextArea)
        return false;
    return m_enclosedTextArea->bounds().width() >= m_mainGraphic->bounds().width() -
                                                       totalWidthForSuffixImages() -
                                                       totalWidthToAllowForOtherEnclosedGraphics();
}

void TWMapBranch::makeNaturalSizeHonoringTextWidth(bool honoringTextWidth,
                                                   bool honoringGraphicHeight)
{
    if (!m_mainGraphic || !m_enclosedTextArea)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const Rect m = m_mainGraphic->bounds();
    const float lead = totalWidthToAllowForOtherEnclosedGraphics();
    const float tail = totalWidthForSuffixImages();
    const float wrapWidth =
        honoringTextWidth ? m_enclosedTextArea->bounds().width() : textMaxWidth();
    const Size text = m_enclosedTextArea->requiredSizeForWidth(wrapWidth);

    float width = lead + text.width + tail;
    const std::shared_ptr<TWGraphic> picture = enclosedImage();
    const bool withPicture = honoringGraphicHeight && picture;
    const Size pictureSize = picture ? picture->bounds().size : Size();
    const bool widePicture = withPicture && pictureSize.width > width;
    const float shift = m.width() - (widePicture ? pictureSize.width : width);
    // The edge that faces the root stays.
    const float x = isToLeftOfRoot() ? m.x() + shift : m.x();
    if (widePicture)
        width = pictureSize.width;

    const int position = m_textRelativePosition;
    const bool line = isLineWithoutPicture(*this);
    float height = 0, y = 0;
    if (line) {
        y = m.midY();
    } else {
        height = text.height + TextPadding;
        switch (position) {
        case 3:
            if (withPicture)
                height = text.height + pictureSize.height + TextPadding;
            y = m.maxY() - height;
            break;
        case 1:
            if (withPicture)
                height = text.height + pictureSize.height + TextPadding;
            y = m.y();
            break;
        default:
            if (position != 2)
                logUndefinedPosition("makeNaturalSize");
            if (withPicture)
                height = pictureSize.height;
            y = m.midY() - height / 2;
            break;
        }
    }

    // A picture branch scales its picture up with the width, never below
    // the picture's own size.
    if (m_mainGraphic->className() == QLatin1String("TWImage")) {
        if (const std::shared_ptr<Image> image = m_mainGraphic->cachedImageRep()) {
            const Size own = image->size();
            if (own.width > 0 && own.height > 0) {
                if (width > own.width) {
                    height = own.height * width / own.width;
                } else {
                    width = own.width;
                    height = own.height;
                }
                y = m.midY() - height / 2;
            }
        }
    }

    float textY;
    if (TWFlexiBranch *flexi = flexiShape(m_mainGraphic))
        textY = flexi->yPositionForEnclosedTextArea();
    else if (line)
        textY = y - Margin - text.height;
    else
        textY = labelY(position, y, height, text.height);
    m_enclosedTextArea->setBounds(Rect(x + lead, textY, text.width, text.height));
    setMainGraphicBounds(Rect(x, y, width, height));
}

void TWMapBranch::updateBranchSizeForTextChangeToSize(Size size, bool checkTouchingSides)
{
    if (!m_mainGraphic || !m_enclosedTextArea)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const Rect m = m_mainGraphic->bounds();
    const Rect t = m_enclosedTextArea->bounds();
    const float lead = totalWidthToAllowForOtherEnclosedGraphics();
    const float tail = totalWidthForSuffixImages();
    float gapLeft = 0, gapRight = 0;
    if (checkTouchingSides) {
        gapLeft = std::max(0.0f, t.x() - (m.x() + lead));
        gapRight = std::max(0.0f, (m.maxX() - tail) - t.maxX());
    }
    const float width = lead + gapLeft + size.width + gapRight + tail;
    const float grow = width - m.width();
    float x = m.x();
    switch (expansionSide()) {
    case 0:
        x = m.x() - grow;
        break;
    case 2:
        x = m.x() - grow / 2;
        break;
    default:
        break;
    }
    const bool line = isLineWithoutPicture(*this);
    // The top edge stays and the shape grows downward; a line keeps its
    // height, its label sitting above it.
    const float height = line ? m.height() : m.height() + (size.height - t.height());
    setMainGraphicBounds(Rect(x, m.y(), width, height));

    float textY;
    if (TWFlexiBranch *flexi = flexiShape(m_mainGraphic)) {
        textY = flexi->yPositionForEnclosedTextArea();
    } else if (line) {
        textY = m.y() - Margin - size.height;
    } else {
        int position = m_textRelativePosition;
        if (position < 1 || position > 3) {
            logUndefinedPosition("updateBranchSizeForTextChangeToSize");
            position = 3;
        }
        textY = labelY(position, m.y(), height, size.height);
    }
    m_enclosedTextArea->setBounds(Rect(x + lead + gapLeft, textY, size.width, size.height));
}

void TWMapBranch::resizeForTextAreaConstrainedToWidth(float width)
{
    if (!m_mainGraphic || !m_enclosedTextArea)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const Rect m = m_mainGraphic->bounds();
    const Rect t = m_enclosedTextArea->bounds();
    const Size needed = m_enclosedTextArea->requiredSizeForWidth(width);
    const bool shrink = isTextMaxWidthInMainGraphic();
    const float grow = needed.height - t.height();

    float x = t.x();
    switch (expansionSide()) {
    case 0:
        x = t.maxX() - needed.width;
        break;
    case 2:
        x = t.x() - (needed.width - t.width()) / 2;
        break;
    default:
        break;
    }
    float textWidth = needed.width;
    float y;
    if (TWFlexiBranch *flexi = flexiShape(m_mainGraphic)) {
        y = flexi->yPositionForEnclosedTextArea();
        const std::shared_ptr<BezierPath> curve = flexi->bezierPath();
        textWidth = (curve ? curve->bezierPathLength() : 0) -
                    totalWidthToAllowForOtherEnclosedGraphics() - totalWidthForSuffixImages() +
                    TWMapUtilities::defaultLineFragmentPadding();
        x = m.midX() - textWidth / 2;
        m_enclosedTextArea->removeAllCachedFlexiCharacters();
        flexi->clearCachedHitTestPath();
    } else if (isLineWithoutPicture(*this)) {
        y = m.y() - Margin - needed.height;
    } else {
        // The shape will grow upward by the change of height.
        switch (m_textRelativePosition) {
        case 1:
            y = m.y() + Margin - grow;
            break;
        case 2:
            y = m.midY() - needed.height / 2 - grow / 2;
            break;
        case 3:
            y = m.maxY() - Margin - needed.height;
            break;
        default:
            y = m.midY() - needed.height / 2;
            break;
        }
    }
    const Rect label(x, y, textWidth, needed.height);
    resizeForTextAreaBoundsChangeTo(label, shrink);
    m_enclosedTextArea->setBounds(label);
}

void TWMapBranch::resizeForTextAreaBoundsChangeTo(Rect bounds, bool shrinkingMainGraphic)
{
    if (!m_mainGraphic || !m_enclosedTextArea)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const Rect t = m_enclosedTextArea->bounds();
    const Rect m = m_mainGraphic->bounds();
    const float lead = totalWidthToAllowForOtherEnclosedGraphics();
    const float tail = totalWidthForSuffixImages();
    const bool flexi = flexiShape(m_mainGraphic) != nullptr;
    m_enclosedTextArea->setBounds(bounds);

    float x = m.x(), width = m.width();
    const bool leftMovedInFromTheEdge = bounds.x() > t.x() && m.x() + lead >= t.x();
    const bool leftPassesTheEdge = bounds.x() < t.x() && m.x() + lead > bounds.x();
    if ((leftMovedInFromTheEdge && shrinkingMainGraphic) || (leftPassesTheEdge && !flexi)) {
        x = bounds.x() - lead;
        width = m.width() + m.x() - x;
    }
    const float end = bounds.maxX(), oldEnd = t.maxX();
    if (end > oldEnd && end > m.maxX() - tail && !flexi)
        width = tail + end - x;
    else if (end < oldEnd && oldEnd >= m.maxX() - tail && shrinkingMainGraphic)
        width = tail + end - x;

    float y = m.y(), height = m.height();
    if (m_mainGraphic->getTextAlignmentMode() != 0 && bounds.height() != t.height()) {
        // The bottom edge stays; the shape grows upward.
        height = m.height() + (bounds.height() - t.height());
        y = m.y() - (bounds.height() - t.height());
    }
    m_mainGraphic->setBounds(Rect(x, y, width, height));
    if (isRoot())
        return;

    const TWBranchEdgeMoves d = TWBranchEdgeMoves::between(m, m_mainGraphic->bounds());
    const BranchList children = m_children;
    for (const std::shared_ptr<TWMapBranch> &child : children) {
        if (!child->connectionGraphic())
            continue;
        if (const std::optional<Point> offset = d.childOffset(*child, child->isToLeftOfRoot()))
            child->moveBranchBy(offset->x, offset->y, true);
    }
}

void TWMapBranch::repositionOtherEnclosedGraphicsFromOldWidth(float oldWidth)
{
    if (!m_mainGraphic)
        return;
    // Without icons nothing moves unless the reserved width changes, as below.
    if (m_otherEnclosedGraphics.isEmpty()) {
        const float x = m_mainGraphic->bounds().x();
        if (std::fabs(((x + Margin) - x) - oldWidth) <= 0.01f)
            return;
    }
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    const Rect m = m_mainGraphic->bounds();
    // Most branches have no icons: the shape's kind is asked only for one.
    std::optional<TWFlexiBranch *> flexiKind;
    std::optional<bool> lineKind;
    const bool labelShown = showsOutlineNumberLabel();

    // Owned by their records throughout.
    QVarLengthArray<TWGraphic *, 8> placed;
    float cursor = m.x() + Margin;
    for (const std::shared_ptr<TWEnclosedGraphic> &record :
         std::as_const(m_otherEnclosedGraphics)) {
        const bool label = record->name() == OutlineNumberKey;
        if (label && !labelShown)
            continue;
        const std::shared_ptr<TWGraphic> &icon = record->graphic();
        if (!icon) {
            // An empty record still takes its slot in the reserved width.
            if (!label)
                cursor += IconSlotWidth;
            continue;
        }
        const Rect g = icon->bounds();
        const float next = label ? cursor + g.width() + Margin : cursor + IconSlotWidth;
        if (!flexiKind) {
            flexiKind = flexiShape(m_mainGraphic);
            lineKind = isLineWithoutPicture(*this);
        }
        TWFlexiBranch *flexi = *flexiKind;
        const bool line = *lineKind;
        float y;
        if (flexi) {
            y = flexi->yPositionForLeftEndGraphics() - g.height();
        } else if (line) {
            y = m.y() - Margin - g.height();
        } else {
            switch (m_textRelativePosition) {
            case 1:
            case 2:
            case 3:
                y = labelY(m_textRelativePosition, m.y(), m.height(), g.height());
                break;
            default:
                y = g.y();
                break;
            }
        }
        icon->setBounds(Rect(cursor, y, g.width(), g.height()));
        placed.append(icon.get());
        cursor = next;
    }

    const float change = (cursor - m.x()) - oldWidth;
    if (std::fabs(change) <= 0.01f)
        return;
    Rect shape = m;
    Rect text = m_enclosedTextArea ? m_enclosedTextArea->bounds() : Rect();
    float iconShift = 0;
    switch (expansionSide()) {
    case 1:
        text.origin.x += change;
        shape.size.width += change;
        break;
    case 2:
        text.origin.x += change / 2;
        shape.origin.x -= change / 2;
        shape.size.width += change;
        iconShift = -change / 2;
        break;
    case 0:
        shape.origin.x -= change;
        shape.size.width += change;
        iconShift = -change;
        break;
    default:
        break;
    }
    if (iconShift != 0) {
        for (TWGraphic *icon : std::as_const(placed))
            icon->moveBy(iconShift, 0);
    }
    if (shape != m_mainGraphic->bounds())
        setMainGraphicBounds(shape);
    if (m_enclosedTextArea && text != m_enclosedTextArea->bounds())
        m_enclosedTextArea->setBounds(text);
}

void TWMapBranch::updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(Rect, Rect to)
{
    const std::shared_ptr<TWGraphic> picture = enclosedImage();
    if (!picture || enclosedImageLayoutMode() != 0 || !m_enclosedTextArea)
        return;
    const Rect t = m_enclosedTextArea->bounds();
    // A shape made lower than the label band leaves no room for the picture,
    // rather than a negative height.
    const float pictureHeight = std::max(0.0f, to.height() - TextPadding - t.height());
    float textY = t.y();
    Rect area = to;
    switch (m_textRelativePosition) {
    case 2:
        textY = to.midY() - t.height() / 2;
        break;
    case 3:
        textY = to.maxY() - Margin - t.height();
        area = Rect(to.x(), to.y(), to.width(), pictureHeight);
        break;
    case 1:
        textY = to.y() + Margin;
        area = Rect(to.x(), to.y() + TextPadding + t.height(), to.width(), pictureHeight);
        break;
    default:
        break;
    }
    m_enclosedTextArea->setBounds(Rect(t.x(), textY, t.width(), t.height()));
    picture->setBounds(area);
}

Rect TWMapBranch::rectOfRightEndGraphics() const
{
    if (!m_mainGraphic)
        return {};
    const TWMap *m = map();
    int iconCount = 0;
    if (const std::optional<QString> sound = soundFileName(); sound && !sound->isEmpty())
        ++iconCount;
    if (m && m->showTextIndicators())
        iconCount += countOfAttachedTextArray();
    iconCount += countOfHyperlinks();
    if (m && showCheckBox() && m->showCheckboxes())
        ++iconCount;
    if (m && m->showPriorities() && priority() > 0)
        ++iconCount;
    if (m && m->showPercentComplete() && percentageComplete() > -1)
        ++iconCount;
    if (iconCount == 0)
        return {};
    const Rect s = m_mainGraphic->bounds();
    const float width = IconSlotWidth * float(iconCount);
    float y = 0;
    if (TWFlexiBranch *flexi = flexiShape(m_mainGraphic)) {
        y = flexi->yPositionForRightEndGraphics() - IconHeight;
    } else if (isLineWithoutPicture(*this)) {
        y = s.y() - Margin - IconHeight;
    } else if (m_textRelativePosition >= 1 && m_textRelativePosition <= 3) {
        y = labelY(m_textRelativePosition, s.y(), s.height(), IconHeight);
    }
    return Rect(s.maxX() - width, y, width - Margin, IconHeight);
}

void TWMapBranch::spaceChildrenToMinimumSpacing()
{
    const TWMap *m = map();
    if (childrenHidden() && m && m->branchHideLevel() >= getThisBranchLevel() + 1)
        return;
    if (m_children.isEmpty())
        return;
    float cursor = m_children.first()->autolayoutBranchMovedBounds().maxY();
    const bool atRoot = isRoot();
    for (qsizetype i = 0; i < m_children.size(); ++i) {
        TWMapBranch &child = *m_children.at(i);
        child.spaceChildrenToMinimumSpacing();
        if (atRoot || i == 0)
            continue;
        Rect r = child.autolayoutBranchMovedBounds();
        r.origin.y = cursor;
        child.setAutolayoutBranchMovedBounds(r);
        cursor += r.height();
    }
}
