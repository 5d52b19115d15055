#pragma once

#include <functional>

#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <QList>
#include <QRectF>
#include <memory>
#include <vector>

class QPainter;
class QTextLayout;
class QTextLine;

// Lays attributed strings out in a rectangular container, the way the text
// system did: each line fragment spans the container's width, with
// `lineFragmentPadding` kept free at both of its ends; text that does not fit
// the container's height is not laid out. Every coordinate is in points in the
// container, y down. Fonts are measured at 72 dpi without hinting, so a
// layout draws the same on every device. Glyph indexes are UTF-16 character
// indexes of the text.
class TWTextLayout
{
public:
    // The size containers are made with.
    static constexpr float containerMaximum = 1000000.0f;
    // The padding of a new container.
    static constexpr float defaultLineFragmentPadding = 5.0f;
    // What a text area measures no smaller or larger than.
    static constexpr Size defaultMinSize{10.0f, 15.0f};
    static constexpr Size defaultMaxSize{99999.0f, 99999.0f};

    TWTextLayout();
    ~TWTextLayout();
    TWTextLayout(const TWTextLayout &) = delete;
    TWTextLayout &operator=(const TWTextLayout &) = delete;

    // The one engine that measuring and one-off drawing share. Main thread
    // only; every user sets the container size and padding before use.
    static TWTextLayout &shared();

    Size containerSize() const { return m_containerSize; }
    void setContainerSize(Size size);
    float lineFragmentPadding() const { return m_padding; }
    void setLineFragmentPadding(float padding);

    // Lays the text out in the container (again after any change of size or
    // padding).
    void setAttributedString(const AttributedString &text);
    void clear() { setAttributedString(AttributedString()); }
    const AttributedString &attributedString() const { return m_text; }

    // Characters laid out, from 0: the whole text unless the container's
    // height cut it short.
    qsizetype laidOutLength() const
    {
        complete();
        return m_laidOutLength;
    }
    int lineCount() const
    {
        complete();
        return int(m_lines.size());
    }
    // The union of the lines' used rectangles: the text's extent with the
    // padding at both ends of each line. Empty for an empty text.
    Rect usedRect() const
    {
        complete();
        return m_usedRect;
    }
    // The rectangle of one character (its advance across, its line's height),
    // the line fragment holding it (the container's width) and that line's
    // used part. Empty rectangles beyond the laid-out text.
    Rect boundingRectForGlyph(qsizetype index) const;
    Rect lineFragmentRectForGlyph(qsizetype index) const;
    Rect lineFragmentUsedRectForGlyph(qsizetype index) const;
    // One rectangle per line that the range touches, covering its
    // characters on that line.
    QList<Rect> rectsForCharacterRange(AttributedString::Range range) const;

    // Background colours, then the glyphs, with the container's origin at
    // `origin`. The painter's state is left as it was.
    void draw(QPainter &painter, Point origin) const;

    // A copy in which every link is blue and underlined, whatever its own
    // colour, as links are displayed.
    static AttributedString displayCopyWithStyledLinks(const AttributedString &text);

    // The size the text needs wrapped to `width` (capped at the maximum
    // width): its used width plus 1 and its used height, each at least the
    // minimum. The maximum only bounds the container; the result is not
    // capped. An empty text measures to the minimum.
    static Size requiredSizeForWidth(const AttributedString &text, float width,
                                     Size minSize = defaultMinSize, Size maxSize = defaultMaxSize,
                                     float lineFragmentPadding = defaultLineFragmentPadding);

    // What requiredSizeForWidth answers, and the container widths (the
    // width asked, capped at the maximum) from `narrowest` to `widest` at
    // which the same text, sizes and padding are known to answer the same.
    struct Measurement
    {
        Size size;
        float narrowest = 0;
        float widest = 0;
    };
    // `keepsAhead`: a measurement made ahead is kept among the remembered
    // ones; a caller that keeps it itself spares that.
    static Measurement measure(const AttributedString &text, float width,
                               Size minSize = defaultMinSize, Size maxSize = defaultMaxSize,
                               float lineFragmentPadding = defaultLineFragmentPadding,
                               bool keepsAhead = true);

    // A text a caller is about to measure, with the arguments it will pass.
    struct Request
    {
        AttributedString text;
        float width = containerMaximum;
        Size maxSize = defaultMaxSize;
        float lineFragmentPadding = defaultLineFragmentPadding;
    };
    // Measures texts ahead of need on worker threads, in the order given.
    // While it lives, requiredSizeForWidth on the main thread answers a
    // request from a worker's measurement when one is made, and otherwise
    // measures it itself, without waiting. Either way the answer is the one
    // a measurement on the main thread gives. Made and ended on the main
    // thread.
    class Prefetch
    {
    public:
        explicit Prefetch(std::vector<Request> requests, int workers = 0);
        // The requests are made as they are reached: `make(i)` gives the
        // i-th, or nothing to measure, on a worker or, through need(), on
        // the main thread. It must be safe to call for different indices at
        // once.
        using Maker = std::function<std::optional<Request>(size_t index)>;
        Prefetch(size_t count, Maker make, int workers = 0);
        ~Prefetch();
        // The main thread is about to use what make(index) made: made here
        // unless a worker has begun it, in which case this waits for it.
        void need(size_t index);
        Prefetch(const Prefetch &) = delete;
        Prefetch &operator=(const Prefetch &) = delete;
        // Waits until the workers have measured every request.
        void finish();
        // Measurements answered from the workers' results so far.
        int answered() const;

        struct State;

    private:
        void start(int workers);

        std::shared_ptr<State> m_state;
        State *m_previous = nullptr;
    };

private:
    struct Paragraph;
    struct Line
    {
        int paragraph = 0;
        int lineInParagraph = 0;
        qsizetype start = 0; // in the text
        qsizetype length = 0;
        QRectF fragment;
        QRectF used;
    };

    // Starts the layout again; lines are made as they are asked for.
    void layout();
    void complete() const;
    // Makes lines until one stands wholly below `bottom`, or the text or
    // the container ends.
    void layOutUntil(qreal bottom) const;
    void giveText(Paragraph &paragraph, qsizetype length, size_t firstLine) const;
    void measureLine(const Paragraph &paragraph, QTextLine &line, int index) const;
    static qreal heightOf(const Paragraph &paragraph, const QTextLine &line);
    QPointF placeOf(const Paragraph &paragraph, const QTextLine &line, qreal top) const;
    // The prefetch requiredSizeForWidth consults, if any.
    static Prefetch::State *installedPrefetch();
    int lineIndexForCharacter(qsizetype index) const;
    bool linesStartAtTheLeftEdgeAtFullWidth() const;

    AttributedString m_text;
    Size m_containerSize{containerMaximum, containerMaximum};
    float m_padding = defaultLineFragmentPadding;
    // Made as far as asked for (layOutUntil); the last paragraph may be
    // open, its QTextLayout still making lines.
    mutable std::vector<std::unique_ptr<Paragraph>> m_paragraphs;
    mutable std::vector<Line> m_lines;
    mutable qsizetype m_laidOutLength = 0;
    mutable Rect m_usedRect;
    struct Progress
    {
        qsizetype nextStart = 0; // of the next paragraph
        qreal y = 0;             // the top of the next line
        QRectF used;
        int nextLine = 0; // in the open paragraph
        bool open = false;
        bool complete = true;
    };
    mutable Progress m_progress;
    // The last caret position measured: a glyph's right edge is the next
    // one's left, and glyphs are mostly asked for in order.
    struct Caret
    {
        int line = -1;
        qsizetype at = -1;
        qreal x = 0;
    };
    mutable Caret m_lastCaret;
};
