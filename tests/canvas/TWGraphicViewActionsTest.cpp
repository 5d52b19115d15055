#include "CanvasTestSupport.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "model/TWMapDrawingServices.h"
#include "support/Font.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>

using namespace CanvasTest;

namespace {

// Lays the map out by moving the root, so that the action runs an undo step.
class MovingDrawingServices : public TWMapDrawingStandIn
{
public:
    int arranged = 0;
    void autoArrange(TWMap &map) override
    {
        ++arranged;
        map.root()->moveBranchBy(1, 0, true);
    }
};

class CanvasActions : public CanvasFixture
{
protected:
    CanvasActions()
    {
        QGuiApplication::clipboard()->clear();
        a = child(root, 100, "a");
        b = child(root, 300, "b");
        leaf = child(a, 120, "leaf", 700);
        settle();
        alerts.clear();
    }
    ~CanvasActions() override { QGuiApplication::clipboard()->clear(); }

    void selectShapes(const QList<std::shared_ptr<TWMapBranch>> &branches)
    {
        map->removeAllSelectedGraphics();
        for (const auto &x : branches)
            map->insertObjectInSelectedGraphicsAtIndex(x->mainGraphic(),
                                                       map->countOfSelectedGraphics());
    }
    QString writePicture(const QString &name, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        // 72 dpi: a pixel is a point.
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        const QString path = tempDir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    TWResponder::ItemState state(const char *selector, const QVariant &tag = {}) const
    {
        return view.validateMenuItem(QString::fromLatin1(selector), tag);
    }

    std::shared_ptr<TWMapBranch> a, b, leaf;
};

TEST_F(CanvasActions, ValidationEnablesItemsBySelection)
{
    struct Case
    {
        const char *what;
        std::function<void()> select;
        const char *selector;
        QVariant tag;
        bool enabled;
    };
    const auto only = [this](std::initializer_list<std::shared_ptr<TWMapBranch>> list) {
        return [this, branches = QList<std::shared_ptr<TWMapBranch>>(list)] { select(branches); };
    };
    const auto nothing = [this] { map->removeAllSelectedGraphics(); };
    const auto twoRectangles = [this] { selectShapes({a, b}); };
    const auto rectangleAndLine = [this] {
        b->changeToBranchType(1);
        selectShapes({a, b});
    };
    // clang-format off
    const Case cases[] = {
        {"root alone: no sibling", only({root}), "addSiblingBranch:", {}, false},
        {"root and a child: sibling", only({root, a}), "addSiblingBranch:", {}, true},
        {"nothing: no sibling", nothing, "addSiblingBranch:", {}, false},
        {"two rectangles: no rectangle", twoRectangles, "doChangeBranchType:", 2, false},
        {"two rectangles: line", twoRectangles, "doChangeBranchType:", 1, true},
        {"two rectangles: circle", twoRectangles, "doChangeBranchType:", 3, true},
        {"two rectangles: flexi", twoRectangles, "doChangeBranchType:", 5, true},
        {"two rectangles: other tags", twoRectangles, "doChangeBranchType:", 7, true},
        {"rectangle and line: line", rectangleAndLine, "doChangeBranchType:", 1, true},
        {"rectangle and line: rectangle", rectangleAndLine, "doChangeBranchType:", 2, true},
        {"rectangle and line: circle", rectangleAndLine, "doChangeBranchType:", 3, true},
        {"rectangle and line: flexi", rectangleAndLine, "doChangeBranchType:", 5, true},
        {"nothing: line", nothing, "doChangeBranchType:", 1, false},
        {"nothing: rectangle", nothing, "doChangeBranchType:", 2, false},
        {"nothing: circle", nothing, "doChangeBranchType:", 3, false},
        {"nothing: flexi", nothing, "doChangeBranchType:", 5, false},
        {"nothing: no bigger", nothing, "increaseFontSize:", {}, false},
        {"nothing: no smaller", nothing, "decreaseFontSize:", {}, false},
        {"a label: bigger", only({b}), "increaseFontSize:", {}, true},
        {"nothing: no attaching", nothing, "doAttachRectangle:", {}, false},
        {"a branch: attach", only({b}), "doAttachImage:", {}, true},
        {"nothing: no clearing", nothing, "clear:", {}, false},
        {"nothing: no alignment", nothing, "alignTWTextCenter:", {}, false},
        {"a label: align", only({b}), "alignTWTextLeft:", {}, true},
        {"a leaf: nothing to hide", only({b}), "toggleHideChildren:", {}, false},
        {"a parent: hide", only({b, a}), "toggleHideChildren:", {}, true},
        {"no attached graphics: no z-order", only({a}), "doBringToFront:", {}, false},
        {"a shape: natural size", [this] { selectShapes({a}); }, "makeNaturalSize:", {}, true},
        {"a line: no natural size", [this] { a->changeToBranchType(1); selectShapes({a}); },
         "makeNaturalSize:", {}, false},
        {"anything else", nothing, "selectAll:", {}, true},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        a->changeToBranchType(2);
        b->changeToBranchType(2);
        c.select();
        EXPECT_EQ(state(c.selector, c.tag).enabled, c.enabled);
        // The router asks the canvas about the actions it takes (no tag).
        if (c.tag.isNull()) {
            EXPECT_EQ(view.actionRouter().validateAction(QString::fromLatin1(c.selector)),
                      c.enabled);
        }
    }
}

TEST_F(CanvasActions, ZOrderItemsFollowAttachedGraphics)
{
    select({a});
    EXPECT_FALSE(state("doSendToBack:").enabled);
    a->publicCreateLinkedGraphicOfType(2, Size(), std::nullopt, {});
    for (const char *selector :
         {"doBringToFront:", "doBringForward:", "doSendBack:", "doSendToBack:"})
        EXPECT_TRUE(state(selector).enabled) << selector;
}

TEST_F(CanvasActions, HideChildrenItemReadsShowAsSoonAsOneBranchHidesItsChildren)
{
    select({a, b});
    EXPECT_EQ(state("toggleHideChildren:").title, QStringLiteral("Hide Children"));
    a->setChildrenHidden(true);
    select({b, a});
    EXPECT_EQ(state("toggleHideChildren:").title, QStringLiteral("Show Children"));
    view.toggleHideChildren();
    EXPECT_FALSE(a->childrenHidden());
    settle();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Show/Hide Children"));
}

TEST_F(CanvasActions, CheckMarksShowSettingsAndRetiredItemsStayDisabled)
{
    TWPreferences::setBranchType(3);
    for (int tag : {1, 3, 6}) {
        SCOPED_TRACE(tag);
        const auto s = state("doBranchTypes:", tag);
        EXPECT_FALSE(s.enabled);
        EXPECT_EQ(s.checked, tag == 3);
    }
    EXPECT_FALSE(state("doDisplayOutlineNumbersForToolbar:").enabled);
    // Performing them changes nothing and does not throw.
    view.performAction("doBranchTypes:", 2);
    view.performAction("doDisplayOutlineNumbersForToolbar:", {});
    EXPECT_EQ(TWPreferences::branchType(), 3);

    map->setLayoutAssistanceMode(2);
    EXPECT_EQ(state("doLayoutAssistanceMode:", 2).checked, true);
    EXPECT_EQ(state("doLayoutAssistanceMode:", 3).checked, false);
    view.performAction("doLayoutAssistanceMode:", 1);
    EXPECT_EQ(map->layoutAssistanceMode(), 1);

    const bool numbers = map->showOutlineNumbers();
    EXPECT_EQ(state("doDisplayOutlineNumbers:").checked, numbers);
    view.doDisplayOutlineNumbers();
    EXPECT_EQ(map->showOutlineNumbers(), !numbers);

    for (bool on : {true, false}) {
        TWPreferences::setSnapLines(on);
        TWPreferences::setContinuousSpellCheck(on);
        EXPECT_EQ(state("doSnapLinesMode:").checked, on);
        EXPECT_EQ(state("doCheckSpelling:").checked, on);
        view.doSnapLinesMode();
        view.doCheckSpelling();
        EXPECT_EQ(TWPreferences::snapLines(), !on);
        EXPECT_EQ(TWPreferences::continuousSpellCheck(), !on);
    }

    // A copied branch or graphic cannot be pasted into an attached graphic.
    EXPECT_TRUE(state("pasteToAttachedGraphic:").enabled);
    auto *copied = new QMimeData;
    copied->setData(TWGraphicView::BranchPboardType, "<XMLObj/>");
    QGuiApplication::clipboard()->setMimeData(copied);
    EXPECT_FALSE(state("pasteToAttachedGraphic:").enabled);
}

TEST_F(CanvasActions, MenuItemsAreValidatedBeforeMenusOpenAndShortcutsFire)
{
    const QHash<QString, QAction *> &actions = view.menuActions();
    QAction *attach = actions.value("doAttachRectangle:");
    QAction *hide = actions.value("toggleHideChildren:");
    ASSERT_NE(attach, nullptr);
    ASSERT_NE(hide, nullptr);
    EXPECT_FALSE(actions.contains("toggleInkEditingMode:"));

    QMenu menu;
    menu.addAction(attach);
    menu.addAction(hide);
    view.actionRouter().validateBeforeShowing(&menu, &view);
    map->removeAllSelectedGraphics();
    emit menu.aboutToShow();
    EXPECT_FALSE(attach->isEnabled());
    EXPECT_FALSE(hide->isEnabled());

    a->setChildrenHidden(true);
    select({a});
    emit menu.aboutToShow();
    EXPECT_TRUE(attach->isEnabled());
    EXPECT_TRUE(hide->isEnabled());
    EXPECT_EQ(hide->text(), QStringLiteral("Show Children"));

    // Triggering sends the selector along the chain.
    attach->trigger();
    EXPECT_EQ(a->countOfLinkedGraphics(), 1);

    // Tagged items carry their tag.
    QAction *rectangle = actions.value("doChangeBranchType:2");
    QAction *circle = actions.value("doChangeBranchType:3");
    ASSERT_NE(rectangle, nullptr);
    ASSERT_NE(circle, nullptr);
    a->changeToBranchType(2);
    b->changeToBranchType(2);
    selectShapes({a, b});
    view.actionRouter().validateActions({rectangle, circle});
    EXPECT_FALSE(rectangle->isEnabled());
    EXPECT_TRUE(circle->isEnabled());
    circle->trigger();
    EXPECT_EQ(a->branchType(), 3);
    EXPECT_EQ(b->branchType(), 3);
    QAction *tight = actions.value("doLayoutAssistanceMode:3");
    ASSERT_NE(tight, nullptr);
    map->setLayoutAssistanceMode(3);
    view.actionRouter().validateAction(tight);
    EXPECT_TRUE(tight->isChecked());

    // A shortcut's item is validated as the key arrives.
    attach->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    map->removeAllSelectedGraphics();
    QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_R, Qt::ControlModifier);
    QApplication::sendEvent(&view, &press);
    EXPECT_FALSE(attach->isEnabled());
    select({b});
    QApplication::sendEvent(&view, &press);
    EXPECT_TRUE(attach->isEnabled());
}

TEST_F(CanvasActions, AttachedGraphicsBecomeTheSelection)
{
    struct Case
    {
        const char *selector;
        const char *className;
        const char *actionName;
    };
    const Case cases[] = {{"doAttachRectangle:", "TWRectangle", "Attach Rectangle"},
                          {"doAttachOval:", "TWCircle", "Attach Oval"},
                          {"doAttachText:", "TWTextArea", "Attach Text"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.selector);
        // Shape and label of one branch count once.
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
        map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 1);
        map->insertObjectInSelectedGraphicsAtIndex(b->enclosedTextArea(), 2);
        ASSERT_TRUE(view.actionRouter().sendAction(c.selector));
        ASSERT_EQ(map->countOfSelectedGraphics(), 2);
        EXPECT_EQ(map->selectedGraphics().at(0), a->linkedGraphics().first());
        EXPECT_EQ(map->selectedGraphics().at(1), b->linkedGraphics().first());
        EXPECT_EQ(map->selectedGraphics().at(0)->className(), c.className);
        settle();
        EXPECT_EQ(undo->undoActionName(), c.actionName);
    }
    // An attached text starts 150 wide.
    EXPECT_EQ(a->linkedGraphics().first()->bounds().width(), 150);
}

TEST_F(CanvasActions, AttachedPicturesFitIn120Points)
{
    struct Case
    {
        const char *file;
        int width, height;
        Size expected;
    };
    const Case cases[] = {{"wide.png", 240, 60, Size(120, 30)},
                          {"small.png", 80, 100, Size(80, 100)},
                          {"tall.png", 60, 240, Size(30, 120)}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = writePicture(c.file, c.width, c.height);
        select({a, b});
        alerts.queueOpenResponse({path});
        view.doAttachImage();
        ASSERT_EQ(alerts.openPanels().size(), 1);
        EXPECT_TRUE(alerts.openPanels().first().fileTypes.contains("png"));
        EXPECT_TRUE(alerts.openPanels().first().fileTypes.contains("pdf"));
        EXPECT_TRUE(alerts.openPanels().first().fileTypes.contains("eps"));
        EXPECT_FALSE(alerts.openPanels().first().allowsMultipleSelection);
        alerts.clear();
        ASSERT_EQ(map->countOfSelectedGraphics(), 2);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (const auto &x : {a, b}) {
            const std::shared_ptr<TWGraphic> picture = x->linkedGraphics().first();
            EXPECT_TRUE(map->isGraphicSelected(picture.get()));
            EXPECT_EQ(picture->className(), QStringLiteral("TWImage"));
            EXPECT_EQ(picture->bounds().size, c.expected);
            const QRegularExpression form(QString("^Images/Branch%1/Graphic%2/[0-9]+\\.png$")
                                              .arg(x->branchNumber())
                                              .arg(picture->graphicNumber()));
            ASSERT_TRUE(picture->imageFilename());
            EXPECT_TRUE(form.match(*picture->imageFilename()).hasMatch());
            EXPECT_EQ(document->objectForKeyInCachedData(*picture->imageFilename()), bytes);
        }
        settle();
        EXPECT_EQ(undo->undoActionName(), QStringLiteral("Attach Image"));
    }

    // Cancel attaches nothing; a file that is no picture beeps.
    const int count = a->countOfLinkedGraphics();
    select({a});
    view.doAttachImage();
    QFile text(tempDir.filePath("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    alerts.queueOpenResponse({text.fileName()});
    view.doAttachImage();
    EXPECT_EQ(a->countOfLinkedGraphics(), count);
    EXPECT_EQ(alerts.beepCount(), 1);
}

TEST_F(CanvasActions, BranchTypesChangeEachSelectedBranchOnce)
{
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 1);
    map->insertObjectInSelectedGraphicsAtIndex(b->enclosedTextArea(), 2);
    view.performAction("doChangeBranchType:", 3);
    EXPECT_EQ(a->branchType(), 3);
    EXPECT_EQ(b->branchType(), 3);
    settle();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Change branch type"));
    const int steps = undo->undoStepCount();
    view.performAction("doChangeBranchType:", 4);
    settle();
    EXPECT_EQ(a->branchType(), 3);
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(CanvasActions, AlignmentReachesEachLabelOnceAndAttachedTexts)
{
    auto note = std::dynamic_pointer_cast<TWTextArea>(
        a->publicCreateLinkedGraphicOfType(8, Size(150, 75), std::nullopt, {}));
    auto box = a->publicCreateLinkedGraphicOfType(2, Size(), std::nullopt, {});
    ASSERT_NE(note, nullptr);
    settle();
    const auto alignment = [](const TWTextArea &t) {
        return t.currentAlignment() ? t.currentAlignment()->alignment : -1;
    };
    select({a});
    Recorder redraws({TWMapBranch::RedrawInRectNotification});
    view.alignText(2);
    const int once = redraws.count(TWMapBranch::RedrawInRectNotification);
    EXPECT_GT(once, 0);
    EXPECT_EQ(alignment(*a->enclosedTextArea()), 2);
    settle();
    undo->undo();

    // Shape and label selected: the label is still aligned once.
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 1);
    map->insertObjectInSelectedGraphicsAtIndex(box, 2);
    redraws.clear();
    view.performAction("alignTWTextCenter:", {});
    EXPECT_EQ(redraws.count(TWMapBranch::RedrawInRectNotification), once);
    EXPECT_EQ(alignment(*a->enclosedTextArea()), 2);
    settle();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Center"));

    // An attached text aligns itself, not the label.
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(note, 0);
    view.performAction("alignRight:", {});
    EXPECT_EQ(alignment(*note), 1);
    EXPECT_EQ(alignment(*a->enclosedTextArea()), 2);
}

TEST_F(CanvasActions, FontSizeStepsOnceABranchAndALabelThatCannotShrinkBeeps)
{
    const auto sizeOf = [](const TWTextArea &t) { return t.font() ? t.font()->pointSize() : 0; };
    a->enclosedTextArea()->setText(
        AttributedString("a", {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 12))}}));
    b->enclosedTextArea()->setText(
        AttributedString("b", {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 1))}}));
    auto note = std::dynamic_pointer_cast<TWTextArea>(
        a->publicCreateLinkedGraphicOfType(8, Size(150, 75), std::nullopt, {}));
    const double noteSize = sizeOf(*note);
    settle();

    map->removeAllSelectedGraphics();
    for (const auto &g :
         TWMap::GraphicList{a->mainGraphic(), a->enclosedTextArea(), b->enclosedTextArea(), note})
        map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
    view.performAction("decreaseFontSize:", {});
    EXPECT_EQ(sizeOf(*a->enclosedTextArea()), 11);
    EXPECT_EQ(sizeOf(*b->enclosedTextArea()), 1);
    EXPECT_EQ(sizeOf(*note), noteSize - 1);
    EXPECT_EQ(alerts.beepCount(), 1);

    view.performAction("increaseFontSize:", {});
    EXPECT_EQ(sizeOf(*a->enclosedTextArea()), 12);
    EXPECT_EQ(sizeOf(*b->enclosedTextArea()), 2);
    EXPECT_EQ(alerts.beepCount(), 1);
}

TEST_F(CanvasActions, SelectAllAutoArrangeAndUndo)
{
    view.selectAll();
    for (const auto &x : {root, a, b, leaf})
        EXPECT_TRUE(x->hasSelectedGraphic()) << BranchTest::nameOf(*x).toStdString();

    auto services = std::make_shared<MovingDrawingServices>();
    map->setDrawingServices(services);
    settle();
    view.autoArrangeTree();
    settle();
    EXPECT_EQ(services->arranged, 1);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Auto-arrange Tree"));
    // With the root among the selection the whole map is arranged.
    select({a, root});
    view.autoArrangeSelectedBranch();
    settle();
    EXPECT_EQ(services->arranged, 2);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Auto-arrange Branch"));

    // The item names the step it undoes; with nothing to undo it is disabled
    // unless text is being typed.
    EXPECT_TRUE(state("undo:").enabled);
    EXPECT_EQ(state("undo:").title, QStringLiteral("Undo Auto-arrange Branch"));

    // Undo ends an edit first, then undoes the last step.
    const Rect before = root->mainGraphic()->bounds();
    view.setEditingTextArea(b->enclosedTextArea());
    b->enclosedTextArea()->setIsEditing(true);
    view.performAction("undo:", {});
    EXPECT_FALSE(b->enclosedTextArea()->isEditing());
    EXPECT_EQ(root->mainGraphic()->bounds().x(), before.x() - 1);
    view.setEditingTextArea(nullptr);

    undo->removeAllActions();
    EXPECT_FALSE(state("undo:").enabled);
    EXPECT_EQ(state("undo:").title, QStringLiteral("Undo"));
    view.setEditingTextArea(b->enclosedTextArea());
    EXPECT_TRUE(state("undo:").enabled);
    view.setEditingTextArea(nullptr);

    map->setDrawingServices(nullptr);
}

} // namespace
