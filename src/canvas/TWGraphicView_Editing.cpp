// Typing labels in place: the editor over the text, the label resized live
// with every keystroke, commits at once or after redrawTime, and rapid entry,
// whose markers split what is typed into new children.

#include "canvas/SpellableTextView.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "interface/ViewExtensions.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"
#include "styles/TWStyle.h"
#include "support/BezierPath.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"

#include <QPointer>
#include <QScrollBar>
#include <cmath>

namespace {

constexpr float kContainerMaximum = 1e7f;

// The height the text takes laid out at `width`.
float usedHeightAtWidth(const AttributedString &text, float width, float padding)
{
    TWTextLayout &layout = TWTextLayout::shared();
    layout.setContainerSize(Size(width, kContainerMaximum));
    layout.setLineFragmentPadding(padding);
    layout.setAttributedString(text);
    const float height = layout.usedRect().height();
    layout.clear();
    return height;
}

// What a flexi branch leaves its label: the curve less the icons and images.
float flexiTextWidth(TWMapBranch &branch)
{
    const std::shared_ptr<BezierPath> curve = branch.mainGraphic()->bezierPath();
    return (curve ? curve->bezierPathLength() : 0) -
           branch.totalWidthToAllowForOtherEnclosedGraphics() - branch.totalWidthForSuffixImages();
}

TWFlexiBranch *flexiOf(const TWMapBranch *branch)
{
    return branch ? dynamic_cast<TWFlexiBranch *>(branch->mainGraphic().get()) : nullptr;
}

bool isLabel(const TWTextArea &textArea)
{
    const TWMapBranch *branch = textArea.branch();
    return branch && branch->enclosedTextArea().get() == &textArea;
}

TextAttributes styleStringAttributes(const TWTextArea &textArea)
{
    const std::shared_ptr<TWStyle> style = textArea.style();
    if (!style)
        return {};
    const QVariant value =
        style->value(QStringLiteral("graphic"), QStringLiteral("stringAttributes"));
    if (const std::optional<OrderedDictionary> dictionary = OrderedDictionary::fromVariant(value))
        return dictionary->toVariantMap();
    return {};
}

struct Split
{
    AttributedString kept;
    QList<AttributedString> segments;
};

// Markers split the text: what precedes the first stays the label, each run
// after one becomes a child, consecutive markers make one break. While typing
// the segment still being typed stays in the label, behind its marker.
Split splitAtMarkers(const AttributedString &text, bool whileTyping)
{
    Split split;
    bool seenMarker = false;
    AttributedString lastMarker;
    for (qsizetype i = 0; i < text.length(); ++i) {
        const AttributedString character = text.attributedSubstringFromRange({i, 1});
        if (TWDirivOzazTextAttachment::isMarkerAt(text, i)) {
            seenMarker = true;
            lastMarker = character;
            if (split.segments.isEmpty() || !split.segments.last().isEmpty())
                split.segments.append(AttributedString());
        } else if (seenMarker) {
            split.segments.last().appendAttributedString(character);
        } else {
            split.kept.appendAttributedString(character);
        }
    }
    if (whileTyping && seenMarker && !text.isEmpty()) {
        if (!TWDirivOzazTextAttachment::isMarkerAt(text, text.length() - 1)) {
            split.kept.appendAttributedString(lastMarker);
            split.kept.appendAttributedString(split.segments.takeLast());
        } else {
            split.kept.appendAttributedString(lastMarker);
        }
    }
    if (!split.segments.isEmpty() && split.segments.last().isEmpty())
        split.segments.removeLast();
    return split;
}

} // namespace

// --- the state of an edit ---

// Takes the canvas's editing actions: the editor's while a text is edited,
// and the canvas's own that start editing or change fonts while none is.
class EditingResponder : public TWResponder
{
public:
    EditingResponder(TWGraphicView *view, SpellableTextView *editor)
        : m_view(view), m_editor(editor)
    {}
    bool respondsToAction(const QString &selector) const override
    {
        if (m_view->editingTextArea())
            return m_editor->respondsToAction(selector);
        return selector == QLatin1String("startEditingSelectedBranch:") ||
               selector == QLatin1String("changeFont:") ||
               selector == QLatin1String("orderFrontFontPanel:");
    }
    bool validateAction(const QString &selector) const override
    {
        if (m_view->editingTextArea())
            return m_editor->validateAction(selector);
        return true;
    }
    // The editor's titles too (its Edit LinkBack Item names the selection).
    ItemState validateMenuItem(const QString &selector, const QVariant &tag) const override
    {
        if (m_view->editingTextArea())
            return m_editor->validateMenuItem(selector, tag);
        return TWResponder::validateMenuItem(selector, tag);
    }
    void performAction(const QString &selector, const QVariant &argument) override
    {
        if (m_view->editingTextArea()) {
            m_editor->performAction(selector, argument);
        } else if (selector == QLatin1String("startEditingSelectedBranch:")) {
            m_view->startEditingSelectedBranch();
        } else if (selector == QLatin1String("orderFrontFontPanel:")) {
            // Its choices reach the selected texts as changeFont:.
            m_editor->orderFrontFontPanel();
        } else if (selector == QLatin1String("changeFont:")) {
            m_view->changeFont(argument.canConvert<Font>()
                                   ? std::optional<Font>(argument.value<Font>())
                                   : std::nullopt);
        }
    }

private:
    TWGraphicView *m_view;
    SpellableTextView *m_editor;
};

struct TWGraphicView::EditingState
{
    QPointer<SpellableTextView> editor;
    std::unique_ptr<EditingResponder> responder;
    Rect cachedTABounds;
    Rect cachedMGBounds;
    // The typed text not yet committed, with its predicted bounds.
    std::optional<AttributedString> storedText;
    Rect storedBounds;
    QTimer dirivOzazTimer;
    std::vector<ObserverToken> observers;

    ~EditingState() { delete editor.data(); }
};

TWGraphicView::EditingState *TWGraphicView::makeEditingState(TWGraphicView *view)
{
    auto *state = new EditingState;
    state->editor = new SpellableTextView(view, view->viewport());
    state->responder = std::make_unique<EditingResponder>(view, state->editor);
    view->setEditorResponder(state->responder.get());
    view->setStoredTextCommitter([view] { view->commitStoredText(); });
    QObject::connect(state->editor, &SpellableTextView::textDidChange, view,
                     [view] { view->textDidChange(); });

    state->dirivOzazTimer.setSingleShot(true);
    state->dirivOzazTimer.setInterval(3000);
    QObject::connect(&state->dirivOzazTimer, &QTimer::timeout, view,
                     [view] { view->updateForDirivOzaz(); });

    NotificationCenter &center = NotificationCenter::defaultCenter();
    auto on = [&](const QString &name, std::function<void(const Notification &)> handler) {
        state->observers.push_back(center.observe(name, nullptr, std::move(handler)));
    };
    on(TWTextArea::TextAreaEditingStateChangedNotification, [view](const Notification &n) {
        const auto textArea = n.sender.lock<TWTextArea>();
        // Only texts of the map shown here.
        if (!textArea || !view->map() || textArea->map() != view->map())
            return;
        if (textArea->isEditing())
            view->startEditingTextArea(textArea);
        else if (view->editingTextArea() == textArea.get())
            view->endEditingTextArea();
    });
    on(TWMapBranch::EndEditingTextNotification,
       [view](const Notification &) { view->endEditingTextNotification(); });
    on(TWGraphic::UpdateTextEditorFrameNotification, [view](const Notification &n) {
        const auto textArea = n.sender.lock<TWTextArea>();
        if (!textArea || textArea.get() != view->editingTextArea())
            return;
        SpellableTextView *editor = view->editorView();
        const Rect old = editor->frame();
        view->setNeedsDelayedDisplayInRect(old);
        QPointer<SpellableTextView> guarded(editor);
        UndoManager::registerUndo(view->document() ? view->document()->undoManager() : nullptr,
                                  [guarded, old] {
                                      if (guarded)
                                          guarded->setFrame(old);
                                  });
        view->placeEditor(textArea->bounds());
        view->setNeedsDelayedDisplayInRect(textArea->bounds());
    });
    on(TWTextArea::UpdateTextEditorTextNotification, [view](const Notification &n) {
        const auto textArea = n.sender.lock<TWTextArea>();
        if (!textArea || textArea.get() != view->editingTextArea())
            return;
        SpellableTextView *editor = view->editorView();
        view->setNeedsDelayedDisplayInRect(editor->frame());
        if (textArea->hasText())
            editor->setAttributedString(textArea->text());
        view->setNeedsDelayedDisplayInRect(editor->frame());
    });
    return state;
}

void TWGraphicView::destroyEditingState(EditingState *state)
{
    delete state;
}

SpellableTextView *TWGraphicView::editorView() const
{
    return m_editing->editor;
}

Rect TWGraphicView::cachedEditingTABounds() const
{
    return m_editing->cachedTABounds;
}

Rect TWGraphicView::cachedEditingMGBounds() const
{
    return m_editing->cachedMGBounds;
}

void TWGraphicView::moveCachedEditingBoundsBy(float dx, float dy)
{
    m_editing->cachedTABounds = m_editing->cachedTABounds.offsetBy(dx, dy);
    m_editing->cachedMGBounds = m_editing->cachedMGBounds.offsetBy(dx, dy);
}

bool TWGraphicView::hasStoredText() const
{
    return m_editing->storedText.has_value();
}

void TWGraphicView::setDirivOzazDelay(int ms)
{
    m_editing->dirivOzazTimer.setInterval(ms);
}

void TWGraphicView::placeEditor(Rect frame)
{
    SpellableTextView *editor = m_editing->editor;
    editor->setScale(zoomFactor());
    editor->setFrame(frame);
}

// --- starting ---

void TWGraphicView::startEditingSelectedBranch()
{
    TWMap *m = map();
    if (!m || m->countOfSelectedGraphics() != 1) {
        Alerts::current().beep();
        return;
    }
    TWMapBranch *branch = m->selectedGraphics().first()->branch();
    const std::shared_ptr<TWTextArea> label = branch ? branch->enclosedTextArea() : nullptr;
    if (!label) {
        Alerts::current().beep();
        return;
    }
    m->removeAllSelectedGraphics();
    m->insertObjectInSelectedGraphicsAtIndex(label, 0);
    scrollRectToVisible(label->drawingBounds());
    label->setIsEditing(true);
}

void TWGraphicView::editorGeometryForStart(TWTextArea &textArea)
{
    SpellableTextView *editor = m_editing->editor;
    const Size maxSize = textArea.maxSize();
    const Size minSize = textArea.minSize();
    const Rect bounds = textArea.bounds();
    TWMapBranch *branch = textArea.branch();
    const bool wider = bounds.width() > minSize.width + 1.0f;

    float width = maxSize.width;
    bool resizable = true;
    auto labelRule = [&] {
        if (!wider) {
            width = branch->textMaxWidth();
            resizable = true;
        } else if (!branch->isTextMaxWidthInMainGraphic()) {
            width = bounds.width();
            resizable = false;
        } else {
            width = branch->textMaxWidth();
            resizable = true;
        }
    };
    if (!isLabel(textArea)) {
        width = wider ? bounds.width() : maxSize.width;
        resizable = !wider;
    } else if (textArea.text().isEmpty()) {
        labelRule();
    } else {
        const bool flexi = flexiOf(branch) != nullptr;
        const float padding = textArea.lineFragmentPadding();
        const float unwrapped = usedHeightAtWidth(textArea.text(), kContainerMaximum, padding);
        const float wc = flexi ? flexiTextWidth(*branch) : bounds.width();
        const float wrapped = usedHeightAtWidth(textArea.text(), wc, padding);
        if (wrapped > unwrapped || flexi) {
            // The text already wraps at its width: the width stays.
            width = wc;
            resizable = false;
        } else {
            labelRule();
        }
    }
    editor->setHorizontallyResizable(resizable);
    editor->setContainerWidth(width);
    editor->setMinSize(minSize);
    editor->setMaxSize(maxSize);
    editor->setLineFragmentPadding(textArea.lineFragmentPadding());
}

void TWGraphicView::startEditingTextArea(const std::shared_ptr<TWTextArea> &textArea)
{
    if (!textArea)
        return;
    if (m_editingTextArea && m_editingTextArea != textArea)
        endEditingTextArea();
    if (m_editingTextArea == textArea)
        return;
    SpellableTextView *editor = m_editing->editor;
    TWMapBranch *branch = textArea->branch();
    const Rect bounds = textArea->bounds();
    scrollRectToVisible(bounds);
    m_editing->cachedTABounds = bounds;
    m_editing->cachedMGBounds =
        branch && branch->mainGraphic() ? branch->mainGraphic()->bounds() : bounds;
    m_editing->storedText.reset();
    setRedrawTime(branch && branch->countOfChildren() > 0 ? 0.1 : 0);

    editor->setGraphic(textArea);
    editor->setAttributedString(textArea->text());
    editorGeometryForStart(*textArea);
    placeEditor(bounds);

    // A background that the text colour stands out on.
    Color colour = Color::blackColor();
    if (textArea->text().isEmpty()) {
        const TextAttributes style = styleStringAttributes(*textArea);
        if (!style.isEmpty())
            editor->setTypingAttributes(style);
    } else {
        const QVariant first = textArea->text().attribute(NSForegroundColorAttributeName, 0);
        if (first.userType() == qMetaTypeId<Color>())
            colour = first.value<Color>();
    }
    editor->setBackgroundColor(
        ContrastingLabelExtensions::contrastingLabelColor(colour).toQColor());
    const TWMap *m = textArea->map();
    editor->setContinuousSpellCheckingEnabled(m && m->continuousSpellCheck());

    if (TWFlexiBranch *flexi = flexiOf(branch); flexi && isLabel(*textArea)) {
        const float w = flexiTextWidth(*branch);
        const Rect mg = flexi->bounds();
        const float x = mg.x() + mg.width() * 0.5f - w * 0.5f;
        const float h = usedHeightAtWidth(textArea->text(), w, textArea->lineFragmentPadding());
        const Rect placed(x, flexi->yPositionForEnclosedTextArea(), w, h);
        setNeedsDisplayInRect(placed.insetBy(-1, -1));
        scrollRectToVisible(placed);
        placeEditor(placed);
        textArea->setBounds(placed);
        m_editing->cachedTABounds = placed;
    }

    setEditingTextArea(textArea);
    editor->show();
    editor->raise();
    editor->selectAll();
    editor->setFocus(Qt::OtherFocusReason);
    if (m_drawingMode == RapidEntryMode)
        m_editing->dirivOzazTimer.start();
}

// --- typing ---

void TWGraphicView::textDidChange()
{
    const std::shared_ptr<TWTextArea> textArea = m_editingTextArea;
    if (!textArea)
        return;
    SpellableTextView *editor = m_editing->editor;
    const AttributedString typed = editor->attributedString();
    const Rect old = m_editing->cachedTABounds;
    TWMapBranch *branch = textArea->branch();

    if (!isLabel(*textArea)) {
        textArea->publicSetTextAndResize(typed);
        m_editing->cachedTABounds = textArea->bounds();
        postPrintCanvasUpdate();
        scrollRectToVisible(textArea->bounds());
        return;
    }

    m_commitTimer.stop();
    if (m_drawingMode == RapidEntryMode)
        m_editing->dirivOzazTimer.start();

    const Rect mg = branch->mainGraphic() ? branch->mainGraphic()->bounds() : old;
    float newW;
    float newH;
    if (editor->isHorizontallyResizable()) {
        const Size needed = TWTextLayout::requiredSizeForWidth(
            typed, branch->textMaxWidth(), textArea->minSize(), textArea->maxSize(),
            textArea->lineFragmentPadding());
        newW = needed.width;
        newH = needed.height;
    } else {
        newW = old.width();
        newH =
            TWTextLayout::requiredSizeForWidth(typed, old.width(), textArea->minSize(),
                                               textArea->maxSize(), textArea->lineFragmentPadding())
                .height;
    }

    float newX;
    switch (branch->expansionSide()) {
    case 1:
        newX = old.x();
        break;
    case 2:
        newX = old.x() - (newW - old.width()) * 0.5f;
        break;
    default:
        newX = old.x() + old.width() - newW;
        break;
    }

    float newY;
    float dh;
    const std::shared_ptr<TWGraphic> &shape = branch->mainGraphic();
    if (TWFlexiBranch *flexi = flexiOf(branch)) {
        newY = flexi->yPositionForEnclosedTextArea();
        newW = flexiTextWidth(*branch);
        newX = mg.x() + mg.width() * 0.5f - newW * 0.5f;
        newH = editor->frame().height();
        dh = newH - old.height();
        textArea->removeAllCachedFlexiCharacters();
        flexi->clearCachedHitTestPath();
    } else if (shape && shape->getTextAlignmentMode() == 0 && !branch->enclosedImage()) {
        // On a line the text sits 3 points above it and grows upward.
        newY = mg.y() - 3.0f - newH;
        dh = newH - old.height();
    } else {
        dh = newH - old.height();
        switch (branch->textRelativePosition()) {
        case 1:
            newY = mg.y() + 3.0f - dh;
            break;
        case 3:
            newY = mg.y() + mg.height() - 3.0f - newH - dh;
            break;
        case 2:
            newY = mg.y() + mg.height() * 0.5f - newH * 0.5f - dh * 0.5f;
            break;
        default:
            newY = mg.y() + mg.height() * 0.5f - newH * 0.5f;
            break;
        }
    }

    const Rect predicted(newX, newY, newW, newH);
    m_editing->cachedTABounds = predicted;
    const Rect mgCached = m_editing->cachedMGBounds;
    m_editing->cachedMGBounds =
        Rect(mgCached.x() + (newX - old.x()), mgCached.y() + (newY - old.y()),
             mgCached.width() + (newW - old.width()), mgCached.height() + dh);
    m_editing->storedText = typed;
    m_editing->storedBounds = predicted;

    if (m_redrawTime != 0)
        m_commitTimer.start(int(std::lround(m_redrawTime * 1000)));
    else
        changeTextFromStoredDict();

    placeEditor(predicted);
    scrollRectToVisible(textArea->bounds());
}

void TWGraphicView::commitStoredText()
{
    if (m_editing->storedText && m_editingTextArea)
        m_editingTextArea->publicSetText(*m_editing->storedText, m_editing->storedBounds);
    if (TWMapsDoc *document = mapsDoc())
        document->updateChangedBranches();
    m_editing->storedText.reset();
    postPrintCanvasUpdate();
}

// --- following and ending ---

void TWGraphicView::endEditingTextNotification()
{
    if (m_editingTextArea)
        m_editingTextArea->setIsEditing(false);
}

void TWGraphicView::endEditingTextArea()
{
    const std::shared_ptr<TWTextArea> textArea = m_editingTextArea;
    if (!textArea)
        return;
    SpellableTextView *editor = m_editing->editor;
    m_editing->dirivOzazTimer.stop();
    m_commitTimer.stop();
    if (m_editing->storedText)
        changeTextFromStoredDict();
    const Rect frame = editor->frame();
    editor->hide();

    if (m_drawingMode == RapidEntryMode && isLabel(*textArea) && !textArea->text().isEmpty())
        splitDirivOzaz(false);

    editor->setGraphic(nullptr);
    setEditingTextArea(nullptr);
    if (textArea->isEditing())
        textArea->setIsEditing(false);
    // An unlocked rapid entry ends with its edit, once the event is handled:
    // an edit ended by a change of tool leaves the new tool alone.
    if (m_drawingMode == RapidEntryMode && !m_modeLockedIn) {
        QTimer::singleShot(0, this, [this] {
            if (m_drawingMode == RapidEntryMode && !m_modeLockedIn && !m_editingTextArea)
                setDrawingMode(SelectMode);
        });
    }
    setNeedsDisplayInRect(frame.insetBy(-1, -1));
    setNeedsDisplayInRect(textArea->drawingBounds());
    setFocus(Qt::OtherFocusReason);
}

// --- rapid entry ---

void TWGraphicView::updateForDirivOzaz()
{
    const std::shared_ptr<TWTextArea> textArea = m_editingTextArea;
    if (m_drawingMode != RapidEntryMode || !textArea || !isLabel(*textArea))
        return;
    // The walk starts from what the model holds.
    if (m_editing->storedText) {
        m_commitTimer.stop();
        changeTextFromStoredDict();
    }
    if (textArea->text().isEmpty())
        return;
    splitDirivOzaz(true);
}

void TWGraphicView::splitDirivOzaz(bool whileTyping)
{
    const std::shared_ptr<TWTextArea> textArea = m_editingTextArea;
    TWMapBranch *branch = textArea->branch();
    TWMapsDoc *document = mapsDoc();
    const Split split = splitAtMarkers(textArea->text(), whileTyping);
    if (split.segments.isEmpty()) {
        // Markers with nothing after them are no text of the label.
        if (!whileTyping && split.kept.length() != textArea->text().length()) {
            textArea->setText(split.kept);
            branch->makeNaturalSizeHonoringTextWidth(true, true);
        }
        return;
    }

    textArea->setText(split.kept);
    branch->makeNaturalSizeHonoringTextWidth(true, true);
    if (whileTyping) {
        SpellableTextView *editor = m_editing->editor;
        const qsizetype length = split.kept.length();
        AttributedString::Range selection = editor->selectedRange();
        if (length > selection.location) {
            if (selection.end() > length)
                selection.length = length - selection.location;
        } else {
            selection = {length, 0};
        }
        editor->replaceText(split.kept, selection);
        m_editing->cachedTABounds = textArea->bounds();
        if (branch->mainGraphic())
            m_editing->cachedMGBounds = branch->mainGraphic()->bounds();
        placeEditor(textArea->bounds());
    }

    TWMapBranch::BranchList made;
    for (const AttributedString &segment : split.segments) {
        const std::shared_ptr<TWMapBranch> child =
            branch->addChildOfType(document ? document->graphicClassIdentifier() : -1);
        // A type without a shape makes no child; the other segments still do.
        if (!child || !child->enclosedTextArea())
            continue;
        child->enclosedTextArea()->setText(segment);
        child->makeNaturalSizeHonoringTextWidth(false, true);
        made.append(child);
    }
    if (made.isEmpty())
        return;
    if (TWMap *m = branch->map())
        m->makeRoomForNewBranches(made);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const NotificationObject documentObject =
        document ? NotificationObject(document->shared_from_this()) : NotificationObject();
    center.post(TWMap::MapsDocBranchesAddedNotification, documentObject);
    UndoManager::setActionName(
        m_document ? m_document->undoManager() : nullptr,
        TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New Branch")));
    if (TWMap *m = branch->map())
        m->recalculateOutlineNumbers();
    center.post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification, documentObject);
    scrollRectToVisible(textArea->bounds());
}

// --- fonts of texts not edited ---

void TWGraphicView::changeFont(const std::optional<Font> &font)
{
    TWMap *m = map();
    if (!font || font->isNull() || !m)
        return;
    const auto selected = m->selectedGraphics();
    for (const std::shared_ptr<TWGraphic> &graphic : selected) {
        TWMapBranch *branch = graphic->branch();
        const bool labelOrShape =
            branch && (graphic == branch->mainGraphic() || graphic == branch->enclosedTextArea());
        if (labelOrShape) {
            if (branch->enclosedTextArea())
                branch->enclosedTextArea()->publicSetFont(font);
        } else if (auto text = std::dynamic_pointer_cast<TWTextArea>(graphic)) {
            AttributedString changed = text->text();
            changed.addAttribute(NSFontAttributeName, QVariant::fromValue(*font),
                                 {0, changed.length()});
            text->publicSetTextAndResize(changed);
        }
    }
}
