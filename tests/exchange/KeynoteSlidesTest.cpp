#include "KeynoteTestSupport.h"
#include "model/PackageArchive.h"
#include "model/TWAttachedText.h"
#include "model/TWAttachedTextCategory.h"
#include "support/FontRegistry.h"
#include "support/Shadow.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

using namespace KeynoteTest;
using TWKeynoteTemplates::Template;

namespace {

const Template &templateOfVersion(int version)
{
    return TWKeynoteTemplates::templates()[version == 2 ? 1 : 3];
}

} // namespace

// --- templates ---

TEST(KeynoteTemplates, ShippedPackagesAreTheGeneratedSkeletons)
{
    // THINKWEB_WRITE_KEYNOTE_TEMPLATES=<repo>/resources regenerates them.
    const QString regenerate = qEnvironmentVariable("THINKWEB_WRITE_KEYNOTE_TEMPLATES");
    for (const Template &entry : TWKeynoteTemplates::templates()) {
        if (regenerate.isEmpty())
            break;
        const QString folder = regenerate + "/KeynoteSupport/" + entry.package;
        QDir().mkpath(folder);
        QFile out(folder + '/' + TWKeynoteTemplates::indexFileName(entry));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(TWKeynoteTemplates::indexFileData(entry));
    }
    for (const Template &entry : TWKeynoteTemplates::templates()) {
        SCOPED_TRACE(entry.package);
        const QString package = TWKeynoteTemplates::packagePath(entry);
        const QStringList files = QDir(package).entryList(QDir::Files);
        EXPECT_EQ(files, QStringList{TWKeynoteTemplates::indexFileName(entry)});
        QFile file(package + '/' + TWKeynoteTemplates::indexFileName(entry));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray data = file.readAll();
        if (entry.compressed) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            const auto inflated = PackageArchive::gunzip(buffer);
            ASSERT_TRUE(inflated);
            data = *inflated;
        }
        EXPECT_EQ(data, TWKeynoteTemplates::presentationXML(entry));
    }
    EXPECT_EQ(TWKeynoteTemplates::templateAt(7), nullptr);
    EXPECT_EQ(TWKeynoteTemplates::templateAt(-1), nullptr);
    EXPECT_STREQ(TWKeynoteTemplates::templateAt(2)->package, "K3BlankWhite800x600.key");
}

TEST(KeynoteTemplates, HoldWhatTheWriterReads)
{
    for (const Template &entry : TWKeynoteTemplates::templates()) {
        SCOPED_TRACE(entry.package);
        Presentation p(entry);
        EXPECT_EQ(p.values("/key:presentation/key:size/@sfa:w"),
                  QStringList{QString::number(entry.width)});
        EXPECT_EQ(p.values("/key:presentation/key:size/@sfa:h"),
                  QStringList{QString::number(entry.height)});
        EXPECT_EQ(p.count("/key:presentation/key:master-order/key:master-slide-ref"), 4);
        for (const QString &id : {p.bulletMaster, p.blankMaster, p.bulletSheet, p.blankSheet,
                                  p.bulletLayer, p.blankLayer})
            EXPECT_FALSE(id.isEmpty());
        ASSERT_NE(p.slideList, nullptr);
        EXPECT_EQ(p.slideList->children, nullptr);
        // The idents slides refer to are defined by every master.
        const QString sheet = Presentation::masterPath(p.bulletMaster) + "/key:stylesheet";
        QStringList idents{"slideStyleID", "titlePlaceholderStyleID", "bodyPlaceholderStyleID",
                           "textboxStyleID", "level5HeadlineParagraphStyleID"};
        idents << (entry.keynoteVersion == 2 ? "level5HeadlineStyleID"
                                             : "bodyPlaceholderLayoutStyleID");
        for (const QString &ident : idents)
            EXPECT_EQ(p.count(sheet + "/sf:styles/*[@sf:ident='" + ident + "']"), 1)
                << ident.toStdString();
        EXPECT_TRUE(p.idProblems().isEmpty()) << p.idProblems().join(", ").toStdString();
    }
}

// --- blank slides ---

TEST_F(KeynoteFixture, BlankSlidesCarryTheirVersionsStyles)
{
    for (int version : {2, 3}) {
        SCOPED_TRACE(version);
        exporter.resetIds();
        Presentation p(templateOfVersion(version));
        xmlNodePtr map = mapSlide(p, version);
        xmlNodePtr text = exporter.createBlank(false, p.bulletMaster, p.bulletLayer, p.bulletSheet,
                                               p.slideList, true, version);
        ASSERT_EQ(p.slides(), (QList<xmlNodePtr>{map, text}));
        EXPECT_EQ(p.values("@sfa:ID", map), QStringList{"TWSlide-1-0"});
        EXPECT_EQ(p.values("key:stylesheet/@sfa:ID", map), QStringList{"TWStylesheet-1-1"});
        EXPECT_EQ(p.values("key:stylesheet/sf:parent-ref/@sfa:IDREF", map),
                  QStringList{p.blankSheet});
        EXPECT_EQ(p.values("key:master-ref/@sfa:IDREF", text), QStringList{p.bulletMaster});
        EXPECT_EQ(p.values(".//sf:proxy-master-layer/sf:layer-ref/@sfa:IDREF", map),
                  QStringList{p.blankLayer});
        EXPECT_EQ(p.count("key:stylesheet/sf:styles/*", map), 13);

        const QString list = "key:stylesheet/sf:styles/sf:liststyle/sf:property-map/";
        const QStringList indents{"0", "36", "72", "108", "144", "180", "216", "252", "288"};
        if (version == 2) {
            EXPECT_EQ(p.values(list + "sf:listLevels/sf:array/sf:list-level/@sf:text-pos", map),
                      indents);
            EXPECT_EQ(p.count(list + "*", map), 1);
        } else {
            EXPECT_EQ(p.values(list + "sf:listTextIndents/sf:array/sf:number/@sfa:number", map),
                      indents);
            EXPECT_EQ(p.values(list + "sf:listLabelIndents/sf:array/sf:number/@sfa:number", map),
                      QStringList(9, "0"));
            EXPECT_EQ(
                p.values(list + "sf:listLabelTypes/sf:array/sf:list-label-typeinfo/@sf:type", map),
                QStringList(9, "none"));
            EXPECT_EQ(p.values(list + "sf:listLabelGeometries/sf:array/"
                                      "sf:list-label-geometry[@sf:align='left'][@sf:scale='1']"
                                      "[@sf:offset='0'][@sf:scale-with-text='true']/@sfa:ID",
                               map)
                          .size(),
                      9);
        }
        const QString anon = "key:stylesheet/sf:anon-styles/";
        EXPECT_EQ(p.count(anon + "sf:headline-style", map), version == 2 ? 6 : 0);
        EXPECT_EQ(
            p.count(anon + "sf:layoutstyle[contains(@sf:parent-ident,'PlaceholderLayout')]", map),
            version == 2 ? 0 : 2);
        EXPECT_EQ(p.count(anon + "sf:paragraphstyle", map), 8);

        // Map slide: no placeholder references; version 3 gets empty frames.
        const QString drawables = "key:page/sf:layers/sf:layer[sf:type/sf:string/@sfa:string="
                                  "'BGSlideForegroundLayer']/sf:drawables/*";
        EXPECT_EQ(p.count(drawables, map), 0);
        EXPECT_EQ(p.count("key:title-placeholder/key:text | key:body-placeholder/key:text", map),
                  version == 2 ? 0 : 2);
        if (version == 3)
            EXPECT_EQ(p.values("key:body-placeholder/key:text//sf:p/@sf:list-level", map),
                      QStringList{"1"});
        // Text slide: both references, no frames from the skeleton.
        QStringList refs;
        for (xmlNodePtr n : p.nodes(drawables, text))
            refs << QString::fromUtf8(reinterpret_cast<const char *>(n->name));
        EXPECT_EQ(refs, (QStringList{"title-placeholder-ref", "body-placeholder-ref"}));
        EXPECT_EQ(p.count(".//key:text", text), 0);
        EXPECT_EQ(p.values("@sfa:ID", text).value(0).left(10), "TWSlide-2-");
        EXPECT_TRUE(p.idProblems().isEmpty()) << p.idProblems().join(", ").toStdString();
    }
}

// --- text slides ---

TEST_F(KeynoteFixture, LongBranchesContinueOnFurtherSlides)
{
    struct Case
    {
        int perPage;
        int descendants;
        QList<int> bullets; // per text slide
    };
    const Case cases[] = {
        {10, 25, {10, 10, 5}}, {10, 20, {10, 10}},
        {10, 0, {0}},          {0, 3, {1, 1, 1}}, // below 1 counts as 1
        {-4, 2, {1, 1}},
    };
    for (int version : {2, 3}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(QString("v%1 P=%2 n=%3")
                             .arg(version)
                             .arg(c.perPage)
                             .arg(c.descendants)
                             .toStdString());
            exporter.resetIds();
            auto topic = child(root, 0, "Topic");
            // Half the descendants one level deeper.
            const int first = (c.descendants + 1) / 2;
            addChildren(topic, first, "Point");
            if (c.descendants > first)
                addChildren(topic->children().first(), c.descendants - first, "Sub");
            addNote(*topic, "topic note", std::nullopt);
            defaults.setInteger(c.perPage, "ExportKeynoteSubBranchesPerPage");

            Presentation p(templateOfVersion(version));
            mapSlide(p, version);
            ASSERT_TRUE(textSlides(p, version));
            const QList<xmlNodePtr> slides = p.slides().mid(1);
            ASSERT_EQ(slides.size(), c.bullets.size());
            for (int i = 0; i < slides.size(); ++i) {
                const int bullets =
                    version == 2 ? p.count("key:bullets/key:headline[@key:depth!='0']", slides[i])
                                 : p.count("key:body-placeholder/key:text//sf:p", slides[i]);
                EXPECT_EQ(bullets, c.bullets[i]) << "slide " << i;
                const QString title = version == 2
                                          ? "key:bullets/key:headline[@key:depth='0']/key:text"
                                          : "key:title-placeholder/key:text";
                EXPECT_EQ(p.values(title + "//sf:span", slides[i]), QStringList{"Topic"});
                const QString notes = p.values("key:notes//sf:p", slides[i]).join("");
                EXPECT_EQ(notes.contains("topic note"), i == 0) << notes.toStdString();
                EXPECT_EQ(p.values("key:notes/sf:text-storage/@sf:kind", slides[i]),
                          QStringList{"note"});
            }
            EXPECT_TRUE(p.idProblems().isEmpty()) << p.idProblems().join(", ").toStdString();
            root->removeChild(topic);
        }
    }
}

TEST_F(KeynoteFixture, SlidesKeepTheirElementOrderUnderAnyNamespaceURIs)
{
    struct Case
    {
        int version;
        QStringList tail; // the text slide's last children
    };
    const Case cases[] = {
        {2, {"build-chunks", "bullets", "notes", "dummy_body_headline"}},
        {3, {"sticky-notes", "build-chunks", "notes"}},
    };
    auto topic = child(root, 0, "Topic");
    addChildren(topic, 3, "Point");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        exporter.resetIds();
        // The writer takes namespaces by prefix: other URIs work the same.
        QByteArray xml = TWKeynoteTemplates::presentationXML(templateOfVersion(c.version));
        xml.replace("http://developer.apple.com/namespaces/", "urn:elsewhere:");
        Presentation p(xml);
        ASSERT_FALSE(p.bulletSheet.isEmpty());
        mapSlide(p, c.version);
        ASSERT_TRUE(textSlides(p, c.version));
        ASSERT_EQ(p.slides().size(), 2);
        QStringList names;
        for (xmlNodePtr n = p.slides()[1]->children; n; n = n->next)
            names << QString::fromUtf8(reinterpret_cast<const char *>(n->name));
        EXPECT_EQ(names.mid(0, 8), (QStringList{"stylesheet", "style-ref", "title-placeholder",
                                                "body-placeholder", "object-placeholder",
                                                "slide-number-placeholder", "page", "thumbnails"}));
        EXPECT_EQ(names.mid(names.size() - c.tail.size()), c.tail);
        EXPECT_EQ(p.values("key:page/sf:layers/sf:layer/sf:guides/@sfa:ID", p.slides()[1]).size(),
                  2);
        EXPECT_TRUE(p.idProblems().isEmpty()) << p.idProblems().join(", ").toStdString();
    }
}

TEST_F(KeynoteFixture, HiddenBranchesFollowTheSetting)
{
    auto shown = child(root, 0, "Shown");
    child(root, 50, "Other");
    addChildren(shown, 2, "Point");
    addChildren(shown->children().first(), 2, "Hidden");
    shown->children().first()->setChildrenHidden(true);

    struct Case
    {
        bool includeHidden;
        bool rootCollapsed; // every first-level branch hidden
        QStringList titles;
        int firstSlideBullets;
    };
    const Case cases[] = {
        {true, false, {"Shown", "Other"}, 4},
        {false, false, {"Shown", "Other"}, 2},
        {false, true, {}, 0},
        {true, true, {"Shown", "Other"}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString("include %1 collapsed %2")
                         .arg(c.includeHidden)
                         .arg(c.rootCollapsed)
                         .toStdString());
        exporter.resetIds();
        defaults.setBool(c.includeHidden, "ExportKeynoteIncludeHiddenBranchText");
        root->setChildrenHidden(c.rootCollapsed);
        Presentation p(templateOfVersion(3));
        ASSERT_TRUE(textSlides(p, 3));
        QStringList titles;
        for (xmlNodePtr slide : p.slides())
            titles << p.values("key:title-placeholder/key:text//sf:span", slide).join("");
        EXPECT_EQ(titles, c.titles);
        if (!titles.isEmpty())
            EXPECT_EQ(p.count("key:body-placeholder/key:text//sf:p", p.slides().value(0)),
                      c.firstSlideBullets);
    }
}

TEST_F(KeynoteFixture, DeepBulletsUseTheDeepestStyleTheSlideHas)
{
    auto branch = child(root, 0, "Top");
    for (int level = 2; level <= 7; ++level)
        branch = child(branch, 0, QString("L%1").arg(level));
    for (int version : {2, 3}) {
        SCOPED_TRACE(version);
        exporter.resetIds();
        Presentation p(templateOfVersion(version));
        ASSERT_TRUE(textSlides(p, version));
        xmlNodePtr slide = p.slides().value(0);
        const QString level5 =
            p.values("key:stylesheet/sf:anon-styles/sf:paragraphstyle"
                     "[@sf:parent-ident='level5HeadlineParagraphStyleID']/@sfa:ID",
                     slide)
                .value(0);
        if (version == 2) {
            EXPECT_EQ(p.values("key:bullets/key:headline/@key:depth", slide),
                      (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
            EXPECT_EQ(p.values("key:bullets/key:headline[@key:depth='6']//sf:p/@sf:style", slide),
                      QStringList{level5});
        } else {
            EXPECT_EQ(p.values("key:body-placeholder//sf:p/@sf:list-level", slide),
                      (QStringList{"1", "2", "3", "4", "5", "5"}));
            EXPECT_EQ(p.values("key:body-placeholder//sf:p[last()]/@sf:style", slide),
                      QStringList{level5});
            // Each bullet ends with its line break and an empty span.
            EXPECT_EQ(p.count("key:body-placeholder//sf:p[1]/sf:span[1]/sf:br", slide), 1);
            EXPECT_EQ(p.values("key:body-placeholder//sf:p[1]/sf:span", slide),
                      (QStringList{"L2", ""}));
        }
        EXPECT_TRUE(p.idProblems().isEmpty()) << p.idProblems().join(", ").toStdString();
    }
}

TEST_F(KeynoteFixture, NotesCarryTheirCategory)
{
    document->insertObjectInAttachedTextCategoriesAtIndex(
        std::make_shared<TWAttachedTextCategory>(QString("N"), QString("Speaker notes"),
                                                 Color::colorWithCalibratedRed(1, 0, 0)),
        0);
    auto topic = child(root, 0, "Topic");
    addNote(*topic, "known", QString("N"));
    addNote(*topic, "", QString("N")); // empty: left out
    addNote(*topic, "stray", QString("X"));
    Presentation p(templateOfVersion(2));
    ASSERT_TRUE(textSlides(p, 2));
    xmlNodePtr slide = p.slides().value(0);
    const QString notes = p.values("key:notes//sf:p", slide).join("");
    EXPECT_EQ(notes, "Topic" + QString(QChar(0x2219)) + "Speaker notesknownTopicstray");
    // The bullet is red: its span's style has the category's colour.
    const QString bulletStyle =
        p.values("key:notes//sf:span[starts-with(., '" + QString(QChar(0x2219)) + "')]/@sf:style",
                 slide)
            .value(0);
    EXPECT_EQ(p.values("key:stylesheet/sf:anon-styles/sf:characterstyle[@sfa:ID='" + bulletStyle +
                           "']//sf:fontColor/sf:color/@sfa:r",
                       slide),
              QStringList{"1.000000"});
    EXPECT_EQ(p.values("key:dummy_body_headline//sf:p/@sf:style", slide),
              p.values("key:notes//sf:p/@sf:style", slide));
}

// --- character styles and spans ---

namespace {

// The installed face with exactly these traits (bold and italic bits).
QString installedFaceWith(FontRegistry::Traits wanted)
{
    const FontRegistry &registry = FontRegistry::shared();
    for (const QString &name : registry.availableFonts())
        if ((registry.traits(name) & (FontRegistry::BoldTrait | FontRegistry::ItalicTrait)) ==
            wanted)
            return name;
    return {};
}

} // namespace

TEST_F(KeynoteFixture, CharacterStylesFollowTheRunsAttributes)
{
    const QString bold = installedFaceWith(FontRegistry::BoldTrait);
    const QString italic = installedFaceWith(FontRegistry::ItalicTrait);
    ASSERT_FALSE(bold.isEmpty());
    ASSERT_FALSE(italic.isEmpty());
    struct Case
    {
        const char *name;
        TextAttributes attributes;
        float multiplier;
        QStringList properties; // "element=value" of the property map, in order
    };
    const QString calibrated = "sfa:calibrated-rgb-color-type";
    const QString device = "sfa:device-rgb-color-type";
    const Case cases[] = {
        {"no font", {}, 4, {"fontName=Helvetica", "fontSize=48.000000", "fontColor=" + device}},
        {"bold",
         {{NSFontAttributeName, QVariant::fromValue(Font(bold, 10))}},
         1.5f,
         {"fontName=" + bold, "fontSize=15.000000", "bold=1", "fontColor=" + device}},
        {"italic",
         {{NSFontAttributeName, QVariant::fromValue(Font(italic, 9))}},
         1,
         {"fontName=" + italic, "fontSize=9.000000", "italic=1", "fontColor=" + device}},
        {"calibrated colour",
         {{NSForegroundColorAttributeName,
           QVariant::fromValue(Color::colorWithCalibratedRed(0.5, 0.25, 1))}},
         1,
         {"fontName=Helvetica", "fontSize=12.000000", "fontColor=" + calibrated}},
        {"numbers",
         {{NSBaselineOffsetAttributeName, 2.5},
          {NSSuperscriptAttributeName, -1},
          {NSKernAttributeName, 0.75},
          {NSUnderlineStyleAttributeName, 9},
          {NSLigatureAttributeName, 0},
          {NSStrikethroughStyleAttributeName, 1}},
         1,
         {"fontName=Helvetica", "fontSize=12.000000", "fontColor=" + device,
          "baselineShift=2.500000", "superscript=-1", "tracking=0.750000", "underline=9",
          "ligatures=0", "strikethru=1"}},
        {"neutral numbers",
         {{NSBaselineOffsetAttributeName, 0},
          {NSUnderlineStyleAttributeName, 0},
          {NSLigatureAttributeName, 1}},
         1,
         {"fontName=Helvetica", "fontSize=12.000000", "fontColor=" + device}},
        {"shadow",
         {{NSShadowAttributeName,
           QVariant::fromValue(Shadow(Size(3, -4), 2, Color::colorWithDeviceRed(0, 0, 0, 0.5)))}},
         2,
         {"fontName=Helvetica", "fontSize=24.000000", "fontColor=" + device,
          "textShadow=53.130104 10.000000 4.000000 0.500000 " + device}},
        {"shadow without colour",
         {{NSShadowAttributeName, QVariant::fromValue(Shadow(Size(3, -4), 2, std::nullopt))}},
         1,
         {"fontName=Helvetica", "fontSize=12.000000", "fontColor=" + device}},
    };
    Presentation p(templateOfVersion(3));
    xmlNodePtr slide = mapSlide(p, 3);
    xmlNodePtr anon = p.nodes("key:stylesheet/sf:anon-styles", slide).value(0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString id =
            KeynoteExportController::populateAnonStyles(anon, c.attributes, c.multiplier);
        const QList<xmlNodePtr> styles = p.nodes("sf:characterstyle[@sfa:ID='" + id + "']", anon);
        ASSERT_EQ(styles.size(), 1);
        EXPECT_EQ(p.values("@sf:parent-ident", styles[0]), QStringList{"character-style-null"});
        QStringList properties;
        for (xmlNodePtr property : p.nodes("sf:property-map/*", styles[0])) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char *>(property->name));
            QString value;
            if (name == "fontName")
                value = p.values("sf:string/@sfa:string", property).join("");
            else if (name == "fontColor")
                value = p.values("sf:color/@xsi:type", property).join("");
            else if (name == "textShadow")
                value = p.values("sf:shadow/@sf:angle | sf:shadow/@sf:offset | sf:shadow/@sf:radius"
                                 " | sf:shadow/@sf:opacity | sf:shadow/sf:color/@xsi:type",
                                 property)
                            .join(" ");
            else
                value = p.values("sf:number/@sfa:number", property).join("");
            properties << name + "=" + value;
        }
        EXPECT_EQ(properties, c.properties);
    }
    // Colours keep their components; grey becomes device RGB.
    const QString grey = KeynoteExportController::populateAnonStyles(
        anon,
        {{NSForegroundColorAttributeName,
          QVariant::fromValue(Color::colorWithCalibratedWhite(0.25, 0.5))}},
        1);
    EXPECT_EQ(
        p.values("sf:characterstyle[@sfa:ID='" + grey + "']//sf:color/@*", anon),
        (QStringList{"sfa:device-rgb-color-type", "0.250000", "0.250000", "0.250000", "0.500000"}));
}

TEST_F(KeynoteFixture, TextBecomesSpansWithTabsAndBreaks)
{
    struct Case
    {
        const char *name;
        AttributedString text;
        QStringList spans; // text of each span, "<tab>" and "<br>" for its empty children
    };
    AttributedString twoRuns("ab");
    twoRuns.addAttribute(NSUnderlineStyleAttributeName, 1, {1, 1});
    const Case cases[] = {
        {"empty", AttributedString(), {}},
        {"plain", AttributedString("word"), {"word"}},
        {"tab", AttributedString("a\tb"), {"a<tab>", "b"}},
        {"break", AttributedString("a\nb"), {"a<br>", "b"}},
        {"trailing break", AttributedString("a\n"), {"a<br>", ""}},
        {"both", AttributedString("a\tb\nc"), {"a<tab>", "b<br>", "c"}},
        {"two runs", twoRuns, {"a", "b"}},
        {"markup", AttributedString("<&>"), {"<&>"}},
    };
    Presentation p(templateOfVersion(2));
    xmlNodePtr slide = mapSlide(p, 2);
    xmlNodePtr anon = p.nodes("key:stylesheet/sf:anon-styles", slide).value(0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        xmlNodePtr paragraph = xmlNewChild(slide, nullptr, BAD_CAST "p", nullptr);
        const int stylesBefore = p.count("sf:characterstyle", anon);
        KeynoteExportController::insertAttributedString(c.text, paragraph, anon, 1);
        QStringList spans;
        QSet<QString> styles;
        for (xmlNodePtr span : p.nodes("sf:span", paragraph)) {
            QString text = p.values(".", span).join("");
            for (xmlNodePtr inner : p.nodes("*", span))
                text += "<" + QString::fromUtf8(reinterpret_cast<const char *>(inner->name)) + ">";
            spans << text;
            styles.insert(p.values("@sf:style", span).join(""));
        }
        EXPECT_EQ(spans, c.spans);
        EXPECT_EQ(p.count("sf:characterstyle", anon) - stylesBefore, c.text.runCount());
        for (const QString &style : styles)
            EXPECT_EQ(p.count("sf:characterstyle[@sfa:ID='" + style + "']", anon), 1);
    }
}

// --- finders and ids ---

TEST_F(KeynoteFixture, FindersLogWhatTheyMiss)
{
    Presentation p(templateOfVersion(3));
    xmlNodePtr slide = mapSlide(p, 3);
    xmlNodePtr anon = p.nodes("key:stylesheet/sf:anon-styles", slide).value(0);
    // An element declaring a prefix of its own below the slide.
    xmlNodePtr foreign = xmlNewChild(anon, nullptr, BAD_CAST "paragraphstyle", nullptr);
    xmlSetNs(foreign, xmlNewNs(foreign, BAD_CAST "urn:other", BAD_CAST "zz"));
    xmlSetNsProp(foreign, foreign->nsDef, BAD_CAST "mark", BAD_CAST "here");

    struct Case
    {
        const char *name;
        std::function<QString()> find;
        QString result;
        QStringList log;
    };
    using K = KeynoteExportController;
    const Case cases[] = {
        {"first of a type, no attribute",
         [&] {
             return K::findValueOfPropertyNamed("ID", "sfa", slide, "sf:paragraphstyle", {}, "sf",
                                                {});
         },
         "TWParagraphStyle-1-4",
         {}},
        {"by parent ident",
         [&] {
             return K::findValueOfPropertyNamed("ID", "sfa", slide, "sf:paragraphstyle",
                                                "parent-ident", "sf", "textboxParagraphStyleID");
         },
         p.values(".//sf:anon-styles/sf:paragraphstyle[@sf:parent-ident="
                  "'textboxParagraphStyleID']/@sfa:ID",
                  slide)
             .value(0),
         {}},
        {"missing value",
         [&] {
             return K::findValueOfPropertyNamed("ID", "sfa", slide, "sf:paragraphstyle",
                                                "parent-ident", "sf", "nope");
         },
         "",
         {"Failed to find node matching type sf:paragraphstyle where sf:parent-ident = nope",
          "Failed to find node of type sf:paragraphstyle where sf:parent-ident = nope"}},
        {"prefix out of scope at the first match",
         [&] {
             xmlNodePtr n = K::findNodeFromNode(slide, "sf:paragraphstyle", "mark", "zz", "here");
             return n ? QString("found") : QString("none");
         },
         "none",
         {"Failed to find namespace zz for search matching type sf:paragraphstyle where "
          "zz:mark = here"}},
        {"property prefix not on the root",
         [&] {
             return K::findValueOfPropertyNamed("mark", "zz", slide, "sf:anon-styles", {}, "sf",
                                                {});
         },
         "",
         {"Failed to find namespace zz in returned node matching type sf:anon-styles where "
          "sf:(null) = (null)"}},
        {"property missing",
         [&] {
             return K::findValueOfPropertyNamed("IDREF", "sfa", slide, "sf:anon-styles", {}, "sf",
                                                {});
         },
         "",
         {"Failed to find sfa:IDREF in returned node matching type sf:anon-styles where "
          "sf:(null) = (null)"}},
        {"no element of the type",
         [&] {
             xmlNodePtr n = K::findNodeFromNode(slide, "key:nothing", {}, "sf", {});
             return n ? QString("found") : QString("none");
         },
         "none",
         {"Failed to find node matching type key:nothing where sf:(null) = (null)"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        EXPECT_EQ(c.find(), c.result);
        EXPECT_EQ(log.lines(), c.log);
    }
}

TEST_F(KeynoteFixture, IdsRestartPerPresentationAndKeepWholeNumbers)
{
    for (int round = 0; round < 2; ++round) {
        exporter.resetIds();
        Presentation p(templateOfVersion(2));
        EXPECT_EQ(p.values("@sfa:ID", mapSlide(p, 2)), QStringList{"TWSlide-1-0"});
    }
    EXPECT_EQ(KeynoteExportController::makeId("ShapeInfo", 0x123456789ALL),
              "TWShapeInfo-78187493530");
    EXPECT_EQ(KeynoteExportController::makeId("Fill", -5, 4294967296LL), "TWFill--5-4294967296");
    exporter.resetIds();
    EXPECT_EQ(KeynoteExportController::takeCounter(), 0u);
    EXPECT_EQ(KeynoteExportController::takeCounter(), 1u);
    EXPECT_EQ(KeynoteExportController::counter(), 2u);
}

TEST_F(KeynoteFixture, SlidesMissingTheirStylesFailWithTheirLogLine)
{
    auto topic = child(root, 0, "Topic");
    child(topic, 0, "Point");
    struct Case
    {
        int version;
        const char *remove; // below the slide, before it is filled
        QString log;
    };
    const Case cases[] = {
        {2, ".//sf:anon-styles", "Could not find anonymous styles"},
        {3, ".//sf:anon-styles", "Could not find anonymous styles"},
        {2, ".//sf:headline-style[starts-with(@sf:parent-ident, 'level')]",
         "Error finding formatting information for bullets at level 1"},
        {2, ".//sf:paragraphstyle[starts-with(@sf:parent-ident, 'level')]",
         "Error finding paragraph formatting information for bullets at level 1"},
        {3, ".//sf:paragraphstyle[starts-with(@sf:parent-ident, 'level')]",
         "Error finding formatting information for bullets at level 1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.remove);
        exporter.resetIds();
        Presentation p(templateOfVersion(c.version));
        xmlNodePtr slide = exporter.createBlank(false, p.bulletMaster, p.bulletLayer, p.bulletSheet,
                                                p.slideList, true, c.version);
        for (xmlNodePtr node : p.nodes(c.remove, slide)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        LogCapture log;
        EXPECT_FALSE(exporter.addSlideText(slide, p.slideList, *topic, 0, p.bulletMaster,
                                           p.bulletLayer, p.bulletSheet, c.version));
        EXPECT_EQ(log.lines().value(log.lines().size() - 1), c.log);
        EXPECT_EQ(p.slides().size(), 1);
    }
}
