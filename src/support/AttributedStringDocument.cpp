#include "support/AttributedStringDocument.h"

#include "support/Color.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"
#include "support/QtTextAlignment.h"
#include "support/TextAttachment.h"

#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <cmath>

namespace AttributedStringDocument {

namespace {

const QChar kAttachmentCharacter(0xFFFC);

bool isParagraphSeparator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator;
}

std::optional<QColor> colorFor(const TextAttributes &attributes, const QString &key)
{
    const QVariant value = attributes.value(key);
    if (!value.canConvert<Color>() || value.userType() != qMetaTypeId<Color>())
        return std::nullopt;
    return value.value<Color>().toQColor();
}

int intFor(const TextAttributes &attributes, const QString &key)
{
    bool ok = false;
    const int number = attributes.value(key).toInt(&ok);
    return ok ? number : 0;
}

QFont qfontFor(const TextAttributes &attributes)
{
    static const Font defaultFont(QStringLiteral("Helvetica"), 12.0);
    const QVariant value = attributes.value(NSFontAttributeName);
    Font font = value.userType() == qMetaTypeId<Font>() ? value.value<Font>() : defaultFont;
    if (font.isNull())
        font = defaultFont;
    if (!(font.pointSize() > 0) || !std::isfinite(font.pointSize()))
        font = font.withSize(defaultFont.pointSize());
    QFont qfont = FontRegistry::shared().qfont(font);
    qfont.setHintingPreference(QFont::PreferNoHinting);
    return qfont;
}

// The installed face that a Qt font stands for, by family and traits.
Font fontFor(const QFont &qfont)
{
    const FontRegistry &registry = FontRegistry::shared();
    double size = qfont.pointSizeF();
    if (!(size > 0))
        size = qfont.pixelSize() > 0 ? qfont.pixelSize() : 12.0;
    FontRegistry::Traits wanted = FontRegistry::NoTrait;
    if (qfont.bold())
        wanted |= FontRegistry::BoldTrait;
    if (qfont.italic())
        wanted |= FontRegistry::ItalicTrait;
    const QStringList members = registry.availableMembersOfFontFamily(qfont.family());
    // Faces of normal width first: a family may hold condensed ones too.
    for (const bool normalWidthOnly : {true, false}) {
        for (const QString &name : members) {
            const FontRegistry::Traits traits =
                registry.traits(name) & (FontRegistry::BoldTrait | FontRegistry::ItalicTrait);
            const FontRegistry::Face *face = registry.face(name);
            if (traits == wanted && (!normalWidthOnly || (face && face->width == 100)))
                return Font(name, size);
        }
    }
    return Font(members.isEmpty() ? qfont.family() : members.first(), size);
}

QImage placeholderImage()
{
    QImage image(12, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, 11, 11);
    return image;
}

// The image format of an attachment, its picture added to the document.
QTextImageFormat imageFormat(QTextDocument &document, const TextAttributes &attributes)
{
    QString name;
    QImage image;
    const QString named = attributes.value(AttachmentImageNameAttributeName).toString();
    if (!named.isEmpty()) {
        name = named;
        image.load(QStringLiteral(":/images/%1.png").arg(named));
    } else {
        const TextAttachment attachment =
            attributes.value(NSAttachmentAttributeName).value<TextAttachment>();
        const QByteArray contents =
            attachment.fileWrapper() && attachment.fileWrapper()->isRegularFile()
                ? *attachment.fileWrapper()->regularFileContents
                : QByteArray();
        name = QStringLiteral("tw-attachment:") +
               QString::fromLatin1(
                   QCryptographicHash::hash(contents, QCryptographicHash::Sha1).toHex());
        image = QImage::fromData(contents);
    }
    if (image.isNull())
        image = placeholderImage();
    // Pictures are laid out in points, a pixel a point.
    image.setDevicePixelRatio(1.0);
    document.addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.merge(charFormat(attributes));
    format.setObjectType(QTextFormat::ImageObject);
    format.setName(name);
    format.setWidth(image.width());
    format.setHeight(image.height());
    format.setProperty(AttributesProperty, QVariant::fromValue(attributes));
    return format;
}

QTextBlockFormat blockFormat(const TextAttributes &attributes, QChar separator)
{
    QTextBlockFormat format;
    const QVariant value = attributes.value(NSParagraphStyleAttributeName);
    if (value.userType() == qMetaTypeId<ParagraphStyle>()) {
        const ParagraphStyle style = value.value<ParagraphStyle>();
        format.setAlignment(qtAlignment(style.alignment));
        auto finite = [](double v) { return std::isfinite(v) ? qreal(v) : 0.0; };
        format.setLeftMargin(finite(style.headIndent));
        format.setTextIndent(finite(style.firstLineHeadIndent - style.headIndent));
        format.setTopMargin(finite(style.paragraphSpacingBefore));
        format.setBottomMargin(finite(style.paragraphSpacing));
        if (style.lineSpacing > 0 && std::isfinite(style.lineSpacing))
            format.setLineHeight(style.lineSpacing, QTextBlockFormat::LineDistanceHeight);
        format.setProperty(ParagraphStyleProperty, value);
    }
    if (!separator.isNull())
        format.setProperty(SeparatorProperty, QString(separator));
    return format;
}

void insertRuns(QTextCursor &cursor, const AttributedString &text, qsizetype from, qsizetype to)
{
    QTextDocument &document = *cursor.document();
    qsizetype index = from;
    while (index < to) {
        AttributedString::Range run;
        const TextAttributes attrs = text.attributesAtIndex(index, &run, {index, to - index});
        const qsizetype end = std::min(run.end(), to);
        const QString piece = text.string().mid(index, end - index);
        const bool attachment = attrs.contains(NSAttachmentAttributeName) ||
                                attrs.contains(AttachmentImageNameAttributeName);
        if (!attachment) {
            cursor.insertText(piece, charFormat(attrs));
        } else {
            // Each replacement character shows the picture; others are text.
            qsizetype start = 0;
            for (qsizetype i = 0; i <= piece.size(); ++i) {
                if (i == piece.size() || piece.at(i) == kAttachmentCharacter) {
                    if (i > start)
                        cursor.insertText(piece.mid(start, i - start), charFormat(attrs));
                    if (i < piece.size())
                        cursor.insertText(QString(kAttachmentCharacter),
                                          imageFormat(document, attrs));
                    start = i + 1;
                }
            }
        }
        index = end;
    }
}

void insertImpl(QTextCursor &cursor, const AttributedString &text, bool styleFirstParagraph)
{
    const QString &string = text.string();
    qsizetype paragraphStart = 0;
    if (styleFirstParagraph) {
        const TextAttributes first =
            string.isEmpty() ? TextAttributes() : text.attributesAtIndex(0);
        cursor.setBlockFormat(blockFormat(first, QChar()));
        if (!string.isEmpty())
            cursor.setBlockCharFormat(charFormat(first));
    }
    for (qsizetype i = 0; i < string.size(); ++i) {
        if (!isParagraphSeparator(string.at(i)))
            continue;
        insertRuns(cursor, text, paragraphStart, i);
        const TextAttributes separator = text.attributesAtIndex(i);
        // The new paragraph takes its style from its first character, or from
        // the separator when it is empty.
        const TextAttributes next = i + 1 < string.size() && !isParagraphSeparator(string.at(i + 1))
                                        ? text.attributesAtIndex(i + 1)
                                        : separator;
        cursor.insertBlock(blockFormat(next, string.at(i)), charFormat(separator));
        paragraphStart = i + 1;
    }
    insertRuns(cursor, text, paragraphStart, string.size());
}

} // namespace

QTextCharFormat charFormat(const TextAttributes &attributes)
{
    QTextCharFormat format;
    format.setFont(qfontFor(attributes), QTextCharFormat::FontPropertiesAll);
    format.setForeground(colorFor(attributes, NSForegroundColorAttributeName).value_or(Qt::black));
    if (intFor(attributes, NSUnderlineStyleAttributeName)) {
        format.setFontUnderline(true);
        if (auto color = colorFor(attributes, NSUnderlineColorAttributeName))
            format.setUnderlineColor(*color);
    }
    if (intFor(attributes, NSStrikethroughStyleAttributeName))
        format.setFontStrikeOut(true);
    if (auto background = colorFor(attributes, NSBackgroundColorAttributeName))
        format.setBackground(*background);
    if (const int superscript = intFor(attributes, NSSuperscriptAttributeName))
        format.setVerticalAlignment(superscript > 0 ? QTextCharFormat::AlignSuperScript
                                                    : QTextCharFormat::AlignSubScript);
    const double kern = attributes.value(NSKernAttributeName).toDouble();
    if (std::isfinite(kern) && kern != 0) {
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(kern);
    }
    if (attributes.contains(NSLinkAttributeName)) {
        format.setAnchor(true);
        format.setAnchorHref(attributes.value(NSLinkAttributeName).toString());
    }
    format.setProperty(AttributesProperty, QVariant::fromValue(attributes));
    return format;
}

TextAttributes attributes(const QTextCharFormat &format)
{
    const QVariant kept = format.property(AttributesProperty);
    if (kept.userType() == qMetaTypeId<TextAttributes>())
        return kept.value<TextAttributes>();
    TextAttributes result;
    result.insert(NSFontAttributeName, QVariant::fromValue(fontFor(format.font())));
    if (format.foreground().style() != Qt::NoBrush)
        result.insert(NSForegroundColorAttributeName,
                      QVariant::fromValue(Color::fromQColor(format.foreground().color())));
    if (format.fontUnderline())
        result.insert(NSUnderlineStyleAttributeName, 1);
    if (format.fontStrikeOut())
        result.insert(NSStrikethroughStyleAttributeName, 1);
    if (format.background().style() != Qt::NoBrush)
        result.insert(NSBackgroundColorAttributeName,
                      QVariant::fromValue(Color::fromQColor(format.background().color())));
    return result;
}

bool isNamedImageAttachment(const TextAttributes &attributes, const QString &name)
{
    return attributes.value(AttachmentImageNameAttributeName).toString() == name;
}

void setDocumentText(QTextDocument &document, const AttributedString &text)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    insertImpl(cursor, text, true);
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

void insert(QTextCursor &cursor, const AttributedString &text)
{
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertImpl(cursor, text, false);
    cursor.endEditBlock();
}

AttributedString attributedString(const QTextDocument &document)
{
    AttributedString result;
    QString string;
    // Runs are gathered first and applied once: appending piece by piece
    // would merge runs after every piece.
    struct Piece
    {
        qsizetype start;
        qsizetype length;
        TextAttributes attributes;
    };
    QList<Piece> pieces;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            const QString separator = block.blockFormat().property(SeparatorProperty).toString();
            pieces.append({string.size(), 1, attributes(block.charFormat())});
            string += separator.isEmpty() ? QString(QLatin1Char('\n')) : separator.left(1);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QString text = fragment.text();
            pieces.append({string.size(), text.size(), attributes(fragment.charFormat())});
            string += text;
        }
    }
    result = AttributedString(string);
    for (const Piece &piece : std::as_const(pieces))
        if (piece.length > 0)
            result.setAttributes(piece.attributes, {piece.start, piece.length});
    return result;
}

AttributedString attributedString(const QTextDocument &document, int from, int to)
{
    const AttributedString whole = attributedString(document);
    from = std::clamp<int>(from, 0, int(whole.length()));
    to = std::clamp<int>(to, from, int(whole.length()));
    return whole.attributedSubstringFromRange({from, to - from});
}

} // namespace AttributedStringDocument
