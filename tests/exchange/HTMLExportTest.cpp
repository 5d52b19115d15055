#include "exchange/HTMLExport.h"

#include "support/TextAttachment.h"
#include "support/TextTab.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace HTMLExport;

namespace {

QVariant font(const char *name, double size)
{
    return QVariant::fromValue(Font(QString::fromLatin1(name), size));
}

QVariant paragraph(int alignment, double head = 0, double first = 0)
{
    ParagraphStyle style;
    style.alignment = alignment;
    style.headIndent = head;
    style.firstLineHeadIndent = first;
    return QVariant::fromValue(style);
}

QString fragment(const AttributedString &text, QMap<QString, QByteArray> *images = nullptr,
                 int indent = 0)
{
    QString html;
    QMap<QString, QByteArray> own;
    EXPECT_TRUE(exportHTMLFragmentToString(text, html, images ? *images : own, "pre", indent));
    return html;
}

QVariant pictureAttachment(Qt::GlobalColor color)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::regularFile(png)));
}

} // namespace

TEST(HTMLExport, FontSizeSteps)
{
    const struct
    {
        double points;
        int percentage;
        const char *size;
    } cases[] = {{9, 100, "-3"},  {1, 100, "-3"},    {10, 100, "-2"}, {11, 100, "-1"},
                 {12, 100, "+0"}, {12.9, 100, "+0"}, {13, 100, "+1"}, {14, 100, "+1"},
                 {15, 100, "+2"}, {16, 100, "+2"},   {17, 100, "+3"}, {26, 50, "+1"}};
    for (const auto &c : cases)
        EXPECT_EQ(buildFontStringForFont(Font("Helvetica", c.points), c.percentage),
                  QStringLiteral("<font face=\"Helvetica\" size=\"%1\" >").arg(c.size))
            << c.points;
    EXPECT_EQ(buildFontStringForFont(std::nullopt, 100), "<font>");
}

TEST(HTMLExport, StylesFromParagraphAndFont)
{
    ParagraphStyle indented;
    indented.headIndent = 20.7;
    indented.firstLineHeadIndent = 30;
    indented.alignment = CenterTextAlignment;
    const Font boldItalic("DejaVuSans-BoldOblique", 13.9);
    const struct
    {
        std::optional<ParagraphStyle> paragraph;
        std::optional<Font> font;
        int percentage, indent;
        QString style;
    } cases[] = {
        {std::nullopt, std::nullopt, 100, 5, ""},
        {std::nullopt, std::nullopt, 100, 0, ""},
        {indented, std::nullopt, 100, 5,
         "style=\"margin-left:25pt;text-indent:9pt;text-align:center;\""},
        {indented, std::nullopt, 50, 0,
         "style=\"margin-left:10pt;text-indent:4pt;text-align:center;\""},
        {std::nullopt, boldItalic, 100, 7,
         "style=\"margin-left:7pt;font-size:13pt;font-family:DejaVu Sans;font-weight:bold;"
         "font-style:oblique;\""},
        {std::nullopt, Font("Foo-BoldItalic", 12), 100, 0,
         "style=\"font-size:12pt;font-family:Foo;font-weight:bold;font-style:italic;\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(buildStyleForParagraph(c.paragraph, c.font, c.percentage, c.indent), c.style);
    EXPECT_EQ(buildSpanStringForFont(Font("Helvetica", 12), 100),
              "<span style=\"font-size:12pt;font-family:Helvetica;font-weight:normal;\">");
    const struct
    {
        int alignment;
        const char *name;
    } alignments[] = {{LeftTextAlignment, "left"},     {RightTextAlignment, "right"},
                      {CenterTextAlignment, "center"}, {JustifiedTextAlignment, "justify"},
                      {NaturalTextAlignment, ""},      {17, ""}};
    for (const auto &a : alignments)
        EXPECT_EQ(stringForAlignment(a.alignment), a.name);
}

TEST(HTMLExport, EmptyTexts)
{
    EXPECT_EQ(fragment(AttributedString()), "");
    QTemporaryDir dir;
    const QString path = dir.filePath("page.html");
    ASSERT_TRUE(exportHTMLToPath(AttributedString(), path, "pre", 100));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "<html><head></head><body><br>\n<br>\n</body></html>");
}

TEST(HTMLExport, DivisionsFollowParagraphChanges)
{
    AttributedString text(QStringLiteral("one\r\ntwo\rthree") + QChar(0x2028) + "four");
    text.addAttribute(NSParagraphStyleAttributeName, paragraph(LeftTextAlignment), {0, 9});
    text.addAttribute(NSFontAttributeName, font("Helvetica", 12), {5, 3});
    text.addAttribute(NSParagraphStyleAttributeName, paragraph(RightTextAlignment), {9, 10});
    EXPECT_EQ(fragment(text, nullptr, 3).toStdString(),
              "<div style=\"margin-left:3pt;text-indent:0pt;text-align:left;\">one<br>"
              "<span style=\"font-size:12pt;font-family:Helvetica;font-weight:normal;\">two"
              "</span><br></div>"
              "<div style=\"margin-left:3pt;text-indent:0pt;text-align:right;\">three<br>four"
              "</div>");
}

TEST(HTMLExport, MarkupAndScriptInTheTextArriveInert)
{
    AttributedString text(QStringLiteral("a<b>&\"c\" click safe"));
    text.addAttribute(NSLinkAttributeName, QVariant::fromValue(QUrl("javascript:alert(1)")),
                      {9, 5});
    text.addAttribute(NSLinkAttributeName, QStringLiteral("https://example.org/?a=1&b=\"2\""),
                      {15, 4});
    text.addAttribute(NSFontAttributeName, font("Evil\"Family", 12), {0, 1});
    EXPECT_EQ(fragment(text),
              "<div style=\"font-size:12pt;font-family:Evil&quot;Family;font-weight:normal;\">"
              "a&lt;b&gt;&amp;&quot;c&quot; click "
              "<a href=\"https://example.org/?a=1&amp;b=&quot;2&quot;\">safe</a></div>");
    const struct
    {
        const char *link;
        bool safe;
    } links[] = {{"https://a.example", true}, {"mailto:x@y.z", true},
                 {"notes/b.html", true},      {"javascript:alert(1)", false},
                 {" JavaScript:x", false},    {"data:text/html,<script>", false},
                 {"vbscript:x", false}};
    for (const auto &l : links)
        EXPECT_EQ(isSafeLink(QString::fromLatin1(l.link)), l.safe) << l.link;
}

TEST(HTMLExport, PageMarksBoldAndItalicAndWritesPictures)
{
    QTemporaryDir dir;
    AttributedString text(QStringLiteral("Bold plain xy"));
    text.addAttribute(NSFontAttributeName, font("Foo-BoldItalic", 13), {0, 4});
    text.replaceCharactersInRange({11, 1}, QString(QChar(0xfffc)));
    text.replaceCharactersInRange({12, 1}, QString(QChar(0xfffc)));
    text.addAttribute(NSAttachmentAttributeName, pictureAttachment(Qt::red), {11, 1});
    text.addAttribute(NSAttachmentAttributeName, pictureAttachment(Qt::blue), {12, 1});
    const QString path = dir.filePath("page.html");
    ASSERT_TRUE(exportHTMLToPath(text, path, "pic", 100));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(page.startsWith("<html><head></head><body><div style=\"font-size:13pt;"
                                "font-family:Foo;font-weight:bold;font-style:italic;\">"
                                "<font face=\"Foo\" size=\"+1\" ><b><i>Bold</i></b></font>"))
        << page.toStdString();
    const QStringList pictures = QDir(dir.path()).entryList({"pic_img_*.png"});
    ASSERT_EQ(pictures.size(), 2); // each its own name
    for (const QString &name : pictures) {
        EXPECT_TRUE(page.contains(QStringLiteral("<img src=\"%1\"/>").arg(name)));
        EXPECT_FALSE(QImage(dir.filePath(name)).isNull());
    }

    // The fragment hands its pictures over instead, each under a new name.
    QMap<QString, QByteArray> images;
    fragment(text, &images);
    EXPECT_EQ(images.size(), 2);
    for (auto it = images.cbegin(); it != images.cend(); ++it)
        EXPECT_TRUE(it.key().startsWith("pre_img_") && !QImage::fromData(it.value()).isNull());
}

TEST(HTMLExport, APictureThatCannotBeWrittenWritesNoPage)
{
    QTemporaryDir dir;
    AttributedString text(QString(QChar(0xfffc)));
    text.addAttribute(NSAttachmentAttributeName, pictureAttachment(Qt::red), {0, 1});
    const QString path = dir.filePath("missing/page.html");
    EXPECT_FALSE(exportHTMLToPath(text, path, "pic", 100));
    EXPECT_FALSE(QFile::exists(path));
}
