#include "KeynoteTestSupport.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWHyperlink.h"
#include "model/TWMapsDoc.h"
#include "platform/CFormat.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace KeynoteTest;

namespace {

const TWKeynoteTemplates::Template &templateOfVersion(int version)
{
    return TWKeynoteTemplates::templates()[version == 2 ? 1 : 3];
}

QByteArray pngBytes()
{
    QImage image(6, 4, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The text of a paragraph, its tabs and line breaks as characters.
QString paragraphText(xmlNodePtr node)
{
    QString text;
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE)
            text += QString::fromUtf8(reinterpret_cast<const char *>(child->content));
        else if (xmlStrEqual(child->name, BAD_CAST "tab"))
            text += '\t';
        else if (xmlStrEqual(child->name, BAD_CAST "br"))
            text += '\n';
        else
            text += paragraphText(child);
    }
    return text;
}

// The graphic number an element's id carries ("TWShapeInfo-12", "TWLineInfo-12-3").
qint64 numberInId(const QString &id)
{
    static const QRegularExpression number("-(-?\\d+)");
    return number.match(id).captured(1).toLongLong();
}

} // namespace

class KeynoteMapSlide : public KeynoteFixture
{
protected:
    KeynoteMapSlide() : alertsScope(&alerts) {}

    xmlNodePtr makeSlide(int version, float zoom = 1, float dx = 0, float dy = 0)
    {
        presentation = std::make_unique<Presentation>(templateOfVersion(version));
        Presentation &p = *presentation;
        EXPECT_TRUE(exporter.createMapSlide(p.blankMaster, p.blankLayer, p.blankSheet, p.slideList,
                                            p.root, zoom, dx, dy, version, *map, package));
        slide = p.slides().value(0);
        group = p.nodes(".//sf:layer[sf:type/sf:string/@sfa:string='BGSlideForegroundLayer']/"
                        "sf:drawables",
                        slide)
                    .value(0);
        anon = p.nodes(".//sf:anon-styles", slide).value(0);
        return slide;
    }
    QStringList values(const QString &query, xmlNodePtr context) const
    {
        return presentation->values(query, context);
    }
    // The ids of the shapes in the drawing group, in order.
    QStringList shapeIds() const { return values("*/@sfa:ID", group); }

    std::unique_ptr<Presentation> presentation;
    KeynotePackage package;
    xmlNodePtr slide = nullptr, group = nullptr, anon = nullptr;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
};

TEST_F(KeynoteMapSlide, HoldsTheFixedStyleGuidesAndGraphicsLastFirst)
{
    auto a = child(root, 100, "a", 500);
    auto b = child(root, 200, "b", 500);
    child(a, 100, "a1", 700);
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(a.get());
    line->connect(a->mainGraphic(), b->mainGraphic());
    line->updateBounds();
    line->calculateDefaultIntermediatePoints();
    line->updateBounds();
    map->insertObjectInLinkLinesAtIndex(line, 0);
    settle();

    for (int version : {2, 3}) {
        SCOPED_TRACE(version);
        exporter.resetIds();
        makeSlide(version, 0.5f, 10, 20);
        ASSERT_NE(group, nullptr);
        ASSERT_NE(anon, nullptr);

        const QString fixed = "sf:graphic-style[1][@sf:parent-ident='shapeStyleID']/"
                              "sf:property-map/";
        EXPECT_EQ(values(fixed + "sf:shadow/sf:shadow/@sf:opacity", anon), QStringList{"0.75"});
        EXPECT_EQ(values(fixed + "sf:fill/sf:color/@sfa:r", anon),
                  QStringList{"0.43539530038833618"});
        EXPECT_EQ(values(fixed + "sf:fill/sf:color/@sfa:b", anon),
                  QStringList{"0.27748769521713257"});
        EXPECT_EQ(values(fixed + "sf:stroke/sf:stroke/@sf:width", anon), QStringList{"4"});
        EXPECT_EQ(values(fixed + "sf:stroke/sf:stroke/sf:color/@sfa:r", anon),
                  QStringList{"0.71739131212234497"});
        EXPECT_EQ(values(fixed + "sf:stroke/sf:stroke/sf:pattern/@sf:type", anon),
                  QStringList{"solid"});
        const QStringList guides = values("../sf:guides/@sfa:ID", group);
        ASSERT_EQ(guides.size(), 1);
        EXPECT_TRUE(guides[0].startsWith("NSMutableSet-")) << guides[0].toStdString();

        // Graphics follow the printing order backwards, overlays aside.
        QList<qint64> written;
        for (const QString &id : shapeIds()) {
            const qint64 n = numberInId(id);
            if (written.isEmpty() || written.last() != n)
                written << n;
        }
        QList<qint64> expected;
        const TWMap::GraphicList order = map->graphicsOrderedForPrinting(false);
        for (auto it = order.crbegin(); it != order.crend(); ++it)
            if (written.contains((*it)->graphicNumber()))
                expected << (*it)->graphicNumber();
        EXPECT_EQ(written, expected);
        EXPECT_EQ(written.last(), line->graphicNumber()) << "link lines come last";
        EXPECT_TRUE(written.contains(root->enclosedTextArea()->graphicNumber()));
        // The central branch's shapes follow every subtree's.
        const qsizetype central = written.indexOf(root->mainGraphic()->graphicNumber());
        ASSERT_GE(central, 0);
        for (const auto &branch : {a, b})
            EXPECT_LT(written.indexOf(branch->mainGraphic()->graphicNumber()), central);

        // Placeholders for version 2 only; notes always, empty here.
        EXPECT_EQ(presentation->count("key:bullets/key:headline[@key:depth='0']", slide),
                  version == 2 ? 1 : 0);
        EXPECT_EQ(presentation->count("key:dummy_body_headline", slide), version == 2 ? 1 : 0);
        EXPECT_EQ(presentation->count("key:notes/sf:text-storage[@sf:kind='note']"
                                      "[@sf:exclude-charts='true']/sf:text-body/sf:layout/sf:p",
                                      slide),
                  1);
        EXPECT_EQ(presentation->count("key:notes//sf:span", slide), 0);
        EXPECT_TRUE(presentation->idProblems().isEmpty())
            << presentation->idProblems().join(", ").toStdString();
    }
}

TEST_F(KeynoteMapSlide, HiddenBranchesLeaveNoTraceAndPicturesAreCopied)
{
    auto shown = child(root, 100, "shown", 500);
    auto folded = child(root, 200, "folded", 500);
    auto hidden = child(folded, 200, "hidden", 700);
    for (const auto &branch : {shown, hidden}) {
        const QString name = "Pictures/" + BranchTest::nameOf(*branch) + ".png";
        branch->mainGraphic()->setImageFilename(name);
        document->setObjectInCachedData(pngBytes(), name);
        branch->setPriority(3);
    }
    folded->setChildrenHidden(true);
    settle();
    ASSERT_TRUE(hidden->hidden());

    makeSlide(3);
    const QSet<qint64> written = [&] {
        QSet<qint64> numbers;
        for (const QString &id : shapeIds())
            numbers.insert(numberInId(id));
        return numbers;
    }();
    for (const TWGraphic *graphic :
         {hidden->mainGraphic().get(), static_cast<TWGraphic *>(hidden->enclosedTextArea().get())})
        EXPECT_FALSE(written.contains(graphic->graphicNumber()));
    const QString shownPicture =
        "shown" + QString::number(shown->mainGraphic()->graphicNumber()) + "png";
    EXPECT_EQ(package.fileData(shownPicture), pngBytes());
    const QString g = QString::number(shown->enclosedTextArea()->graphicNumber());
    QStringList expectedFiles{shownPicture, "priority" + g + ".tiff"};
    expectedFiles.sort();
    EXPECT_EQ(package.fileNames(), expectedFiles);
    // Every file the slide names is in the package.
    for (const QString &path : values("//sf:data/@sf:path", slide))
        EXPECT_TRUE(package.contains(path)) << path.toStdString();
}

TEST_F(KeynoteMapSlide, SpeakerNotesComeFromTheCentralBranch)
{
    addNote(*root, "first", std::nullopt);
    addNote(*root, "", std::nullopt);
    addNote(*root, "second", std::nullopt);
    settle();
    makeSlide(3);
    const xmlNodePtr paragraph = presentation->nodes("key:notes//sf:p", slide).value(0);
    ASSERT_NE(paragraph, nullptr);
    const QString text = paragraphText(paragraph);
    EXPECT_EQ(text, "root\n\tfirst\n\nroot\n\tsecond\n\n");
}

TEST_F(KeynoteMapSlide, OverlaysFollowTheirBranchsText)
{
    struct Case
    {
        const char *what;
        std::function<void(TWMapBranch &)> setup;
        QStringList missingImages;
        QStringList kinds;      // style kinds written, in order
        QStringList files;      // package files, "%g" for the text area's number
        QStringList namesAsked; // named images looked up
    };
    const QList<Case> cases{
        {"three attached texts",
         [this](TWMapBranch &b) {
             for (int i = 0; i < 3; ++i)
                 addNote(b, "note", std::nullopt);
         },
         {},
         {"TxtImg-%g-0", "TxtImg-%g-1", "TxtImg-%g-2"},
         {"txtIndicator%g-0.tiff", "txtIndicator%g-1.tiff", "txtIndicator%g-2.tiff"},
         {"HasTextIndicatorOverlay"}},
        {"hyperlinks whatever the map shows",
         [this](TWMapBranch &b) {
             map->branchDisplaySettingsForUpdate().showTextIndicators = false;
             b.insertObjectInHyperlinksAtIndex(std::make_shared<TWHyperlink>(2), 0);
             b.insertObjectInHyperlinksAtIndex(std::make_shared<TWHyperlink>(1), 1);
         },
         {},
         {"HlImg-%g-0", "HlImg-%g-1"},
         {"hyperlink%g-0.tiff", "hyperlink%g-1.tiff"},
         {}},
        {"check box",
         [](TWMapBranch &b) { b.setShowCheckBox(true); },
         {},
         {"CheckboxImg-%g"},
         {"checkbox%g.tiff"},
         {"CheckboxUnchecked"}},
        {"priority 0", [](TWMapBranch &b) { b.setPriority(0); }, {}, {}, {}, {}},
        {"priority 5",
         [](TWMapBranch &b) { b.setPriority(5); },
         {},
         {"PriorityImg-%g"},
         {"priority%g.tiff"},
         {"5"}},
        {"completion -1", [](TWMapBranch &b) { b.setPercentageComplete(-1); }, {}, {}, {}, {}},
        {"completion 0",
         [](TWMapBranch &b) { b.setPercentageComplete(0); },
         {},
         {"PercentageCompleteBg-%g", "PercentageCompleteImg-%g"},
         {"percentComplete%g.tiff"},
         {"PercentageCompleteOverlayImage"}},
        {"completion 100",
         [](TWMapBranch &b) { b.setPercentageComplete(100); },
         {},
         {"PercentageCompleteBg-%g", "PercentageCompleteFg-%g", "PercentageCompleteImg-%g"},
         {"percentComplete%g.tiff"},
         {"PercentageCompleteOverlayImage"}},
        {"missing pictures leave their overlays out",
         [this](TWMapBranch &b) {
             addNote(b, "note", std::nullopt);
             b.setShowCheckBox(true);
             b.setPriority(2);
             b.setPercentageComplete(50);
         },
         {"HasTextIndicatorOverlay", "CheckboxUnchecked", "2", "PercentageCompleteOverlayImage"},
         {"PercentageCompleteBg-%g", "PercentageCompleteFg-%g"},
         {},
         {"HasTextIndicatorOverlay", "CheckboxUnchecked", "2", "PercentageCompleteOverlayImage"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto branch = child(root, 100, "b", 500);
        map->branchDisplaySettingsForUpdate().showTextIndicators = true;
        c.setup(*branch);
        settle();
        QStringList asked;
        exporter.setNamedImageProvider([&](const QString &name) {
            asked << name;
            return c.missingImages.contains(name)
                       ? QImage()
                       : KeynoteExportController::builtInNamedImage(name);
        });
        package = KeynotePackage();
        makeSlide(3, 2, 5, 5);
        const QString g = QString::number(branch->enclosedTextArea()->graphicNumber());

        QStringList kinds;
        for (const QString &id : values("sf:graphic-style/@sfa:ID", anon))
            if (id.startsWith("TWGraphicStyle") && !id.startsWith("TWGraphicStyle-"))
                kinds << id.mid(QStringLiteral("TWGraphicStyle").size());
        QStringList expectedKinds = c.kinds;
        expectedKinds.replaceInStrings("%g", g);
        EXPECT_EQ(kinds, expectedKinds);
        QStringList expectedFiles = c.files;
        expectedFiles.replaceInStrings("%g", g);
        expectedFiles.sort();
        EXPECT_EQ(package.fileNames(), expectedFiles);
        EXPECT_EQ(asked, c.namesAsked);

        // The overlays come right after the branch's text box.
        const QStringList ids = shapeIds();
        const int text = int(ids.indexOf("TWShapeInfo-" + g));
        ASSERT_GE(text, 0);
        for (int i = 0; i < expectedKinds.size(); ++i)
            EXPECT_EQ(ids.value(text + 1 + i), "TWShapeInfo" + expectedKinds[i]);
        for (const QString &path : values("//sf:data/@sf:path", anon))
            EXPECT_TRUE(package.contains(path)) << path.toStdString();
        EXPECT_TRUE(presentation->idProblems().isEmpty())
            << presentation->idProblems().join(", ").toStdString();

        root->removeChild(branch);
        exporter.setNamedImageProvider(nullptr);
        exporter.resetIds();
    }
}

TEST_F(KeynoteMapSlide, CompletionPiesAndFlatOverlays)
{
    struct Case
    {
        float percentage;
        int degrees;
    };
    for (const Case &c : QList<Case>{{100, 360}, {12.9f, 46}, {50, 180}, {0.5f, 1}, {0.1f, 0}})
        EXPECT_EQ(KeynoteExportController::completionPieDegrees(c.percentage), c.degrees)
            << c.percentage;

    // A completion the map does not draw sits in an empty rectangle: its
    // height is written as 0.01, its width as it is.
    root->setPercentageComplete(-0.5f);
    settle();
    makeSlide(2, 3);
    const QString g = QString::number(root->enclosedTextArea()->graphicNumber());
    xmlNodePtr disc =
        presentation->nodes("sf:shape[@sfa:ID='TWShapeInfoPercentageCompleteBg-" + g + "']", group)
            .value(0);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(values("sf:geometry/sf:naturalSize/@sfa:h", disc), QStringList{"0.010000"});
    EXPECT_EQ(values("sf:geometry/sf:size/@sfa:h", disc), QStringList{"0.010000"});
    EXPECT_EQ(values("sf:geometry/sf:size/@sfa:w", disc), QStringList{"0.000000"});
    // Version 2 pictures sit directly in the fill.
    const QString fill = "sf:graphic-style[@sfa:ID='TWGraphicStylePercentageCompleteImg-" + g +
                         "']/sf:property-map/sf:fill/sf:textured-fill/";
    EXPECT_EQ(presentation->count(fill + "sf:image/sf:data", anon), 1);
    EXPECT_EQ(presentation->count(fill + "sf:extent", anon), 0);
    EXPECT_EQ(values(fill + "sf:image/sf:size/@sfa:w", anon), QStringList{"16.000000"});
    EXPECT_EQ(values("sf:graphic-style[@sfa:ID='TWGraphicStylePercentageCompleteBg-" + g +
                         "']/sf:property-map/sf:fill/sf:color/@sfa:g",
                     anon),
              QStringList{CFormat::f(float(105 / 255.0))});
}

// --- the package and the export ---

TEST(KeynotePlacement, FitsTheMapIntoTheSlide)
{
    struct Case
    {
        Rect bounds;
        int w, h;
        long long percent;
        float zoom, x, y;
    };
    const QList<Case> cases{
        {Rect(0, 0, 400, 300), 800, 600, 100, 1.97f, 6, 4.5f},
        {Rect(100, 50, 400, 300), 800, 600, 100, 1.97f, 6 - 197, 4.5f - 98.5f},
        {Rect(0, 0, 10, 10), 800, 600, 100, 2.0f, 390, 290},
        {Rect(0, 0, 0, 0), 800, 600, 100, 2.0f, 400, 300},
        {Rect(0, 0, 400, 300), 800, 600, 50, 0.97f, 206, 154.5f},
    };
    for (const Case &c : cases) {
        const auto p = KeynoteExportController::mapPlacement(c.bounds, c.w, c.h, c.percent);
        EXPECT_FLOAT_EQ(p.zoom, c.zoom);
        EXPECT_NEAR(p.xOffset, c.x, 1e-3);
        EXPECT_NEAR(p.yOffset, c.y, 1e-3);
    }
    // No percent or slide mirrors the map or makes it vanish.
    for (long long percent : {0LL, -50LL, 1LL}) {
        const auto p =
            KeynoteExportController::mapPlacement(Rect(0, 0, 400, 300), 800, 600, percent);
        EXPECT_GT(p.zoom, 0) << percent;
        EXPECT_TRUE(std::isfinite(p.xOffset) && std::isfinite(p.yOffset));
    }
}

class KeynoteExport : public KeynoteMapSlide
{
protected:
    QString read(const QString &file) const
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }
    QTemporaryDir folder;
};

TEST_F(KeynoteExport, WritesOnePackagePerMapFromTheChosenTemplate)
{
    struct Case
    {
        int templateIndex;
        int maps;
        QString chosen;
        QStringList written;
    };
    const QList<Case> cases{
        {2, 1, "Talk.key", {"Talk.key"}},
        {0, 3, "Talk.key", {"Talk 1.key", "Talk 2.key", "Talk 3.key"}},
        {3, 2, "My.Map.key", {"My.Map 1.key", "My.Map 2.key"}},
    };
    root->mainGraphic()->setImageFilename("logo.png");
    document->setObjectInCachedData(pngBytes(), "logo.png");
    addNote(*root, "note", std::nullopt);
    child(root, 100, "a", 500)->setPercentageComplete(40);
    settle();

    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen.toStdString() + " " + std::to_string(c.templateIndex));
        QDir(folder.path()).removeRecursively();
        QDir().mkpath(folder.path());
        UserDefaults::standard().setInteger(c.templateIndex, "ExportKeynoteVersionAndSize");
        exporter.exportMaps(QList<std::shared_ptr<TWMap>>(c.maps, map), folder.filePath(c.chosen));
        EXPECT_TRUE(alerts.alerts().isEmpty());
        QStringList packages = QDir(folder.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        EXPECT_EQ(packages, c.written);
        for (const QString &name : c.written) {
            const QString package = folder.filePath(name);
            EXPECT_FALSE(QFile::exists(package + "/index.apxl.gz"));
            Presentation written(read(package + "/index.apxl").toUtf8());
            // Ids restart for every presentation.
            EXPECT_EQ(written.values("//key:slide[1]/@sfa:ID").value(0), "TWSlide-1-0");
            EXPECT_EQ(written.slides().size(), 2);
            EXPECT_TRUE(written.idProblems().isEmpty())
                << written.idProblems().join(", ").toStdString();
            const QStringList files = written.values("//sf:data/@sf:path");
            EXPECT_GE(files.size(), 2);
            for (const QString &file : files)
                EXPECT_TRUE(QFile::exists(package + '/' + file)) << file.toStdString();
        }
    }
}

TEST_F(KeynoteExport, FailuresAlertAndKeepWhatWasThere)
{
    // No template for the setting: the version alert, then the export's own.
    UserDefaults::standard().setInteger(7, "ExportKeynoteVersionAndSize");
    LogCapture log;
    exporter.exportMaps({map}, folder.filePath("Talk.key"));
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(alerts.alerts()[0].title, "Error");
    EXPECT_EQ(alerts.alerts()[0].message, "Incorrect version of Keynote template - Thinkweb will "
                                          "only use Keynote 2 and 3 templates.");
    EXPECT_EQ(alerts.alerts()[1].title, "Error exporting to Keynote");
    EXPECT_EQ(alerts.alerts()[1].message, "Please see the Console for detailed messages");
    EXPECT_TRUE(log.lines().contains("Incorrect version of Keynote template - Thinkweb will only "
                                     "use Keynote 2 & 3 templates."));
    EXPECT_FALSE(QFile::exists(folder.filePath("Talk.key")));

    // A file that cannot be written is reported with the reason; the next
    // one still is written.
    alerts.clear();
    UserDefaults::standard().setInteger(2, "ExportKeynoteVersionAndSize");
    const QString unwritable = folder.filePath("missing/Talk.key");
    exporter.exportMapsToFiles({{map, unwritable}, {map, folder.filePath("Second.key")}});
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].message,
              "Failed to write to file " + unwritable + " (no folder to write " + unwritable +
                  " in).");
    EXPECT_TRUE(QFile::exists(folder.filePath("Second.key/index.apxl")));
    // Several maps into a folder that cannot be written: told once.
    alerts.clear();
    const QString alsoUnwritable = folder.filePath("missing/Other.key");
    exporter.exportMapsToFiles({{map, unwritable}, {map, alsoUnwritable}});
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts()[0].message.startsWith("Failed to write to file " + unwritable))
        << alerts.alerts()[0].message.toStdString();
    EXPECT_TRUE(alerts.alerts()[0].message.endsWith("Not written either: " + alsoUnwritable + "."))
        << alerts.alerts()[0].message.toStdString();

    // Writing over an existing package replaces it whole.
    QFile stale(folder.filePath("Second.key/stale.tiff"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    alerts.clear();
    exporter.exportMapsToFiles({{map, folder.filePath("Second.key")}});
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_FALSE(QFile::exists(folder.filePath("Second.key/stale.tiff")));
    EXPECT_TRUE(QFile::exists(folder.filePath("Second.key/index.apxl")));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Second.key"});
}

TEST_F(KeynoteExport, BrokenTemplatesFailWithTheirLogLine)
{
    struct Case
    {
        QByteArray xml;
        QString line;
    };
    const QByteArray valid = TWKeynoteTemplates::presentationXML(templateOfVersion(3));
    QByteArray noSize = valid;
    noSize.replace("<key:size", "<key:sizeless");
    QByteArray noList = valid;
    noList.replace("key:slide-list", "key:slide-lost");
    QByteArray noLayer = valid;
    noLayer.replace("BGMasterSlideLayer", "Other");
    const QList<Case> cases{
        {"", "Keynote template was empty."},
        {"<not xml", "Failed to parse the keynote file."},
        {noSize, "No presentation size defined in Keynote file"},
        {noLayer, "Could not find bullet master layer info for theme"},
        {noList, "No slide list defined in Keynote file"},
        {"\xff\xfe<a/>", "This is not a valid Keynote file - no contents found"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const QString templateFolder = folder.filePath("T.key");
        QDir(templateFolder).removeRecursively();
        QDir().mkpath(templateFolder);
        QFile out(templateFolder + "/index.apxl");
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.xml);
        out.close();
        auto package = KeynotePackage::fromFolder(templateFolder);
        ASSERT_TRUE(package);
        LogCapture log;
        EXPECT_FALSE(exporter.generateKeynoteFile(templateFolder, *package, 3, *map));
        EXPECT_TRUE(log.lines().contains(c.line)) << log.lines().join('|').toStdString();
        EXPECT_EQ(package->fileNames(), QStringList{"index.apxl"});
        EXPECT_EQ(package->fileData("index.apxl"), c.xml);
    }
    EXPECT_FALSE(KeynotePackage::fromFolder(folder.filePath("none.key")));
}

TEST_F(KeynoteExport, CounterIdsKeepClearOfGraphicNumbers)
{
    addNote(*root, "note", std::nullopt);
    settle();
    const auto [path, version] = KeynoteExportController::templateForSetting(3);
    auto present = [&, path = path, version = version] {
        auto package = KeynotePackage::fromFolder(path);
        EXPECT_TRUE(package && exporter.generateKeynoteFile(path, *package, version, *map));
        return std::make_unique<Presentation>(package->fileData("index.apxl"));
    };
    const auto before = present();
    const QString slide = "/key:presentation/key:slide-list/key:slide[1]";
    const QString style =
        before->values(slide + "//sf:anon-styles/sf:graphic-style[1]/@sfa:ID").value(0);
    const QString notes = before->values(slide + "/key:notes/@sfa:ID").value(0);
    ASSERT_TRUE(style.startsWith("TWGraphicStyle-") && notes.startsWith("TWFrame-"));

    // Graphics numbered as the counter numbered those ids: the counter
    // passes over their numbers.
    root->mainGraphic()->setGraphicNumber(numberInId(style));
    root->enclosedTextArea()->setGraphicNumber(numberInId(notes));
    settle();
    const auto after = present();
    EXPECT_TRUE(after->idProblems().isEmpty()) << after->idProblems().join(", ").toStdString();
    EXPECT_EQ(after->count("//sf:graphic-style[@sfa:ID='" + style + "']"), 1);
    EXPECT_EQ(after->count("//*[@sfa:ID='" + notes + "']"), 1);
}
