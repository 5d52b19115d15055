#include "BranchTestSupport.h"

#include "graphics/TWInheritedLookups.h"

#include <gtest/gtest.h>

namespace {

class InheritedLookups : public BranchTest::BranchFixture
{};

using Branch = std::shared_ptr<TWMapBranch>;

struct Answers
{
    QList<std::optional<Shadow>> shadows;
    QList<Color> strokes;
    bool operator==(const Answers &other) const
    {
        return shadows == other.shadows && strokes == other.strokes;
    }
    bool operator!=(const Answers &other) const { return !(*this == other); }
};

// Kept lookups answer as the walk up the tree does, whatever the order the
// graphics are asked in: the deepest first, so that its walk fills in every
// ancestor, then the shallowest, which fills in nothing.
TEST_F(InheritedLookups, KeptAnswersAreThoseOfTheWalk)
{
    const Shadow near(Size(2, -2), 3, std::nullopt);
    const Shadow far(Size(30, -30), 20, Color::colorWithCalibratedRed(0.2, 0.4, 0.6));
    const Color red = Color::colorWithCalibratedRed(1, 0, 0);
    const struct
    {
        const char *name;
        std::function<void(const QList<Branch> &)> set; // on a chain of 12
    } cases[] = {
        {"all inherited", [](const QList<Branch> &) {}},
        {"own shadow and colour halfway",
         [&](const QList<Branch> &chain) {
             TWGraphic &g = *chain.at(5)->mainGraphic();
             g.setInheritsShadow(false);
             g.setShadow(near);
             g.setInheritsStroke(false);
             g.setDrawsStroke(true);
             g.setStrokeColor(red);
         }},
        {"the root's shadow, and one below it",
         [&](const QList<Branch> &chain) {
             root->mainGraphic()->setShadow(far);
             TWGraphic &g = *chain.at(8)->mainGraphic();
             g.setInheritsShadow(false);
             g.setShadow(near);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<Branch> chain;
        Branch parent = root;
        for (int i = 0; i < 12; ++i)
            chain.append(parent = child(parent, 100 + 10 * i, QStringLiteral("c%1").arg(i),
                                        500 + 100 * i));
        c.set(chain);
        settle();
        QList<TWGraphic *> graphics;
        for (auto it = chain.crbegin(); it != chain.crend(); ++it) {
            graphics.append((*it)->mainGraphic().get());
            graphics.append((*it)->enclosedTextArea().get());
            if ((*it)->connectionGraphic())
                graphics.append((*it)->connectionGraphic().get());
        }
        const auto ask = [&graphics] {
            Answers a;
            for (TWGraphic *g : std::as_const(graphics)) {
                a.shadows.append(g->inheritedShadow());
                a.strokes.append(g->inheritedStrokeColor());
            }
            return a;
        };
        const Answers walked = ask();
        {
            TWInheritedLookups kept;
            EXPECT_EQ(ask(), walked) << "asked first";
            EXPECT_EQ(ask(), walked) << "asked again";
            EXPECT_EQ(kept.shadows.size(), graphics.size() + 1) << "and the root's";
            EXPECT_FALSE(kept.strokeColors.isEmpty());
        }
        EXPECT_EQ(TWInheritedLookups::current(), nullptr);
        // Gone with its scope: a change is seen at once.
        root->mainGraphic()->setShadow(Shadow(Size(9, 9), 1, std::nullopt));
        EXPECT_NE(ask(), walked);
        root->mainGraphic()->setShadow(std::nullopt);
        root->removeChild(chain.first());
        settle();
    }
}

} // namespace
