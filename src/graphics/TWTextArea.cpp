#include "graphics/TWTextArea.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "graphics/TWTreeTranslation.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "model/TWRecordSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"
#include "support/BezierPath.h"

#include <QDebug>
#include <QSet>
#include <QTransform>

namespace {

bool isFlexiBranch(const std::shared_ptr<TWGraphic> &graphic)
{
    return graphic && graphic->className() == QLatin1String("TWFlexiBranch");
}

// The text areas now editing (at most one after every start), and the one
// observer that ends them, instead of an observer per text area.
class EditingTextAreas
{
public:
    static EditingTextAreas &shared()
    {
        static EditingTextAreas editing;
        return editing;
    }
    QSet<TWTextArea *> areas;

private:
    EditingTextAreas()
    {
        m_token = NotificationCenter::defaultCenter().observe(
            TWTextArea::StopAllTextEditingNotification, nullptr, [this](const Notification &) {
                const QSet<TWTextArea *> editing = areas;
                for (TWTextArea *area : editing) {
                    if (areas.contains(area))
                        area->stopAllEditing();
                }
            });
    }
    ObserverToken m_token;
};

} // namespace

TWTextArea::TWTextArea() = default;

TWTextArea::~TWTextArea()
{
    EditingTextAreas::shared().areas.remove(this);
}

void TWTextArea::init()
{
    TWGraphic::init();
    m_lineFragmentPadding = DefaultLineFragmentPadding;
    EditingTextAreas::shared(); // the observer exists before anyone edits
}

// --- text ---

void TWTextArea::setText(const AttributedString &newText)
{
    const bool announce = isEnclosedText();
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    if (m_hasText && m_text == newText) {
        if (announce)
            TWRecord::postValueDidChange(this, OutlineStringKey);
        return;
    }
    if (recordsUndo())
        registerUndo(
            [oldText = m_text](TWGraphic &g) { static_cast<TWTextArea &>(g).setText(oldText); });
    m_text = newText;
    m_measured = Measured();
    m_hasText = true;
    removeAllCachedFlexiCharacters();
    updateCachedTextAttributes();

    NotificationCenter &center = NotificationCenter::defaultCenter();
    postGraphicNeedsRedraw();
    TWMapBranch *owner = branch();
    if (owner && isFlexiBranch(owner->mainGraphic()))
        center.post(GraphicDrawingBoundsInvalidNotification,
                    owner->mainGraphic()->notificationObject());
    const UndoManager *undo = undoManager();
    if (undo && (undo->isUndoing() || undo->isRedoing()))
        center.post(UpdateTextEditorTextNotification, notificationObject());
    // A map without a name shows its root's text on its tab.
    if (announce && owner->isRoot()) {
        if (TWMap *m = map(); m && m->document())
            center.post(TWMapsDoc::UpdateMapTabsNotification, m->document());
    }
    if (announce)
        TWRecord::postValueDidChange(this, OutlineStringKey);
}

void TWTextArea::setString(const QString &string)
{
    if (string.isNull()) {
        setText(AttributedString());
    } else if (!m_hasText) {
        setText(AttributedString(string));
    } else {
        AttributedString replaced = m_text;
        replaced.replaceCharactersInRange({0, replaced.length()}, string);
        setText(replaced);
    }
}

void TWTextArea::setOutlineString(const QVariant &value)
{
    if (value.canConvert<AttributedString>() && value.userType() == qMetaTypeId<AttributedString>())
        setString(value.value<AttributedString>().string());
    else if (value.userType() == QMetaType::QString)
        setString(value.toString());
    else
        qWarning().noquote() << QStringLiteral("Cannot set object of class %1 as string value")
                                    .arg(QString::fromLatin1(value.metaType().name()));
    if (TWMapBranch *owner = branch())
        owner->makeNaturalSize();
}

AttributedString TWTextArea::textForDrawing() const
{
    return TWTextLayout::displayCopyWithStyledLinks(m_text);
}

std::optional<Font> TWTextArea::font() const
{
    if (m_text.isEmpty())
        return std::nullopt;
    const QVariant value = m_text.attribute(NSFontAttributeName, 0);
    if (!value.canConvert<Font>())
        return std::nullopt;
    return value.value<Font>();
}

std::optional<TextAttributes> TWTextArea::stringAttributes() const
{
    if (m_text.isEmpty())
        return std::nullopt;
    return m_text.attributesAtIndex(0);
}

// --- editing state ---

void TWTextArea::setIsEditing(bool editing)
{
    if (editing == m_isEditing)
        return;
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    if (editing) {
        TWMap *m = map();
        NotificationCenter::defaultCenter().post(StopAllTextEditingNotification,
                                                 m ? NotificationObject(m->weak_from_this())
                                                   : NotificationObject());
    }
    setEditingFlag(editing);
    postEditingStateChanged();
}

void TWTextArea::stopAllEditing()
{
    if (m_isEditing)
        setIsEditing(false);
}

void TWTextArea::setEditingFlag(bool editing)
{
    m_isEditing = editing;
    if (editing)
        EditingTextAreas::shared().areas.insert(this);
    else
        EditingTextAreas::shared().areas.remove(this);
}

void TWTextArea::postEditingStateChanged()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(TextAreaEditingStateChangedNotification, notificationObject());
    TWMapBranch *owner = branch();
    if (owner && isFlexiBranch(owner->mainGraphic()))
        center.post(GraphicDrawingBoundsInvalidNotification,
                    owner->mainGraphic()->notificationObject());
}

void TWTextArea::setBounds(Rect bounds)
{
    TWGraphic::setBounds(bounds);
    static const ObservedName heard(UpdateTextEditorFrameNotification);
    // Only the edited label's editor follows it; a whole tree moving would
    // post for every label.
    if (heard() && (!TWTreeTranslation::active() || isEditing()))
        NotificationCenter::defaultCenter().post(UpdateTextEditorFrameNotification,
                                                 notificationObject());
}

// --- queries ---

bool TWTextArea::shouldDrawFlexiText() const
{
    const TWMapBranch *owner = branch();
    return owner && owner->mainGraphic() && isEnclosedText() && isFlexiBranch(owner->mainGraphic());
}

bool TWTextArea::canBeSelected() const
{
    const TWMapBranch *owner = branch();
    if (owner && isEnclosedText() && isFlexiBranch(owner->mainGraphic()))
        return false;
    return true;
}

bool TWTextArea::hitTest(Point point, bool isSelected)
{
    if (shouldDrawFlexiText())
        return false;
    return TWGraphic::hitTest(point, isSelected);
}

int TWTextArea::knobMask() const
{
    if (shouldDrawFlexiText())
        return 0;
    if (isEnclosedText())
        return (1 << 4) | (1 << 5);
    return ~0;
}

bool TWTextArea::isEditable() const
{
    return isEnclosedText() || isLinkedGraphic();
}

Color TWTextArea::handleColor() const
{
    if (isEnclosedText())
        return Color::colorWithDeviceRed(0.82, 0.63, 0.06, 1);
    return TWGraphic::handleColor();
}

Size TWTextArea::requiredSizeForWidth(float width) const
{
    const float container = std::min(width, MaximumSize.width);
    if (container >= m_measured.narrowest && container <= m_measured.widest &&
        m_lineFragmentPadding == m_measured.padding)
        return m_measured.size;
    // Kept here, a measurement made ahead need not be kept among the
    // remembered ones too.
    const TWTextLayout::Measurement measured =
        TWTextLayout::measure(m_text, width, MinimumSize, MaximumSize, m_lineFragmentPadding,
                              /*keepsAhead=*/false);
    m_measured = {measured.narrowest, measured.widest, m_lineFragmentPadding, measured.size};
    return measured.size;
}

// --- characters along a flexi curve ---

TWTextArea::FlexiCharacter TWTextArea::objectInCachedFlexiCharactersAtIndex(int index) const
{
    return m_flexiCharacters.at(size_t(index));
}

void TWTextArea::insertObjectInCachedFlexiCharactersAtIndex(const FlexiCharacter &character,
                                                            int index)
{
    m_flexiCharacters.insert(m_flexiCharacters.begin() + index, character);
}

void TWTextArea::removeObjectFromCachedFlexiCharactersAtIndex(int index)
{
    m_flexiCharacters.erase(m_flexiCharacters.begin() + index);
}

void TWTextArea::replaceObjectInCachedFlexiCharactersAtIndex(int index,
                                                             const FlexiCharacter &character)
{
    m_flexiCharacters.at(size_t(index)) = character;
}

void TWTextArea::removeAllCachedFlexiCharacters()
{
    m_flexiCharacters.clear();
}

void TWTextArea::moveCachedFlexiCharactersBy(float dx, float dy)
{
    // Nothing laid out yet: the characters are laid out on the moved curve
    // when first drawn, so moving a whole map lays out no label.
    if (m_flexiCharacters.empty())
        return;
    const QTransform move = QTransform::fromTranslate(dx, dy);
    for (const FlexiCharacter &character : m_flexiCharacters)
        character->setTransform(character->transform() * move);
}

// --- geometry ---

std::shared_ptr<BezierPath> TWTextArea::bezierPathOffsetVerticallyBy(float distance,
                                                                     bool lineToFirstPoint) const
{
    const TWMapBranch *owner = branch();
    if (!owner || !owner->mainGraphic())
        return nullptr;
    const std::shared_ptr<BezierPath> path = owner->mainGraphic()->bezierPath();
    if (!path)
        return nullptr;
    return std::make_shared<BezierPath>(
        path->bezierPathOffsetVerticallyBy(distance, lineToFirstPoint));
}

int TWTextArea::resizeByMovingKnob(int knob, Point p, bool naturalAspectRatio)
{
    const Rect b = bounds();
    const bool left = knob == 1 || knob == 4 || knob == 6;
    const bool right = knob == 3 || knob == 5 || knob == 8;
    if (left || right) {
        const float w = left ? b.maxX() - p.x : p.x - b.x();
        const float r = requiredSizeForWidth(w).width;
        if (w <= 0) {
            // Crossed the opposite edge: the area keeps the width it needs
            // against the edge it started from.
            knob = flipKnob(knob, true);
            flipHorizontally();
            if (r > w)
                p.x = left ? b.x() + r : b.maxX() - r;
        } else if (r > w) {
            p.x = left ? b.maxX() - r : b.x() + r;
        }
    }
    const float m = MinimumSize.height;
    if (knob >= 1 && knob <= 3) {
        const float h = b.maxY() - p.y;
        if (h <= 0) {
            knob = flipKnob(knob, false);
            flipVertically();
            if (m > p.y - b.y())
                p.y = b.y() + m;
        } else if (m > h) {
            p.y = b.maxY() - m;
        }
    } else if (knob >= 6 && knob <= 8) {
        const float h = p.y - b.y();
        if (h <= 0) {
            knob = flipKnob(knob, false);
            flipVertically();
            if (m > b.maxY() - p.y)
                p.y = b.maxY() - m;
        } else if (m > h) {
            p.y = b.y() + m;
        }
    }
    return TWGraphic::resizeByMovingKnob(knob, p, naturalAspectRatio);
}
