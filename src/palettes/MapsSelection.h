#pragma once

#include "interface/KeyValueBinding.h"
#include "platform/NotificationCenter.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TWMap;

// The maps picked in a document's map grid, seen as one object: a key reads
// the maps' common value, or the mixed marker when they disagree, and a set
// writes every picked map. Palettes and menus bind to it like to any model.
class MapsSelection : public KeyValueBindable
{
    Q_OBJECT

public:
    using MapList = std::vector<std::shared_ptr<TWMap>>;

    // The value of a key the picked maps disagree on (none: nothing picked).
    static QVariant mixedMarker();
    static bool isMixed(const QVariant &value);
    // For tri-state controls: the marker becomes -1, a boolean 0 or 1.
    static QVariant mixedAsMinusOne(const QVariant &value);

    // The model's chains the palettes follow from a document's maps document
    // ("currentMap", "zoomAmount", "countOfSelectedGraphics").
    static void registerKeyPathLinks();

    explicit MapsSelection(QObject *parent = nullptr);

    const MapList &maps() const { return m_maps; }
    void setMaps(const MapList &maps);

    // The view options of a map, in the order the View Options menu lists them.
    static const QStringList &viewOptionKeys();

    QVariant valueForKey(const QString &key) const override;
    // A mixed or invalid value changes nothing; -1 (a mixed control clicked)
    // turns the option on everywhere.
    void setValueForKey(const QVariant &value, const QString &key) override;
    // Flips a boolean key: on everywhere unless every map has it on.
    void toggle(const QString &key);

private:
    MapList m_maps;
};
