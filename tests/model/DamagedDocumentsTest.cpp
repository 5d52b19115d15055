// Documents damaged in one place (tests/data/damaged): what cannot be read is
// replaced or left out, everything else stays, and a save reads back whole.
#include "TWMapsDocTestSupport.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWTextArea.h"
#include "model/PackageArchive.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <QFile>
#include <QMap>
#include <functional>

using namespace MapsDocTest;

namespace {

QByteArray damagedContents(const QString &name)
{
    QFile file(QStringLiteral(THINKWEB_TEST_DATA "/damaged/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// Every branch as "number label", sorted, and the parent of each by number.
struct Outline
{
    QStringList branches;
    QMap<int, int> parents;
    bool operator==(const Outline &) const = default;
};

Outline outlineOf(const TWMap &map)
{
    Outline outline;
    for (const std::shared_ptr<TWMapBranch> &branch : map.allBranches()) {
        const TWTextArea *label = branch->enclosedTextArea().get();
        outline.branches.append(QStringLiteral("%1 %2").arg(branch->branchNumber()).arg(
            label ? label->text().string() : QStringLiteral("(no label)")));
        if (branch->parent())
            outline.parents.insert(branch->branchNumber(), branch->parent()->branchNumber());
    }
    outline.branches.sort();
    return outline;
}

// The tree every file of the folder stores, less the branches named.
Outline storedOutline(const QMap<int, QString> &relabelled = {}, const QList<int> &lost = {})
{
    const QMap<int, QString> labels{{1, "Plan"},   {2, "Goals"},  {3, "Tasks"},  {4, "People"},
                                    {5, "Draft"},  {6, "Review"}, {7, "Ship"},   {8, "Ann"},
                                    {9, "Bo"},     {10, "Read"},  {11, "Mark"},  {12, "Return"}};
    const QMap<int, int> parents{{2, 1}, {3, 1},  {4, 1},  {5, 3},  {6, 3},  {7, 3},
                                 {8, 4}, {9, 4},  {10, 6}, {11, 6}, {12, 6}};
    Outline outline;
    for (auto it = labels.cbegin(); it != labels.cend(); ++it) {
        if (lost.contains(it.key()))
            continue;
        outline.branches.append(
            QStringLiteral("%1 %2").arg(it.key()).arg(relabelled.value(it.key(), it.value())));
        if (parents.contains(it.key()))
            outline.parents.insert(it.key(), parents.value(it.key()));
    }
    outline.branches.sort();
    return outline;
}

std::shared_ptr<TWMapBranch> branchNumbered(const TWMap &map, int number)
{
    for (const std::shared_ptr<TWMapBranch> &branch : map.allBranches())
        if (branch->branchNumber() == number)
            return branch;
    return nullptr;
}

class DamagedDocumentsTest : public MapsDocFixture
{
protected:
    QString path(const QString &name) const { return tempDir.filePath(name); }

    bool package(const QString &file, const QByteArray &contents)
    {
        QFile out(path(file));
        return out.open(QIODevice::WriteOnly) &&
               PackageArchive::write(out, {{TWMapsDoc::ContentsPath, contents},
                                           {"Thinkweb/fileVersion.txt", "4.1"}}) ==
                   PackageArchive::WriteStatus::Written;
    }

    // A read as the window makes it: with a count of what was mended.
    struct Read
    {
        std::shared_ptr<TWMapsDoc> document;
        int mended = 0;
        int leftOut = 0;
        QStringList log;
    };

    Read read(const QString &file, bool streamed)
    {
        Read result;
        WarningCapture warnings;
        const TWBranchReadDamage damage;
        if (streamed) {
            int error = -1;
            result.document = TWMapsDoc::loadFromFile(path(file), false, &error);
        } else {
            QFile in(path(file));
            EXPECT_TRUE(in.open(QIODevice::ReadOnly));
            const std::optional<PackageData> data = PackageArchive::read(in);
            EXPECT_TRUE(data.has_value());
            if (data)
                result.document = TWMapsDoc::createWithDictionary(*data, false);
        }
        if (result.document) {
            result.document->processFlags();
            opened.push_back(result.document);
        }
        result.mended = damage.mended();
        result.leftOut = damage.leftOut();
        result.log = warnings.lines();
        return result;
    }

    ~DamagedDocumentsTest() override
    {
        for (const auto &document : opened)
            document->detach();
    }

    std::vector<std::shared_ptr<TWMapsDoc>> opened;
};

TEST_F(DamagedDocumentsTest, WhatCannotBeReadIsReplacedOrLeftOutAndTheRestReadsBackAfterASave)
{
    struct Case
    {
        const char *file;
        int mended;
        int leftOut;
        QStringList loggedOnce; // each exactly once
        Outline outline;
        std::function<void(const TWMap &)> check;
    };
    const Case cases[] = {
        // The central branch of a kind this version does not know: the whole
        // map stays, under a shape of the type for new branches where it was.
        {"unknown-root-shape.xml", 1, 0,
         {"Could not find class named TWHexagon - aborting load of graphic!"}, storedOutline(),
         [](const TWMap &map) {
             const TWMapBranch &root = *map.root();
             EXPECT_EQ(root.branchNumber(), 1);
             EXPECT_EQ(root.mainGraphic()->bounds(), Rect(0, 100, 100, 40));
             const int type = map.document()->graphicClassIdentifier();
             EXPECT_EQ(root.branchType(), type == 4 ? 2 : type);
         }},
        // A child of an unknown kind keeps its subtree, and the connections
        // stored with its children join its new shape.
        {"unknown-child-shape.xml", 1, 0,
         {"Could not find class named TWHexagon - aborting load of graphic!"}, storedOutline(),
         [](const TWMap &map) {
             const auto tasks = branchNumbered(map, 3);
             ASSERT_TRUE(tasks);
             EXPECT_EQ(tasks->mainGraphic()->bounds(), Rect(200, 100, 100, 40));
             ASSERT_EQ(tasks->countOfChildren(), 3);
             for (const auto &child : tasks->children()) {
                 auto *connection =
                     dynamic_cast<TWChildConnection *>(child->connectionGraphic().get());
                 ASSERT_TRUE(connection);
                 EXPECT_EQ(connection->parentGraphic(), tasks->mainGraphic());
             }
         }},
        // A label of the wrong kind and one without a number: empty labels
        // where they were, or where a new branch's label sits.
        {"unreadable-label.xml", 2, 0,
         {"The label of a branch is a TWRectangle - replaced by an empty one",
          "Error: no graphic number stored for graphic - aborting graphic loading"},
         storedOutline({{3, ""}, {4, ""}}),
         [](const TWMap &map) {
             EXPECT_EQ(branchNumbered(map, 3)->enclosedTextArea()->bounds(),
                       Rect(205, 110, 90, 20));
             const Rect people = branchNumbered(map, 4)->mainGraphic()->bounds();
             EXPECT_TRUE(people.contains(branchNumbered(map, 4)->enclosedTextArea()->bounds()));
         }},
        // A damaged shape that tells neither place nor number goes around
        // its label, and the connections stored to it are made anew: four
        // branches mended.
        {"damaged-shape-without-bounds.xml", 4, 0,
         {"Error: no graphic number stored for graphic - aborting graphic loading",
          "Rebuilt 3 connections that could not be loaded"},
         storedOutline(),
         [](const TWMap &map) {
             const auto tasks = branchNumbered(map, 3);
             EXPECT_EQ(tasks->mainGraphic()->bounds(), Rect(200, 100, 100, 40));
             for (const auto &child : tasks->children()) {
                 auto *connection =
                     dynamic_cast<TWChildConnection *>(child->connectionGraphic().get());
                 ASSERT_TRUE(connection);
                 EXPECT_EQ(connection->parentGraphic(), tasks->mainGraphic());
             }
         }},
        // A branch that lacks its number is left out with all seven below
        // and beside it in its subtree, and said once.
        {"branch-without-number.xml", 0, 7, {"No branch number defined for branch"},
         storedOutline({}, {3, 5, 6, 7, 10, 11, 12}), nullptr},
    };
    for (const Case &c : cases) {
        for (const bool streamed : {true, false}) {
            SCOPED_TRACE(std::string(c.file) + (streamed ? " streamed" : " as a tree"));
            ASSERT_TRUE(package("damaged.tweb", damagedContents(c.file)));
            const Read first = read("damaged.tweb", streamed);
            ASSERT_TRUE(first.document);
            EXPECT_EQ(first.mended, c.mended);
            EXPECT_EQ(first.leftOut, c.leftOut);
            for (const QString &line : c.loggedOnce)
                EXPECT_EQ(first.log.count(line), 1) << line.toStdString() << "\n"
                                                    << first.log.join('\n').toStdString();
            if (c.leftOut == 0) {
                EXPECT_EQ(first.log.filter("No Main graphic").size(), 0);
                EXPECT_EQ(first.log.filter("No text area").size(), 0);
            }
            const TWMap &map = *first.document->maps().at(0);
            EXPECT_EQ(outlineOf(map), c.outline) << outlineOf(map).branches.join(", ").toStdString();
            if (c.check)
                c.check(map);

            // Saved as shown, and read back without a word.
            ASSERT_EQ(first.document->saveToFile(path("saved.tweb")), TWFileIO::SaveSucceeded);
            const Read again = read("saved.tweb", streamed);
            ASSERT_TRUE(again.document);
            EXPECT_EQ(again.mended, 0);
            EXPECT_EQ(again.leftOut, 0);
            EXPECT_EQ(again.log.filter("Could not find class").size(), 0);
            EXPECT_EQ(outlineOf(*again.document->maps().at(0)), c.outline);
            if (c.check)
                c.check(*again.document->maps().at(0));
            EXPECT_TRUE(alerts.alerts().isEmpty())
                << alerts.alerts().first().title.toStdString() << "\n"
                << first.log.join('\n').toStdString();
            alerts.clear();
        }
    }
}

// A shape that cannot be read stands where it was stored, or, stored with
// no usable place (out of range, not a number, no width or no height),
// around its label.
TEST_F(DamagedDocumentsTest, AShapeThatCannotBeReadStandsWhereItWasOrAroundItsLabel)
{
    const QByteArray stored =
        "<class>TWHexagon</class><bounds><x>200</x><y>100</y><width>100</width><height>40</height>";
    const Rect label(205, 110, 90, 20);
    const struct
    {
        const char *what;
        QByteArray bounds;
        bool placed;
    } cases[] = {
        {"a usable place", "<x>200</x><y>100</y><width>100</width><height>40</height>", true},
        {"far beyond the canvas", "<x>20000</x><y>100</y><width>100</width><height>40</height>",
         false},
        {"not a number", "<x>200</x><y>nan</y><width>100</width><height>40</height>", false},
        {"too wide", "<x>200</x><y>100</y><width>1e6</width><height>40</height>", false},
        {"no width", "<x>200</x><y>100</y><width>0</width><height>40</height>", false},
        {"no height", "<x>200</x><y>100</y><width>100</width><height>0</height>", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray contents = damagedContents("unknown-child-shape.xml");
        ASSERT_TRUE(contents.contains(stored));
        contents.replace(stored, "<class>TWHexagon</class><bounds>" + c.bounds);
        ASSERT_TRUE(package("placed.tweb", contents));
        const Read read = this->read("placed.tweb", true);
        ASSERT_TRUE(read.document);
        const Rect shape = branchNumbered(*read.document->maps().at(0), 3)->mainGraphic()->bounds();
        if (c.placed) {
            EXPECT_EQ(shape, Rect(200, 100, 100, 40));
        } else {
            EXPECT_TRUE(shape.contains(label)) << shape.toString().toStdString();
            EXPECT_LT(shape.width(), 200);
        }
    }
}

} // namespace
