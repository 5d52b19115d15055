#include "ExportTestSupport.h"
#include "support/ParagraphStyle.h"
#include "support/RichTextFormat.h"

#include <QFile>

using namespace ExportTest;

namespace {

// A window host that leaves the outline text to the map's own writer.
class WriterHost : public FakeHost
{
public:
    std::optional<AttributedString> outlineText(TWMap &map,
                                                const OutlineTextRequest &request) override
    {
        return TWExportHost::outlineText(map, request);
    }
};

class ExportOutlineTextTest : public ExportFixture
{
protected:
    ExportOutlineTextTest()
    {
        writer.documents = host.documents;
        addChildren();
    }
    QByteArray read(const QString &name)
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    WriterHost writer;
};

TEST_F(ExportOutlineTextTest, TextComesFromTheOutlineWriter)
{
    struct Case
    {
        const char *name;
        TWExportHost *host;
        int type;
        int indentSelection;
        QString text;
    };
    const Case cases[] = {
        {"rich", &writer, 0, 2, "root\nfirst\nsecond"},
        {"single line, tabs", &writer, 1, 2, "root\n\tfirst\n\tsecond\n"},
        {"without a window host", nullptr, 0, 2, "root\nfirst\nsecond"},
    };
    defaults.setBool(true, "ExportTextIncludeBranchText");
    for (const Case &c : cases) {
        controller.setHost(c.host);
        defaults.setDouble(c.indentSelection, "ExportTextIndentSelection");
        const std::optional<AttributedString> text = controller.textViewOfType(c.type, *map);
        ASSERT_TRUE(text) << c.name;
        EXPECT_EQ(text->string(), c.text) << c.name;
    }
}

TEST_F(ExportOutlineTextTest, RichTextFileKeepsTheIndents)
{
    controller.setHost(&writer);
    panelAnswer = TWExportPanelResult{path("Outline.rtf"), {0}};
    controller.exportRTF();
    EXPECT_TRUE(alerts.alerts().isEmpty());
    const auto text = RichTextFormat::attributedStringFromRTF(read("Outline.rtf"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "root\nfirst\nsecond");
    const auto style = [&](const char *at) {
        return text->attribute(NSParagraphStyleAttributeName, text->string().indexOf(at))
            .value<ParagraphStyle>();
    };
    EXPECT_EQ(style("root").headIndent, 20);
    EXPECT_EQ(style("first").firstLineHeadIndent, 20);
    EXPECT_EQ(style("second").headIndent, 40);
}

} // namespace
