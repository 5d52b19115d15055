#include "model/TWHyperlinkableText.h"
#include "platform/RecordingAlerts.h"
#include "support/Color.h"

#include <gtest/gtest.h>

using namespace TWHyperlinkableText;

namespace {

// "see the docs": "the" is a link, coloured and underlined as links are.
AttributedString linkedText()
{
    AttributedString text("see the docs");
    text.addAttribute(NSLinkAttributeName, QUrl("http://a.org"), {4, 3});
    text.addAttribute(NSForegroundColorAttributeName, QVariant::fromValue(Color()), {4, 8});
    text.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 7});
    return text;
}

URLGetter answering(std::optional<QString> answer, QStringList *shown)
{
    return [=](const QString &address) {
        *shown << address;
        return answer;
    };
}

} // namespace

TEST(TWHyperlinkableTextTest, AddEditAndRemoveWorkOnWholeLinkRuns)
{
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    enum Op { Add, Edit, Remove };
    struct Case
    {
        Op op;
        qsizetype at, length; // selection for Add, index otherwise
        std::optional<QString> answer;
        bool changed;
        QList<LinkRun> links;
        QString shown, alert;
        int beeps = 0;
    } cases[] = {
        {Add,
         8,
         4,
         "http://b.org",
         true,
         {{{4, 3}, QUrl("http://a.org")}, {{8, 4}, QUrl("http://b.org")}},
         "",
         ""},
        {Add, 8, 0, "http://b.org", false, {{{4, 3}, QUrl("http://a.org")}}, "-", "Create Link"},
        {Add, 8, 4, std::nullopt, false, {{{4, 3}, QUrl("http://a.org")}}, "", ""},
        {Add, 8, 4, "http://b c", false, {{{4, 3}, QUrl("http://a.org")}}, "", "Create link"},
        {Edit, 5, 0, "http://c.org", true, {{{4, 3}, QUrl("http://c.org")}}, "http://a.org", ""},
        {Edit, 5, 0, std::nullopt, true, {{{4, 3}, QUrl("http://a.org")}}, "http://a.org", ""},
        {Edit, 5, 0, "http://b c", false, {{{4, 3}, QUrl("http://a.org")}}, "http://a.org", "", 1},
        {Edit, 1, 0, "http://c.org", false, {{{4, 3}, QUrl("http://a.org")}}, "-", "Edit link"},
        {Remove, 6, 0, std::nullopt, true, {}, "-", ""},
        {Remove, 1, 0, std::nullopt, false, {{{4, 3}, QUrl("http://a.org")}}, "-", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        alerts.clear();
        AttributedString text = linkedText();
        QStringList shown{"-"};
        const URLGetter getter = answering(c.answer, &shown);
        const bool changed = c.op == Add    ? addHyperlinkToText(text, {c.at, c.length}, getter)
                             : c.op == Edit ? editHyperlinkInText(text, c.at, getter)
                                            : removeHyperlinkFromText(text, c.at);
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(linkRunsInRange(text, {0, text.length()}), c.links);
        EXPECT_EQ(shown.last(), c.shown);
        EXPECT_EQ(alerts.alerts().value(0).title, c.alert);
        EXPECT_EQ(alerts.beepCount(), c.beeps);
        if (c.op == Remove && c.changed) {
            // The run loses its colour and underline; the text around keeps them.
            EXPECT_FALSE(text.attribute(NSForegroundColorAttributeName, 5).isValid());
            EXPECT_FALSE(text.attribute(NSUnderlineStyleAttributeName, 5).isValid());
            EXPECT_TRUE(text.attribute(NSForegroundColorAttributeName, 8).isValid());
            EXPECT_TRUE(text.attribute(NSUnderlineStyleAttributeName, 2).isValid());
        }
    }
}

TEST(TWHyperlinkableTextTest, MenuClicksAndToolTips)
{
    using A = MenuItem::Action;
    EXPECT_EQ(menuItems(5, {0, 0}), (QList<MenuItem>{{"Edit Hyperlink", A::Edit, 5},
                                                     {"Remove Hyperlink", A::Remove, 5}}));
    EXPECT_EQ(menuItems(std::nullopt, {2, 3}), (QList<MenuItem>{{"Add Hyperlink", A::Add, 0}}));
    EXPECT_TRUE(menuItems(std::nullopt, {2, 0}).isEmpty());

    EXPECT_TRUE(clickFollowsLink(Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_FALSE(clickFollowsLink(Qt::NoModifier));
    EXPECT_FALSE(clickFollowsLink(Qt::ControlModifier));
    EXPECT_EQ(toolTipForLink(QUrl("http://a.org/x")), "http://a.org/x (Option+Click)");

    // Links stored as text (older files) count as links; runs are clipped to the range asked for.
    AttributedString text("abcdef");
    text.addAttribute(NSLinkAttributeName, QString("http://a.org"), {1, 4});
    EXPECT_EQ(linkRunsInRange(text, {2, 10}), (QList<LinkRun>{{{2, 3}, QUrl("http://a.org")}}));
    EXPECT_FALSE(linkAtIndex(text, 6));
    EXPECT_FALSE(linkAtIndex(text, -1));
}
