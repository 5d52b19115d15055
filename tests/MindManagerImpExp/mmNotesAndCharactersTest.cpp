// Notes keep their runs through the program's own export; a map refused
// only for characters XML forbids is read with them; a refusal says why.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/MMXMLCharacters.h"
#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "MindManagerImpExp/mmExport.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"

namespace {

using MMImportTest::ImportFixture;
using MMImportTest::mapWithTopic;

// One run as the note shows it: defaults filled in, so that a run without
// a font and one in the default font compare equal.
struct Run
{
    QString text;
    QString font;
    double size = 0;
    bool underline = false;
    QString colour;
    bool operator==(const Run &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Run &r)
{
    return out << '"' << r.text.toStdString() << "\" " << r.font.toStdString() << ' ' << r.size
               << (r.underline ? " underlined " : " ") << r.colour.toStdString();
}

// The runs of a text, neighbours that look the same joined.
std::vector<Run> runsOf(const AttributedString &s)
{
    std::vector<Run> runs;
    for (qsizetype i = 0; i < s.runCount(); ++i) {
        const TextAttributes &a = s.runAttributes(i);
        const QVariant f = a.value(NSFontAttributeName);
        const Font font = f.canConvert<Font>() && !f.value<Font>().isNull() ? f.value<Font>()
                                                                            : XHTML::defaultFont();
        const QVariant c = a.value(NSForegroundColorAttributeName);
        const Color colour = c.canConvert<Color>() ? c.value<Color>() : XHTML::textColor();
        const AttributedString::Range r = s.runRange(i);
        Run run{s.string().mid(r.location, r.length), font.fontName(), font.pointSize(),
                a.value(NSUnderlineStyleAttributeName).toInt() != 0, colour.toQColor().name()};
        if (!runs.empty() && runs.back().font == run.font && runs.back().size == run.size &&
            runs.back().underline == run.underline && runs.back().colour == run.colour)
            runs.back().text += run.text;
        else
            runs.push_back(run);
    }
    return runs;
}

TextAttributes styled(const char *font, double size, bool underline = false,
                      std::optional<Color> colour = std::nullopt)
{
    TextAttributes a{{NSFontAttributeName, QVariant::fromValue(Font(font, size))}};
    if (underline)
        a.insert(NSUnderlineStyleAttributeName, 1);
    if (colour)
        a.insert(NSForegroundColorAttributeName, QVariant::fromValue(*colour));
    return a;
}

const TextAttributes Plain{{NSFontAttributeName, QVariant::fromValue(XHTML::defaultFont())}};

} // namespace

TEST_F(ImportFixture, NotesComeBackWithTheirRunsThroughAnExport)
{
    const struct
    {
        const char *what;
        std::vector<std::pair<QString, TextAttributes>> runs;
    } cases[] = {
        {"bold at two sizes",
         {{"This\n", styled("LiberationSans-Bold", 26)},
          {"is a\n", styled("LiberationSans-Bold", 48)},
          {"test", Plain}}},
        {"italic, underlined and coloured",
         {{"a ", styled("LiberationSerif-Italic", 12)},
          {"b", styled("Helvetica", 12, true)},
          {" c", styled("Helvetica", 12, false, Color::colorWithCalibratedRed(1, 0, 0))}}},
        {"blanks and tabs as typed", {{"  two  spaces\tand a tab \n\n", Plain}}},
        {"a line end closing a run",
         {{"first\n", styled("LiberationSans-Bold", 12)}, {"second", Plain}}},
    };
    map().root()->enclosedTextArea()->setString(QStringLiteral("Centre"));
    for (const auto &c : cases) {
        AttributedString note;
        for (const auto &[text, attributes] : c.runs)
            note.appendAttributedString(AttributedString(text, attributes));
        const std::shared_ptr<TWMapBranch> branch = map().root()->addChildOfType(2);
        ASSERT_TRUE(branch);
        branch->enclosedTextArea()->setString(QString::fromUtf8(c.what));
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch->undoManager());
        attached->setText(std::make_shared<const AttributedString>(note));
        branch->insertObjectInAttachedTextArrayAtIndex(attached, 0);
    }
    auto again = freshDocument();
    ASSERT_TRUE(mmImpExpController::populateDadoZiz(
        *again->maps().first(), mmImpExpController::sourceForData(
                                    mmExport::xmlDataForMap(map(), QDateTime::currentDateTime()))));
    const auto sent = map().root()->children();
    const auto back = again->maps().first()->root()->children();
    ASSERT_EQ(back.size(), sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(sent[i]->enclosedTextArea()->text().string().toStdString());
        ASSERT_FALSE(back[i]->attachedTextArray().isEmpty());
        EXPECT_EQ(runsOf(*back[i]->attachedTextArray().first()->text()),
                  runsOf(*sent[i]->attachedTextArray().first()->text()));
    }
    again->detach();
    EXPECT_TRUE(alertMessages().isEmpty());
}

// A control character in a label, raw or as a reference, is read as it
// stands; what nothing can hold is left out; the user is told once.
TEST_F(ImportFixture, CharactersXMLForbidsAreReadAsTheyStand)
{
    const struct
    {
        const char *what;
        QByteArray label;    // as the file has it, in the label and the note
        QString read;        // as the branch holds it
        int kept, leftOut;   // in the whole file
        const char *message; // after the file's name
    } cases[] = {
        {"a raw control character",
         "a\x10"
         "b",
         QStringLiteral("a\u0010b"), 2, 0,
         " holds 2 characters that XML does not allow; they were read as they stand."},
        {"references to controls", "&#x10;x&#27;", QStringLiteral("\u0010x\u001b"), 4, 0,
         " holds 4 characters that XML does not allow; they were read as they stand."},
        {"a noncharacter", "z\xEF\xBF\xBF", QStringLiteral("z\uffff"), 2, 0,
         " holds 2 characters that XML does not allow; they were read as they stand."},
        {"a lone surrogate beside a control", "&#xD800;q&#1;", QStringLiteral("q\u0001"), 2, 2,
         " holds 4 characters that XML does not allow; 2 read as they stand, 2 left out."},
        // A stand-in the file holds itself could not be told apart.
        {"a stand-in already there", "\xEF\xB7\x90\x02", QStringLiteral("\ufdd0"), 0, 2,
         " holds 2 characters that XML does not allow; they were left out."},
        {"a reference with leading zeros", "&#x00000000000010;", QStringLiteral("\u0010"), 2, 0,
         " holds 2 characters that XML does not allow; they were read as they stand."},
        // Nothing forbidden, nothing to tell: the character comes in whole.
        {"a character written as the two halves of its UTF-16 form", "&#xD83D;&#xDE00;",
         QString::fromUcs4(U"\U0001F600"), 0, 0, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool worker : {false, true}) {
            auto doc = freshDocument();
            const QByteArray xml = mapWithTopic(
                "<ap:Text PlainText=\"centre\"/><ap:SubTopics><ap:Topic OId=\"t\">"
                "<ap:Text PlainText=\"" +
                QString::fromUtf8(c.label) +
                "\"/>"
                "<ap:NotesGroup><ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\">"
                "<p>" +
                QString::fromUtf8(c.label) +
                "</p></html></ap:NotesXhtmlData></ap:NotesGroup>"
                "</ap:Topic></ap:SubTopics>");
            MMMapSource source =
                mmImpExpController::sourceForData(xml, QStringLiteral("/x/odd.xml"));
            source.readsOnAWorkerThread = worker;
            MMLeftOut leftOut;
            ASSERT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(), source, &leftOut))
                << alertMessages().join("; ").toStdString();
            const TWMapBranch &b = *doc->maps().first()->root()->children().first();
            EXPECT_EQ(b.enclosedTextArea()->text().string(), c.read);
            EXPECT_EQ(b.attachedTextArray().first()->text()->string(), c.read + u'\n');
            EXPECT_EQ(leftOut.forbiddenCharactersKept, c.kept);
            EXPECT_EQ(leftOut.forbiddenCharactersLeftOut, c.leftOut);
            EXPECT_EQ(leftOut.message(), c.message ? QStringLiteral("“odd.xml”") +
                                                         QString::fromUtf8(c.message)
                                                   : QString());
            doc->detach();
        }
    }
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
    // A document broken otherwise is still refused.
    EXPECT_FALSE(import(mapWithTopic("<ap:Text PlainText=\"a\x10\"/><ap:Text")));
    EXPECT_EQ(alertMessages().size(), 1);
}

// A reference to an entity that only a document type declares reads as
// nothing, the text around it kept, and is counted for the notice.
TEST_F(ImportFixture, ReferencesToUndeclaredEntitiesAreLeftOutAndCounted)
{
    const struct
    {
        const char *label, *note;
        const char *read;
        const char *message;
    } cases[] = {
        {"A&who;B", "plain", "AB",
         "1 reference to an entity the file does not declare was left out: its document type "
         "is not read."},
        {"A&who;B&what;", "C&who;D", "AB",
         "3 references to entities the file does not declare were left out: its document "
         "type is not read."},
        {"AB", "CD", "AB", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        auto doc = freshDocument();
        const QByteArray xml =
            QByteArray("<?xml version=\"1.0\"?><!DOCTYPE ap:Map SYSTEM \"map.dtd\">"
                       "<ap:Map xmlns:ap=\"a\"><ap:OneTopic><ap:Topic><ap:Text PlainText=\"") +
            c.label +
            "\"/><ap:NotesGroup><ap:NotesXhtmlData><html xmlns=\"http://www.w3.org/1999/xhtml\">"
            "<p>" +
            c.note +
            "</p></html></ap:NotesXhtmlData></ap:NotesGroup></ap:Topic>"
            "</ap:OneTopic></ap:Map>";
        MMLeftOut leftOut;
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(
            *doc->maps().first(), mmImpExpController::sourceForData(xml, "e.xml"), &leftOut));
        EXPECT_EQ(doc->maps().first()->root()->enclosedTextArea()->text().string(), c.read);
        EXPECT_EQ(leftOut.message(), QString::fromUtf8(c.message));
        doc->detach();
    }
    EXPECT_TRUE(alertMessages().isEmpty());
}

// Stand-ins go back to exactly the characters they stood for.
TEST(MMXMLCharacters, StandInsTurnBack)
{
    const QByteArray in = "<a b=\"\x01&#x1F;\">\xEF\xBF\xBE&#65535;&#9;&#0;</a>";
    const MMXMLCharacters::Rewritten out = MMXMLCharacters::rewrite(in);
    EXPECT_EQ(out.kept, 4);
    EXPECT_EQ(out.leftOut, 1);
    std::string back;
    ASSERT_TRUE(MMXMLCharacters::restore(out.xml.constData(), size_t(out.xml.size()), back));
    EXPECT_EQ(QByteArray::fromStdString(back),
              "<a b=\"\x01\x1F\">\xEF\xBF\xBE\xEF\xBF\xBF&#9;</a>");
    EXPECT_FALSE(MMXMLCharacters::restore("plain", 5, back));
}

// A refusal names the file and says why, and is written to the log.
TEST_F(ImportFixture, RefusalsNameTheFileAndTheReason)
{
    const struct
    {
        const char *what;
        QByteArray xml;
        const char *reason;
    } cases[] = {
        {"an entity its standalone document never declares",
         "<?xml version=\"1.0\" standalone=\"yes\"?>"
         "<!DOCTYPE ap:Map SYSTEM \"http://example.com/map.dtd\">"
         "<ap:Map xmlns:ap=\"a\"><ap:OneTopic><ap:Topic><ap:Text PlainText=\"&who;\"/>"
         "</ap:Topic></ap:OneTopic></ap:Map>",
         "Entity 'who' not defined"},
        {"an external entity in an attribute",
         "<?xml version=\"1.0\"?><!DOCTYPE ap:Map [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>"
         "<ap:Map xmlns:ap=\"a\"><ap:OneTopic><ap:Topic><ap:Text PlainText=\"&x;\"/>"
         "</ap:Topic></ap:OneTopic></ap:Map>",
         "Attribute references external entity 'x'"},
        {"a document cut short", "<?xml version=\"1.0\"?><ap:Map xmlns:ap=\"a\"><ap:OneTopic>",
         "line 1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        const QString file = filePath(QStringLiteral("refused.xml"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.xml);
        out.close();
        auto doc = freshDocument();
        EXPECT_FALSE(mmImpExpController::populateDadoZiz(*doc->maps().first(), file));
        ASSERT_EQ(alertMessages().size(), 1);
        EXPECT_TRUE(alertMessages().first().contains(file))
            << alertMessages().first().toStdString();
        EXPECT_TRUE(alertMessages().first().contains(QLatin1String(c.reason)))
            << alertMessages().first().toStdString();
        doc->detach();
    }
}
