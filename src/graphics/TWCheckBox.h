#pragma once

#include "graphics/TWGraphic.h"

#include <libxml/tree.h>

namespace TWXMLUtils {
class XPathReader;
}

// A graphic that records a check state, with an optional mixed state. It
// comes only from documents and pasted XML.
class TWCheckBox : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWCheckBox"); }

    int state() const { return m_state; }
    // Undoable; no notification.
    void setState(int state);
    bool threeState() const { return m_threeState; }
    void setThreeState(bool threeState);

protected:
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    int m_state = 0;
    bool m_threeState = false;
};
