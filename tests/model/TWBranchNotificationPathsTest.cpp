#include "BranchTestSupport.h"

#include <functional>
#include <optional>

using namespace BranchTest;

namespace {

class TWBranchNotificationPathsTest : public BranchFixture
{
protected:
    // What making and editing a branch posts, as "name@who" in order, who
    // being one of the branch's own objects or its parent.
    QStringList postsOfANewBranch(Recorder &recorder)
    {
        recorder.clear();
        auto b = child(root, 120, "b");
        b->mainGraphic()->setBounds(Rect(520, 130, 90, 40));
        b->enclosedTextArea()->setBounds(Rect(525, 140, 70, 20));
        b->enclosedTextArea()->setDrawsFill(true);
        b->mainGraphic()->setDrawsStroke(!b->mainGraphic()->drawsStroke());
        b->setHasBoundary(true);
        b->setBoundaryLineWidth(2);
        b->setHideChildrenOutlineNumbers(true);
        b->setChildrenHidden(true);
        b->setChildrenHidden(false);
        QStringList posts;
        for (const Notification &n : recorder.notifications) {
            const void *who = n.sender.identity();
            const QString label = who == b.get()                        ? "branch"
                                  : who == b->mainGraphic().get()       ? "shape"
                                  : who == b->enclosedTextArea().get()  ? "text"
                                  : who == b->connectionGraphic().get() ? "connection"
                                  : who == root.get()                   ? "root"
                                  : who == root->mainGraphic().get()    ? "root shape"
                                  : who == map.get()                    ? "map"
                                  : who == nullptr                      ? "nobody"
                                                                        : "other";
            const QVariant rect = n.userInfo.value(TWMapBranch::RectKey);
            posts << n.name + "@" + label + (rect.isValid() ? " " + rect.toString() : QString());
        }
        root->removeChild(b);
        settle();
        return posts;
    }
};

// Posters skip building a notification nobody could receive: an observer of
// one name still gets every post of it, in the order an observer of every
// name sees them.
TEST_F(TWBranchNotificationPathsTest, AnObserverOfOneNameSeesWhatAnObserverOfEveryNameSees)
{
    QStringList everything;
    {
        Recorder all;
        everything = postsOfANewBranch(all);
    }
    const QString names[] = {TWGraphic::GraphicNeedsRedrawNotification,
                             TWGraphic::BranchNeedsRedrawNotification,
                             TWGraphic::SubtreeNeedsRedrawNotification,
                             TWGraphic::GraphicWillChangeBoundsNotification,
                             TWGraphic::GraphicDidChangeBoundsNotification,
                             TWGraphic::BranchDidResizeNotification,
                             TWGraphic::UpdateTextEditorFrameNotification,
                             TWMapBranch::HideChildrenOutlineNumbersNotification,
                             TWMapBranch::ShowChildrenNotification,
                             TWMapBranch::DelayedRedrawInRectNotification};
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        QStringList expected;
        for (const QString &post : everything) {
            if (post.startsWith(name + "@"))
                expected << post;
        }
        EXPECT_FALSE(expected.isEmpty());
        Recorder one({name});
        EXPECT_EQ(postsOfANewBranch(one), expected);
    }
}

// With registration off nothing reaches the undo manager; with it on, each
// change is one step that undo reverts.
TEST_F(TWBranchNotificationPathsTest, ChangesRegisterTheirUndoOnlyWhileRegistrationIsOn)
{
    struct Objects
    {
        std::shared_ptr<TWMapBranch> b, other;
        std::shared_ptr<TWGraphic> picture;
    };
    const struct
    {
        const char *what;
        std::function<void(Objects &)> change;
        std::function<QString(Objects &)> state;
    } cases[] = {
        {"shape bounds", [](Objects &o) { o.b->mainGraphic()->setBounds(Rect(530, 140, 95, 45)); },
         [](Objects &o) { return o.b->mainGraphic()->bounds().toString(); }},
        {"graphic's branch", [](Objects &o) { o.picture->setBranch(o.b.get()); },
         [](Objects &o) { return QString::number(o.picture->branch() == o.b.get()); }},
        {"branch's map", [](Objects &o) { o.other->setMap(nullptr); },
         [](Objects &o) { return QString::number(o.other->map() != nullptr); }},
        {"branch setting", [](Objects &o) { o.b->setBoundaryLineWidth(4); },
         [](Objects &o) { return QString::number(o.b->boundaryLineWidth()); }},
        {"text stroke", [](Objects &o) { o.b->enclosedTextArea()->setDrawsStroke(true); },
         [](Objects &o) { return QString::number(o.b->enclosedTextArea()->drawsStroke()); }},
        {"children", [](Objects &o) { o.b->insertObjectInChildrenAtIndex(o.other, 0); },
         [](Objects &o) { return QString::number(o.b->countOfChildren()); }},
    };
    for (const auto &c : cases) {
        for (const bool recording : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (recording ? " recorded" : " not recorded"));
            Objects o{child(root, 120, "b"), child(root, 300, "other"),
                      TWGraphic::createWithBounds(Rect(0, 0, 10, 10))};
            settle();
            const int steps = undo->undoStepCount();
            const QString before = c.state(o);
            if (!recording)
                undo->disableUndoRegistration();
            c.change(o);
            if (!recording)
                undo->enableUndoRegistration();
            settle();
            EXPECT_NE(c.state(o), before);
            EXPECT_EQ(undo->undoStepCount(), steps + (recording ? 1 : 0));
            if (recording) {
                undo->undo();
                EXPECT_EQ(c.state(o), before);
            }
        }
    }
}

// A new branch takes the same boundary and child defaults, with the same
// requests to the layout, whether its setters run (something to register or
// someone watching redraws) or its values are stored directly.
TEST_F(TWBranchNotificationPathsTest, ANewBranchsDefaultsAreTheSameHoweverTheyAreSet)
{
    const auto defaults = [](const TWMapBranch &b) {
        const auto color = [](const std::optional<Color> &c) {
            return c ? c->description() : QString("none");
        };
        return QStringList{color(b.boundaryLineColor()),
                           color(b.boundaryFillColor()),
                           QString::number(b.boundaryLineStyle()),
                           QString::number(b.boundaryLineWidth()),
                           QString::number(b.boundaryCurveRadius()),
                           QString::number(b.boundaryCornerStyle()),
                           QString::number(b.boundaryMargin()),
                           QString::number(b.boundaryInheritsLineColor()),
                           QString::number(b.boundaryDrawsFill()),
                           QString::number(b.boundaryDrawsLine()),
                           QString::number(b.hasBoundary()),
                           QString::number(b.overriddenChildRepel()),
                           QString::number(b.overriddenChildSpacing()),
                           QString::number(b.overriddenChildrenColorMode()),
                           QString::number(b.overridesRainbowAngle()),
                           QString::number(b.overriddenRainbowAngle())};
    };
    const struct
    {
        const char *what;
        bool recording;
        bool redrawsWatched;
    } cases[] = {{"setters registering", true, false},
                 {"setters for a redraw observer", false, true},
                 {"stored directly", false, false},
                 {"both", true, true}};
    QStringList firstValues, firstCalls;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        layout->calls.clear();
        std::optional<Recorder> redraws;
        if (c.redrawsWatched)
            redraws.emplace(QStringList{TWMapBranch::RedrawInRectNotification});
        if (!c.recording)
            undo->disableUndoRegistration();
        auto b = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(500, 90, 80, 30)),
                                                root.get(), map.get());
        if (!c.recording)
            undo->enableUndoRegistration();
        const QStringList values = defaults(*b);
        const QStringList calls = layout->calls;
        EXPECT_TRUE(calls.contains("recalculate boundary " + nameOf(*b)));
        if (firstValues.isEmpty()) {
            firstValues = values;
            firstCalls = calls;
        }
        EXPECT_EQ(values, firstValues);
        EXPECT_EQ(calls, firstCalls);
        root->removeChild(b);
        settle();
    }
}

} // namespace

// A resize the document already holds among its changed branches is not
// posted while the document is the only one listening; anyone else still
// hears every one, and the document gathers the same branches either way.
TEST_F(TWBranchNotificationPathsTest, AResizeTheDocumentHoldsIsPostedOnlyForOthers)
{
    const auto edit = [&](Recorder *heard) {
        document->updateChangedBranches();
        if (heard)
            heard->clear();
        auto a = child(root, 100, "a");
        auto b = child(a, 140, "b");
        for (const float w : {90.0f, 110.0f, 70.0f}) {
            b->mainGraphic()->setBounds(Rect(520, 130, w, 40));
            a->mainGraphic()->setBounds(Rect(420, 90, w, 30));
        }
        child(a, 180, "c");
        QStringList changed;
        for (const std::shared_ptr<TWMapBranch> &branch : document->changedBranches())
            changed << (branch == a ? "a" : branch == b ? "b" : branch == root ? "root" : "other");
        const int posts = heard ? int(heard->notifications.size()) : 0;
        root->removeChild(a);
        settle();
        return std::pair{changed, posts};
    };
    const auto alone = edit(nullptr);
    Recorder heard({TWGraphic::BranchDidResizeNotification});
    const auto withOther = edit(&heard);
    EXPECT_EQ(alone.first, withOther.first);
    EXPECT_TRUE(alone.first.contains("a") && alone.first.contains("b"));
    // Every resize reaches the other listener, repeats included.
    EXPECT_GE(withOther.second, 7);
    // Emptied, the document hears a branch again.
    const auto again = edit(nullptr);
    EXPECT_EQ(again.first, alone.first);
}
