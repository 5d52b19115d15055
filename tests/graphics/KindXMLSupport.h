#pragma once

#include "graphics/TWGraphic.h"

#include <QByteArray>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace KindXML {

// A document whose root element a graphic is written into, or that is read
// from text.
struct Holder
{
    Holder()
    {
        doc = xmlNewDoc(BAD_CAST "1.0");
        container = xmlNewNode(nullptr, BAD_CAST "graphic");
        xmlDocSetRootElement(doc, container);
    }
    explicit Holder(const QByteArray &text)
    {
        doc = xmlReadMemory(text.constData(), int(text.size()), nullptr, nullptr, XML_PARSE_NONET);
        container = xmlDocGetRootElement(doc);
    }
    ~Holder() { xmlFreeDoc(doc); }
    Holder(const Holder &) = delete;
    Holder &operator=(const Holder &) = delete;
    QByteArray text() const
    {
        xmlBufferPtr buffer = xmlBufferCreate();
        xmlNodeDump(buffer, doc, container, 0, 0);
        QByteArray result(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                          xmlBufferLength(buffer));
        xmlBufferFree(buffer);
        return result;
    }
    xmlDocPtr doc = nullptr;
    xmlNodePtr container = nullptr;
};

inline QByteArray write(TWGraphic &graphic)
{
    Holder holder;
    graphic.addXmlDataToNode(holder.container);
    return holder.text();
}

inline std::shared_ptr<TWGraphic> read(const QByteArray &text, TWMapBranch *branch)
{
    Holder holder(text);
    return TWGraphic::graphicWithXMLNode(holder.container, holder.doc, branch);
}

template <class T> std::shared_ptr<T> roundTrip(TWGraphic &graphic, TWMapBranch *branch)
{
    return std::dynamic_pointer_cast<T>(read(write(graphic), branch));
}

// A "TWGraphic" element of the class with a graphic number and the children.
inline QByteArray element(const char *className, const QString &children)
{
    return QStringLiteral("<graphic><TWGraphic><class>%1</class><graphicNumber>7</graphicNumber>"
                          "%2</TWGraphic></graphic>")
        .arg(QLatin1String(className), children)
        .toUtf8();
}

} // namespace KindXML
