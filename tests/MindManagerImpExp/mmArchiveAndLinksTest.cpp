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

#include <QBuffer>
#include <zlib.h>

using namespace MMImportTest;

namespace {

constexpr float kMM = 72.0f / 25.4f;

void put16(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
}
void put32(QByteArray &b, quint32 v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void put64(QByteArray &b, quint64 v)
{
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}

QByteArray deflateRaw(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// How one archive of the table is written.
struct ZipForm
{
    quint16 method = 8;
    bool descriptor = false;
    int localExtra = 0; // bytes of an extra field in local headers only
    QByteArray comment;
    bool zip64 = false;
    QByteArray stub;   // bytes in front of the archive
    quint16 flags = 0; // more general-purpose bits
    bool wrongCRC = false;
    qint64 statedSizeChange = 0;
};

// A zip archive written byte by byte, as other programs lay theirs out.
QByteArray zipOf(const QList<std::pair<QString, QByteArray>> &members, const ZipForm &form)
{
    QByteArray out = form.stub;
    QByteArray directory;
    for (const auto &[name, data] : members) {
        const QByteArray packed = form.method == 8 ? deflateRaw(data) : data;
        quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        if (form.wrongCRC)
            crc ^= 1;
        const quint32 size = quint32(data.size() + form.statedSizeChange);
        const quint16 flags = quint16(form.flags | (form.descriptor ? 0x08 : 0) | 0x0800);
        const QByteArray n = name.toUtf8();
        // A local extra field whose inner length overruns it, as some
        // writers leave it.
        QByteArray extra;
        if (form.localExtra > 0) {
            extra = "MJHI";
            extra.append(QByteArray(form.localExtra - 4, 'x'));
        }
        const qint64 offset = out.size() - form.stub.size();
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, flags);
        put16(out, form.method);
        put32(out, 0);
        put32(out, form.descriptor ? 0 : crc);
        put32(out, form.descriptor ? 0 : quint32(packed.size()));
        put32(out, form.descriptor ? 0 : size);
        put16(out, quint16(n.size()));
        put16(out, quint16(extra.size()));
        out += n + extra + packed;
        if (form.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, quint32(packed.size()));
            put32(out, size);
        }
        QByteArray zip64;
        if (form.zip64) {
            put16(zip64, 0x0001);
            put16(zip64, 24);
            put64(zip64, size);
            put64(zip64, quint64(packed.size()));
            put64(zip64, quint64(offset));
        }
        put32(directory, 0x02014b50);
        put16(directory, 0x031e);
        put16(directory, form.zip64 ? 45 : 20);
        put16(directory, flags);
        put16(directory, form.method);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, form.zip64 ? 0xffffffff : quint32(packed.size()));
        put32(directory, form.zip64 ? 0xffffffff : size);
        put16(directory, quint16(n.size()));
        put16(directory, quint16(zip64.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0100644u << 16);
        put32(directory, form.zip64 ? 0xffffffff : quint32(offset));
        directory += n + zip64;
    }
    const qint64 directoryAt = out.size() - form.stub.size();
    out += directory;
    if (form.zip64) {
        const qint64 recordAt = out.size() - form.stub.size();
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, quint64(members.size()));
        put64(out, quint64(members.size()));
        put64(out, quint64(directory.size()));
        put64(out, quint64(directoryAt));
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, quint64(recordAt));
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, form.zip64 ? 0xffff : quint16(members.size()));
    put16(out, form.zip64 ? 0xffff : quint16(members.size()));
    put32(out, form.zip64 ? 0xffffffff : quint32(directory.size()));
    put32(out, form.zip64 ? 0xffffffff : quint32(directoryAt));
    put16(out, quint16(form.comment.size()));
    out += form.comment;
    return out;
}

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

TEST_F(MindManagerArchives, DirectoryLimitsAndDamageAreRefused)
{
    const QByteArray good = zipOf({{"a", "1"}, {"b", "2"}, {"c", "3"}}, {});
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int maximumMembers;
        const char *reason; // null: opens
    };
    const Case cases[] = {
        {"within the count", good, 3, nullptr},
        {"one member too many", good, 2, "too many members"},
        {"no end record", good.left(good.size() - 22), 10, "not a zip archive"},
        {"directory cut", good.left(40) + good.right(22), 10, "damaged"},
        {"empty file", QByteArray(), 10, "not a zip archive"},
        {"text", "just text, no archive", 10, "not a zip archive"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto archive =
            ZipArchive::open(write("limits.zip", c.bytes), &error, c.maximumMembers);
        EXPECT_EQ(bool(archive), !c.reason);
        if (c.reason)
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        else
            EXPECT_EQ(archive->readMember(*archive->find("b"), 10), QByteArray("2"));
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
