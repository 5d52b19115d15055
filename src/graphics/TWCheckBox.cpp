#include "graphics/TWCheckBox.h"
#include "platform/CFormat.h"
#include "support/TWXMLUtils.h"
#include "support/XMLStreamWriter.h"

void TWCheckBox::setState(int state)
{
    if (state == m_state)
        return;
    const int old = m_state;
    registerInverse([old](TWGraphic &g) { static_cast<TWCheckBox &>(g).setState(old); });
    m_state = state;
}

void TWCheckBox::setThreeState(bool threeState)
{
    if (threeState == m_threeState)
        return;
    const bool old = m_threeState;
    registerInverse([old](TWGraphic &g) { static_cast<TWCheckBox &>(g).setThreeState(old); });
    m_threeState = threeState;
}

void TWCheckBox::addKindXmlData(XMLOut &out, bool)
{
    out.integerElement("state", m_state);
    out.boolElement("threeState", m_threeState);
}

bool TWCheckBox::readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr, xmlDocPtr)
{
    m_state = reader.intValue("state").value_or(0);
    m_threeState = reader.boolValue("threeState").value_or(false);
    return true;
}
