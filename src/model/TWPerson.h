#pragma once

#include "support/XMLElement.h"

#include <QString>
#include <optional>

#include <libxml/tree.h>

// A person who made tracked changes, as maps imported from other programs
// name them. The password is kept as the file gives it, because stored files
// carry it; it is never logged.
class TWPerson
{
public:
    TWPerson() = default;
    TWPerson(const std::optional<QString> &firstName, const std::optional<QString> &lastName,
             const std::optional<QString> &password, const std::optional<QString> &screenName,
             const std::optional<QString> &email);

    const std::optional<QString> &firstName() const { return m_firstName; }
    const std::optional<QString> &lastName() const { return m_lastName; }
    const std::optional<QString> &password() const { return m_password; }
    const std::optional<QString> &screenName() const { return m_screenName; }
    const std::optional<QString> &email() const { return m_email; }

    // <TWPerson>: firstName and lastName always (empty when not set), then
    // password, screenName and email when set and not empty.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // `parent` holds the <TWPerson> element; nothing without one. A child
    // that is missing or empty leaves its field unset.
    static std::optional<TWPerson> initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    XMLElement freshXMLElement() const;
    static std::optional<TWPerson> objectWithXMLElement(const XMLElement &element);

    friend bool operator==(const TWPerson &, const TWPerson &) = default;

private:
    std::optional<QString> m_firstName;
    std::optional<QString> m_lastName;
    std::optional<QString> m_password;
    std::optional<QString> m_screenName;
    std::optional<QString> m_email;
};
