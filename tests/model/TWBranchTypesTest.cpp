#include "../support/ImageTestData.h"
#include "BranchTestSupport.h"
#include "TWMapsDocTestSupport.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "platform/RecordingAlerts.h"
#include "support/Image.h"

#include <QTemporaryDir>
#include <functional>

using namespace BranchTest;

namespace {

class RoundedRectangle : public TWRectangle
{
public:
    QString className() const override { return QStringLiteral("RoundedRectangle"); }
};

// Pictures widen the shape to the left by the picture's width.
class PictureLayout : public RecordingLayout
{
public:
    Rect enclosedImageBoundsForNewImageOfSize(TWMapBranch &, Size size, Rect &shape) override
    {
        calls << QStringLiteral("picture %1x%2").arg(size.width).arg(size.height);
        shape = Rect(shape.x() - size.width, shape.y(), shape.width() + size.width, shape.height());
        return Rect(shape.x(), shape.y(), size.width, size.height);
    }
};

class TWBranchTypesTest : public BranchFixture
{
protected:
    TWBranchTypesTest()
    {
        pictures = std::make_shared<PictureLayout>();
        map->setLayoutServices(pictures);
    }
    QStringList cachedPaths() const { return document->cachedData().keys(); }

    std::shared_ptr<PictureLayout> pictures;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

TEST_F(TWBranchTypesTest, TypeCodesAndClassesWithTheirFallbacks)
{
    // clang-format off
    const std::pair<int, const char *> classes[] = {
        {1, "TWLine"}, {2, "TWRectangle"}, {3, "TWCircle"}, {4, "TWImage"}, {5, "TWFlexiBranch"},
        {6, "TWCloud"}, {7, "TWCustomBranchShape"}, {0, nullptr}, {8, nullptr}, {-1, nullptr}};
    // clang-format on
    for (const auto &[code, name] : classes) {
        SCOPED_TRACE(code);
        MapsDocTest::WarningCapture warnings;
        EXPECT_EQ(TWMapBranch::classForBranchType(code), name ? name : "TWLine");
        EXPECT_EQ(warnings.lines(),
                  name ? QStringList()
                       : QStringList{QString("Error: unknown branch type: %1").arg(code)});
    }

    const Rect r(500, 100, 80, 30);
    const std::pair<std::shared_ptr<TWGraphic>, int> shapes[] = {
        {TWGraphic::make<TWLine>(r), 1},
        {TWGraphic::make<TWRectangle>(r), 2},
        {TWGraphic::make<TWCircle>(r), 3},
        {TWGraphic::make<TWImage>(r), 4},
        {TWGraphic::make<TWFlexiBranch>(r), 5},
        {TWGraphic::make<TWCloud>(r), 6},
        {TWGraphic::make<TWCustomBranchShape>(r), 7},
        {TWGraphic::make<RoundedRectangle>(r), 1},
        {TWGraphic::createWithBounds(r), 1},
    };
    auto b = child(root, 100, "b");
    for (const auto &[shape, code] : shapes) {
        SCOPED_TRACE(shape->className().toStdString());
        b->setMainGraphic(shape);
        MapsDocTest::WarningCapture warnings;
        EXPECT_EQ(b->branchType(), code);
        const bool known = shape->className() == TWMapBranch::classForBranchType(code);
        EXPECT_EQ(warnings.lines(),
                  known ? QStringList()
                        : QStringList{"Error: unknown branch type: " + shape->className()});
    }
}

TEST_F(TWBranchTypesTest, DerivedCheckBoxStates)
{
    struct Node
    {
        bool show;
        int state;
        QList<Node> children;
    };
    struct Case
    {
        const char *what;
        bool automatic;
        int stored;
        QList<Node> children;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"one checked, one unchecked", true, 0, {{true, 1, {}}, {true, 0, {}}}, -1},
        {"both checked", true, 0, {{true, 1, {}}, {true, 1, {}}}, 1},
        {"both unchecked", true, 1, {{true, 0, {}}, {true, 0, {}}}, 0},
        {"a single descendant leaves the stored state", true, 1, {{true, 0, {}}}, 1},
        {"no descendant shows a check box", true, 1, {{false, 0, {}}, {false, 0, {}}}, 1},
        {"a mixed grandchild makes every ancestor mixed", true, 0,
         {{true, 1, {{true, -1, {}}}}}, -1},
        {"a grandchild counts directly", true, 0, {{false, 1, {{true, 1, {}}}}}, 1},
        {"without automatic check boxes the stored state", false, 1,
         {{true, 0, {}}, {true, 0, {}}}, 1},
        {"mixed and other values", true, 1, {{true, 0, {}}, {true, 7, {}}}, 0},
    };
    // clang-format on
    std::function<void(const std::shared_ptr<TWMapBranch> &, const QList<Node> &)> build =
        [&](const std::shared_ptr<TWMapBranch> &parent, const QList<Node> &nodes) {
            for (const Node &node : nodes) {
                auto c = child(parent, 100, "c");
                c->setShowCheckBox(node.show);
                c->setCheckBoxState(node.state);
                build(c, node.children);
            }
        };
    // A long chain of nested check boxes is worked out in one pass.
    QList<Node> chain{{true, 1, {}}};
    for (int i = 0; i < 60; ++i)
        chain = {{true, 1, chain}};
    QList<Case> all(std::begin(cases), std::end(cases));
    all.append({"nested deeply", true, 0, chain, 1});
    for (const Case &c : std::as_const(all)) {
        SCOPED_TRACE(c.what);
        map->setAutomaticCheckBoxes(c.automatic);
        auto p = child(root, 100, "p");
        p->setShowCheckBox(true);
        p->setCheckBoxState(c.stored);
        build(p, c.children);
        EXPECT_EQ(p->calculatedCheckboxState(), c.expected);
        root->removeChild(p);
    }
}

TEST_F(TWBranchTypesTest, PicturesAreStoredByKindAndTheSubtreeFollowsTheShape)
{
    const std::optional<Image> pdf = Image::initWithData(ImageTestData::pdf());
    const std::optional<Image> eps = Image::initWithData(ImageTestData::eps());
    const std::optional<Image> png = Image::initWithData(ImageTestData::encoded("png"));
    ASSERT_TRUE(pdf && eps && png);
    struct Case
    {
        const char *what;
        const Image *image;
        const char *suffix;
        QByteArray data;
    };
    const Case cases[] = {
        {"PDF", &*pdf, "/ExtractedImage.pdf", ImageTestData::pdf()},
        {"EPS", &*eps, "/ExtractedImage.eps", ImageTestData::eps()},
        {"bitmap", &*png, "/ExtractedImage.tiff", png->TIFFRepresentation()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto b = child(root, 100, "b", 500);
        auto kid = child(b, 100, "kid", 700);
        const QStringList before = cachedPaths();
        pictures->calls.clear();

        EXPECT_TRUE(b->setEnclosedImageFromImage(c.image));
        const float width = c.image->size().width;
        const auto picture = b->enclosedImage();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->className(), "TWImage");
        EXPECT_EQ(picture->branch(), b.get());
        const QString path =
            QString("Images/Graphic%1%2").arg(picture->graphicNumber()).arg(c.suffix);
        EXPECT_EQ(picture->imageFilename(), path);
        QStringList added = cachedPaths();
        for (const QString &p : before)
            added.removeAll(p);
        EXPECT_EQ(added, QStringList{path});
        EXPECT_EQ(b->enclosedImageData(), c.data);
        // The centred label went below the picture first.
        EXPECT_EQ(b->textRelativePosition(), 3);
        EXPECT_EQ(pictures->calls.filter("picture ").first(),
                  QString("picture %1x%2").arg(width).arg(c.image->size().height));
        EXPECT_EQ(b->mainGraphic()->bounds(), Rect(500 - width, 100, 80 + width, 30));
        // The shape grew on its left: the children move left by as much.
        EXPECT_EQ(kid->mainGraphic()->bounds().x(), 700 - width);

        // Taking it out asks for the zero size and moves the children back.
        pictures->calls.clear();
        EXPECT_TRUE(b->setEnclosedImageFromImage(nullptr));
        EXPECT_EQ(b->enclosedImage(), nullptr);
        EXPECT_EQ(pictures->calls.first(), "picture 0x0");
        EXPECT_EQ(b->enclosedImageData(), std::nullopt);
        root->removeChild(b);
    }
}

TEST_F(TWBranchTypesTest, PicturesFromFilesAndData)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("photo.png");
    const QString bad = dir.filePath("notes.txt");
    for (const auto &[path, bytes] :
         {std::pair{good, ImageTestData::encoded("png")}, std::pair{bad, QByteArray("text")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    auto b = child(root, 100, "b", 500);
    auto kid = child(b, 100, "kid", 700);

    EXPECT_TRUE(b->setEnclosedImageFromFilename(good));
    const auto picture = b->enclosedImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->imageFilename(),
              QString("Images/Graphic%1/photo.png").arg(picture->graphicNumber()));
    // The file's own bytes; the children stay where they are.
    EXPECT_EQ(b->enclosedImageData(), ImageTestData::encoded("png"));
    EXPECT_EQ(kid->mainGraphic()->bounds().x(), 700);

    MapsDocTest::WarningCapture warnings;
    const QStringList paths = cachedPaths();
    EXPECT_FALSE(b->setEnclosedImageFromFilename(bad));
    EXPECT_EQ(alerts.beepCount(), 1);
    EXPECT_EQ(warnings.lines(), QStringList{"Couldn't open image from location: " + bad});
    EXPECT_EQ(b->enclosedImage(), picture);
    EXPECT_EQ(cachedPaths(), paths);

    // Data that is no picture takes the picture out.
    EXPECT_TRUE(b->setEnclosedImageData("no picture"));
    EXPECT_EQ(b->enclosedImage(), nullptr);
    EXPECT_TRUE(b->setEnclosedImageData(ImageTestData::pdf()));
    EXPECT_EQ(b->enclosedImageData(), ImageTestData::pdf());
}

} // namespace

TEST_F(TWBranchTypesTest, ARecordFillsTextNoteAndAttachedTexts)
{
    struct Case
    {
        QString record;
        QString text;
        QString note; // empty: none
        QStringList attached;
    };
    const Case cases[] = {
        {"Only text", "Only text", "", {}},
        {"Text||||", "Text", "", {}},
        {"Text|A note", "Text", "A note", {}},
        {"Text|A note|First|Second", "Text", "A note", {"First", "Second"}},
        {"Text|A note|First||Second", "Text", "A note", {"First", "Second"}},
        {"Text||Free", "Text", "", {"Free"}},
        {"|Note only", "", "Note only", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.record.toStdString());
        auto b = child(root, 100, "old");
        // A note there already stays, after the new one.
        auto older = std::make_shared<TWAttachedText>(std::nullopt, undo.get());
        older->setText(std::make_shared<const AttributedString>(QString("older")));
        b->insertObjectInAttachedTextArrayAtIndex(older, 0);
        settle();
        Recorder recorder({TWMapsDoc::IncrementLoadingNotification});
        pictures->calls.clear();

        b->populateBranchWithDataFromString(c.record);

        EXPECT_EQ(b->enclosedTextArea()->text().string(), c.text);
        ASSERT_EQ(recorder.notifications.size(), 1);
        EXPECT_EQ(recorder.notifications.at(0).userInfo.value(TWMapBranch::LoadingTextKey),
                  c.text);
        QStringList notes;
        for (const auto &note : b->attachedTextArray())
            notes << note->text()->string();
        EXPECT_EQ(notes, (c.note.isEmpty() ? QStringList{"older"} : QStringList{c.note, "older"}));
        // Each part in a text of its own (newer ones are drawn in front).
        QStringList attached;
        for (const auto &graphic : b->linkedGraphics())
            if (const auto *text = dynamic_cast<const TWTextArea *>(graphic.get()))
                attached << text->text().string();
        attached.sort();
        EXPECT_EQ(attached, c.attached);
        EXPECT_EQ(pictures->calls.filter("natural size").size(), 1)
            << pictures->calls.join('\n').toStdString();
        // One undo takes the record out again.
        settle();
        undo->undo();
        EXPECT_EQ(b->enclosedTextArea()->text().string(), "old");
        EXPECT_EQ(b->attachedTextArray().size(), 1);
        EXPECT_TRUE(b->linkedGraphics().isEmpty());
        b->remove();
        settle();
    }
}
