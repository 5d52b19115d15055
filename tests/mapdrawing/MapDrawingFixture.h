#pragma once

#include "BranchTestSupport.h"
#include "graphics/TWRectangle.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "render/DrawingContext.h"
#include "render/TWDrawingView.h"

#include <QHash>
#include <QPainter>
#include <functional>

namespace MapDrawingTest {

using namespace BranchTest;

// Layout answers as the layout code gives them: a 13 x 13 collapse sign
// just right of a shape with children.
class SignLayout : public RecordingLayout
{
public:
    Rect boundsOfShowAndHideImage(TWMapBranch &b) override
    {
        if (b.countOfChildren() == 0 || !b.mainGraphic())
            return {};
        const Rect m = b.mainGraphic()->bounds();
        return {m.maxX() + 2, m.midY() - 6.5f, 13, 13};
    }
};

// Tool tips registered by a drawing, by tag.
class RecordingToolTips : public TWToolTipRegistry
{
public:
    struct Tip
    {
        Rect rect;
        TextProvider text;
    };
    QHash<int, Tip> tips;
    int next = 1;

    int addToolTipRect(Rect rect, TextProvider text) override
    {
        tips.insert(next, {rect, std::move(text)});
        return next++;
    }
    void removeToolTip(int tag) override { tips.remove(tag); }
};

class ToolTipView : public TWDrawingView
{
public:
    std::unique_ptr<RecordingToolTips> registry = std::make_unique<RecordingToolTips>();
    TWToolTipRegistry *toolTipRegistry() const override { return registry.get(); }
};

// A rectangle that notes its label in a shared log whenever it is drawn.
class Probe : public TWRectangle
{
public:
    QString label;
    QStringList *log = nullptr;
    void drawInView(const DrawingContext &, const TWDrawingView *, bool,
                    const std::optional<Shadow> &, bool) override
    {
        if (log)
            log->append(label);
    }
};

class MapFixture : public BranchFixture
{
protected:
    MapFixture() { map->setLayoutServices(signs); }

    std::shared_ptr<TWHyperlink> hyperlink(int type = 1)
    {
        return std::make_shared<TWHyperlink>(type, QStringLiteral("https://example.org/"),
                                             std::nullopt, std::nullopt, std::nullopt);
    }
    std::shared_ptr<TWAttachedText> attachedText()
    {
        return std::make_shared<TWAttachedText>(std::nullopt, undo.get());
    }
    static QImage render(Size size, const std::function<void(const DrawingContext &)> &draw,
                         bool screen = false)
    {
        QImage image = DrawingContext::makeImage(size, 1.0, Qt::white);
        QPainter painter(&image);
        DrawingContext context(painter, screen);
        draw(context);
        return image;
    }

    std::shared_ptr<SignLayout> signs = std::make_shared<SignLayout>();
};

} // namespace MapDrawingTest
