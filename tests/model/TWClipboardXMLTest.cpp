#include "model/TWClipboardXML.h"
#include "BranchTestSupport.h"
#include "graphics/TWImage.h"
#include "graphics/TWRectangle.h"
#include "platform/RecordingAlerts.h"

#include <QRegularExpression>
#include <cmath>

using namespace BranchTest;

namespace {

class TWClipboardXMLTest : public BranchFixture
{
protected:
    // An attached rectangle with a picture stored in the document.
    std::shared_ptr<TWGraphic> attachPicture(TWMapBranch &b, Rect bounds)
    {
        auto picture = std::make_shared<TWImage>();
        picture->init();
        picture->setBounds(bounds);
        picture->setBranch(&b);
        const QString path = QString("Images/Branch%1/Graphic%2/pic.png")
                                 .arg(b.branchNumber())
                                 .arg(picture->graphicNumber());
        document->setObjectInCachedData(QByteArray("PNGDATA"), path);
        picture->setImageFilename(path);
        b.insertObjectInLinkedGraphicsAtIndex(picture, 0);
        return picture;
    }
    void select(const std::shared_ptr<TWGraphic> &g)
    {
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(g, 0);
    }
    QStringList allNumbers(const TWMapBranch &b) const
    {
        QStringList out{QString("b%1").arg(b.branchNumber()),
                        QString("g%1").arg(b.mainGraphic()->graphicNumber())};
        for (const auto &g : b.linkedGraphics())
            out << QString("g%1").arg(g->graphicNumber());
        for (const auto &c : b.children())
            out << allNumbers(*c);
        return out;
    }
    // What a refused paste must leave as it was.
    QString snapshot() const
    {
        QStringList s;
        for (const auto &b : map->allBranches())
            s << QString("%1:%2:%3")
                     .arg(nameOf(*b))
                     .arg(b->countOfLinkedGraphics())
                     .arg(b->mainGraphic()->bounds().toString());
        s << QStringList(document->cachedData().keys()).join(',');
        s << QString::number(map->countOfSelectedGraphics());
        return s.join('|');
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

TEST_F(TWClipboardXMLTest, BranchRoundTripKeepsPicturesAndGivesFreshNumbers)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1", 700);
    attachPicture(*a1, Rect(720, 60, 40, 40));
    settle();

    const QString xml = TWClipboardXML::xmlCopy(*a);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XMLObj>\n"));
    EXPECT_TRUE(xml.contains("embeddedImageData"));
    EXPECT_FALSE(xml.contains("TWLinkLine"));

    // Into a second document: the picture travels inside the XML.
    auto other = TWMapsDoc::create();
    auto otherUndo = std::make_shared<UndoManager>();
    other->setUndoManager(otherUndo);
    auto otherMap = TWMap::create(other.get());
    other->addMap(otherMap, true);
    otherMap->setLayoutServices(layout);
    otherMap->branchDisplaySettingsForUpdate() = map->branchDisplaySettings();
    auto otherRoot = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(0, 0, 100, 40)), nullptr, otherMap.get());
    otherMap->setRoot(otherRoot);

    const QStringList original = allNumbers(*a);
    QSet<QString> seen(original.begin(), original.end());
    for (TWMap *target : {map.get(), otherMap.get(), otherMap.get()}) {
        target->removeAllSelectedGraphics();
        auto pasted = TWClipboardXML::pasteBranchFromXml(*target, xml);
        ASSERT_TRUE(pasted);
        EXPECT_EQ(nameOf(*pasted), "a");
        ASSERT_EQ(pasted->countOfChildren(), 1);
        const auto &copy = pasted->children().first();
        ASSERT_EQ(copy->countOfLinkedGraphics(), 1);
        const QString file = *copy->linkedGraphics().first()->imageFilename();
        EXPECT_TRUE(file.contains("PastedGraphic")) << file.toStdString();
        EXPECT_EQ(target->document()->cachedData().value(file).bytes(),
                  std::optional<QByteArray>("PNGDATA"));
        for (const QString &n : allNumbers(*pasted)) {
            EXPECT_FALSE(seen.contains(n)) << n.toStdString();
            seen.insert(n);
        }
        EXPECT_TRUE(copy->connectionGraphic());
        EXPECT_TRUE(pasted->connectionGraphic());
        // The label is selected afterwards.
        EXPECT_EQ(target->objectInSelectedGraphicsAtIndex(0)->branch(), pasted.get());
    }
    EXPECT_EQ(alerts.beepCount(), 0);
    other->detach();
}

TEST_F(TWClipboardXMLTest, BranchPasteIsOneStepNamedPasteAndRaisesTheHideLevel)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1", 700);
    child(a1, 100, "a2", 900);
    auto target = child(root, 300, "t");
    target->setChildrenHidden(true);
    map->branchDisplaySettingsForUpdate().branchHideLevel = 1;
    settle();
    const QString xml = TWClipboardXML::xmlCopy(*a);

    select(target->mainGraphic());
    auto pasted = TWClipboardXML::pasteBranchFromXml(*map, xml);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(map->branchHideLevel(), 4);
    EXPECT_FALSE(target->childrenHidden());
    settle();
    EXPECT_EQ(undo->undoActionName(), "Paste");
    undo->undo();
    EXPECT_EQ(target->countOfChildren(), 0);
    EXPECT_EQ(map->branchHideLevel(), 1);
}

TEST_F(TWClipboardXMLTest, GraphicPasteStepsOffCopiesAndGoesBehind)
{
    auto a = child(root, 100, "a");
    auto b = child(root, 300, "b");
    auto front = std::make_shared<TWRectangle>();
    front->init();
    front->setBounds(Rect(10, 10, 30, 30));
    front->setInternalOrdering(-2);
    front->setBranch(b.get());
    b->insertObjectInLinkedGraphicsAtIndex(front, 0);
    auto picture = attachPicture(*a, Rect(600, 60, 40, 40));
    settle();
    const QString xml = TWClipboardXML::xmlCopy(*picture);

    // A branch without attached graphics takes it 20 right and 20 above its corner.
    auto c = child(root, 500, "c");
    select(c->mainGraphic());
    ASSERT_TRUE(TWClipboardXML::pasteGraphicFromXml(*map, xml));
    EXPECT_EQ(c->linkedGraphics().first()->bounds(),
              Rect(c->branchBounds().x() + 20, c->branchBounds().y() - 20, 40, 40));
    EXPECT_EQ(map->countOfSelectedGraphics(), 0);

    // Onto its own branch three times: 10, 20, 30 points off; always behind.
    const struct
    {
        float offset;
    } steps[] = {{10}, {20}, {30}};
    for (const auto &step : steps) {
        select(a->mainGraphic());
        map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 1);
        ASSERT_TRUE(TWClipboardXML::pasteGraphicFromXml(*map, xml));
        const auto &last = a->linkedGraphics().last();
        EXPECT_EQ(last->bounds(), Rect(600 + step.offset, 60 + step.offset, 40, 40));
        EXPECT_EQ(last->internalOrdering(), a->getMinimumAttachedGraphicNumber());
        EXPECT_EQ(b->linkedGraphics().last()->internalOrdering(), -2 - int(step.offset / 10));
        EXPECT_NE(last->imageFilename(), picture->imageFilename());
    }
    EXPECT_EQ(a->countOfLinkedGraphics(), 4);
    EXPECT_EQ(b->countOfLinkedGraphics(), 4);
    settle();
    EXPECT_EQ(undo->undoActionName(), "Paste");
}

TEST_F(TWClipboardXMLTest, RefusedXmlBeepsAndChangesNothing)
{
    auto a = child(root, 100, "a");
    auto picture = attachPicture(*a, Rect(600, 60, 40, 40));
    settle();
    const QString graphicXml = TWClipboardXML::xmlCopy(*picture);
    const QString branchXml = TWClipboardXML::xmlCopy(*a);
    auto replaced = [](QString xml, const QString &pattern, const QString &with) {
        return xml.replace(QRegularExpression(pattern), with);
    };
    const struct
    {
        const char *name;
        bool branch;
        QString xml;
    } cases[] = {
        {"null", false, QString()},
        {"not XML", true, "<XMLObj><TWMapBranch>"},
        {"other root", true, replaced(branchXml, "XMLObj", "Other")},
        {"graphic as branch", true, graphicXml},
        {"link line", false, replaced(graphicXml, "<class>TWImage", "<class>TWLinkLine")},
        {"connection", false, replaced(graphicXml, "<class>TWImage", "<class>TWChildConnection")},
        {"unknown class", false, replaced(graphicXml, "<class>TWImage", "<class>NSTask")},
        {"picture outside Images", false,
         replaced(graphicXml, "<imageFilename>Images/", "<imageFilename>../../")},
        {"absolute picture", true,
         replaced(branchXml, "<imageFilename>Images/", "<imageFilename>/")},
        {"odd extension", false, replaced(graphicXml, "pic\\.png", "pic.p/../ng")},
        {"extension with dot-dot", false, replaced(graphicXml, "pic\\.png", "pic.png;rm")},
        {"not Base64", false,
         replaced(graphicXml, "<embeddedImageData>[^<]*", "<embeddedImageData>\u00e9t\u00e9")},
        {"branch without number", true,
         replaced(branchXml, "<branchNumber>[^<]*</branchNumber>", "")},
        {"external entity", true,
         "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
         "<XMLObj><TWMapBranch>&e;</TWMapBranch></XMLObj>"},
        {"too long", true, QString(TWClipboardXML::maximumPastedBytes + 1, QChar('x'))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        select(a->mainGraphic());
        const QString before = snapshot();
        const int beeps = alerts.beepCount();
        if (c.branch)
            EXPECT_FALSE(TWClipboardXML::pasteBranchFromXml(*map, c.xml));
        else
            EXPECT_FALSE(TWClipboardXML::pasteGraphicFromXml(*map, c.xml));
        EXPECT_EQ(alerts.beepCount(), beeps + 1);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(TWClipboardXMLTest, BranchPasteOntoAnAttachedGraphicOrTwoBranchesBeeps)
{
    auto a = child(root, 100, "a");
    auto b = child(root, 300, "b");
    auto picture = attachPicture(*a, Rect(600, 60, 40, 40));
    settle();
    const QString xml = TWClipboardXML::xmlCopy(*b);
    select(picture);
    EXPECT_FALSE(TWClipboardXML::pasteBranchFromXml(*map, xml));
    select(a->mainGraphic());
    map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 1);
    EXPECT_FALSE(TWClipboardXML::pasteBranchFromXml(*map, xml));
    EXPECT_EQ(alerts.beepCount(), 2);
    EXPECT_EQ(a->countOfChildren() + b->countOfChildren(), 0);
}

} // namespace
