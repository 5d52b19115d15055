#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

#include <libxml/tree.h>

class TWGraphic;
class TWMapBranch;
class XMLOut;

// One of a branch's small graphics inside its shape: an adornment picture
// dropped on the branch (kept with its name and the path it came from) or,
// under the name "outlineNumberKey", the outline-number label.
class TWEnclosedGraphic
{
public:
    TWEnclosedGraphic(QString name, std::optional<QString> path, std::shared_ptr<TWGraphic> graphic)
        : m_name(std::move(name)), m_path(std::move(path)), m_graphic(std::move(graphic))
    {}

    // A null string when the record has no name.
    const QString &name() const { return m_name; }
    const std::optional<QString> &path() const { return m_path; }
    const std::shared_ptr<TWGraphic> &graphic() const { return m_graphic; }
    void setGraphic(std::shared_ptr<TWGraphic> graphic) { m_graphic = std::move(graphic); }

    // Appends a "TWEnclosedGraphic" element: "name" and "path" when not
    // empty, and "graphic" holding the graphic's own element.
    void addXmlDataToNode(xmlNodePtr parent, bool embeddingBinaryData = false) const;
    void writeXml(XMLOut &out, bool embeddingBinaryData = false) const;
    // Reads the element below `node`; the graphic is made by the graphic
    // factory for `branch` (none when the element has none or it is refused).
    static std::shared_ptr<TWEnclosedGraphic> initWithXMLNode(xmlNodePtr node, xmlDocPtr doc,
                                                              TWMapBranch *branch);
    // The record of an old property-list document: "name", "path" (empty
    // when absent) and "graphic", read by the old-format factory.
    static std::shared_ptr<TWEnclosedGraphic>
    loadFromOldStyleDictionary(const QVariantMap &dictionary, TWMapBranch *branch);

private:
    QString m_name;
    std::optional<QString> m_path;
    std::shared_ptr<TWGraphic> m_graphic;
};
