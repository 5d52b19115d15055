#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "model/TWBranchRedraw.h"
#include "model/TWBranchRefitHold.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"

#include <QSet>

namespace {
QSet<TWMapBranch *> setOf(const TWMapBranch::BranchList &branches)
{
    QSet<TWMapBranch *> set;
    set.reserve(branches.size());
    for (const std::shared_ptr<TWMapBranch> &b : branches)
        set.insert(b.get());
    return set;
}

template <class L> L sublist(const L &list, int location, int length)
{
    if (location < 0 || length < 0 || location + length > list.size())
        return {};
    return list.mid(location, length);
}
} // namespace

// --- children ---

std::shared_ptr<TWMapBranch> TWMapBranch::objectInChildrenAtIndex(int index) const
{
    return m_children.at(index);
}

void TWMapBranch::insertObjectInChildrenAtIndex(const std::shared_ptr<TWMapBranch> &child,
                                                int index)
{
    registerUndo([child](TWMapBranch &b) { b.removeChild(child); });
    m_children.insert(index, child);
    // Its parent may still be the one it left: the marks go down from here.
    childOrderMayHaveChanged();
    child->m_subtreeOrderDirty = child->m_orderPending = true;
    removeGraphicOrderCache();
    if (TWMap *m = map())
        m->branchChildrenChanged(*this);
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicsJoined(*child);
    layoutServices().updateBoundaryForChangedChild(*child, *child);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    if (branchPostIsHeard(SubtreeNeedsRedrawNotification))
        center.post(SubtreeNeedsRedrawNotification, child->notificationObject());
    static const ObservedName resizeHeard(BranchDidResizeNotification);
    if (resizeHeard() && !TWMapsDoc::resizeWouldChangeNothing(*this))
        center.post(BranchDidResizeNotification, notificationObject(),
                    {{BranchKey, QVariant::fromValue(shared_from_this())}});
    enqueueOutlineReload();
}

void TWMapBranch::removeObjectFromChildrenAtIndex(int index)
{
    const std::shared_ptr<TWMapBranch> child = m_children.at(index);
    registerUndo([child, index](TWMapBranch &b) { b.insertObjectInChildrenAtIndex(child, index); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(SubtreeNeedsRedrawNotification, child->notificationObject());
    TWMapLayoutServices &services = layoutServices();
    services.removeTooltipRects(*child);
    m_children.removeAt(index);
    removeGraphicOrderCache();
    if (TWMap *m = map())
        m->branchChildrenChanged(*this);
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicsLeft(*child);
    services.removeChildFromBoundary(*child, *child);
    BranchList subtree;
    child->buildBranchArray(subtree);
    for (const std::shared_ptr<TWMapBranch> &descendant : std::as_const(subtree))
        services.removeChildFromBoundary(*this, *descendant);
    center.post(BranchDidResizeNotification, notificationObject(),
                {{BranchKey, QVariant::fromValue(shared_from_this())}});
    enqueueOutlineReload();
}

void TWMapBranch::removeChild(const std::shared_ptr<TWMapBranch> &child)
{
    const qsizetype index = m_children.indexOf(child);
    if (index >= 0)
        removeObjectFromChildrenAtIndex(int(index));
}

void TWMapBranch::setChildren(const BranchList &children)
{
    const BranchList old = m_children;
    registerUndo([old](TWMapBranch &b) { b.setChildren(old); });
    m_children = children;
    childOrderMayHaveChanged();
    if (children.size() != old.size())
        subtreeOrderMayHaveChanged();
    removeGraphicOrderCache();
    if (TWMap *m = TWMap::mapIndexing(*this)) {
        // Usually the same children re-sorted: only a changed set joins or leaves.
        const QSet<TWMapBranch *> before = setOf(old), after = setOf(children);
        for (const std::shared_ptr<TWMapBranch> &child : old) {
            if (!after.contains(child.get()))
                m->graphicsLeft(*child);
        }
        for (const std::shared_ptr<TWMapBranch> &child : children) {
            if (!before.contains(child.get()))
                m->graphicsJoined(*child);
        }
        if (before != after)
            m->branchChildrenChanged(*this);
    }
    enqueueOutlineReload();
}

// --- linked graphics ---

std::shared_ptr<TWGraphic> TWMapBranch::objectInLinkedGraphicsAtIndex(int index) const
{
    return m_linkedGraphics.at(index);
}

TWMapBranch::GraphicList TWMapBranch::getLinkedGraphics(int location, int length) const
{
    return sublist(m_linkedGraphics, location, length);
}

void TWMapBranch::insertObjectInLinkedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                      int index)
{
    registerUndo([index](TWMapBranch &b) { b.removeObjectFromLinkedGraphicsAtIndex(index); });
    NotificationCenter::defaultCenter().post(GraphicNeedsRedrawNotification,
                                             graphic->notificationObject());
    m_linkedGraphics.insert(index, graphic);
    removeGraphicOrderCache();
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicJoined(graphic);
}

void TWMapBranch::removeObjectFromLinkedGraphicsAtIndex(int index)
{
    const std::shared_ptr<TWGraphic> graphic = m_linkedGraphics.at(index);
    registerUndo([graphic, index](TWMapBranch &b) {
        b.insertObjectInLinkedGraphicsAtIndex(graphic, index);
    });
    // Keep the z-numbers dense: the ones beyond the gap close it.
    const int removed = graphic->internalOrdering();
    for (const std::shared_ptr<TWGraphic> &other : std::as_const(m_linkedGraphics)) {
        if (other == graphic)
            continue;
        const int ordering = other->internalOrdering();
        if (removed < 0 && ordering < removed)
            other->setInternalOrdering(ordering + 1);
        else if (removed >= 0 && ordering > removed)
            other->setInternalOrdering(ordering - 1);
    }
    NotificationCenter::defaultCenter().post(GraphicNeedsRedrawNotification,
                                             graphic->notificationObject());
    m_linkedGraphics.removeAt(index);
    removeGraphicOrderCache();
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicLeft(graphic.get());
}

void TWMapBranch::exchangeLinkedGraphicsAtIndexes(int first, int second)
{
    if (first < 0 || second < 0 || first >= m_linkedGraphics.size() ||
        second >= m_linkedGraphics.size())
        return;
    m_linkedGraphics.swapItemsAt(first, second);
    removeGraphicOrderCache();
}

void TWMapBranch::removeAllLinkedGraphics()
{
    for (qsizetype n = m_linkedGraphics.size(); n > 0; --n)
        removeObjectFromLinkedGraphicsAtIndex(0);
}

// --- other enclosed graphics ---

std::shared_ptr<TWEnclosedGraphic>
TWMapBranch::objectInOtherEnclosedGraphicsAtIndex(int index) const
{
    return m_otherEnclosedGraphics.at(index);
}

TWMapBranch::EnclosedGraphicList TWMapBranch::getOtherEnclosedGraphics(int location,
                                                                       int length) const
{
    return sublist(m_otherEnclosedGraphics, location, length);
}

void TWMapBranch::insertObjectInOtherEnclosedGraphicsAtIndex(
    const std::shared_ptr<TWEnclosedGraphic> &graphic, int index)
{
    const float oldWidth = totalWidthToAllowForOtherEnclosedGraphics();
    registerUndo(
        [index](TWMapBranch &b) { b.removeObjectFromOtherEnclosedGraphicsAtIndex(index); });
    m_otherEnclosedGraphics.insert(index, graphic);
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicJoined(graphic->graphic());
    if (!TWBranchRefitHold::deferIconPlacement(*this))
        layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(*this, oldWidth);
    removeGraphicOrderCache();
}

void TWMapBranch::removeObjectFromOtherEnclosedGraphicsAtIndex(int index)
{
    const float oldWidth = totalWidthToAllowForOtherEnclosedGraphics();
    const std::shared_ptr<TWEnclosedGraphic> graphic = m_otherEnclosedGraphics.at(index);
    registerUndo([graphic, index](TWMapBranch &b) {
        b.insertObjectInOtherEnclosedGraphicsAtIndex(graphic, index);
    });
    m_otherEnclosedGraphics.removeAt(index);
    if (TWMap *m = TWMap::mapIndexing(*this))
        m->graphicLeft(graphic->graphic().get());
    layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(*this, oldWidth);
    removeGraphicOrderCache();
}

void TWMapBranch::removeAllOtherEnclosedGraphics()
{
    for (qsizetype n = m_otherEnclosedGraphics.size(); n > 0; --n)
        removeObjectFromOtherEnclosedGraphicsAtIndex(0);
}

// --- attached texts ---

int TWMapBranch::countOfAttachedTextArray() const
{
    return int(s().attachedTextArray.size());
}

std::shared_ptr<TWAttachedText> TWMapBranch::objectInAttachedTextArrayAtIndex(int index) const
{
    return s().attachedTextArray.at(index);
}

TWMapBranch::AttachedTextList TWMapBranch::getAttachedTextArray(int location, int length) const
{
    return sublist(s().attachedTextArray, location, length);
}

void TWMapBranch::insertObjectInAttachedTextArrayAtIndex(
    const std::shared_ptr<TWAttachedText> &text, int index)
{
    registerUndo([index](TWMapBranch &b) { b.removeObjectFromAttachedTextArrayAtIndex(index); });
    settings().attachedTextArray.insert(index, text);
}

void TWMapBranch::removeObjectFromAttachedTextArrayAtIndex(int index)
{
    const std::shared_ptr<TWAttachedText> text = settings().attachedTextArray.at(index);
    registerUndo(
        [text, index](TWMapBranch &b) { b.insertObjectInAttachedTextArrayAtIndex(text, index); });
    settings().attachedTextArray.removeAt(index);
}

void TWMapBranch::removeAllAttachedTextArray()
{
    for (int n = countOfAttachedTextArray(); n > 0; --n)
        removeObjectFromAttachedTextArrayAtIndex(0);
}

// --- hyperlinks ---

int TWMapBranch::countOfHyperlinks() const
{
    return int(s().hyperlinks.size());
}

std::shared_ptr<TWHyperlink> TWMapBranch::objectInHyperlinksAtIndex(int index) const
{
    return s().hyperlinks.at(index);
}

TWMapBranch::HyperlinkList TWMapBranch::getHyperlinks(int location, int length) const
{
    return sublist(s().hyperlinks, location, length);
}

void TWMapBranch::insertObjectInHyperlinksAtIndex(const std::shared_ptr<TWHyperlink> &link,
                                                  int index)
{
    registerUndo([index](TWMapBranch &b) { b.removeObjectFromHyperlinksAtIndex(index); });
    settings().hyperlinks.insert(index, link);
    refit();
    postBranch(BranchNeedsRedrawNotification);
}

void TWMapBranch::removeObjectFromHyperlinksAtIndex(int index)
{
    const std::shared_ptr<TWHyperlink> link = settings().hyperlinks.at(index);
    registerUndo([link, index](TWMapBranch &b) { b.insertObjectInHyperlinksAtIndex(link, index); });
    settings().hyperlinks.removeAt(index);
    refit();
    postBranch(BranchNeedsRedrawNotification);
}

void TWMapBranch::replaceObjectInHyperlinksAtIndex(int index,
                                                   const std::shared_ptr<TWHyperlink> &link)
{
    const std::shared_ptr<TWHyperlink> old = settings().hyperlinks.at(index);
    registerUndo([old, index](TWMapBranch &b) { b.replaceObjectInHyperlinksAtIndex(index, old); });
    settings().hyperlinks.replace(index, link);
    refit();
    postBranch(BranchNeedsRedrawNotification);
}

void TWMapBranch::removeAllHyperlinks()
{
    for (int n = countOfHyperlinks(); n > 0; --n)
        removeObjectFromHyperlinksAtIndex(0);
}

// --- tracked changes ---

int TWMapBranch::countOfTrackedChanges() const
{
    return int(s().trackedChanges.size());
}

std::shared_ptr<TWTrackedChange> TWMapBranch::objectInTrackedChangesAtIndex(int index) const
{
    return s().trackedChanges.at(index);
}

TWMapBranch::TrackedChangeList TWMapBranch::getTrackedChanges(int location, int length) const
{
    return sublist(s().trackedChanges, location, length);
}

void TWMapBranch::insertObjectInTrackedChangesAtIndex(
    const std::shared_ptr<TWTrackedChange> &change, int index)
{
    registerUndo([index](TWMapBranch &b) { b.removeObjectFromTrackedChangesAtIndex(index); });
    settings().trackedChanges.insert(index, change);
}

void TWMapBranch::removeObjectFromTrackedChangesAtIndex(int index)
{
    const std::shared_ptr<TWTrackedChange> change = settings().trackedChanges.at(index);
    registerUndo(
        [change, index](TWMapBranch &b) { b.insertObjectInTrackedChangesAtIndex(change, index); });
    settings().trackedChanges.removeAt(index);
}

void TWMapBranch::replaceObjectInTrackedChangesAtIndex(
    int index, const std::shared_ptr<TWTrackedChange> &change)
{
    const std::shared_ptr<TWTrackedChange> old = settings().trackedChanges.at(index);
    registerUndo(
        [old, index](TWMapBranch &b) { b.replaceObjectInTrackedChangesAtIndex(index, old); });
    settings().trackedChanges.replace(index, change);
}

void TWMapBranch::removeAllTrackedChanges()
{
    for (int n = countOfTrackedChanges(); n > 0; --n)
        removeObjectFromTrackedChangesAtIndex(0);
}

// --- children's outline-number formats ---

int TWMapBranch::countOfChildrenOutlineNumberFormatOverride() const
{
    return int(s().childrenOutlineNumberFormatOverride.size());
}

QString TWMapBranch::objectInChildrenOutlineNumberFormatOverrideAtIndex(int index) const
{
    return s().childrenOutlineNumberFormatOverride.at(index);
}

QStringList TWMapBranch::getChildrenOutlineNumberFormatOverride(int location, int length) const
{
    return sublist(s().childrenOutlineNumberFormatOverride, location, length);
}

void TWMapBranch::insertObjectInChildrenOutlineNumberFormatOverrideAtIndex(const QString &format,
                                                                           int index)
{
    registerUndo([index](TWMapBranch &b) {
        b.removeObjectFromChildrenOutlineNumberFormatOverrideAtIndex(index);
    });
    settings().childrenOutlineNumberFormatOverride.insert(index, format);
    postBranch(BranchOutlineFormatSettingChangedNotification);
}

void TWMapBranch::removeObjectFromChildrenOutlineNumberFormatOverrideAtIndex(int index)
{
    const QString format = settings().childrenOutlineNumberFormatOverride.at(index);
    registerUndo([format, index](TWMapBranch &b) {
        b.insertObjectInChildrenOutlineNumberFormatOverrideAtIndex(format, index);
    });
    settings().childrenOutlineNumberFormatOverride.removeAt(index);
    postBranch(BranchOutlineFormatSettingChangedNotification);
}

void TWMapBranch::replaceObjectInChildrenOutlineNumberFormatOverrideAtIndex(int index,
                                                                            const QString &format)
{
    const QString old = settings().childrenOutlineNumberFormatOverride.at(index);
    registerUndo([old, index](TWMapBranch &b) {
        b.replaceObjectInChildrenOutlineNumberFormatOverrideAtIndex(index, old);
    });
    settings().childrenOutlineNumberFormatOverride.replace(index, format);
    postBranch(BranchOutlineFormatSettingChangedNotification);
}

void TWMapBranch::removeAllChildrenOutlineNumberFormatOverride()
{
    for (int n = countOfChildrenOutlineNumberFormatOverride(); n > 0; --n)
        removeObjectFromChildrenOutlineNumberFormatOverrideAtIndex(0);
    postBranch(BranchOutlineFormatSettingChangedNotification);
}
