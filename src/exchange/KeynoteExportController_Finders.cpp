#include "exchange/KeynoteExportController.h"
#include "exchange/TWKeynoteXML.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

quint32 KeynoteExportController::s_counter = 0;

namespace {

// A namespace the root element itself declares under this prefix.
xmlNsPtr rootNamespace(xmlDocPtr doc, const char *prefix)
{
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root)
        return nullptr;
    for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next)
        if (ns->prefix && xmlStrEqual(ns->prefix, BAD_CAST prefix))
            return ns;
    return nullptr;
}

} // namespace

KeynoteNamespaces KeynoteNamespaces::forDocument(xmlDocPtr doc)
{
    return {rootNamespace(doc, "key"), rootNamespace(doc, "sf"), rootNamespace(doc, "sfa"),
            rootNamespace(doc, "xsi")};
}

namespace TWKeynoteXML {

xmlNodePtr addElement(xmlNodePtr parent, xmlNsPtr ns, const char *name)
{
    return xmlNewChild(parent, ns, BAD_CAST name, nullptr);
}

void setAttribute(xmlNodePtr node, xmlNsPtr ns, const char *name, const QString &value)
{
    const QByteArray bytes = XMLDetail::xmlTextBytes(value, BAD_CAST name);
    if (ns)
        xmlSetNsProp(node, ns, BAD_CAST name, BAD_CAST bytes.constData());
    else
        xmlSetProp(node, BAD_CAST name, BAD_CAST bytes.constData());
}

QString attribute(xmlNodePtr node, xmlNsPtr ns, const char *name)
{
    if (!node)
        return {};
    xmlChar *value =
        ns ? xmlGetNsProp(node, BAD_CAST name, ns->href) : xmlGetNoNsProp(node, BAD_CAST name);
    if (!value)
        return {};
    const QString result = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return result.isNull() ? QStringLiteral("") : result;
}

void addText(xmlNodePtr parent, const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = XMLDetail::xmlTextBytes(text, parent->name);
    xmlAddChild(parent, xmlNewDocTextLen(parent->doc, BAD_CAST bytes.constData(), bytes.size()));
}

QString orNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

} // namespace TWKeynoteXML

using TWKeynoteXML::orNull;

KeynoteExportController &KeynoteExportController::sharedExporter()
{
    static KeynoteExportController exporter;
    return exporter;
}

void KeynoteExportController::resetIds()
{
    m_slideNumber = 0;
    s_counter = 0;
}

QString KeynoteExportController::makeId(const char *kind, qint64 n)
{
    return QStringLiteral("TW%1-%2").arg(QLatin1String(kind)).arg(n);
}

QString KeynoteExportController::makeId(const char *kind, qint64 a, qint64 b)
{
    return QStringLiteral("TW%1-%2-%3").arg(QLatin1String(kind)).arg(a).arg(b);
}

xmlNodePtr KeynoteExportController::findNodeFromNode(xmlNodePtr node, const QString &type,
                                                     const QString &attribute,
                                                     const QString &prefix, const QString &value)
{
    auto logNoMatch = [&] {
        qWarning().noquote() << QStringLiteral(
                                    "Failed to find node matching type %1 where %2:%3 = %4")
                                    .arg(orNull(type), orNull(prefix), orNull(attribute),
                                         orNull(value));
    };
    if (!node || !node->doc || type.isEmpty()) {
        logNoMatch();
        return nullptr;
    }
    xmlDocPtr doc = node->doc;
    xmlXPathContextPtr context = TWXMLUtils::newContext(doc, node);
    if (!context)
        return nullptr;
    for (const char *p : {"key", "sfa", "sf"})
        if (xmlNsPtr ns = rootNamespace(doc, p))
            xmlXPathRegisterNs(context, ns->prefix, ns->href);

    const QByteArray query = ".//" + type.toUtf8();
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST query.constData(), context);
    xmlXPathFreeContext(context);

    const bool anyMatch = attribute.isNull() || prefix.isNull() || value.isNull();
    const QByteArray attributeName = attribute.toUtf8();
    const QByteArray prefixName = prefix.toUtf8();
    const QByteArray wanted = value.toUtf8();
    xmlNodePtr found = nullptr;
    bool namespaceMissing = false;
    if (result && result->nodesetval) {
        xmlNodeSetPtr nodes = result->nodesetval;
        for (int i = 0; i < nodes->nodeNr && !found && !namespaceMissing; ++i) {
            xmlNodePtr match = nodes->nodeTab[i];
            if (match->type != XML_ELEMENT_NODE)
                continue;
            if (anyMatch) {
                found = match;
                break;
            }
            xmlNsPtr ns = xmlSearchNs(doc, match, BAD_CAST prefixName.constData());
            if (!ns) {
                namespaceMissing = true;
                break;
            }
            xmlChar *v = xmlGetNsProp(match, BAD_CAST attributeName.constData(), ns->href);
            if (v && xmlStrEqual(v, BAD_CAST wanted.constData()))
                found = match;
            xmlFree(v);
        }
    }
    xmlXPathFreeObject(result);
    if (namespaceMissing) {
        qWarning().noquote()
            << QStringLiteral(
                   "Failed to find namespace %1 for search matching type %2 where %3:%4 = %5")
                   .arg(orNull(prefix), orNull(type), orNull(prefix), orNull(attribute),
                        orNull(value));
        return nullptr;
    }
    if (!found)
        logNoMatch();
    return found;
}

QString KeynoteExportController::findValueOfPropertyNamed(
    const QString &property, const QString &propertyPrefix, xmlNodePtr node, const QString &type,
    const QString &attribute, const QString &prefix, const QString &value)
{
    const QString where = QStringLiteral("%1 where %2:%3 = %4")
                              .arg(orNull(type), orNull(prefix), orNull(attribute), orNull(value));
    xmlNodePtr found = findNodeFromNode(node, type, attribute, prefix, value);
    if (!found) {
        qWarning().noquote() << QStringLiteral("Failed to find node of type %1").arg(where);
        return QStringLiteral("");
    }
    xmlNsPtr ns = rootNamespace(found->doc, propertyPrefix.toUtf8().constData());
    if (!ns) {
        qWarning().noquote() << QStringLiteral(
                                    "Failed to find namespace %1 in returned node matching type %2")
                                    .arg(orNull(propertyPrefix), where);
        return QStringLiteral("");
    }
    const QString result = TWKeynoteXML::attribute(found, ns, property.toUtf8().constData());
    if (result.isNull()) {
        qWarning().noquote() << QStringLiteral(
                                    "Failed to find %1:%2 in returned node matching type %3")
                                    .arg(orNull(propertyPrefix), orNull(property), where);
        return QStringLiteral("");
    }
    return result;
}
