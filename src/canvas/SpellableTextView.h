#pragma once

#include "canvas/TWResponder.h"
#include "interface/TWHyperlinkableTextView.h"
#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <QPointer>
#include <QSyntaxHighlighter>
#include <QTimer>
#include <memory>

class Color;
class Font;
class SpellChecker;
class TWGraphicView;
class TWTextArea;

// The marker typed with Return in rapid entry between the texts of branches
// to come: an attachment character shown with the "zapMarker" image.
namespace TWDirivOzazTextAttachment {
// One marker character with the given typing attributes.
AttributedString marker(const TextAttributes &typingAttributes);
bool isMarker(const TextAttributes &attributes);
bool isMarkerAt(const AttributedString &text, qsizetype index);
} // namespace TWDirivOzazTextAttachment

// Underlines misspelled words of the document it is set on, red and dotted,
// without changing the text's own formats.
class SpellingHighlighter : public QSyntaxHighlighter
{
public:
    explicit SpellingHighlighter(QTextDocument *document);
    // The checker's ignore list for this text.
    void setDocumentTag(int tag) { m_tag = tag; }
    // Null: the program's shared checker.
    void setSpellChecker(SpellChecker *checker) { m_checker = checker; }
    bool isEnabled() const { return m_enabled; }
    // Underlines (or stops underlining) at once.
    void setEnabled(bool enabled);

protected:
    void highlightBlock(const QString &text) override;

private:
    SpellChecker *m_checker = nullptr;
    int m_tag = 0;
    bool m_enabled = false;
};

// The text view the canvas lays over a label or free text while it is
// edited. It shows the text at the canvas's zoom: the document is laid out in
// points (72 dpi) and painted through a scaled painter, and pointer positions
// are mapped back. Its own undo is off: every change goes to the document's
// undo manager through the canvas.
class SpellableTextView : public TWHyperlinkableTextView, public TWResponder
{
    Q_OBJECT

public:
    explicit SpellableTextView(TWGraphicView *canvas, QWidget *parent = nullptr);
    ~SpellableTextView() override;

    // The text edited; not owned.
    std::shared_ptr<TWTextArea> graphic() const { return m_graphic.lock(); }
    void setGraphic(const std::shared_ptr<TWTextArea> &graphic) { m_graphic = graphic; }
    // The editor that last took the keyboard focus; null once it is gone.
    static SpellableTextView *currentFirstResponderSPTV();

    // --- the text ---
    AttributedString attributedString() const;
    // Replaces the whole text without announcing a change.
    void setAttributedString(const AttributedString &text);
    // Replaces the whole text without announcing a change, then selects
    // the range and keeps the typing attributes as they were.
    void replaceText(const AttributedString &text, AttributedString::Range selection);
    TextAttributes typingAttributes() const;
    void setTypingAttributes(const TextAttributes &attributes);
    // Selection in characters of the text.
    AttributedString::Range selectedRange() const;
    void setSelectedRange(AttributedString::Range range);
    // An input method is composing.
    bool hasMarkedText() const { return m_hasMarkedText; }

    // --- geometry (points) ---
    // Factor from points to the pixels of the canvas's viewport.
    qreal scale() const { return m_scale; }
    void setScale(qreal scale);
    // The width text wraps at; the editor's frame width when it resizes
    // horizontally.
    float containerWidth() const { return m_containerWidth; }
    void setContainerWidth(float width);
    bool isHorizontallyResizable() const { return m_horizontallyResizable; }
    void setHorizontallyResizable(bool resizable) { m_horizontallyResizable = resizable; }
    void setMinSize(Size size) { m_minSize = size; }
    void setMaxSize(Size size) { m_maxSize = size; }
    Size minSize() const { return m_minSize; }
    Size maxSize() const { return m_maxSize; }
    void setLineFragmentPadding(float padding);
    // The height the text takes at the container width.
    float usedHeight() const;
    // The editor's rectangle on the map: the frame given, grown to the
    // text where the text needs more.
    Rect frame() const { return m_frame; }
    void setFrame(Rect frame);

    QColor backgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor &color);

    // --- spelling ---
    bool isContinuousSpellCheckingEnabled() const { return m_spelling->isEnabled(); }
    void setContinuousSpellCheckingEnabled(bool enabled);
    SpellingHighlighter *spellingHighlighter() const { return m_spelling; }

    // --- commands ---
    // Every font of the selection grown by `delta`; false (nothing changed)
    // when one would fall below 1 point. An empty selection changes nothing.
    bool changeFontSizeBy(float delta);
    void increaseFontSize();
    void decreaseFontSize();
    // The colour over the selection (or for what is typed next); the
    // background turns to contrast with it.
    void changeColor(const Color &color);
    // The font over the selection (or for what is typed next).
    void changeFont(const Font &font);
    // Inserts a rapid-entry marker at the selection; what is typed next takes
    // the font of the branches to come.
    void insertDirivOzazMarker();
    // Non-modal font and colour panels whose choices travel the canvas's
    // action chain as changeFont: and changeColor:.
    void orderFrontFontPanel();
    void orderFrontColorPanel();

    // TWResponder
    bool respondsToAction(const QString &selector) const override;
    bool validateAction(const QString &selector) const override;
    void performAction(const QString &selector, const QVariant &argument) override;
    ItemState validateMenuItem(const QString &selector, const QVariant &tag) const override;

signals:
    // The text changed through typing or a command (not through the setters).
    void textDidChange();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Copied branches and graphics go to the canvas; RTF comes in without
    // its paragraph styles. The clipboard itself is never changed.
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    QPointF documentPoint(const QPoint &viewportPoint) const override;

private:
    void endEditing();
    void postMarkedTextRedraw();
    std::unique_ptr<QMouseEvent> mapped(QMouseEvent *event) const;
    void replaceSelection(const AttributedString &text, bool reselect);
    void restartCaret();

    TWGraphicView *m_canvas;
    std::weak_ptr<TWTextArea> m_graphic;
    qreal m_scale = 1.0;
    float m_containerWidth = 1e7f;
    bool m_horizontallyResizable = true;
    Size m_minSize;
    Size m_maxSize{1e7f, 1e7f};
    Rect m_frame{0, 0, 100, 100};
    float m_padding = 0;
    QColor m_background = Qt::white;
    bool m_hasMarkedText = false;
    bool m_loading = false;
    SpellingHighlighter *m_spelling = nullptr;
    QTimer m_caretTimer;
    bool m_caretVisible = true;
    // A paint asked for the whole editor after a partial one.
    bool m_repaintAsked = false;
};
