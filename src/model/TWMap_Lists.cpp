#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMapBranch.h"
#include "model/TWMap_Private.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include <QDebug>
#include <QSet>
#include <utility>

namespace {
bool inRange(int index, qsizetype count, const char *list, const char *what)
{
    if (index >= 0 && index < count)
        return true;
    qWarning().noquote() << "TWMap:" << what << "at index" << index << "of" << list
                         << "out of range (count" << count << ")";
    return false;
}

template <class T> QList<T> rangeOf(const QList<T> &list, int location, int length)
{
    if (location < 0 || length < 0 || qsizetype(location) + length > list.size()) {
        qWarning().noquote() << "TWMap: range" << location << length << "out of bounds";
        return {};
    }
    return list.mid(location, length);
}

template <class T> T itemAt(const QList<T> &list, int index)
{
    return index >= 0 && index < list.size() ? list.at(index) : T();
}
} // namespace

// --- outline formats ---

QString TWMap::objectInOutlineFormatSettingsAtIndex(int index) const
{
    return itemAt(m_outlineFormatSettings, index);
}

QStringList TWMap::getOutlineFormatSettings(int location, int length) const
{
    return rangeOf(m_outlineFormatSettings, location, length);
}

void TWMap::insertObjectInOutlineFormatSettingsAtIndex(const QString &format, int index)
{
    if (!inRange(index, m_outlineFormatSettings.size() + 1, "outlineFormatSettings", "insertion"))
        return;
    registerUndo([index](TWMap &m) { m.removeObjectFromOutlineFormatSettingsAtIndex(index); });
    nameUndoAction("Outline format setting change");
    m_outlineFormatSettings.insert(index, format);
}

void TWMap::removeObjectFromOutlineFormatSettingsAtIndex(int index)
{
    if (!inRange(index, m_outlineFormatSettings.size(), "outlineFormatSettings", "removal"))
        return;
    registerUndo([old = m_outlineFormatSettings.at(index), index](TWMap &m) {
        m.insertObjectInOutlineFormatSettingsAtIndex(old, index);
    });
    nameUndoAction("Outline format setting change");
    m_outlineFormatSettings.removeAt(index);
}

void TWMap::replaceObjectInOutlineFormatSettingsAtIndex(int index, const QString &format)
{
    if (!inRange(index, m_outlineFormatSettings.size(), "outlineFormatSettings", "replacement"))
        return;
    registerUndo([old = m_outlineFormatSettings.at(index), index](TWMap &m) {
        m.replaceObjectInOutlineFormatSettingsAtIndex(index, old);
    });
    nameUndoAction("Outline format setting change");
    m_outlineFormatSettings[index] = format;
}

void TWMap::removeAllOutlineFormatSettings()
{
    while (!m_outlineFormatSettings.isEmpty())
        removeObjectFromOutlineFormatSettingsAtIndex(0);
}

void TWMap::setOutlineFormatSettings(const QStringList &formats)
{
    if (formats == m_outlineFormatSettings)
        return;
    registerUndo([old = m_outlineFormatSettings](TWMap &m) { m.setOutlineFormatSettings(old); });
    nameUndoAction("Outline format setting change");
    m_outlineFormatSettings = formats;
    if (!announcing())
        return;
    recalculateOutlineNumbers();
    postRedrawRoot();
    post(OutlineFormatSettingChangedNotification);
    NotificationCenter::defaultCenter().post(OutlineFormatSettingChangedNotification, m_document);
}

// --- link lines ---

std::shared_ptr<TWLinkLine> TWMap::objectInLinkLinesAtIndex(int index) const
{
    return itemAt(m_linkLines, index);
}

TWMap::LinkLineList TWMap::getLinkLines(int location, int length) const
{
    return rangeOf(m_linkLines, location, length);
}

void TWMap::insertObjectInLinkLinesAtIndex(const std::shared_ptr<TWLinkLine> &line, int index)
{
    if (!line || !inRange(index, m_linkLines.size() + 1, "linkLines", "insertion"))
        return;
    registerUndo([index](TWMap &m) { m.removeObjectFromLinkLinesAtIndex(index); });
    m_linkLines.insert(index, line);
    removeAllGraphicOrderCache();
    graphicJoined(line);
}

void TWMap::removeObjectFromLinkLinesAtIndex(int index)
{
    if (!inRange(index, m_linkLines.size(), "linkLines", "removal"))
        return;
    const std::shared_ptr<TWLinkLine> line = m_linkLines.at(index);
    registerUndo([line, index](TWMap &m) { m.insertObjectInLinkLinesAtIndex(line, index); });
    if (announcing())
        NotificationCenter::defaultCenter().post(GraphicNeedsRedrawNotification,
                                                 NotificationObject(line));
    m_linkLines.removeAt(index);
    removeAllGraphicOrderCache();
    graphicLeft(line.get());
}

void TWMap::replaceObjectInLinkLinesAtIndex(int index, const std::shared_ptr<TWLinkLine> &line)
{
    if (!line || !inRange(index, m_linkLines.size(), "linkLines", "replacement"))
        return;
    const std::shared_ptr<TWLinkLine> old = m_linkLines.at(index);
    registerUndo([old, index](TWMap &m) { m.replaceObjectInLinkLinesAtIndex(index, old); });
    m_linkLines[index] = line;
    removeAllGraphicOrderCache();
    graphicLeft(old.get());
    graphicJoined(line);
}

void TWMap::removeAllLinkLines()
{
    while (!m_linkLines.isEmpty())
        removeObjectFromLinkLinesAtIndex(0);
}

TWMap::LinkLineList TWMap::linkLinesOnBranch(const TWMapBranch *branch) const
{
    LinkLineList lines;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (line->branch() == branch)
            lines.append(line);
    }
    return lines;
}

TWMap::LinkLineList TWMap::linkLinesStartingWithGraphic(const TWGraphic *graphic) const
{
    LinkLineList lines;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (line->startGraphicNumber() == graphic->graphicNumber())
            lines.append(line);
    }
    return lines;
}

TWMap::LinkLineList TWMap::linkLinesEndingWithGraphic(const TWGraphic *graphic) const
{
    LinkLineList lines;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (line->endGraphicNumber() == graphic->graphicNumber())
            lines.append(line);
    }
    return lines;
}

TWMap::LinkLineList TWMap::linkLinesStartingOrEndingWithGraphic(const TWGraphic *graphic) const
{
    LinkLineList lines;
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (line->startGraphicNumber() == graphic->graphicNumber() ||
            line->endGraphicNumber() == graphic->graphicNumber())
            lines.append(line);
    }
    return lines;
}

// --- graphic order cache: plain, nothing registered or posted ---

std::shared_ptr<TWGraphic> TWMap::objectInGraphicOrderCacheAtIndex(int index) const
{
    return itemAt(m_graphicOrderCache, index);
}

TWMap::GraphicList TWMap::getGraphicOrderCache(int location, int length) const
{
    return rangeOf(m_graphicOrderCache, location, length);
}

void TWMap::insertObjectInGraphicOrderCacheAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                   int index)
{
    if (graphic && inRange(index, m_graphicOrderCache.size() + 1, "graphicOrderCache", "insertion"))
        m_graphicOrderCache.insert(index, graphic);
}

void TWMap::removeObjectFromGraphicOrderCacheAtIndex(int index)
{
    if (inRange(index, m_graphicOrderCache.size(), "graphicOrderCache", "removal"))
        m_graphicOrderCache.removeAt(index);
}

void TWMap::replaceObjectInGraphicOrderCacheAtIndex(int index,
                                                    const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic && inRange(index, m_graphicOrderCache.size(), "graphicOrderCache", "replacement"))
        m_graphicOrderCache[index] = graphic;
}

// --- selection ---

QVariantList TWMap::selectedGraphicsForNotification() const
{
    QVariantList affected;
    for (const std::shared_ptr<TWGraphic> &graphic : m_selectedGraphics)
        affected.append(QVariant::fromValue(NotificationObject(graphic)));
    return affected;
}

std::shared_ptr<TWGraphic> TWMap::objectInSelectedGraphicsAtIndex(int index) const
{
    return itemAt(m_selectedGraphics, index);
}

TWMap::GraphicList TWMap::getSelectedGraphics(int location, int length) const
{
    return rangeOf(m_selectedGraphics, location, length);
}

void TWMap::enqueueSelectionChange(const std::shared_ptr<TWGraphic> &graphic)
{
    NotificationQueue &queue = NotificationQueue::defaultQueue();
    queue.enqueue(GraphicAddedToSelectedGraphicsNotification, NotificationObject(graphic));
    // The map announces its own change rather than waiting for the graphic's
    // notification to find it through the graphic's branch: a graphic whose
    // branch was deleted meanwhile would find no map, and the change would go
    // unannounced. One per map and pass, whatever the number of changes.
    queue.enqueue(
        SelectedGraphicsChangedNotification, NotificationObject(shared_from_this()),
        {{AffectedGraphicsKey, QVariantList{QVariant::fromValue(NotificationObject(graphic))}}});
}

void TWMap::insertObjectInSelectedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                  int index)
{
    if (!graphic || graphic->isOtherEnclosedGraphic())
        return;
    if (!inRange(index, m_selectedGraphics.size() + 1, "selectedGraphics", "insertion"))
        return;
    m_selectedGraphics.insert(index, graphic);
    indexSelectedGraphic(graphic.get(), 1);
    enqueueSelectionChange(graphic);
    selectionDidChange();
}

void TWMap::removeObjectFromSelectedGraphicsAtIndex(int index)
{
    if (!inRange(index, m_selectedGraphics.size(), "selectedGraphics", "removal"))
        return;
    const std::shared_ptr<TWGraphic> graphic = m_selectedGraphics.at(index);
    enqueueSelectionChange(graphic);
    m_selectedGraphics.removeAt(index);
    indexSelectedGraphic(graphic.get(), -1);
    selectionDidChange();
}

void TWMap::replaceObjectInSelectedGraphicsAtIndex(int index,
                                                   const std::shared_ptr<TWGraphic> &graphic)
{
    if (!graphic || !inRange(index, m_selectedGraphics.size(), "selectedGraphics", "replacement"))
        return;
    enqueueSelectionChange(m_selectedGraphics.at(index));
    enqueueSelectionChange(graphic);
    indexSelectedGraphic(m_selectedGraphics.at(index).get(), -1);
    m_selectedGraphics[index] = graphic;
    indexSelectedGraphic(graphic.get(), 1);
    selectionDidChange();
}

void TWMap::removeAllSelectedGraphics()
{
    // What removing them one by one announces, without the work per step
    // that only the last step's result needs.
    const GraphicList removed = std::exchange(m_selectedGraphics, {});
    m_selectedIndex.clear();
    m_selectedIndexSize = 0;
    for (const std::shared_ptr<TWGraphic> &graphic : removed)
        enqueueSelectionChange(graphic);
    selectionDidChange();
}

void TWMap::removeSelectedGraphic(const TWGraphic *graphic)
{
    if (!isGraphicSelected(graphic))
        return;
    for (int i = 0; i < m_selectedGraphics.size(); ++i) {
        if (m_selectedGraphics.at(i).get() == graphic) {
            removeObjectFromSelectedGraphicsAtIndex(i);
            return;
        }
    }
}

void TWMap::indexSelectedGraphic(const TWGraphic *graphic, int delta)
{
    if (m_selectedIndexSize < 0 || m_selectedIndexSize + delta != m_selectedGraphics.size()) {
        m_selectedIndexSize = -1;
        return;
    }
    m_selectedIndexSize += delta;
    int &count = m_selectedIndex[graphic];
    count += delta;
    if (count <= 0)
        m_selectedIndex.remove(graphic);
}

bool TWMap::isGraphicSelected(const TWGraphic *graphic) const
{
    if (m_selectedIndexSize != m_selectedGraphics.size()) {
        m_selectedIndex.clear();
        for (const std::shared_ptr<TWGraphic> &selected : m_selectedGraphics)
            ++m_selectedIndex[selected.get()];
        m_selectedIndexSize = m_selectedGraphics.size();
    }
    return m_selectedIndex.contains(graphic);
}

QList<TWMapBranch *> TWMap::selectedBranches() const
{
    QList<TWMapBranch *> branches;
    QSet<const TWMapBranch *> taken;
    for (const std::shared_ptr<TWGraphic> &graphic : m_selectedGraphics) {
        TWMapBranch *branch = graphic->branch();
        if (branch && !taken.contains(branch)) {
            taken.insert(branch);
            branches.append(branch);
        }
    }
    return branches;
}

std::shared_ptr<TWMapBranch> TWMap::selectedBranch() const
{
    if (m_selectedBranchStale)
        updateSelectedBranch();
    return m_selectedBranch.lock();
}

const TWMap::BranchList &TWMap::selectedBranchesForBindings() const
{
    if (m_bindingsBranchesStale)
        updateSelectedBranchesForBindings();
    return m_selectedBranchesForBindings;
}

void TWMap::setSelectedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    m_selectedBranchStale = false;
    m_selectedBranch = branch;
}

void TWMap::removeSelectedBranch(const TWMapBranch *branch)
{
    if (branch && selectedBranch().get() == branch)
        setSelectedBranch(nullptr);
}

void TWMap::selectionDidChange()
{
    m_selectedBranchStale = true;
    m_bindingsBranchesStale = true;
}

void TWMap::updateSelectedBranch() const
{
    m_selectedBranchStale = false;
    std::shared_ptr<TWMapBranch> shared;
    if (!m_selectedGraphics.isEmpty()) {
        TWMapBranch *first = m_selectedGraphics.first()->branch();
        bool same = first != nullptr;
        for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(m_selectedGraphics)) {
            if (graphic->branch() != first) {
                same = false;
                break;
            }
        }
        if (same)
            shared = first->shared_from_this();
    }
    m_selectedBranch = shared;
}

void TWMap::updateSelectedBranchesForBindings() const
{
    m_bindingsBranchesStale = false;
    BranchList branches;
    QSet<const TWMapBranch *> taken;
    for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(m_selectedGraphics)) {
        TWMapBranch *branch = graphic->branch();
        if (!branch || !(graphic->isMainGraphic() || graphic->isEnclosedText()))
            continue;
        if (!taken.contains(branch)) {
            taken.insert(branch);
            branches.append(branch->shared_from_this());
        }
    }
    m_selectedBranchesForBindings = branches;
}
