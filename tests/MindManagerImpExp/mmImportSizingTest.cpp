// Each imported branch is sized once, when its topic is converted: the map
// must come out as when every branch was also sized as it was made.
#include "MMImportTestSupport.h"

#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

using namespace MMImportTest;

namespace {

QString topic(const QString &oid, const QString &inner)
{
    return QStringLiteral("<ap:Topic OId=\"%1\">%2</ap:Topic>").arg(oid, inner);
}

// Counts the sizings each branch asks for.
class CountingLayout : public TWMapLayout
{
public:
    void makeNaturalSize(TWMapBranch &branch, bool honoringTextWidth,
                         bool honoringGraphicHeight) override
    {
        ++counts[&branch];
        TWMapLayout::makeNaturalSize(branch, honoringTextWidth, honoringGraphicHeight);
    }
    QHash<const TWMapBranch *, int> counts;
};

// Every bounds a branch's graphics have, in a stable order.
QList<Rect> boundsOf(const TWMapBranch &branch)
{
    QList<Rect> all;
    if (branch.mainGraphic())
        all.append(branch.mainGraphic()->bounds());
    if (branch.enclosedTextArea())
        all.append(branch.enclosedTextArea()->bounds());
    if (branch.enclosedImage())
        all.append(branch.enclosedImage()->bounds());
    for (const std::shared_ptr<TWEnclosedGraphic> &icon : branch.otherEnclosedGraphics())
        if (icon->graphic())
            all.append(icon->graphic()->bounds());
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        all.append(boundsOf(*child));
    return all;
}

} // namespace

class MindManagerImportSizing : public ImportFixture
{
protected:
    struct Imported
    {
        QString xml;
        QList<Rect> bounds;
        QHash<QString, int> sizings; // by topic identifier
    };

    Imported imported(const QByteArray &xml, bool once)
    {
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &target = *doc->maps().first();
        const auto layout = std::make_shared<CountingLayout>();
        target.setLayoutServices(layout);
        MMMapSource source = mmImpExpController::sourceForData(xml, QStringLiteral("map.xml"));
        source.sizesBranchesOnce = once;
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(target, source));
        Imported result;
        result.xml = documentXMLWithoutFreshValues(*doc);
        if (target.root())
            result.bounds = boundsOf(*target.root());
        for (const std::shared_ptr<TWMapBranch> &b : target.allBranches())
            result.sizings.insert(b->mmOid().value_or(QString()), layout->counts.value(b.get()));
        doc->detach();
        return result;
    }
};

TEST_F(MindManagerImportSizing, BranchesSizedOnceComeOutAsBranchesSizedAsTheyAreMade)
{
    const QString png = pngBase64();
    const QString style = QStringLiteral(
        "<ap:StyleGroup><ap:RootTopicDefaultsGroup><ap:DefaultText PlainText=\"Central\">"
        "<ap:Font Name=\"DejaVu Sans\" Size=\"16\"/></ap:DefaultText>"
        "<ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:Rectangle\"/>"
        "</ap:RootTopicDefaultsGroup><ap:RootSubTopicDefaultsGroup Level=\"0\">"
        "<ap:DefaultText PlainText=\"Level text\"/><ap:DefaultColor LineColor=\"ff404040\"/>"
        "</ap:RootSubTopicDefaultsGroup></ap:StyleGroup>");
    const QString icons =
        QStringLiteral("<ap:IconsGroup><ap:Icons><ap:Icon xsi:type=\"ap:StockIcon\" "
                       "IconType=\"urn:mindjet:FlagRed\"/>"
                       "<ap:Icon xsi:type=\"ap:StockIcon\" "
                       "IconType=\"urn:mindjet:Check\"/></ap:Icons></ap:IconsGroup>");
    const QString task = QStringLiteral(
        "<ap:Task TaskPriority=\"urn:mindjet:Prio3\" TaskPercentage=\"50\" DurationHours=\"48\" "
        "DurationUnit=\"urn:mindjet:Day\" Resources=\"Ann; Bob\"/>");
    const QString notes = QStringLiteral("<ap:NotesGroup><ap:NotesXhtmlData "
                                         "PreviewPlainText=\"n\"/></ap:NotesGroup>");
    const QString link = QStringLiteral("<ap:Hyperlink Url=\"http://example.org/\"/>");
    // `sized`: how often the topic's branch is sized when sized once (the
    // indicators of a task or a link refit a branch with a layout width
    // once more); -1 where it is sized as it is made too.
    const struct
    {
        const char *name;
        QString inner;
        int sized;
    } cases[] = {
        {"plain", "<ap:Text PlainText=\"Plain words of a label\"/>", 1},
        {"level text", QString(), 1},
        {"font range and colour",
         "<ap:Text PlainText=\"Bold start\"><ap:Font Name=\"DejaVu Sans\" Size=\"14\"/>"
         "<ap:FontRange From=\"0\" To=\"4\" Bold=\"true\" Color=\"ffaa0000\"/></ap:Text>"
         "<ap:Color FillColor=\"ffdbe9f7\" LineColor=\"ff102030\"/>",
         1},
        {"icons",
         "<ap:Text PlainText=\"Flagged\"/><ap:IconsGroup><ap:Icons>"
         "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:FlagRed\"/>"
         "<ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"urn:mindjet:Check\"/>"
         "</ap:Icons></ap:IconsGroup>",
         1},
        {"task", "<ap:Text PlainText=\"Due\"/>" + task, 1},
        {"notes and link", "<ap:Text PlainText=\"Noted\"/>" + notes + link, 1},
        {"icons, notes, link and task",
         "<ap:Text PlainText=\"Everything at once\"/>" + icons + notes + link + task, 1},
        {"icons and task on a line",
         "<ap:Text PlainText=\"Lined\"/><ap:SubTopicShape SubTopicShape=\"urn:mindjet:Line\"/>" +
             icons + task,
         1},
        {"icons and task in an oval",
         "<ap:Text PlainText=\"Round\"/><ap:SubTopicShape SubTopicShape=\"urn:mindjet:Oval\"/>" +
             icons + task,
         1},
        {"icons and task left of the root",
         "<ap:Text PlainText=\"Leftward\"/><ap:Offset CX=\"-60\" CY=\"-10\"/>" + icons + task, 1},
        {"wrapped label with icons and a link",
         "<ap:Text PlainText=\"A label long enough to wrap onto a second line at the width a "
         "branch allows its text without a layout of its own\"/>" +
             icons + link,
         1},
        {"hidden, collapsed and elbowed with icons, link and task",
         "<ap:Text PlainText=\"Folded\"/><ap:SubTopicsShape "
         "SubTopicsConnectionStyle=\"urn:mindjet:Elbow\"/><ap:SubTopicsVisibility "
         "Hidden=\"true\"/><ap:TopicViewGroup ViewIndex=\"0\"><ap:Collapsed "
         "Collapsed=\"true\"/></ap:TopicViewGroup>" +
             icons + link + task,
         1},
        {"icons and task with a layout",
         "<ap:Text PlainText=\"Laid out\"/><ap:TopicLayout "
         "TopicTextAndImagePosition=\"urn:mindjet:TextLeftImageRight\" Width=\"25\"/>" +
             icons + task,
         2},
        {"own shape and layout",
         "<ap:Text PlainText=\"A long label that wraps at the width it is given\"/>"
         "<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Oval\"/>"
         "<ap:TopicLayout TopicTextAndImagePosition=\"urn:mindjet:TextLeftImageRight\" "
         "Width=\"30\"/>",
         1},
        {"line shape",
         "<ap:Text PlainText=\"On a line\"/>"
         "<ap:SubTopicShape SubTopicShape=\"urn:mindjet:Line\"/>",
         1},
        {"offset", "<ap:Text PlainText=\"Placed\"/><ap:Offset CX=\"-40\" CY=\"25\"/>", 1},
        {"boundary",
         "<ap:Text PlainText=\"Bounded\"/><ap:OneBoundary><ap:Boundary>"
         "<ap:BoundaryShape BoundaryShape=\"urn:mindjet:Rectangle\" Margin=\"4\"/>"
         "</ap:Boundary></ap:OneBoundary>",
         -1},
        {"picture",
         "<ap:Text PlainText=\"Pictured\"/><ap:OneImage><ap:Image>"
         "<ap:ImageData ImageType=\"urn:mindjet:PngImage\"><cor:Base64>" +
             png +
             "</cor:Base64></ap:ImageData><ap:ImageSize Width=\"12\" Height=\"8\"/>"
             "</ap:Image></ap:OneImage>",
         -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // The topic on its own, beside siblings, as a floating topic and
        // with children of its own.
        const QString subject = topic("subject", c.inner);
        const QString parent = topic(
            "parent", c.inner + "<ap:SubTopics>" + topic("child", c.inner) +
                          topic("sibling", "<ap:Text PlainText=\"After\"/>") + "</ap:SubTopics>");
        const QByteArray xml =
            mapWithTopic("<ap:Text PlainText=\"Root\"/><ap:SubTopics>" + subject + parent +
                             "</ap:SubTopics><ap:FloatingTopics>" + topic("floating", c.inner) +
                             "</ap:FloatingTopics>",
                         style);
        const Imported once = imported(xml, true);
        const Imported twice = imported(xml, false);
        EXPECT_EQ(once.xml, twice.xml);
        EXPECT_EQ(once.bounds, twice.bounds);
        EXPECT_EQ(once.bounds.size(), twice.bounds.size());
        for (const char *oid : {"subject", "parent", "child", "floating"}) {
            SCOPED_TRACE(oid);
            const int asMade = twice.sizings.value(oid);
            EXPECT_GE(asMade, 2);
            EXPECT_EQ(once.sizings.value(oid), c.sized < 0 ? asMade : c.sized);
        }
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

// A label wraps at the width its topic gives in millimetres, whether the
// topic's own layout or its level's default gives it.
TEST_F(MindManagerImportSizing, AWidthInMillimetresWrapsTheLabelWhereverItIsGiven)
{
    const QString label = QStringLiteral(
        "<ap:Text PlainText=\"A label long enough to wrap several times at any of the widths "
        "given here, so that its width tells which one it took\"/>");
    const QString position =
        QStringLiteral("TopicTextAndImagePosition=\"urn:mindjet:TextLeftImageRight\"");
    auto levelStyle = [](const QString &layout) {
        return QStringLiteral("<ap:StyleGroup><ap:RootSubTopicDefaultsGroup Level=\"0\">"
                              "%1</ap:RootSubTopicDefaultsGroup></ap:StyleGroup>")
            .arg(layout);
    };
    // The width the label wraps at, for a topic and a style.
    auto wrappedWidth = [&](const QString &inner, const QString &style) {
        const std::shared_ptr<TWMapsDoc> doc = freshDocument();
        TWMap &target = *doc->maps().first();
        const QByteArray xml = mapWithTopic(
            "<ap:Text PlainText=\"Root\"/><ap:SubTopics>" + topic("subject", inner) +
                "</ap:SubTopics>",
            style);
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(
            target, mmImpExpController::sourceForData(xml, QStringLiteral("map.xml"))));
        float width = -1;
        for (const std::shared_ptr<TWMapBranch> &b : target.allBranches())
            if (b->mmOid() == QStringLiteral("subject") && b->enclosedTextArea())
                width = b->enclosedTextArea()->bounds().width();
        doc->detach();
        return width;
    };
    const float own40 = wrappedWidth(
        label + "<ap:TopicLayout " + position + " Width=\"40\"/>", QString());
    const float level40 = wrappedWidth(label + "<ap:TopicLayout " + position + "/>",
                                       levelStyle("<ap:DefaultTopicLayout Width=\"40\"/>"));
    const float own25 = wrappedWidth(
        label + "<ap:TopicLayout " + position + " Width=\"25\"/>", QString());
    const float level25 = wrappedWidth(label + "<ap:TopicLayout " + position + "/>",
                                       levelStyle("<ap:DefaultTopicLayout Width=\"25\"/>"));
    // 40 mm is 113.4 pt, 25 mm 70.9 pt.
    EXPECT_GT(own40, 80.0f);
    EXPECT_LE(own40, 113.4f);
    EXPECT_GT(own25, 40.0f);
    EXPECT_LE(own25, 70.9f);
    EXPECT_EQ(level40, own40);
    EXPECT_EQ(level25, own25);
    EXPECT_TRUE(alerts.alerts().isEmpty());
}
