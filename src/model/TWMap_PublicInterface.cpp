// The undoable user operations on a map's selection.

#include "graphics/TWLinkLine.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include <QAction>
#include <QDebug>
#include <QPointF>

namespace {

struct CreationOptions
{
    int type = -1;
    std::optional<QString> name;
    bool beginEditing = false;
    std::optional<Point> location;
};

CreationOptions readOptions(const QVariantMap &options)
{
    CreationOptions result;
    if (options.contains(QStringLiteral("type")))
        result.type = options.value(QStringLiteral("type")).toInt();
    if (options.contains(QStringLiteral("name")))
        result.name = options.value(QStringLiteral("name")).toString();
    result.beginEditing = options.value(QStringLiteral("beginEditing")).toBool();
    const QPointF at = options.value(QStringLiteral("location")).toPointF();
    // Menus pass the zero point for "no location".
    if (at.x() != 0 || at.y() != 0)
        result.location = Point(float(at.x()), float(at.y()));
    return result;
}

QVariantMap optionsOf(const QObject *menuItem)
{
    const auto *action = qobject_cast<const QAction *>(menuItem);
    return action ? action->data().toMap() : QVariantMap();
}

TWMap::BranchList sharedBranches(const QList<TWMapBranch *> &branches)
{
    TWMap::BranchList result;
    for (TWMapBranch *branch : branches)
        result.append(branch->shared_from_this());
    return result;
}

} // namespace

// --- creating branches ---

void TWMap::renumberAfterAdding(const BranchList &added)
{
    // Only below the parents that gained a branch do numbers change: the
    // rest of a big map is left as it is.
    for (const std::shared_ptr<TWMapBranch> &branch : added)
        branchShapeMoved(*branch);
    updateOutlineNumbers();
}

TWMap::BranchList TWMap::publicCreateChildren()
{
    return publicCreateChildrenOfType(m_document ? m_document->graphicClassIdentifier() : -1,
                                      std::nullopt);
}

TWMap::BranchList TWMap::publicCreateChildrenWithOptions(const QVariantMap &options)
{
    const CreationOptions o = readOptions(options);
    return publicCreateChildrenOfType(o.type, o.name, o.beginEditing, o.location);
}

TWMap::BranchList TWMap::publicCreateChildrenFromMenuItem(const QObject *menuItem)
{
    return publicCreateChildrenWithOptions(optionsOf(menuItem));
}

TWMap::BranchList TWMap::publicCreateChildrenOfType(int type,
                                                    const std::optional<QString> &customBranchName,
                                                    bool beginEditing,
                                                    std::optional<Point> location)
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    if (type == -1 && m_document)
        type = m_document->graphicClassIdentifier();
    if (m_selectedGraphics.isEmpty() && m_root && m_root->enclosedTextArea())
        insertObjectInSelectedGraphicsAtIndex(m_root->enclosedTextArea(), 0);

    const BranchList parents = sharedBranches(selectedBranches());
    removeAllSelectedGraphics();
    BranchList created;
    for (const std::shared_ptr<TWMapBranch> &parent : parents) {
        const std::shared_ptr<TWMapBranch> child = parent->addChildOfType(type);
        if (!child)
            continue;
        if (customBranchName && !customBranchName->isEmpty() && child->enclosedTextArea()) {
            child->enclosedTextArea()->setString(*customBranchName);
            child->makeNaturalSize();
        }
        if (child->enclosedTextArea())
            insertObjectInSelectedGraphicsAtIndex(child->enclosedTextArea(),
                                                  countOfSelectedGraphics());
        created.append(child);
    }
    renumberAfterAdding(created);
    autoArangeWithMovedBranches(sharedBranches(selectedBranches()));
    // A branch put at a chosen place stays there.
    if (!location)
        makeRoomForNewBranches(created);
    NotificationCenter::defaultCenter().post(
        MapsDocBranchesAddedNotification,
        m_document ? NotificationObject(m_document->shared_from_this()) : NotificationObject());
    if (countOfSelectedGraphics() == 1 && beginEditing) {
        if (auto text = std::dynamic_pointer_cast<TWTextArea>(m_selectedGraphics.first()))
            text->setIsEditing(true);
    }
    if (location && m_root && m_root->mainGraphic()) {
        const bool leftOfRoot = m_root->mainGraphic()->bounds().midX() > location->x;
        for (const std::shared_ptr<TWMapBranch> &child : std::as_const(created)) {
            const Rect shape = child->mainGraphic()->bounds();
            const float x = leftOfRoot ? location->x - shape.width() : location->x;
            const float y = location->y + shape.height() / 2;
            child->moveBranchBy(x - shape.minX(), y - shape.minY(), true);
        }
    }
    nameUndoAction("New Branch");
    return created;
}

std::optional<TWMap::BranchList> TWMap::publicCreateSiblings()
{
    return publicCreateSiblingsOfType(m_document ? m_document->graphicClassIdentifier() : -1,
                                      std::nullopt);
}

std::optional<TWMap::BranchList> TWMap::publicCreateSiblingsWithOptions(const QVariantMap &options)
{
    const CreationOptions o = readOptions(options);
    return publicCreateSiblingsOfType(o.type, o.name, o.beginEditing);
}

std::optional<TWMap::BranchList> TWMap::publicCreateSiblingsFromMenuItem(const QObject *menuItem)
{
    return publicCreateSiblingsWithOptions(optionsOf(menuItem));
}

std::optional<TWMap::BranchList>
TWMap::publicCreateSiblingsOfType(int type, const std::optional<QString> &customBranchName,
                                  bool beginEditing)
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    if (type == -1 && m_document)
        type = m_document->graphicClassIdentifier();
    if (m_selectedGraphics.isEmpty()) {
        Alerts::current().beep();
        return std::nullopt;
    }
    const BranchList branches = sharedBranches(selectedBranches());
    removeAllSelectedGraphics();
    BranchList created;
    for (const std::shared_ptr<TWMapBranch> &branch : branches) {
        const std::shared_ptr<TWMapBranch> sibling = branch->addSiblingOfType(type);
        if (!sibling)
            continue;
        if (customBranchName && !customBranchName->isEmpty() && sibling->enclosedTextArea())
            sibling->enclosedTextArea()->setString(*customBranchName);
        if (sibling->enclosedTextArea())
            insertObjectInSelectedGraphicsAtIndex(sibling->enclosedTextArea(),
                                                  countOfSelectedGraphics());
        created.append(sibling);
    }
    renumberAfterAdding(created);
    autoArangeWithMovedBranches(sharedBranches(selectedBranches()));
    makeRoomForNewBranches(created);
    NotificationCenter::defaultCenter().post(
        MapsDocBranchesAddedNotification,
        m_document ? NotificationObject(m_document->shared_from_this()) : NotificationObject());
    if (countOfSelectedGraphics() == 1 && beginEditing) {
        if (auto text = std::dynamic_pointer_cast<TWTextArea>(m_selectedGraphics.first()))
            text->setIsEditing(true);
    }
    nameUndoAction("New Sibling Branch");
    return created;
}

// --- link lines ---

void TWMap::publicCreateLinkLineFromGraphic(const std::shared_ptr<TWGraphic> &start,
                                            const std::shared_ptr<TWGraphic> &end,
                                            Point temporaryIntermediatePoint, bool commit)
{
    const NotificationObject documentObject =
        m_document ? NotificationObject(m_document->shared_from_this()) : NotificationObject();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    if (!commit) {
        if (m_document) {
            m_document->setTempLinkLineStartGraphic(start);
            m_document->setTempLinkLineEndGraphic(end);
            m_document->setTempLinkLineDragPoint(temporaryIntermediatePoint);
        }
        center.post(TemporaryLinkLineUpdatedNotification, documentObject);
        return;
    }
    center.post(TemporaryLinkLineRemovedNotification, documentObject);
    if (m_document) {
        m_document->setTempLinkLineStartGraphic(nullptr);
        m_document->setTempLinkLineEndGraphic(nullptr);
    }
    if (!start || !end)
        return;
    const std::shared_ptr<TWLinkLine> line = TWGraphic::make<TWLinkLine>();
    line->setDrawsFill(false);
    line->setBranch(start->branch());
    line->setStartGraphicNumber(start->graphicNumber());
    line->setEndGraphicNumber(end->graphicNumber());
    line->calculateDefaultIntermediatePoints();
    insertObjectInLinkLinesAtIndex(line, countOfLinkLines());
    nameUndoAction("Add link line");
    removeAllGraphicOrderCache();
    removeAllSelectedGraphics();
    insertObjectInSelectedGraphicsAtIndex(line, 0);
    line->updateBounds();
    center.post(LinkLineAddedNotification, NotificationObject(shared_from_this()));
}

void TWMap::publicDeleteLinkLineAtIndex(int index)
{
    if (index < 0 || index >= countOfLinkLines()) {
        qWarning("Link line index %d out of range", index);
        Alerts::current().beep();
        return;
    }
    removeObjectFromLinkLinesAtIndex(index);
    nameUndoAction("Delete Link Line");
    NotificationCenter::defaultCenter().post(LinkLineDeletedNotification,
                                             NotificationObject(shared_from_this()));
}

// --- deleting ---

void TWMap::publicDeleteSelectedBranches()
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    for (const std::shared_ptr<TWMapBranch> &branch : sharedBranches(selectedBranches())) {
        TWMapBranch *parent = branch->parent();
        if (!parent)
            continue;
        if (branch->enclosedTextArea())
            branch->enclosedTextArea()->setIsEditing(false);
        parent->removeObjectFromChildrenAtIndex(branch->childIndex());
    }
    removeAllSelectedGraphics();
    removeDeadLinkLines();
    removeAllGraphicOrderCache();
    recalculateOutlineNumbers();
    nameUndoAction("Delete Branches");
    NotificationQueue &queue = NotificationQueue::defaultQueue();
    queue.enqueue(BranchesDeletedNotification, NotificationObject(self));
    if (m_document)
        queue.enqueue(MapsDocBranchesDeletedNotification,
                      NotificationObject(m_document->shared_from_this()));
}

void TWMap::publicDeleteSelectedGraphics()
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    const GraphicList cover =
        TWMapUtilities::minimumGraphicCoverFromGraphics(m_selectedGraphics, true);
    removeAllSelectedGraphics();
    // Deleting may only unhide levels when every level was shown before, so
    // a collapsed view stays collapsed.
    const int levelBefore = m_root ? m_root->getMaximumBranchLevel() : 0;
    for (const std::shared_ptr<TWGraphic> &graphic : cover) {
        TWMapBranch *branch = graphic->branch();
        if (branch && graphic->isLinkedGraphic()) {
            branch->removeObjectFromLinkedGraphicsAtIndex(
                int(branch->linkedGraphics().indexOf(graphic)));
        } else if (!branch || branch->mainGraphic() != graphic) {
            const auto line = std::dynamic_pointer_cast<TWLinkLine>(graphic);
            const qsizetype index = line ? m_linkLines.indexOf(line) : -1;
            if (index >= 0)
                removeObjectFromLinkLinesAtIndex(int(index));
            else
                qWarning().noquote()
                    << QStringLiteral("Error deleting graphic %1").arg(graphic->className());
        } else if (TWMapBranch *parent = branch->parent()) {
            const std::shared_ptr<TWMapBranch> keep = branch->shared_from_this();
            parent->removeObjectFromChildrenAtIndex(branch->childIndex());
        }
    }
    if (m_root && branchHideLevel() == levelBefore)
        setBranchHideLevel(m_root->getMaximumBranchLevel());
    removeAllGraphicOrderCache();
    removeDeadLinkLines();
    recalculateOutlineNumbers();
    nameUndoAction("Delete");
    NotificationQueue &queue = NotificationQueue::defaultQueue();
    queue.enqueue(GraphicsDeletedNotification, NotificationObject(self));
    if (m_document)
        queue.enqueue(MapsDocGraphicsDeletedNotification,
                      NotificationObject(m_document->shared_from_this()));
}

// --- selection ---

void TWMap::publicAddGraphicToSelection(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic && indexOfSelectedGraphicIdenticalTo(graphic.get()) < 0)
        insertObjectInSelectedGraphicsAtIndex(graphic, 0);
}

void TWMap::publicRemoveGraphicFromSelection(const TWGraphic *graphic)
{
    const int index = indexOfSelectedGraphicIdenticalTo(graphic);
    if (index >= 0)
        removeObjectFromSelectedGraphicsAtIndex(index);
}

void TWMap::publicSelectSiblings()
{
    QList<TWMapBranch *> parents;
    for (TWMapBranch *branch : selectedBranches()) {
        TWMapBranch *parent = branch->parent();
        if (parent && !parents.contains(parent))
            parents.append(parent);
    }
    for (TWMapBranch *parent : std::as_const(parents)) {
        for (const std::shared_ptr<TWMapBranch> &child : BranchList(parent->children())) {
            if (child->mainGraphic())
                child->mainGraphic()->tryToSelect();
        }
    }
}

void TWMap::publicSelectDescendants()
{
    BranchList collected;
    for (TWMapBranch *branch : selectedBranches()) {
        collected.append(branch->shared_from_this());
        branch->allDescendantsIntoArray(collected, false);
    }
    for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(collected)) {
        if (branch->mainGraphic())
            branch->mainGraphic()->tryToSelect();
    }
}

// --- z-order ---

namespace {
void reorderSelection(TWMap &map, int mode)
{
    for (const std::shared_ptr<TWGraphic> &graphic : TWMap::GraphicList(map.selectedGraphics()))
        graphic->reorderGraphic(mode);
    map.removeAllGraphicOrderCache();
}
} // namespace

void TWMap::publicMoveSelectedGraphicsForward()
{
    reorderSelection(*this, 0);
}

void TWMap::publicMoveSelectedGraphicsBack()
{
    reorderSelection(*this, 1);
}

void TWMap::publicMoveSelectedGraphicsToFront()
{
    reorderSelection(*this, 2);
}

void TWMap::publicMoveSelectedGraphicsToBack()
{
    reorderSelection(*this, 3);
}

// --- link-line settings of the selection ---

namespace {
template <class F> void forSelectedLinkLines(const TWMap &map, F &&apply)
{
    for (const std::shared_ptr<TWGraphic> &graphic : TWMap::GraphicList(map.selectedGraphics())) {
        if (auto line = std::dynamic_pointer_cast<TWLinkLine>(graphic))
            apply(*line);
    }
}
} // namespace

void TWMap::publicSetSelectedLinkLineColorModeTo(int mode)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setColorMode(mode); });
    nameUndoAction("Set Link Coloring Mode");
}

void TWMap::publicSetSelectedLinkLineColorTo(const std::optional<Color> &color)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setStrokeColor(color); });
    nameUndoAction("Set Link Color");
}

void TWMap::publicSetSelectedLinkLineWidth(float width)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setStrokeWidth(width); });
    nameUndoAction("Set Link Line Width");
}

void TWMap::publicSetSelectedLinkLinesHaveStartArrow(bool has)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setStartArrowStyle(has ? 1 : 0); });
    nameUndoAction("Set Start Link Arrow");
}

void TWMap::publicSetSelectedLinkLinesStartArrowLength(float length)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setStartArrowLength(length); });
    nameUndoAction("Set Start Link Arrow Length");
}

void TWMap::publicSetSelectedLinkLinesStartArrowWidth(float width)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setStartArrowWidth(width); });
    nameUndoAction("Set Start Link Arrow Width");
}

void TWMap::publicSetSelectedLinkLinesHaveEndArrow(bool has)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setEndArrowStyle(has ? 1 : 0); });
    nameUndoAction("Set End Link Arrow");
}

void TWMap::publicSetSelectedLinkLinesEndArrowLength(float length)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setEndArrowLength(length); });
    nameUndoAction("Set End Link Arrow Length");
}

void TWMap::publicSetSelectedLinkLinesEndArrowWidth(float width)
{
    forSelectedLinkLines(*this, [&](TWLinkLine &l) { l.setEndArrowWidth(width); });
    nameUndoAction("Set End Link Arrow Width");
}
