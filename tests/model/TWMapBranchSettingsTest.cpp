#include "BranchTestSupport.h"
#include "model/TWAttachedText.h"
#include "model/TWRecordSupport.h"
#include "model/TWResource.h"

using namespace BranchTest;

namespace {

class TWMapBranchSettingsTest : public BranchFixture
{
protected:
    TWMapBranchSettingsTest()
    {
        layout->boundaryPath = Rect(0, 0, 10, 10);
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
    }
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'200'000'000, Qt::UTC);
    CalendarDate at(double seconds) const
    {
        return CalendarDate(now.addMSecs(qint64(seconds * 1000)), TimeZone());
    }
};

// Redraw and state notifications, and the keys of change notices, in order.
class PostRecorder
{
public:
    QStringList posts;

private:
    ObserverToken m_token = NotificationCenter::defaultCenter().observe(
        QString(), nullptr, [this](const Notification &n) {
            if (n.name == TWRecord::ValueDidChangeNotification)
                posts << "key:" + n.userInfo.value(TWRecord::KeyKey).toString();
            else if (n.name != "DelayedRedrawInRectNotification")
                posts << QString(n.name).remove("Notification");
        });
};

TEST_F(TWMapBranchSettingsTest, EachSetterRegistersItsInverseNamesItAndPostsInOrder)
{
    // clang-format off
    struct Case { const char *key; QVariant value; QString action, posts, calls; } cases[] = {
        {"overriddenChildRepel", 4.f, "", "", ""},
        {"boundaryLineWidth", 3.f, "", "RedrawInRect RedrawInRect", ""},
        {"boundaryCurveRadius", 5.f, "", "RedrawInRect", "invalidate boundary b|recalculate boundary b"},
        {"hasBoundary", true, "", "RedrawInRect", "invalidate boundary b|arrange b|recalculate boundary b"},
        // Without a boundary the map is not re-arranged.
        {"boundaryMargin", 7.f, "", "RedrawInRect RedrawInRect", "invalidate boundary b|recalculate boundary b"},
        {"hideChildrenOutlineNumbers", true, "Show/Hide Children Outline Numbers",
         "SubtreeNeedsRedraw HideChildrenOutlineNumbers", "renumber"},
        {"showCheckBox", true, "", "BranchNeedsRedraw", "natural size b 1 1"},
        {"checkBoxState", 1, "", "BranchNeedsRedraw", ""},
        {"childrenHidden", true, "Hide Children", "SubtreeNeedsRedraw HideChildren EndEditingText",
         "arrange b|invalidate boundary root|invalidate boundary b"},
        {"priority", 2, "Set priority", "key:hasPriority BranchNeedsRedraw key:priority", "natural size b 1 1"},
        {"startDateEnabled", true, "Set start date", "key:startDateEnabled key:hasSchedule key:startDate", ""},
        {"endDateEnabled", true, "Set end date", "key:endDateEnabled key:hasSchedule key:endDate", ""},
        {"percentageComplete", 0.f, "Set percentage complete",
         "key:hasCompletion key:isComplete BranchNeedsRedraw key:percentageComplete", "natural size b 1 1"},
        {"duration", 2.f, "Set task duration", "key:hasDuration key:duration", ""},
        {"durationUnits", 4, "Set task duration units", "key:durationUnits", ""},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        auto b = child(root, 100, "b");
        settle();
        const QVariant before = b->valueForKey(c.key);
        PostRecorder recorder;
        ASSERT_TRUE(b->setValueForKey(c.value, c.key));
        EXPECT_EQ(recorder.posts.join(' '), c.posts);
        EXPECT_EQ(layout->calls.join('|'), c.calls);
        undo->closeEventGroup();
        EXPECT_EQ(undo->undoActionName(), c.action);
        const int steps = undo->undoStepCount();
        recorder.posts.clear();
        b->setValueForKey(b->valueForKey(c.key), c.key); // unchanged: nothing
        undo->closeEventGroup();
        EXPECT_EQ(recorder.posts, QStringList());
        EXPECT_EQ(undo->undoStepCount(), steps);
        undo->undo();
        EXPECT_EQ(b->valueForKey(c.key), before);
        b->remove();
        settle();
    }
}

TEST_F(TWMapBranchSettingsTest, RefitOnlyWhenAnIndicatorComesOrGoes)
{
    // clang-format off
    const struct { const char *key; float from, to; bool refit; } cases[] = {
        {"priority", 2, 3, false}, {"priority", 0, 2, true}, {"percentageComplete", -1, 0, true},
        {"percentageComplete", 50, -1, true}, {"percentageComplete", 50, 60, false}};
    // clang-format on
    auto b = child(root, 100, "b");
    for (const auto &c : cases) {
        b->setValueForKey(c.from, c.key);
        settle();
        b->setValueForKey(c.to, c.key);
        EXPECT_EQ(!layout->calls.isEmpty(), c.refit) << c.key << " " << c.from << " " << c.to;
    }
}

TEST_F(TWMapBranchSettingsTest, PrimaryAttachedTextMakesTakesAndRemovesTheFirstText)
{
    // clang-format off
    const struct { int texts; QString set; int count; float widthChange; } cases[] = {
        {2, "", 1, -19}, {2, "new", 2, 0}, {0, "new", 1, 19}, {0, "", 1, 19}};
    // clang-format on
    for (const auto &c : cases) {
        auto b = child(root, 100, "b");
        for (int i = 0; i < c.texts; ++i)
            b->insertObjectInAttachedTextArrayAtIndex(
                std::make_shared<TWAttachedText>(std::nullopt, undo.get()), 0);
        const float width = b->mainGraphic()->bounds().width();
        b->setPrimaryAttachedText(std::make_shared<const AttributedString>(c.set));
        EXPECT_EQ(b->countOfAttachedTextArray(), c.count) << c.texts << c.set.toStdString();
        EXPECT_EQ(b->mainGraphic()->bounds().width() - width, c.widthChange);
        EXPECT_EQ(b->primaryAttachedText() ? b->primaryAttachedText()->string() : "", c.set);
    }
}

TEST_F(TWMapBranchSettingsTest, ProgressAndOverdueByCompletionAndSchedule)
{
    const std::optional<double> none;
    // clang-format off
    // Start and end in seconds from now; completion, complete, schedule, in progress, overdue.
    const struct { float percentage; std::optional<double> start, end; QList<bool> states; } cases[] = {
        {100, -10, -5, {true, true, true, false, false}}, {0, none, none, {true, false, false, false, false}},
        {0, -10, 10, {true, false, true, true, false}},   {0, 10, 20, {true, false, true, false, false}},
        {50, -20, -10, {true, false, true, true, true}},
        {-1, -20, -10, {false, false, true, true, false}},  // no completion data: never overdue
        {-1, -10, -9, {false, false, false, false, false}}, // one second apart: no schedule
        {-1, -10, -8.5, {false, false, true, true, false}}};
    // clang-format on
    auto b = child(root, 100, "b");
    for (const auto &c : cases) {
        b->setPercentageComplete(c.percentage);
        b->setStartDate(c.start ? std::optional(at(*c.start)) : std::nullopt);
        b->setEndDate(c.end ? std::optional(at(*c.end)) : std::nullopt);
        EXPECT_EQ(QList<bool>({b->hasCompletion(), b->isComplete(), b->hasSchedule(),
                               b->isInProgress(now), b->isOverdue(now)}),
                  c.states)
            << c.percentage << " " << c.start.value_or(0) << " " << c.end.value_or(0);
    }
    b->setStartDate(at(2 * 86400));
    b->setEndDate(at(3 * 86400));
    EXPECT_EQ(QList<bool>({b->isScheduledToStartIn(0, now), b->isScheduledToStartIn(2, now),
                           b->isScheduledToStartIn(2.5, now)}),
              QList<bool>({false, false, true}));
}

TEST_F(TWMapBranchSettingsTest, DurationsInSecondsAsTextAndBetweenTheDates)
{
    // clang-format off
    const struct { float duration; int units; double seconds; QString text; } units[] = {
        {2, 4, 1209600, "2.0 Weeks"}, {0, 3, 0, ""}, {1.5, 6, 47304000, "1.5 Years"}, {3, 9, 0, "3.0 "}};
    // clang-format on
    auto b = child(root, 100, "b");
    for (const auto &u : units) {
        b->setDuration(u.duration);
        b->setDurationUnits(u.units);
        EXPECT_EQ(b->durationInSeconds(), u.seconds) << u.duration << " " << u.units;
        EXPECT_EQ(b->durationString(), u.text);
    }
    // clang-format off
    const struct { double seconds; float duration; int units; } spans[] = {
        {36 * 3600, 1.5, 3}, {90 * 60, 1.5, 2}, {30 * 60, 30, 1}};
    // clang-format on
    for (const auto &s : spans) {
        b->setStartDate(at(0));
        b->setEndDate(at(s.seconds));
        b->calculateDuration();
        EXPECT_EQ(QList<float>({b->duration(), float(b->durationUnits())}),
                  QList<float>({s.duration, float(s.units)}));
        b->setStartDate(std::nullopt);
        b->calculateStartDate();
        EXPECT_EQ(b->startDate()->instant(), now);
    }
    b->setDuration(1e30f); // beyond any calendar: the dates stay
    b->calculateStartDate();
    EXPECT_EQ(b->startDate()->instant(), now);
}

TEST_F(TWMapBranchSettingsTest, AllocationByIdentifierAndTheToolTip)
{
    auto ann = std::make_shared<TWResource>("Ann Lee", nullptr);
    auto bob = std::make_shared<TWResource>("Bob", nullptr);
    document->addResource(bob);
    auto b = child(root, 100, "b");
    settle();
    const int steps = undo->undoStepCount();
    b->allocateResources({ann, bob, ann});
    undo->closeEventGroup();
    EXPECT_EQ(b->resourcesAllocated(),
              QStringList({*ann->resourceIdentifier(), *bob->resourceIdentifier()}));
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    // The document keeps a copy of what it did not know.
    EXPECT_NE(document->resourceWithIdentifier(*ann->resourceIdentifier()), nullptr);
    b->insertObjectInResourcesAllocatedAtIndex("unknown", 2);
    EXPECT_EQ(b->allocatedResourcesTooltipString(), "Ann Lee\nBob");
    b->unallocateResource(bob);
    EXPECT_EQ(b->allocatedResourcesTooltipString(), "Ann Lee");
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Remove resource");
    undo->undo();
    EXPECT_TRUE(b->hasAllocatedResource(bob));

    b->allocateResourceFromXMLString("<TWResource><resourceName>");
    b->removeObjectFromResourcesAllocatedAtIndex(5);
    EXPECT_EQ(b->resourcesAllocated().size(), 2);
}

TEST_F(TWMapBranchSettingsTest, ReportsPickBranchesByTheirTaskState)
{
    auto p1 = child(root, 100, "p1"), p2 = child(root, 200, "p2"), p3 = child(p2, 300, "p3");
    p1->setPriority(1);
    p2->setPriority(2);
    p3->setPriority(3);
    p2->setPercentageComplete(100);
    auto ann = std::make_shared<TWResource>("Ann", nullptr);
    p3->allocateResource(ann);
    const QVariant resources = QVariant::fromValue(TWMapBranch::ResourceList{ann});
    // clang-format off
    const struct { QVariantMap report; QStringList matched; } cases[] = {
        {{{"reportMinimumPriority", false}}, {"root", "p1", "p2", "p3"}},
        {{{"reportMinimumPriority", true}, {"reportMinimumPriorityValue", 2}}, {"p2", "p3"}},
        {{{"reportMaximumPriority", true}, {"reportMaximumPriorityValue", 2}}, {"p1", "p2"}},
        {{{"reportComplete", true}, {"reportCompleteValue", true}}, {"p2"}},
        {{{"reportInProgress", true}, {"reportInProgressValue", false}}, {"p2"}},
        {{{"reportResourceAllocation", true}, {"resources", resources}}, {"p3"}},
        // clang-format on
    };
    for (const auto &c : cases) {
        TWMapBranch::BranchList found;
        root->addBranchesMatchingReport(c.report, found, now);
        root->addBranchesMatchingReport(c.report, found, now); // none twice
        EXPECT_EQ(names(found), c.matched) << c.report.keys().join(' ').toStdString();
    }
}

} // namespace
