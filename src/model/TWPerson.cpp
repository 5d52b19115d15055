#include "model/TWPerson.h"
#include "model/TWRecordSupport.h"
#include "support/TWXMLUtils.h"

#include <QDebug>

TWPerson::TWPerson(const std::optional<QString> &firstName, const std::optional<QString> &lastName,
                   const std::optional<QString> &password, const std::optional<QString> &screenName,
                   const std::optional<QString> &email)
    : m_firstName(firstName), m_lastName(lastName), m_password(password), m_screenName(screenName),
      m_email(email)
{}

void TWPerson::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "TWPerson");
    // An empty text reads back as none, so it is written as none.
    const auto text = [](const std::optional<QString> &value) {
        return value && !value->isEmpty() ? *value : QString();
    };
    TWXMLUtils::addTextChild(node, "firstName", text(m_firstName));
    TWXMLUtils::addTextChild(node, "lastName", text(m_lastName));
    const auto optional = [node](const char *name, const std::optional<QString> &value) {
        if (value && !value->isEmpty())
            TWXMLUtils::addTextChild(node, name, *value);
    };
    optional("password", m_password);
    optional("screenName", m_screenName);
    optional("email", m_email);
}

std::optional<TWPerson> TWPerson::initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.node("TWPerson"))
        return std::nullopt;
    const auto text = [&reader](const char *path) -> std::optional<QString> {
        std::optional<QString> value = reader.text(path);
        if (value && value->isEmpty())
            return std::nullopt;
        return value;
    };
    return TWPerson(text("TWPerson/firstName"), text("TWPerson/lastName"),
                    text("TWPerson/password"), text("TWPerson/screenName"), text("TWPerson/email"));
}

XMLElement TWPerson::freshXMLElement() const
{
    return TWRecord::elementFromNodeWriter([this](xmlNodePtr parent) { addXmlDataToNode(parent); });
}

std::optional<TWPerson> TWPerson::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull() || element.name() != QLatin1String("TWPerson")) {
        if (!element.isNull())
            qWarning().noquote() << "TWPerson: cannot read a" << element.name() << "element";
        return std::nullopt;
    }
    std::optional<TWPerson> person;
    TWRecord::readElementWithNodeReader(element, [&person](xmlNodePtr parent, xmlDocPtr doc) {
        person = initWithXMLNode(parent, doc);
    });
    return person;
}
