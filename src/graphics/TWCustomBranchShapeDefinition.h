#pragma once

#include "support/BezierPath.h"

#include <QString>
#include <memory>
#include <optional>

#include <libxml/tree.h>

// A named outline for custom-shaped branches.
class TWCustomBranchShapeDefinition
{
public:
    TWCustomBranchShapeDefinition(QString shapeName, std::optional<BezierPath> outlinePath)
        : m_shapeName(std::move(shapeName)), m_outlinePath(std::move(outlinePath))
    {}

    const QString &shapeName() const { return m_shapeName; }
    const std::optional<BezierPath> &outlinePath() const { return m_outlinePath; }

    // Appends a "TWCustomBranchShapeDefinition" element to `parent`.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Reads the element below `node`. Nothing (and a log line) without a
    // shape name; a missing outline reads as none.
    static std::shared_ptr<TWCustomBranchShapeDefinition> initWithXMLNode(xmlNodePtr node,
                                                                          xmlDocPtr doc);

    // The definitions custom shapes look their outline up in, by name.
    static void
    registerDefinition(const std::shared_ptr<TWCustomBranchShapeDefinition> &definition);
    static void unregisterDefinition(const QString &shapeName);
    static std::shared_ptr<TWCustomBranchShapeDefinition> definitionNamed(const QString &shapeName);

private:
    QString m_shapeName;
    std::optional<BezierPath> m_outlinePath;
};
