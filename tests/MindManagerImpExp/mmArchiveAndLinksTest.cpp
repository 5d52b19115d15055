// Zip archives as other programs write them, pictures named by cor:Uri
// elements, font ranges, links with any scheme, relationship dashes, labels
// and curves.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/MMArchiveStream.h"
#include "MindManagerImpExp/mmExport.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWHyperlink.h"
#include "support/FontRegistry.h"
#include "support/ZipArchive.h"
#include "ZipTestSupport.h"

#include <QBuffer>
#include <QSet>

using namespace MMImportTest;
using namespace ZipTest;

namespace {

constexpr float kMM = 72.0f / 25.4f;

QByteArray pngBytes()
{
    return QByteArray::fromBase64(pngBase64(6, 3).toLatin1());
}

// A map whose topic's picture and custom icon are archive members named
// by cor:Uri elements, and whose map background is one too.
QByteArray mapNamingMembers()
{
    return mapXML(
        "<ap:OneTopic><ap:Topic OId=\"root\"><ap:SubTopics><ap:Topic OId=\"a\">"
        "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\">"
        "<cor:Uri xsi:nil=\"false\">mmarch://bin/p.bin</cor:Uri></ap:ImageData>"
        "<ap:ImageSize Width=\"10\" Height=\"5\"/></ap:Image></ap:OneImage>"
        "<ap:Text PlainText=\"A\"/><ap:IconsGroup><ap:Icons>"
        "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"sig\"/></ap:Icons>"
        "<ap:CustomIconImageData IconSignature=\"sig\" ImageType=\"urn:mindjet:IconImage\">"
        "<cor:Uri xsi:nil=\"false\"> mmarch://ico/i.ico </cor:Uri></ap:CustomIconImageData>"
        "</ap:IconsGroup></ap:Topic></ap:SubTopics><ap:Text PlainText=\"Root\"/></ap:Topic>"
        "</ap:OneTopic><ap:StyleGroup><ap:BackgroundImageData "
        "ImageType=\"urn:mindjet:PngImage\"><cor:Uri>mmarch://bin/back.bin</cor:Uri>"
        "</ap:BackgroundImageData></ap:StyleGroup>");
}

QString topic(const QString &oid, const QString &inner = QString())
{
    return QStringLiteral("<ap:Topic OId=\"%1\">%2</ap:Topic>").arg(oid, inner);
}

QString text(const QString &plain)
{
    return QStringLiteral("<ap:Text PlainText=\"%1\"/>").arg(plain);
}

} // namespace

class MindManagerArchives : public ImportFixture
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
};

// Every form of archive common zip readers take opens; damage is refused
// with its reason before anything is made.
TEST_F(MindManagerArchives, ReadEveryFormCommonReadersTake)
{
    const QList<std::pair<QString, QByteArray>> members = {{"Document.xml", mapNamingMembers()},
                                                           {"xsd/", {}},
                                                           {"bin/p.bin", pngBytes()},
                                                           {"bin/back.bin", pngBytes()},
                                                           {"ico/i.ico", pngBytes()}};
    struct Case
    {
        const char *name;
        ZipForm form;
        const char *refusal; // null: imports
    };
    const Case cases[] = {
        {"deflated", {}, nullptr},
        {"stored", {.method = 0}, nullptr},
        {"data descriptors", {.descriptor = true}, nullptr},
        {"overlong local extra field", {.localExtra = 1068}, nullptr},
        {"comment", {.comment = "16.0.159"}, nullptr},
        {"zip64 records", {.zip64 = true}, nullptr},
        {"self-extracting stub", {.stub = QByteArray(300, 'S')}, nullptr},
        {"everything at once",
         {.method = 8,
          .descriptor = true,
          .localExtra = 1333,
          .comment = "23.0.169",
          .zip64 = true,
          .stub = "MZ"},
         nullptr},
        {"wrong checksum", {.wrongCRC = true}, "checksum"},
        {"stated size too small", {.statedSizeChange = -1}, "Failed to load XML file"},
        {"encrypted", {.flags = 0x0001}, "encrypted"},
        {"unknown compression", {.method = 12}, "method 12"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        auto doc = freshDocument();
        TWMap &into = *doc->maps().first();
        const QString path = write(QStringLiteral("%1.mmap").arg(c.name), zipOf(members, c.form));
        const bool imported = mmImpExpController::populateDadoZiz(into, path);
        EXPECT_EQ(imported, !c.refusal);
        if (c.refusal) {
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String(c.refusal)))
                << alerts.alerts().first().message.toStdString();
            EXPECT_TRUE(into.root()->children().empty());
            continue;
        }
        EXPECT_TRUE(alerts.alerts().empty());
        ASSERT_EQ(into.root()->children().size(), 1u);
        const TWMapBranch &a = *into.root()->children().front();
        // The picture, the icon, the background.
        EXPECT_TRUE(a.enclosedImage());
        EXPECT_EQ(a.countOfOtherEnclosedGraphics(), 1);
        EXPECT_TRUE(into.backgroundImage());
    }
}

// A link or device anywhere in the archive refuses the map with the reason:
// read as content, a link gives its target's path as the map or a picture.
TEST_F(MindManagerArchives, LinksAndDevicesInTheArchiveAreRefusedWithTheReason)
{
    const QList<std::pair<QString, QByteArray>> members = {{"Document.xml", mapNamingMembers()},
                                                           {"bin/p.bin", pngBytes()},
                                                           {"bin/back.bin", pngBytes()},
                                                           {"ico/i.ico", pngBytes()}};
    struct Case
    {
        const char *name;
        const char *member;
        quint32 mode;
        const char *reason;
    };
    const Case cases[] = {
        {"the map a link", "Document.xml", 0120777, "Document.xml is a symbolic link"},
        {"a picture a link", "bin/p.bin", 0120777, "bin/p.bin is a symbolic link"},
        {"the background a link", "bin/back.bin", 0120777, "bin/back.bin is a symbolic link"},
        {"an icon a pipe", "ico/i.ico", 0010644, "ico/i.ico is a device or pipe"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        auto doc = freshDocument();
        TWMap &into = *doc->maps().first();
        const QString path = write(QStringLiteral("%1.mmap").arg(c.name),
                                   zipOf(members, {.modes = {{c.member, c.mode}}}));
        EXPECT_FALSE(mmImpExpController::populateDadoZiz(into, path));
        ASSERT_EQ(alerts.alerts().size(), 1);
        const QString message = alerts.alerts().first().message;
        EXPECT_TRUE(message.startsWith("Failed to load XML file: " + path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(c.reason))) << message.toStdString();
        EXPECT_TRUE(into.root()->children().empty());
        EXPECT_FALSE(into.backgroundImage());
    }
}

// A picture member named by many topics is inflated and decoded once and
// shared by them all; the import as a whole is held to a budget of bytes
// inflated and pictures decoded, and refused past it with the reason.
TEST_F(MindManagerArchives, APictureNamedManyTimesIsReadOnceWithinTheImportsBudget)
{
    // A 1x1 picture padded with zeros: a few kilobytes deflated.
    const QByteArray padded =
        QByteArray::fromBase64(pngBase64(1, 1).toLatin1()) + QByteArray(1 << 20, '\0');
    const auto mapNaming = [](const QStringList &names) {
        QString topics;
        for (int i = 0; i < names.size(); ++i)
            topics += topic(QStringLiteral("t%1").arg(i),
                            "<ap:OneImage><ap:Image><ap:ImageData "
                            "ImageType=\"urn:mindjet:PngImage\"><cor:Uri>mmarch://" +
                                names[i] + "</cor:Uri></ap:ImageData></ap:Image></ap:OneImage>");
        return mapXML("<ap:OneTopic><ap:Topic OId=\"root\"><ap:SubTopics>" + topics +
                      "</ap:SubTopics></ap:Topic></ap:OneTopic>");
    };
    struct Case
    {
        const char *name;
        QStringList distinct; // members, each the padded picture
        int references;       // topics naming each of them
        MMImportPictures::Budget budget;
        const char *refusal; // null: imports
    };
    const Case cases[] = {
        {"one member named 300 times", {"bin/p.png"}, 300, {.inflatedBytes = 2 << 20}, nullptr},
        {"members past the bytes",
         {"bin/a.png", "bin/b.png", "bin/c.png"},
         1,
         {.inflatedBytes = 2 << 20},
         "more than 2 MB once inflated"},
        {"members past the pictures",
         {"bin/a.png", "bin/b.png", "bin/c.png"},
         2,
         {.pictures = 2},
         "more than 2 pictures"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        QList<std::pair<QString, QByteArray>> members;
        QStringList named;
        for (const QString &member : c.distinct) {
            members.append({member, padded});
            for (int i = 0; i < c.references; ++i)
                named << member;
        }
        members.prepend({"Document.xml", mapNaming(named)});
        const QString path = write(QStringLiteral("%1.mmap").arg(c.name), zipOf(members, {}));
        std::optional<MMMapSource> source = mmImpExpController::sourceForFile(path);
        ASSERT_TRUE(source);
        source->pictureBudget = c.budget;
        auto doc = freshDocument();
        TWMap &into = *doc->maps().first();
        ASSERT_EQ(mmImpExpController::populateDadoZiz(into, *source), !c.refusal)
            << alertMessages().join("; ").toStdString();
        if (c.refusal) {
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String(c.refusal)))
                << alerts.alerts().first().message.toStdString();
            EXPECT_TRUE(into.root()->children().empty());
            continue;
        }
        ASSERT_EQ(into.root()->children().size(), size_t(named.size()));
        // Every branch stores the one picture's bytes.
        QSet<const char *> stored;
        for (const auto &child : into.root()->children()) {
            const auto picture = child->enclosedImage();
            ASSERT_TRUE(picture);
            ASSERT_TRUE(picture->imageFilename());
            const std::optional<QByteArray> bytes =
                doc->cachedData().value(*picture->imageFilename()).bytes();
            ASSERT_TRUE(bytes && !bytes->isEmpty());
            stored.insert(bytes->constData());
        }
        EXPECT_EQ(stored.size(), 1);
    }
}

// A font range sets what it names; the rest is the topic text's font,
// itself what the level's default leaves unsaid.
TEST_F(MindManagerArchives, FontRangesKeepTheTextsFontForWhatTheyDoNotSet)
{
    // A family with a bold member, as the test machines have it.
    const QString family = QStringLiteral("DejaVu Sans");
    ASSERT_TRUE(FontRegistry::shared().availableFontFamilies().contains(family));
    const QString defaults =
        QStringLiteral("<ap:StyleGroup><ap:RootTopicDefaultsGroup><ap:DefaultText>"
                       "<ap:Font Name=\"%1\" Size=\"14\" Bold=\"true\"/></ap:DefaultText>"
                       "</ap:RootTopicDefaultsGroup></ap:StyleGroup>")
            .arg(family);
    ASSERT_TRUE(import(mapWithTopic(
        "<ap:Text PlainText=\"abcdefgh\"><ap:Font/><ap:FontRange From=\"0\" To=\"1\" "
        "Bold=\"false\"/>"
        "<ap:FontRange From=\"2\" To=\"3\" Size=\"20\"/><ap:FontRange From=\"4\" To=\"5\" "
        "Color=\"ffff0000\"/></ap:Text>",
        defaults)));
    const AttributedString label = root().enclosedTextArea()->text();
    // A family that is not installed keeps bold in the family drawn for it.
    auto other = freshDocument();
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(
        *other->maps().first(),
        mmImpExpController::sourceForData(mapWithTopic(
            "<ap:Text PlainText=\"ab\"><ap:Font Name=\"No Such Sans\" Size=\"10\"/>"
            "<ap:FontRange From=\"1\" To=\"1\" Bold=\"true\"/></ap:Text>"))));
    const Font bold = other->maps()
                          .first()
                          ->root()
                          ->enclosedTextArea()
                          ->text()
                          .attribute(NSFontAttributeName, 1)
                          .value<Font>();
    EXPECT_TRUE(FontRegistry::shared().traits(bold.fontName()) & FontRegistry::BoldTrait)
        << bold.fontName().toStdString();
    EXPECT_DOUBLE_EQ(bold.pointSize(), 10);
    const struct
    {
        int at;
        double size;
        bool bold;
    } expected[] = {{0, 14, false}, {2, 20, true}, {4, 14, true}, {6, 14, true}};
    for (const auto &e : expected) {
        SCOPED_TRACE(e.at);
        const Font font = label.attribute(NSFontAttributeName, e.at).value<Font>();
        EXPECT_DOUBLE_EQ(font.pointSize(), e.size);
        EXPECT_EQ(bool(FontRegistry::shared().traits(font.fontName()) & FontRegistry::BoldTrait),
                  e.bold)
            << font.fontName().toStdString();
    }
}

// Any URL with a scheme is the web's; mail links keep their own kind; the
// export calls them absolute.
TEST_F(MindManagerArchives, LinksWithASchemeAreWebLinks)
{
    const struct
    {
        const char *url;
        int type;
        const char *absolute;
    } cases[] = {
        {"https://example.org/a", 2, "true"},
        {"http://example.org/a", 2, "true"},
        {"ftp://example.org/plan.tweb", 3, "true"},
        {"https://example.org/plan.tweb", 3, "true"},
        {"file:///home/a/notes.txt", 2, "true"},
        {"svn+ssh://host/repo", 2, "true"},
        {"mailto:ann@example.org", 5, "true"},
        {"C:\\Documents\\plan.doc", 1, "false"},
        {"/home/a/notes.txt", 1, "true"},
        {"notes.txt", 1, "false"},
        {"plan.tweb", 4, "false"},
        // A topic of the map: a link to its branch.
        {"#xpointer(/descendant-or-self::ap:Topic[@OId='x'])", 4, "false"},
        {"1http://not-a-scheme", 1, "false"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        auto doc = freshDocument();
        TWMap &into = *doc->maps().first();
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            into, mmImpExpController::sourceForData(
                      mapWithTopic(text("Root") + QStringLiteral("<ap:Hyperlink Url=\"%1\"/>")
                                                      .arg(QString(c.url).toHtmlEscaped())))));
        ASSERT_EQ(into.root()->hyperlinks().size(), 1);
        EXPECT_EQ(into.root()->hyperlinks().first()->linkType(), c.type);
        const QString xml = QString::fromUtf8(mmExport::xmlDataForMap(into, QDateTime()));
        const qsizetype at = xml.indexOf(QLatin1String("<ap:Hyperlink"));
        ASSERT_GE(at, 0);
        EXPECT_TRUE(xml.mid(at, xml.indexOf(u'>', at) - at)
                        .contains(QStringLiteral("Absolute=\"%1\"").arg(c.absolute)))
            << xml.mid(at, 300).toStdString();
    }
}

// Floating topics joined by relationships all come in; a relationship's
// own floating topics are its label; each curve's control points stand
// where the file puts them from its topics once the map is laid out, and
// the dash comes back through an export.
TEST_F(MindManagerArchives, ConceptMapsKeepTheirRelationships)
{
    const auto relationship = [](const char *from, const char *to, const QString &inner) {
        return QStringLiteral(
                   "<ap:Relationship><ap:ConnectionGroup Index=\"0\"><ap:Connection CX=\"12\" "
                   "CY=\"-4\"><ap:ObjectReference OIdRef=\"%1\"/></ap:Connection>"
                   "</ap:ConnectionGroup><ap:ConnectionGroup Index=\"1\"><ap:Connection "
                   "CX=\"-6\" CY=\"8\"><ap:ObjectReference OIdRef=\"%2\"/></ap:Connection>"
                   "</ap:ConnectionGroup>%3</ap:Relationship>")
            .arg(QLatin1String(from), QLatin1String(to), inner);
    };
    const QString floating =
        "<ap:FloatingTopics>" + topic("f1", text("Cause") + "<ap:Offset CX=\"-60\" CY=\"30\"/>") +
        topic("f2", text("Effect") + "<ap:Offset CX=\"60\" CY=\"30\"/>" + "<ap:SubTopics>" +
                        topic("f2a", text("Detail")) + "</ap:SubTopics>") +
        topic("f3", text("Other") + "<ap:Offset CX=\"0\" CY=\"-60\"/>") + "</ap:FloatingTopics>";
    const QString relationships =
        "<ap:Relationships>" +
        relationship("f1", "f2",
                     "<ap:FloatingTopics>" + topic("l1", text("leads to")) +
                         "</ap:FloatingTopics>"
                         "<ap:LineStyle LineDashStyle=\"urn:mindjet:Dash\" LineWidth=\"2\"/>") +
        relationship("f2a", "f3",
                     "<ap:FloatingTopics>" + topic("l2", text("one")) + topic("l3", text("two")) +
                         "</ap:FloatingTopics>") +
        relationship("f3", "root", QString()) + "</ap:Relationships>";
    const QString styles = "<ap:StyleGroup><ap:RelationshipDefaultsGroup><ap:DefaultLineStyle "
                           "LineDashStyle=\"urn:mindjet:LongDashDot\"/>"
                           "</ap:RelationshipDefaultsGroup></ap:StyleGroup>";
    ASSERT_TRUE(import(mapWithTopic(text("Centre") + floating, relationships + styles)));
    TWMapLayout::autoArrange(map());
    EXPECT_TRUE(alerts.alerts().empty());
    EXPECT_EQ(root().children().size(), 3u);
    ASSERT_EQ(map().countOfLinkLines(), 3);
    const struct
    {
        const char *from, *to;
        const char *label; // null: none
        int dash;
    } expected[] = {
        {"f1", "f2", "leads to", 3}, {"f2a", "f3", "one\ntwo", 6}, {"f3", "root", nullptr, 6}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto line = map().objectInLinkLinesAtIndex(i);
        const auto &e = expected[i];
        EXPECT_EQ(line->label().has_value(), e.label != nullptr);
        if (e.label && line->label())
            EXPECT_EQ(line->label()->string(), QString::fromUtf8(e.label));
        EXPECT_EQ(line->strokeStyle(), e.dash);
        const Rect a = branch(e.from).branchBounds();
        const Rect b = branch(e.to).branchBounds();
        EXPECT_NEAR(line->intermediatePoint1().x, a.x() + a.width() / 2 + 12 * kMM, 0.01);
        EXPECT_NEAR(line->intermediatePoint1().y, a.y() + a.height() / 2 + 4 * kMM, 0.01);
        EXPECT_NEAR(line->intermediatePoint2().x, b.x() + b.width() / 2 - 6 * kMM, 0.01);
        EXPECT_NEAR(line->intermediatePoint2().y, b.y() + b.height() / 2 - 8 * kMM, 0.01);
    }
    // Written and read again: the same dashes and curves.
    auto again = freshDocument();
    TWMap &back = *again->maps().first();
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(
        back, mmImpExpController::sourceForData(mmExport::xmlDataForMap(map(), QDateTime()))));
    TWMapLayout::autoArrange(back);
    ASSERT_EQ(back.countOfLinkLines(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto was = map().objectInLinkLinesAtIndex(i);
        const auto now = back.objectInLinkLinesAtIndex(i);
        EXPECT_EQ(now->strokeStyle(), was->strokeStyle());
        EXPECT_EQ(now->label().has_value(), was->label().has_value());
        if (now->label() && was->label())
            EXPECT_EQ(now->label()->string(), was->label()->string());
        // Each point stands as far from its topic as it did.
        const auto endOf = [](TWMap &m, long number) -> Point {
            Point centre;
            std::function<void(const TWMapBranch &)> walk = [&](const TWMapBranch &b) {
                if (b.mainGraphic()->graphicNumber() == number)
                    centre = Point(b.branchBounds().x() + b.branchBounds().width() / 2,
                                   b.branchBounds().y() + b.branchBounds().height() / 2);
                for (const auto &c : b.children())
                    walk(*c);
            };
            walk(*m.root());
            return centre;
        };
        const Point wasStart = endOf(map(), was->startGraphicNumber());
        const Point nowStart = endOf(back, now->startGraphicNumber());
        EXPECT_NEAR(now->intermediatePoint1().x - nowStart.x,
                    was->intermediatePoint1().x - wasStart.x, 0.05);
        EXPECT_NEAR(now->intermediatePoint1().y - nowStart.y,
                    was->intermediatePoint1().y - wasStart.y, 0.05);
    }
}
