#include "../support/ImageTestData.h"
#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWRectangle.h"
#include "model/TWHyperlink.h"
#include "model/TWTrackedChange.h"
#include "platform/RecordingAlerts.h"
#include "support/Image.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <functional>

using namespace BranchTest;

namespace {

using Op = std::function<void(TWMapBranch &)>;

class TWBranchOperationsTest : public BranchFixture
{
protected:
    TWBranchOperationsTest()
    {
        b = TWMapBranch::createWithGraphic(
            TWMapBranch::makeMainGraphicOfType(2, Rect(500, 100, 80, 30)), root.get(), map.get());
        b->enclosedTextArea()->setString("b");
        settle();
    }

    QString writeFile(const QString &name, const QByteArray &data)
    {
        const QString path = tempDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    // What the operations change, as text, to compare before and after undo.
    QStringList state() const
    {
        QStringList s;
        const auto number = [](const std::optional<QString> &v) { return v.value_or("-"); };
        s << QString("type %1 %2").arg(b->branchType()).arg(b->mainGraphic()->bounds().toString());
        s << QString("picture %1 layout %2")
                 .arg(b->enclosedImage() ? number(b->enclosedImage()->imageFilename()) : "none")
                 .arg(b->enclosedImageLayoutMode());
        s << QString("sound %1 by %2")
                 .arg(number(b->soundFileName()))
                 .arg(b->soundFileReferenceMethod());
        for (const auto &g : b->linkedGraphics())
            s << QString("linked %1 %2").arg(g->className()).arg(g->internalOrdering());
        s << QString("adornments %1").arg(b->countOfOtherEnclosedGraphics());
        s << QString("width %1 %2").arg(b->ownTextMaxWidth()).arg(b->textMaxWidthSet());
        for (const auto &link : b->hyperlinks())
            s << QString("link %1 %2 %3")
                     .arg(link->linkType())
                     .arg(number(link->linkURL()))
                     .arg(link->linkColor().has_value());
        s << QString("text position %1").arg(b->textRelativePosition());
        s << QString("boundary %1 fill %2 line %3 inherit %4 style %5 width %6 corner %7 radius "
                     "%8 margin %9")
                 .arg(b->hasBoundary())
                 .arg(b->boundaryDrawsFill())
                 .arg(b->boundaryDrawsLine())
                 .arg(b->boundaryInheritsLineColor())
                 .arg(b->boundaryLineStyle())
                 .arg(b->boundaryLineWidth())
                 .arg(b->boundaryCornerStyle())
                 .arg(b->boundaryCurveRadius())
                 .arg(b->boundaryMargin());
        s << QString("colours %1 %2")
                 .arg(b->boundaryLineColor().has_value())
                 .arg(b->boundaryFillColor().has_value());
        s << QString("check box %1 %2").arg(b->showCheckBox()).arg(b->checkBoxState());
        s << QString("tracked %1 hidden %2")
                 .arg(b->countOfTrackedChanges())
                 .arg(b->childrenHidden());
        s << QStringList(document->cachedData().keys()).join(' ');
        return s;
    }

    std::shared_ptr<TWMapBranch> b;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

const QStringList operationNotifications{
    TWMapBranch::BranchTypeChangedNotification,
    TWMapBranch::BranchImageChangedNotification,
    TWMapBranch::BranchImageLayoutChangedNotification,
    TWMapBranch::BranchSoundFileChangedNotification,
    TWMapBranch::LinkedGraphicAddedNotification,
    TWMapBranch::LinkedGraphicRemovedNotification,
    TWMapBranch::AddAdornmentNotification,
    TWMapBranch::RemoveAdornmentNotification,
    TWMapBranch::ConstrainTextWidthNotification,
    TWMapBranch::AddHyperlinkNotification,
    TWMapBranch::RemoveHyperlinkNotification,
    TWMapBranch::UpdateHyperlinkNotification,
    TWMapBranch::AddBoundaryNotification,
    TWMapBranch::RemoveBoundaryNotification,
    TWMapBranch::SetBoundaryLineColorNotification,
    TWMapBranch::SetBoundaryFillColorNotification,
    TWMapBranch::SetBoundaryLineStyleNotification,
    TWMapBranch::SetBoundaryCornerStyleNotification,
    TWMapBranch::SetBoundaryDrawsFillNotification,
    TWMapBranch::SetBoundaryLineWidthNotification,
    TWMapBranch::SetBoundaryCurveRadiusNotification,
    TWMapBranch::SetBoundaryMarginNotification,
    TWMapBranch::HideChildrenNotification,
};

TEST_F(TWBranchOperationsTest, EachOperationChangesNamesAnnouncesAndUndoesAsOneStep)
{
    const QByteArray png = ImageTestData::encoded("png");
    const QString pngPath = writeFile("picture.png", png);
    const QString soundPath = writeFile("ding.aiff", "FORM sound");
    const auto hyperlink = [](TWMapBranch &x) {
        x.publicAddHyperlinkWithLinkType(2, QString("https://a.example"), {}, {},
                                         Color::blackColor(), std::nullopt, std::nullopt, 0);
    };
    const auto boundary = [](TWMapBranch &x) { x.publicSetHasBoundary(true); };
    auto rectangle = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));

    struct Case
    {
        const char *what;
        Op setup;
        Op operation;
        std::function<bool(const TWMapBranch &)> changed;
        const char *actionName;
        QString notification; // empty: none
        Op same;              // must change nothing
    };
    // clang-format off
    const QList<Case> cases = {
        {"branch type", nullptr, [](TWMapBranch &x) { x.publicChangeToBranchType(3); },
         [](const TWMapBranch &x) { return x.branchType() == 3; }, "Change branch type",
         TWMapBranch::BranchTypeChangedNotification,
         [](TWMapBranch &x) { x.publicChangeToBranchType(3); }},
        {"picture from data", nullptr,
         [&](TWMapBranch &x) { x.publicSetEnclosedImageFromData(png, "png", Size(3, 2)); },
         [&](const TWMapBranch &x) {
             return x.enclosedImage() && x.enclosedImage()->imageFilename() ==
                 QString("Images/Graphic%1.png").arg(x.enclosedImage()->graphicNumber()) &&
                 document->objectForKeyInCachedData(*x.enclosedImage()->imageFilename()) == png;
         },
         "Set branch image", TWMapBranch::BranchImageChangedNotification, nullptr},
        {"zero size takes the picture out",
         [&](TWMapBranch &x) { x.publicSetEnclosedImageFromData(png, "png", Size(3, 2)); },
         [&](TWMapBranch &x) { x.publicSetEnclosedImageFromData({}, "png", Size()); },
         [](const TWMapBranch &x) { return !x.enclosedImage(); }, "Set branch image",
         TWMapBranch::BranchImageChangedNotification, nullptr},
        {"picture from a file", nullptr,
         [&](TWMapBranch &x) { x.publicSetEnclosedImageFromFilename(pngPath); },
         [](const TWMapBranch &x) { return x.enclosedImage() != nullptr; }, "Set branch image",
         TWMapBranch::BranchImageChangedNotification,
         [&](TWMapBranch &x) { x.publicSetEnclosedImageFromFilename(soundPath); }},
        {"picture layout", nullptr, [](TWMapBranch &x) { x.publicSetEnclosedImageLayoutMode(2); },
         [](const TWMapBranch &x) { return x.enclosedImageLayoutMode() == 2; },
         "Change branch image layout", TWMapBranch::BranchImageLayoutChangedNotification,
         [](TWMapBranch &x) { x.publicSetEnclosedImageLayoutMode(2); }},
        {"embedded sound", nullptr, [&](TWMapBranch &x) { x.publicSetSoundFilename(soundPath, 0); },
         [&](const TWMapBranch &x) {
             const QString name = QString("Sounds/Branch%1/ding.aiff").arg(x.branchNumber());
             return x.soundFileName() == name && x.soundFileReferenceMethod() == 0 &&
                    document->objectForKeyInCachedData(name) == "FORM sound";
         },
         "Set sound file", TWMapBranch::BranchSoundFileChangedNotification,
         [&](TWMapBranch &x) { x.publicSetSoundFilename(tempDir.filePath("missing.aiff"), 0); }},
        {"referenced sound replaces the embedded one",
         [&](TWMapBranch &x) { x.publicSetSoundFilename(soundPath, 0); },
         [&](TWMapBranch &x) { x.publicSetSoundFilename(soundPath, 1); },
         [&](const TWMapBranch &x) {
             return x.soundFileName() == soundPath && x.soundFileReferenceMethod() == 1 &&
                    document->cachedData().isEmpty();
         },
         "Set sound file", TWMapBranch::BranchSoundFileChangedNotification, nullptr},
        {"add a linked graphic", nullptr,
         [&](TWMapBranch &x) { x.publicAddLinkedGraphic(rectangle); },
         [&](const TWMapBranch &x) { return x.linkedGraphics() == TWMapBranch::GraphicList{rectangle}; },
         "Add linked graphic", TWMapBranch::LinkedGraphicAddedNotification, nullptr},
        {"remove a linked graphic",
         [](TWMapBranch &x) { x.publicCreateLinkedGraphicOfType(2, Size(), std::nullopt, {}); },
         [](TWMapBranch &x) { x.publicRemoveLinkedGraphicAtIndex(0); },
         [](const TWMapBranch &x) { return x.countOfLinkedGraphics() == 0; },
         "Remove linked graphic", TWMapBranch::LinkedGraphicRemovedNotification,
         [](TWMapBranch &x) { x.publicRemoveLinkedGraphicAtIndex(1); }},
        {"add an adornment", nullptr,
         [](TWMapBranch &x) {
             x.publicAddAdornment(std::make_shared<TWEnclosedGraphic>(
                 "star", std::nullopt, TWGraphic::make<TWImage>(Rect(0, 0, 16, 16))));
         },
         [](const TWMapBranch &x) { return x.countOfOtherEnclosedGraphics() == 1; },
         "Add adornment", TWMapBranch::AddAdornmentNotification,
         [](TWMapBranch &x) {
             x.publicAddAdornment(std::make_shared<TWEnclosedGraphic>("star", std::nullopt,
                                                                     nullptr), 5);
         }},
        {"remove an adornment",
         [](TWMapBranch &x) {
             x.publicAddAdornment(std::make_shared<TWEnclosedGraphic>(
                 "star", std::nullopt, TWGraphic::make<TWImage>(Rect(0, 0, 16, 16))), 0);
         },
         [](TWMapBranch &x) { x.publicRemoveAdornmentAtIndex(0); },
         [](const TWMapBranch &x) { return x.countOfOtherEnclosedGraphics() == 0; },
         "Remove adornment", TWMapBranch::RemoveAdornmentNotification,
         [](TWMapBranch &x) { x.publicRemoveAdornmentAtIndex(-1); }},
        {"width constraint", nullptr, [](TWMapBranch &x) { x.publicContstrainToWidth(120, true); },
         [](const TWMapBranch &x) { return x.ownTextMaxWidth() == 120 && x.textMaxWidthSet(); },
         "Set Width Constraint", TWMapBranch::ConstrainTextWidthNotification,
         [](TWMapBranch &x) { x.publicContstrainToWidth(120, true); }},
        {"width constraint off keeps the width",
         [](TWMapBranch &x) { x.publicContstrainToWidth(120, true); },
         [](TWMapBranch &x) { x.publicContstrainToWidth(120, false); },
         [](const TWMapBranch &x) { return x.ownTextMaxWidth() == 120 && !x.textMaxWidthSet(); },
         "Set Width Constraint", TWMapBranch::ConstrainTextWidthNotification,
         [](TWMapBranch &x) { x.publicContstrainToWidth(120, false); }},
        {"add a hyperlink keeps its colour", nullptr, hyperlink,
         [](const TWMapBranch &x) {
             return x.countOfHyperlinks() == 1 && x.hyperlinks().first()->linkColor().has_value();
         },
         "Add Hyperlink", TWMapBranch::AddHyperlinkNotification,
         [](TWMapBranch &x) { x.publicInsertHyperlink(std::make_shared<TWHyperlink>(2), 3); }},
        {"update a hyperlink without its own icon drops the colour", hyperlink,
         [](TWMapBranch &x) {
             x.publicUpdateHyperlinkAtIndex(0, 1, QString("/tmp/f"), {}, {}, Color::blackColor(),
                                            std::nullopt, std::nullopt);
         },
         [](const TWMapBranch &x) {
             const auto &link = x.hyperlinks().first();
             return link->linkType() == 1 && link->linkURL() == "/tmp/f" && !link->linkColor();
         },
         "Update Hyperlink", TWMapBranch::UpdateHyperlinkNotification,
         [](TWMapBranch &x) {
             x.publicUpdateHyperlinkAtIndex(1, 1, {}, {}, {}, {}, std::nullopt, std::nullopt);
         }},
        {"update with colour and icon keeps the colour", hyperlink,
         [](TWMapBranch &x) {
             x.publicUpdateHyperlinkAtIndex(0, 2, QString("b"), {}, {}, Color::whiteColor(),
                                            Image(), std::nullopt);
         },
         [](const TWMapBranch &x) { return x.hyperlinks().first()->linkColor() == Color::whiteColor(); },
         "Update Hyperlink", TWMapBranch::UpdateHyperlinkNotification, nullptr},
        {"remove a hyperlink", hyperlink, [](TWMapBranch &x) { x.publicRemoveHyperlinkAtIndex(0); },
         [](const TWMapBranch &x) { return x.countOfHyperlinks() == 0; }, "Remove Hyperlink",
         TWMapBranch::RemoveHyperlinkNotification,
         [](TWMapBranch &x) { x.publicRemoveHyperlinkAtIndex(1); }},
        {"text position", nullptr, [](TWMapBranch &x) { x.publicSetTextRelativePosition(1); },
         [](const TWMapBranch &x) { return x.textRelativePosition() == 1; },
         "Set branch text position", QString(),
         [](TWMapBranch &x) { x.publicSetTextRelativePosition(x.textRelativePosition()); }},
        {"add a boundary", nullptr, boundary,
         [](const TWMapBranch &x) {
             return x.hasBoundary() && !x.boundaryDrawsFill() &&
                    x.boundaryFillColor() == Color::whiteColor() &&
                    x.boundaryInheritsLineColor() && !x.boundaryDrawsLine() &&
                    x.boundaryLineColor() == Color::blackColor() && x.boundaryLineStyle() == 1 &&
                    x.boundaryLineWidth() == 1.0f && x.boundaryCornerStyle() == 1 &&
                    x.boundaryCurveRadius() == 10.0f && x.boundaryMargin() == 3.0f;
         },
         "Add boundary", TWMapBranch::AddBoundaryNotification,
         [](TWMapBranch &x) { x.publicSetHasBoundary(true); }},
        {"remove a boundary keeps its look",
         [](TWMapBranch &x) { x.publicSetHasBoundary(true); x.publicSetBoundaryMargin(9, true); },
         [](TWMapBranch &x) { x.publicSetHasBoundary(false); },
         [](const TWMapBranch &x) { return !x.hasBoundary() && x.boundaryMargin() == 9; },
         "Remove boundary", TWMapBranch::RemoveBoundaryNotification,
         [](TWMapBranch &x) { x.publicSetHasBoundary(false); }},
        {"boundary line colour", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryLineColor(Color::whiteColor()); },
         [](const TWMapBranch &x) { return x.boundaryLineColor() == Color::whiteColor(); },
         "Set boundary line color", TWMapBranch::SetBoundaryLineColorNotification, nullptr},
        {"boundary fill colour", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryFillColor(Color::blackColor()); },
         [](const TWMapBranch &x) { return x.boundaryFillColor() == Color::blackColor(); },
         "Set boundary fill color", TWMapBranch::SetBoundaryFillColorNotification, nullptr},
        {"boundary line style", boundary, [](TWMapBranch &x) { x.publicSetBoundaryLineStyle(3); },
         [](const TWMapBranch &x) { return x.boundaryLineStyle() == 3; },
         "Set boundary line style", TWMapBranch::SetBoundaryLineStyleNotification, nullptr},
        {"boundary corner style", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryCornerStyle(2); },
         [](const TWMapBranch &x) { return x.boundaryCornerStyle() == 2; },
         "Set boundary corner style", TWMapBranch::SetBoundaryCornerStyleNotification, nullptr},
        {"boundary inherits its line colour: a line-style change", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryInheritsLineColor(false); },
         [](const TWMapBranch &x) { return !x.boundaryInheritsLineColor(); },
         "Set boundary line style", TWMapBranch::SetBoundaryLineStyleNotification, nullptr},
        {"boundary draws fill", boundary, [](TWMapBranch &x) { x.publicSetBoundaryDrawsFill(true); },
         [](const TWMapBranch &x) { return x.boundaryDrawsFill(); }, "Set boundary draws fill",
         TWMapBranch::SetBoundaryDrawsFillNotification, nullptr},
        {"boundary draws its line: a line-style change", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryDrawsLine(true); },
         [](const TWMapBranch &x) { return x.boundaryDrawsLine(); }, "Set boundary line style",
         TWMapBranch::SetBoundaryLineStyleNotification, nullptr},
        {"boundary line width", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryLineWidth(4, true); },
         [](const TWMapBranch &x) { return x.boundaryLineWidth() == 4; },
         "Set boundary line width", TWMapBranch::SetBoundaryLineWidthNotification,
         [](TWMapBranch &x) { x.publicSetBoundaryLineWidth(4, true); }},
        {"boundary curve radius", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryCurveRadius(4, true); },
         [](const TWMapBranch &x) { return x.boundaryCurveRadius() == 4; },
         "Set boundary curve radius", TWMapBranch::SetBoundaryCurveRadiusNotification,
         [](TWMapBranch &x) { x.publicSetBoundaryCurveRadius(4, true); }},
        {"boundary margin", boundary, [](TWMapBranch &x) { x.publicSetBoundaryMargin(8, true); },
         [](const TWMapBranch &x) { return x.boundaryMargin() == 8; }, "Set boundary margin",
         TWMapBranch::SetBoundaryMarginNotification,
         [](TWMapBranch &x) { x.publicSetBoundaryMargin(8, false); }},
        {"boundary margin while dragging names nothing", boundary,
         [](TWMapBranch &x) { x.publicSetBoundaryMargin(8, false); },
         [](const TWMapBranch &x) { return x.boundaryMargin() == 8; }, "",
         TWMapBranch::SetBoundaryMarginNotification, nullptr},
        {"show the check box", nullptr, [](TWMapBranch &x) { x.publicSetShowCheckbox(true); },
         [](const TWMapBranch &x) { return x.showCheckBox(); }, "Add checkbox", QString(),
         [](TWMapBranch &x) { x.publicSetShowCheckbox(true); }},
        {"hide the check box", [](TWMapBranch &x) { x.publicSetShowCheckbox(true); },
         [](TWMapBranch &x) { x.publicSetShowCheckbox(false); },
         [](const TWMapBranch &x) { return !x.showCheckBox(); }, "Remove checkbox", QString(),
         [](TWMapBranch &x) { x.publicSetShowCheckbox(false); }},
        {"check box state", nullptr, [](TWMapBranch &x) { x.publicSetCheckBoxState(1); },
         [](const TWMapBranch &x) { return x.checkBoxState() == 1; }, "Set checkbox state",
         QString(), [](TWMapBranch &x) { x.publicSetCheckBoxState(1); }},
        {"add a tracked change", nullptr,
         [](TWMapBranch &x) {
             x.publicAddToTrackedChanges(std::make_shared<TWTrackedChange>(), 0);
         },
         [](const TWMapBranch &x) { return x.countOfTrackedChanges() == 1; },
         "Add tracked change", QString(),
         [](TWMapBranch &x) {
             x.publicAddToTrackedChanges(std::make_shared<TWTrackedChange>(), 2);
         }},
        {"remove a tracked change",
         [](TWMapBranch &x) {
             x.publicAddToTrackedChanges(std::make_shared<TWTrackedChange>(), 0);
         },
         [](TWMapBranch &x) { x.publicRemoveFromTrackedChangesAtIndex(0); },
         [](const TWMapBranch &x) { return x.countOfTrackedChanges() == 0; },
         "Remove tracked change", QString(),
         [](TWMapBranch &x) { x.publicRemoveFromTrackedChangesAtIndex(1); }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A fresh branch for each case.
        root->removeChild(b);
        b = TWMapBranch::createWithGraphic(
            TWMapBranch::makeMainGraphicOfType(2, Rect(500, 100, 80, 30)), root.get(), map.get());
        b->enclosedTextArea()->setString("b");
        document->removeAllObjectsInCachedData();
        settle();
        if (c.setup) {
            c.setup(*b);
            settle();
        }
        const QStringList before = state();
        const int steps = undo->undoStepCount();
        Recorder recorder(operationNotifications);

        c.operation(*b);
        EXPECT_TRUE(c.changed(*b)) << state().join('\n').toStdString();
        if (c.notification.isEmpty()) {
            EXPECT_TRUE(recorder.names().isEmpty()) << recorder.names().join(' ').toStdString();
        } else {
            ASSERT_FALSE(recorder.notifications.isEmpty());
            const Notification &last = recorder.notifications.last();
            EXPECT_EQ(last.name, c.notification);
            // A new attached graphic is announced with itself as object.
            const bool aboutGraphic = c.notification == TWMapBranch::LinkedGraphicAddedNotification;
            EXPECT_EQ(last.sender, aboutGraphic ? NotificationObject(rectangle.get())
                                                : NotificationObject(b.get()));
        }
        settle();
        EXPECT_EQ(undo->undoStepCount(), steps + 1);
        EXPECT_EQ(undo->undoActionName(), QString::fromLatin1(c.actionName));

        undo->undo();
        EXPECT_EQ(state(), before);
        undo->redo();
        EXPECT_TRUE(c.changed(*b));

        if (c.same) {
            settle();
            const QStringList now = state();
            const int stepsNow = undo->undoStepCount();
            recorder.clear();
            c.same(*b);
            settle();
            EXPECT_EQ(state(), now);
            EXPECT_EQ(undo->undoStepCount(), stepsNow);
            EXPECT_TRUE(recorder.names().isEmpty()) << recorder.names().join(' ').toStdString();
        }
    }
}

TEST_F(TWBranchOperationsTest, ChildrenCollapseAndExpandUnderOneName)
{
    auto leaf = child(b, 200, "leaf", 700);
    settle();
    for (bool hidden : {true, false}) {
        SCOPED_TRACE(hidden);
        Recorder recorder({TWMapBranch::HideChildrenNotification});
        b->publicToggleHideChildren();
        EXPECT_EQ(b->childrenHidden(), hidden);
        EXPECT_GE(recorder.count(TWMapBranch::HideChildrenNotification), 1);
        EXPECT_EQ(recorder.notifications.last().sender, NotificationObject(b.get()));
        settle();
        EXPECT_EQ(undo->undoActionName(), QStringLiteral("Show/Hide Children"));
    }
    undo->undo();
    EXPECT_TRUE(b->childrenHidden());

    // A leaf has nothing to hide.
    const int steps = undo->undoStepCount();
    Recorder recorder({TWMapBranch::HideChildrenNotification});
    leaf->publicToggleHideChildren();
    settle();
    EXPECT_FALSE(leaf->childrenHidden());
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST_F(TWBranchOperationsTest, NewAttachedGraphicsBySizePositionTypeAndOrder)
{
    const QByteArray png = ImageTestData::encoded("png");
    const Rect around = b->branchBounds();
    const QVariantMap packaged{{"data", png}, {"type", "png"}};
    struct Case
    {
        const char *what;
        int type;
        Size size;
        std::optional<Point> position;
        QVariant userData;
        const char *className; // null: refused
        Rect bounds;
        const char *actionName;
    };
    const Point beside(around.x() + 20, around.y() - 20);
    // clang-format off
    const Case cases[] = {
        {"rectangle, default size and place", 2, Size(), std::nullopt, {}, "TWRectangle",
         Rect(beside.x, beside.y, 50, 50), "Attach Rectangle"},
        {"oval, one side zero", 3, Size(0, 40), std::nullopt, {}, "TWCircle",
         Rect(beside.x, beside.y, 50, 50), "Attach Oval"},
        {"picture at x = 0 is a real place", 4, Size(30, 20), Point(0, 100),
         QVariant::fromValue(Image()), "TWImage", Rect(0, 100, 30, 20), "Attach Image"},
        {"packaged picture at y = 0", 9, Size(30, 20), Point(15, 0), packaged, "TWImage",
         Rect(15, 0, 30, 20), "Add linked graphic"},
        {"picture without an image", 4, Size(), std::nullopt, QVariant("no"), nullptr, {}, ""},
        {"packaged picture without data", 9, Size(), std::nullopt,
         QVariantMap{{"type", "png"}}, nullptr, {}, ""},
        {"unknown type", 6, Size(), std::nullopt, {}, nullptr, {}, ""},
    };
    // clang-format on
    int expectedOrdering = -1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int beeps = alerts.beepCount();
        const int count = b->countOfLinkedGraphics();
        std::shared_ptr<TWGraphic> g =
            b->publicCreateLinkedGraphicOfType(c.type, c.size, c.position, c.userData);
        settle();
        if (!c.className) {
            EXPECT_EQ(g, nullptr);
            EXPECT_EQ(alerts.beepCount(), beeps + 1);
            EXPECT_EQ(b->countOfLinkedGraphics(), count);
            continue;
        }
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->className(), c.className);
        EXPECT_EQ(g->bounds(), c.bounds);
        EXPECT_EQ(g->branch(), b.get());
        EXPECT_EQ(b->linkedGraphics().first(), g);
        // Each new one goes behind the others.
        EXPECT_EQ(g->internalOrdering(), expectedOrdering--);
        EXPECT_EQ(undo->undoActionName(), c.actionName);
        EXPECT_TRUE(map->showAttachedGraphics());
        if (c.type == 9) {
            const QRegularExpression form(QString("^Images/Branch%1/Graphic%2/[0-9]+\\.png$")
                                              .arg(b->branchNumber())
                                              .arg(g->graphicNumber()));
            ASSERT_TRUE(g->imageFilename());
            EXPECT_TRUE(form.match(*g->imageFilename()).hasMatch())
                << g->imageFilename()->toStdString();
            EXPECT_EQ(document->objectForKeyInCachedData(*g->imageFilename()), png);
        }
    }

    // An attached text is as high as its text needs.
    auto text = std::dynamic_pointer_cast<TWTextArea>(
        b->publicCreateLinkedGraphicOfType(8, Size(150, 75), std::nullopt, {}));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text().string(), QStringLiteral("New Text Attachment"));
    EXPECT_EQ(text->bounds().width(), 150);
    EXPECT_LT(text->bounds().height(), 75);
    EXPECT_FALSE(text->drawsFill());
    EXPECT_FALSE(text->inheritsStroke());
    settle();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Attach Text"));

    // Options and menu items carry the same arguments.
    QAction item;
    item.setData(QVariantMap{{"gType", 2}, {"size", QSizeF(20, 10)}, {"location", QPointF(0, 0)}});
    std::shared_ptr<TWGraphic> fromMenu = b->publicCreateLinkedGraphicFromMenuItem(&item);
    ASSERT_NE(fromMenu, nullptr);
    EXPECT_EQ(fromMenu->bounds(), Rect(0, 0, 20, 10));
}

TEST_F(TWBranchOperationsTest, AddedGraphicsAreSortedFrontToBack)
{
    for (int ordering : {2, -1, 0}) {
        auto g = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
        g->setInternalOrdering(ordering);
        b->publicAddLinkedGraphic(g);
    }
    QList<int> order;
    for (const auto &g : b->linkedGraphics())
        order << g->internalOrdering();
    EXPECT_EQ(order, (QList<int>{2, 0, -1}));
    settle();
    undo->undo();
    EXPECT_EQ(b->countOfLinkedGraphics(), 0);
}

TEST_F(TWBranchOperationsTest, RefusedInputsBeepAndKeepWhatWasThere)
{
    const QString soundPath = writeFile("ding.aiff", "FORM sound");
    b->publicSetSoundFilename(soundPath, 0);
    settle();
    const std::optional<QString> sound = b->soundFileName();
    const int steps = undo->undoStepCount();
    const QList<std::pair<const char *, Op>> refused = {
        {"unreadable sound",
         [&](TWMapBranch &x) { x.publicSetSoundFilename(tempDir.filePath("gone.aiff"), 0); }},
        {"empty sound",
         [&](TWMapBranch &x) { x.publicSetSoundFilename(writeFile("empty.aiff", {}), 0); }},
        {"link index past the end", [](TWMapBranch &x) { x.publicRemoveHyperlinkAtIndex(0); }},
        {"negative link index",
         [](TWMapBranch &x) { x.publicInsertHyperlink(std::make_shared<TWHyperlink>(1), -1); }},
        {"linked graphic index", [](TWMapBranch &x) { x.publicRemoveLinkedGraphicAtIndex(0); }},
        {"adornment index", [](TWMapBranch &x) { x.publicRemoveAdornmentAtIndex(3); }},
        {"tracked change index",
         [](TWMapBranch &x) { x.publicRemoveFromTrackedChangesAtIndex(0); }},
    };
    for (const auto &[what, op] : refused) {
        SCOPED_TRACE(what);
        const int beeps = alerts.beepCount();
        op(*b);
        settle();
        EXPECT_EQ(alerts.beepCount(), beeps + 1);
        EXPECT_EQ(undo->undoStepCount(), steps);
    }
    // The old sound and its data are still there.
    EXPECT_EQ(b->soundFileName(), sound);
    EXPECT_EQ(document->objectForKeyInCachedData(*sound), "FORM sound");
}

TEST_F(TWBranchOperationsTest, CommittingRepeatsOfALiveValueNameTheStep)
{
    b->publicSetHasBoundary(true);
    settle();
    // A slider sends live values, then the last one again as it lets go.
    b->publicSetBoundaryMargin(6, false);
    b->publicSetBoundaryMargin(8, false);
    b->publicSetBoundaryMargin(8, true);
    settle();
    EXPECT_EQ(b->boundaryMargin(), 8);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Set boundary margin"));
    undo->undo();
    EXPECT_EQ(b->boundaryMargin(), 3);
}

TEST_F(TWBranchOperationsTest, PackagePathsKeepOnlyTheExtensionsLetters)
{
    const QByteArray png = ImageTestData::encoded("png");
    b->publicSetEnclosedImageFromData(png, "../../p/ng", Size(3, 2));
    ASSERT_TRUE(b->enclosedImage());
    EXPECT_EQ(b->enclosedImage()->imageFilename(),
              QString("Images/Graphic%1.png").arg(b->enclosedImage()->graphicNumber()));
}

} // namespace
