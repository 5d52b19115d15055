#include "exchange/HTMLExport.h"

#include "support/TextAttachment.h"
#include "support/TextTab.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

namespace HTMLExport {

namespace {

int scaled(double value, int percentage)
{
    return int(value * percentage / 100.0);
}

bool nameHas(const Font &font, const char *word)
{
    return font.fontName().contains(QLatin1String(word), Qt::CaseInsensitive);
}

// A font missing here is named by its PostScript name's family part.
QString familyOf(const Font &font)
{
    const QString family = font.familyName();
    return family.isEmpty() ? font.fontName().section(QLatin1Char('-'), 0, 0) : family;
}

QString fontDeclarations(const Font &font, int percentage)
{
    QString out = QStringLiteral("font-size:%1pt;").arg(scaled(font.pointSize(), percentage));
    out += QStringLiteral("font-family:%1;").arg(escaped(familyOf(font)));
    out += nameHas(font, "bold") ? QStringLiteral("font-weight:bold;")
                                 : QStringLiteral("font-weight:normal;");
    if (nameHas(font, "italic"))
        out += QStringLiteral("font-style:italic;");
    if (nameHas(font, "oblique"))
        out += QStringLiteral("font-style:oblique;");
    return out;
}

std::optional<Font> runFont(const TextAttributes &attributes)
{
    const QVariant v = attributes.value(NSFontAttributeName);
    if (!v.canConvert<Font>() || v.value<Font>().isNull())
        return std::nullopt;
    return v.value<Font>();
}

std::optional<ParagraphStyle> runParagraph(const TextAttributes &attributes)
{
    const QVariant v = attributes.value(NSParagraphStyleAttributeName);
    if (!v.canConvert<ParagraphStyle>())
        return std::nullopt;
    return v.value<ParagraphStyle>();
}

std::optional<TextAttachment> runAttachment(const TextAttributes &attributes)
{
    const QVariant v = attributes.value(NSAttachmentAttributeName);
    if (!v.canConvert<TextAttachment>())
        return std::nullopt;
    return v.value<TextAttachment>();
}

QString runLink(const TextAttributes &attributes)
{
    const QVariant v = attributes.value(NSLinkAttributeName);
    if (v.canConvert<QUrl>() && v.userType() == QMetaType::QUrl)
        return v.toUrl().toString();
    return v.toString();
}

// A run opens a division when its paragraph differs from the division's in
// indents or alignment; a run without paragraph style is left-aligned at 0.
bool differs(const ParagraphStyle &kept, const std::optional<ParagraphStyle> &style)
{
    const double head = style ? style->headIndent : 0.0;
    const double first = style ? style->firstLineHeadIndent : 0.0;
    const QString align = style ? stringForAlignment(style->alignment) : QStringLiteral("left");
    return kept.headIndent != head || kept.firstLineHeadIndent != first ||
           stringForAlignment(kept.alignment) != align;
}

// The attachment's picture as PNG; empty when it holds none that decodes.
QByteArray pngOf(const TextAttachment &attachment)
{
    const auto &wrapper = attachment.fileWrapper();
    if (!wrapper || !wrapper->regularFileContents)
        return {};
    const QImage image = QImage::fromData(*wrapper->regularFileContents);
    if (image.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png;
}

// A picture number that names no picture taken before.
template <typename Taken> int freshNumber(Taken &&taken)
{
    for (;;) {
        const int n = int(QRandomGenerator::global()->bounded(1, std::numeric_limits<int>::max()));
        if (!taken(n))
            return n;
    }
}

void replaceBreaks(QString &html)
{
    html.replace(QChar(0x2028), QLatin1Char('\n'));
    html.replace(QChar(0x2029), QLatin1Char('\n'));
    html.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    html.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
}

QString runText(const AttributedString &text, AttributedString::Range range,
                const TextAttributes &attributes)
{
    const QString characters = escaped(text.string().mid(range.location, range.length));
    const QString link = runLink(attributes);
    if (link.isEmpty() || !isSafeLink(link))
        return characters;
    return QStringLiteral("<a href=\"%1\">").arg(escaped(link)) + characters +
           QStringLiteral("</a>");
}

} // namespace

QString stringForAlignment(int alignment)
{
    switch (alignment) {
    case LeftTextAlignment:
        return QStringLiteral("left");
    case RightTextAlignment:
        return QStringLiteral("right");
    case CenterTextAlignment:
        return QStringLiteral("center");
    case JustifiedTextAlignment:
        return QStringLiteral("justify");
    default:
        return QString();
    }
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

bool isSafeLink(const QString &link)
{
    const QUrl url(link.trimmed());
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme.isEmpty() || scheme == QLatin1String("http") ||
           scheme == QLatin1String("https") || scheme == QLatin1String("mailto") ||
           scheme == QLatin1String("ftp");
}

QString buildStyleForParagraph(const std::optional<ParagraphStyle> &paragraph,
                               const std::optional<Font> &font, int sizePercentage, int indentedBy)
{
    if (!paragraph && !font)
        return QString();
    QString out = QStringLiteral("style=\"");
    if (paragraph) {
        out += QStringLiteral("margin-left:%1pt;")
                   .arg(scaled(paragraph->headIndent, sizePercentage) + indentedBy);
        out += QStringLiteral("text-indent:%1pt;")
                   .arg(scaled(paragraph->firstLineHeadIndent - paragraph->headIndent,
                               sizePercentage));
        out += QStringLiteral("text-align:%1;").arg(stringForAlignment(paragraph->alignment));
    } else if (indentedBy != 0) {
        out += QStringLiteral("margin-left:%1pt;").arg(indentedBy);
    }
    if (font)
        out += fontDeclarations(*font, sizePercentage);
    out += QLatin1Char('"');
    return out;
}

QString buildSpanStringForFont(const Font &font, int sizePercentage)
{
    return QStringLiteral("<span style=\"") + fontDeclarations(font, sizePercentage) +
           QStringLiteral("\">");
}

QString buildFontStringForFont(const std::optional<Font> &font, int sizePercentage)
{
    if (!font)
        return QStringLiteral("<font>");
    const int s = scaled(font->pointSize(), sizePercentage);
    const char *size = s <= 9    ? "-3"
                       : s == 10 ? "-2"
                       : s == 11 ? "-1"
                       : s == 12 ? "+0"
                       : s <= 14 ? "+1"
                       : s <= 16 ? "+2"
                                 : "+3";
    return QStringLiteral("<font face=\"%1\" size=\"%2\" >")
        .arg(escaped(familyOf(*font)), QLatin1String(size));
}

bool exportHTMLFragmentToString(const AttributedString &text, QString &target,
                                QMap<QString, QByteArray> &images, const QString &imagePrefix,
                                int indentedBy)
{
    if (text.isEmpty())
        return true;
    std::optional<ParagraphStyle> kept;
    bool divisionOpen = false;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const AttributedString::Range range = text.runRange(run);
        const TextAttributes &attributes = text.runAttributes(run);
        const std::optional<ParagraphStyle> paragraph = runParagraph(attributes);
        const std::optional<Font> font = runFont(attributes);
        bool spanOpen = false;
        if (range.location == 0 || (paragraph && !kept) || (kept && differs(*kept, paragraph))) {
            if (divisionOpen)
                target += QStringLiteral("</div>");
            target += QStringLiteral("<div %1>")
                          .arg(buildStyleForParagraph(paragraph, font, 100, indentedBy));
            divisionOpen = true;
            kept = paragraph;
        } else if (font) {
            target += buildSpanStringForFont(*font, 100);
            spanOpen = true;
        }
        if (const std::optional<TextAttachment> attachment = runAttachment(attributes)) {
            const QByteArray png = pngOf(*attachment);
            if (!png.isEmpty()) {
                const int n = freshNumber([&](int k) {
                    return images.contains(QStringLiteral("%1_img_%2.png").arg(imagePrefix).arg(k));
                });
                const QString name = QStringLiteral("%1_img_%2.png").arg(imagePrefix).arg(n);
                images.insert(name, png);
                target += QStringLiteral("<img src=\"%1\"/>").arg(escaped(name));
            }
        } else {
            target += runText(text, range, attributes);
        }
        if (spanOpen)
            target += QStringLiteral("</span>");
    }
    replaceBreaks(target);
    target += QStringLiteral("</div>");
    return true;
}

bool exportHTMLToPath(const AttributedString &text, const QString &path, const QString &imagePrefix,
                      int /*sizePercentage*/)
{
    QString page = QStringLiteral("<html><head></head><body>");
    const QDir folder = QFileInfo(path).absoluteDir();
    if (!text.isEmpty()) {
        std::optional<ParagraphStyle> kept;
        bool divisionOpen = false;
        QSet<int> used;
        for (qsizetype run = 0; run < text.runCount(); ++run) {
            const AttributedString::Range range = text.runRange(run);
            const TextAttributes &attributes = text.runAttributes(run);
            const std::optional<ParagraphStyle> paragraph = runParagraph(attributes);
            const std::optional<Font> font = runFont(attributes);
            QString closing;
            auto openFont = [&] {
                page += buildFontStringForFont(font, 100);
                closing = QStringLiteral("</font>");
                if (font && nameHas(*font, "bold")) {
                    page += QStringLiteral("<b>");
                    closing.prepend(QStringLiteral("</b>"));
                }
                if (font && nameHas(*font, "italic")) {
                    page += QStringLiteral("<i>");
                    closing.prepend(QStringLiteral("</i>"));
                }
            };
            if (range.location == 0 || (paragraph && !kept) ||
                (kept && differs(*kept, paragraph))) {
                if (divisionOpen)
                    page += QStringLiteral("</div>");
                page +=
                    QStringLiteral("<div %1>").arg(buildStyleForParagraph(paragraph, font, 100, 0));
                divisionOpen = true;
                kept = paragraph;
                openFont();
            } else if (font) {
                openFont();
            }
            if (const std::optional<TextAttachment> attachment = runAttachment(attributes)) {
                const QByteArray png = pngOf(*attachment);
                if (!png.isEmpty()) {
                    auto fileName = [&](int k) {
                        return QStringLiteral("%1_img_%2.png").arg(imagePrefix).arg(k);
                    };
                    const int n = freshNumber([&](int k) {
                        return used.contains(k) || QFileInfo::exists(folder.filePath(fileName(k)));
                    });
                    used.insert(n);
                    QSaveFile file(folder.filePath(fileName(n)));
                    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() ||
                        !file.commit())
                        return false;
                    page += QStringLiteral("<img src=\"%1\"/>").arg(escaped(fileName(n)));
                }
            } else {
                page += runText(text, range, attributes);
            }
            page += closing;
        }
        replaceBreaks(page);
        page += QStringLiteral("</div>");
    }
    page += QStringLiteral("<br>\n<br>\n</body></html>");
    QSaveFile file(path);
    const QByteArray data = page.toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace HTMLExport
