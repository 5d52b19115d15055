#pragma once

#include "TWMapsDocTestSupport.h"
#include "model/TWRecordSupport.h"
#include "platform/NotificationCenter.h"
#include "support/XMLElement.h"

#include <QStringList>
#include <functional>

namespace RecordTest {

// The keys a record announced as changed, in order.
class ChangeRecorder
{
public:
    explicit ChangeRecorder(const void *record)
        : m_token(NotificationCenter::defaultCenter().observe(
              TWRecord::ValueDidChangeNotification, record, [this](const Notification &n) {
                  keys.append(n.userInfo.value(TWRecord::KeyKey).toString());
              }))
    {}
    QStringList keys;

private:
    ObserverToken m_token;
};

// What a libxml2-route writer appends under a holder element, as text.
inline QByteArray writtenUnder(const char *holder, const std::function<void(xmlNodePtr)> &write)
{
    const XMLElement element = XMLElement::create(holder);
    write(element.node());
    return element.xmlString();
}

// Runs a libxml2-route reader on the holder element of this XML text.
template <class Read> auto readFrom(const QByteArray &xml, Read &&read)
{
    const XMLElement holder = XMLElement::parse(xml);
    return read(holder.node(), holder.doc());
}

} // namespace RecordTest
