#include "model/TWHyperlink.h"
#include "model/TWRecordSupport.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "support/TWXMLUtils.h"

#include <QDebug>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString LinkTypeKey = QStringLiteral("linkType");
const QString LinkURLKey = QStringLiteral("linkURL");
const QString LinkArgKey = QStringLiteral("linkArg");
const QString LinkArg2Key = QStringLiteral("linkArg2");
const QString LinkColorKey = QStringLiteral("linkColor");
const QString TtIdKey = QStringLiteral("ttId");

QVariant textVariant(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : QVariant();
}

// Subject and body count only when they say something.
bool hasContent(const std::optional<QString> &text)
{
    return text && !text->trimmed().isEmpty();
}

// Everything but the unreserved characters is escaped, so that "&", "=",
// "?", "#" and "+" stay inside the value they belong to.
QString percentEncoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// Mail bodies break their lines with CR LF.
QString withMailLineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return text;
}

} // namespace

TWHyperlink::TWHyperlink(int linkType, const std::optional<QString> &linkURL,
                         const std::optional<QString> &linkArg,
                         const std::optional<QString> &linkArg2,
                         const std::optional<Color> &linkColor)
    : m_linkType(linkType), m_linkURL(linkURL), m_linkArg(linkArg), m_linkArg2(linkArg2),
      m_linkColor(linkColor)
{}

void TWHyperlink::changed(const QString &key)
{
    TWRecord::postValueDidChange(this, key);
}

void TWHyperlink::setTtId(int ttId)
{
    if (ttId == m_ttId)
        return;
    m_ttId = ttId;
    changed(TtIdKey);
}

QVariant TWHyperlink::valueForKey(const QString &key) const
{
    if (key == LinkTypeKey)
        return m_linkType;
    if (key == LinkURLKey)
        return textVariant(m_linkURL);
    if (key == LinkArgKey)
        return textVariant(m_linkArg);
    if (key == LinkArg2Key)
        return textVariant(m_linkArg2);
    if (key == LinkColorKey)
        return m_linkColor ? QVariant::fromValue(*m_linkColor) : QVariant();
    if (key == TtIdKey)
        return m_ttId;
    qWarning().noquote() << "TWHyperlink: no key" << key;
    return {};
}

bool TWHyperlink::setValueForKey(const QVariant &value, const QString &key)
{
    const auto refuse = [&] {
        qWarning().noquote() << "TWHyperlink: value of type" << value.typeName()
                             << "refused for key" << key;
        return false;
    };
    if (key == LinkTypeKey || key == TtIdKey) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok)
            return refuse();
        if (key == TtIdKey) {
            setTtId(number);
        } else if (number != m_linkType) {
            m_linkType = number;
            changed(key);
        }
        return true;
    }
    std::optional<QString> *text = key == LinkURLKey    ? &m_linkURL
                                   : key == LinkArgKey  ? &m_linkArg
                                   : key == LinkArg2Key ? &m_linkArg2
                                                        : nullptr;
    if (text) {
        std::optional<QString> newText;
        if (value.isValid()) {
            if (value.metaType() != QMetaType::fromType<QString>())
                return refuse();
            newText = value.toString();
        }
        if (newText != *text) {
            *text = std::move(newText);
            changed(key);
        }
        return true;
    }
    if (key == LinkColorKey) {
        std::optional<Color> newColor;
        if (value.isValid()) {
            if (value.metaType() != QMetaType::fromType<Color>())
                return refuse();
            newColor = value.value<Color>();
        }
        if (newColor != m_linkColor) {
            m_linkColor = newColor;
            changed(key);
        }
        return true;
    }
    qWarning().noquote() << "TWHyperlink: cannot set key" << key;
    return false;
}

// --- icons ---

TWHyperlink::TintedIconRecipe TWHyperlink::tintedIconRecipe(Image image)
{
    const auto recipe = [](const char *background, const char *overlay, int r, int g, int b) {
        return TintedIconRecipe{QString::fromLatin1(background), QString::fromLatin1(overlay),
                                Color::colorWithDeviceRed(r / 255.0, g / 255.0, b / 255.0, 1.0)};
    };
    switch (image) {
    case Image::fileImage:
        return recipe("HyperlinkBGImage", "HyperlinkFileOverlayImage", 201, 226, 241);
    case Image::twURLImage:
        return recipe("HyperlinkBGImage", "HyperlinkTWURLOverlayImage", 201, 241, 215);
    case Image::twFileImage:
        return recipe("HyperlinkBGImage", "HyperlinkTWFileOverlayImage", 201, 226, 241);
    case Image::mailImage:
        return recipe("HyperlinkMailImage", "HyperlinkMailOverlayImage", 232, 203, 255);
    case Image::urlImage:
    default:
        // The desktop icons have no recipe; they fall back to the web link's.
        return recipe("HyperlinkBGImage", "HyperlinkURLOverlayImage", 232, 229, 168);
    }
}

TWHyperlink::Image TWHyperlink::iconForType(int linkType)
{
    switch (linkType) {
    case LocalFile:
        return Image::fileImage;
    case ThinkwebURL:
        return Image::twURLImage;
    case ThinkwebFile:
        return Image::twFileImage;
    case EMail:
        return Image::mailImage;
    default:
        return Image::urlImage;
    }
}

TWHyperlink::Icon TWHyperlink::icon() const
{
    switch (m_linkType) {
    case ThinkwebURL:
    case ThinkwebFile:
        return {Icon::Source::Picture, Image::thinkwebImage, {}};
    case EMail:
        return {Icon::Source::Picture, Image::emailImage, {}};
    case URL: {
        const QUrl url(m_linkURL.value_or(QString()), QUrl::StrictMode);
        if (!m_linkURL || !url.isValid() || !url.isLocalFile())
            return {Icon::Source::Picture, Image::webImage, {}};
        const QString path = url.toLocalFile();
        if (QFileInfo::exists(path))
            return {Icon::Source::FileIcon, Image::webImage, path};
        return {Icon::Source::EmptyFileTypeIcon, Image::webImage, {}};
    }
    default:
        return {Icon::Source::Picture, iconForType(m_linkType), {}};
    }
}

// --- texts ---

QString TWHyperlink::labelForType(int linkType)
{
    const char *label = "URL";
    switch (linkType) {
    case LocalFile:
        label = "Local File";
        break;
    case ThinkwebURL:
        label = "Thinkweb URL";
        break;
    case ThinkwebFile:
        label = "Thinkweb File";
        break;
    case EMail:
        label = "eMail";
        break;
    default:
        break;
    }
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(label));
}

QString TWHyperlink::toolTipString() const
{
    const QString label = labelForType(m_linkType);
    const QString url = m_linkURL.value_or(QString());
    if ((m_linkType == ThinkwebURL || m_linkType == ThinkwebFile) && m_linkArg &&
        !m_linkArg->isEmpty())
        return QStringLiteral("%1:\n%2\n-> %3").arg(label, url, *m_linkArg);
    return QStringLiteral("%1:\n%2").arg(label, url);
}

QString TWHyperlink::description() const
{
    const QString label = labelForType(m_linkType);
    const QString url = m_linkURL.value_or(QString());
    if ((m_linkType == ThinkwebURL || m_linkType == ThinkwebFile) && m_linkArg &&
        !m_linkArg->isEmpty())
        return QStringLiteral("%1: %2 -> %3").arg(label, url, *m_linkArg);
    return QStringLiteral("%1: %2").arg(label, url);
}

std::optional<QString> TWHyperlink::toolTipForBranch(const TWHyperlinkBranch *branch) const
{
    if (branch && branch->hidden())
        return std::nullopt;
    return toolTipString();
}

QString TWHyperlink::fullMailURL() const
{
    QStringList fields;
    if (hasContent(m_linkArg))
        fields << QStringLiteral("Subject=") + percentEncoded(*m_linkArg);
    if (hasContent(m_linkArg2))
        fields << QStringLiteral("body=") + percentEncoded(withMailLineBreaks(*m_linkArg2));
    const QString query = fields.join(u'&');
    return QStringLiteral("mailto:") + m_linkURL.value_or(QString()) +
           (query.isEmpty() ? QString() : QStringLiteral("?") + query);
}

// --- value operations ---

std::shared_ptr<TWHyperlink> TWHyperlink::copy() const
{
    auto link = std::make_shared<TWHyperlink>();
    link->m_linkURL = m_linkURL;
    link->m_linkArg = m_linkArg;
    link->m_linkArg2 = m_linkArg2;
    link->m_linkType = m_linkType;
    return link;
}

bool TWHyperlink::isEqual(const TWHyperlink &other) const
{
    return m_linkType == other.m_linkType && m_linkURL == other.m_linkURL &&
           m_linkArg == other.m_linkArg && m_linkArg2 == other.m_linkArg2 &&
           m_linkColor == other.m_linkColor;
}

void TWHyperlink::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "TWHyperlink");
    TWXMLUtils::addTextChild(node, "linkType", CFormat::d(m_linkType));
    const auto text = [node](const char *name, const std::optional<QString> &value) {
        if (value && !value->isEmpty())
            TWXMLUtils::addTextChild(node, name, *value);
    };
    text("linkURL", m_linkURL);
    text("linkArg", m_linkArg);
    text("linkArg2", m_linkArg2);
    if (m_linkColor)
        m_linkColor->addXmlDataToNode(TWXMLUtils::addElementChild(node, "linkColor"));
}

std::shared_ptr<TWHyperlink> TWHyperlink::initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    if (!parent)
        return nullptr;
    const TWXMLUtils::XPathReader reader(parent, doc);
    auto link = std::make_shared<TWHyperlink>();
    if (xmlNodePtr color = reader.node("TWHyperlink/linkColor"))
        link->m_linkColor = Color::colorWithXMLNode(color, doc);
    link->m_linkType = reader.intValue("TWHyperlink/linkType").value_or(LocalFile);
    const auto text = [&reader](const char *path) -> std::optional<QString> {
        std::optional<QString> value = reader.text(path);
        if (value && value->isEmpty())
            return std::nullopt;
        return value;
    };
    link->m_linkURL = text("TWHyperlink/linkURL");
    link->m_linkArg = text("TWHyperlink/linkArg");
    link->m_linkArg2 = text("TWHyperlink/linkArg2");
    return link;
}

XMLElement TWHyperlink::freshXMLElement() const
{
    return TWRecord::elementFromNodeWriter([this](xmlNodePtr parent) { addXmlDataToNode(parent); });
}

std::shared_ptr<TWHyperlink> TWHyperlink::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    if (element.name() != QLatin1String("TWHyperlink")) {
        qWarning().noquote() << "TWHyperlink: cannot read a" << element.name() << "element";
        return nullptr;
    }
    std::shared_ptr<TWHyperlink> link;
    TWRecord::readElementWithNodeReader(element, [&link](xmlNodePtr parent, xmlDocPtr doc) {
        link = initWithXMLNode(parent, doc);
    });
    return link;
}
