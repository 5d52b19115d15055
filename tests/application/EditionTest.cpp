#include "ApplicationTestSupport.h"
#include "application/EditionTraits.h"
#include "application/TWCApplication.h"
#include "application/TWDApplication.h"

TEST(CommandLine, ChoosesTheEditionAndCollectsFiles)
{
    struct Case
    {
        QStringList arguments;
        Edition edition;
        QStringList files;
        QStringList unknown;
        bool error;
    };
    const std::vector<Case> cases = {
        {{"thinkweb"}, Edition::Deluxe, {}, {}, false},
        {{"/usr/bin/thinkweb-compact"}, Edition::Compact, {}, {}, false},
        {{"thinkweb-deluxe", "a.tweb"}, Edition::Deluxe, {"a.tweb"}, {}, false},
        {{"thinkweb", "--edition=compact", "a.tweb"}, Edition::Compact, {"a.tweb"}, {}, false},
        {{"thinkweb", "--edition", "Compact"}, Edition::Compact, {}, {}, false},
        // The option wins over the program's name.
        {{"thinkweb-compact", "--edition=deluxe"}, Edition::Deluxe, {}, {}, false},
        {{"thinkweb", "--edition=pro"}, Edition::Deluxe, {}, {}, true},
        {{"thinkweb", "--edition"}, Edition::Deluxe, {}, {}, true},
        {{"thinkweb", "-x", "b.opml", "-"}, Edition::Deluxe, {"b.opml", "-"}, {"-x"}, false},
        {{"thinkweb", "--", "--edition=compact"},
         Edition::Deluxe,
         {"--edition=compact"},
         {},
         false},
        {{}, Edition::Deluxe, {}, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandLine line = CommandLine::parse(c.arguments);
        EXPECT_EQ(line.edition, c.edition);
        EXPECT_EQ(line.files, c.files);
        EXPECT_EQ(line.unknownOptions, c.unknown);
        EXPECT_EQ(!line.error.isEmpty(), c.error);
    }
}

TEST(EditionTraits, EachEditionKeepsItsOwnSettings)
{
    const EditionTraits &compact = EditionTraits::compact();
    const EditionTraits &deluxe = EditionTraits::deluxe();
    EXPECT_NE(compact.applicationIdentifier, deluxe.applicationIdentifier);
    EXPECT_NE(compact.settingsPath(), deluxe.settingsPath());
    EXPECT_EQ(EditionTraits::generic().editionString, "Thinkweb (Mac)");
    EXPECT_EQ(EditionTraits::generic().applicationIdentifier, "unknown");
}

TEST_F(ApplicationTest, TheCommandLineMakesTheEditionsApplicationObject)
{
    struct Case
    {
        QStringList arguments;
        const EditionTraits *traits;
        bool compact;
    };
    const std::vector<Case> cases = {
        {{"thinkweb", "--edition=compact"}, &EditionTraits::compact(), true},
        {{"/usr/local/bin/thinkweb-compact"}, &EditionTraits::compact(), true},
        {{"thinkweb"}, &EditionTraits::deluxe(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        TWApplication &a = start(CommandLine::parse(c.arguments).edition);
        EXPECT_EQ(a.traits().edition, c.traits->edition);
        EXPECT_EQ(a.thinkwebEditionString(), c.traits->editionString);
        EXPECT_EQ(qobject_cast<TWCApplication *>(&a) != nullptr, c.compact);
        EXPECT_EQ(qobject_cast<TWDApplication *>(&a) != nullptr, !c.compact);
        EXPECT_EQ(QCoreApplication::applicationName(), c.traits->applicationName);
        EXPECT_EQ(TWApplication::shared(), &a);
        app.reset();
    }
    EXPECT_EQ(TWCApplication::applicationIdentifier(),
              EditionTraits::compact().applicationIdentifier);
    EXPECT_EQ(TWDApplication::applicationIdentifier(),
              EditionTraits::deluxe().applicationIdentifier);
}
