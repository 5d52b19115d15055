#include "model/TWResource.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/Uuid.h"

TWResource::TWResource() : m_element(XMLElement::create("TWResource"))
{
    m_element.setString(newUUIDString(), u"resourceIdentifier");
    m_element.setString(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New Resource")),
                        u"resourceName");
}

std::shared_ptr<TWResource> TWResource::objectWithXMLElement(const XMLElement &element)
{
    if (element.isNull())
        return nullptr;
    auto resource = std::make_shared<TWResource>();
    resource->m_element = element.copy();
    return resource;
}

std::shared_ptr<TWResource> TWResource::copy() const
{
    return objectWithXMLElement(m_element);
}

std::optional<QString> TWResource::resourceIdentifier() const
{
    const XMLElement child = m_element.elementForName(u"resourceIdentifier");
    if (child.isNull())
        return std::nullopt;
    return child.stringValue();
}

void TWResource::setResourceIdentifier(const std::optional<QString> &identifier)
{
    m_element.setString(identifier, u"resourceIdentifier");
}

QString TWResource::resourceName() const
{
    return m_element.stringForPath(u"resourceName").value_or(QString());
}

void TWResource::setResourceName(const QString &name)
{
    const QString old = resourceName();
    if (old == name)
        return;
    if (auto self = weak_from_this().lock())
        UndoManager::registerUndo(m_undoManager, [self, old] { self->setResourceName(old); });
    m_element.setString(name, u"resourceName");
}

XMLElement TWResource::freshXMLElement() const
{
    return m_element.copy();
}

bool TWResource::isEqual(const TWResource &other) const
{
    return m_element.xmlString() == other.m_element.xmlString();
}
