#include "PowerPointTestSupport.h"

#include "exchange/TWImpressHost.h"

#include <QStandardPaths>

#include <sys/stat.h>

#include <archive.h>
#include <archive_entry.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

using namespace PowerPointTest;

namespace {

// Every member of a zip archive by name.
QMap<QString, QByteArray> unzip(const QString &path)
{
    QMap<QString, QByteArray> members;
    archive *a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, path.toLocal8Bit().constData(), 65536) == ARCHIVE_OK) {
        archive_entry *entry = nullptr;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            QByteArray data;
            char buffer[65536];
            la_ssize_t n;
            while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
                data.append(buffer, n);
            members.insert(QString::fromUtf8(archive_entry_pathname(entry)), data);
        }
    }
    archive_read_free(a);
    return members;
}

// The string values of an XPath query over a slide part.
QStringList query(const QByteArray &xml, const char *path)
{
    QStringList out;
    xmlDocPtr doc =
        xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET);
    if (!doc)
        return {QStringLiteral("<unreadable>")};
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    xmlXPathRegisterNs(context, BAD_CAST "a",
                       BAD_CAST "http://schemas.openxmlformats.org/drawingml/2006/main");
    xmlXPathRegisterNs(context, BAD_CAST "p",
                       BAD_CAST "http://schemas.openxmlformats.org/presentationml/2006/main");
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST path, context);
    if (result && result->nodesetval)
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar *value = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            out << QString::fromUtf8(reinterpret_cast<const char *>(value));
            xmlFree(value);
        }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    xmlFreeDoc(doc);
    return out;
}

bool impressInstalled()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) &&
           !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty();
}

} // namespace

class TWImpressHostTest : public ExportTest::ExportFixture
{
protected:
    TWImpressHostTest()
    {
        exporter.setPictureFolder(outDir.filePath(QStringLiteral("pictures")));
        exporter.setProgressPanel(&progress);
    }
    void addNote(TWMapBranch &branch, const QString &text)
    {
        auto note = std::make_shared<TWAttachedText>(QStringLiteral("Notes"), nullptr);
        note->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(note, 0);
    }

    TWImpressHost impress;
    ProgressPanelController progress;
    TWPowerPointExporter exporter{controller, impress};
};

TEST_F(TWImpressHostTest, WritesARealPresentation)
{
    if (!impressInstalled())
        GTEST_SKIP() << "LibreOffice Impress is not installed (scripts/install-deps installs it)";
    setPrintingSize({400, 300});
    addNote(*root, QStringLiteral("central note"));
    auto alpha = child(root, 200, "Alpha");
    auto one = child(alpha, 150, QStringLiteral("one \"quoted\" ") + QChar(0x4e88), 700);
    addNote(*one, QStringLiteral("note of one"));
    auto two = child(alpha, 250, "two", 700);
    child(two, 250, "deep", 900);
    child(root, 320, "Beta");
    settle();
    controller.refreshMapArrayController();
    const QString path = outDir.filePath(QStringLiteral("map.pptx"));
    ASSERT_TRUE(exporter.exportSelectedMaps({0}, path));
    for (const auto &alert : alerts.alerts())
        ADD_FAILURE() << alert.title.toStdString() << ": " << alert.message.toStdString();

    const QMap<QString, QByteArray> pptx = unzip(path);
    QStringList slides;
    for (auto it = pptx.cbegin(); it != pptx.cend(); ++it)
        if (it.key().startsWith("ppt/slides/slide") && it.key().endsWith(".xml"))
            slides << it.key();
    ASSERT_EQ(slides.size(), 3) << slides.join(' ').toStdString();
    EXPECT_EQ(query(pptx["ppt/presentation.xml"], "//p:sldSz/@cx"), QStringList{"9144000"});
    EXPECT_EQ(query(pptx["ppt/presentation.xml"], "//p:sldSz/@cy"), QStringList{"6858000"});

    // The map's picture, wider than the band under the slide's title: the
    // slide's full width, within the band (12700 units a point).
    EXPECT_EQ(query(pptx["ppt/slides/slide1.xml"], "//p:pic").size(), 1);
    EXPECT_EQ(query(pptx["ppt/slides/slide1.xml"], "//p:pic//a:off/@x"), QStringList{"0"});
    EXPECT_EQ(query(pptx["ppt/slides/slide1.xml"], "//p:pic//a:ext/@cx"), QStringList{"9144000"});
    const QStringList top = query(pptx["ppt/slides/slide1.xml"], "//p:pic//a:off/@y");
    const QStringList height = query(pptx["ppt/slides/slide1.xml"], "//p:pic//a:ext/@cy");
    ASSERT_EQ(top.size(), 1);
    ASSERT_EQ(height.size(), 1);
    EXPECT_GE(top[0].toLongLong(), 126 * 12700);
    EXPECT_LE(top[0].toLongLong() + height[0].toLongLong(), 540 * 12700);

    const char *title = "//p:sp[.//p:ph/@type='title']//a:p";
    const char *body = "//p:sp[.//p:ph[not(@type)]]//a:p";
    // The map's slide is titled by its central branch.
    EXPECT_EQ(query(pptx["ppt/slides/slide1.xml"], title), QStringList{"root"});
    // Map text keeps its size by default (hundredths of a point): the
    // export panel's multiplier is 1.
    const QStringList sizes =
        query(pptx["ppt/slides/slide2.xml"], "//p:sp[.//p:ph]//a:r/a:rPr/@sz");
    ASSERT_FALSE(sizes.isEmpty());
    for (const QString &size : sizes)
        EXPECT_GE(size.toInt(), 1000) << size.toStdString();
    EXPECT_EQ(query(pptx["ppt/slides/slide2.xml"], title), QStringList{"Alpha"});
    EXPECT_EQ(query(pptx["ppt/slides/slide2.xml"], body),
              QStringList({QStringLiteral("one \"quoted\" ") + QChar(0x4e88), "two", "deep"}));
    // Levels below the first are written as lvl 1, 2, ...
    EXPECT_EQ(
        query(pptx["ppt/slides/slide2.xml"], "//p:sp[.//p:ph[not(@type)]]//a:p[a:pPr/@lvl='1']"),
        QStringList{"deep"});
    EXPECT_EQ(query(pptx["ppt/slides/slide3.xml"], title), QStringList{"Beta"});

    QStringList notes;
    for (auto it = pptx.cbegin(); it != pptx.cend(); ++it)
        if (it.key().startsWith("ppt/notesSlides/notesSlide") && it.key().endsWith(".xml"))
            notes << query(it.value(), "//p:sp[.//p:ph/@type='body']//a:p").join('|');
    EXPECT_TRUE(notes.contains("central note")) << notes.join(" / ").toStdString();
    EXPECT_TRUE(notes.join('|').contains("note of one")) << notes.join(" / ").toStdString();
    EXPECT_FALSE(impress.isRunning());
}

TEST_F(TWImpressHostTest, MapsComeOutInOrderWithTheUsersFileMode)
{
    if (!impressInstalled())
        GTEST_SKIP() << "LibreOffice Impress is not installed (scripts/install-deps installs it)";
    addMaps();
    const QStringList titles{"Alpha", "Beta", "Gamma"};
    for (int i = 0; i < 3; ++i) {
        const std::shared_ptr<TWMap> &m = document->maps()[i];
        TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({400, 200, 80, 30}),
                                       m->root().get(), m.get())
            ->enclosedTextArea()
            ->setString(titles[i]);
    }
    settle();
    controller.refreshMapArrayController();
    const QString path = outDir.filePath(QStringLiteral("maps.pptx"));
    struct RestoreUmask
    {
        mode_t mask;
        ~RestoreUmask() { ::umask(mask); }
    } restore{::umask(027)};
    ASSERT_TRUE(exporter.exportSelectedMaps({0, 1, 2}, path));
    for (const auto &alert : alerts.alerts())
        ADD_FAILURE() << alert.title.toStdString() << ": " << alert.message.toStdString();
    struct stat written;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0640u);

    const QMap<QString, QByteArray> pptx = unzip(path);
    const char *title = "//p:sp[.//p:ph/@type='title']//a:p";
    QStringList slides;
    for (int n = 1; pptx.contains(QStringLiteral("ppt/slides/slide%1.xml").arg(n)); ++n) {
        const QByteArray &slide = pptx[QStringLiteral("ppt/slides/slide%1.xml").arg(n)];
        slides << (query(slide, "//p:pic").isEmpty() ? query(slide, title).join('|')
                                                     : QStringLiteral("picture"));
    }
    EXPECT_EQ(slides, QStringList({"picture", "Alpha", "picture", "Beta", "picture", "Gamma"}));
}

TEST(TWImpressHost, AProgramThatFailsOrHangsIsEndedAndReported)
{
    QTemporaryDir dir;
    // Stand-ins for the bridge's interpreter: each ignores the program given.
    const struct
    {
        const char *script;
        bool launches;
        const char *error;
    } cases[] = {
        {"exec sleep 30", false, "did not answer within 1 seconds"},
        {"echo '{\"ok\": false, \"error\": \"no bridge\"}'", false, "no bridge"},
        {"echo 'starting'; echo '{\"ok\": true}'; read line; exit 3", true, "ended unexpectedly"},
        {"echo '{\"ok\": true}'; read line; echo '{\"ok\": false, \"error\": \"no slide\"}'; "
         "exec sleep 30",
         true, "no slide"},
    };
    int i = 0;
    for (const auto &c : cases) {
        const QString path = dir.filePath(QStringLiteral("python%1").arg(i++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/sh\n") + c.script + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        TWImpressHost host;
        host.setPython(path);
        host.setTimeouts(1, 1);
        QString error;
        ASSERT_EQ(host.launch(&error), c.launches) << c.script;
        if (c.launches)
            EXPECT_FALSE(host.run(TWPowerPointOperation::addTextSlide(2), &error)) << c.script;
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
        host.quit();
        EXPECT_FALSE(host.isRunning());
    }
}

TEST_F(TWImpressHostTest, AMissingProgramIsReportedAtOnce)
{
    impress.setPython(outDir.filePath(QStringLiteral("no-such-python")));
    controller.refreshMapArrayController();
    EXPECT_FALSE(exporter.exportSelectedMaps({0}, outDir.filePath(QStringLiteral("x.pptx"))));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].title, "Unable to start LibreOffice Impress");
    EXPECT_TRUE(alerts.alerts()[0].message.contains("no-such-python"));
    EXPECT_FALSE(QFile::exists(outDir.filePath(QStringLiteral("x.pptx"))));
}
