#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/PackageArchive.h"
#include "model/TWFileIO.h"
#include "model/TWOutlineNumbering.h"
#include "platform/NotificationCenter.h"
#include "support/XMLElement.h"
#include "support/XMLStreamWriter.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <functional>
#include <map>
#include <vector>

using namespace BranchTest;

namespace {

class TWOutlineNumbersTest : public BranchFixture
{
protected:
    // root: A (A1), B (B1 (c1, c2, c3 (d1 (e1)))); e1 is at level 5.
    void buildTree()
    {
        auto add = [this](const std::shared_ptr<TWMapBranch> &parent, const QString &name) {
            const float y = 50 + 40 * float(branches.size());
            branches[name] = child(parent, y, name);
        };
        add(root, "A");
        add(branches["A"], "A1");
        add(root, "B");
        add(branches["B"], "B1");
        for (const char *name : {"c1", "c2", "c3"})
            add(branches["B1"], name);
        add(branches["c3"], "d1");
        add(branches["d1"], "e1");
    }
    void clearTree()
    {
        while (root->countOfChildren() > 0)
            root->removeObjectFromChildrenAtIndex(0);
        branches.clear();
    }
    // "name=number" for the named branches; "-" stands for a null number.
    QString numbers(const QStringList &names)
    {
        QStringList parts;
        for (const QString &name : names) {
            const QString &number =
                name == "root" ? root->outlineNumber() : branches[name]->outlineNumber();
            parts << name + "=" + (number.isNull() ? QStringLiteral("-") : number);
        }
        return parts.join(' ');
    }

    std::map<QString, std::shared_ptr<TWMapBranch>> branches;
};

TEST_F(TWOutlineNumbersTest, NumbersFollowFormatsFlagsAndOverrides)
{
    using B = TWMapBranch;
    // clang-format off
    struct Case {
        const char *what;
        QStringList formats;
        std::function<void(std::map<QString, std::shared_ptr<B>> &)> configure;
        QStringList names;
        QString expected;
    } cases[] = {
        {"a format per level, the last one for deeper levels",
         {"Numeric", "Lower case alpha", "Lower case roman"}, {},
         {"root", "A", "c3", "e1"}, "root= A=1 c3=2.a.iii e1=2.a.iii.i.i"},
        {"no formats: numeric everywhere", {}, {},
         {"A", "A1", "B1", "c1"}, "A=1 A1=1.1 B1=2.1 c1=2.1.1"},
        {"a hiding branch keeps its own number, its descendants lose theirs", {},
         [](auto &b) { b["B1"]->setHideChildrenOutlineNumbers(true); },
         {"B", "B1", "c1", "c3", "e1"}, "B=2 B1=2.1 c1=- c3=- e1=-"},
        {"reset with an override starts the children afresh", {},
         [](auto &b) {
             b["B1"]->setResetChildrenOutlineNumbers(true);
             b["B1"]->setChildrenOutlineNumberFormatOverride({"Upper case roman"});
         },
         {"B1", "c1", "c2", "c3", "d1"}, "B1=2.1 c1=I c2=II c3=III d1=III.I"},
        {"an override without reset reaches only the children's level and below",
         {"Numeric", "Numeric", "Numeric"},
         [](auto &b) { b["B"]->setChildrenOutlineNumberFormatOverride({"Lower case alpha"}); },
         {"A1", "B1", "c1"}, "A1=1.1 B1=2.a c1=2.a.1"},
        {"an override deeper than the settings pads them with their last entry",
         {"Lower case roman"},
         [](auto &b) { b["c3"]->setChildrenOutlineNumberFormatOverride({"Upper case alpha"}); },
         {"c3", "d1", "e1"}, "c3=ii.i.iii d1=ii.i.iii.A e1=ii.i.iii.A.A"},
        {"an unknown format leaves that level's numbers as they were",
         {"Numeric", "Fancy", "Numeric"}, {},
         {"B", "B1", "c1"}, "B=2 B1=b.a c1=b.a.1"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        buildTree();
        // Every branch first has a number of its own.
        root->generateOutlineNumberFromPreviousOutlineNumber("", {"Lower case alpha"});
        if (c.configure)
            c.configure(branches);
        root->generateOutlineNumberFromPreviousOutlineNumber("", c.formats);
        EXPECT_EQ(numbers(c.names), c.expected);
        clearTree();
    }
}

TEST_F(TWOutlineNumbersTest, NumberingPartOfTheTreeTakesItsPlaceFromTheTree)
{
    using B = TWMapBranch;
    // clang-format off
    struct Case {
        const char *what;
        const char *start;
        QString previous;
        QStringList formats;
        std::function<void(std::map<QString, std::shared_ptr<B>> &)> configure;
        QStringList names;
        QString expected;
    } cases[] = {
        {"a subtree goes on from its parent's number", "B1", "2", {}, {},
         {"B1", "c2", "e1"}, "B1=2.1 c2=2.1.2 e1=2.1.3.1.1"},
        {"a later sibling keeps its place among the others", "c3", "2.1", {}, {},
         {"c1", "c3", "d1"}, "c1=B.A.A c3=2.1.3 d1=2.1.3.1"},
        {"levels count from the root", "c3", "2.a",
         {"Numeric", "Lower case alpha", "Lower case roman"}, {},
         {"c3", "d1", "e1"}, "c3=2.a.iii d1=2.a.iii.i e1=2.a.iii.i.i"},
        {"hiding by an ancestor above the start still hides", "c3", "2.1", {},
         [](auto &b) { b["B"]->setHideChildrenOutlineNumbers(true); },
         {"c3", "d1", "e1"}, "c3=- d1=- e1=-"},
        {"a reset above the start restarts below it", "d1", "", {},
         [](auto &b) { b["c3"]->setResetChildrenOutlineNumbers(true); },
         {"c3", "d1", "e1"}, "c3=B.A.C d1=1 e1=1.1"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        buildTree();
        root->generateOutlineNumberFromPreviousOutlineNumber("", {"Upper case alpha"});
        if (c.configure)
            c.configure(branches);
        branches[c.start]->generateOutlineNumberFromPreviousOutlineNumber(c.previous, c.formats);
        EXPECT_EQ(numbers(c.names), c.expected);
        clearTree();
    }
}

TEST_F(TWOutlineNumbersTest, AfterMovesOnlyTheChildrenTheyReorderedAreRenumbered)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    // clang-format off
    struct Case {
        const char *what;
        std::function<void(std::map<QString, std::shared_ptr<TWMapBranch>> &)> change;
        QStringList names;
        // A1 was given "x": renumbered only with the whole map or where A's
        // number changed.
        QString expected;
        bool listsBranches = true;
    } cases[] = {
        {"a move within the order renumbers nothing",
         [](auto &b) { b["c2"]->moveBranchBy(30, 5, true); },
         {"A1", "c1", "c2", "c3"}, "A1=x c1=2.1.1 c2=2.1.2 c3=2.1.3"},
        {"a move past a sibling renumbers those children and below",
         [](auto &b) { b["c1"]->moveBranchBy(0, 150, true); },
         {"A1", "c1", "c2", "c3", "d1", "e1"},
         "A1=x c1=2.1.3 c2=2.1.1 c3=2.1.2 d1=2.1.2.1 e1=2.1.2.1.1"},
        {"a move deep down and a branch added last to the root",
         [this](auto &b) {
             b["c1"]->moveBranchBy(0, 150, true);
             map->branchShapeMoved(*child(root, 900, "late"));
             map->branchChildrenChanged(*root);
         },
         {"A1", "B", "c1", "c2", "c3", "e1"},
         "A1=x B=2 c1=2.1.3 c2=2.1.1 c3=2.1.2 e1=2.1.2.1.1"},
        {"a first-level subtree moved past its sibling",
         [](auto &b) { b["A"]->moveBranchBy(0, 500, true); },
         {"A", "A1", "B", "B1", "e1"}, "A=2 A1=2.1 B=1 B1=1.1 e1=1.1.3.1.1"},
        {"a first-level branch moved alone",
         [](auto &b) { b["A"]->moveBranchBy(0, 500, false); },
         {"A", "A1", "B", "c3"}, "A=2 A1=2.1 B=1 c3=1.1.3"},
        {"the root moved with its tree: no order changed",
         [this](auto &) { root->moveBranchBy(5, 0, true); },
         {"A1", "c1"}, "A1=x c1=2.1.1", false},
        {"a changed setting with the moves: the whole map",
         [this](auto &b) {
             b["c2"]->moveBranchBy(30, 5, true);
             map->setOutlineNumbersNeedUpdating(true);
         },
         {"A1", "c2"}, "A1=1.1 c2=2.1.2"},
        {"a moved branch taken out of the map",
         [](auto &b) {
             b["c1"]->moveBranchBy(0, 150, true);
             b["B1"]->removeObjectFromChildrenAtIndex(0);
         },
         {"A1", "c2", "c3"}, "A1=x c2=2.1.1 c3=2.1.2"},
        {"a re-ordered subtree taken out of the map keeps its numbers",
         [this](auto &b) {
             b["c1"]->moveBranchBy(0, 150, true);
             root->removeChild(b["B"]);
         },
         {"A", "A1", "c1", "c2"}, "A=1 A1=x c1=2.1.1 c2=2.1.2"},
        {"a branch moved again after a numbering is listed again",
         [this](auto &b) {
             b["c1"]->moveBranchBy(0, 150, true);
             map->updateOutlineNumbers();
             b["A1"]->setOutlineNumber("x");
             b["c1"]->moveBranchBy(0, -150, true);
         },
         {"A1", "c1", "c2", "c3"}, "A1=x c1=2.1.1 c2=2.1.2 c3=2.1.3"},
        {"a branch another map listed is listed by its own",
         [this](auto &b) {
             const std::shared_ptr<TWMap> other = TWMap::create(nullptr);
             b["c1"]->setPrimitiveMap(other.get());
             b["c1"]->moveBranchBy(0, 1, false);
             b["c1"]->setPrimitiveMap(map.get());
             b["c1"]->moveBranchBy(0, 150, false);
         },
         {"A1", "c1", "c2", "c3"}, "A1=x c1=2.1.3 c2=2.1.1 c3=2.1.2"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        buildTree();
        map->recalculateOutlineNumbers();
        branches["A1"]->setOutlineNumber("x");
        c.change(branches);
        ASSERT_EQ(map->outlineNumbersNeedUpdating(), c.listsBranches);
        map->updateOutlineNumbers();
        EXPECT_FALSE(map->outlineNumbersNeedUpdating());
        EXPECT_EQ(numbers(c.names), c.expected);
        clearTree();
    }
}

TEST_F(TWOutlineNumbersTest, AlphaRunsPastTheAlphabet)
{
    QList<std::shared_ptr<TWMapBranch>> children;
    for (int i = 0; i < 27; ++i)
        children << child(root, 10.f * float(i), QString::number(i));
    root->generateOutlineNumberFromPreviousOutlineNumber("", {"Upper case alpha"});
    EXPECT_EQ(children.first()->outlineNumber(), "A");
    EXPECT_EQ(children.last()->outlineNumber(), "AA");
    root->generateOutlineNumberFromPreviousOutlineNumber("", {"Numeric"});
    EXPECT_EQ(children.first()->outlineNumber(), "1");
    EXPECT_EQ(children.last()->outlineNumber(), "27");
}

TEST_F(TWOutlineNumbersTest, ConvertersAndTheirRanges)
{
    // clang-format off
    const std::pair<int, const char *> letters[] = {
        {0, "a"}, {25, "z"}, {26, "aa"}, {51, "az"}, {52, "ba"}, {675, "yz"}, {676, "za"},
        {677, nullptr}, {-1, nullptr}};
    const std::pair<int, const char *> romans[] = {
        {1, "i"}, {4, "iv"}, {9, "ix"}, {14, "xiv"}, {49, "xlix"}, {444, "cdxliv"},
        {1999, "mcmxcix"}, {3999, "mmmcmxcix"}, {4000, "mmmm"}, {5000, "V"}, {5555, "Vdlv"},
        {6000, "VI"}, {9999, "IXcmxcix"}, {14000, "Xmmmm"}, {40000, "XL"}, {1000000, "M"},
        {4000000, "MMMM"}, {4999999, "MMMMCMXCIXcmxcix"}, {0, nullptr}, {5000000, nullptr},
        {-3, nullptr}};
    // clang-format on
    for (const auto &[n, text] : letters) {
        SCOPED_TRACE(n);
        EXPECT_EQ(TWMapBranch::convertNumberToLetters(n),
                  text ? std::optional<QString>(text) : std::nullopt);
    }
    for (const auto &[n, text] : romans) {
        SCOPED_TRACE(n);
        EXPECT_EQ(TWMapBranch::convertNumberToRomanNumerals(n),
                  text ? std::optional<QString>(text) : std::nullopt);
    }
}

TEST_F(TWOutlineNumbersTest, TheMapRenumbersThroughItsServicesAfterSortingByPosition)
{
    // The plain services number the tree themselves.
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    auto lower = child(root, 300, "lower");
    auto upper = child(root, 60, "upper");
    auto leaf = child(upper, 60, "leaf");
    map->insertObjectInOutlineFormatSettingsAtIndex("Upper case roman", 0);
    map->setOutlineNumbersNeedUpdating(true);

    map->recalculateOutlineNumbers();
    EXPECT_EQ(root->children(), (TWMapBranch::BranchList{upper, lower}));
    EXPECT_EQ(upper->outlineNumber(), "I");
    EXPECT_EQ(lower->outlineNumber(), "II");
    EXPECT_EQ(leaf->outlineNumber(), "I.I");
    EXPECT_FALSE(map->outlineNumbersNeedUpdating());
    // The number is shown by a label inside the shape.
    ASSERT_EQ(leaf->countOfOtherEnclosedGraphics(), 1);
    EXPECT_EQ(leaf->objectInOtherEnclosedGraphicsAtIndex(0)->name(), TWMapBranch::OutlineNumberKey);
}

TEST_F(TWOutlineNumbersTest, NumberLabelsTakeTheirMeasuredSizeAndHiddenOnesMarkNothing)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    auto first = child(root, 60, "first");
    auto second = child(root, 300, "second");
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    map->recalculateOutlineNumbers();
    const auto labelOf = [](const std::shared_ptr<TWMapBranch> &b) -> std::shared_ptr<TWTextArea> {
        for (int i = 0; i < b->countOfOtherEnclosedGraphics(); ++i) {
            const auto record = b->objectInOtherEnclosedGraphicsAtIndex(i);
            if (record->name() == TWMapBranch::OutlineNumberKey)
                return std::dynamic_pointer_cast<TWTextArea>(record->graphic());
        }
        return nullptr;
    };
    const auto measured = [](const TWTextArea &label) {
        auto fresh = TWGraphic::make<TWTextArea>(Rect(0, 0, 50, 50));
        fresh->setLineFragmentPadding(label.lineFragmentPadding());
        fresh->setText(label.text());
        return fresh->requiredSizeForWidth(TWMapBranch::UnlimitedTextWidth);
    };
    // Labels read with a document keep the padding they were saved with.
    ASSERT_TRUE(labelOf(first) && labelOf(second));
    labelOf(second)->setLineFragmentPadding(5);
    // Redraws and bounds changes asked for the number labels.
    QStringList marks;
    std::vector<ObserverToken> watches;
    for (const QString &name : {TWGraphic::GraphicNeedsRedrawNotification,
                                TWGraphic::GraphicWillChangeBoundsNotification,
                                TWGraphic::GraphicDidChangeBoundsNotification})
        watches.push_back(NotificationCenter::defaultCenter().observe(
            name, nullptr, [&](const Notification &n) {
                for (const auto &b : {first, second})
                    if (const auto label = labelOf(b); label && n.sender.identity() == label.get())
                        marks << n.name;
            }));
    // clang-format off
    struct Case { const char *what; bool shown; QString number; } cases[] = {
        {"hidden numbers", false, "12.4"},
        {"the same number again, hidden", false, "12.5"},
        {"shown numbers", true, "123.45"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Hidden labels as a document read with them keeps them.
        map->branchDisplaySettingsForUpdate().showOutlineNumbers = c.shown;
        marks.clear();
        // The same number in both labels: one of each padding.
        first->setOutlineNumber(c.number);
        second->setOutlineNumber(c.number);
        // A hidden label says its number once it is brought up to date.
        for (const auto &b : {first, second}) {
            EXPECT_EQ(b->outlineNumberLabelPending(), !c.shown);
            b->materializeOutlineNumberLabel();
        }
        for (const auto &b : {first, second}) {
            const auto label = labelOf(b);
            ASSERT_TRUE(label);
            EXPECT_EQ(label->outlineString(), c.number);
            EXPECT_EQ(label->bounds().size, measured(*label));
        }
        EXPECT_EQ(marks.isEmpty(), !c.shown) << marks.join(' ').toStdString();
    }
}

// Every branch of the tree with its number, "-" for a null one, and what its
// number label says once brought up to date ("" without a label).
QStringList numbersAndLabels(TWMapBranch &top)
{
    QStringList result;
    TWMapBranch::BranchList all;
    top.buildBranchArray(all);
    for (const auto &b : all) {
        b->materializeOutlineNumberLabel();
        QString label;
        for (int i = 0; i < b->countOfOtherEnclosedGraphics(); ++i) {
            const auto record = b->objectInOtherEnclosedGraphicsAtIndex(i);
            if (record->name() == TWMapBranch::OutlineNumberKey)
                if (const auto text = std::dynamic_pointer_cast<TWTextArea>(record->graphic()))
                    label = text->outlineString();
        }
        const QString &n = b->outlineNumber();
        result << nameOf(*b) + "=" + (n.isNull() ? QStringLiteral("-") : n) + "[" + label + "]";
    }
    return result;
}

// A renumbering is one undo step whatever it changed, and undo and redo put
// back every number and what its label says, shown or hidden.
TEST_F(TWOutlineNumbersTest, UndoAndRedoOfARenumberingRestoreEveryNumber)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    // clang-format off
    struct Case {
        const char *what;
        bool shown;
        std::function<void()> edit;
    } cases[] = {
        {"a branch put first among the root's children, numbers hidden", false,
         [this] { child(root, 10, "new"); map->recalculateOutlineNumbers(); }},
        {"the same, numbers shown", true,
         [this] { child(root, 10, "new"); map->recalculateOutlineNumbers(); }},
        {"parents and their descendants renumbered in one pass", false,
         [this] {
             branches["B1"]->setResetChildrenOutlineNumbers(true);
             renumberChildrenOf({root.get(), branches["B"].get(), branches["c3"].get()},
                                map->outlineFormatSettings());
         }},
        {"descendants' numbers hidden below a branch", true,
         [this] { branches["B"]->setHideChildrenOutlineNumbers(true); }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearTree();
        buildTree();
        map->setShowOutlineNumbers(c.shown);
        map->recalculateOutlineNumbers();
        settle();
        undo->removeAllActions();
        const QStringList before = numbersAndLabels(*root);

        c.edit();
        settle();
        const QStringList after = numbersAndLabels(*root);
        ASSERT_NE(after, before);
        ASSERT_EQ(undo->undoStepCount(), 1);
        // Both lists name every branch: the new one is left out after undo.
        undo->undo();
        settle();
        QStringList undone = numbersAndLabels(*root);
        EXPECT_EQ(undone, before);
        undo->redo();
        settle();
        EXPECT_EQ(numbersAndLabels(*root), after);
        undo->undo();
        settle();
    }
}

// A main branch added as the window adds it renumbers only the main
// branches after it; their descendants take the new numbers up when read.
// Whatever is read first, every number, label, undo and redo is what a
// renumbering of the whole tree gives.
TEST_F(TWOutlineNumbersTest, NumbersHandedDownAreThoseOfAWholeRenumbering)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    const QStringList deepFirst = {"e1", "d1", "c3", "c1", "B1", "B", "A1", "A"};
    const QStringList topDown = {"A", "A1", "B", "B1", "c1", "c2", "c3", "d1", "e1"};
    // clang-format off
    struct Case {
        const char *what;
        std::function<void()> setUp;
        QStringList readOrder;
        QString numberOfB; // after the new branch
    } cases[] = {
        {"numeric throughout, deepest read first", [] {}, deepFirst, "3"},
        {"numeric throughout, read from the top", [] {}, topDown, "3"},
        {"a format per level",
         [this] { map->setOutlineFormatSettings({"Upper case roman", "Lower case alpha", "Numeric"}); },
         deepFirst, "III"},
        {"children numbered afresh below a branch",
         [this] { branches["B1"]->setResetChildrenOutlineNumbers(true); }, deepFirst, "3"},
        {"numbers hidden below a branch",
         [this] { branches["c3"]->setHideChildrenOutlineNumbers(true); }, deepFirst, "3"},
        {"a format override below a branch",
         [this] { branches["B1"]->setChildrenOutlineNumberFormatOverride({"Upper case alpha"}); },
         topDown, "3"},
    };
    // clang-format on
    const auto readAll = [this](const QStringList &order) {
        QStringList read;
        for (const QString &name : order)
            read << name + "=" + branches[name]->outlineNumber();
        return read;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearTree();
        buildTree();
        map->setOutlineFormatSettings({});
        map->setShowOutlineNumbers(false);
        c.setUp();
        map->recalculateOutlineNumbers();
        settle();
        undo->removeAllActions();
        const QStringList before = numbersAndLabels(*root);

        // What Tab on the central branch does: a new first main branch.
        const auto added = child(root, 10, "new");
        map->branchShapeMoved(*added);
        map->branchChildrenChanged(*root);
        map->updateOutlineNumbers();
        settle();
        ASSERT_EQ(branches["B"]->outlineNumber(), c.numberOfB);
        ASSERT_EQ(undo->undoStepCount(), 1);
        // Undo puts back numbers not read since the renumbering too.
        undo->undo();
        settle();
        EXPECT_EQ(numbersAndLabels(*root), before);
        undo->redo();
        settle();
        const QStringList read = readAll(c.readOrder);
        const QStringList after = numbersAndLabels(*root);
        EXPECT_NE(after, before);
        // The same tree numbered whole, with nothing handed down.
        map->recalculateOutlineNumbers();
        EXPECT_EQ(readAll(c.readOrder), read);
        EXPECT_EQ(numbersAndLabels(*root), after);

        undo->undo();
        settle();
        EXPECT_EQ(numbersAndLabels(*root), before);
        undo->redo();
        settle();
        EXPECT_EQ(readAll(c.readOrder), read);
        // Shown now, labels are made saying the numbers handed down.
        map->setShowOutlineNumbers(true);
        QStringList shown = after;
        shown.replaceInStrings(QRegularExpression("^([^=]*)=([^-\\[][^\\[]*)\\[\\]$"),
                               "\\1=\\2[\\2]");
        EXPECT_EQ(numbersAndLabels(*root), shown);
        undo->removeAllActions();
    }
}

// Numbers changed while hidden leave the labels a document was read with
// to be brought up to date; writing the branches, either way, writes each
// label with its number. A branch numbered while hidden has no label.
TEST_F(TWOutlineNumbersTest, HiddenNumberLabelsAreWrittenWithTheirNumbers)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    const auto tree = [](TWMapBranch &top) {
        XMLElement holder = XMLElement::create("XMLObj");
        top.addXmlDataToNode(holder.node(), false);
        return holder.elements().at(0).xmlString();
    };
    const auto stream = [](TWMapBranch &top) {
        QByteArray text;
        XMLStreamWriter writer([&text](const char *data, qint64 size) {
            text.append(data, size);
            return true;
        });
        EXPECT_TRUE(top.writeXML(writer));
        EXPECT_TRUE(writer.writeEndDocument());
        return text;
    };
    const std::function<QByteArray(TWMapBranch &)> writers[] = {tree, stream};
    for (const auto &write : writers) {
        clearTree();
        buildTree();
        // Labels made while shown, then hidden as a document read with them keeps them.
        map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
        map->recalculateOutlineNumbers();
        map->branchDisplaySettingsForUpdate().showOutlineNumbers = false;
        settle();
        // Every number after the new first branch changes while hidden.
        child(root, 10, "first");
        map->recalculateOutlineNumbers();
        settle();
        ASSERT_TRUE(branches["e1"]->outlineNumberLabelPending());
        // The numbers themselves are not written: the labels say them.
        QStringList expected;
        TWMapBranch::BranchList all;
        root->buildBranchArray(all);
        for (const auto &b : all)
            if (!b->outlineNumber().isEmpty() && nameOf(*b) != "first")
                expected << nameOf(*b) + "[" + b->outlineNumber() + "]";

        const QByteArray xml = write(*root);
        EXPECT_FALSE(branches["e1"]->outlineNumberLabelPending());
        const XMLElement element = XMLElement::parse(xml.mid(xml.indexOf("<TWMapBranch")));
        auto otherMap = TWMap::create(document.get());
        const auto read =
            TWMapBranch::initWithXMLNode(element.node(), element.doc(), nullptr, otherMap.get());
        ASSERT_TRUE(read);
        QStringList written;
        for (QString line : numbersAndLabels(*read))
            if (!line.endsWith("[]"))
                written << line.remove(QRegularExpression("=[^\\[]*"));
        EXPECT_EQ(written, expected);
    }
}


// The number labels a tree holds, as "branch=label text".
QStringList numberLabelsOf(const TWMap &map)
{
    QStringList labels;
    TWMapBranch::BranchList all;
    map.root()->buildBranchArray(all);
    for (const auto &b : all)
        for (int i = 0; i < b->countOfOtherEnclosedGraphics(); ++i)
            if (const auto record = b->objectInOtherEnclosedGraphicsAtIndex(i);
                record->name() == TWMapBranch::OutlineNumberKey) {
                const auto text = std::dynamic_pointer_cast<TWTextArea>(record->graphic());
                labels << nameOf(*b) + "=" + (text ? text->outlineString() : "?");
            }
    return labels;
}

// What a save of the document writes of its maps' branches: the names of
// their elements, in order, and how many of them are number labels.
struct Saved
{
    QStringList elements;
    qsizetype labels = -1;
};
Saved save(TWMapsDoc &document, const QString &path)
{
    EXPECT_EQ(document.saveToFile(path), TWFileIO::SaveSucceeded);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<PackageData> package = PackageArchive::read(file);
    const QByteArray contents = package ? package->value(TWMapsDoc::ContentsPath) : QByteArray();
    Saved saved;
    saved.labels = contents.count("<name>outlineNumberKey</name>");
    QXmlStreamReader reader(contents);
    int inRoot = 0; // depth inside a map's root element
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && (inRoot > 0 || reader.name() == u"root")) {
            saved.elements << reader.name().toString();
            ++inRoot;
        } else if (token == QXmlStreamReader::EndElement && inRoot > 0) {
            --inRoot;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return saved;
}

// A document made through the model as the window's commands make one,
// without a window ever numbering it.
struct MadeDocument
{
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<TWMap> map;
    explicit MadeDocument(const std::shared_ptr<UndoManager> &undo)
    {
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
    }
    ~MadeDocument() { document->detach(); }
    std::shared_ptr<TWMapBranch> add(const std::shared_ptr<TWMapBranch> &parent, const QString &name)
    {
        const auto branch = parent->addChildOfType(-1);
        branch->enclosedTextArea()->setString(name);
        return branch;
    }
};

// Whatever made a document, its first save, a second save and the save of
// the document read back write the same elements; number labels are
// written only where numbers are shown.
TEST_F(TWOutlineNumbersTest, EverySaveOfAnUnchangedDocumentWritesTheSameElements)
{
    // clang-format off
    struct Case {
        const char *what;
        std::function<void(MadeDocument &)> make;
    } cases[] = {
        {"branches added through the model", [](MadeDocument &d) {
             const auto a = d.add(d.map->root(), "a");
             d.add(d.add(a, "a1"), "a11");
             d.add(d.map->root(), "b");
             d.add(a, "a2");
         }},
        {"the outline format set before the branches are added", [](MadeDocument &d) {
             d.map->setOutlineFormatSettings({"Upper case roman", "Lower case alpha"});
             const auto a = d.add(d.map->root(), "a");
             d.add(a, "a1");
             d.add(a, "a2");
             d.add(d.map->root(), "b");
         }},
        {"a collapsed branch numbering its children afresh in its own format", [](MadeDocument &d) {
             const auto a = d.add(d.map->root(), "a");
             d.add(a, "a1");
             a->setChildrenHidden(true);
             a->setResetChildrenOutlineNumbers(true);
             a->setChildrenOutlineNumberFormatOverride({"Upper case roman"});
             const auto late = TWMapBranch::createWithGraphic(
                 TWGraphic::createWithBounds(Rect(600, 300, 80, 30)), a.get(), d.map.get());
             late->enclosedTextArea()->setString("a2");
             d.add(d.map->root(), "b");
         }},
    };
    // clang-format on
    for (const Case &c : cases) {
        for (const bool shown : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (shown ? ", numbers shown" : ", numbers hidden"));
            const QString first = tempDir.filePath("first.tweb");
            const QString second = tempDir.filePath("second.tweb");
            const QString reread = tempDir.filePath("reread.tweb");
            Saved firstSave;
            {
                MadeDocument made(undo);
                made.map->setShowOutlineNumbers(shown);
                c.make(made);
                firstSave = save(*made.document, first);
                EXPECT_EQ(save(*made.document, second).elements, firstSave.elements);
            }
            int error = 0;
            const auto read = TWMapsDoc::loadFromFile(first, false, &error);
            ASSERT_TRUE(read) << error;
            const Saved again = save(*read, reread);
            read->detach();
            EXPECT_EQ(again.elements, firstSave.elements);
            EXPECT_EQ(again.labels, firstSave.labels);
            // Each of the (at least four) branches below the root shows its number.
            if (shown)
                EXPECT_GE(firstSave.labels, 4);
            else
                EXPECT_EQ(firstSave.labels, 0);
        }
    }
}

// Showing numbers makes the labels in one undo step, and undo takes them
// away; hiding them, or some levels of them, leaves them out of the next
// save. A document saved with hidden labels keeps them, saying their numbers.
TEST_F(TWOutlineNumbersTest, NumberLabelsFollowTheShowSetting)
{
    MadeDocument made(undo);
    const auto a = made.add(made.map->root(), "a");
    made.add(a, "a1");
    made.add(made.map->root(), "b");
    made.map->recalculateOutlineNumbers();
    undo->closeEventGroup();
    undo->removeAllActions();
    const QStringList shownLabels{"a=1", "a1=1.1", "b=2"};
    EXPECT_EQ(numberLabelsOf(*made.map), QStringList());

    made.map->setShowOutlineNumbers(true);
    undo->closeEventGroup();
    EXPECT_EQ(numberLabelsOf(*made.map), shownLabels);
    EXPECT_EQ(undo->undoStepCount(), 1);
    undo->undo();
    EXPECT_EQ(numberLabelsOf(*made.map), QStringList());
    undo->redo();
    EXPECT_EQ(numberLabelsOf(*made.map), shownLabels);
    // Numbers shown down to the first level only: the deeper label goes.
    made.map->setOutlineNumbersToLevel(1);
    undo->closeEventGroup();
    EXPECT_EQ(numberLabelsOf(*made.map), QStringList({"a=1", "b=2"}));
    undo->undo();
    EXPECT_EQ(numberLabelsOf(*made.map), shownLabels);

    made.map->setShowOutlineNumbers(false);
    undo->closeEventGroup();
    EXPECT_EQ(save(*made.document, tempDir.filePath("hidden.tweb")).labels, 0);

    // As an older save left them: labels made, then numbers hidden.
    made.map->setShowOutlineNumbers(true);
    made.map->branchDisplaySettingsForUpdate().showOutlineNumbers = false;
    const QString older = tempDir.filePath("older.tweb");
    EXPECT_EQ(save(*made.document, older).labels, 3);
    int error = 0;
    const auto read = TWMapsDoc::loadFromFile(older, false, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(save(*read, tempDir.filePath("again.tweb")).labels, 3);
    EXPECT_EQ(numberLabelsOf(*read->maps().first()), shownLabels);
    read->detach();
}

} // namespace

// A number passed on brings its label's size to the branch that takes it
// (a label read with a document has the size it was read with); a number
// nobody had is measured.
TEST_F(TWOutlineNumbersTest, ANumberPassedOnBringsItsLabelsSize)
{
    map->setLayoutServices(std::make_shared<TWMapLayoutServices>());
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    auto first = child(root, 60, "first");
    auto second = child(root, 300, "second");
    map->recalculateOutlineNumbers();
    const auto labelOf = [](const std::shared_ptr<TWMapBranch> &b) {
        b->materializeOutlineNumberLabel();
        for (int i = 0; i < b->countOfOtherEnclosedGraphics(); ++i) {
            const auto record = b->objectInOtherEnclosedGraphicsAtIndex(i);
            if (record->name() == TWMapBranch::OutlineNumberKey)
                return std::dynamic_pointer_cast<TWTextArea>(record->graphic());
        }
        return std::shared_ptr<TWTextArea>();
    };
    ASSERT_TRUE(labelOf(first) && labelOf(second));
    const QString one = first->outlineNumber(), two = second->outlineNumber();
    const Size read(77, 11);
    labelOf(first)->setBounds(Rect(0, 0, read.width, read.height));
    // The two swap numbers: the second takes the first's, the first one
    // the second still holds.
    first->setOutlineNumber(two);
    second->setOutlineNumber(one);
    EXPECT_EQ(labelOf(second)->outlineString(), one);
    EXPECT_EQ(labelOf(second)->bounds().size, read);
    const auto label = labelOf(first);
    EXPECT_EQ(label->outlineString(), two);
    EXPECT_EQ(label->bounds().size, label->requiredSizeForWidth(TWMapBranch::UnlimitedTextWidth));
}
