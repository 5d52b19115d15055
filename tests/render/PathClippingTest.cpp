#include "render/PathClipping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

qreal areaOf(const QPainterPath &path)
{
    qreal area = 0;
    for (const QPolygonF &polygon : path.toFillPolygons()) {
        qreal twice = 0;
        for (qsizetype i = 0; i < polygon.size(); ++i) {
            const QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            twice += a.x() * b.y() - b.x() * a.y();
        }
        area += std::abs(twice) / 2;
    }
    return area;
}

QPainterPath wedge(QPointF tip, QPointF centre, qreal halfWidth)
{
    QPainterPath path;
    const QPointF handle(tip.x() - 50, tip.y());
    path.moveTo(tip);
    path.cubicTo(handle, handle, centre + QPointF(-halfWidth, 0));
    path.lineTo(centre + QPointF(halfWidth, 0));
    path.cubicTo(handle, handle, tip);
    path.closeSubpath();
    return path;
}

const QRectF View(0, 0, 400, 300);

TEST(PathClipping, CutsToTheRectangle)
{
    QPainterPath square;
    square.addRect(100, 100, 50, 50);
    QPainterPath covering;
    covering.addRect(-1000, -1000, 3000, 3000);
    QPainterPath outside;
    outside.addEllipse(1000, 1000, 50, 50);
    QPainterPath across(QPointF(-500, 150));
    across.lineTo(900, 150);
    struct Case
    {
        const char *name;
        QPainterPath path;
        int runs;
        bool closedRun; // the figure kept whole
        qreal fillArea;
    };
    const Case cases[] = {
        {"a figure inside stays whole", square, 1, true, 2500},
        {"a figure around the view fills it, with no line in it", covering, 0, false, 400 * 300},
        {"a figure outside leaves nothing", outside, 0, false, 0},
        {"a line across is cut at both edges and fills nothing", across, 1, false, 0},
        {"a figure cut across its start is one run", wedge(QPointF(200, 150), {200, 5000}, 10), 1,
         false, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PathClipping::Clipped cut = PathClipping::clip(c.path, View, 0.05);
        ASSERT_EQ(cut.runs.size(), c.runs);
        if (c.runs > 0)
            EXPECT_EQ(cut.runs[0].first() == cut.runs[0].last(), c.closedRun);
        for (const QPolygonF &run : cut.runs) {
            for (const QPointF &p : run) {
                EXPECT_TRUE(View.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(p))
                    << p.x() << ", " << p.y();
            }
        }
        if (c.fillArea >= 0)
            EXPECT_NEAR(areaOf(cut.fill), c.fillArea, 1);
        EXPECT_EQ(cut.isEmpty(), c.runs == 0 && c.fillArea == 0);
    }
}

// A curve running far beyond the view: what is kept is the part in view,
// at the tolerance, however long the rest.
TEST(PathClipping, ALongFigureCostsWhatShows)
{
    for (const qreal far : {2000.0, 200000.0, 2e6}) {
        SCOPED_TRACE(far);
        const QPainterPath path = wedge(QPointF(300, far), QPointF(200, 150), 10);
        const PathClipping::Clipped cut = PathClipping::clip(path, View, 0.05);
        int points = 0;
        for (const QPolygonF &run : cut.runs)
            points += int(run.size());
        // Up one side, across the wide end and down the other.
        EXPECT_EQ(cut.runs.size(), 1);
        EXPECT_LT(points, 60);
        QPainterPath window;
        window.addRect(View);
        EXPECT_NEAR(areaOf(cut.fill), areaOf(path.intersected(window)), 0.01 * areaOf(cut.fill));
        // The lines kept lie on the figure's outline.
        for (const QPolygonF &run : cut.runs) {
            for (const QPointF &p : run) {
                QPainterPath probe;
                probe.addEllipse(p, 0.2, 0.2);
                EXPECT_TRUE(path.intersects(probe) && !path.contains(probe))
                    << p.x() << ", " << p.y();
            }
        }
    }
}

TEST(PathClipping, RunsDistance)
{
    const QVector<QPolygonF> a{QPolygonF{QPointF(0, 0), QPointF(100, 0)}};
    const QVector<QPolygonF> shifted{QPolygonF{QPointF(0, 0.2), QPointF(100, 0.2)}};
    const QVector<QPolygonF> longer{QPolygonF{QPointF(0, 0), QPointF(50, 0), QPointF(140, 0)}};
    EXPECT_DOUBLE_EQ(PathClipping::runsDistance(a, a), 0);
    EXPECT_NEAR(PathClipping::runsDistance(a, shifted), 0.2, 1e-9);
    // Either way: a line that goes on further is not the same line.
    EXPECT_NEAR(PathClipping::runsDistance(a, longer), 40, 1e-9);
    EXPECT_NEAR(PathClipping::runsDistance(longer, a), 40, 1e-9);
    EXPECT_EQ(PathClipping::runsDistance(a, {}), std::numeric_limits<qreal>::infinity());
    EXPECT_DOUBLE_EQ(PathClipping::runsDistance({}, {}), 0);
}

} // namespace
