#include "graphics/TWFlexiBranch.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"
#include "support/BezierPath.h"
#include "support/ParagraphStyle.h"

#include <QRectF>

namespace {

// What a run without a font of its own is laid out in.
const Font &fallbackFont()
{
    static const Font font(QStringLiteral("Helvetica"), 12.0);
    return font;
}

AttributedString::Range wholeOf(const AttributedString &text)
{
    return {0, text.length()};
}

} // namespace

void TWTextArea::publicSetText(const AttributedString &text, Rect newBounds)
{
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    const Rect old = bounds();
    setText(text);
    TWMapBranch *owner = branch();
    if (owner && isEnclosedText() && newBounds != old) {
        const bool flexi = dynamic_cast<TWFlexiBranch *>(owner->mainGraphic().get()) != nullptr;
        const bool shrink = owner->isTextMaxWidthInMainGraphic() && !flexi;
        owner->resizeForTextAreaBoundsChangeTo(newBounds, shrink);
    }
    if (shouldDrawFlexiText())
        NotificationCenter::defaultCenter().post(GraphicDidChangeBoundsNotification,
                                                 owner->mainGraphic()->notificationObject());
    setBounds(newBounds);
    UndoManager::setActionName(
        undoManager(), TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Edit text")));
}

void TWTextArea::publicSetTextAndResize(const AttributedString &text)
{
    const Rect b = bounds();
    const Size needed = TWTextLayout::requiredSizeForWidth(text, b.width(), MinimumSize,
                                                           MaximumSize, m_lineFragmentPadding);
    publicSetText(text, Rect(b.x(), b.y(), b.width(), needed.height));
}

void TWTextArea::publicSetForegroundColor(const Color &color)
{
    AttributedString text = m_text;
    if (!text.isEmpty())
        text.addAttribute(NSForegroundColorAttributeName, QVariant::fromValue(color),
                          wholeOf(text));
    if (shouldDrawFlexiText())
        removeAllCachedFlexiCharacters();
    setText(text);
    UndoManager::setActionName(
        undoManager(),
        TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Change text color")));
}

void TWTextArea::publicAlignText(int alignment)
{
    AttributedString text = m_text;
    const bool editing = m_isEditing;
    if (text.isEmpty())
        return;
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    const QVariant first = text.attribute(NSParagraphStyleAttributeName, 0);
    ParagraphStyle style =
        first.canConvert<ParagraphStyle>() ? first.value<ParagraphStyle>() : ParagraphStyle();
    removeAllCachedFlexiCharacters();
    static const char *const names[] = {"Align Left", "Align Right", "Center"};
    const bool known = alignment >= 0 && alignment <= 2;
    if (known)
        style.alignment = alignment;
    // Every paragraph takes the first one's style.
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), wholeOf(text));
    if (editing)
        setIsEditing(false);
    setText(text);
    if (known)
        UndoManager::setActionName(
            undoManager(),
            TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(names[alignment])));
    if (TWMapBranch *owner = branch()) {
        QVariantMap info{{TWMapBranch::RectKey, bounds().toQt()}};
        if (std::shared_ptr<TWMap> m = owner->mapPointer())
            info.insert(TWMapBranch::MapKey, QVariant::fromValue(NotificationObject(m)));
        NotificationCenter::defaultCenter().post(TWMapBranch::RedrawInRectNotification, nullptr,
                                                 info);
    }
    if (editing)
        setIsEditing(true);
}

void TWTextArea::publicSetFont(const std::optional<Font> &font)
{
    if (!font)
        return;
    setFont(*font);
    UndoManager::setActionName(undoManager(),
                               TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Set Font")));
}

bool TWTextArea::publicChangeFontSizeBy(float step)
{
    if (!changeFontSizeBy(step))
        return false;
    UndoManager::setActionName(undoManager(),
                               TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Set Font")));
    return true;
}

void TWTextArea::setStringAttributes(const TextAttributes &attributes)
{
    AttributedString text = m_text;
    if (!text.isEmpty()) {
        // Links keep their address and their look (colour, underline) under
        // a new font or colour for the whole text.
        struct LinkRun
        {
            AttributedString::Range range;
            TextAttributes look;
        };
        QList<LinkRun> links;
        AttributedString::Range run;
        for (qsizetype index = 0; index < text.length(); index = run.end()) {
            const TextAttributes old = text.attributesAtIndex(index, &run);
            if (run.length <= 0)
                break;
            if (!old.contains(NSLinkAttributeName))
                continue;
            TextAttributes look;
            for (const QString &key : {NSLinkAttributeName, NSForegroundColorAttributeName,
                                       NSUnderlineStyleAttributeName})
                if (old.contains(key))
                    look.insert(key, old.value(key));
            links.append({run, look});
        }
        text.setAttributes(attributes, wholeOf(text));
        for (const LinkRun &link : std::as_const(links))
            for (auto it = link.look.cbegin(); it != link.look.cend(); ++it)
                text.addAttribute(it.key(), it.value(), link.range);
    }
    if (isEnclosedText()) {
        setIsEditing(false);
        refitEnclosedText(text);
    } else {
        setText(text);
    }
}

void TWTextArea::setFont(const Font &font)
{
    if (!isEnclosedText())
        return;
    setIsEditing(false);
    AttributedString text = m_text;
    if (!text.isEmpty())
        text.addAttribute(NSFontAttributeName, QVariant::fromValue(font), wholeOf(text));
    refitEnclosedText(text);
}

bool TWTextArea::changeFontSizeBy(float step)
{
    if (!isEnclosedText())
        return false;
    setIsEditing(false);
    AttributedString text = m_text;
    qsizetype index = 0;
    while (index < text.length()) {
        AttributedString::Range run;
        const QVariant value =
            text.attribute(NSFontAttributeName, index, &run, {index, text.length() - index});
        const Font font = value.canConvert<Font>() && !value.value<Font>().isNull()
                              ? value.value<Font>()
                              : fallbackFont();
        const double size = font.pointSize() + double(step);
        // One run too small refuses the whole step.
        if (size < 1)
            return false;
        text.addAttribute(NSFontAttributeName, QVariant::fromValue(font.withSize(size)), run);
        index = run.end();
    }
    refitEnclosedText(text);
    return true;
}

void TWTextArea::refitEnclosedText(const AttributedString &text)
{
    TWMapBranch *owner = branch();
    const std::shared_ptr<TWGraphic> shape = owner ? owner->mainGraphic() : nullptr;
    if (!shape) {
        publicSetText(text, bounds());
        return;
    }
    const Rect m = shape->bounds();
    const Rect o = bounds();

    float layoutWidth = owner->textMaxWidth();
    const TWMap *ownerMap = owner->map();
    const bool widthSet = owner->textMaxWidthSet() || (ownerMap && ownerMap->textMaxWidthSet());
    // A label made narrower by hand keeps its width.
    if (!widthSet && !m_text.isEmpty() &&
        requiredSizeForWidth(o.width()).height > requiredSizeForWidth(layoutWidth).height)
        layoutWidth = o.width();
    const Size needed = TWTextLayout::requiredSizeForWidth(text, layoutWidth, MinimumSize,
                                                           MaximumSize, m_lineFragmentPadding);

    float x = o.x();
    switch (owner->expansionSide()) {
    case 0:
        x = o.maxX() - needed.width;
        break;
    case 2:
        x = o.x() - (needed.width - o.width()) / 2;
        break;
    default:
        break;
    }
    float width = needed.width;
    float y;
    if (shape->getTextAlignmentMode() == 0 && !owner->enclosedImage()) {
        // Above the line.
        y = m.y() - 3 - needed.height;
    } else if (auto *flexi = dynamic_cast<TWFlexiBranch *>(shape.get())) {
        y = flexi->yPositionForEnclosedTextArea();
        const std::shared_ptr<BezierPath> curve = flexi->bezierPath();
        width = (curve ? curve->bezierPathLength() : 0) -
                owner->totalWidthToAllowForOtherEnclosedGraphics() -
                owner->totalWidthForSuffixImages() + TWMapUtilities::defaultLineFragmentPadding();
        x = m.midX() - width / 2;
        removeAllCachedFlexiCharacters();
        flexi->clearCachedHitTestPath();
    } else {
        // The shape will grow upward by the label's growth, its bottom edge
        // kept: the label's place is taken in the grown shape.
        const float grow = needed.height - o.height();
        const float centred = m.midY() - needed.height / 2;
        switch (owner->textRelativePosition()) {
        case 1:
            y = m.y() + 3 - grow;
            break;
        case 2:
            y = centred - grow / 2;
            break;
        case 3:
            y = m.maxY() - 3 - needed.height;
            break;
        default:
            y = centred;
            break;
        }
    }
    publicSetText(text, Rect(x, y, width, needed.height));
}
