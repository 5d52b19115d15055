#include "model/TWRecordSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/XMLArena.h"

namespace TWRecord {

void postValueDidChange(const void *record, const QString &key)
{
    // Most changes go unwatched (an import makes thousands): nothing is
    // built for a notification no one could receive.
    static const ObservedName heard(ValueDidChangeNotification);
    if (!heard())
        return;
    NotificationCenter::defaultCenter().post(ValueDidChangeNotification, record, {{KeyKey, key}});
}

// --- ChildWriter ---

ChildWriter::ChildWriter(XMLElement element) : m_element(std::move(element)) {}

XMLElement ChildWriter::place(QAnyStringView name)
{
    XMLElement found;
    for (const XMLElement &child : m_element.elementsForName(name)) {
        if (found.isNull())
            found = child;
        else
            m_element.removeChild(child);
    }
    if (found.isNull()) {
        int index = 0;
        if (!m_last.isNull()) {
            for (XMLElement e = m_last; !e.isNull(); e = e.previousSiblingElement())
                ++index;
        }
        found = m_element.insertChild(XMLElement::create(name), index);
    }
    m_last = found;
    return found;
}

void ChildWriter::remove(QAnyStringView name)
{
    for (const XMLElement &child : m_element.elementsForName(name))
        m_element.removeChild(child);
}

void ChildWriter::text(QAnyStringView name, const std::optional<QString> &text)
{
    if (!text) {
        remove(name);
        return;
    }
    place(name).setStringValue(*text);
}

void ChildWriter::value(QAnyStringView name, XMLElement valueElement)
{
    if (valueElement.isNull()) {
        remove(name);
        return;
    }
    XMLElement holder = place(name);
    holder.setStringValue(QString());
    holder.addChild(std::move(valueElement));
}

// --- element helpers ---

XMLElement firstChild(const XMLElement &element, QAnyStringView name)
{
    const QList<XMLElement> children = element.elementsForName(name);
    return children.isEmpty() ? XMLElement() : children.first();
}

std::optional<QString> childText(const XMLElement &element, QAnyStringView name)
{
    const XMLElement child = firstChild(element, name);
    if (child.isNull())
        return std::nullopt;
    QString text = child.stringValue();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

XMLElement elementFromNodeWriter(const std::function<void(xmlNodePtr parent)> &write)
{
    const XMLElement holder = XMLElement::create("XMLObj");
    write(holder.node());
    return holder.firstChildIfElement().copy();
}

void readElementWithNodeReader(const XMLElement &element,
                               const std::function<void(xmlNodePtr parent, xmlDocPtr doc)> &read)
{
    XMLElement holder = XMLElement::create("XMLObj");
    if (!element.isNull())
        holder.addChild(element.copy());
    read(holder.node(), holder.doc());
}

void appendElementCopy(xmlNodePtr parent, const XMLElement &element)
{
    if (!parent || element.isNull())
        return;
    xmlNodePtr copy = xmlDocCopyNode(element.node(), parent->doc, 1);
    if (!copy)
        return;
    XMLDetail::clearHandleCounts(copy);
    xmlAddChild(parent, copy);
}

XMLElement elementCopyOfNode(xmlNodePtr node)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return XMLElement();
    const XMLElement holder = XMLElement::create("XMLObj");
    xmlNodePtr copy = xmlDocCopyNode(node, holder.doc(), 1);
    if (!copy)
        return XMLElement();
    XMLDetail::clearHandleCounts(copy);
    xmlAddChild(holder.node(), copy);
    return holder.elementForNode(copy).copy();
}

bool isReplaying(const UndoManager *manager)
{
    return manager && (manager->isUndoing() || manager->isRedoing());
}

} // namespace TWRecord
