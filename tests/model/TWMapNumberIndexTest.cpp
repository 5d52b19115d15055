#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"

#include <functional>

using namespace BranchTest;

namespace {

// The lookup by number is kept up to date edit by edit; after each edit it
// must answer what a slow walk over the whole map finds.
class TWMapNumberIndexTest : public BranchFixture
{
protected:
    static void ownGraphics(const TWMapBranch &b, TWMap::GraphicList &into)
    {
        for (const std::shared_ptr<TWGraphic> &g :
             {b.mainGraphic(), std::shared_ptr<TWGraphic>(b.enclosedTextArea()), b.enclosedImage(),
              std::shared_ptr<TWGraphic>(b.connectionGraphic())}) {
            if (g)
                into << g;
        }
        into << b.linkedGraphics();
        for (const auto &record : b.otherEnclosedGraphics())
            into << record->graphic();
        for (const auto &child : b.children())
            ownGraphics(*child, into);
    }
    TWMap::GraphicList everyGraphic() const
    {
        TWMap::GraphicList all;
        for (const auto &line : map->linkLines())
            all << line;
        ownGraphics(*map->root(), all);
        return all;
    }
    static QList<long> numbersOf(const TWMap::GraphicList &graphics)
    {
        QList<long> numbers;
        for (const auto &g : graphics)
            numbers << g->graphicNumber();
        return numbers;
    }
    QList<long> subtreeNumbers(const TWMapBranch &b) const
    {
        TWMap::GraphicList graphics;
        ownGraphics(b, graphics);
        return numbersOf(graphics);
    }
    std::shared_ptr<TWGraphic> attach(const std::shared_ptr<TWMapBranch> &b)
    {
        auto g = TWGraphic::createWithBounds(Rect(0, 0, 10, 10));
        g->setBranch(b.get());
        b->insertObjectInLinkedGraphicsAtIndex(g, 0);
        return g;
    }
};

TEST_F(TWMapNumberIndexTest, LookupsFollowEveryEditOfTheMap)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto b = child(root, 300, "b");
    ASSERT_EQ(map->findGraphicWithGraphicNumber(a1->mainGraphic()->graphicNumber()),
              a1->mainGraphic()); // the index is built here and kept from now on

    std::shared_ptr<TWGraphic> attached, twin;
    std::shared_ptr<TWLinkLine> line;
    std::shared_ptr<TWMapBranch> removed;
    struct Step
    {
        const char *name;
        // Does the edit; returns the numbers that must no longer be found.
        std::function<QList<long>()> edit;
    };
    const Step steps[] = {
        {"a new grandchild",
         [&] {
             child(a1, 100, "a11");
             return QList<long>();
         }},
        {"branches joining one at a time past the index's room",
         [&] {
             for (int i = 0; i < 150; ++i)
                 child(b, 100 + i, QStringLiteral("b%1").arg(i));
             return QList<long>();
         }},
        {"an attached graphic",
         [&] {
             attached = attach(b);
             return QList<long>();
         }},
        {"attached graphics hidden",
         [&] {
             map->branchDisplaySettingsForUpdate().showAttachedGraphics = false;
             return QList<long>();
         }},
        {"a link line",
         [&] {
             line = TWGraphic::make<TWLinkLine>();
             line->setPrimitiveBranch(a.get());
             line->connect(a->mainGraphic(), attached);
             map->insertObjectInLinkLinesAtIndex(line, 0);
             return QList<long>();
         }},
        {"a replaced connection",
         [&] {
             const long old = b->connectionGraphic()->graphicNumber();
             b->setConnectionGraphic(TWTitleConnection::create(b->mainGraphic(), Point()));
             return QList<long>{old};
         }},
        {"an outline-number label",
         [&] {
             a1->setOutlineNumber("1.1");
             return QList<long>();
         }},
        {"a renumbered shape",
         [&] {
             const long old = a1->mainGraphic()->graphicNumber();
             a1->mainGraphic()->setGraphicNumber(987654);
             return QList<long>{old};
         }},
        {"re-sorted children",
         [&] {
             root->setChildren({b, a});
             return QList<long>();
         }},
        {"a removed subtree",
         [&] {
             settle();
             const QList<long> gone = subtreeNumbers(*a);
             a->remove();
             return gone;
         }},
        {"the removal undone",
         [&] {
             settle();
             undo->undo();
             return QList<long>();
         }},
        {"a removed attached graphic",
         [&] {
             const long number = attached->graphicNumber();
             attached->remove();
             return QList<long>{number};
         }},
        {"a removed link line",
         [&] {
             const long number = line->graphicNumber();
             line->remove();
             return QList<long>{number};
         }},
        {"a shape of a removed branch renumbered",
         [&] {
             removed = child(b, 500, "removed");
             b->removeChild(removed);
             removed->mainGraphic()->setGraphicNumber(4242);
             return QList<long>{4242};
         }},
        {"a subtree handed over before its old parent lets go",
         [&] {
             auto moved = child(b, 600, "moved");
             child(moved, 600, "moved1");
             TWMapBranch::BranchList children = a1->children();
             children << moved;
             a1->setChildren(children);
             moved->setParent(a1.get());
             b->removeChild(moved);
             return QList<long>();
         }},
        {"a number shared, then one of the two gone",
         [&] {
             twin = attach(b);
             twin->setGraphicNumber(a->mainGraphic()->graphicNumber());
             a->remove();
             return QList<long>();
         }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        const QList<long> gone = step.edit();
        const TWMap::GraphicList all = everyGraphic();
        for (const auto &g : all)
            EXPECT_EQ(map->findGraphicWithGraphicNumber(g->graphicNumber()), g)
                << g->className().toStdString();
        const QList<long> present = numbersOf(all);
        for (const long number : gone) {
            if (!present.contains(number)) {
                EXPECT_EQ(map->findGraphicWithGraphicNumber(number), nullptr) << number;
            }
        }
    }
    EXPECT_EQ(map->findGraphicWithGraphicNumber(twin->graphicNumber()), twin);
}

// Two thousand graphics joining, leaving and taking new numbers, close
// together and reused: every lookup answers as a scan of the map would.
TEST_F(TWMapNumberIndexTest, ManyNumbersJoiningAndLeavingAnswerAsAScan)
{
    std::vector<std::shared_ptr<TWMapBranch>> made;
    QList<long> gone;
    const auto removeEvery = [&](int step, int offset) {
        for (size_t i = size_t(offset); i < made.size(); i += size_t(step)) {
            if (TWMapBranch *parent = made[i]->parent()) {
                gone << subtreeNumbers(*made[i]);
                parent->removeChild(made[i]);
            }
        }
    };
    const struct
    {
        const char *name;
        std::function<void()> edit;
    } steps[] = {
        {"six hundred branches joined",
         [&] {
             for (int i = 0; i < 600; ++i) {
                 const auto &parent = i < 10 ? root : made[size_t((i * 37 + 11) % i)];
                 made.push_back(child(parent, float(10 * i), QString::number(i)));
                 if (i % 4 == 0)
                     attach(made.back());
             }
         }},
        {"every third subtree gone", [&] { removeEvery(3, 5); }},
        {"shapes renumbered side by side",
         [&] {
             for (size_t i = 0; i < made.size(); i += 5) {
                 if (made[i]->parent())
                     made[i]->mainGraphic()->setGraphicNumber(long(900000 + i));
             }
         }},
        {"numbers of gone graphics taken again",
         [&] {
             for (size_t i = 1; i < made.size() && !gone.isEmpty(); i += 4) {
                 if (made[i]->parent())
                     made[i]->enclosedTextArea()->setGraphicNumber(gone.takeFirst());
             }
         }},
        {"every second subtree gone", [&] { removeEvery(2, 1); }},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        step.edit();
        const TWMap::GraphicList all = everyGraphic();
        for (const auto &g : all)
            EXPECT_EQ(map->findGraphicWithGraphicNumber(g->graphicNumber()), g);
        const QList<long> present = numbersOf(all);
        for (const long number : std::as_const(gone)) {
            if (!present.contains(number))
                EXPECT_EQ(map->findGraphicWithGraphicNumber(number), nullptr) << number;
        }
    }
}

TEST_F(TWMapNumberIndexTest, ANewRootIsIndexedWhole)
{
    auto a = child(root, 100, "a");
    ASSERT_EQ(map->findGraphicWithGraphicNumber(a->mainGraphic()->graphicNumber()),
              a->mainGraphic());
    auto other = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 50, 20)),
                                                nullptr, map.get());
    auto o1 = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(90, 0, 50, 20)),
                                             other.get(), map.get());
    map->setRoot(other);
    EXPECT_EQ(map->findGraphicWithGraphicNumber(o1->mainGraphic()->graphicNumber()),
              o1->mainGraphic());
    EXPECT_EQ(map->findGraphicWithGraphicNumber(a->mainGraphic()->graphicNumber()), nullptr);
    map->setRoot(root);
}

} // namespace
