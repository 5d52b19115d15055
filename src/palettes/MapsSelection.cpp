#include "palettes/MapsSelection.h"

#include "interface/KeyPathObserver.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"

#include <QHash>

namespace {

struct MapKey
{
    bool (TWMap::*get)() const;
    void (TWMap::*set)(bool);
};

const QHash<QString, MapKey> &mapKeys()
{
    static const QHash<QString, MapKey> keys{
        {"showOutlineNumbers", {&TWMap::showOutlineNumbers, &TWMap::setShowOutlineNumbers}},
        {"showAttachedGraphics", {&TWMap::showAttachedGraphics, &TWMap::setShowAttachedGraphics}},
        {"showBoundaries", {&TWMap::showBoundaries, &TWMap::setShowBoundaries}},
        {"showCheckboxes", {&TWMap::showCheckboxes, &TWMap::setShowCheckboxes}},
        {"showCollapseSign", {&TWMap::showCollapseSign, &TWMap::setShowCollapseSign}},
        {"showLinkLines", {&TWMap::showLinkLines, &TWMap::setShowLinkLines}},
        {"showPercentComplete", {&TWMap::showPercentComplete, &TWMap::setShowPercentComplete}},
        {"showPriorities", {&TWMap::showPriorities, &TWMap::setShowPriorities}},
    };
    return keys;
}

} // namespace

void MapsSelection::registerKeyPathLinks()
{
    KeyPathObserver::registerLink("currentMap",
                                  {[](const void *doc) {
                                       return KeyPathObserver::objectVariant(
                                           static_cast<const TWMapsDoc *>(doc)->currentMap().get());
                                   },
                                   {TWMapsDoc::UpdateMapTabsNotification}});
    KeyPathObserver::registerLink(
        "zoomAmount",
        {[](const void *map) { return QVariant(static_cast<const TWMap *>(map)->zoomAmount()); },
         {}});
    KeyPathObserver::registerLink(
        "countOfSelectedGraphics",
        {[](const void *map) {
             return QVariant(static_cast<const TWMap *>(map)->countOfSelectedGraphics());
         },
         {TWMap::SelectedGraphicsChangedNotification}});
}

QVariant MapsSelection::mixedMarker()
{
    return KeyValueBinders::multipleValuesMarker();
}

bool MapsSelection::isMixed(const QVariant &value)
{
    return KeyValueBinders::isMultipleValues(value);
}

QVariant MapsSelection::mixedAsMinusOne(const QVariant &value)
{
    return isMixed(value) ? QVariant(-1) : QVariant(int(value.toBool()));
}

MapsSelection::MapsSelection(QObject *parent) : KeyValueBindable(parent) {}

const QStringList &MapsSelection::viewOptionKeys()
{
    static const QStringList keys{"showOutlineNumbers", "showAttachedGraphics", "showBoundaries",
                                  "showCheckboxes",     "showCollapseSign",     "showLinkLines",
                                  "showPercentComplete"};
    return keys;
}

void MapsSelection::setMaps(const MapList &maps)
{
    m_maps = maps;
    for (const QString &key : mapKeys().keys())
        emit valueChanged(key);
}

QVariant MapsSelection::valueForKey(const QString &key) const
{
    const auto it = mapKeys().constFind(key);
    if (it == mapKeys().cend() || m_maps.empty())
        return {};
    const bool first = (m_maps.front().get()->*it->get)();
    for (const auto &map : m_maps)
        if ((map.get()->*it->get)() != first)
            return mixedMarker();
    return first;
}

void MapsSelection::setValueForKey(const QVariant &value, const QString &key)
{
    const auto it = mapKeys().constFind(key);
    if (it == mapKeys().cend() || !value.isValid() || isMixed(value))
        return;
    const bool on = value.toInt() != 0;
    for (const auto &map : m_maps)
        (map.get()->*it->set)(on);
    emit valueChanged(key);
}

void MapsSelection::toggle(const QString &key)
{
    const QVariant current = valueForKey(key);
    setValueForKey(isMixed(current) ? true : !current.toBool(), key);
}
