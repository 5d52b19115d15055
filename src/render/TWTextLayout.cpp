#include "render/TWTextLayout.h"

#include "render/DrawingContext.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"
#include "support/QtTextAlignment.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QHashFunctions>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QThread>
#include <QUrl>
#include <QtDebug>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Rounding of float sizes must not push the last line out of a container
// made exactly as high as the text.
constexpr qreal kFitTolerance = 0.01;

// Fonts are resolved against a 72-dpi device, so a point is a unit.
const QPaintDevice *layoutDevice()
{
    static const QImage device = DrawingContext::makeImage(Size(1, 1));
    return &device;
}

QFont qfontFor(const TextAttributes &attributes)
{
    static const Font defaultFont(QStringLiteral("Helvetica"), 12.0);
    const QVariant value = attributes.value(NSFontAttributeName);
    Font font = value.canConvert<Font>() ? value.value<Font>() : defaultFont;
    if (font.isNull())
        font = defaultFont;
    if (!(font.pointSize() > 0))
        font = font.withSize(defaultFont.pointSize());
    QFont qfont = FontRegistry::shared().qfont(font);
    qfont.setHintingPreference(QFont::PreferNoHinting);
    return qfont;
}

std::optional<QColor> colorFor(const TextAttributes &attributes, const QString &key)
{
    const QVariant value = attributes.value(key);
    if (!value.canConvert<Color>())
        return std::nullopt;
    return value.value<Color>().toQColor();
}

int intFor(const TextAttributes &attributes, const QString &key)
{
    const QVariant value = attributes.value(key);
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : 0;
}

QTextCharFormat makeCharFormat(const TextAttributes &attributes)
{
    QTextCharFormat format;
    format.setFont(qfontFor(attributes), QTextCharFormat::FontPropertiesAll);
    format.setForeground(colorFor(attributes, NSForegroundColorAttributeName).value_or(Qt::black));
    if (const int underline = intFor(attributes, NSUnderlineStyleAttributeName)) {
        // The low byte is the line, the next one the pattern.
        switch ((underline >> 8) & 0x7) {
        case 1:
            format.setUnderlineStyle(QTextCharFormat::DotLine);
            break;
        case 2:
        case 3:
            format.setUnderlineStyle(QTextCharFormat::DashUnderline);
            break;
        case 4:
            format.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
            break;
        default:
            format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            break;
        }
        if (auto color = colorFor(attributes, NSUnderlineColorAttributeName))
            format.setUnderlineColor(*color);
    }
    if (intFor(attributes, NSStrikethroughStyleAttributeName))
        format.setFontStrikeOut(true);
    if (auto background = colorFor(attributes, NSBackgroundColorAttributeName))
        format.setBackground(*background);
    if (const int superscript = intFor(attributes, NSSuperscriptAttributeName))
        format.setVerticalAlignment(superscript > 0 ? QTextCharFormat::AlignSuperScript
                                                    : QTextCharFormat::AlignSubScript);
    const QVariant kern = attributes.value(NSKernAttributeName);
    if (kern.isValid()) {
        const double amount = kern.toDouble();
        if (std::isfinite(amount) && amount != 0) {
            format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            format.setFontLetterSpacing(amount);
        }
    }
    return format;
}

// The labels of a map share a few attribute sets: what a layout makes of
// one (its format, its font on the layout device, that font's metrics) is
// kept by the thread that made it.
class KeptAttributes
{
public:
    struct Entry
    {
        TextAttributes attributes;
        QTextCharFormat format;
        QFont deviceFont;
        std::optional<QFontMetricsF> metrics; // made when first asked for

        const QFontMetricsF &fontMetrics()
        {
            if (!metrics)
                metrics.emplace(deviceFont);
            return *metrics;
        }
    };

    // The main thread's are never released: formats hold fonts, which must
    // not outlive the application. A measuring worker keeps its own while it
    // runs (see Scope); other threads keep none.
    static KeptAttributes *forThisThread()
    {
        const QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return nullptr;
        if (QThread::currentThread() == app->thread()) {
            static auto *main = new KeptAttributes;
            return main;
        }
        return t_worker;
    }

    // A worker's, released before its thread ends, and Qt's fonts with it.
    class Scope;

    Entry &entry(const TextAttributes &attributes)
    {
        for (Entry &e : m_entries) {
            if (e.attributes == attributes)
                return e;
        }
        if (m_entries.size() == Capacity)
            m_entries.pop_front();
        m_entries.push_back(make(attributes));
        return m_entries.back();
    }

    static Entry make(const TextAttributes &attributes)
    {
        return {attributes, makeCharFormat(attributes), QFont(qfontFor(attributes), layoutDevice()),
                std::nullopt};
    }

private:
    static constexpr size_t Capacity = 16;
    static thread_local KeptAttributes *t_worker;
    std::deque<Entry> m_entries;
};

thread_local KeptAttributes *KeptAttributes::t_worker = nullptr;

class KeptAttributes::Scope
{
public:
    Scope() { t_worker = &m_kept; }
    ~Scope() { t_worker = nullptr; }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    KeptAttributes m_kept;
};

QTextCharFormat charFormat(const TextAttributes &attributes)
{
    if (KeptAttributes *kept = KeptAttributes::forThisThread())
        return kept->entry(attributes).format;
    return makeCharFormat(attributes);
}

// The font a layout of these attributes shapes with.
QFont deviceFontFor(const TextAttributes &attributes)
{
    if (KeptAttributes *kept = KeptAttributes::forThisThread())
        return kept->entry(attributes).deviceFont;
    return QFont(qfontFor(attributes), layoutDevice());
}

// The metrics of the run holding each index asked for, the indexes met in
// increasing order: each run's metrics are made once.
class RunMetrics
{
public:
    explicit RunMetrics(const AttributedString &text)
        : m_text(text), m_kept(KeptAttributes::forThisThread())
    {}

    const QFontMetricsF &at(qsizetype index)
    {
        qsizetype holding = std::max<qsizetype>(m_run, 0);
        while (holding + 1 < m_text.runCount() && m_text.runRange(holding).end() <= index)
            ++holding;
        if (holding != m_run || !m_metrics) {
            m_run = holding;
            if (m_kept) {
                m_metrics = &m_kept->entry(m_text.runAttributes(m_run)).fontMetrics();
            } else {
                m_own = KeptAttributes::make(m_text.runAttributes(m_run));
                m_metrics = &m_own->fontMetrics();
            }
        }
        return *m_metrics;
    }

private:
    const AttributedString &m_text;
    KeptAttributes *m_kept;
    std::optional<KeptAttributes::Entry> m_own; // without an application
    const QFontMetricsF *m_metrics = nullptr;
    qsizetype m_run = -1;
};

// A character no installed font draws would leave nothing where it stands:
// a white square stands in for it, so that the reader sees that something
// is there. A character beyond the first plane keeps its two units as the
// square and a word joiner, which draws nothing.
QString withMissingGlyphsShown(const AttributedString &text, qsizetype start, qsizetype end)
{
    const QString &string = text.string();
    QString shown = string.mid(start, end - start);
    if (text.runCount() == 0)
        return shown;
    RunMetrics metrics(text);
    for (qsizetype i = start; i < end; ++i) {
        const char16_t unit = string[i].unicode();
        if (unit < 0x80)
            continue;
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < end &&
                          QChar::isLowSurrogate(string[i + 1].unicode());
        const char32_t code = pair ? QChar::surrogateToUcs4(unit, string[i + 1].unicode()) : unit;
        switch (QChar::category(code)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            break;
        default:
            // Asks the fonts Qt falls back on too.
            if (!metrics.at(i).inFontUcs4(code)) {
                shown[i - start] = QChar(0x25A1);
                if (pair)
                    shown[i + 1 - start] = QChar(0x2060);
            }
            break;
        }
        if (pair)
            ++i;
    }
    return shown;
}

ParagraphStyle paragraphStyleFor(const TextAttributes &attributes)
{
    const QVariant value = attributes.value(NSParagraphStyleAttributeName);
    return value.canConvert<ParagraphStyle>() ? value.value<ParagraphStyle>()
                                              : ParagraphStyle::defaultParagraphStyle();
}

// Qt scales tab positions by the font's resolution over the screen's, and
// the layout's fonts are resolved at 72 dpi: what a tab position becomes in
// points, measured once.
qreal tabPositionScale()
{
    static const qreal scale = [] {
        QTextLayout probe(QStringLiteral("\t"), QFont(QFont(), layoutDevice()));
        QTextOption option;
        option.setTabs({QTextOption::Tab(100, QTextOption::LeftTab)});
        probe.setTextOption(option);
        probe.beginLayout();
        QTextLine line = probe.createLine();
        line.setLineWidth(1000);
        probe.endLayout();
        const qreal reached = line.isValid() ? line.cursorToX(1) : 0;
        return reached > 1 && reached < 10000 ? reached / 100 : 1.0;
    }();
    return scale;
}

QTextOption textOption(const ParagraphStyle &style)
{
    QTextOption option;
    option.setAlignment(qtAlignment(style.alignment));
    switch (style.lineBreakMode) {
    case LineBreakByCharWrapping:
        option.setWrapMode(QTextOption::WrapAnywhere);
        break;
    case LineBreakByClipping:
    case LineBreakByTruncatingHead:
    case LineBreakByTruncatingTail:
    case LineBreakByTruncatingMiddle:
        option.setWrapMode(QTextOption::NoWrap);
        break;
    default:
        // Words too long for a line are broken, as the text system did.
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        break;
    }
    QList<QTextOption::Tab> tabs;
    for (const TextTab &tab : style.tabStops) {
        if (!std::isfinite(tab.location()) || tab.location() < 0)
            continue;
        const QTextOption::TabType type =
            tab.alignment() == RightTextAlignment    ? QTextOption::RightTab
            : tab.alignment() == CenterTextAlignment ? QTextOption::CenterTab
                                                     : QTextOption::LeftTab;
        tabs.append(QTextOption::Tab(tab.location() / tabPositionScale(), type));
    }
    option.setTabs(tabs);
    if (std::isfinite(style.defaultTabInterval) && style.defaultTabInterval > 0)
        option.setTabStopDistance(style.defaultTabInterval / tabPositionScale());
    option.setUseDesignMetrics(true);
    return option;
}

qreal finiteOr(double value, qreal fallback)
{
    return std::isfinite(value) ? qreal(value) : fallback;
}

// A text's own hash; a measurement's adds its container and padding. The
// text is hashed once however many lookups a measurement makes.
size_t textHash(const AttributedString &text)
{
    return qHashMulti(0, text.string(), text.runCount());
}

size_t measurementHash(size_t textHash, Size container, float padding)
{
    return qHashMulti(textHash, container.width, container.height, padding);
}

size_t measurementHash(const AttributedString &text, Size container, float padding)
{
    return measurementHash(textHash(text), container, padding);
}

// What an engine holds as its container and padding once they are set.
Size saneContainer(Size size)
{
    const auto sane = [](float v) {
        return std::isfinite(v) ? std::clamp(v, 0.0f, TWTextLayout::containerMaximum) : 0.0f;
    };
    return Size(sane(size.width), sane(size.height));
}

float sanePadding(float padding)
{
    return std::isfinite(padding) ? std::max(padding, 0.0f) : 0.0f;
}

// Every glyph before a place a line may break at ends within its
// advance in the run's own font: nothing else (raised, kerned) changes a
// glyph's place.
bool glyphsStayWithinTheirAdvances(const AttributedString &text)
{
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const TextAttributes &attributes = text.runAttributes(run);
        if (attributes.contains(NSSuperscriptAttributeName) ||
            attributes.contains(NSKernAttributeName))
            return false;
    }
    if (text.runCount() == 0)
        return false;
    const QString &string = text.string();
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, string);
    RunMetrics metrics(text);
    for (qsizetype at = breaks.toNextBoundary(); at > 0; at = breaks.toNextBoundary()) {
        qsizetype last = at - 1;
        while (last >= 0 && string[last].isSpace())
            --last;
        if (last < 0)
            continue;
        const QChar c = string[last];
        if (c.isSurrogate() || c.category() == QChar::Mark_NonSpacing)
            return false;
        if (metrics.at(last).rightBearing(c) < 0)
            return false;
    }
    return true;
}

// A label is measured again and again unchanged: when its branch is made,
// after each change of the branch's settings, by layout. The installed fonts
// are read once per run, so a measurement stays true: the last few are kept.
class Measurements
{
public:
    // The used size, and the container widths that give it (see answers).
    struct Found
    {
        Size used;
        float narrowest;
        float widest;
    };
    std::optional<Found> find(const AttributedString &text, size_t textHash, Size container,
                              float padding)
    {
        const size_t hash = measurementHash(textHash, container, padding);
        for (Entry &e : m_entries) {
            if (e.hash == hash && e.container == container && e.padding == padding &&
                e.text == text) {
                e.lastUse = ++m_clock;
                const float narrowest =
                    e.withinAdvances.value_or(false) ? narrowestAnswered(e) : container.width;
                return Found{e.used, narrowest, container.width};
            }
        }
        // A label is measured at the widest its lines may be, then at the
        // width it was found to need. Greedy breaking finds the same lines
        // at any width from the widest line up, where lines start at the
        // left edge and no glyph reaches past its advance (an overhang
        // counts towards a line's width only where the line breaks).
        for (Entry &e : m_entries) {
            if (e.leftAligned && e.textHash == textHash && e.padding == padding &&
                e.container.height == container.height && container.width <= e.container.width &&
                e.used.width + LineWidthRounding <= container.width && e.text == text) {
                if (!e.withinAdvances)
                    e.withinAdvances = glyphsStayWithinTheirAdvances(text);
                if (*e.withinAdvances) {
                    e.lastUse = ++m_clock;
                    return Found{e.used, narrowestAnswered(e), e.container.width};
                }
            }
        }
        return std::nullopt;
    }

    // `leftAligned`: every line began at the container's left edge at full
    // width, and the whole text was laid out.
    // `withinAdvances`, when known: whether glyphsStayWithinTheirAdvances.
    void add(const AttributedString &text, size_t textHash, Size container, float padding,
             Size used, bool leftAligned, std::optional<bool> withinAdvances = std::nullopt)
    {
        Entry entry{measurementHash(textHash, container, padding),
                    textHash,
                    text,
                    container,
                    padding,
                    used,
                    leftAligned,
                    withinAdvances,
                    ++m_clock};
        if (m_entries.size() < Capacity) {
            m_entries.push_back(std::move(entry));
            return;
        }
        // The one used longest ago goes: a branch's default label, measured
        // whenever a branch is made, stays among many labels measured once.
        auto oldest =
            std::min_element(m_entries.begin(), m_entries.end(),
                             [](const Entry &a, const Entry &b) { return a.lastUse < b.lastUse; });
        *oldest = std::move(entry);
    }

    // Qt keeps line widths in 64ths of a unit: a width this close to the
    // widest line may round below it.
    static constexpr float LineWidthRounding = 1.0f / 32;

private:
    static constexpr size_t Capacity = 16;
    struct Entry
    {
        size_t hash;
        size_t textHash;
        AttributedString text;
        Size container;
        float padding;
        Size used;
        bool leftAligned;
        std::optional<bool> withinAdvances;
        quint64 lastUse;
    };

    // The narrowest container a narrower measurement answers from (see find).
    static float narrowestAnswered(const Entry &e)
    {
        return e.leftAligned ? e.used.width + LineWidthRounding : e.container.width;
    }

    std::vector<Entry> m_entries;
    quint64 m_clock = 0;
};

Measurements &measurements()
{
    static Measurements *cache = new Measurements; // main thread only, as the engine
    return *cache;
}

} // namespace

struct TWTextLayout::Paragraph
{
    qsizetype start = 0;
    qsizetype length = 0; // without its terminator
    qsizetype terminator = 0;
    ParagraphStyle style;
    QTextLayout layout;
    // The characters given to `layout` (a part of a long paragraph), the
    // lines made there, and whether it is still making lines.
    qsizetype given = 0;
    int made = 0;
    bool open = false;
};

TWTextLayout::TWTextLayout() = default;
TWTextLayout::~TWTextLayout() = default;

TWTextLayout &TWTextLayout::shared()
{
    static TWTextLayout *engine = new TWTextLayout; // never released, like the text system's
    return *engine;
}

void TWTextLayout::setContainerSize(Size size)
{
    const Size clamped = saneContainer(size);
    if (clamped == m_containerSize)
        return;
    m_containerSize = clamped;
    layout();
}

void TWTextLayout::setLineFragmentPadding(float padding)
{
    const float sane = sanePadding(padding);
    if (sane == m_padding)
        return;
    m_padding = sane;
    layout();
}

void TWTextLayout::setAttributedString(const AttributedString &text)
{
    m_text = text;
    layout();
}

void TWTextLayout::layout()
{
    m_lastCaret = {};
    m_paragraphs.clear();
    m_lines.clear();
    m_laidOutLength = 0;
    m_usedRect = Rect();
    m_progress = Progress();
    m_progress.complete = m_text.isEmpty();
}

void TWTextLayout::complete() const
{
    layOutUntil(std::numeric_limits<qreal>::infinity());
}

namespace {

// A paragraph longer than this that needs no more than left-to-right
// breaking is given to Qt a part at a time: Qt analyses all the text it is
// given before making the first line, which for megabytes is most of a
// drawing that shows a few lines.
constexpr qsizetype CutParagraphsAbove = qsizetype(1) << 18;
constexpr qsizetype FirstPart = qsizetype(1) << 16;

// Text whose lines a part of it makes as the whole would, the part's last
// two lines aside: characters that read left to right on their own (no
// right-to-left script, no direction marks or surrogates), not justified.
bool breaksLikeAnyLongerPart(const QString &string, qsizetype start, qsizetype end,
                             const QTextOption &option)
{
    if (option.alignment() & Qt::AlignJustify)
        return false;
    for (qsizetype i = start; i < end; ++i)
        if (string[i].unicode() >= 0x0590)
            return false;
    return true;
}

} // namespace

// Gives the paragraph's QTextLayout the first `length` characters of its
// text (all of it when more) and makes again the lines already taken, at
// the places they were taken at.
void TWTextLayout::giveText(Paragraph &paragraph, qsizetype length, size_t firstLine) const
{
    const qsizetype start = paragraph.start;
    const qsizetype end = start + std::min(length, paragraph.length);
    paragraph.given = end - start;
    const qsizetype styleIndex = std::min(start, m_text.string().size() - 1);
    const TextAttributes paragraphAttributes = m_text.attributesAtIndex(styleIndex);

    QTextLayout &layout = paragraph.layout;
    if (paragraph.open)
        layout.endLayout();
    layout.setText(withMissingGlyphsShown(m_text, start, end));
    layout.setTextOption(textOption(paragraph.style));
    QList<QTextLayout::FormatRange> formats;
    for (qsizetype run = 0; run < m_text.runCount(); ++run) {
        const AttributedString::Range range = m_text.runRange(run);
        const qsizetype from = std::max(range.location, start);
        const qsizetype to = std::min(range.end(), end);
        if (from >= to)
            continue;
        formats.append({int(from - start), int(to - from), charFormat(m_text.runAttributes(run))});
    }
    if (formats.isEmpty())
        formats.append({0, 0, charFormat(paragraphAttributes)});
    layout.setFormats(formats);
    // Qt shapes against the paint device it is given; fonts of the
    // formats resolve against the layout's font and so its device.
    layout.setFont(deviceFontFor(paragraphAttributes));
    layout.beginLayout();
    paragraph.open = true;
    paragraph.made = 0;
    for (size_t i = firstLine; i < m_lines.size(); ++i) {
        QTextLine line = layout.createLine();
        ++paragraph.made;
        Line &info = m_lines[i];
        measureLine(paragraph, line, info.lineInParagraph);
        line.setPosition(placeOf(paragraph, line, info.fragment.top()));
        // The same line again; kept as made from this text all the same.
        info.start = start + line.textStart();
        info.length = line.textLength();
        const QRectF text = line.naturalTextRect();
        info.used.setLeft(text.left() - m_padding);
        info.used.setWidth(text.width() + 2 * m_padding);
    }
}

void TWTextLayout::measureLine(const Paragraph &paragraph, QTextLine &line, int index) const
{
    const ParagraphStyle &style = paragraph.style;
    const qreal headIndent = std::max<qreal>(finiteOr(style.headIndent, 0), 0);
    const qreal firstIndent = std::max<qreal>(finiteOr(style.firstLineHeadIndent, 0), 0);
    const qreal tail = finiteOr(style.tailIndent, 0);
    line.setLeadingIncluded(true);
    const qreal indent = index == 0 ? firstIndent : headIndent;
    const qreal inner = m_containerSize.width - 2 * m_padding;
    // A positive tail indent is measured from the leading edge.
    const qreal right = tail > 0 ? std::min(tail, inner) : inner + tail;
    line.setLineWidth(std::max<qreal>(right - indent, 0));
}

qreal TWTextLayout::heightOf(const Paragraph &paragraph, const QTextLine &line)
{
    const ParagraphStyle &style = paragraph.style;
    qreal height = line.height();
    if (style.lineHeightMultiple > 0 && std::isfinite(style.lineHeightMultiple))
        height *= style.lineHeightMultiple;
    if (style.minimumLineHeight > 0 && std::isfinite(style.minimumLineHeight))
        height = std::max<qreal>(height, style.minimumLineHeight);
    if (style.maximumLineHeight > 0 && std::isfinite(style.maximumLineHeight))
        height = std::min<qreal>(height, style.maximumLineHeight);
    return height;
}

QPointF TWTextLayout::placeOf(const Paragraph &paragraph, const QTextLine &line, qreal top) const
{
    const ParagraphStyle &style = paragraph.style;
    const qreal headIndent = std::max<qreal>(finiteOr(style.headIndent, 0), 0);
    const qreal firstIndent = std::max<qreal>(finiteOr(style.firstLineHeadIndent, 0), 0);
    const qreal indent = line.lineNumber() == 0 ? firstIndent : headIndent;
    // Extra height goes above the text, so its baseline stays at the bottom.
    return QPointF(m_padding + indent, top + std::max<qreal>(heightOf(paragraph, line) - line.height(), 0));
}

// Lines are made one at a time, as far as `bottom` asks: a label of
// megabytes is drawn after laying out what shows of it, and laid out whole
// only when something measures it. The lines are those a layout of the
// whole text makes.
void TWTextLayout::layOutUntil(qreal bottom) const
{
    Progress &p = m_progress;
    const QString &string = m_text.string();
    const qreal containerWidth = m_containerSize.width;
    const qreal containerHeight = m_containerSize.height;
    const qreal padding = m_padding;

    while (!p.complete) {
        if (!p.open) {
            // The paragraph runs to its terminator; a text ending in one has an
            // empty last paragraph, which still takes a line.
            const qsizetype start = p.nextStart;
            qsizetype end = start;
            while (end < string.size() && string[end] != u'\n' && string[end] != u'\r' &&
                   string[end] != QChar::ParagraphSeparator)
                ++end;
            qsizetype terminator = 0;
            if (end < string.size())
                terminator = (string[end] == u'\r' && end + 1 < string.size() &&
                              string[end + 1] == u'\n')
                                 ? 2
                                 : 1;

            auto paragraph = std::make_unique<Paragraph>();
            paragraph->start = start;
            paragraph->length = end - start;
            paragraph->terminator = terminator;
            // An empty last paragraph takes the attributes of the text's end.
            const qsizetype styleIndex = std::min(start, string.size() - 1);
            paragraph->style = paragraphStyleFor(m_text.attributesAtIndex(styleIndex));
            const bool cut = paragraph->length > CutParagraphsAbove &&
                             std::isfinite(bottom) &&
                             breaksLikeAnyLongerPart(string, start, end,
                                                     textOption(paragraph->style));
            p.y += std::max<qreal>(finiteOr(paragraph->style.paragraphSpacingBefore, 0), 0);
            giveText(*paragraph, cut ? FirstPart : paragraph->length, m_lines.size());
            m_paragraphs.push_back(std::move(paragraph));
            p.open = true;
            p.nextLine = 0;
        }

        Paragraph &paragraph = *m_paragraphs.back();
        const ParagraphStyle &style = paragraph.style;
        QTextLayout &layout = paragraph.layout;
        const qreal lineSpacing = std::max<qreal>(finiteOr(style.lineSpacing, 0), 0);

        // A line of a part is taken once three more follow it there: what
        // decided where it breaks stands whole in the part.
        while (paragraph.given < paragraph.length && paragraph.made < p.nextLine + 4) {
            QTextLine ahead = layout.createLine();
            if (ahead.isValid()) {
                measureLine(paragraph, ahead, paragraph.made++);
                continue;
            }
            const qsizetype longer = std::isfinite(bottom) ? 4 * paragraph.given : paragraph.length;
            giveText(paragraph, longer, m_lines.size() - size_t(p.nextLine));
        }
        QTextLine line;
        if (p.nextLine < paragraph.made) {
            line = layout.lineAt(p.nextLine);
        } else {
            line = layout.createLine();
            if (line.isValid())
                measureLine(paragraph, line, paragraph.made++);
        }
        bool full = false;
        if (line.isValid()) {
            const int index = p.nextLine++;
            const qreal natural = line.height();
            const qreal height = heightOf(paragraph, line);
            const qreal fragmentHeight = height + lineSpacing;
            if (p.y + height > containerHeight + kFitTolerance) {
                full = true;
            } else {
                line.setPosition(placeOf(paragraph, line, p.y));

                Line info;
                info.paragraph = int(m_paragraphs.size()) - 1;
                info.lineInParagraph = index;
                info.start = paragraph.start + line.textStart();
                info.length = line.textLength();
                info.fragment = QRectF(0, p.y, containerWidth, fragmentHeight);
                const QRectF text = line.naturalTextRect();
                info.used =
                    QRectF(text.left() - padding, p.y, text.width() + 2 * padding, fragmentHeight);
                p.used = p.used.isNull() ? info.used : p.used.united(info.used);
                m_lines.push_back(info);
                m_laidOutLength = info.start + info.length;
                p.y += fragmentHeight;
                // No glyph of a later line stands above its own top.
                const qreal reach = std::max(fragmentHeight, natural);
                if (info.fragment.top() - reach > bottom)
                    return;
                continue;
            }
        }
        layout.endLayout();
        paragraph.open = false;
        p.open = false;
        if (full) {
            p.complete = true;
        } else {
            m_laidOutLength = paragraph.start + paragraph.length + paragraph.terminator;
            p.y += std::max<qreal>(finiteOr(style.paragraphSpacing, 0), 0);
            p.complete = paragraph.terminator == 0;
            p.nextStart = paragraph.start + paragraph.length + paragraph.terminator;
        }
    }
    m_usedRect = Rect::fromQt(p.used);
}

bool TWTextLayout::linesStartAtTheLeftEdgeAtFullWidth() const
{
    complete();
    if (m_laidOutLength < m_text.length())
        return false;
    for (const Line &info : m_lines) {
        if (info.used.left() != 0)
            return false;
    }
    // Lines end where a line may break: no word was split for want of room.
    if (m_lines.size() > 1) {
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, m_text.string());
        for (size_t i = 0; i + 1 < m_lines.size(); ++i) {
            if (m_lines[i].paragraph != m_lines[i + 1].paragraph)
                continue;
            breaks.setPosition(m_lines[i + 1].start);
            if (!breaks.isAtBoundary())
                return false;
        }
    }
    // A tail indent shortens the lines by its own rule.
    for (const std::unique_ptr<Paragraph> &paragraph : m_paragraphs) {
        const qsizetype at = std::min(paragraph->start, m_text.length() - 1);
        if (finiteOr(paragraphStyleFor(m_text.attributesAtIndex(at)).tailIndent, 0) != 0)
            return false;
    }
    return true;
}

int TWTextLayout::lineIndexForCharacter(qsizetype index) const
{
    complete();
    if (index < 0 || index >= m_laidOutLength)
        return -1;
    // The line whose start is the last one at or before the index; a
    // paragraph's terminator belongs to its last line.
    const auto it = std::upper_bound(m_lines.begin(), m_lines.end(), index,
                                     [](qsizetype i, const Line &line) { return i < line.start; });
    return it == m_lines.begin() ? -1 : int(it - m_lines.begin()) - 1;
}

Rect TWTextLayout::boundingRectForGlyph(qsizetype index) const
{
    const int lineIndex = lineIndexForCharacter(index);
    if (lineIndex < 0)
        return Rect();
    const Line &info = m_lines[size_t(lineIndex)];
    const Paragraph &paragraph = *m_paragraphs[size_t(info.paragraph)];
    const QTextLine line = paragraph.layout.lineAt(info.lineInParagraph);
    const qsizetype local = index - paragraph.start;
    if (local >= paragraph.length) {
        // A terminator: no width, at the end of the line.
        const qreal x = line.cursorToX(int(paragraph.length));
        return Rect::fromQt(QRectF(x, info.fragment.top(), 0, info.fragment.height()));
    }
    const auto caretX = [&](qsizetype at) {
        if (m_lastCaret.line != lineIndex || m_lastCaret.at != at)
            m_lastCaret = {lineIndex, at, line.cursorToX(int(at))};
        return m_lastCaret.x;
    };
    const qreal x1 = caretX(local);
    const qreal x2 = caretX(local + 1);
    return Rect::fromQt(
        QRectF(std::min(x1, x2), info.fragment.top(), std::abs(x2 - x1), info.fragment.height()));
}

Rect TWTextLayout::lineFragmentRectForGlyph(qsizetype index) const
{
    const int lineIndex = lineIndexForCharacter(index);
    return lineIndex < 0 ? Rect() : Rect::fromQt(m_lines[size_t(lineIndex)].fragment);
}

Rect TWTextLayout::lineFragmentUsedRectForGlyph(qsizetype index) const
{
    const int lineIndex = lineIndexForCharacter(index);
    return lineIndex < 0 ? Rect() : Rect::fromQt(m_lines[size_t(lineIndex)].used);
}

QList<Rect> TWTextLayout::rectsForCharacterRange(AttributedString::Range range) const
{
    QList<Rect> rects;
    complete();
    const qsizetype first = std::max<qsizetype>(range.location, 0);
    const qsizetype last = std::min(range.end(), m_laidOutLength);
    if (first >= last)
        return rects;
    for (const Line &info : m_lines) {
        const qsizetype from = std::max(first, info.start);
        const qsizetype to = std::min(last, info.start + info.length);
        if (from >= to)
            continue;
        QRectF rect;
        for (qsizetype i = from; i < to; ++i) {
            const QRectF glyph = boundingRectForGlyph(i).toQt();
            rect = rect.isNull() ? glyph : rect.united(glyph);
        }
        rects.append(Rect::fromQt(rect));
    }
    return rects;
}

void TWTextLayout::draw(QPainter &painter, Point origin) const
{
    // Only lines that may reach the clip are laid out and drawn: a label of
    // megabytes costs what shows of it. A line's glyphs may stand out of its
    // fragment by its natural height either way (a capped line height).
    // Without a clip, a picture (not a recording) shows what its edges hold.
    bool clipped = painter.hasClipping();
    QRectF shown = clipped ? painter.clipBoundingRect() : QRectF();
    const QPaintDevice *device = painter.device();
    const int kind = device ? device->devType() : QInternal::UnknownDevice;
    bool invertible = false;
    const QTransform toText = painter.combinedTransform().inverted(&invertible);
    if (!clipped && invertible &&
        (kind == QInternal::Image || kind == QInternal::Pixmap || kind == QInternal::Widget)) {
        clipped = true;
        shown = toText.mapRect(QRectF(0, 0, device->width(), device->height()));
    }
    shown.translate(-origin.toQt());
    if (clipped)
        layOutUntil(shown.bottom());
    else
        complete();
    if (m_lines.empty())
        return;
    painter.save();
    for (const Line &info : m_lines) {
        const Paragraph &paragraph = *m_paragraphs[size_t(info.paragraph)];
        const QTextLine line = paragraph.layout.lineAt(info.lineInParagraph);
        if (clipped) {
            const qreal reach = std::max(info.fragment.height(), line.height());
            if (info.fragment.top() + 2 * reach < shown.top() ||
                info.fragment.top() - reach > shown.bottom())
                continue;
        }
        line.draw(&painter, origin.toQt());
    }
    painter.restore();
}

AttributedString TWTextLayout::displayCopyWithStyledLinks(const AttributedString &text)
{
    AttributedString copy = text;
    qsizetype index = 0;
    while (index < copy.length()) {
        AttributedString::Range range;
        const QVariant link = copy.attribute(NSLinkAttributeName, index, &range);
        if (range.length <= 0)
            break;
        if (link.isValid()) {
            copy.addAttribute(NSForegroundColorAttributeName,
                              QVariant::fromValue(SystemColors::blueColor()), range);
            copy.addAttribute(NSUnderlineStyleAttributeName, 1, range);
        }
        index = range.end();
    }
    return copy;
}

// --- measuring ahead ---

struct TWTextLayout::Prefetch::State
{
    // Nothing: made, with nothing to measure.
    enum Stage { Waiting, Measuring, Measured, TakenByMain, Nothing };
    struct Item
    {
        AttributedString text;
        Size container;
        float padding = 0;
        Size used;
        bool leftAligned = false;
        bool withinAdvances = false;
        // Its measurement's key, worked out by the worker that measured it.
        size_t key = 0;
        // The item looked up before this one under the same key (main thread).
        size_t sameKey = NoItem;
        std::atomic<int> stage{Waiting};
    };

    std::unique_ptr<Item[]> items;
    size_t count = 0;
    // Main thread only.
    // The last item added under each key, the others chained from it: one
    // flat table however many labels are measured.
    static constexpr size_t NoItem = size_t(-1);
    QHash<size_t, size_t> byKey;
    void addByKey(size_t key, size_t index)
    {
        const auto it = byKey.find(key);
        if (it == byKey.end()) {
            byKey.emplace(key, index);
            return;
        }
        items[index].sameKey = *it;
        *it = index;
    }
    // The first item under `key` answering `accept`, else NoItem.
    template <typename Accept> size_t findByKey(size_t key, Accept accept) const
    {
        const auto it = byKey.constFind(key);
        for (size_t i = it == byKey.cend() ? NoItem : *it; i != NoItem; i = items[i].sameKey) {
            if (accept(items[i]))
                return i;
        }
        return NoItem;
    }
    int answered = 0;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    Maker make;
    // Qt's own threads: fonts and their caches are Qt's per thread.
    std::vector<std::unique_ptr<QThread>> threads;

    static void work(const std::shared_ptr<State> &state)
    {
        // Engines are not shared between threads: each worker has its own,
        // gone (with the formats it holds) before the formats it kept.
        const KeptAttributes::Scope kept;
        TWTextLayout engine;
        while (!state->stop.load(std::memory_order_relaxed)) {
            const size_t i = state->next.fetch_add(1);
            if (i >= state->count)
                return;
            Item &item = state->items[i];
            int expected = Waiting;
            if (!item.stage.compare_exchange_strong(expected, Measuring))
                continue;
            if (state->make && !state->fill(item, i)) {
                item.stage.store(Nothing, std::memory_order_release);
                continue;
            }
            engine.setLineFragmentPadding(item.padding);
            engine.setContainerSize(item.container);
            engine.setAttributedString(item.text);
            item.used = engine.usedRect().size;
            item.leftAligned = engine.linesStartAtTheLeftEdgeAtFullWidth();
            // Worked out here, as the main thread would when it measures the
            // text narrower.
            item.withinAdvances = item.leftAligned && glyphsStayWithinTheirAdvances(item.text);
            if (state->make)
                item.key = measurementHash(item.text, item.container, item.padding);
            engine.clear();
            item.stage.store(Measured, std::memory_order_release);
        }
    }

    // Makes item i's request; false when there is nothing to measure.
    bool fill(Item &item, size_t i)
    {
        std::optional<Request> request = make(i);
        if (!request || request->text.isEmpty())
            return false;
        item.text = std::move(request->text);
        item.container = saneContainer(
            Size(std::min(request->width, request->maxSize.width), request->maxSize.height));
        item.padding = sanePadding(request->lineFragmentPadding);
        return true;
    }

    // The measurement of a request like this one, if a worker has made it;
    // one not begun, or still being made, is left to the caller: the main
    // thread never waits for a worker that may not be running.
    bool take(const AttributedString &text, size_t textHash, Size container, float padding,
              Size &used, bool &leftAligned, std::optional<bool> &withinAdvances)
    {
        const size_t key = measurementHash(textHash, container, padding);
        const size_t found = findByKey(key, [&](const Item &item) {
            return item.container == container && item.padding == padding && item.text == text;
        });
        if (found != NoItem) {
            Item &item = items[found];
            int stage = item.stage.load(std::memory_order_acquire);
            if (stage == Waiting && !item.stage.compare_exchange_strong(stage, TakenByMain))
                stage = item.stage.load(std::memory_order_acquire);
            if (stage != Measured)
                return false;
            used = item.used;
            leftAligned = item.leftAligned;
            if (leftAligned)
                withinAdvances = item.withinAdvances;
            ++answered;
            return true;
        }
        return false;
    }
};

namespace {
TWTextLayout::Prefetch::State *installed = nullptr;
}

TWTextLayout::Prefetch::State *TWTextLayout::installedPrefetch()
{
    return installed;
}

TWTextLayout::Prefetch::Prefetch(std::vector<Request> requests, int workers)
    : m_state(std::make_shared<State>())
{
    State &state = *m_state;
    state.items = std::make_unique<State::Item[]>(requests.size());
    for (Request &request : requests) {
        if (request.text.isEmpty())
            continue;
        const Size container = saneContainer(
            Size(std::min(request.width, request.maxSize.width), request.maxSize.height));
        const float padding = sanePadding(request.lineFragmentPadding);
        const size_t key = measurementHash(request.text, container, padding);
        if (state.findByKey(key, [&](const State::Item &item) {
                return item.container == container && item.padding == padding &&
                       item.text == request.text;
            }) != State::NoItem)
            continue;
        State::Item &item = state.items[state.count];
        item.text = std::move(request.text);
        item.container = container;
        item.padding = padding;
        item.key = key;
        state.addByKey(key, state.count++);
    }
    start(workers);
}

TWTextLayout::Prefetch::Prefetch(size_t count, Maker make, int workers)
    : m_state(std::make_shared<State>())
{
    m_state->items = std::make_unique<State::Item[]>(count);
    m_state->count = count;
    // Every measured request is looked up by its key: no regrowth as they come.
    m_state->byKey.reserve(qsizetype(count));
    m_state->make = std::move(make);
    start(workers);
}

void TWTextLayout::Prefetch::start(int workers)
{
    State &state = *m_state;
    if (workers <= 0)
        workers = std::clamp(QThread::idealThreadCount() - 1, 1, 2);
    workers = int(std::min<size_t>(size_t(workers), state.count));
    for (int i = 0; i < workers; ++i) {
        state.threads.emplace_back(QThread::create(&State::work, m_state));
        state.threads.back()->start();
    }
    m_previous = installed;
    installed = m_state.get();
}

void TWTextLayout::Prefetch::need(size_t index)
{
    State &state = *m_state;
    Q_ASSERT(state.make && index < state.count);
    if (!state.make || index >= state.count)
        return;
    State::Item &item = state.items[index];
    int stage = item.stage.load(std::memory_order_acquire);
    if (stage == State::Waiting && item.stage.compare_exchange_strong(stage, State::TakenByMain)) {
        // Measured here when it is asked for, as a request not begun is.
        state.fill(item, index);
        return;
    }
    // A worker that has begun it is running: it is made in moments.
    while (stage == State::Measuring) {
        QThread::yieldCurrentThread();
        stage = item.stage.load(std::memory_order_acquire);
    }
    if (stage == State::Measured)
        state.addByKey(item.key, index);
}

TWTextLayout::Prefetch::~Prefetch()
{
    installed = m_previous;
    m_state->stop = true;
    finish();
}

void TWTextLayout::Prefetch::finish()
{
    for (const std::unique_ptr<QThread> &thread : m_state->threads)
        thread->wait();
    m_state->threads.clear();
}

int TWTextLayout::Prefetch::answered() const
{
    return m_state->answered;
}

Size TWTextLayout::requiredSizeForWidth(const AttributedString &text, float width, Size minSize,
                                        Size maxSize, float lineFragmentPadding)
{
    return measure(text, width, minSize, maxSize, lineFragmentPadding).size;
}

TWTextLayout::Measurement TWTextLayout::measure(const AttributedString &text, float width,
                                                Size minSize, Size maxSize,
                                                float lineFragmentPadding, bool keepsAhead)
{
    if (text.isEmpty())
        return {minSize, 0, containerMaximum};
    TWTextLayout &engine = shared();
    engine.setLineFragmentPadding(lineFragmentPadding);
    engine.setContainerSize(Size(std::min(width, maxSize.width), maxSize.height));
    Measurements &known = measurements();
    Size used;
    bool leftAligned = false;
    std::optional<bool> withinAdvances;
    const float container = engine.m_containerSize.width;
    float narrowest = container, widest = container;
    const size_t hash = textHash(text);
    if (const std::optional<Measurements::Found> found =
            known.find(text, hash, engine.m_containerSize, engine.m_padding)) {
        used = found->used;
        narrowest = found->narrowest;
        widest = found->widest;
    } else if (Prefetch::State *ahead = installedPrefetch();
               ahead && ahead->take(text, hash, engine.m_containerSize, engine.m_padding, used,
                                    leftAligned, withinAdvances)) {
        // Kept as if measured here, so that a narrower width may answer from it.
        if (keepsAhead)
            known.add(text, hash, engine.m_containerSize, engine.m_padding, used, leftAligned,
                      withinAdvances);
        if (leftAligned && withinAdvances.value_or(false))
            narrowest = used.width + Measurements::LineWidthRounding;
    } else {
        engine.setAttributedString(text);
        used = engine.usedRect().size;
        known.add(text, hash, engine.m_containerSize, engine.m_padding, used,
                  engine.linesStartAtTheLeftEdgeAtFullWidth());
    }
    engine.clear();
    return {Size(std::max(used.width + 1.0f, minSize.width), std::max(used.height, minSize.height)),
            std::min(narrowest, container), widest};
}
