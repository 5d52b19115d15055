#include "canvas/SpellableTextView.h"

#include "canvas/TWCanvasHost.h"
#include "canvas/TWFindController.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWTextArea.h"
#include "interface/AttributedStringExtensions.h"
#include "interface/ViewExtensions.h"
#include "model/TWLinkServices.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/Random.h"
#include "platform/SpellChecker.h"
#include "platform/UndoManager.h"
#include "support/AttributedStringDocument.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/RichTextFormat.h"
#include "support/TWPreferences.h"
#include "support/TextAttachment.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QColorDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextFrame>
#include <cmath>
#include <utility>

namespace ASD = AttributedStringDocument;

namespace {

QPointer<SpellableTextView> g_currentFirstResponder;

const QString kMarkerImage = QStringLiteral("zapMarker");

// Lays the text out in points, as the map draws it.
QPaintDevice *pointDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(72.0 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

// The marker picture as a file: TIFF where the image plugins can write it.
QByteArray markerFileContents()
{
    static const QByteArray contents = [] {
        const QImage image(QStringLiteral(":/images/%1.png").arg(kMarkerImage));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!QImageWriter(&buffer, "tiff").write(image)) {
            bytes.clear();
            buffer.seek(0);
            image.save(&buffer, "PNG");
        }
        return bytes;
    }();
    return contents;
}

void beep()
{
    Alerts::current().beep();
}

AttributedString::Range wholeOf(const AttributedString &text)
{
    return {0, text.length()};
}

} // namespace

// --- the marker ---

namespace TWDirivOzazTextAttachment {

AttributedString marker(const TextAttributes &typingAttributes)
{
    TextAttachment::FileWrapper wrapper =
        TextAttachment::FileWrapper::regularFile(markerFileContents());
    wrapper.preferredFilename = QStringLiteral("%1.tiff").arg(Random::next());
    TextAttributes attributes = typingAttributes;
    attributes.insert(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment(wrapper)));
    attributes.insert(ASD::AttachmentImageNameAttributeName, kMarkerImage);
    return AttributedString(QString(QChar(0xFFFC)), attributes);
}

bool isMarker(const TextAttributes &attributes)
{
    return attributes.contains(NSAttachmentAttributeName) &&
           ASD::isNamedImageAttachment(attributes, kMarkerImage);
}

bool isMarkerAt(const AttributedString &text, qsizetype index)
{
    return index >= 0 && index < text.length() && text.string().at(index) == QChar(0xFFFC) &&
           isMarker(text.attributesAtIndex(index));
}

} // namespace TWDirivOzazTextAttachment

// --- spelling ---

SpellingHighlighter::SpellingHighlighter(QTextDocument *document) : QSyntaxHighlighter(document) {}

void SpellingHighlighter::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    rehighlight();
}

void SpellingHighlighter::highlightBlock(const QString &text)
{
    if (!m_enabled)
        return;
    const SpellChecker &checker = m_checker ? *m_checker : SpellChecker::shared();
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    underline.setUnderlineColor(Qt::red);
    for (const SpellChecker::Range &r : checker.misspelledRanges(text, m_tag))
        setFormat(int(r.location), int(r.length), underline);
}

// --- the view ---

SpellableTextView::SpellableTextView(TWGraphicView *canvas, QWidget *parent)
    : TWHyperlinkableTextView(parent), m_canvas(canvas)
{
    setLinkFollower(&TWLinkServices::openURL);
    setUndoRedoEnabled(false);
    // Pasted text takes the label's attributes (rich paste is the clipboard's).
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    document()->documentLayout()->setPaintDevice(pointDevice());
    document()->setDocumentMargin(0);
    setLineFragmentPadding(TWTextArea::DefaultLineFragmentPadding);
    // Made on the empty document, so that it follows every change at once.
    m_spelling = new SpellingHighlighter(document());
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (!m_loading)
            emit textDidChange();
    });
    // Embedded pictures go back to their source through the canvas's document.
    setLinkBackEditor([this](const TextAttachment &attachment) {
        TWCanvasHost *host = m_canvas ? m_canvas->document() : nullptr;
        return host && host->editLinkBackInTextAttachment(attachment);
    });
    connect(this, &QTextEdit::cursorPositionChanged, this, &SpellableTextView::restartCaret);
    connect(&m_caretTimer, &QTimer::timeout, this, [this] {
        m_caretVisible = !m_caretVisible;
        viewport()->update();
    });
    hide();
}

SpellableTextView::~SpellableTextView() = default;

SpellableTextView *SpellableTextView::currentFirstResponderSPTV()
{
    return g_currentFirstResponder.data();
}

// --- text ---

AttributedString SpellableTextView::attributedString() const
{
    return ASD::attributedString(*document());
}

void SpellableTextView::setAttributedString(const AttributedString &text)
{
    m_loading = true;
    ASD::setDocumentText(*document(), text);
    m_loading = false;
    viewport()->update();
}

void SpellableTextView::replaceText(const AttributedString &text, AttributedString::Range selection)
{
    const TextAttributes typing = typingAttributes();
    setAttributedString(text);
    setSelectedRange(selection);
    setTypingAttributes(typing);
}

TextAttributes SpellableTextView::typingAttributes() const
{
    return ASD::attributes(currentCharFormat());
}

void SpellableTextView::setTypingAttributes(const TextAttributes &attributes)
{
    const bool loading = m_loading;
    m_loading = true;
    setCurrentCharFormat(ASD::charFormat(attributes));
    m_loading = loading;
}

AttributedString::Range SpellableTextView::selectedRange() const
{
    const QTextCursor cursor = textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

void SpellableTextView::setSelectedRange(AttributedString::Range range)
{
    const int end = document()->characterCount() - 1;
    QTextCursor cursor(document());
    cursor.setPosition(std::clamp(int(range.location), 0, end));
    cursor.setPosition(std::clamp(int(range.end()), 0, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

// --- geometry ---

void SpellableTextView::setScale(qreal scale)
{
    m_scale = scale > 0 && std::isfinite(scale) ? scale : 1.0;
    viewport()->update();
}

void SpellableTextView::setContainerWidth(float width)
{
    m_containerWidth = width;
    setFrame(m_frame);
}

void SpellableTextView::setLineFragmentPadding(float padding)
{
    m_padding = padding;
    QTextFrameFormat format = document()->rootFrame()->frameFormat();
    format.setLeftMargin(padding);
    format.setRightMargin(padding);
    format.setTopMargin(0);
    format.setBottomMargin(0);
    document()->rootFrame()->setFrameFormat(format);
}

float SpellableTextView::usedHeight() const
{
    return float(document()->documentLayout()->documentSize().height());
}

void SpellableTextView::setFrame(Rect frame)
{
    auto wrapAt = [this](float width) {
        setLineWrapColumnOrWidth(int(std::ceil(std::clamp(width, 1.0f, 1e7f))));
    };
    float width = frame.width();
    if (m_horizontallyResizable) {
        // A resizable editor grows to its text (pictures included) up to the
        // container, and wraps at its own width.
        wrapAt(m_containerWidth);
        const float natural = float(document()->idealWidth()) + m_padding + 1.0f;
        width = std::min(std::max(width, natural), std::max(m_containerWidth, frame.width()));
    }
    wrapAt(m_horizontallyResizable ? width : m_containerWidth);
    // It grows downward to show every line.
    const float height = std::max(frame.height(), usedHeight());
    m_frame = Rect(frame.x(), frame.y(), width, height);
    if (m_canvas)
        setGeometry(m_canvas->viewportRectFromMap(m_frame).toAlignedRect());
    viewport()->update();
}

void SpellableTextView::setBackgroundColor(const QColor &color)
{
    m_background = color;
    viewport()->update();
}

// --- spelling ---

void SpellableTextView::setContinuousSpellCheckingEnabled(bool enabled)
{
    m_spelling->setEnabled(enabled);
}

// --- commands ---

void SpellableTextView::replaceSelection(const AttributedString &text, bool reselect)
{
    const AttributedString::Range range = selectedRange();
    QTextCursor cursor = textCursor();
    m_loading = true;
    ASD::insert(cursor, text);
    m_loading = false;
    if (reselect)
        setSelectedRange({range.location, text.length()});
    else
        setTextCursor(cursor);
}

bool SpellableTextView::changeFontSizeBy(float delta)
{
    const AttributedString::Range range = selectedRange();
    if (range.length == 0)
        return true;
    const AttributedString selected = attributedString().attributedSubstringFromRange(range);
    const double smallest = AttributedStringExtensions::minimumFontSize(selected);
    if (smallest >= 0 && smallest + delta < 1.0)
        return false;
    replaceSelection(
        AttributedStringExtensions::attributedStringWithFontSizeIncreasedBy(selected, delta), true);
    emit textDidChange();
    return true;
}

void SpellableTextView::increaseFontSize()
{
    if (!changeFontSizeBy(1.0f))
        beep();
}

void SpellableTextView::decreaseFontSize()
{
    if (!changeFontSizeBy(-1.0f))
        beep();
}

void SpellableTextView::changeColor(const Color &color)
{
    const AttributedString::Range range = selectedRange();
    if (range.length == 0) {
        TextAttributes typing = typingAttributes();
        typing.insert(NSForegroundColorAttributeName, QVariant::fromValue(color));
        setTypingAttributes(typing);
    } else {
        AttributedString selected = attributedString().attributedSubstringFromRange(range);
        selected.addAttribute(NSForegroundColorAttributeName, QVariant::fromValue(color),
                              wholeOf(selected));
        replaceSelection(selected, true);
        emit textDidChange();
    }
    setBackgroundColor(ContrastingLabelExtensions::contrastingLabelColor(color).toQColor());
}

void SpellableTextView::changeFont(const Font &font)
{
    if (font.isNull())
        return;
    const AttributedString::Range range = selectedRange();
    if (range.length == 0) {
        TextAttributes typing = typingAttributes();
        typing.insert(NSFontAttributeName, QVariant::fromValue(font));
        setTypingAttributes(typing);
        return;
    }
    AttributedString selected = attributedString().attributedSubstringFromRange(range);
    selected.addAttribute(NSFontAttributeName, QVariant::fromValue(font), wholeOf(selected));
    replaceSelection(selected, true);
    emit textDidChange();
}

void SpellableTextView::insertDirivOzazMarker()
{
    TextAttributes typing = typingAttributes();
    replaceSelection(TWDirivOzazTextAttachment::marker(typing), false);
    // What follows is the text of a branch to come, in its font.
    const std::shared_ptr<TWTextArea> edited = graphic();
    const TWMapBranch *branch = edited ? edited->branch() : nullptr;
    const bool root = branch && branch->isRoot();
    typing.insert(NSFontAttributeName, QVariant::fromValue(root ? TWPreferences::firstLevelFont()
                                                                : TWPreferences::branchFont()));
    setTypingAttributes(typing);
    emit textDidChange();
}

void SpellableTextView::orderFrontFontPanel()
{
    const QTextCharFormat current = ASD::charFormat(typingAttributes());
    auto *panel = new QFontDialog(current.font(), window());
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QFontDialog::NoButtons);
    TWGraphicView *canvas = m_canvas;
    connect(panel, &QFontDialog::currentFontChanged, panel, [canvas](const QFont &font) {
        QTextCharFormat format;
        format.setFont(font);
        const QVariant chosen = ASD::attributes(format).value(NSFontAttributeName);
        if (canvas)
            canvas->actionRouter().sendAction(QStringLiteral("changeFont:"), chosen);
    });
    panel->show();
}

void SpellableTextView::orderFrontColorPanel()
{
    auto *panel = new QColorDialog(window());
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setOption(QColorDialog::NoButtons);
    TWGraphicView *canvas = m_canvas;
    connect(panel, &QColorDialog::currentColorChanged, panel, [canvas](const QColor &color) {
        if (canvas)
            canvas->actionRouter().sendAction(QStringLiteral("changeColor:"),
                                              QVariant::fromValue(Color::fromQColor(color)));
    });
    panel->show();
}

// --- actions ---

namespace {

const QStringList &editorActions()
{
    static const QStringList actions{
        QStringLiteral("changeFont:"),
        QStringLiteral("changeColor:"),
        QStringLiteral("increaseFontSize:"),
        QStringLiteral("decreaseFontSize:"),
        QStringLiteral("alignLeft:"),
        QStringLiteral("alignCenter:"),
        QStringLiteral("alignRight:"),
        QStringLiteral("undo:"),
        QStringLiteral("redo:"),
        QStringLiteral("orderFrontFontPanel:"),
        QStringLiteral("orderFrontColorPanel:"),
        QStringLiteral("selectAll:"),
        QStringLiteral("cancelOperation:"),
        QStringLiteral("checkSpelling:"),
        QStringLiteral("ignoreSpelling:"),
        QStringLiteral("changeSpelling:"),
        QStringLiteral("editLinkBackItems:"),
    };
    return actions;
}

} // namespace

bool SpellableTextView::respondsToAction(const QString &selector) const
{
    return editorActions().contains(selector);
}

bool SpellableTextView::validateAction(const QString &selector) const
{
    const UndoManager *undo =
        m_canvas && m_canvas->document() ? m_canvas->document()->undoManager() : nullptr;
    if (selector == QLatin1String("undo:"))
        return (undo && undo->canUndo()) || (m_canvas && m_canvas->hasStoredText());
    if (selector == QLatin1String("redo:"))
        return undo && undo->canRedo();
    if (selector == QLatin1String("editLinkBackItems:"))
        return linkBackEditItemState().first;
    return true;
}

TWResponder::ItemState SpellableTextView::validateMenuItem(const QString &selector,
                                                          const QVariant &tag) const
{
    if (selector == QLatin1String("editLinkBackItems:")) {
        const auto [enabled, title] = linkBackEditItemState();
        return {enabled, std::nullopt, title};
    }
    return TWResponder::validateMenuItem(selector, tag);
}

void SpellableTextView::performAction(const QString &selector, const QVariant &argument)
{
    if (selector == QLatin1String("changeFont:")) {
        if (argument.canConvert<Font>())
            changeFont(argument.value<Font>());
    } else if (selector == QLatin1String("changeColor:")) {
        if (argument.canConvert<Color>())
            changeColor(argument.value<Color>());
    } else if (selector == QLatin1String("increaseFontSize:")) {
        increaseFontSize();
    } else if (selector == QLatin1String("decreaseFontSize:")) {
        decreaseFontSize();
    } else if (selector.startsWith(QLatin1String("align"))) {
        // The canvas aligns the label as a whole; without it, the paragraph.
        const QString side = selector.mid(5); // "Left:", "Center:", "Right:"
        const QString canvasAction = QStringLiteral("alignTWText") + side;
        if (m_canvas && m_canvas->respondsToAction(canvasAction)) {
            m_canvas->performAction(canvasAction, argument);
        } else {
            setAlignment(side.startsWith(QLatin1String("Left"))     ? Qt::AlignLeft
                         : side.startsWith(QLatin1String("Center")) ? Qt::AlignHCenter
                                                                    : Qt::AlignRight);
        }
    } else if (selector == QLatin1String("undo:") || selector == QLatin1String("redo:")) {
        // The typed text is committed first, so that it is what undo takes back.
        if (!m_canvas)
            return;
        UndoManager *undo = m_canvas->document() ? m_canvas->document()->undoManager() : nullptr;
        m_canvas->endEditingTextArea();
        if (!undo)
            return;
        undo->closeEventGroup();
        selector == QLatin1String("undo:") ? undo->undo() : undo->redo();
    } else if (selector == QLatin1String("editLinkBackItems:")) {
        editLinkBackItems();
    } else if (selector == QLatin1String("orderFrontFontPanel:")) {
        orderFrontFontPanel();
    } else if (selector == QLatin1String("orderFrontColorPanel:")) {
        orderFrontColorPanel();
    } else if (selector == QLatin1String("selectAll:")) {
        selectAll();
    } else if (selector == QLatin1String("cancelOperation:")) {
        endEditing();
    } else if (selector == QLatin1String("checkSpelling:")) {
        // Spelling walks the whole map, not this one text.
        TWFindController::shared().checkSpelling();
    } else if (selector == QLatin1String("ignoreSpelling:")) {
        const QString word = argument.toString();
        TWFindController::shared().ignoreSpelling(word.isEmpty() ? textCursor().selectedText()
                                                                 : word);
    } else if (selector == QLatin1String("changeSpelling:")) {
        const QString word = argument.toString();
        if (isActiveWindow()) {
            QTextCursor cursor = textCursor();
            cursor.insertText(word);
            setTextCursor(cursor);
        } else {
            TWFindController::shared().changeSpelling(word);
        }
    }
}

// --- keys ---

void SpellableTextView::endEditing()
{
    const std::shared_ptr<TWTextArea> edited = graphic();
    NotificationCenter::defaultCenter().post(TWMapBranch::EndEditingTextNotification,
                                             edited ? edited->notificationObject()
                                                    : NotificationObject());
}

void SpellableTextView::postMarkedTextRedraw()
{
    const std::shared_ptr<TWTextArea> edited = graphic();
    const TWMapBranch *branch = edited ? edited->branch() : nullptr;
    TWMap *map = branch ? branch->map() : nullptr;
    if (!map)
        return;
    NotificationCenter::defaultCenter().post(
        TWMapBranch::RedrawInRectNotification, nullptr,
        {{TWMapBranch::RectKey, m_frame.toQt()},
         {TWMapBranch::MapKey, QVariant::fromValue(NotificationObject(map->weak_from_this()))}});
}

void SpellableTextView::keyPressEvent(QKeyEvent *event)
{
    const std::shared_ptr<TWTextArea> edited = graphic();
    if (m_hasMarkedText && edited)
        postMarkedTextRedraw();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    TWMapBranch *branch = edited ? edited->branch() : nullptr;

    switch (event->key()) {
    case Qt::Key_Home:
        endEditing();
        if (TWMap *map = branch ? branch->map() : nullptr) {
            map->removeAllSelectedGraphics();
            if (map->root() && map->root()->mainGraphic())
                map->insertObjectInSelectedGraphicsAtIndex(map->root()->mainGraphic(), 0);
        }
        break;
    case Qt::Key_Escape:
        if (!m_hasMarkedText) {
            endEditing();
            event->accept();
            return;
        }
        // Escape cancels the composition, not the editing.
        {
            QInputMethodEvent cancel;
            QTextEdit::inputMethodEvent(&cancel);
            m_hasMarkedText = false;
            QGuiApplication::inputMethod()->reset();
        }
        event->accept();
        return;
    case Qt::Key_Tab:
        // Plain or Option-Tab adds a child; with Command or Control it is text.
        if (modifiers == Qt::NoModifier || (modifiers & Qt::AltModifier)) {
            TWMap *map = branch ? branch->map() : nullptr;
            endEditing();
            if (map)
                map->publicCreateChildren();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Backtab:
        if ((modifiers & Qt::ShiftModifier) && edited) {
            TWMap *map = branch ? branch->map() : nullptr;
            endEditing();
            if (!branch || branch->isRoot())
                beep();
            else if (map)
                map->publicCreateSiblings();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Markers are made only where they are split into branches; elsewhere
        // Return breaks the line.
        if (edited && branch && branch->enclosedTextArea() == edited && m_canvas &&
            m_canvas->drawingMode() == TWGraphicView::RapidEntryMode) {
            insertDirivOzazMarker();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTextEdit::keyPressEvent(event);
    if (m_hasMarkedText && graphic())
        postMarkedTextRedraw();
}

void SpellableTextView::inputMethodEvent(QInputMethodEvent *event)
{
    QTextEdit::inputMethodEvent(event);
    m_hasMarkedText = !event->preeditString().isEmpty();
}

QVariant SpellableTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QVariant value = QTextEdit::inputMethodQuery(query);
    if (query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle) {
        const QRectF r = value.toRectF();
        return QRectF(r.x() * m_scale, r.y() * m_scale, r.width() * m_scale, r.height() * m_scale);
    }
    return value;
}

// --- painting and the pointer at the canvas's scale ---

void SpellableTextView::paintEvent(QPaintEvent *event)
{
    // The text edit asks for its own, unscaled rectangles: a paint of less
    // than the part that shows is followed by one of all of it. Only the
    // part inside the canvas shows (an editor cut by the canvas's edge never
    // gets a paint of its whole rectangle), and the follow-up is asked for
    // once, so that paints cannot keep asking for each other.
    const bool followUp = std::exchange(m_repaintAsked, false);
    if (!followUp && !(viewport()->visibleRegion() - event->region()).isEmpty()) {
        m_repaintAsked = true;
        viewport()->update();
    }
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), m_background);
    painter.scale(m_scale, m_scale);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, Qt::black);
    context.cursorPosition = hasFocus() && m_caretVisible ? textCursor().position() : -1;
    if (textCursor().hasSelection()) {
        QAbstractTextDocumentLayout::Selection selection;
        selection.cursor = textCursor();
        selection.format.setBackground(palette().brush(QPalette::Highlight));
        selection.format.setForeground(palette().brush(QPalette::HighlightedText));
        context.selections.append(selection);
    }
    context.clip = QRectF(0, 0, viewport()->width() / m_scale, viewport()->height() / m_scale);
    document()->documentLayout()->draw(&painter, context);
}

std::unique_ptr<QMouseEvent> SpellableTextView::mapped(QMouseEvent *event) const
{
    const QPointF inDocument = event->position() / m_scale;
    // The text edit adds its scroll offset back.
    const QPointF local =
        inDocument - QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    return std::make_unique<QMouseEvent>(event->type(), local, event->scenePosition(),
                                         event->globalPosition(), event->button(), event->buttons(),
                                         event->modifiers());
}

QPointF SpellableTextView::documentPoint(const QPoint &viewportPoint) const
{
    return QPointF(viewportPoint) / m_scale;
}

void SpellableTextView::mousePressEvent(QMouseEvent *event)
{
    if (followLinkForPress(event))
        return;
    auto m = mapped(event);
    QTextEdit::mousePressEvent(m.get());
    event->setAccepted(m->isAccepted());
}

void SpellableTextView::mouseMoveEvent(QMouseEvent *event)
{
    auto m = mapped(event);
    QTextEdit::mouseMoveEvent(m.get());
    event->setAccepted(m->isAccepted());
    updateLinkCursor(event->position().toPoint());
}

void SpellableTextView::mouseReleaseEvent(QMouseEvent *event)
{
    auto m = mapped(event);
    QTextEdit::mouseReleaseEvent(m.get());
    event->setAccepted(m->isAccepted());
}

void SpellableTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (editLinkBackForDoubleClick(event))
        return;
    auto m = mapped(event);
    QTextEdit::mouseDoubleClickEvent(m.get());
    event->setAccepted(m->isAccepted());
}

void SpellableTextView::scrollContentsBy(int, int)
{
    // The frame follows the text; nothing scrolls inside it.
    viewport()->update();
}

void SpellableTextView::focusInEvent(QFocusEvent *event)
{
    g_currentFirstResponder = this;
    QTextEdit::focusInEvent(event);
    restartCaret();
}

void SpellableTextView::focusOutEvent(QFocusEvent *event)
{
    m_caretTimer.stop();
    QTextEdit::focusOutEvent(event);
    viewport()->update();
}

void SpellableTextView::restartCaret()
{
    m_caretVisible = true;
    // The platform's flash time is a whole blink; under 2 ms it does not blink.
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime >= 2)
        m_caretTimer.start(flashTime / 2);
    else
        m_caretTimer.stop();
    viewport()->update();
}

bool SpellableTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && (source->hasFormat(TWGraphicView::GraphicPboardType) ||
                      source->hasFormat(TWGraphicView::BranchPboardType) ||
                      source->hasFormat(TWGraphicView::RTFPboardType) ||
                      QTextEdit::canInsertFromMimeData(source));
}

void SpellableTextView::insertFromMimeData(const QMimeData *source)
{
    if (!source)
        return;
    if (m_canvas && (source->hasFormat(TWGraphicView::GraphicPboardType) ||
                     source->hasFormat(TWGraphicView::BranchPboardType))) {
        // Editing ends first, as the canvas's own paste does.
        TWGraphicView *canvas = m_canvas;
        canvas->endEditingTextArea();
        canvas->pasteFromPB(source, 0);
        return;
    }
    const std::shared_ptr<TWTextArea> area = graphic();
    if (area && area->className() == QLatin1String("TWTextArea") &&
        source->hasFormat(TWGraphicView::RTFPboardType)) {
        if (std::optional<AttributedString> rich = RichTextFormat::attributedStringFromRTF(
                source->data(TWGraphicView::RTFPboardType))) {
            rich->removeAttribute(NSParagraphStyleAttributeName,
                                  AttributedString::Range{0, rich->length()});
            QTextCursor cursor = textCursor();
            AttributedStringDocument::insert(cursor, *rich);
            setTextCursor(cursor);
            return;
        }
    }
    QTextEdit::insertFromMimeData(source);
}
