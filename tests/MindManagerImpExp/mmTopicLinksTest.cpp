// Links that can be followed: a link to a topic of the same map points at
// its branch, a path written on another system is one a file system opens.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/mmExport.h"
#include "graphics/TWTextArea.h"
#include "model/TWHyperlink.h"

#include <QDir>

namespace {

using MMImportTest::ImportFixture;

struct Link
{
    int type;
    std::optional<QString> url, arg;
    bool operator==(const Link &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Link &l)
{
    return out << l.type << " " << l.url.value_or("(none)").toStdString() << " -> "
               << l.arg.value_or("(none)").toStdString();
}

std::optional<Link> linkOf(const TWMapBranch &branch)
{
    if (branch.hyperlinks().isEmpty())
        return std::nullopt;
    const auto &l = branch.hyperlinks().first();
    return Link{l->linkType(), l->linkURL(), l->linkArg()};
}

} // namespace

TEST_F(ImportFixture, LinksPointAtWhatTheyName)
{
    const struct
    {
        const char *what;
        QString url;
        Link link;
    } cases[] = {
        {"a topic of the map",
         "#xpointer(/descendant-or-self::ap:Topic[@OId='t2'])",
         {4, QString(), "Target"}},
        {"a topic named in double quotes",
         "#xpointer(//ap:Topic[@OId=\"t2\"])",
         {4, QString(), "Target"}},
        {"a topic the map does not hold",
         "#xpointer(/descendant-or-self::ap:Topic[@OId='gone'])",
         {4, QString(), std::nullopt}},
        {"a quoted path with backslashes",
         "\"C:\\Docs\\Plan 2.pdf\"",
         {1, "C:/Docs/Plan 2.pdf", std::nullopt}},
        {"a relative map path", "..\\maps\\other.tweb", {4, "../maps/other.tweb", std::nullopt}},
        {"a web address keeps its backslashes",
         "https://example.org/a\\b",
         {2, "https://example.org/a\\b", std::nullopt}},
        {"a plain path", "/home/me/plan.txt", {1, "/home/me/plan.txt", std::nullopt}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = freshDocument();
        const QString topics =
            QStringLiteral("<ap:Text PlainText=\"Centre\"/><ap:SubTopics>"
                           "<ap:Topic OId=\"t1\"><ap:Text PlainText=\"Source\"/>"
                           "<ap:Hyperlink Url=\"%1\"/></ap:Topic>"
                           "<ap:Topic OId=\"t2\"><ap:Text PlainText=\"Target\"/></ap:Topic>"
                           "</ap:SubTopics>")
                .arg(c.url.toHtmlEscaped());
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            *doc->maps().first(),
            mmImpExpController::sourceForData(MMImportTest::mapWithTopic(topics))));
        const TWMapBranch *source = find(doc->maps().first()->root().get(), "t1");
        ASSERT_TRUE(source);
        EXPECT_EQ(linkOf(*source), c.link);
        doc->detach();
    }
}

// MindManager 23's test map links one topic to another that has no text
// of its own: the link names the default text the branch shows.
TEST_F(ImportFixture, ARealMapsLinkToItsOwnTopicPointsAtThatBranch)
{
#ifdef THINKWEB_REAL_FILES
    const QString file = QStringLiteral(THINKWEB_REAL_FILES "/mindm-Test_DOM.mmap");
#else
    const QString file;
#endif
    if (file.isEmpty() || !QFile::exists(file))
        GTEST_SKIP() << "real maps not found beside the project";
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(map(), file));
    TWMapBranch *target = find(&root(), "S99BFEdDaEekITU5fmygTw==");
    ASSERT_TRUE(target);
    int links = 0;
    std::function<void(const TWMapBranch &)> walk = [&](const TWMapBranch &b) {
        for (const auto &l : b.hyperlinks()) {
            if (l->linkType() != TWHyperlink::ThinkwebFile)
                continue;
            ++links;
            EXPECT_EQ(l->linkURL().value_or(QString()), QString());
            EXPECT_EQ(l->linkArg(), target->enclosedTextArea()->text().string());
            EXPECT_FALSE(l->linkArg().value_or(QString()).isEmpty());
        }
        for (const auto &child : b.children())
            walk(*child);
    };
    walk(root());
    EXPECT_EQ(links, 1);

    // Through the program's own export it still points at that branch.
    auto again = freshDocument();
    TWMap &back = *again->maps().first();
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(
        back, mmImpExpController::sourceForData(
                  mmExport::xmlDataForMap(map(), QDateTime::currentDateTime()))));
    links = 0;
    std::function<void(const TWMapBranch &)> walkBack = [&](const TWMapBranch &b) {
        for (const auto &l : b.hyperlinks())
            if (l->linkType() == TWHyperlink::ThinkwebFile) {
                ++links;
                EXPECT_EQ(l->linkArg(), target->enclosedTextArea()->text().string());
            }
        for (const auto &child : b.children())
            walkBack(*child);
    };
    walkBack(*back.root());
    EXPECT_EQ(links, 1);
    again->detach();
}
