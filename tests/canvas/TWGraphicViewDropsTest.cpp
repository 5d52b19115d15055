#include "CanvasTestSupport.h"

#include "canvas/TWDragTypes.h"
#include "canvas/TWPoofWindow.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "model/TWContactsProvider.h"
#include "model/TWHyperlink.h"
#include "model/TWResource.h"
#include "platform/Random.h"
#include "support/Image.h"
#include "support/TWImageEncryption.h"

#include <QApplication>
#include <QBuffer>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace CanvasTest;

namespace {

QByteArray pngOfSize(int w, int h)
{
    QImage picture(w, h, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    picture.setDotsPerMeterX(2835); // 72 dpi: a pixel is a point
    picture.setDotsPerMeterY(2835);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// The answer to a drag event: the action shown, or nothing.
std::optional<Qt::DropAction> answer(const QDropEvent &event)
{
    return event.isAccepted() ? std::optional(event.dropAction()) : std::nullopt;
}

} // namespace

// Root 100 x 40 at (300, 200); "a" at (500, 100) and "b" at (500, 300),
// 80 x 30 each; one attached rectangle of "a" at (700, 100).
class CanvasDrops : public CanvasFixture
{
protected:
    CanvasDrops()
    {
        a = child(root, 100, "a");
        b = child(root, 300, "b");
        attached = a->publicCreateLinkedGraphicOfType(TWMapBranch::LinkedRectangle, Size(60, 60),
                                                      Point(700, 100), QVariant());
        map->removeAllSelectedGraphics();
        settle();
        undo->removeAllActions();
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = tempDir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    static std::unique_ptr<QMimeData> withFormat(const QString &type, const QByteArray &bytes = "x")
    {
        auto data = std::make_unique<QMimeData>();
        data->setData(type, bytes);
        return data;
    }
    static std::unique_ptr<QMimeData> withUrls(const QList<QUrl> &urls)
    {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        return data;
    }
    static std::unique_ptr<QMimeData> withColor(QColor color)
    {
        auto data = std::make_unique<QMimeData>();
        data->setColorData(color);
        return data;
    }

    // Editing a label may scroll the canvas: events come in viewport points.
    QPointF viewportPoint(Point at) const
    {
        return view.viewportRectFromMap(Rect(at, Size())).topLeft();
    }
    std::optional<Qt::DropAction>
    enter(const QMimeData &data, Point at, Qt::KeyboardModifiers modifiers = {},
          Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        QDragEnterEvent event(viewportPoint(at).toPoint(), actions, &data, Qt::LeftButton,
                              modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
        return answer(event);
    }
    std::optional<Qt::DropAction>
    move(const QMimeData &data, Point at, Qt::KeyboardModifiers modifiers = {},
         Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        QDragMoveEvent event(viewportPoint(at).toPoint(), actions, &data, Qt::LeftButton,
                             modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
        return answer(event);
    }
    void leave()
    {
        QDragLeaveEvent event;
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
    bool drop(const QMimeData &data, Point at, Qt::KeyboardModifiers modifiers = {},
              Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        QDropEvent event(viewportPoint(at), actions, &data, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
        return event.isAccepted();
    }
    // The whole gesture, as the desktop delivers it.
    bool enterMoveDrop(const QMimeData &data, Point at, Qt::KeyboardModifiers modifiers = {})
    {
        enter(data, at, modifiers);
        move(data, at, modifiers);
        return drop(data, at, modifiers);
    }
    static Point centreOf(const TWGraphic &g)
    {
        return Point(g.bounds().midX(), g.bounds().midY());
    }
    static bool nearly(Rect r, Rect s)
    {
        return std::abs(r.x() - s.x()) < 1e-3 && std::abs(r.y() - s.y()) < 1e-3 &&
               std::abs(r.width() - s.width()) < 1e-3 && std::abs(r.height() - s.height()) < 1e-3;
    }
    void selectOnly(const std::shared_ptr<TWMapBranch> &branch)
    {
        map->removeAllSelectedGraphics();
        if (branch)
            map->insertObjectInSelectedGraphicsAtIndex(branch->enclosedTextArea(), 0);
    }
    // An image adornment of the branch at the point, 16 x 16.
    std::shared_ptr<TWEnclosedGraphic> adornment(const std::shared_ptr<TWMapBranch> &branch,
                                                 Point at, const QString &name)
    {
        auto icon = TWGraphic::make<TWImage>(Rect(at.x, at.y, 16, 16));
        icon->setBranch(branch.get());
        auto record = std::make_shared<TWEnclosedGraphic>(name, name, icon);
        branch->insertObjectInOtherEnclosedGraphicsAtIndex(record,
                                                           branch->countOfOtherEnclosedGraphics());
        return record;
    }
    static QStringList names(const TWMapBranch &branch)
    {
        QStringList result;
        for (const auto &e : branch.otherEnclosedGraphics())
            result << e->name();
        return result;
    }

    std::shared_ptr<TWMapBranch> a, b;
    std::shared_ptr<TWGraphic> attached;
    const Point empty = Point(100, 400);
};

TEST_F(CanvasDrops, DragTypesKeepTheirOrderOfPrecedence)
{
    const QStringList expected{
        "application/x-color",
        "TWPBoardTypeBranchLine",
        "TWPBoardTypeBranchRectangle",
        "TWPBoardTypeBranchRoundedRectangle",
        "TWPBoardTypeBranchCircle",
        "TWPBoardTypeBranchFlexi",
        "TWPBoardTypeGraphicAttachedText",
        "TWPBoardTypeGraphicRectange",
        "TWPBoardTypeGraphicRoundedRectange",
        "TWPBoardTypeGraphicOval",
        "TWPBoardTypeGraphicImage",
        "TWPBoardTypeGraphicLinkLine",
        "TWAdornmentPBoard",
    };
    const QStringList types = TWDragTypes::supportedDragTypes();
    ASSERT_GT(types.size(), expected.size() + 1);
    EXPECT_EQ(types.mid(0, expected.size()), expected);
    // Address cards come before pictures: a card may bring its photo.
    const qsizetype cards = vCardPboardTypes().size();
    EXPECT_EQ(types.mid(expected.size(), cards), vCardPboardTypes());
    EXPECT_EQ(types.mid(expected.size() + cards, types.size() - expected.size() - cards - 1),
              TWDragTypes::imagePasteboardTypes());
    EXPECT_EQ(types.last(), "text/uri-list");
    EXPECT_TRUE(TWDragTypes::imagePasteboardTypes().contains("image/png"));
    // Precedence: a colour beats a shape, a shape the adornment type.
    auto both = withColor(Qt::red);
    both->setData(TWDragTypes::BranchRectangle, "x");
    enter(*both, centreOf(*attached));
    EXPECT_EQ(move(*both, centreOf(*attached)), std::nullopt); // colours refuse attached graphics
    EXPECT_EQ(move(*both, centreOf(*root->mainGraphic())), Qt::MoveAction);
    leave();
    auto shapeFirst = withFormat(TWDragTypes::BranchRectangle);
    shapeFirst->setData(TWDragTypes::Adornment, "x");
    EXPECT_EQ(enter(*shapeFirst, centreOf(*root->mainGraphic())), Qt::CopyAction);
    leave();
}

TEST_F(CanvasDrops, EveryOperationRuleIsAnsweredOnEnterAndOnEveryMove)
{
    const QString picture = writeFile("p.png", pngOfSize(20, 10));
    const QString text = writeFile("notes.txt", "hello");
    const auto none = std::optional<Qt::DropAction>();
    const auto copy = std::optional(Qt::CopyAction), link = std::optional(Qt::LinkAction),
               generic = std::optional(Qt::MoveAction);
    enum Where { Label, Attached, Empty };
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<QMimeData>()> data;
        Where where;
        int selected; // branches selected
        std::optional<Qt::DropAction> expected;
        Qt::KeyboardModifiers modifiers = {};
        Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    };
    const auto fmt = [](const QString &type) { return [type] { return withFormat(type); }; };
    const auto files = [](QStringList paths) {
        return [paths] {
            QList<QUrl> urls;
            for (const QString &p : paths)
                urls << QUrl::fromLocalFile(p);
            return withUrls(urls);
        };
    };
    const auto address = [] { return withUrls({QUrl("http://example.org/a")}); };
    const auto png = [] { return withFormat("image/png", pngOfSize(4, 4)); };
    const auto blue = [] { return withColor(Qt::blue); };
    using namespace TWDragTypes;
    const Case cases[] = {
        {"unknown type", fmt("text/plain"), Label, 0, none},
        {"branch shape on a branch", fmt(BranchCircle), Label, 0, copy},
        {"branch shape on an attached graphic", fmt(BranchCircle), Attached, 0, none},
        {"branch shape on empty canvas", fmt(BranchLine), Empty, 1, none},
        {"link-line tool on an attached graphic", fmt(GraphicLinkLine), Attached, 0, copy},
        {"link-line tool on empty canvas", fmt(GraphicLinkLine), Empty, 1, none},
        {"attached shape on an attached graphic", fmt(GraphicOval), Attached, 0, copy},
        {"attached shape on empty canvas, one selected", fmt(GraphicOval), Empty, 1, copy},
        {"attached shape on empty canvas, two selected", fmt(GraphicOval), Empty, 2, none},
        {"palette image on empty canvas", fmt(GraphicImage), Empty, 0, none},
        {"address on a branch", address, Label, 0, link},
        {"address on an attached graphic", address, Attached, 0, none},
        {"colour on a branch", blue, Label, 0, generic},
        {"colour on empty canvas", blue, Empty, 1, none},
        {"adornment files on a branch", fmt(Adornment), Label, 0, copy},
        {"adornment files on empty canvas", fmt(Adornment), Empty, 0, none},
        {"picture file on a branch", files({picture}), Label, 0, copy},
        {"picture file, Control", files({picture}), Label, 0, link, Qt::MetaModifier},
        {"picture file from a link-only source",
         files({picture}),
         Label,
         0,
         link,
         {},
         Qt::LinkAction},
        {"picture file on empty canvas, one selected", files({picture}), Empty, 1, link},
        {"picture file on empty canvas, none selected", files({picture}), Empty, 0, none},
        {"picture file on an attached graphic", files({picture}), Attached, 0, none},
        {"other file on a branch", files({text}), Label, 0, link},
        {"other file from a copy-only source", files({text}), Label, 0, copy, {}, Qt::CopyAction},
        {"other file on empty canvas", files({text}), Empty, 1, none},
        {"two files on a branch", files({picture, text}), Label, 0, none},
        {"picture data on a branch", png, Label, 0, copy},
        {"picture data, Control", png, Label, 0, link, Qt::MetaModifier},
        {"picture data on empty canvas, one selected", png, Empty, 1, link},
        {"picture data on empty canvas, none selected", png, Empty, 0, none},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        map->removeAllSelectedGraphics();
        const QList<std::shared_ptr<TWMapBranch>> chosen{a, b};
        for (int i = 0; i < c.selected; ++i)
            map->insertObjectInSelectedGraphicsAtIndex(chosen[i]->enclosedTextArea(), i);
        const Point at = c.where == Label      ? centreOf(*root->mainGraphic())
                         : c.where == Attached ? centreOf(*attached)
                                               : empty;
        const std::unique_ptr<QMimeData> data = c.data();
        const std::optional<Qt::DropAction> entered = enter(*data, at, c.modifiers, c.actions);
        EXPECT_EQ(move(*data, at, c.modifiers, c.actions), c.expected);
        // Taken where nothing can be dropped, so that the moves still come.
        const bool known = QString(c.name) != "unknown type";
        EXPECT_EQ(entered, c.expected ? c.expected
                           : known    ? std::optional(Qt::IgnoreAction)
                                      : none);
        leave();
    }
    // While an adornment is dragged, everything is answered generic.
    view.setDraggingEnclosedGraphic(adornment(a, Point(505, 105), "star"));
    const auto other = files({text})();
    EXPECT_EQ(enter(*other, empty), generic);
    EXPECT_EQ(move(*other, empty), generic);
    leave();
    view.setDraggingEnclosedGraphic(nullptr);
}

TEST_F(CanvasDrops, AFileDragEndsTheEditOfALabel)
{
    const std::shared_ptr<TWTextArea> label = b->enclosedTextArea();
    label->setIsEditing(true);
    settle();
    ASSERT_EQ(view.editingTextArea(), label.get());
    enter(*withUrls({QUrl::fromLocalFile(writeFile("n.txt", "x"))}), centreOf(*a->mainGraphic()));
    EXPECT_FALSE(label->isEditing());
}

TEST_F(CanvasDrops, PaletteShapesColoursFilesAndAddressesWithTheirUndoNames)
{
    const auto line = TWGraphic::make<TWLine>(Rect(500, 500, 80, 10));
    const auto lineBranch = TWMapBranch::createWithGraphic(line, root.get(), map.get());
    settle();
    undo->removeAllActions();
    // Lines are hit on their stroke only.
    const auto onLine = [&] {
        for (float y = line->bounds().minY() - 5; y < line->bounds().maxY() + 5; y += 0.5f) {
            if (map->graphicUnderPoint(Point(line->bounds().midX(), y), nullptr) == line)
                return Point(line->bounds().midX(), y);
        }
        ADD_FAILURE() << "no point on the line";
        return Point();
    };
    const QString textFile = writeFile("notes.txt", "hello");
    const QString mapFile = writeFile("other.tweb", "x");
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<QMimeData>()> data;
        std::function<Point()> at;
        QString undoName;
        std::function<void()> check;
    };
    const auto onA = [this] { return centreOf(*a->mainGraphic()); };
    const Case cases[] = {
        {"colour strokes a line", [] { return withColor(Qt::blue); }, onLine, "Set Line Color",
         [&] {
             EXPECT_FALSE(line->inheritsStroke());
             EXPECT_TRUE(line->drawsStroke());
             EXPECT_EQ(line->strokeColor()->toQColor(), QColor(Qt::blue));
         }},
        {"rectangle shape", [] { return withFormat(TWDragTypes::BranchRectangle); }, onA, "",
         [&] {
             ASSERT_EQ(a->countOfChildren(), 1);
             const auto c = a->children().first();
             EXPECT_EQ(c->mainGraphic()->className(), "TWRectangle");
             EXPECT_EQ(c->mainGraphic()->cornerMode(), 0);
             EXPECT_EQ(TWPreferences::rectCornerMode(), 0);
             EXPECT_EQ(document->graphicClassIdentifier(), 2);
             EXPECT_TRUE(c->enclosedTextArea()->isEditing());
             EXPECT_TRUE(map->isGraphicSelected(c->enclosedTextArea().get()));
         }},
        {"flexi shape", [] { return withFormat(TWDragTypes::BranchFlexi); }, onA, "",
         [&] {
             ASSERT_EQ(a->countOfChildren(), 1);
             EXPECT_EQ(a->children().first()->mainGraphic()->className(), "TWFlexiBranch");
             EXPECT_EQ(document->graphicClassIdentifier(), 5);
         }},
        {"attached text", [] { return withFormat(TWDragTypes::GraphicAttachedText); },
         [] { return Point(150, 450); }, "Attach Text",
         [&] {
             ASSERT_EQ(map->countOfSelectedGraphics(), 1);
             const auto made = map->objectInSelectedGraphicsAtIndex(0);
             EXPECT_EQ(made->className(), "TWTextArea");
             EXPECT_EQ(made->branch(), a.get());
             // Fitted to its text about the drop point.
             EXPECT_FLOAT_EQ(made->bounds().midX(), 150);
             EXPECT_FLOAT_EQ(made->bounds().y(), 442);
             EXPECT_EQ(document->attachedGraphicClassIdentifier(), TWMapBranch::LinkedText);
         }},
        {"oval on a branch", [] { return withFormat(TWDragTypes::GraphicOval); },
         [this] { return centreOf(*b->mainGraphic()); }, "Attach Oval",
         [&] {
             ASSERT_EQ(b->countOfLinkedGraphics(), 1);
             EXPECT_EQ(b->linkedGraphics().first()->bounds(), Rect(490, 265, 100, 100));
             EXPECT_EQ(document->attachedGraphicClassIdentifier(), TWMapBranch::LinkedOval);
         }},
        {"palette image", [] { return withFormat(TWDragTypes::GraphicImage); }, onA, "",
         [&] { EXPECT_EQ(a->countOfLinkedGraphics(), 1); }},
        {"colour fills", [] { return withColor(QColor(255, 0, 0, 100)); }, onA, "Set Fill Color",
         [&] {
             const auto &shape = a->mainGraphic();
             EXPECT_FALSE(shape->inheritsFill());
             EXPECT_TRUE(shape->drawsFill());
             EXPECT_EQ(shape->fillColor()->toQColor(), QColor(255, 0, 0));
         }},
        {"colour on an attached graphic", [] { return withColor(Qt::blue); },
         [&] { return centreOf(*attached); }, "Set Graphic Fill Color",
         [&] { EXPECT_EQ(attached->fillColor()->toQColor(), QColor(Qt::blue)); }},
        {"text file", [&] { return withUrls({QUrl::fromLocalFile(textFile)}); }, onA, "",
         [&] {
             ASSERT_EQ(a->countOfHyperlinks(), 1);
             EXPECT_EQ(a->hyperlinks().last()->linkType(), TWHyperlink::LocalFile);
             EXPECT_EQ(a->hyperlinks().last()->linkURL(), textFile);
         }},
        {"map document file", [&] { return withUrls({QUrl::fromLocalFile(mapFile)}); }, onA, "",
         [&] {
             ASSERT_EQ(a->countOfHyperlinks(), 1);
             EXPECT_EQ(a->hyperlinks().last()->linkType(), TWHyperlink::ThinkwebFile);
         }},
        {"two files",
         [&] {
             return withUrls({QUrl::fromLocalFile(textFile), QUrl::fromLocalFile(mapFile)});
         },
         onA, "", [&] { EXPECT_EQ(a->countOfHyperlinks(), 0); }},
        {"addresses",
         [] {
             return withUrls({QUrl("http://example.org/x.tweb"), QUrl("http://example.org/")});
         },
         onA, "",
         [&] {
             ASSERT_EQ(a->countOfHyperlinks(), 2);
             EXPECT_EQ(a->hyperlinks().at(0)->linkType(), TWHyperlink::ThinkwebURL);
             EXPECT_EQ(a->hyperlinks().at(0)->linkURL(), "http://example.org/x.tweb");
             EXPECT_EQ(a->hyperlinks().at(1)->linkType(), TWHyperlink::URL);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<QMimeData> data = c.data();
        // One branch selected: the attached text's owner when nothing is under the pointer.
        selectOnly(a);
        settle();
        undo->setActionName(QString());
        EXPECT_TRUE(enterMoveDrop(*data, c.at()));
        EXPECT_EQ(undo->undoActionName(), c.undoName);
        c.check();
        settle();
        while (undo->canUndo())
            undo->undo();
        settle();
        EXPECT_EQ(a->countOfChildren(), 0);
        EXPECT_EQ(a->countOfHyperlinks(), 0);
        EXPECT_EQ(a->countOfLinkedGraphics(), 1);
        EXPECT_TRUE(a->mainGraphic()->inheritsFill());
    }
}

TEST_F(CanvasDrops, ARoundedRectangleDroppedOnEmptyCanvasGoesToTheSelectedBranch)
{
    root->mainGraphic()->setBounds(Rect(50, 50, 100, 40));
    selectOnly(b);
    settle();
    ASSERT_EQ(map->graphicUnderPoint(Point(300, 200), nullptr), nullptr);
    EXPECT_TRUE(enterMoveDrop(*withFormat(TWDragTypes::GraphicRoundedRectangle), Point(300, 200)));
    ASSERT_EQ(b->countOfLinkedGraphics(), 1);
    const auto made = b->linkedGraphics().first();
    EXPECT_EQ(made->bounds(), Rect(250, 150, 100, 100));
    EXPECT_EQ(made->cornerMode(), 1);
    EXPECT_EQ(TWPreferences::rectCornerMode(), 1);
    EXPECT_EQ(map->selectedGraphics(), QList<std::shared_ptr<TWGraphic>>({made}));
    EXPECT_EQ(undo->undoActionName(), "Attach Rectangle");
}

TEST_F(CanvasDrops, PictureFilesAndPicturesBySizeOperationAndPointer)
{
    const QByteArray bytes = pngOfSize(400, 200);
    const QString path = writeFile("wide.png", bytes);
    const auto file = [&] { return withUrls({QUrl::fromLocalFile(path)}); };
    const auto picture = [&] { return withFormat("image/png", bytes); };
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<QMimeData>()> data;
        Point at;
        Qt::KeyboardModifiers modifiers;
        bool attached;  // else the picture inside "a"'s shape
        Rect bounds;    // only the size for the picture in the shape
        QString stored; // {b} branch, {g} graphic, {r} random; empty: not the file's bytes
    };
    const Point onA(540, 115), off(150, 450);
    const Qt::KeyboardModifiers control = Qt::MetaModifier, shift = Qt::ShiftModifier;
    const QString attachedPath = "Images/Branch{b}/Graphic{g}/{r}.png";
    const Case cases[] = {
        {"file, Control", file, onA, control, true, Rect(480, 85, 120, 60), attachedPath},
        {"file, Control and Shift", file, onA, control | shift, true, Rect(340, 15, 400, 200),
         attachedPath},
        {"file on empty canvas, a selected",
         file,
         off,
         {},
         true,
         Rect(90, 420, 120, 60),
         attachedPath},
        {"file", file, onA, {}, false, Rect(0, 0, 120, 60), "Images/Branch{b}/{r}.png"},
        {"file, Shift", file, onA, shift, false, Rect(0, 0, 400, 200), "Images/Branch{b}/{r}.png"},
        {"picture, Control", picture, onA, control, true, Rect(480, 85, 120, 60),
         "Images/Branch{b}/Graphic{g}/ExtractedImage.tiff"},
        {"picture", picture, onA, {}, false, Rect(0, 0, 120, 60), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectOnly(a);
        settle();
        undo->setActionName(QString());
        const std::unique_ptr<QMimeData> data = c.data();
        // The random part is any number.
        const auto storedAs = [&](long graphic, const QString &stored) {
            QString pattern =
                QRegularExpression::escape(QString(c.stored)
                                               .replace("{b}", QString::number(a->branchNumber()))
                                               .replace("{g}", QString::number(graphic)));
            return QRegularExpression("^" + pattern.replace("\\{r\\}", "\\d+") + "$")
                .match(stored)
                .hasMatch();
        };
        EXPECT_TRUE(enterMoveDrop(*data, c.at, c.modifiers));
        EXPECT_EQ(undo->undoActionName(), c.attached ? "Add linked graphic" : "Set branch image");
        std::shared_ptr<TWGraphic> made =
            c.attached ? map->objectInSelectedGraphicsAtIndex(0) : a->enclosedImage();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->className(), "TWImage");
        const QString stored = made->imageFilename().value_or(QString());
        if (c.attached) {
            EXPECT_EQ(a->countOfLinkedGraphics(), 2);
            EXPECT_EQ(map->countOfSelectedGraphics(), 1);
            EXPECT_TRUE(nearly(made->bounds(), c.bounds))
                << made->bounds().toString().toStdString();
            EXPECT_TRUE(storedAs(made->graphicNumber(), stored)) << stored.toStdString();
        } else {
            EXPECT_EQ(made->bounds().size, c.bounds.size);
        }
        if (!c.stored.isEmpty() && !c.stored.contains("Extracted")) {
            // The file's own bytes, not data made from the decoded picture,
            // and nothing left of what the picture was first stored as.
            EXPECT_TRUE(storedAs(0, stored) || c.attached) << stored.toStdString();
            EXPECT_EQ(document->objectForKeyInCachedData(stored), bytes);
            const QString first = QStringLiteral("Images/Graphic%1.").arg(made->graphicNumber());
            for (const QString &key : document->cachedData().keys())
                EXPECT_FALSE(key.startsWith(first)) << key.toStdString();
        }
        settle();
        while (undo->canUndo())
            undo->undo();
        settle();
        EXPECT_EQ(a->countOfLinkedGraphics(), 1);
        EXPECT_EQ(a->enclosedImage(), nullptr);
    }
}

TEST_F(CanvasDrops, PicturesAndFilesThatCannotBeTakenChangeNothing)
{
    const QString broken = writeFile("broken.png", "not a picture");
    selectOnly(a);
    settle();
    // Dropped where no result fits: shown as none, nothing happens.
    for (const auto &data :
         {withUrls({QUrl::fromLocalFile(broken)}), withFormat("image/png", "garbage")}) {
        EXPECT_TRUE(enterMoveDrop(*data, centreOf(*b->mainGraphic())));
        EXPECT_EQ(b->enclosedImage(), nullptr);
        EXPECT_EQ(b->countOfLinkedGraphics(), 0);
        EXPECT_EQ(document->countOfCachedData(), 0);
    }
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(CanvasDrops, APictureDroppedDuringAnAdornmentDragBecomesACentredChild)
{
    const QString path = writeFile("wide.png", pngOfSize(600, 300));
    view.setDraggingEnclosedGraphic(adornment(a, Point(505, 105), "star"));
    settle();
    const int before = b->countOfChildren();
    const auto data = withUrls({QUrl::fromLocalFile(path)});
    // Shift keeps the size of other pictures, never of a new child's.
    EXPECT_EQ(enter(*data, centreOf(*b->mainGraphic()), Qt::ShiftModifier), Qt::MoveAction);
    EXPECT_TRUE(drop(*data, centreOf(*b->mainGraphic()), Qt::ShiftModifier));
    ASSERT_EQ(b->countOfChildren(), before + 1);
    const auto c = b->children().last();
    ASSERT_NE(c->enclosedImage(), nullptr);
    EXPECT_EQ(c->enclosedImage()->bounds().size, Size(120, 60));
    EXPECT_EQ(c->enclosedImage()->imageFilename()->startsWith(
                  QStringLiteral("Images/Branch%1/").arg(c->branchNumber())),
              true);
    const Rect shape = c->mainGraphic()->bounds();
    EXPECT_FLOAT_EQ(shape.midX(), centreOf(*b->mainGraphic()).x);
    EXPECT_FLOAT_EQ(shape.midY(), centreOf(*b->mainGraphic()).y);
    EXPECT_EQ(undo->undoActionName(), "Move Graphic");
    // The drop ends the adornment drag.
    EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
}

TEST_F(CanvasDrops, TheLinkLineToolStartsALinkLineFromTheGraphicUnderThePointer)
{
    EXPECT_TRUE(
        enterMoveDrop(*withFormat(TWDragTypes::GraphicLinkLine), centreOf(*a->enclosedTextArea())));
    EXPECT_TRUE(view.isTracking());
    EXPECT_EQ(view.drawingMode(), TWGraphicView::LinkLineMode);
    const Point to = centreOf(*b->mainGraphic());
    QMouseEvent moved(QEvent::MouseMove, viewportPoint(to),
                      view.viewport()->mapToGlobal(viewportPoint(to)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &moved);
    QMouseEvent released(QEvent::MouseButtonRelease, viewportPoint(to),
                         view.viewport()->mapToGlobal(viewportPoint(to)), Qt::LeftButton,
                         Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &released);
    EXPECT_FALSE(view.isTracking());
    ASSERT_EQ(map->countOfLinkLines(), 1);
    EXPECT_EQ(map->linkLines().first()->startGraphic(), a->mainGraphic());
    EXPECT_EQ(map->linkLines().first()->endGraphic(), b->mainGraphic());
}

// --- adornments ---

TEST_F(CanvasDrops, AnAdornmentTakesTheSlotUnderThePointerAndMovesBetweenBranches)
{
    const auto one = adornment(a, Point(505, 105), "one");
    adornment(a, Point(525, 105), "two");
    adornment(a, Point(545, 105), "three");
    const auto other = adornment(b, Point(505, 305), "other");
    settle();
    const auto data = withFormat(TWDragTypes::Adornment, "Images/one.png");
    struct Step
    {
        const char *name;
        Point at;
        QStringList onA, onB;
        QString undoName; // empty: unchanged
    };
    const Step steps[] = {
        {"over its own slot", Point(507, 110), {"one", "two", "three"}, {"other"}, ""},
        {"over the third slot",
         Point(546, 110),
         {"two", "three", "one"},
         {"other"},
         "Re-order Adornment Graphics"},
        {"over the slot of the first",
         Point(526, 110),
         {"one", "two", "three"},
         {"other"},
         "Re-order Adornment Graphics"},
        {"over its branch outside every slot",
         Point(570, 125),
         {"two", "three", "one"},
         {"other"},
         "Add adornment"},
        {"over another branch",
         Point(560, 320),
         {"two", "three"},
         {"other", "one"},
         "Add adornment"},
        {"over a slot there",
         Point(506, 310),
         {"two", "three"},
         {"one", "other"},
         "Re-order Adornment Graphics"},
        {"over empty canvas", Point(100, 400), {"two", "three"}, {"other"}, "Remove adornment"},
        {"back over the first branch",
         Point(570, 125),
         {"two", "three", "one"},
         {"other"},
         "Add adornment"},
    };
    view.setDraggingEnclosedGraphic(one);
    EXPECT_EQ(enter(*data, Point(507, 110)), Qt::MoveAction);
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        undo->setActionName(QString());
        EXPECT_EQ(move(*data, s.at), Qt::MoveAction);
        EXPECT_EQ(names(*a), s.onA);
        EXPECT_EQ(names(*b), s.onB);
        EXPECT_EQ(undo->undoActionName(), s.undoName);
        settle();
    }
    EXPECT_EQ(one->graphic()->branch(), a.get());
    EXPECT_EQ(other->graphic()->branch(), b.get());
    EXPECT_TRUE(drop(*data, Point(570, 125)));
    EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
    EXPECT_EQ(names(*a), QStringList({"two", "three", "one"}));
}

TEST_F(CanvasDrops, TheCanvasOwnAdornmentDragLeavesComesBackAndEndsWithAPoof)
{
    const auto one = adornment(a, Point(505, 105), "one");
    settle();
    view.setPoofImage(QImage(50, 10, QImage::Format_ARGB32));
    view.setPoofFrameInterval(1);
    QPointer<TWPoofWindow> poof;
    view.setDragExecutor([&](QDrag &drag) {
        const QMimeData &data = *drag.mimeData();
        enter(data, Point(507, 110));
        move(data, Point(560, 320));
        EXPECT_EQ(names(*b), QStringList({"one"}));
        leave();
        // Off the canvas it belongs to no branch, but the drag still holds it.
        EXPECT_TRUE(names(*b).isEmpty());
        EXPECT_EQ(view.draggingEnclosedGraphic(), one);
        enter(data, Point(560, 320));
        move(data, Point(560, 320));
        EXPECT_EQ(names(*b), QStringList({"one"}));
        const auto poofs = [] {
            QList<TWPoofWindow *> found;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *p = qobject_cast<TWPoofWindow *>(w))
                    found.append(p);
            }
            return found;
        };
        const int before = int(poofs().size());
        EXPECT_TRUE(drop(data, empty));
        EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
        // The poof runs on the next pass, not inside the drop.
        EXPECT_EQ(poofs().size(), before);
        QCoreApplication::processEvents();
        ASSERT_EQ(poofs().size(), before + 1);
        poof = poofs().last();
    });
    const QPointF at = viewportPoint(Point(510, 110));
    QMouseEvent press(QEvent::MouseButtonPress, at, view.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &press);
    view.setDragExecutor(nullptr);
    EXPECT_NE(poof, nullptr);
    EXPECT_TRUE(waitUntil([&] { return poof.isNull(); }));
}

TEST_F(CanvasDrops, ATextAdornmentIsRefusedOffItsOwnBranch)
{
    auto number = TWGraphic::make<TWTextArea>(Rect(505, 105, 20, 12));
    number->setBranch(a.get());
    auto record = std::make_shared<TWEnclosedGraphic>(QStringLiteral("outlineNumberKey"),
                                                      std::nullopt, number);
    a->insertObjectInOtherEnclosedGraphicsAtIndex(record, 0);
    settle();
    const auto data = withFormat(TWDragTypes::Adornment, "1.");
    struct Case
    {
        const char *name;
        Point at;
        bool accepted;
    };
    const Case cases[] = {
        {"on another branch", centreOf(*b->mainGraphic()), false},
        {"on empty canvas", empty, false},
        {"on its own branch", Point(560, 120), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        view.setDraggingEnclosedGraphic(record);
        enter(*data, c.at);
        move(*data, c.at);
        // It never leaves its branch.
        EXPECT_EQ(names(*a), QStringList({"outlineNumberKey"}));
        EXPECT_EQ(drop(*data, c.at), c.accepted);
        EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
    }
}

TEST_F(CanvasDrops, AdornmentFilesBecomeAdornmentsAndTheLastFollowsThePointer)
{
    const QString star = writeFile("star.png", pngOfSize(32, 32));
    const QString flag = writeFile("flag.gif.png", pngOfSize(8, 8));
    const auto data =
        withFormat(TWDragTypes::Adornment, (star + ";/nowhere/missing.png;" + flag).toUtf8());
    EXPECT_EQ(enter(*data, centreOf(*b->mainGraphic())), Qt::CopyAction);
    // Made on the first move, not on entering.
    EXPECT_EQ(b->countOfOtherEnclosedGraphics(), 0);
    EXPECT_EQ(move(*data, centreOf(*b->mainGraphic())), Qt::MoveAction);
    EXPECT_EQ(names(*b), QStringList({star, flag}));
    const auto &made = b->otherEnclosedGraphics().first();
    EXPECT_EQ(made->path(), star);
    EXPECT_EQ(made->graphic()->bounds(), Rect(0, 0, 16, 16));
    EXPECT_EQ(made->graphic()->branch(), b.get());
    const QString stored = made->graphic()->imageFilename().value_or(QString());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Images/Branch%1/Graphic%2/star\\d+\\.png$")
                                       .arg(b->branchNumber())
                                       .arg(made->graphic()->graphicNumber()))
                    .match(stored)
                    .hasMatch())
        << stored.toStdString();
    EXPECT_EQ(document->objectForKeyInCachedData(stored), pngOfSize(32, 32));
    EXPECT_EQ(view.draggingEnclosedGraphic(), b->otherEnclosedGraphics().last());
    EXPECT_EQ(undo->undoActionName(), "Add adornment");
    settle();
    // Carried to another branch, then dropped there.
    move(*data, Point(560, 120));
    EXPECT_EQ(names(*b), QStringList({star}));
    EXPECT_EQ(names(*a), QStringList({flag}));
    EXPECT_TRUE(drop(*data, Point(560, 120)));
    EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
}

TEST_F(CanvasDrops, AdornmentFilesNamedAsFilesKeepSemicolonsAndAreDeciphered)
{
    const QString semicolon = writeFile("red;flag.png", pngOfSize(8, 8));
    const QString library =
        writeFile("star.twpng", TWImageEncryption::encryptedData(pngOfSize(12, 12)));
    const struct
    {
        const char *name;
        QStringList files;
        QStringList made;
        const char *stored;
    } cases[] = {
        {"a path holding a semicolon", {semicolon}, {semicolon}, "png"},
        {"an enciphered library picture", {library}, {library}, "png"},
        {"both", {library, semicolon}, {library, semicolon}, "png"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto data = withFormat(TWDragTypes::Adornment, c.files.join(';').toUtf8());
        QList<QUrl> urls;
        for (const QString &f : c.files)
            urls.append(QUrl::fromLocalFile(f));
        data->setUrls(urls);
        const int before = b->countOfOtherEnclosedGraphics();
        enter(*data, centreOf(*b->mainGraphic()));
        move(*data, centreOf(*b->mainGraphic()));
        QStringList made;
        for (int i = before; i < b->countOfOtherEnclosedGraphics(); ++i)
            made.append(b->otherEnclosedGraphics().at(i)->path().value_or(QString()));
        EXPECT_EQ(made, c.made);
        const auto &first = b->otherEnclosedGraphics().at(before);
        const QString stored = first->graphic()->imageFilename().value_or(QString());
        EXPECT_TRUE(stored.endsWith(QLatin1Char('.') + QLatin1String(c.stored)))
            << stored.toStdString();
        EXPECT_TRUE(
            Image::initWithData(document->objectForKeyInCachedData(stored).value_or(QByteArray())));
        EXPECT_TRUE(drop(*data, centreOf(*b->mainGraphic())));
        settle();
    }
}

TEST_F(CanvasDrops, AFileDropAfterAnAdornmentDragEndedElsewhereIsAnOrdinaryDrop)
{
    const QString picture = writeFile("p.png", pngOfSize(400, 200));
    const auto file = withUrls({QUrl::fromLocalFile(picture)});
    const auto one = adornment(a, Point(505, 105), "one");
    settle();
    undo->removeAllActions();
    struct Case
    {
        const char *name;
        std::function<void()> adornmentDrag;
    };
    const Case cases[] = {
        {"dragged out of a branch, dropped in another program",
         [&] {
             view.setDragExecutor([&](QDrag &drag) {
                 enter(*drag.mimeData(), Point(507, 110));
                 move(*drag.mimeData(), Point(507, 110));
                 leave();
             });
             const QPointF at = viewportPoint(Point(510, 110));
             QMouseEvent press(QEvent::MouseButtonPress, at, view.viewport()->mapToGlobal(at),
                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(view.viewport(), &press);
             view.setDragExecutor(nullptr);
         }},
        {"files from the media browser, taken away again",
         [&] {
             const auto data = withFormat(TWDragTypes::Adornment, picture.toUtf8());
             enter(*data, centreOf(*b->mainGraphic()));
             move(*data, centreOf(*b->mainGraphic()));
             EXPECT_NE(view.draggingEnclosedGraphic(), nullptr);
             leave();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.adornmentDrag();
        settle();
        EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
        const int children = b->countOfChildren();
        EXPECT_EQ(enter(*file, centreOf(*b->mainGraphic())), Qt::CopyAction);
        EXPECT_EQ(move(*file, centreOf(*b->mainGraphic())), Qt::CopyAction);
        EXPECT_TRUE(drop(*file, centreOf(*b->mainGraphic())));
        EXPECT_EQ(b->countOfChildren(), children);
        ASSERT_NE(b->enclosedImage(), nullptr);
        EXPECT_EQ(b->enclosedImage()->bounds().size, Size(120, 60));
        settle();
        while (undo->canUndo())
            undo->undo();
        settle();
    }
    EXPECT_EQ(names(*a), QStringList({"one"}));
}

TEST_F(CanvasDrops, AddressCardsDroppedOrPastedOnABranchBecomeItsResources)
{
    const QByteArray ann = "BEGIN:VCARD\nVERSION:3.0\nUID:ann-1\nN:Lee;Ann\nEND:VCARD\n";
    const QByteArray team = "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nUID:team\n"
                            "MEMBER:urn:uuid:ann-1\nMEMBER:urn:uuid:bob-2\nEND:VCARD\n" +
                            ann + "BEGIN:VCARD\nVERSION:4.0\nUID:bob-2\nN:Ray;Bob\nEND:VCARD\n";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("team.vcf");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(team);
    }
    struct Case
    {
        const char *name;
        bool paste;
        bool asFile;
        QByteArray card;
        QStringList allocated; // to the branch, in order
        int beeps;
    };
    const Case cases[] = {
        {"dropped card", false, false, ann, {"ann-1"}, 0},
        {"the same card again", false, false, ann, {"ann-1"}, 0},
        {"dropped group file", false, true, {}, {"ann-1", "bob-2"}, 0},
        {"pasted card", true, false, ann, {"ann-1"}, 0},
        {"pasted card naming nobody", true, false, "BEGIN:VCARD\nN:;\nEND:VCARD\n", {}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        while (!b->resourcesAllocated().isEmpty())
            b->removeObjectFromResourcesAllocatedAtIndex(0);
        // Dropped again on a branch that has the person already.
        if (QByteArray(c.name) == "the same card again")
            b->allocateResource(document->resourceWithIdentifier("ann-1"));
        alerts.clear();
        QMimeData data;
        if (c.asFile)
            data.setUrls({QUrl::fromLocalFile(file)});
        else
            data.setData("text/vcard", c.card);
        // What other programs add beside a card must not win over it.
        data.setText(QStringLiteral("Ann Lee"));
        if (c.paste) {
            select({b});
            view.pasteFromPB(&data, 0);
        } else {
            EXPECT_EQ(enter(data, centreOf(*b->mainGraphic())), Qt::CopyAction);
            EXPECT_TRUE(drop(data, centreOf(*b->mainGraphic())));
        }
        settle();
        EXPECT_EQ(b->resourcesAllocated(), c.allocated);
        EXPECT_EQ(alerts.beepCount(), c.beeps);
        // No child was made from the text beside the card.
        EXPECT_TRUE(b->children().empty());
    }
    EXPECT_EQ(document->resourceWithIdentifier("bob-2")->resourceName(), "Bob Ray");
    // Off every branch a card is refused.
    QMimeData card;
    card.setData("text/vcard", ann);
    EXPECT_EQ(enter(card, Point(50, 50)).value_or(Qt::IgnoreAction), Qt::IgnoreAction);
}
