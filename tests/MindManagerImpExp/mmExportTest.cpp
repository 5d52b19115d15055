#include "MindManagerImpExp/mmExport.h"
#include "MMImportTestSupport.h"
#include "MindManagerImpExp/mmTables.h"
#include "graphics/TWCircle.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "support/Base64.h"

#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWPerson.h"
#include "model/TWTrackedChange.h"
#include <QBuffer>
#include <QImage>

#include <QRegularExpression>

namespace {

using MMImportTest::ImportFixture;

std::string BranchName(const TWMapBranch &branch)
{
    return branch.enclosedTextArea()->text().string().toStdString();
}

// One branch as the round trip compares it.
QString describe(const TWMapBranch &branch)
{
    QStringList parts;
    const auto &area = branch.enclosedTextArea();
    parts << (area ? area->text().string() : QString());
    const auto &main = branch.mainGraphic();
    parts << main->className() +
                 QString::number(main->className() == u"TWRectangle" ? main->cornerMode() : 0);
    // The fill shown, the shape's own or the map's; unfilled shapes come
    // back with the map's default fill.
    const std::optional<Color> shown = main->inheritedFillColor();
    if (main->drawsFill() && main->className() != u"TWLine" &&
        mmConverter::stringFromColor(shown) != u"ffffffff")
        parts << QStringLiteral("fill %1").arg(mmConverter::stringFromColor(shown).value_or(""));
    if (!branch.attachedTextArray().isEmpty())
        parts << QStringLiteral("note %1").arg(
            branch.attachedTextArray().first()->text()->string().trimmed());
    if (branch.priority() > 0)
        parts << QStringLiteral("prio %1").arg(branch.priority());
    if (branch.hasCompletion())
        parts << QStringLiteral("done %1").arg(branch.percentageComplete());
    if (branch.duration() > 0)
        parts << QStringLiteral("takes %1/%2").arg(branch.duration()).arg(branch.durationUnits());
    if (branch.hasBoundary())
        parts << QStringLiteral("boundary");
    if (branch.childrenHidden())
        parts << QStringLiteral("collapsed");
    for (const auto &change : branch.trackedChanges())
        parts << QStringLiteral("comment %1 <%2> %3 %4")
                     .arg(change->byWhom()->firstName().value_or(""),
                          change->byWhom()->email().value_or(""),
                          change->date()->instant().toString(Qt::ISODate),
                          change->comment()->string());
    QStringList children;
    for (const auto &child : branch.children())
        children << describe(*child);
    QString text = parts.join(u' ');
    if (!children.isEmpty())
        text += QStringLiteral(" {%1}").arg(children.join(QStringLiteral(", ")));
    return text;
}

class MindManagerExport : public ImportFixture
{
public:
    MindManagerExport()
    {
        source = TWMapsDoc::create();
        source->setUndoManager(sourceUndo);
        sourceMap = TWMap::create(source.get());
        source->addMap(sourceMap, true);
        sourceMap->setLayoutServices(std::make_shared<TWMapLayout>());
        sourceRoot = add<TWRectangle>(nullptr, Rect(300, 200, 120, 40), "Plan");
        sourceMap->setRoot(sourceRoot);
    }
    ~MindManagerExport() override { source->detach(); }

    template <typename G>
    std::shared_ptr<TWMapBranch> add(TWMapBranch *parent, Rect bounds, const QString &text)
    {
        auto branch =
            TWMapBranch::createWithGraphic(TWGraphic::make<G>(bounds), parent, sourceMap.get());
        branch->enclosedTextArea()->setString(text);
        return branch;
    }
    void addNote(TWMapBranch &branch, const QString &text)
    {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
        attached->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(attached, branch.countOfAttachedTextArray());
    }
    QString exported()
    {
        return QString::fromUtf8(
            mmExport::xmlDataForMap(*sourceMap, QDateTime(QDate(2009, 3, 3), QTime(14, 5))));
    }

    std::shared_ptr<UndoManager> sourceUndo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> source;
    std::shared_ptr<TWMap> sourceMap;
    std::shared_ptr<TWMapBranch> sourceRoot;
};

TEST_F(MindManagerExport, MapElementOrderOffsetsAndRelationships)
{
    auto left = add<TWRectangle>(sourceRoot.get(), Rect(100, 100, 80, 30), "Left");
    auto right = add<TWRectangle>(sourceRoot.get(), Rect(500, 300, 80, 30), "Right");
    add<TWLine>(right.get(), Rect(700, 300, 80, 30), "Deep");
    QString xml = exported();
    ASSERT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ap:Map OId=\""))
        << xml.left(200).toStdString();
    // The map's own children in their class's order, without relationships
    // when there are no link lines.
    QStringList order;
    for (const char *name :
         {"<ap:OneTopic", "<ap:Relationships", "<ap:StyleGroup", "<ap:DocumentGroup"})
        if (xml.contains(QLatin1String(name)))
            order << QLatin1String(name);
    EXPECT_EQ(order, QStringList({"<ap:OneTopic", "<ap:StyleGroup", "<ap:DocumentGroup"}));
    // Only first-level topics carry an offset: three topics, two offsets.
    EXPECT_EQ(xml.count("<ap:Offset "), 2);
    // Left of the centre a topic is measured from its right edge, less the
    // reserved widths; right of it from its left edge.
    const Rect r = sourceRoot->branchBounds();
    const double rx = r.origin.x + r.size.width / 2, ry = r.origin.y + r.size.height / 2;
    const struct
    {
        std::shared_ptr<TWMapBranch> branch;
        double cx;
    } offsets[] = {
        {left, left->branchBounds().origin.x + left->branchBounds().size.width - rx -
                   left->totalWidthToAllowForOtherEnclosedGraphics() -
                   left->totalWidthForSuffixImages()},
        {right, right->branchBounds().origin.x - rx},
    };
    for (const auto &o : offsets) {
        const Rect b = o.branch->branchBounds();
        EXPECT_TRUE(
            xml.contains(QStringLiteral("<ap:Offset CX=\"%1\" CY=\"%2\"")
                             .arg(MMXMLBaseObject::floatToString(float(o.cx * 25.4 / 72)),
                                  MMXMLBaseObject::floatToString(
                                      float((ry - (b.origin.y + b.size.height / 2)) * 25.4 / 72)))))
            << BranchName(*o.branch);
    }
    EXPECT_FALSE(xml.contains("<ap:Relationships"));

    auto line = TWGraphic::make<TWLinkLine>();
    line->setDrawsStroke(true);
    line->setBranch(left.get());
    sourceMap->insertObjectInLinkLinesAtIndex(line, 0);
    line->connect(left->mainGraphic(), right->mainGraphic());
    line->setStartArrowStyle(1);
    line->setStartFilled(false);
    line->setEndArrowStyle(4);
    line->setStrokeStyle(8);
    xml = exported();
    ASSERT_EQ(xml.count("<ap:Relationship "), 1) << xml.toStdString();
    const QString relationship = xml.mid(xml.indexOf("<ap:Relationship "));
    const qsizetype open = relationship.indexOf("urn:mindjet:OpenArrow");
    const qsizetype diamond = relationship.indexOf("urn:mindjet:DiamondArrow");
    EXPECT_TRUE(open > 0 && diamond > open);
    EXPECT_TRUE(relationship.contains("<ap:Color "));
    EXPECT_FALSE(
        relationship.left(relationship.indexOf("</ap:Relationship>")).contains("<ap:LineStyle"));
    // Each end names the topic of its branch.
    static const QRegularExpression refs("OIdRef=\"([^\"]+)\"");
    QStringList ids;
    for (const auto &m : refs.globalMatch(relationship))
        ids << m.captured(1);
    ASSERT_EQ(ids.size(), 2);
    EXPECT_TRUE(xml.contains(QStringLiteral("<ap:Topic OId=\"%1\"").arg(ids[0])));
    EXPECT_TRUE(xml.contains(QStringLiteral("<ap:Topic OId=\"%1\"").arg(ids[1])));
    EXPECT_NE(ids[0], ids[1]);
}

TEST_F(MindManagerExport, TasksAreWrittenWhenAnyFieldIsSet)
{
    auto branch = add<TWRectangle>(sourceRoot.get(), Rect(500, 300, 80, 30), "Task");
    const struct
    {
        const char *what;
        std::function<void(TWMapBranch &)> set;
        const char *task; // the ap:Task element's attributes, or null for none
    } cases[] = {
        {"nothing", [](TWMapBranch &) {}, nullptr},
        {"priority only", [](TWMapBranch &b) { b.setPriority(3); },
         "TaskPriority=\"urn:mindjet:Prio3\""},
        {"priority out of range", [](TWMapBranch &b) { b.setPriority(10); }, nullptr},
        {"completion only", [](TWMapBranch &b) { b.setPercentageComplete(50); },
         "TaskPercentage=\"50\""},
        {"two days",
         [](TWMapBranch &b) {
             b.setDuration(2);
             b.setDurationUnits(3);
         },
         "DurationHours=\"48\" DurationUnit=\"urn:mindjet:Day\""},
        {"ninety minutes",
         [](TWMapBranch &b) {
             b.setDuration(90);
             b.setDurationUnits(1);
         },
         "DurationHours=\"1\" DurationUnit=\"urn:mindjet:Hour\""},
    };
    for (const auto &c : cases) {
        branch->setPriority(0);
        branch->setPercentageComplete(-1);
        branch->setDuration(0);
        c.set(*branch);
        const QString xml = exported();
        static const QRegularExpression task("<ap:Task ?([^/>]*)/?>");
        const QRegularExpressionMatch m = task.match(xml);
        if (!c.task) {
            EXPECT_FALSE(m.hasMatch()) << c.what;
            continue;
        }
        ASSERT_TRUE(m.hasMatch()) << c.what;
        EXPECT_EQ(m.captured(1).trimmed(), QString::fromUtf8(c.task)) << c.what;
        EXPECT_FALSE(xml.contains("TaskPercentage=\"-1\"")) << c.what;
    }
}

TEST_F(MindManagerExport, StyleGroupFollowsTheMapSettings)
{
    const struct
    {
        int assistance;
        bool limit;
        const char *autoLayout; // null: not written
        const char *width;
    } cases[] = {
        {0, false, nullptr, "500.000000"},
        {1, false, "false", "500.000000"},
        {2, true, "true", "42.333332"},
        {3, true, "true", "42.333332"},
    };
    for (const auto &c : cases) {
        auto settings = sourceMap->branchDisplaySettings();
        settings.layoutAssistanceMode = c.assistance;
        settings.textMaxWidthSet = c.limit;
        settings.textMaxWidth = 120;
        sourceMap->branchDisplaySettingsForUpdate() = settings;
        const QString xml = exported();
        const QString structure = xml.mid(xml.indexOf("<ap:Structure"), 300);
        if (c.autoLayout)
            EXPECT_TRUE(
                structure.contains(QStringLiteral("UseAutoLayout=\"%1\"").arg(c.autoLayout)))
                << structure.toStdString();
        EXPECT_TRUE(xml.contains(QStringLiteral("<ap:DefaultTopicLayout")));
        const QString layout = xml.mid(xml.indexOf("<ap:DefaultTopicLayout"), 300);
        EXPECT_TRUE(layout.contains(QStringLiteral("Width=\"%1\"").arg(c.width)))
            << layout.toStdString();
    }
    EXPECT_FALSE(exported().contains("BackgroundImageData"));

    // A background picture goes with its transparency; a missing one is
    // left out.
    QImage pixels(2, 2, QImage::Format_ARGB32);
    pixels.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixels.save(&buffer, "PNG");
    source->setObjectInCachedData(png, QStringLiteral("Images/back.png"));
    const struct
    {
        const char *file;
        float opacity;
        const char *transparency; // null: no background picture
    } backgrounds[] = {{"Images/back.png", 0.75f, "25"},
                       {"Images/back.png", 1.0f, "0"},
                       {"Images/gone.png", 0.5f, nullptr}};
    for (const auto &b : backgrounds) {
        sourceMap->setBackgroundImageFilename(QString::fromUtf8(b.file));
        sourceMap->setBackgroundImageOpacity(b.opacity);
        const QString xml = exported();
        static const QRegularExpression picture(
            "<ap:BackgroundImageData [^>]*ImageType=\"urn:mindjet:PngImage\"[^>]*"
            "Transparency=\"(\\d+)\"");
        const QRegularExpressionMatch m = picture.match(xml);
        EXPECT_EQ(m.hasMatch(), b.transparency != nullptr) << b.file;
        if (b.transparency)
            EXPECT_EQ(m.captured(1), QString::fromUtf8(b.transparency));
    }
}

// The map's link lines as the round trip compares them.
QString describeLinks(const TWMap &map)
{
    QStringList lines;
    for (const auto &line : map.linkLines()) {
        auto name = [](const std::shared_ptr<TWGraphic> &g) {
            return g && g->branch() ? g->branch()->enclosedTextArea()->text().string()
                                    : QStringLiteral("?");
        };
        lines << QStringLiteral("%1 %2%3 -> %4 %5%6")
                     .arg(name(line->startGraphic()))
                     .arg(line->startArrowStyle())
                     .arg(line->startFilled() ? "f" : "")
                     .arg(name(line->endGraphic()))
                     .arg(line->endArrowStyle())
                     .arg(line->endFilled() ? "f" : "");
    }
    return lines.join(u'\n');
}

// Which characters of the label are underlined.
QString underlined(const TWMapBranch &branch)
{
    const AttributedString &text = branch.enclosedTextArea()->text();
    QString marks;
    for (qsizetype i = 0; i < text.length(); ++i)
        marks +=
            text.attributesAtIndex(i).value(NSUnderlineStyleAttributeName).toInt() ? u'_' : u'.';
    return marks;
}

TEST_F(MindManagerExport, ExportThenImportGivesTheSameMap)
{
    const struct
    {
        const char *what;
        std::function<void(MindManagerExport &)> build;
    } maps[] = {
        {"shapes, colours, notes, tasks, boundaries",
         [](MindManagerExport &t) {
             auto a =
                 t.add<TWRectangle>(t.sourceRoot.get(), Rect(100, 100, 80, 30), "Alpha & <beta>");
             a->mainGraphic()->setCornerMode(2);
             a->mainGraphic()->setDrawsFill(true);
             a->mainGraphic()->setFillColor(Color::colorWithCalibratedRed(1, 0, 0));
             a->mainGraphic()->setInheritsFill(false);
             t.addNote(*a, "first line\nsecond");
             t.addNote(*a, "dropped");
             a->setPriority(2);
             a->setPercentageComplete(75);
             auto b = t.add<TWCircle>(t.sourceRoot.get(), Rect(500, 300, 80, 30), "Beta");
             b->setHasBoundary(true);
             t.add<TWLine>(b.get(), Rect(700, 300, 80, 30), "Gamma");
             t.add<TWLine>(b.get(), Rect(700, 360, 80, 30), "Delta");
             b->setChildrenHidden(true);
             b->insertObjectInTrackedChangesAtIndex(
                 std::make_shared<TWTrackedChange>(
                     TWPerson(QStringLiteral("Ann Lee"), std::nullopt, std::nullopt, std::nullopt,
                              QStringLiteral("ann@example.org")),
                     CalendarDate::dateWithYear(2009, 3, 3, 14, 5, 0, TimeZone()),
                     AttributedString(QStringLiteral("Check & <confirm>"))),
                 0);
         }},
        {"link lines and font ranges",
         [](MindManagerExport &t) {
             auto a = t.add<TWRectangle>(t.sourceRoot.get(), Rect(100, 100, 80, 30), "one two");
             AttributedString text = a->enclosedTextArea()->text();
             text.addAttribute(NSUnderlineStyleAttributeName, 1, {4, 3});
             a->enclosedTextArea()->setText(text);
             auto b = t.add<TWRectangle>(t.sourceRoot.get(), Rect(500, 300, 80, 30), "Far");
             auto line = TWGraphic::make<TWLinkLine>();
             line->setDrawsStroke(true);
             line->setBranch(a.get());
             t.sourceMap->insertObjectInLinkLinesAtIndex(line, 0);
             line->connect(a->mainGraphic(), b->mainGraphic());
             line->setStartArrowStyle(4);
             line->setEndArrowStyle(1);
             line->setEndFilled(true);
         }},
        {"labels with joiners, marks and controls",
         [](MindManagerExport &t) {
             const QStringList labels{
                 QString::fromUcs4(U"\U0001F468\u200D\U0001F469\u200D\U0001F467"),
                 QString::fromUtf8("\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645"),
                 QString::fromUtf8("hy\u00ADphen \u200Fa\u200E \u202Eb\u202C"),
                 QStringLiteral("del\x7F nel\u0085 bom\uFEFF")};
             for (int i = 0; i < labels.size(); ++i)
                 t.add<TWRectangle>(t.sourceRoot.get(), Rect(100, 100 + 60 * i, 80, 30), labels[i]);
         }},
        {"deep and wide",
         [](MindManagerExport &t) {
             TWMapBranch *parent = t.sourceRoot.get();
             for (int depth = 0; depth < 6; ++depth) {
                 std::shared_ptr<TWMapBranch> first;
                 for (int i = 0; i < 3; ++i) {
                     auto made = t.add<TWLine>(parent, Rect(100 + 100 * depth, 50 * i, 60, 20),
                                               QStringLiteral("L%1.%2").arg(depth).arg(i));
                     if (!first)
                         first = made;
                 }
                 parent = first.get();
             }
         }},
    };
    for (const auto &m : maps) {
        // A fresh source and target for each map.
        while (!sourceRoot->children().isEmpty())
            sourceRoot->removeObjectFromChildrenAtIndex(0);
        while (sourceMap->countOfLinkLines() > 0)
            sourceMap->removeObjectFromLinkLinesAtIndex(0);
        m.build(*this);
        sourceUndo->closeEventGroup();
        sourceUndo->removeAllActions();

        const QByteArray xml = mmExport::xmlDataForMap(*sourceMap, QDateTime::currentDateTime());
        // Nothing to undo and no identifiers left on the branches.
        EXPECT_FALSE(sourceUndo->canUndo()) << m.what;
        for (const auto &branch : sourceMap->allBranches())
            EXPECT_FALSE(branch->mmOid().has_value()) << m.what;

        document->detach();
        document = TWMapsDoc::create();
        document->addMap(TWMap::create(document.get()), false);
        document->setCurrentMap(document->maps().first());
        document->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        document->setUndoManager(undo);
        ASSERT_TRUE(import(xml)) << m.what;
        EXPECT_EQ(describe(root()), describe(*sourceRoot)) << m.what;
        EXPECT_EQ(describeLinks(map()), describeLinks(*sourceMap)) << m.what;
        for (const auto &branch : sourceRoot->children()) {
            const QString text = branch->enclosedTextArea()->text().string();
            for (const auto &back : root().children())
                if (back->enclosedTextArea()->text().string() == text)
                    EXPECT_EQ(underlined(*back), underlined(*branch)) << m.what;
        }
    }
}

TEST_F(MindManagerExport, IconsAreCustomIconsWithFreshSignatures)
{
    QImage pixels(4, 3, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixels.save(&buffer, "PNG");
    source->setObjectInCachedData(png, QStringLiteral("Images/red.png"));

    auto label = add<TWRectangle>(sourceRoot.get(), Rect(100, 100, 80, 30), "Label only");
    label->publicAddAdornment(
        std::make_shared<TWEnclosedGraphic>(QStringLiteral("outlineNumberKey"), std::nullopt,
                                            TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10))));
    auto pictured = add<TWRectangle>(sourceRoot.get(), Rect(500, 300, 80, 30), "Pictured");
    auto picture = TWGraphic::make<TWImage>(Rect(0, 0, 16, 16));
    picture->setImageFilename(QStringLiteral("Images/red.png"));
    pictured->publicAddAdornment(
        std::make_shared<TWEnclosedGraphic>(QStringLiteral("red"), std::nullopt, picture));
    auto missing = TWGraphic::make<TWImage>(Rect(0, 0, 16, 16));
    missing->setImageFilename(QStringLiteral("Images/gone.png"));
    pictured->publicAddAdornment(
        std::make_shared<TWEnclosedGraphic>(QStringLiteral("gone"), std::nullopt, missing));

    QStringList signatures;
    for (int run = 0; run < 2; ++run) {
        const QString xml = exported();
        const QString labelTopic = xml.mid(xml.indexOf("PlainText=\"Label only\""));
        EXPECT_TRUE(labelTopic.left(labelTopic.indexOf("</ap:Topic>"))
                        .contains("<ap:IconsGroup><ap:Icons/></ap:IconsGroup>"))
            << labelTopic.left(600).toStdString();
        // One picture found, one missing: a single custom icon.
        static const QRegularExpression icon(
            "<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"([^\"]+)\"/>");
        const auto matches = icon.globalMatch(xml);
        QStringList found;
        for (const auto &m : matches)
            found << m.captured(1);
        ASSERT_EQ(found.size(), 1) << xml.toStdString();
        EXPECT_EQ(xml.count("<ap:CustomIconImageData "), 1);
        EXPECT_TRUE(xml.contains(QStringLiteral("IconSignature=\"%1\"").arg(found[0])));
        const std::optional<QByteArray> digits = TWBase64::dataWithTWBase64String(found[0]);
        ASSERT_TRUE(digits);
        EXPECT_EQ(digits->size(), 16);
        signatures << found[0];
    }
    EXPECT_NE(signatures[0], signatures[1]);
}

} // namespace

namespace {

QString stockIcon(const QString &name)
{
    return QStringLiteral("<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:%1\"/>")
        .arg(name);
}

// The topic's icons as written: "stock:<urn>" or "custom".
QStringList writtenIcons(const QString &xml)
{
    static const QRegularExpression icon(
        "<ap:Icon xsi:type=\"ap:(Stock|Custom)Icon\" (?:IconType|IconSignature)=\"([^\"]+)\"/>");
    QStringList found;
    for (const auto &m : icon.globalMatch(xml))
        found << (m.captured(1) == u"Stock" ? QStringLiteral("stock:") + m.captured(2)
                                            : QStringLiteral("custom"));
    return found;
}

} // namespace

TEST_F(MindManagerExport, StockIconsGoBackAsStockIcons)
{
    QString everyStockIcon;
    QStringList everyUrn;
    for (const mmTables::StockIcon &row : mmTables::kStockIcons) {
        everyStockIcon += stockIcon(QLatin1String(row.name));
        everyUrn << QStringLiteral("stock:urn:mindjet:") + QLatin1String(row.name);
    }
    const QString custom =
        QStringLiteral("<ap:Icon xsi:type=\"ap:CustomIcon\" IconSignature=\"s1\"/>");
    const struct
    {
        const char *what;
        QString icons;
        QStringList written;
    } cases[] = {
        {"every stock icon, in order", everyStockIcon, everyUrn},
        {"stock and custom mixed",
         stockIcon("Check") + custom + stockIcon("ArrowDown"),
         {"stock:urn:mindjet:Check", "custom", "stock:urn:mindjet:ArrowDown"}},
        {"an unknown urn is not made up",
         stockIcon("NotAnIcon") + stockIcon("FlagRed"),
         {"stock:urn:mindjet:FlagRed"}},
    };
    for (const auto &c : cases) {
        document->detach();
        document = freshDocument();
        document->setCurrentMap(document->maps().first());
        ASSERT_TRUE(importTopic(
            "<ap:SubTopics><ap:Topic OId=\"t\"><ap:Text PlainText=\"Icons\"/><ap:IconsGroup>"
            "<ap:Icons>" +
            c.icons +
            "</ap:Icons><ap:CustomIconImageData IconSignature=\"s1\" "
            "ImageType=\"urn:mindjet:PngImage\"><cor:Base64>" +
            MMImportTest::pngBase64() +
            "</cor:Base64></ap:CustomIconImageData></ap:IconsGroup></ap:Topic></ap:SubTopics>"))
            << c.what;
        QStringList imported;
        for (const auto &icon : branch("t").otherEnclosedGraphics())
            imported << icon->name() + u'|' + icon->graphic()->imageFilename().value_or("");

        const QString xml = QString::fromUtf8(mmExport::xmlDataForMap(map(), QDateTime()));
        EXPECT_EQ(writtenIcons(xml), c.written) << c.what;
        EXPECT_EQ(xml.count("<ap:CustomIconImageData "), c.written.count("custom")) << c.what;

        // Read back, every stock icon is that stock icon again.
        document->detach();
        document = freshDocument();
        document->setCurrentMap(document->maps().first());
        ASSERT_TRUE(import(xml.toUtf8())) << c.what;
        ASSERT_EQ(root().children().size(), 1) << c.what;
        QStringList back;
        for (const auto &icon : root().children().first()->otherEnclosedGraphics()) {
            const QString file = icon->graphic()->imageFilename().value_or("");
            // A custom picture is stored under the branch's own number.
            back << icon->name() + u'|' +
                        (icon->name().isEmpty() ? QStringLiteral("custom") : file);
        }
        for (QString &entry : imported)
            if (entry.startsWith(u'|'))
                entry = QStringLiteral("|custom");
        EXPECT_EQ(back, imported) << c.what;
    }
}
