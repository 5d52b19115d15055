// Maps and outlines written by other programs, kept beside the project:
// each imports without an alert and with everything its XML holds, and
// comes back the same through an export and a second import.
#include "MMImportTestSupport.h"
#include "StreamedMapText.h"
#include "model/TWFileIO.h"

#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "MindManagerImpExp/mmConverter.h"
#include "MindManagerImpExp/mmExport.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "support/ZipArchive.h"

#include <QDir>
#include <QMultiMap>
#include <cstdarg>
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace {

using MMImportTest::ImportFixture;

QString realFilesFolder()
{
#ifdef THINKWEB_REAL_FILES
    return QStringLiteral(THINKWEB_REAL_FILES);
#else
    return QString();
#endif
}

// The files the folder holds, each a case of every RealFiles test; named
// here so that a run without the folder can say what it leaves out.
const char *const ExpectedRealFiles[] = {
    "drummer-states.opml",           "mdewilde-digitalPodcast.opml",
    "mindjet-english-grammar.mmap",  "mindjet-spring.mmap",
    "mindm-Test_DOM.mmap",           "mmap2json-test.mmap",
    "opmleditor-encoding-test.opml", "timqian-feed.opml",
    "zavala-StarterOutline.opml",
};
// The RealFiles tests run on each file, and the tests elsewhere that read
// one of the files by name (mmLeftOutTest, mmTopicLinksTest).
constexpr int CasesPerRealFile = 5;
constexpr int NamedRealFileCases = 2;

QStringList realFiles()
{
    const QDir folder(realFilesFolder());
    if (realFilesFolder().isEmpty() || !folder.exists())
        return {};
    return folder.entryList({QStringLiteral("*.mmap"), QStringLiteral("*.opml")}, QDir::Files,
                            QDir::Name);
}

// Line ends as a label keeps them.
QString lines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(0x2028), QChar(u'\n'));
    text.replace(QChar(0x2029), QChar(u'\n'));
    return text;
}

// A text without its white space: paragraphs and line breaks come out as
// the reader lays them.
QString wordsOf(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

// The XML of a file, asked with XPath; counted apart from the importer.
class FileXML
{
public:
    explicit FileXML(const QByteArray &bytes)
    {
        m_doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
        if (m_doc) {
            m_xpath = xmlXPathNewContext(m_doc);
            xmlXPathRegisterNs(m_xpath, BAD_CAST "ap",
                               BAD_CAST "http://schemas.mindjet.com/MindManager/Application/2003");
        }
    }
    ~FileXML()
    {
        if (m_xpath)
            xmlXPathFreeContext(m_xpath);
        if (m_doc)
            xmlFreeDoc(m_doc);
    }
    bool isValid() const { return m_doc; }
    std::vector<xmlNodePtr> nodes(const char *query) const
    {
        std::vector<xmlNodePtr> found;
        xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST query, m_xpath);
        if (result && result->nodesetval) {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i)
                found.push_back(result->nodesetval->nodeTab[i]);
        }
        xmlXPathFreeObject(result);
        return found;
    }
    int count(const char *query) const { return int(nodes(query).size()); }
    static std::optional<QString> attribute(xmlNodePtr node, const char *name)
    {
        xmlChar *value = xmlGetProp(node, BAD_CAST name);
        if (!value)
            return std::nullopt;
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
        xmlFree(value);
        return text;
    }

private:
    xmlDocPtr m_doc = nullptr;
    xmlXPathContextPtr m_xpath = nullptr;
};

// What a map holds, as the tests compare it.
struct Contents
{
    int topics = 0, notes = 0, hyperlinks = 0, pictures = 0, icons = 0, relationships = 0;
    QMap<QString, QString> labels;    // by topic identifier, where the file has a text
    QMap<QString, QString> noteTexts; // by topic identifier, without white space
    QStringList relationshipLabels;   // in relationship order
    bool operator==(const Contents &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Contents &c)
{
    return out << c.topics << " topics, " << c.notes << " notes, " << c.hyperlinks << " links, "
               << c.pictures << " pictures, " << c.icons << " icons, " << c.relationships
               << " relationships";
}

const char *const TreeTopics =
    "/ap:Map/ap:OneTopic//ap:Topic[parent::ap:OneTopic or parent::ap:SubTopics or "
    "parent::ap:FloatingTopics]";

Contents contentsOfXML(const FileXML &xml)
{
    Contents c;
    QSet<QString> ids;
    for (xmlNodePtr topic : xml.nodes(TreeTopics)) {
        ++c.topics;
        const QString id = FileXML::attribute(topic, "OId").value_or(QString());
        ids.insert(id);
        for (xmlNodePtr child = topic->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const QByteArray name = reinterpret_cast<const char *>(child->name);
            if (name == "Text") {
                if (std::optional<QString> plain = FileXML::attribute(child, "PlainText"))
                    c.labels.insert(id, lines(*plain));
            } else if (name == "NotesGroup") {
                ++c.notes;
                // The words of the XHTML; the preview is cut short.
                for (xmlNodePtr n = child->children; n; n = n->next) {
                    if (n->type != XML_ELEMENT_NODE ||
                        !xmlStrEqual(n->name, BAD_CAST "NotesXhtmlData"))
                        continue;
                    for (xmlNodePtr html = n->children; html; html = html->next) {
                        if (html->type != XML_ELEMENT_NODE)
                            continue;
                        xmlChar *words = xmlNodeGetContent(html);
                        c.noteTexts.insert(id, wordsOf(reinterpret_cast<const char *>(words)));
                        xmlFree(words);
                    }
                }
            } else if (name == "Hyperlink") {
                ++c.hyperlinks;
            } else if (name == "OneImage") {
                ++c.pictures;
            }
        }
    }
    c.icons = xml.count("/ap:Map/ap:OneTopic//ap:Topic/ap:IconsGroup/ap:Icons/ap:Icon");
    // A relationship counts where both its ends are topics of the tree.
    for (xmlNodePtr relationship : xml.nodes("/ap:Map/ap:Relationships/ap:Relationship")) {
        int ends = 0;
        QStringList label;
        for (xmlNodePtr group = relationship->children; group; group = group->next) {
            if (group->type != XML_ELEMENT_NODE)
                continue;
            if (xmlStrEqual(group->name, BAD_CAST "ConnectionGroup")) {
                for (xmlNodePtr n = group->children; n; n = n->next)
                    for (xmlNodePtr r = n->children; r; r = r->next)
                        if (r->type == XML_ELEMENT_NODE &&
                            xmlStrEqual(r->name, BAD_CAST "ObjectReference") &&
                            ids.contains(FileXML::attribute(r, "OIdRef").value_or("?")))
                            ++ends;
            } else if (xmlStrEqual(group->name, BAD_CAST "FloatingTopics")) {
                for (xmlNodePtr t = group->children; t; t = t->next)
                    for (xmlNodePtr text = t->children; text; text = text->next)
                        if (text->type == XML_ELEMENT_NODE &&
                            xmlStrEqual(text->name, BAD_CAST "Text"))
                            label << lines(FileXML::attribute(text, "PlainText").value_or(""));
            }
        }
        if (ends == 2) {
            ++c.relationships;
            c.relationshipLabels << label.join(u'\n');
        }
    }
    return c;
}

QString textOf(const TWMapBranch &branch)
{
    const auto &area = branch.enclosedTextArea();
    return area ? lines(area->text().string()) : QString();
}

void walk(const TWMapBranch &branch, const std::function<void(const TWMapBranch &, int)> &f,
          int depth = 0)
{
    f(branch, depth);
    for (const auto &child : branch.children())
        walk(*child, f, depth + 1);
}

// The map's side; `labelsFor` names the identifiers whose texts count.
Contents contentsOfMap(const TWMap &map, const Contents &file)
{
    Contents c;
    walk(*map.root(), [&](const TWMapBranch &b, int) {
        ++c.topics;
        const QString id = b.mmOid().value_or(QStringLiteral("-"));
        if (file.labels.contains(id))
            c.labels.insert(id, textOf(b));
        if (!b.attachedTextArray().isEmpty()) {
            ++c.notes;
            if (file.noteTexts.contains(id))
                c.noteTexts.insert(id, wordsOf(b.attachedTextArray().first()->text()->string()));
        }
        c.hyperlinks += int(b.hyperlinks().size());
        c.pictures += b.enclosedImage() ? 1 : 0;
        c.icons += b.countOfOtherEnclosedGraphics();
    });
    c.relationships = map.countOfLinkLines();
    for (int i = 0; i < map.countOfLinkLines(); ++i) {
        const auto &label = map.objectInLinkLinesAtIndex(i)->label();
        c.relationshipLabels << (label ? lines(label->string()) : QString());
    }
    return c;
}

// The tree as texts in order, one line a branch, indented by depth.
QStringList outline(const TWMap &map)
{
    QStringList out;
    walk(*map.root(),
         [&out](const TWMapBranch &b, int depth) { out << QString(depth, u' ') + textOf(b); });
    return out;
}

// What every round trip keeps besides the tree.
struct Kept
{
    int notes, hyperlinks, pictures, icons, relationships;
    QStringList relationshipLabels;
    // Each note's runs: text, font, size, underline and colour.
    QStringList noteRuns;
    bool operator==(const Kept &) const = default;
};

void noteRunsOf(const TWMapBranch &branch, QStringList &into)
{
    if (const std::shared_ptr<const AttributedString> note = branch.primaryAttachedText()) {
        QString runs;
        for (qsizetype i = 0; i < note->runCount(); ++i) {
            const TextAttributes &a = note->runAttributes(i);
            const QVariant f = a.value(NSFontAttributeName);
            const Font font = f.canConvert<Font>() && !f.value<Font>().isNull()
                                  ? f.value<Font>()
                                  : XHTML::defaultFont();
            const QVariant c = a.value(NSForegroundColorAttributeName);
            const AttributedString::Range r = note->runRange(i);
            const QString run =
                QStringLiteral("[%1|%2 %3%4 %5]")
                    .arg(note->string().mid(r.location, r.length), font.fontName())
                    .arg(font.pointSize())
                    .arg(a.value(NSUnderlineStyleAttributeName).toInt() ? " u" : "")
                    .arg((c.canConvert<Color>() ? c.value<Color>() : XHTML::textColor())
                             .toQColor()
                             .name());
            // Neighbours that look the same are one run.
            const qsizetype look = run.indexOf(u'|');
            if (runs.endsWith(run.mid(look))) {
                const qsizetype last = runs.lastIndexOf(u'[');
                const qsizetype bar = runs.indexOf(u'|', last);
                runs.insert(bar, note->string().mid(r.location, r.length));
            } else {
                runs += run;
            }
        }
        into << runs;
    }
    for (const auto &child : branch.children())
        noteRunsOf(*child, into);
}

Kept keptOf(const TWMap &map)
{
    const Contents c = contentsOfMap(map, {});
    QStringList runs;
    if (map.root())
        noteRunsOf(*map.root(), runs);
    return {c.notes,         c.hyperlinks,         c.pictures, c.icons,
            c.relationships, c.relationshipLabels, runs};
}

std::ostream &operator<<(std::ostream &out, const Kept &k)
{
    return out << k.notes << " notes, " << k.hyperlinks << " links, " << k.pictures << " pictures, "
               << k.icons << " icons, " << k.relationships << " relationships; notes "
               << k.noteRuns.join(QStringLiteral(" / ")).toStdString();
}

// The schema files a map ships, written where they name each other.
bool extractSchemas(const ZipArchive &archive, const QDir &into)
{
    int written = 0;
    for (const ZipArchive::Member &m : archive.members()) {
        if (!m.name.startsWith(QLatin1String("xsd/")) || !m.name.endsWith(QLatin1String(".xsd")))
            continue;
        std::optional<QByteArray> bytes = archive.readMember(m, 16 << 20);
        if (!bytes)
            return false;
        // They import each other by namespace; here by file.
        for (const char *part : {"Application", "Core", "Delta", "Primitive"})
            bytes->replace(QByteArray("schemaLocation=\"http://schemas.mindjet.com/MindManager/") +
                               part + "/2003\"",
                           QByteArray("schemaLocation=\"MindManager") + part + ".xsd\"");
        QFile out(into.filePath(m.name.mid(4)));
        if (!out.open(QIODevice::WriteOnly) || out.write(*bytes) != bytes->size())
            return false;
        ++written;
    }
    return written > 0;
}

void collect(void *into, const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    static_cast<QStringList *>(into)->append(QString::fromUtf8(line).trimmed());
}

// Problems the schema finds in the document; empty when it is valid.
QStringList schemaProblems(const QString &schema, const QByteArray &document)
{
    QStringList problems;
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(QFile::encodeName(schema).constData());
    xmlSchemaSetParserErrors(parser, collect, collect, &problems);
    xmlSchemaPtr compiled = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    if (!compiled)
        return problems << QStringLiteral("the schema does not compile");
    problems.clear();
    xmlDocPtr doc = xmlReadMemory(document.constData(), int(document.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
    xmlSchemaValidCtxtPtr valid = xmlSchemaNewValidCtxt(compiled);
    xmlSchemaSetValidErrors(valid, collect, collect, &problems);
    if (!doc || xmlSchemaValidateDoc(valid, doc) != 0)
        problems << QStringLiteral("invalid");
    xmlSchemaFreeValidCtxt(valid);
    if (doc)
        xmlFreeDoc(doc);
    xmlSchemaFree(compiled);
    return problems;
}

class RealFiles : public ImportFixture, public ::testing::WithParamInterface<QString>
{
protected:
    QString path() const { return QDir(realFilesFolder()).filePath(GetParam()); }
    bool isOutline() const { return GetParam().endsWith(QLatin1String(".opml")); }

    // The file into the map, as the import actions read it.
    bool importInto(TWMap &into, const QString &file)
    {
        if (file.endsWith(QLatin1String(".opml")))
            return TWOPMLImportExport().importFile(file, into);
        if (!mmImpExpController::populateDadoZiz(into, file))
            return false;
        TWMapLayout::autoArrange(into);
        return true;
    }
    // The map exported and read into a fresh document's map.
    std::shared_ptr<TWMapsDoc> roundTrip(const TWMap &from, bool asOutline)
    {
        const QString file = filePath(asOutline ? "again.opml" : "again.xml");
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(asOutline ? TWOPMLExport().opmlDataForMap(from, TWOPMLExport::Options{})
                            : mmExport::xmlDataForMap(from, QDateTime::currentDateTime()));
        out.close();
        auto doc = freshDocument();
        EXPECT_TRUE(importInto(*doc->maps().first(), file));
        return doc;
    }
};

// Without the folder the run says what it leaves out, and fails: a run that
// passes without them has not read a single file another program wrote.
TEST_F(ImportFixture, RealFilesAreAtHand)
{
    const int notRun = int(std::size(ExpectedRealFiles)) * CasesPerRealFile + NamedRealFileCases;
    if (realFiles().isEmpty()) {
        const std::string why =
            "the real files folder " + QDir::cleanPath(realFilesFolder()).toStdString() +
            " is missing or empty: " + std::to_string(notRun) + " real-file cases not run";
        FAIL() << why;
    }
    // Every file the tests know is there; a new one is a case as well.
    for (const char *name : ExpectedRealFiles)
        EXPECT_TRUE(realFiles().contains(QLatin1String(name))) << name;
    const QStringList all = QDir(realFilesFolder()).entryList(QDir::Files);
    for (const QString &name : all)
        EXPECT_TRUE(name.endsWith(u".md") || name.endsWith(u".txt") || realFiles().contains(name))
            << name.toStdString();
}

TEST_P(RealFiles, ImportWithEverythingTheFileHolds)
{
    ASSERT_TRUE(importInto(map(), path()));
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
    if (isOutline()) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const FileXML xml(file.readAll());
        ASSERT_TRUE(xml.isValid());
        QStringList texts;
        for (xmlNodePtr o : xml.nodes("/opml/body//outline"))
            texts << FileXML::attribute(o, "text").value_or(QString());
        QStringList branches;
        walk(*map().root(), [&](const TWMapBranch &b, int depth) {
            if (depth > 0)
                branches << textOf(b);
        });
        // In the file's order, depth first.
        EXPECT_EQ(branches, texts);
        return;
    }
    QString error;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::open(path(), &error, 1000);
    ASSERT_TRUE(archive) << error.toStdString();
    const ZipArchive::Member *member = archive->find("Document.xml");
    ASSERT_TRUE(member);
    const FileXML xml(archive->readMember(*member, 64 << 20).value_or(QByteArray()));
    ASSERT_TRUE(xml.isValid());
    const Contents expected = contentsOfXML(xml);
    ASSERT_GT(expected.topics, 0);
    const Contents got = contentsOfMap(map(), expected);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.labels, expected.labels);
    EXPECT_EQ(got.noteTexts, expected.noteTexts);
    EXPECT_EQ(got.relationshipLabels, expected.relationshipLabels);

    // Each curve's control points stand where the file puts them from
    // their topics' centres, once the map is laid out.
    const auto relationships = xml.nodes("/ap:Map/ap:Relationships/ap:Relationship");
    for (int i = 0; i < map().countOfLinkLines(); ++i) {
        const auto line = map().objectInLinkLinesAtIndex(i);
        const auto connections =
            xml.nodes(QStringLiteral("/ap:Map/ap:Relationships/ap:Relationship[%1]/"
                                     "ap:ConnectionGroup/ap:Connection")
                          .arg(i + 1)
                          .toUtf8()
                          .constData());
        ASSERT_EQ(connections.size(), 2u);
        const TWMapBranch *ends[2] = {nullptr, nullptr};
        walk(*map().root(), [&](const TWMapBranch &b, int) {
            if (b.mainGraphic()->graphicNumber() == line->startGraphicNumber())
                ends[0] = &b;
            if (b.mainGraphic()->graphicNumber() == line->endGraphicNumber())
                ends[1] = &b;
        });
        const Point points[2] = {line->intermediatePoint1(), line->intermediatePoint2()};
        for (int e = 0; e < 2; ++e) {
            ASSERT_TRUE(ends[e]);
            const Rect b = ends[e]->branchBounds();
            const float cx = FileXML::attribute(connections[e], "CX").value_or("0").toFloat();
            const float cy = FileXML::attribute(connections[e], "CY").value_or("0").toFloat();
            EXPECT_NEAR(points[e].x, b.x() + b.width() / 2 + cx * 72 / 25.4, 0.01);
            EXPECT_NEAR(points[e].y, b.y() + b.height() / 2 - cy * 72 / 25.4, 0.01);
        }
    }
    EXPECT_EQ(relationships.size(), size_t(expected.relationships));
}

TEST_P(RealFiles, ComeBackTheSameThroughAnExport)
{
    ASSERT_TRUE(importInto(map(), path()));
    const QStringList tree = outline(map());
    const Kept kept = keptOf(map());
    // MindManager XML for every file, and outlines as outlines as well.
    for (const bool asOutline : {false, true}) {
        if (asOutline && !isOutline())
            continue;
        SCOPED_TRACE(asOutline ? "OPML" : "MindManager XML");
        const std::shared_ptr<TWMapsDoc> again = roundTrip(map(), asOutline);
        const QStringList back = outline(*again->maps().first());
        EXPECT_EQ(back, tree);
        if (!asOutline)
            EXPECT_EQ(keptOf(*again->maps().first()), kept);
    }
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}

// Where a branch's label ends against its indicator icons, and how its
// boundary looks: what an export and a second import keep as drawn.
struct Look
{
    QString text;
    QStringList iconsOverLabel; // each icon that starts before the label ends
    QString boundary;           // "none", else fill and line as shown
    bool operator==(const Look &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Look &l)
{
    return out << l.text.toStdString() << ": icons over the label "
               << l.iconsOverLabel.join(u',').toStdString() << "; boundary "
               << l.boundary.toStdString();
}

QList<Look> looksOf(const TWMap &map)
{
    const auto colour = [](const std::optional<Color> &c) {
        return mmConverter::stringFromColor(c).value_or(QStringLiteral("none"));
    };
    QList<Look> looks;
    walk(*map.root(), [&](const TWMapBranch &b, int) {
        Look look{textOf(b), {}, QStringLiteral("none")};
        const Rect label = b.enclosedTextArea() ? b.enclosedTextArea()->bounds() : Rect();
        const auto check = [&](const char *kind, int i, const Rect icon) {
            if (icon.width() > 0 && label.width() > 0 && label.maxX() > icon.x() + 0.01f)
                look.iconsOverLabel << QStringLiteral("%1 %2").arg(kind).arg(i);
        };
        for (int i = 0; i < b.countOfAttachedTextArray(); ++i)
            check("note", i, TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(b, i));
        for (int i = 0; i < int(b.hyperlinks().size()); ++i)
            check("link", i, TWBranchIndicators::boundsOfHyperlinkAtIndex(b, i));
        if (b.hasBoundary()) {
            look.boundary =
                QStringLiteral("fill %1, line %2")
                    .arg(b.boundaryDrawsFill() ? colour(b.boundaryFillColor()) : "off",
                         b.boundaryDrawsLine() && b.boundaryLineStyle() != 8
                             ? colour(TWBoundaryProxy::lineColorOf(b))
                             : "off");
        }
        looks << look;
    });
    return looks;
}

// Imported, a map's icons stand clear of its labels; exported and imported
// again, each branch looks as it did.
TEST_P(RealFiles, LookTheSameThroughAnExport)
{
    ASSERT_TRUE(importInto(map(), path()));
    const QList<Look> first = looksOf(map());
    for (const Look &look : first)
        EXPECT_TRUE(look.iconsOverLabel.isEmpty()) << look;
    const std::shared_ptr<TWMapsDoc> again = roundTrip(map(), false);
    TWMap &second = *again->maps().first();
    if (const QString folder = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !folder.isEmpty()) {
        for (TWMap *m : {&map(), &second})
            TWMapImages::imageOfMap(*m, m->getBoundingDrawingRectForAllGraphics(), 2, true)
                .save(QStringLiteral("%1/%2-%3.png")
                          .arg(folder, GetParam(), m == &second ? "back" : "first"));
    }
    const QList<Look> back = looksOf(second);
    ASSERT_EQ(back.size(), first.size());
    for (qsizetype i = 0; i < first.size(); ++i)
        EXPECT_EQ(back[i], first[i]);
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}

// The save streams each map as the tree form prints it, imported and once
// saved and opened again.
TEST_P(RealFiles, SavesStreamTheTreeFormsText)
{
    ASSERT_TRUE(importInto(map(), path()));
    StreamedMapText::expectMapsStreamAsTheirTreesPrint(*document);
    const QString saved = filePath("saved.tweb");
    ASSERT_EQ(document->saveToFile(saved), TWFileIO::SaveSucceeded);
    int error = 0;
    const std::shared_ptr<TWMapsDoc> opened = TWMapsDoc::loadFromFile(saved, false, &error);
    ASSERT_NE(opened, nullptr) << error;
    StreamedMapText::expectMapsStreamAsTheirTreesPrint(*opened);
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}

// A map MindManager wrote, written again, is valid by the schema it ships.
TEST_P(RealFiles, ExportValidatesAgainstTheFilesOwnSchema)
{
    if (isOutline())
        GTEST_SKIP() << "an outline ships no schema";
    QString error;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::open(path(), &error, 1000);
    ASSERT_TRUE(archive) << error.toStdString();
    const QDir schemas(filePath("xsd"));
    ASSERT_TRUE(QDir().mkpath(schemas.path()));
    ASSERT_TRUE(extractSchemas(*archive, schemas));
    ASSERT_TRUE(importInto(map(), path()));
    // As imported, and with what a user adds: an empty label, a note in
    // several styles, a boundary without a line.
    const std::function<void()> edits[] = {
        [] {},
        [this] {
            const std::shared_ptr<TWMapBranch> empty = map().root()->addChildOfType(2);
            ASSERT_TRUE(empty);
            empty->enclosedTextArea()->setString(QString());
            AttributedString note(QStringLiteral("plain  "));
            note.appendAttributedString(AttributedString(
                QStringLiteral("bold\n"),
                {{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 26))},
                 {NSUnderlineStyleAttributeName, 1}}));
            auto attached = std::make_shared<TWAttachedText>(std::nullopt, empty->undoManager());
            attached->setText(std::make_shared<const AttributedString>(note));
            empty->insertObjectInAttachedTextArrayAtIndex(attached, 0);
            empty->setHasBoundary(true);
            empty->setBoundaryLineStyle(8);
        },
    };
    for (const auto &edit : edits) {
        edit();
        const QStringList problems =
            schemaProblems(schemas.filePath("MindManagerApplication.xsd"),
                           mmExport::xmlDataForMap(map(), QDateTime::currentDateTime()));
        EXPECT_TRUE(problems.isEmpty()) << problems.mid(0, 10).join("\n").toStdString();
    }
}

std::string testName(const ::testing::TestParamInfo<QString> &info)
{
    std::string name;
    for (const QChar c : info.param)
        name += c.isLetterOrNumber() ? char(c.toLatin1()) : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealFiles, ::testing::ValuesIn(realFiles()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealFiles);

} // namespace
