#include "interface/TWHyperlinkableText.h"
#include "platform/RecordingAlerts.h"
#include "support/Color.h"

#include <gtest/gtest.h>

using namespace TWHyperlinkableText;

TEST(TWHyperlinkableTextTest, LinksAreAddedEditedAndRemovedAsWholeRuns)
{
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    enum Op { Add, Edit, Remove };
    const QString a = "4+3 http://a.org";
    // The link runs as "location+length address" items.
    auto links = [](const AttributedString &text, Range range) {
        QStringList items;
        for (const LinkRun &run : linkRunsInRange(text, range))
            items << QStringLiteral("%1+%2 %3")
                         .arg(run.range.location)
                         .arg(run.range.length)
                         .arg(run.link.toString());
        return items.join(", ");
    };
    struct Case
    {
        Op op;
        qsizetype at, length; // the selection to add to, else the clicked index
        std::optional<QString> answer;
        bool changed;
        QString links, shown, alert; // a beep shows as "!"
    } cases[] = {
        {Add, 8, 4, "http://b.org", true, a + ", 8+4 http://b.org", "", ""},
        {Add, 8, 0, "http://b.org", false, a, "-", "Create Link"},
        {Add, 8, 4, std::nullopt, false, a, "", ""},
        {Add, 8, 4, "http://b c", false, a, "", "Create link"},
        {Edit, 5, 0, "http://c.org", true, "4+3 http://c.org", "http://a.org", ""},
        {Edit, 5, 0, std::nullopt, true, a, "http://a.org", ""},
        {Edit, 5, 0, "http://b c", false, a, "http://a.org", "!"},
        {Edit, 1, 0, "http://c.org", false, a, "-", "Edit link"},
        {Remove, 6, 0, std::nullopt, true, "", "-", ""},
        {Remove, 1, 0, std::nullopt, false, a, "-", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        alerts.clear();
        // "see the docs": "the" links, coloured and underlined as links are.
        AttributedString text("see the docs");
        text.addAttribute(NSLinkAttributeName, QUrl("http://a.org"), {4, 3});
        text.addAttribute(NSForegroundColorAttributeName, QVariant::fromValue(Color()), {4, 8});
        text.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 7});
        QString shown = "-";
        const URLGetter getter = [&](const QString &address) { return shown = address, c.answer; };
        const bool changed = c.op == Add    ? addHyperlinkToText(text, {c.at, c.length}, getter)
                             : c.op == Edit ? editHyperlinkInText(text, c.at, getter)
                                            : removeHyperlinkFromText(text, c.at);
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(links(text, {0, text.length()}), c.links);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(alerts.alerts().value(0).title + QString(alerts.beepCount(), u'!'), c.alert);
        // Removing takes colour and underline from the run only.
        EXPECT_EQ(text.attributesAtIndex(5).size(), c.op == Remove && c.changed ? 0 : 3);
        EXPECT_TRUE(text.attributesAtIndex(8).contains(NSForegroundColorAttributeName) &&
                    text.attributesAtIndex(2).contains(NSUnderlineStyleAttributeName));
    }

    // The menu adds nothing without a link under the mouse or a selection.
    using A = MenuItem::Action;
    EXPECT_EQ(menuItems(5, {0, 0}), (QList<MenuItem>{{"Edit Hyperlink", A::Edit, 5},
                                                     {"Remove Hyperlink", A::Remove, 5}}));
    EXPECT_EQ(menuItems(std::nullopt, {2, 3}), (QList<MenuItem>{{"Add Hyperlink", A::Add, 0}}));
    EXPECT_TRUE(menuItems(std::nullopt, {2, 0}).isEmpty());
    EXPECT_TRUE(clickFollowsLink(Qt::AltModifier | Qt::ShiftModifier));

    // Links stored as text (older files) count; runs are clipped to the range asked for.
    AttributedString text("abcdef");
    text.addAttribute(NSLinkAttributeName, QString("http://a.org"), {1, 4});
    EXPECT_EQ(links(text, {2, 10}), "2+3 http://a.org");
    EXPECT_FALSE(linkAtIndex(text, 6));
}
