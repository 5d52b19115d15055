#pragma once

#include "support/XMLDocument.h"
#include "support/XMLElement.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <optional>
#include <ostream>

// Readable gtest failure messages for Qt values.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QVariant &v, std::ostream *os)
{
    *os << v.typeName() << '(' << v.toString().toStdString() << ')';
}

// Collects log lines for the life of the object.
class LogCapture
{
public:
    LogCapture() : m_previous(qInstallMessageHandler(&handler)), m_outer(current())
    {
        current() = this;
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = m_outer;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QStringList &lines() const { return m_lines; }
    int count(const QString &line) const { return int(m_lines.count(line)); }
    bool contains(const QString &line) const { return m_lines.contains(line); }
    int containing(const QString &part) const { return int(m_lines.filter(part).size()); }
    void clear() { m_lines.clear(); }

private:
    static LogCapture *&current()
    {
        static LogCapture *instance = nullptr;
        return instance;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current())
            current()->m_lines.append(message);
    }

    QtMessageHandler m_previous;
    LogCapture *m_outer;
    QStringList m_lines;
};

namespace XMLTest {

// A one-line form of a tree: names, order and escaped texts exactly, no
// indentation.
inline QString compact(xmlNodePtr node)
{
    if (!node)
        return QStringLiteral("(null)");
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        xmlChar *text = xmlNodeGetContent(node);
        QString s = QString::fromUtf8(reinterpret_cast<const char *>(text));
        xmlFree(text);
        return s.replace('&', "&amp;")
            .replace('<', "&lt;")
            .replace('>', "&gt;")
            .replace('\r', "&#13;");
    }
    if (node->type != XML_ELEMENT_NODE)
        return QString();
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(node->name));
    if (!node->children)
        return "<" + name + "/>";
    QString inner;
    for (xmlNodePtr c = node->children; c; c = c->next)
        inner += compact(c);
    return "<" + name + ">" + inner + "</" + name + ">";
}

inline QString compact(const XMLElement &element)
{
    return compact(element.node());
}

// What a libxml2-route writer appends to an empty parent, in compact form.
template <class T> QString written(const T &value)
{
    XMLElement parent = XMLElement::create("parent");
    value.addXmlDataToNode(parent.node());
    QString inner;
    for (xmlNodePtr c = parent.node()->children; c; c = c->next)
        inner += compact(c);
    return inner;
}

// Hands the parent of innerXML to a libxml2-route reader.
template <class Reader> auto readFrom(const QString &innerXML, Reader reader)
{
    using Result = decltype(reader(nullptr, nullptr));
    const std::optional<XMLDocument> doc =
        XMLDocument::parse(("<parent>" + innerXML + "</parent>").toUtf8());
    EXPECT_TRUE(doc.has_value()) << innerXML.toStdString();
    return doc ? Result(reader(doc->rootElement().node(), doc->xmlDoc())) : Result();
}

// The element of an element-route reader, parsed from text.
inline XMLElement element(const QString &xml)
{
    XMLElement e = XMLElement::parse(xml.toUtf8());
    EXPECT_FALSE(e.isNull()) << xml.toStdString();
    return e;
}

} // namespace XMLTest
