#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"
#include "render/DrawingContext.h"
#include "render/TWTextLayout.h"
#include "support/BezierPath.h"
#include "support/GGVecLib.h"

#include <QPainter>
#include <QTextBoundaryFinder>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace {

constexpr float HalfPi = 1.5707963f;
// Room kept between the curve and the middle of the lowest line, over half
// that line's height.
constexpr float LineGap = 3;
constexpr float UnboundedHeight = 100000;

// Walks a flattened path by length, for one line of text.
class PathWalk
{
public:
    explicit PathWalk(const BezierPath &path) : m_path(path)
    {
        m_start = m_path.isEmpty() ? Point() : m_path.elementAtIndex(0).points[0];
        restart();
    }

    // The point `target` along the path and the direction there, as the
    // angle from +x; nothing beyond the path's end.
    bool find(float target, Point &point, float &angle)
    {
        if (m_dist > target)
            restart();
        const int n = m_path.elementCount();
        while (m_k < n && target > m_dist) {
            const BezierPath::Element &e = m_path.elementAtIndex(m_k);
            const Point q = e.type == BezierPath::CurveToElement ? e.points[2] : e.points[0];
            const float vx = q.x - m_cur.x, vy = q.y - m_cur.y;
            const float s = std::hypot(vx, vy);
            const Point prev = m_cur;
            m_dist += s;
            m_cur = q;
            if (m_dist >= target) {
                angle = calculateAngleFromVertical(vx, vy) - HalfPi;
                const float u = (target - (m_dist - s)) / s;
                point = {prev.x + u * vx, prev.y + u * vy};
                // The next character measures this segment again.
                m_dist -= s;
                m_cur = prev;
                return true;
            }
            if (s > 0)
                m_last = {vx / s, vy / s};
            ++m_k;
        }
        if (m_k < n || m_last == Point())
            return false;
        // Past the end of a path shorter than its line (an offset curve
        // inside a bend): the character goes on in the last direction
        // rather than jumping to the map's origin.
        const float beyond = target - m_dist;
        point = {m_cur.x + beyond * m_last.x, m_cur.y + beyond * m_last.y};
        angle = calculateAngleFromVertical(m_last.x, m_last.y) - HalfPi;
        return true;
    }

private:
    void restart()
    {
        m_cur = m_start;
        m_dist = 0;
        m_k = 0;
    }

    const BezierPath &m_path;
    Point m_start;
    Point m_cur;
    Point m_last;
    float m_dist = 0;
    int m_k = 0;
};

bool isRegionalIndicator(const QString &string, qsizetype at)
{
    if (at + 1 >= string.size() || !string[at].isHighSurrogate())
        return false;
    const char32_t c = QChar::surrogateToUcs4(string[at], string[at + 1]);
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// The end of the user-perceived character starting at `start`. The
// platform's finder splits a flag; its two regional indicators (counted in
// pairs from the start of a run) are put back together.
qsizetype graphemeEnd(QTextBoundaryFinder &finder, const QString &string, qsizetype start)
{
    finder.setPosition(int(start));
    qsizetype end = finder.toNextBoundary();
    if (end <= start || end > string.size())
        end = start + 1;
    if (end == start + 2 && isRegionalIndicator(string, start) &&
        isRegionalIndicator(string, end)) {
        qsizetype run = start;
        while (run >= 2 && isRegionalIndicator(string, run - 2))
            run -= 2;
        if ((start - run) % 4 == 0)
            end += 2;
    }
    return end;
}

bool isParagraphEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

void TWTextArea::generateFlexiCharacters()
{
    TWMapBranch *owner = branch();
    const std::shared_ptr<TWGraphic> shape = owner ? owner->mainGraphic() : nullptr;
    setDrawingBoundsValid(false);
    if (shape) {
        shape->setDrawingBoundsValid(false);
        NotificationCenter::defaultCenter().post(TWGraphic::GraphicDrawingBoundsInvalidNotification,
                                                 shape->notificationObject());
    }
    m_flexiCharacters.clear();
    if (m_text.isEmpty() || !shape)
        return;
    const std::shared_ptr<BezierPath> curve = shape->bezierPath();
    const float length = curve ? curve->bezierPathLength() : 0;
    if (!(length > 0) || !std::isfinite(length))
        return;
    const float lead = owner->totalWidthToAllowForOtherEnclosedGraphics();
    const float tail = owner->totalWidthForSuffixImages();

    TWTextLayout &layout = TWTextLayout::shared();
    layout.setLineFragmentPadding(m_lineFragmentPadding);
    layout.setContainerSize(Size(std::max(length - lead - tail, 0.0f), UnboundedHeight));
    layout.setAttributedString(m_text);
    const Rect used = layout.usedRect();
    const float usedBottom = used.maxY();
    const QString &string = m_text.string();
    const qsizetype laidOut = std::min(layout.laidOutLength(), string.size());

    // One record per grapheme: an emoji sequence or a letter with its
    // combining marks stays one drawn piece.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, string);
    std::optional<BezierPath> linePath;
    std::optional<PathWalk> walk;
    std::unordered_map<QString, std::vector<const TWFlexiBranchTransformedCharacter *>> letters;
    // A letter met again within the same run of attributes is the same
    // character: copied from the first rather than cut out and compared.
    std::unordered_map<QString, std::pair<qsizetype, const TWFlexiBranchTransformedCharacter *>>
        inRun;
    AttributedString::Range run{0, 0};
    float lineY = 0;
    qsizetype start = 0;
    while (start < laidOut) {
        const qsizetype end = graphemeEnd(graphemes, string, start);
        const AttributedString::Range range{start, end - start};
        const qsizetype first = start;
        start = end;
        if (isParagraphEnd(string[first]))
            continue;

        // The cluster spans its characters' advances on their line.
        Rect glyph = layout.boundingRectForGlyph(first);
        for (qsizetype i = first + 1; i < end && i < laidOut; ++i) {
            const Rect next = layout.boundingRectForGlyph(i);
            const float left = std::min(glyph.minX(), next.minX());
            const float right = std::max(glyph.maxX(), next.maxX());
            glyph = Rect(left, glyph.y(), right - left, glyph.height());
        }
        if (!linePath || glyph.y() != lineY) {
            // A new line, laid on its own path: the lower the line, the
            // nearer the curve.
            const Rect fragment = layout.lineFragmentUsedRectForGlyph(first);
            const float offset = usedBottom - (fragment.y() + fragment.height() / 2) + LineGap;
            const std::shared_ptr<BezierPath> path = bezierPathOffsetVerticallyBy(offset, false);
            if (!path || path->isEmpty())
                break;
            walk.reset();
            linePath = *path;
            walk.emplace(*linePath);
            lineY = glyph.y();
        }

        const float target = lead + glyph.x() + glyph.width() / 2;
        Point drawPoint;
        float angle = 0;
        walk->find(target, drawPoint, angle);

        if (first < run.location || first >= run.end())
            m_text.attributesAtIndex(first, &run);
        const bool withinRun = end <= run.end();
        const QString letter = string.mid(first, end - first);
        const auto model = withinRun ? inRun.find(letter) : inRun.end();
        std::shared_ptr<TWFlexiBranchTransformedCharacter> character;
        if (model != inRun.end() && model->second.first == run.location) {
            character = std::make_shared<TWFlexiBranchTransformedCharacter>(*model->second.second);
        } else {
            character = std::make_shared<TWFlexiBranchTransformedCharacter>();
            character->setAttributedString(m_text.attributedSubstringFromRange(range));
            // The same letter in the same style is laid out once per label.
            std::vector<const TWFlexiBranchTransformedCharacter *> &same = letters[letter];
            for (const TWFlexiBranchTransformedCharacter *earlier : same)
                if (earlier->attributedString() == character->attributedString()) {
                    character->shareLayoutOf(*earlier);
                    break;
                }
            same.push_back(character.get());
            if (withinRun)
                inRun[letter] = {run.location, character.get()};
        }
        const Size size = character->size();
        QTransform transform;
        transform.translate(drawPoint.x, drawPoint.y);
        transform.rotateRadians(-angle);
        transform.translate(-size.width / 2, -size.height / 2);
        character->setTransform(transform);
        character->setDrawPoint(drawPoint);
        character->setAngle(angle);
        m_flexiCharacters.push_back(std::move(character));
    }
    layout.clear();
}

void TWTextArea::drawFlexiText(const DrawingContext &context)
{
    // An empty label has nothing to lay out; laying it out again would drop
    // the drawing bounds of the branch at every drawing.
    if (m_flexiCharacters.empty() && !m_text.isEmpty())
        generateFlexiCharacters();
    QPainter &painter = context.painter();
    for (const FlexiCharacter &character : m_flexiCharacters) {
        painter.save();
        painter.setTransform(character->transform(), true);
        character->draw(painter);
        painter.restore();
    }
}
