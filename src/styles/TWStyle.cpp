#include "styles/TWStyle.h"

#include "graphics/TWGraphic.h"
#include "platform/TWLocalizedString.h"
#include "platform/Uuid.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/TWXMLProtocol.h"

namespace {

OrderedDictionary defaultGraphicGroup()
{
    const OrderedDictionary textAttributes{
        {NSFontAttributeName, QVariant::fromValue(Font(QStringLiteral("Helvetica"), 16))},
        {NSForegroundColorAttributeName, QVariant::fromValue(Color::blackColor())},
    };
    return OrderedDictionary{
        {QStringLiteral("applyFill"), true},
        {QStringLiteral("inheritsFill"), false},
        {QStringLiteral("drawsFill"), true},
        {QStringLiteral("fillColor"), QVariant::fromValue(Color::whiteColor())},
        {QStringLiteral("applyStroke"), true},
        {QStringLiteral("inheritsStroke"), false},
        {QStringLiteral("drawsStroke"), true},
        {QStringLiteral("strokeColor"), QVariant::fromValue(Color::blackColor())},
        {QStringLiteral("strokeStyle"), 1},
        {QStringLiteral("strokeWidth"), 1},
        {QStringLiteral("applyShadow"), false},
        {QStringLiteral("inheritsShadow"), true},
        {QStringLiteral("drawsShadow"), true},
        {QStringLiteral("shadowColor"), QVariant::fromValue(Color::blackColor())},
        {QStringLiteral("shadowBlurRadius"), 5.0f},
        {QStringLiteral("shadowOffsetWidth"), 5.0f},
        {QStringLiteral("shadowOffsetHeight"), -5.0f},
        {QStringLiteral("applyCorner"), true},
        {QStringLiteral("cornerMode"), 0},
        {QStringLiteral("cornerAmount"), 20},
        {QStringLiteral("applyFont"), false},
        {QStringLiteral("stringAttributes"), QVariant::fromValue(textAttributes)},
    };
}

OrderedDictionary defaultMapGroup()
{
    return OrderedDictionary{
        {QStringLiteral("applyBackground"), true},
        {QStringLiteral("backgroundColor"), QVariant::fromValue(Color::whiteColor())},
        {QStringLiteral("backgroundImageTileMode"), 0},
        {QStringLiteral("backgroundImageOpacity"), 1.0f},
        {QStringLiteral("backgroundImageOffsetX"), 0.0f},
        {QStringLiteral("backgroundImageOffsetY"), 0.0f},
        {QStringLiteral("applyColoring"), true},
        {QStringLiteral("graphicColoringMode"), 1},
        {QStringLiteral("rainbowSaturation"), 0.8f},
        {QStringLiteral("rainbowAngle"), 0.0f},
        {QStringLiteral("applyAutolayout"), false},
        {QStringLiteral("layoutAssistanceMode"), 2},
        {QStringLiteral("firstLevelSpacing"), 100},
        {QStringLiteral("interChildSpacing"), 30},
        {QStringLiteral("repelDistance"), 10},
        {QStringLiteral("applyOutlineNumbering"), false},
        {QStringLiteral("showOutlineNumbers"), false},
        {QStringLiteral("orderingMode"), 1},
        {QStringLiteral("outlineNumbersToLevel"), 0},
        {QStringLiteral("outlineFormatSettings"), QVariantList()},
        {QStringLiteral("childOutlineNumberingTopDown"), false},
    };
}

} // namespace

TWStyle::TWStyle(int type)
    : m_name(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New Style"))),
      m_identifier(newUUIDString()), m_type(type)
{
    if (type == GraphicStyle) {
        m_properties.setValue(GraphicGroup, QVariant::fromValue(defaultGraphicGroup()));
        m_properties.setValue(BranchGroup, QVariant::fromValue(OrderedDictionary()));
    } else if (type == MapStyle) {
        m_properties.setValue(MapGroup, QVariant::fromValue(defaultMapGroup()));
    }
}

std::shared_ptr<TWStyle> TWStyle::create(int type)
{
    return std::make_shared<TWStyle>(type);
}

std::shared_ptr<TWStyle> TWStyle::createWithContentsOfFile(const QString &path)
{
    const std::optional<OrderedDictionary> dictionary =
        OrderedDictionary::dictionaryWithContentsOfXMLFile(path);
    if (!dictionary)
        return nullptr;
    return createWithProperties(*dictionary);
}

std::shared_ptr<TWStyle> TWStyle::createWithProperties(const OrderedDictionary &properties)
{
    auto style = std::make_shared<TWStyle>(-1);
    style->setProperties(properties);
    OrderedDictionary &p = style->m_properties;
    style->m_type = p.value(TypeKey).toInt();
    style->m_name = p.value(NameKey).toString();
    style->m_identifier = p.value(IDKey).toString();
    p.remove(TypeKey);
    p.remove(NameKey);
    p.remove(IDKey);
    return style;
}

std::shared_ptr<TWStyle> TWStyle::copy() const
{
    auto style = std::make_shared<TWStyle>(-1);
    style->m_name = m_name;
    style->m_identifier = m_identifier;
    style->m_properties = m_properties;
    style->m_custom = m_custom;
    style->m_type = m_type;
    return style;
}

void TWStyle::setProperties(const OrderedDictionary &properties)
{
    m_properties = properties;
    OrderedDictionary graphic = group(GraphicGroup);
    const std::optional<OrderedDictionary> attributes =
        OrderedDictionary::fromVariant(graphic.value(QStringLiteral("stringAttributes")));
    if (attributes &&
        attributes->value(NSParagraphStyleAttributeName).typeId() == QMetaType::QString) {
        OrderedDictionary cleaned = *attributes;
        cleaned.remove(NSParagraphStyleAttributeName);
        graphic.setValue(QStringLiteral("stringAttributes"), QVariant::fromValue(cleaned));
        setGroup(GraphicGroup, graphic);
    }
}

OrderedDictionary TWStyle::group(const QString &name) const
{
    return OrderedDictionary::fromVariant(m_properties.value(name)).value_or(OrderedDictionary());
}

void TWStyle::setGroup(const QString &name, const OrderedDictionary &group)
{
    m_properties.setValue(name, QVariant::fromValue(group));
}

QVariant TWStyle::value(const QString &groupName, const QString &key) const
{
    return group(groupName).value(key);
}

void TWStyle::setValue(const QString &groupName, const QString &key, const QVariant &value)
{
    OrderedDictionary g = group(groupName);
    g.setValue(key, value);
    setGroup(groupName, g);
}

bool TWStyle::flag(const QString &groupName, const QString &key) const
{
    return value(groupName, key).toBool();
}

OrderedDictionary TWStyle::fullProperties() const
{
    OrderedDictionary full = m_properties;
    full.setValue(TypeKey, m_type);
    full.setValue(NameKey, m_name);
    full.setValue(IDKey, m_identifier);
    full.setValue(VersionKey, Version);
    return full;
}

bool TWStyle::writeToFile(const QString &path) const
{
    return fullProperties().writeToXMLFile(path);
}

void TWStyle::updatePropertiesToMatchStyle(const TWStyle &other)
{
    if (m_type != GraphicStyle)
        return;
    OrderedDictionary mine = group(GraphicGroup);
    const OrderedDictionary theirs = other.group(GraphicGroup);
    for (const QString &key : TWGraphic::styleKeys()) {
        if (theirs.contains(key))
            mine.setValue(key, theirs.value(key));
        else
            mine.remove(key);
    }
    setGroup(GraphicGroup, mine);
}

XMLElement TWStyle::freshXMLElement() const
{
    XMLElement element = XMLElement::create(ElementName);
    element.appendChildElement(NameKey).setStringValue(m_name);
    element.appendChildElement(IDKey).setStringValue(m_identifier);
    element.appendChildElement(TypeKey).setStringValue(QString::number(m_type));
    element.appendChildElement(VersionKey).setStringValue(Version);
    element.appendChildElement(QStringLiteral("properties"))
        .addChild(m_properties.freshXMLElement());
    return element;
}

std::shared_ptr<TWStyle> TWStyle::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    auto style = std::make_shared<TWStyle>(element.intForPath(TypeKey));
    style->m_name = element.stringForPath(NameKey).value_or(QString());
    style->m_identifier = element.stringForPath(IDKey).value_or(QString());
    const XMLElement properties =
        element.elementForName(QStringLiteral("properties")).firstChildIfElement();
    style->setProperties(
        OrderedDictionary::objectWithXMLElement(properties).value_or(OrderedDictionary()));
    return style;
}

namespace TWStyleXML {

bool registerStyleClass()
{
    TWXMLProtocol::ClassInfo info;
    info.elementName = TWStyle::ElementName;
    info.metaType = QMetaType::fromType<TWStylePointer>();
    info.freshXMLElement = [](const QVariant &v) {
        const TWStylePointer style = v.value<TWStylePointer>();
        return style ? style->freshXMLElement() : XMLElement();
    };
    info.objectWithXMLElement = [](const XMLElement &e) {
        TWStylePointer style = TWStyle::objectWithXMLElement(e);
        return style ? QVariant::fromValue(style) : QVariant();
    };
    // The parent-node route writes nothing for a style.
    info.addXmlDataToNode = [](const QVariant &, xmlNodePtr) {};
    return TWXMLProtocol::registerClass(info);
}

} // namespace TWStyleXML
