#include "StreamedMapText.h"
#include "TWMapsDocTestSupport.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/PackageReader.h"
#include "model/PackageWriter.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/ContentsXMLReader.h"
#include "support/XMLDocument.h"
#include "support/XMLStreamWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace MapsDocTest;

namespace {

// A map element whose root branch holds a chain of `depth` branches.
QByteArray mapElement(const QByteArray &identifier, int depth)
{
    return "<map><TWMap><identifier>" + identifier + "</identifier><root>" + branchChain(depth) +
           "</root></TWMap></map>";
}

bool writePackage(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           PackageArchive::write(file, {{TWMapsDoc::ContentsPath, contents},
                                        {"Thinkweb/fileVersion.txt", "4.1"},
                                        {"Images/Graphic1/a.png", "png"}}) ==
               PackageArchive::WriteStatus::Written;
}

QByteArray streamedText(TWMapsDoc &document)
{
    QByteArray text;
    XMLStreamWriter writer([&text](const char *data, qint64 size) {
        text.append(data, size);
        return true;
    });
    EXPECT_TRUE(document.writeContentsXML(writer));
    EXPECT_TRUE(writer.writeEndDocument());
    return text;
}

std::optional<PackageData> readPackage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return PackageArchive::read(file);
}

std::optional<int> run(const QString &program, const QStringList &arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

class ContentsStreamTest : public MapsDocFixture
{
protected:
    // What lies in the folder of the saves, but the fixture's own defaults file.
    QStringList filesBesideSaves() const
    {
        QStringList files = QDir(tempDir.path()).entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("defaults.ini"));
        return files;
    }
    QString path(const QString &name) const { return tempDir.filePath(name); }
};

TEST_F(ContentsStreamTest, StreamingEqualsTheTreeRoute)
{
    // Children unknown here before and after the maps, an attribute on the
    // root, a second `maps` and a `map` without map, text that needs escaping.
    const QByteArray contents =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<TWMapsDoc version=\"4\">\n"
        "  <futureFirst kind=\"a&amp;b\">text  kept</futureFirst>\n"
        "  <creator>Ann &amp; Bj\xc3\xb6rk\r\xf0\x9f\x8c\xb3 &lt;x&gt;</creator>\n"
        "  <currentMapNumber>1</currentMapNumber>\n"
        "  <maps>" +
        mapElement("M1", 3) + "<map><notAMap/></map>" + mapElement("M2", 2) +
        "</maps>\n"
        "  <maps>" +
        mapElement("M3", 1) +
        "</maps>\n"
        "  <futureSetting>\n    <deep>  1 </deep>\n  </futureSetting>\n"
        "  <keywords><string>alpha</string></keywords>\n"
        "</TWMapsDoc>\n";
    ASSERT_TRUE(writePackage(path("doc.tweb"), contents));

    const QStringList names{
        TWMapsDoc::StartLoadingCountNotification, TWMapsDoc::IncrementLoadingNotification,
        TWMapsDoc::FinishLoadingNotification, TWMapsDoc::UpdateMapTabsNotification,
        TWMapsDoc::BranchHideLevelChangedNotification};
    EventLog treeLog, streamLog;
    std::shared_ptr<TWMapsDoc> tree, streamed;
    {
        NotificationRecorder recorder(treeLog, names);
        tree = TWMapsDoc::createWithDictionary(*readPackage(path("doc.tweb")), false);
    }
    int error = -1;
    {
        NotificationRecorder recorder(streamLog, names);
        streamed = TWMapsDoc::loadFromFile(path("doc.tweb"), false, &error);
        ASSERT_EQ(recorder.notifications().at(0).userInfo.value(TWMapsDoc::CountKey).toInt(), 6);
    }
    ASSERT_TRUE(tree && streamed) << error;
    EXPECT_EQ(streamLog.events, treeLog.events);
    EXPECT_EQ(streamed->countOfMaps(), 2);
    EXPECT_EQ(streamed->creator(), tree->creator());
    EXPECT_EQ(streamed->currentMapNumber(), 1);
    // Contents.xml is written afresh at every save, so it is not kept.
    PackageEntries cached = tree->cachedData();
    cached.remove(TWMapsDoc::ContentsPath);
    EXPECT_EQ(streamed->cachedData(), cached);

    // Both routes write the same text, byte for byte, at the first save (which
    // appends what was missing) and at later ones.
    // Graphics get new numbers at every load, so the two loads differ there.
    EXPECT_EQ(withoutGraphicNumbers(streamedText(*streamed)),
              withoutGraphicNumbers(tree->xmlDocumentData()));
    const QByteArray text = tree->xmlDocumentData();
    EXPECT_EQ(streamedText(*tree), text);
    const QByteArray streamedOnce = streamedText(*streamed);
    EXPECT_EQ(withoutGraphicNumbers(streamedOnce), withoutGraphicNumbers(text));
    EXPECT_EQ(streamedText(*streamed), streamedOnce);
    EXPECT_EQ(streamed->xmlDocumentData(), streamedOnce);
    // Nothing between elements, and every text as it was, blanks included.
    EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<TWMapsDoc version=\"4\"><futureFirst kind=\"a&amp;b\">"
                                "text  kept</futureFirst><creator>"));
    EXPECT_TRUE(text.contains("<futureSetting><deep>  1 </deep></futureSetting>"));
    EXPECT_TRUE(text.endsWith("</TWMapsDoc>\n"));
    // The declaration's line break, the creator's own (a carriage return in
    // the file is read as one) and the last.
    EXPECT_EQ(text.count('\n'), 3);

    // A saved package holds what the tree route makes of the saved document.
    ASSERT_EQ(streamed->saveToFile(path("saved.tweb")), TWFileIO::SaveSucceeded);
    const std::optional<PackageData> saved = readPackage(path("saved.tweb"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->value(TWMapsDoc::ContentsPath), streamed->xmlDocumentData());
    EXPECT_EQ(saved->value(TWFileIO::fileVersionPath), "4.1");
}

TEST_F(ContentsStreamTest, ADocumentNestedAThousandLevelsRoundTrips)
{
    const QByteArray map = mapElement("Deep", 1000);
    ASSERT_TRUE(writePackage(path("deep.tweb"), "<TWMapsDoc><maps>" + map + "</maps></TWMapsDoc>"));
    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path("deep.tweb"), false, &error);
    ASSERT_NE(document, nullptr) << error;
    ASSERT_EQ(document->countOfMaps(), 1);
    ASSERT_EQ(document->saveToFile(path("again.tweb")), TWFileIO::SaveSucceeded);
    auto again = TWMapsDoc::loadFromFile(path("again.tweb"), false, &error);
    ASSERT_NE(again, nullptr) << error;
    // Every level comes back, in its place, and the second save writes the
    // first one's text.
    const TWMapBranch *branch = again->maps().at(0)->root().get();
    int levels = 0;
    for (; branch; branch = branch->children().isEmpty() ? nullptr : branch->children()[0].get())
        EXPECT_EQ(branch->branchNumber(), ++levels);
    EXPECT_EQ(levels, 1000);
    EXPECT_EQ(withoutGraphicNumbers(again->xmlDocumentData()),
              withoutGraphicNumbers(document->xmlDocumentData()));
}

// Labels keep every character through a save and a reopen: joiners, marks,
// soft hyphens and controls XML holds stand in the file as they are, and the
// few it cannot hold come back too.
TEST_F(ContentsStreamTest, LabelsKeepEveryCharacterThroughSaveAndReopen)
{
    const QStringList labels{
        QString::fromUcs4(U"family \U0001F468\u200D\U0001F469\u200D\U0001F467"),
        QString::fromUtf8("\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645"),
        QString::fromUtf8("hy\u00ADphen \u200Fmarks\u200E \u202Eo\u202C"),
        QStringLiteral("delete\x7F next\u0085 bom\uFEFF"),
        QStringLiteral("line\r\nbreaks"),
        QStringLiteral("vertical\vtab, form\ffeed") + QChar(0) + QChar(0xFFFF),
        QStringLiteral("lone ") + QChar(0xD800) + QStringLiteral(" surrogate"),
        // Blanks that are a label's whole text, between its tags.
        QStringLiteral("   "),
        QStringLiteral("\n\t "),
        QStringLiteral(" padded\n"),
    };
    const QByteArray map = mapElement("Texts", int(labels.size()));
    ASSERT_TRUE(
        writePackage(path("texts.tweb"), "<TWMapsDoc><maps>" + map + "</maps></TWMapsDoc>"));
    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path("texts.tweb"), false, &error);
    ASSERT_NE(document, nullptr) << error;
    const auto chain = [](TWMapsDoc &doc) {
        QList<TWMapBranch *> branches;
        for (TWMapBranch *b = doc.maps().at(0)->root().get(); b;
             b = b->children().isEmpty() ? nullptr : b->children()[0].get())
            branches.append(b);
        return branches;
    };
    const QList<TWMapBranch *> branches = chain(*document);
    ASSERT_EQ(branches.size(), labels.size());
    for (qsizetype i = 0; i < labels.size(); ++i) {
        AttributedString text(labels[i]);
        text.addAttribute(NSKernAttributeName, 1.5, {0, 3});
        branches[i]->enclosedTextArea()->setText(text);
    }

    for (int save = 1; save <= 2; ++save) {
        SCOPED_TRACE(save);
        const QString file = path(QStringLiteral("saved%1.tweb").arg(save));
        ASSERT_EQ(document->saveToFile(file), TWFileIO::SaveSucceeded);
        auto again = TWMapsDoc::loadFromFile(file, false, &error);
        ASSERT_NE(again, nullptr) << error;
        const QList<TWMapBranch *> back = chain(*again);
        ASSERT_EQ(back.size(), labels.size());
        for (qsizetype i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(back[i]->enclosedTextArea()->text().string(), labels[i]) << i;
            EXPECT_EQ(back[i]->enclosedTextArea()->text().attribute(NSKernAttributeName, 2),
                      QVariant(1.5));
        }
        document = again;
    }
}

// The documents of the tests, indented as older saves wrote them, open as
// the tree route reads the same text; a damaged one is reported at the line of
// the file where it is damaged.
TEST_F(ContentsStreamTest, IndentedDocumentsOpenAsTheTreeReadsThemAndFailAtTheirLine)
{
    StreamedMapText::forEachDamagedDocument([&](const std::shared_ptr<TWMapsDoc> &read) {
        read->maps().at(0)->root()->enclosedTextArea()->setString(QStringLiteral(" \n "));
        // A save writes no indentation; older saves did.
        const std::optional<XMLDocument> parsed = XMLDocument::parse(read->xmlDocumentData());
        ASSERT_TRUE(parsed);
        const QByteArray indented = parsed->xmlData();
        ASSERT_TRUE(indented.contains(">\n    <"));
        read->detach();

        ASSERT_TRUE(writePackage(path("indented.tweb"), indented));
        int error = -1;
        const std::shared_ptr<TWMapsDoc> streamed =
            TWMapsDoc::loadFromFile(path("indented.tweb"), false, &error);
        ASSERT_NE(streamed, nullptr) << error;
        const std::shared_ptr<TWMapsDoc> tree =
            TWMapsDoc::createWithDictionary(*readPackage(path("indented.tweb")), false);
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(withoutGraphicNumbers(streamedText(*streamed)),
                  withoutGraphicNumbers(streamedText(*tree)));
        EXPECT_EQ(streamed->maps().at(0)->root()->enclosedTextArea()->text().string(), " \n ");
        streamed->detach();
        tree->detach();

        // An end tag misspelt far down the file.
        QByteArray damaged = indented;
        const qsizetype at = damaged.lastIndexOf("</branchNumber>");
        ASSERT_GT(at, 0);
        damaged.replace(at, 15, "</branchNumbr>");
        const QString line = QStringLiteral("(line %1)").arg(damaged.left(at).count('\n') + 1);
        qint64 readAt = 0;
        const QString expected = ContentsXMLReader::errorReadingAll([&](char *data, qint64 max) {
            const qint64 n = std::min(max, qint64(damaged.size()) - readAt);
            std::memcpy(data, damaged.constData() + readAt, size_t(n));
            readAt += n;
            return n;
        });
        ASSERT_TRUE(expected.contains(line)) << expected.toStdString();
        ASSERT_TRUE(writePackage(path("damaged.tweb"), damaged));
        WarningCapture warnings;
        EXPECT_EQ(TWMapsDoc::loadFromFile(path("damaged.tweb"), false, &error), nullptr);
        EXPECT_EQ(error, TWFileIO::LoadRefused);
        EXPECT_TRUE(warnings.lines().join('\n').contains(expected))
            << warnings.lines().join('\n').toStdString();
    });
}

TEST_F(ContentsStreamTest, InternalEntitiesOpenSaveAndReopenWithTheirText)
{
    // Declared in the internal subset and used in text, in an attribute of a
    // child unknown here, nested, and inside a map.
    const QByteArray contents = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<!DOCTYPE TWMapsDoc [\n"
                                "  <!ENTITY company \"Acme &amp; Co\">\n"
                                "  <!ENTITY made \"made by &company;\">\n"
                                "]>\n"
                                "<TWMapsDoc>\n"
                                "  <creator>made by &company;</creator>\n"
                                "  <future note=\"&made;\"><deep>&made;!</deep></future>\n"
                                "  <maps>" +
                                mapElement("&company;", 1) +
                                "</maps>\n"
                                "</TWMapsDoc>\n";
    ASSERT_TRUE(writePackage(path("entities.tweb"), contents));

    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path("entities.tweb"), false, &error);
    ASSERT_NE(document, nullptr) << error;
    EXPECT_EQ(document->creator(), "made by Acme & Co");
    const XMLElement future = document->liveXMLElement().elementForName(u"future");
    EXPECT_TRUE(future.xmlString().contains("note=\"made by Acme &amp; Co\""))
        << future.xmlString().toStdString();
    EXPECT_EQ(future.elementForName(u"deep").stringValue(), "made by Acme & Co!");
    EXPECT_EQ(document->maps().at(0)->identifier(), "Acme & Co");

    ASSERT_EQ(document->saveToFile(path("saved.tweb")), TWFileIO::SaveSucceeded);
    const QByteArray saved = readPackage(path("saved.tweb"))->value(TWMapsDoc::ContentsPath);
    EXPECT_FALSE(saved.contains("&company;")) << saved.toStdString();
    EXPECT_FALSE(saved.contains("&made;"));
    auto again = TWMapsDoc::loadFromFile(path("saved.tweb"), false, &error);
    ASSERT_NE(again, nullptr) << error;
    EXPECT_EQ(again->creator(), "made by Acme & Co");
    EXPECT_EQ(again->liveXMLElement().elementForName(u"future").xmlString(), future.xmlString());
    EXPECT_EQ(again->maps().at(0)->identifier(), "Acme & Co");

    // A reference that only an external subset (never read) could declare is
    // not written, so the saved text parses.
    const QByteArray undeclared = "<!DOCTYPE TWMapsDoc SYSTEM \"elsewhere.dtd\">"
                                  "<TWMapsDoc><creator>a&nobody;b</creator></TWMapsDoc>";
    ASSERT_TRUE(writePackage(path("undeclared.tweb"), undeclared));
    auto orphan = TWMapsDoc::loadFromFile(path("undeclared.tweb"), false, &error);
    ASSERT_NE(orphan, nullptr) << error;
    EXPECT_EQ(orphan->creator(), "ab");
    ASSERT_EQ(orphan->saveToFile(path("orphan.tweb")), TWFileIO::SaveSucceeded);
    auto reopened = TWMapsDoc::loadFromFile(path("orphan.tweb"), false, &error);
    ASSERT_NE(reopened, nullptr) << error;
    EXPECT_EQ(reopened->creator(), "ab");
}

// A ustar header for a regular file of `size` bytes whose data may be missing.
QByteArray ustarHeader(const QString &name, qint64 size)
{
    return PackageWriter::header(name, '0', size, 0);
}

TEST_F(ContentsStreamTest, HostilePackagesAreRefusedCleanly)
{
    // A Contents.xml of several megabytes spans many gzip members.
    auto large = documentWithMaps(1);
    for (int i = 0; i < 40000; ++i)
        large->insertObjectInKeywordsAtIndex({{"keyword", QString("keyword %1").arg(i)}}, i);
    ASSERT_EQ(large->saveToFile(path("large.tweb")), TWFileIO::SaveSucceeded);
    QFile file(path("large.tweb"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray damaged = file.readAll();
    ASSERT_GT(damaged.size(), 4096);
    // A broken member header is noticed at once.
    const qsizetype member = damaged.indexOf("\x1f\x8b\x08", damaged.size() / 2);
    ASSERT_GT(member, 0);
    damaged[member + 1] = 'x';

    QByteArray claims3GiB = ustarHeader(TWMapsDoc::ContentsPath, qint64(3) << 30);
    claims3GiB += "<TWMapsDoc>";
    claims3GiB = ParallelGzipWriter::compressMember(claims3GiB.constData(), claims3GiB.size(), 6);
    const QByteArray plain =
        ustarHeader("Thinkweb/fileVersion.txt", 3) + "4.1" + QByteArray(509 + 1024, '\0');
    struct Case
    {
        const char *what;
        QByteArray package; // empty: made from contents
        QByteArray contents;
        int error;
        const char *log;
    };
    const Case cases[] = {
        {"a damaged gzip member", damaged, {}, TWFileIO::LoadNoEntries, "Cannot unpack"},
        {"a size far beyond the data", claims3GiB, {}, TWFileIO::LoadNoEntries, "Cannot unpack"},
        {"no contents", plain, {}, TWFileIO::LoadRefused, "no contents found"},
        {"not UTF-8",
         {},
         "<TWMapsDoc><creator>\xff</creator></TWMapsDoc>",
         TWFileIO::LoadRefused,
         "its contents are not UTF-8"},
        {"malformed after a map",
         {},
         "<TWMapsDoc><maps>" + mapElement("M", 2) + "</maps><open></TWMapsDoc>",
         TWFileIO::LoadRefused,
         "Error loading document"},
        {"trailing junk",
         {},
         "<TWMapsDoc/><junk/>",
         TWFileIO::LoadRefused,
         "Error loading document"},
        {"another root",
         {},
         "<TWMap/>",
         TWFileIO::LoadRefused,
         "Error loading document the root element is <TWMap>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile out(path("hostile.tweb"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.package);
        out.close();
        if (c.package.isEmpty()) {
            ASSERT_TRUE(writePackage(path("hostile.tweb"), c.contents));
        }
        WarningCapture warnings;
        int error = -1;
        EXPECT_EQ(TWMapsDoc::loadFromFile(path("hostile.tweb"), false, &error), nullptr);
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(warnings.lines().join('\n').contains(c.log))
            << warnings.lines().join('\n').toStdString();
    }

    // A streamed entry is bounded by its own limit, refused from its header.
    PackageArchive::Limits limits;
    limits.maxStreamedEntrySize = 1000;
    QBuffer buffer;
    buffer.setData(ParallelGzipWriter::compressMember(plain.constData(), plain.size(), 1) +
                   ParallelGzipWriter::compressMember("", 0, 1));
    buffer.open(QIODevice::ReadOnly);
    PackageReader reader(buffer, limits);
    ASSERT_TRUE(reader.open() && reader.nextEntry());
    char bytes[8];
    EXPECT_EQ(reader.readData(bytes, 8), 3);
    limits.maxStreamedEntrySize = 2;
    buffer.seek(0);
    PackageReader bounded(buffer, limits);
    ASSERT_TRUE(bounded.open() && bounded.nextEntry());
    EXPECT_EQ(bounded.readData(bytes, 8), -1);
    EXPECT_EQ(bounded.status(), PackageArchive::ReadStatus::Refused);
}

// Reads a whole text through the pull reader in chunks of `chunk` bytes,
// expanding every child of the root; the reader's error, empty when it read.
QString readInChunks(const QByteArray &text, qint64 chunk)
{
    qint64 at = 0;
    ContentsXMLReader reader([&](char *data, qint64 max) {
        const qint64 n = std::min({max, chunk, qint64(text.size()) - at});
        std::memcpy(data, text.constData() + at, size_t(n));
        at += n;
        return n;
    });
    if (reader.readRootElement() && reader.enterElement())
        while (reader.nextChildElement())
            reader.expandElement();
    reader.readToEnd();
    return reader.hasError() ? reader.errorString() : QString();
}

TEST(ContentsXMLReader, TextThatWouldCostTheParserDearIsRefusedFirst)
{
    const qint64 outside = ContentsXMLReader::maxBytesOutsideRoot;
    const QByteArray attributes = [] {
        QByteArray a;
        for (int i = 0; i < ContentsXMLReader::maxAttributes; ++i)
            a += " a" + QByteArray::number(i) + "='" + QByteArray::number(i) + "'";
        return a;
    }();
    const QByteArray oneMore = attributes + " z='>'";
    struct Case
    {
        const char *what;
        QByteArray text;
        const char *refusal; // null: reads
    };
    const Case cases[] = {
        {"blanks after the root", "<TWMapsDoc/>" + QByteArray(outside, ' '), "outside the root"},
        {"blanks before the root", QByteArray(outside, '\n') + "<TWMapsDoc/>", "outside the root"},
        {"a comment after the root",
         "<TWMapsDoc></TWMapsDoc><!--" + QByteArray(outside, '-').replace("--", "- ") + "-->",
         "outside the root"},
        {"an element with one attribute too many", "<TWMapsDoc><x" + oneMore + "/></TWMapsDoc>",
         "more than 256 attributes"},
        {"a root with one attribute too many", "<TWMapsDoc" + oneMore + "></TWMapsDoc>",
         "more than 256 attributes"},
        {"an entity whose tag has too many attributes",
         "<!DOCTYPE TWMapsDoc [<!ENTITY e \"<x" + QByteArray(oneMore).replace('\'', "&#39;") +
             "/>\">]><TWMapsDoc>&e;</TWMapsDoc>",
         "more than 256 attributes"},
        // What reads: blank space and text inside the root however large, as
        // many attributes as the bound, and markup whose quotes, brackets and
        // angle brackets must not be taken for tags.
        {"blanks inside the root",
         "<TWMapsDoc>" + QByteArray(2 * outside, ' ') + "<a>" + QByteArray(2 * outside, ' ') +
             "</a></TWMapsDoc>",
         nullptr},
        {"blanks after a root whose children close themselves",
         "<TWMapsDoc><a b = '1'\n/><c d=\"/\" /></TWMapsDoc>" + QByteArray(outside, ' '),
         "outside the root"},
        {"as many attributes as allowed", "<TWMapsDoc><x" + attributes + "/></TWMapsDoc>", nullptr},
        {"markup that looks like tags",
         "<?xml version=\"1.0\"?>\n<!-- don't <x a='1'> -->\n"
         "<!DOCTYPE TWMapsDoc [\n  <!-- ] ' \" > -->\n  <?pi ] ?>\n"
         "  <!ENTITY e \"a > ] b\">\n]>\n"
         "<TWMapsDoc><a x=\"/>\" y='>'>&e;<![CDATA[</TWMapsDoc> <b c='1'>]]></a>"
         "<b/><!-- </TWMapsDoc> --><?pi </TWMapsDoc> ?></TWMapsDoc>\n<!-- end -->\n",
         nullptr},
    };
    for (const Case &c : cases) {
        for (const qint64 chunk : {qint64(1) << 20, qint64(3)}) {
            if (chunk == 3 && c.text.size() > (1 << 16))
                continue; // byte by byte only where it is quick
            SCOPED_TRACE(testing::Message() << c.what << " in chunks of " << chunk);
            const QString error = readInChunks(c.text, chunk);
            if (c.refusal) {
                EXPECT_TRUE(error.contains(c.refusal)) << error.toStdString();
            } else {
                EXPECT_EQ(error, QString());
            }
        }
    }
}

TEST_F(ContentsStreamTest, HostileTextIsRefusedWithErrorTwo)
{
    // A hundred thousand attributes, or blank space after the root far beyond
    // any document's, are refused at once, with error 2.
    QByteArray many = "<TWMapsDoc><x";
    for (int i = 0; i < 100000; ++i)
        many += " a" + QByteArray::number(i) + "='1'";
    many += "/></TWMapsDoc>";
    const QByteArray blanks = "<TWMapsDoc/>" + QByteArray(4 << 20, ' ');
    for (const auto &[text, refusal] :
         {std::pair(many, "attributes"), std::pair(blanks, "outside the root element")}) {
        SCOPED_TRACE(refusal);
        ASSERT_TRUE(writePackage(path("hostile.tweb"), text));
        WarningCapture warnings;
        int error = -1;
        EXPECT_EQ(TWMapsDoc::loadFromFile(path("hostile.tweb"), false, &error), nullptr);
        EXPECT_EQ(error, TWFileIO::LoadRefused);
        EXPECT_TRUE(warnings.lines().join('\n').contains(refusal));
    }
}

TEST_F(ContentsStreamTest, DamagedGzipTrailersAreNoticed)
{
    // A package of three members: the entries cut in two, then the end of
    // the archive on its own, which only a reader that reads on past the
    // archive's end checks.
    const QByteArray contents =
        "<TWMapsDoc><creator>" + QByteArray(5000, 'c') + "</creator></TWMapsDoc>";
    QByteArray tar = ustarHeader(TWMapsDoc::ContentsPath, contents.size()) + contents;
    tar += QByteArray((512 - tar.size() % 512) % 512, '\0');
    tar += ustarHeader("Thinkweb/fileVersion.txt", 3) + "4.1" + QByteArray(509, '\0');
    const qsizetype half = tar.size() / 2;
    const QByteArray first = ParallelGzipWriter::compressMember(tar.constData(), half, 6);
    const QByteArray second =
        ParallelGzipWriter::compressMember(tar.constData() + half, tar.size() - half, 6);
    const QByteArray end = ParallelGzipWriter::compressMember(QByteArray(1024, '\0'), 1024, 6);
    const QByteArray whole = first + second + end;

    const auto flipped = [&](qsizetype at) {
        QByteArray damaged = whole;
        damaged[at] = char(damaged[at] ^ 0x01);
        return damaged;
    };
    struct Case
    {
        const char *what;
        QByteArray package;
        int error;
    };
    const Case cases[] = {
        {"whole", whole, TWFileIO::LoadSucceeded},
        {"zeros after the last member", whole + QByteArray(600, '\0'), TWFileIO::LoadSucceeded},
        {"a wrong CRC in the first member", flipped(first.size() - 8), TWFileIO::LoadNoEntries},
        {"a wrong length in the second member", flipped(first.size() + second.size() - 2),
         TWFileIO::LoadNoEntries},
        {"a wrong CRC after the archive's end", flipped(whole.size() - 6), TWFileIO::LoadNoEntries},
        {"a cut last member", whole.chopped(3), TWFileIO::LoadNoEntries},
        {"junk after the last member", whole + "junk", TWFileIO::LoadNoEntries},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile out(path("trailer.tweb"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.package);
        out.close();
        WarningCapture warnings;
        int error = -1;
        const auto document = TWMapsDoc::loadFromFile(path("trailer.tweb"), false, &error);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(document != nullptr, c.error == TWFileIO::LoadSucceeded);
        EXPECT_EQ(readPackage(path("trailer.tweb")).has_value(),
                  c.error == TWFileIO::LoadSucceeded);
        if (c.error != TWFileIO::LoadSucceeded) {
            EXPECT_TRUE(warnings.lines().join('\n').contains("Cannot unpack"))
                << warnings.lines().join('\n').toStdString();
        }
    }
}

TEST_F(ContentsStreamTest, PackagesOfManyGzipMembersSuitTheSystemTools)
{
    auto document = documentWithMaps(1);
    for (int i = 0; i < 80000; ++i)
        document->insertObjectInKeywordsAtIndex({{"keyword", QString("word %1").arg(i)}}, i);
    const QString longName = "Images/" + QString(120, 'n') + "/" + QString(90, 'm') + ".png";
    const QString unicodeName = QString::fromUtf8("Images/Graphic3/M\xc3\xbcller.png");
    const std::shared_ptr<TWMapBranch> &root = document->maps().at(0)->root();
    root->mainGraphic()->setImageFilename(longName);
    root->enclosedTextArea()->setImageFilename(unicodeName);
    document->setObjectInCachedData(QByteArray(3 << 20, 'p'), longName);
    document->setObjectInCachedData(QByteArray("u"), unicodeName);
    document->xmlDocumentData(); // from here on the children keep their order
    const QString file = path("many.tweb");
    ASSERT_EQ(document->saveToFile(file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(filesBesideSaves(), QStringList{"many.tweb"}); // no spool left behind

    // Our own reader sees every entry, however the members fall.
    const std::optional<PackageData> data = readPackage(file);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->value(TWMapsDoc::ContentsPath), document->xmlDocumentData());
    EXPECT_GT(data->value(TWMapsDoc::ContentsPath).size(), 2 << 20);
    EXPECT_EQ(data->value(longName).size(), 3 << 20);

    const std::optional<int> gzip = run("gzip", {"-t", file});
    const std::optional<int> tar = run("tar", {"-tzf", file});
    if (!gzip || !tar)
        GTEST_SKIP() << "gzip or tar is not installed";
    EXPECT_EQ(*gzip, 0);
    EXPECT_EQ(*tar, 0);
    QProcess listing;
    listing.start("tar", {"--quoting-style=literal", "-tzf", file});
    listing.waitForFinished(60000);
    const QStringList entries = QString::fromUtf8(listing.readAllStandardOutput()).split('\n');
    for (const QString &name : {longName, unicodeName, TWMapsDoc::ContentsPath,
                                QString("Thinkweb/fileVersion.txt"), QString("Images/")})
        EXPECT_TRUE(entries.contains(name)) << name.toStdString();
}

TEST_F(ContentsStreamTest, AFailedSaveLeavesTheOldFileAndNoSpool)
{
    auto document = documentWithMaps(1);
    for (int i = 0; i < 20000; ++i)
        document->insertObjectInKeywordsAtIndex({{"keyword", QString("keyword %1").arg(i)}}, i);
    const QString file = path("kept.tweb");
    ASSERT_TRUE(writePackage(file, "<TWMapsDoc/>"));
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray oldBytes = old.readAll();

    // A file size limit (binding even the super-user) fails the spool part-way,
    // as a full disk would.
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{8 * 1024, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    WarningCapture warnings;
    const int result = document->saveToFile(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(result, TWFileIO::SavePackFailed);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), oldBytes);
    EXPECT_EQ(filesBesideSaves(), QStringList{"kept.tweb"});
}

TEST_F(ContentsStreamTest, ARefusedTargetLeavesTheSaveStampAlone)
{
    struct Case
    {
        const char *what;
        QString target;
        int result;
        QString reason; // what the system says, for the alert
    };
    ASSERT_TRUE(QDir(tempDir.path()).mkpath("a folder"));
    const Case cases[] = {
        {"a folder that does not exist", path("none/x.tweb"), TWFileIO::SaveFolderUnwritable, {}},
        {"a folder", path("a folder"), TWFileIO::SavePackFailed, qt_error_string(EISDIR)},
        {"a file", path("a file.tweb"), TWFileIO::SaveSucceeded, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto document = documentWithMaps(1);
        WarningCapture warnings;
        EXPECT_EQ(document->saveToFile(c.target), c.result);
        const bool saved = c.result == TWFileIO::SaveSucceeded;
        EXPECT_EQ(document->revisionNumber(), saved ? 1 : 0);
        EXPECT_EQ(document->lastSaveDate().has_value(), saved);
        EXPECT_EQ(TWFileIO::lastSaveError(), c.reason);
    }
    EXPECT_TRUE(QFileInfo(path("a folder")).isDir());
    EXPECT_EQ(
        QDir(path("a folder")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
}

TEST_F(ContentsStreamTest, ATreeTooDeepToOpenAgainIsRefusedBeforeItIsSaved)
{
    struct Case
    {
        int levels; // below the root
        int result;
    };
    // Each level costs two elements; a little over a thousand is what the
    // readers' bound on nesting leaves room for.
    const Case cases[] = {{TWFileIO::MaximumBranchLevels, TWFileIO::SaveSucceeded},
                          {1100, TWFileIO::SaveTooDeep}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.levels);
        auto document = documentWithMaps(1);
        const std::shared_ptr<TWMap> map = document->maps().at(0);
        TWMapBranch *parent = map->root().get();
        for (int level = 1; level <= c.levels; ++level)
            parent =
                TWMapBranch::createWithGraphic(
                    TWGraphic::createWithBounds(Rect(float(level), 0, 80, 30)), parent, map.get())
                    .get();
        const QString file = path(QString("deep%1.tweb").arg(c.levels));
        ASSERT_TRUE(writePackage(file, "<TWMapsDoc/>"));
        const std::optional<PackageData> before = readPackage(file);
        const int revision = document->revisionNumber();

        ASSERT_EQ(document->saveToFile(file), c.result);
        // Refused before anything was stamped or drawn.
        EXPECT_EQ(document->revisionNumber(), revision + (c.result == TWFileIO::SaveSucceeded));
        int error = -1;
        auto again = TWMapsDoc::loadFromFile(file, false, &error);
        ASSERT_NE(again, nullptr) << error;
        if (c.result != TWFileIO::SaveSucceeded) {
            // Refused: the file is the one that was there.
            EXPECT_EQ(readPackage(file), before);
            EXPECT_EQ(again->countOfMaps(), 0);
            continue;
        }
        ASSERT_EQ(again->countOfMaps(), 1);
        int levels = 0;
        for (const TWMapBranch *b = again->maps().at(0)->root().get(); !b->children().isEmpty();
             b = b->children().at(0).get())
            ++levels;
        EXPECT_EQ(levels, c.levels);
    }
}

TEST_F(ContentsStreamTest, ValuesTakenFromTheRootDoNotDependOnWhereItHoldsThem)
{
    struct Case
    {
        QByteArray rootChild;
        QByteArray mapChild; // marks the value as not set
        const char *key;
        QVariant expected;
    };
    const Color colour = Color::colorWithCalibratedRed(0.25, 0.5, 0.75, 1);
    const Case cases[] = {
        {"<showingLinks>NO</showingLinks>", "<showingLinks>-1</showingLinks>", "showLinkLines",
         false},
        {"<hidePriorities>YES</hidePriorities>", "<hidePriorities>2</hidePriorities>",
         "showPriorities", false},
        {"<showCollapseSign>YES</showCollapseSign>", "", "showCollapseSign", true},
        {"<layoutAssistanceMode>3</layoutAssistanceMode>",
         "<layoutAssistanceMode>-1</layoutAssistanceMode>", "layoutAssistanceMode", 3},
        {"<rainbowSaturation>0.300000</rainbowSaturation>",
         "<rainbowSaturation>-1.000000</rainbowSaturation>", "rainbowSaturation", 0.3f},
        {"<backgroundImageOpacity>0.400000</backgroundImageOpacity>", "", "backgroundImageOpacity",
         0.4f},
        {"<backgroundImageTileMode>2</backgroundImageTileMode>", "", "backgroundImageTileMode", 2},
        {"<backgroundColor>" + colour.freshXMLElement().xmlString() + "</backgroundColor>", "",
         "backgroundColor", QVariant::fromValue(colour)},
    };
    for (const Case &c : cases) {
        for (const bool rootFirst : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.key << (rootFirst ? " before" : " after"));
            const QByteArray maps = "<maps><map><TWMap><identifier>M</identifier>" + c.mapChild +
                                    "</TWMap></map></maps>";
            ASSERT_TRUE(writePackage(path("root.tweb"),
                                     "<TWMapsDoc>" +
                                         (rootFirst ? c.rootChild + maps : maps + c.rootChild) +
                                         "</TWMapsDoc>"));
            int error = -1;
            auto loaded = TWMapsDoc::loadFromFile(path("root.tweb"), false, &error);
            ASSERT_NE(loaded, nullptr) << error;
            ASSERT_EQ(loaded->countOfMaps(), 1);
            EXPECT_EQ(loaded->maps().at(0)->valueForKey(c.key), c.expected);
            // Saved with the value it took, which no longer needs the root's.
            ASSERT_EQ(loaded->saveToFile(path("saved.tweb")), TWFileIO::SaveSucceeded);
            const std::optional<PackageData> saved = readPackage(path("saved.tweb"));
            ASSERT_TRUE(saved);
            std::optional<XMLDocument> contents =
                XMLDocument::parse(saved->value(TWMapsDoc::ContentsPath));
            ASSERT_TRUE(contents);
            XMLElement root = contents->rootElement();
            const QString name = XMLElement::parse(c.rootChild).name();
            root.removeChild(root.elementForName(name));
            ASSERT_TRUE(root.elementForName(name).isNull());
            ASSERT_TRUE(writePackage(path("alone.tweb"), contents->xmlData()));
            auto again = TWMapsDoc::loadFromFile(path("alone.tweb"), false, &error);
            ASSERT_NE(again, nullptr) << error;
            EXPECT_EQ(again->maps().at(0)->valueForKey(c.key), c.expected);
        }
    }
}

TEST_F(ContentsStreamTest, ALinkLineFollowsTheEndsItFindsAcrossSaves)
{
    // The root's shape is graphic 11 and its child's 21 in the file.
    struct Case
    {
        const char *start;
        const char *end;
        bool startFound;
        bool endFound;
    };
    const Case cases[] = {
        {"11", "21", true, true},
        {"11", "777", true, false},
        {"777", "21", false, true},
        {"776", "777", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " to " << c.end);
        const QByteArray contents =
            "<TWMapsDoc><maps><map><TWMap><root>" +
            MapsDocTest::branchElement(1, "<children>" + MapsDocTest::branchElement(2) +
                                              "</children>") +
            "</root><linkLines><linkLine><TWGraphic><class>TWLinkLine</class>"
            "<graphicNumber>90</graphicNumber><startGraphicNumber>" +
            QByteArray(c.start) + "</startGraphicNumber><endGraphicNumber>" + c.end +
            "</endGraphicNumber></TWGraphic></linkLine></linkLines></TWMap></map></maps>"
            "</TWMapsDoc>";
        ASSERT_TRUE(writePackage(path("line0.tweb"), contents));
        long missingStart = QByteArray(c.start).toLong();
        long missingEnd = QByteArray(c.end).toLong();
        // Opened, then saved and opened again twice.
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            int error = -1;
            auto document =
                TWMapsDoc::loadFromFile(path(QString("line%1.tweb").arg(round)), false, &error);
            ASSERT_NE(document, nullptr) << error;
            const std::shared_ptr<TWMap> map = document->maps().at(0);
            ASSERT_EQ(map->countOfLinkLines(), 1);
            const std::shared_ptr<TWLinkLine> line = map->linkLines().at(0);
            const std::shared_ptr<TWMapBranch> &root = map->root();
            ASSERT_EQ(root->countOfChildren(), 1);
            const std::shared_ptr<TWGraphic> &startShape = root->mainGraphic();
            const std::shared_ptr<TWGraphic> &endShape = root->children().at(0)->mainGraphic();
            if (c.startFound) {
                EXPECT_EQ(line->startGraphic(), startShape);
                EXPECT_EQ(line->startGraphicNumber(), startShape->graphicNumber());
                EXPECT_EQ(line->branch(), root.get());
            } else {
                EXPECT_EQ(line->startGraphic(), nullptr);
                EXPECT_EQ(line->startGraphicNumber(), missingStart);
            }
            if (c.endFound) {
                EXPECT_EQ(line->endGraphic(), endShape);
                EXPECT_EQ(line->endGraphicNumber(), endShape->graphicNumber());
            } else {
                EXPECT_EQ(line->endGraphic(), nullptr);
                EXPECT_EQ(line->endGraphicNumber(), missingEnd);
            }
            ASSERT_EQ(document->saveToFile(path(QString("line%1.tweb").arg(round + 1))),
                      TWFileIO::SaveSucceeded);
        }
    }
}

TEST_F(ContentsStreamTest, ABranchWhoseShapeOrLabelCannotBeReadIsKeptWithItsSubtree)
{
    const auto graphic = [](const char *className, int number) {
        return "<TWGraphic><class>" + QByteArray(className) + "</class><graphicNumber>" +
               QByteArray::number(number) + "</graphicNumber></TWGraphic>";
    };
    struct Case
    {
        QByteArray mainGraphic;
        QByteArray textArea;
        const char *log;
    };
    const Case cases[] = {
        {"<mainGraphic/>", "<enclosedTextArea>" + graphic("TWTextArea", 32) + "</enclosedTextArea>",
         "Could not find class named (null) - aborting load of graphic!"},
        {"<mainGraphic>" + graphic("TWNoSuchShape", 31) + "</mainGraphic>",
         "<enclosedTextArea>" + graphic("TWTextArea", 32) + "</enclosedTextArea>",
         "Could not find class named TWNoSuchShape - aborting load of graphic!"},
        {"<mainGraphic>" + graphic("TWRectangle", 31) + "</mainGraphic>",
         "<enclosedTextArea>" + graphic("TWRectangle", 32) + "</enclosedTextArea>",
         "The label of a branch is a TWRectangle - replaced by an empty one"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.log);
        // The second of three children, with a child of its own.
        const QByteArray unreadable = "<TWMapBranch>" + c.mainGraphic + c.textArea +
                                      "<branchNumber>3</branchNumber><children>" +
                                      MapsDocTest::branchElement(4) + "</children></TWMapBranch>";
        const QByteArray tree = MapsDocTest::branchElement(
            1, "<children>" + MapsDocTest::branchElement(2) + unreadable +
                   MapsDocTest::branchElement(5) + "</children>");
        ASSERT_TRUE(writePackage(path("shape.tweb"), "<TWMapsDoc><maps><map><TWMap><root>" + tree +
                                                         "</root></TWMap></map></maps>"
                                                         "</TWMapsDoc>"));
        for (const char *file : {"shape.tweb", "again.tweb"}) {
            SCOPED_TRACE(file);
            WarningCapture warnings;
            int error = -1;
            auto document = TWMapsDoc::loadFromFile(path(file), false, &error);
            ASSERT_NE(document, nullptr) << error;
            document->processFlags();
            const std::shared_ptr<TWMap> map = document->maps().at(0);
            QList<int> numbers;
            for (const auto &branch : map->allBranches())
                numbers.append(branch->branchNumber());
            EXPECT_EQ(numbers, QList<int>({1, 2, 3, 4, 5}));
            // Said once when the shape or label is replaced; the file saved
            // then reads cleanly.
            const bool first = std::string_view(file) == "shape.tweb";
            EXPECT_EQ(warnings.lines().count(c.log), first ? 1 : 0);
            if (!first) {
                for (const char *unread :
                     {"Could not find class named", "No Main graphic", "No text area", "Rebuilt"})
                    EXPECT_FALSE(warnings.containsPrefix(unread)) << unread;
            }
            EXPECT_TRUE(alerts.alerts().isEmpty());
            ASSERT_EQ(document->saveToFile(path("again.tweb")), TWFileIO::SaveSucceeded);
        }
    }
}

// A million entries take a while to pass over, so this runs on its own.
TEST(LargePackage, MoreEntriesThanTheBoundSaySo)
{
    QTemporaryDir dir;
    // More entries than the bound: one member of folder headers, repeated,
    // so the package stays small.
    QByteArray headers;
    while (headers.size() < (1 << 20))
        headers += PackageWriter::header("Images/", '5', 0, 0);
    const QByteArray member = ParallelGzipWriter::compressMember(headers, headers.size(), 6);
    const qint64 members = PackageArchive::Limits().maxEntries / 2048 + 1;
    QFile out(dir.filePath("entries.tweb"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (qint64 i = 0; i < members; ++i)
        out.write(member);
    out.write(ParallelGzipWriter::compressMember(QByteArray(1024, '\0'), 1024, 6));
    out.close();
    WarningCapture warnings;
    int error = -1;
    EXPECT_EQ(TWMapsDoc::loadFromFile(dir.filePath("entries.tweb"), false, &error), nullptr);
    EXPECT_EQ(error, TWFileIO::LoadTooManyEntries);
    const QString message = TWFileIO::loadErrorMessage(TWFileIO::LoadTooManyEntries);
    EXPECT_TRUE(message.contains("1,048,576")) << message.toStdString();
    EXPECT_NE(message, TWFileIO::loadErrorMessage(TWFileIO::LoadTooLarge));
    EXPECT_TRUE(warnings.lines().join('\n').contains(message));
}

TEST(StartTagCounter, CountsAndChecksInChunksOfAnySize)
{
    const QByteArray counted = "<TWMapBranch>a<TWMapBranch/><TWMapBranch\n x='1'>"
                               "<TWMapBranches/></TWMapBranch><TWMapBranch>";
    const QByteArray text = "\xc3\xa9\xf0\x9f\x8c\xb3" + counted + "\xe2\x82\xac";
    struct Case
    {
        QByteArray text;
        qint64 count;
        bool utf8;
    };
    const Case cases[] = {
        {text, 4, true},
        {text + "<TWMapBranch", 4, true}, // no end of name seen
        {text + "\xe2\x82", 4, false},    // cut sequence at the end
        {"\x80" + text, 4, false},
        {text.left(2) + "\xc0\xaf" + text.mid(2), 4, false}, // overlong
    };
    for (const Case &c : cases) {
        for (int chunk = 1; chunk <= 17; ++chunk) {
            SCOPED_TRACE(testing::Message() << c.text.toStdString() << " in chunks of " << chunk);
            StartTagCounter counter("TWMapBranch");
            for (qsizetype at = 0; at < c.text.size(); at += chunk)
                counter.feed(c.text.constData() + at,
                             std::min<qsizetype>(chunk, c.text.size() - at));
            counter.finish();
            EXPECT_EQ(counter.count(), c.count);
            EXPECT_EQ(counter.isValidUtf8(), c.utf8);
            EXPECT_EQ(counter.size(), c.text.size());
        }
    }
}

// A plain tar whose Contents.xml is beyond 2 GiB, made up while it is read:
// blanks with a start tag at a few places. Nothing is compressed or parsed.
class LargeContentsDevice : public QIODevice
{
public:
    static constexpr qint64 contentsSize = (qint64(17) << 27) + 5; // 2.125 GiB
    LargeContentsDevice()
        : m_header(PackageWriter::header(TWMapsDoc::ContentsPath, '0', contentsSize, 0)),
          m_total(512 + (contentsSize + 511) / 512 * 512 + 1024)
    {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_total; }
    static QList<qint64> tags() { return {0, (qint64(1) << 31) - 6, contentsSize - 14}; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        static const QByteArray tag = "<TWMapBranch>";
        const qint64 start = pos(), n = std::min(max, m_total - start);
        std::memset(data, ' ', size_t(n));
        for (qint64 i = start; i < std::min<qint64>(512, start + n); ++i)
            data[i - start] = m_header[i];
        for (qint64 i = std::max<qint64>(start, 512 + contentsSize); i < start + n; ++i)
            data[i - start] = '\0';
        for (const qint64 at : tags())
            for (qint64 i = 0; i < tag.size(); ++i)
                if (512 + at + i >= start && 512 + at + i < start + n)
                    data[512 + at + i - start] = tag[i];
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_header;
    qint64 m_total;
};

TEST(LargeContents, BeyondTwoGibibytesStreamsAndCounts)
{
    // Sizes a tar header holds only in a pax record come back whole.
    for (const qint64 size : {qint64(3) << 30, (qint64(9) << 30) + 1}) {
        QBuffer buffer;
        buffer.setData(PackageWriter::header(TWMapsDoc::ContentsPath, '0', size, 0));
        buffer.open(QIODevice::ReadOnly);
        PackageReader reader(buffer);
        ASSERT_TRUE(reader.open() && reader.nextEntry());
        EXPECT_EQ(reader.entrySize(), size);
    }

    LargeContentsDevice device;
    PackageReader package(device);
    ASSERT_TRUE(package.open() && package.nextEntry());
    EXPECT_EQ(package.entrySize(), LargeContentsDevice::contentsSize);
    StartTagCounter counter("TWMapBranch");
    std::vector<char> chunk(std::size_t(1) << 20);
    qint64 n;
    while ((n = package.readData(chunk.data(), qint64(chunk.size()))) > 0)
        counter.feed(chunk.data(), n);
    counter.finish();
    EXPECT_EQ(n, 0);
    EXPECT_EQ(counter.size(), LargeContentsDevice::contentsSize);
    EXPECT_EQ(counter.count(), LargeContentsDevice::tags().size());
    EXPECT_TRUE(counter.isValidUtf8());
}

} // namespace
