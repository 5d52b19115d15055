#include "support/AttributedStringDocument.h"

#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"
#include "support/TextAttachment.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace ASD = AttributedStringDocument;

namespace {

TextAttributes fontAttributes(const QString &name, double size)
{
    return {{NSFontAttributeName, QVariant::fromValue(Font(name, size))}};
}

QByteArray pngOfSize(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A label as documents hold it: two fonts (one not installed here), an exact
// colour, a centred paragraph, a picture and the named marker image.
AttributedString richText()
{
    AttributedString text(QStringLiteral("Big idea\rnext\uFFFC line\n\nend\uFFFC"));
    text.setAttributes(fontAttributes("Helvetica-Bold", 18), {0, 3});
    text.setAttributes(fontAttributes("NoSuchFont-Oblique", 11.5), {3, text.length() - 3});
    text.addAttribute(NSForegroundColorAttributeName,
                      QVariant::fromValue(Color::colorWithCalibratedRed(0.1234567, 0.5, 0.9, 0.75)),
                      {4, 4});
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    centred.paragraphSpacing = 6;
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred), {9, 11});
    TextAttachment picture(TextAttachment::FileWrapper::regularFile(pngOfSize(7, 5)));
    text.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(picture), {13, 1});
    text.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment()),
                      {text.length() - 1, 1});
    text.addAttribute(ASD::AttachmentImageNameAttributeName, QStringLiteral("zapMarker"),
                      {text.length() - 1, 1});
    return text;
}

} // namespace

TEST(AttributedStringDocument, TextRoundTripsWithItsAttributesAndSeparators)
{
    const AttributedString cases[] = {
        AttributedString(),
        AttributedString(QStringLiteral("plain")),
        AttributedString(QStringLiteral("\n")),
        AttributedString(QStringLiteral("a\r\nb\u2029c\u2028d"), fontAttributes("Courier", 9)),
        richText(),
    };
    for (const AttributedString &text : cases) {
        QTextDocument document;
        ASD::setDocumentText(document, text);
        EXPECT_EQ(ASD::attributedString(document), text) << text.string().toStdString();
        // Positions in the document are indexes of the text.
        EXPECT_EQ(document.characterCount() - 1, text.length());
    }
}

TEST(AttributedStringDocument, DocumentShowsFontsColoursParagraphsAndPictures)
{
    QTextDocument document;
    ASD::setDocumentText(document, richText());
    QTextCursor cursor(&document);
    cursor.setPosition(1);
    EXPECT_TRUE(cursor.charFormat().font().bold());
    EXPECT_EQ(cursor.charFormat().font().pointSizeF(), 18);
    cursor.setPosition(6);
    EXPECT_EQ(cursor.charFormat().foreground().color().alpha(), 191);
    EXPECT_EQ(cursor.charFormat().foreground().color().blue(), 230);

    const QTextBlock second = document.findBlockByNumber(1);
    EXPECT_EQ(second.text(), QStringLiteral("next\uFFFC line"));
    EXPECT_EQ(second.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(second.blockFormat().bottomMargin(), 6);
    EXPECT_EQ(document.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);

    cursor.setPosition(14);
    ASSERT_TRUE(cursor.charFormat().isImageFormat());
    const QTextImageFormat picture = cursor.charFormat().toImageFormat();
    EXPECT_EQ(picture.width(), 7);
    EXPECT_EQ(picture.height(), 5);
    EXPECT_EQ(document.resource(QTextDocument::ImageResource, QUrl(picture.name()))
                  .value<QImage>()
                  .pixelColor(0, 0),
              QColor(Qt::red));

    cursor.movePosition(QTextCursor::End);
    const QTextImageFormat marker = cursor.charFormat().toImageFormat();
    EXPECT_EQ(marker.name(), "zapMarker");
    EXPECT_FALSE(document.resource(QTextDocument::ImageResource, QUrl("zapMarker"))
                     .value<QImage>()
                     .isNull());
}

TEST(AttributedStringDocument, TypedAndInsertedTextTakesNeighbouringAttributes)
{
    QTextDocument document;
    const AttributedString label(QStringLiteral("ab"), fontAttributes("Helvetica", 14));
    ASD::setDocumentText(document, label);
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("c"); // as the editor types
    cursor.insertBlock();
    cursor.insertText("d");
    EXPECT_EQ(ASD::attributedString(document),
              AttributedString(QStringLiteral("abc\nd"), fontAttributes("Helvetica", 14)));

    // A piece replaces the selection, keeping its own attributes.
    cursor.setPosition(1);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    ASD::insert(cursor, AttributedString(QStringLiteral("X\nY"), fontAttributes("Courier", 9)));
    AttributedString expected(QStringLiteral("aX\nY\nd"), fontAttributes("Helvetica", 14));
    expected.setAttributes(fontAttributes("Courier", 9), {1, 3});
    EXPECT_EQ(ASD::attributedString(document), expected);
    EXPECT_EQ(cursor.position(), 4);
    EXPECT_EQ(ASD::attributedString(document, 1, 4).string(), QStringLiteral("X\nY"));
    EXPECT_EQ(ASD::attributedString(document, -5, 99), expected);
}

TEST(AttributedStringDocument, FormatsQtMadeMapToInstalledFontsAndColours)
{
    QTextCharFormat format;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(13);
    font.setBold(true);
    format.setFont(font);
    format.setForeground(QColor(255, 0, 0));
    format.setFontUnderline(true);
    const TextAttributes attrs = ASD::attributes(format);
    EXPECT_EQ(attrs.value(NSFontAttributeName).value<Font>(), Font("DejaVuSans-Bold", 13));
    EXPECT_EQ(attrs.value(NSForegroundColorAttributeName).value<Color>().toQColor(),
              QColor(Qt::red));
    EXPECT_EQ(attrs.value(NSUnderlineStyleAttributeName).toInt(), 1);
}
