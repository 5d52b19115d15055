#include "application/TWOutlineModel.h"
#include "application/TWOutlineView.h"
#include "application/TWOutlineViewController.h"

#include "application/TWDocument.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"

#include <QTimer>
#include <algorithm>
#include <QtDebug>

namespace {
using BranchList = TWMap::BranchList;

BranchList shared(const QList<TWMapBranch *> &branches)
{
    BranchList list;
    for (TWMapBranch *b : branches)
        list << b->shared_from_this();
    return list;
}

// Exchanges the two branches' places on the canvas.
void swapPlaces(TWMapBranch &branch, TWMapBranch &other)
{
    const std::shared_ptr<TWGraphic> mine = branch.mainGraphic();
    const std::shared_ptr<TWGraphic> theirs = other.mainGraphic();
    if (!mine || !theirs)
        return;
    const Point a = mine->bounds().origin;
    const Point b = theirs->bounds().origin;
    const Point d{b.x - a.x, b.y - a.y};
    mine->publicMoveBy(d, true);
    theirs->publicMoveBy(Point{-d.x, -d.y}, true);
}
} // namespace

// --- row queries ---

TWMapBranch *TWOutlineViewController::branchAbove(const TWMapBranch *branch) const
{
    const QModelIndex index = m_model->indexForBranch(branch);
    if (!index.isValid() || !m_outlineView->isRowShown(index))
        return nullptr;
    return branchForIndex(m_outlineView->indexAbove(index));
}

TWMapBranch *TWOutlineViewController::branchBelow(const TWMapBranch *branch) const
{
    const QModelIndex index = m_model->indexForBranch(branch);
    if (!index.isValid() || !m_outlineView->isRowShown(index))
        return nullptr;
    return branchForIndex(m_outlineView->indexBelow(index));
}

TWMapBranch *TWOutlineViewController::siblingBranchAbove(const TWMapBranch *branch) const
{
    if (!branch)
        return nullptr;
    const int level = branch->getThisBranchLevel();
    for (TWMapBranch *row = branchAbove(branch); row; row = branchAbove(row)) {
        const int rowLevel = row->getThisBranchLevel();
        if (rowLevel <= level)
            return rowLevel == level ? row : nullptr;
    }
    return nullptr;
}

TWMapBranch *TWOutlineViewController::siblingBranchBelow(const TWMapBranch *branch) const
{
    if (!branch)
        return nullptr;
    const int level = branch->getThisBranchLevel();
    for (TWMapBranch *row = branchBelow(branch); row; row = branchBelow(row)) {
        const int rowLevel = row->getThisBranchLevel();
        if (rowLevel <= level)
            return rowLevel == level ? row : nullptr;
    }
    return nullptr;
}

QList<TWMapBranch *> TWOutlineViewController::siblingBranchesBelow(const TWMapBranch *branch) const
{
    QList<TWMapBranch *> below;
    for (TWMapBranch *b = siblingBranchBelow(branch); b; b = siblingBranchBelow(b))
        below << b;
    return below;
}

// --- validation ---

bool TWOutlineViewController::anySelected(const std::function<bool(TWMapBranch *)> &test) const
{
    const QList<TWMapBranch *> selection = selectedBranches();
    if (selection.isEmpty() || (selection.size() == 1 && selection.first()->isRoot()))
        return false;
    return std::any_of(selection.cbegin(), selection.cend(), test);
}

bool TWOutlineViewController::canMoveUp() const
{
    return anySelected([this](TWMapBranch *b) {
        const TWMapBranch *above = branchAbove(b);
        return above && above->getThisBranchLevel() > 0;
    });
}

bool TWOutlineViewController::canMoveDown() const
{
    return anySelected([this](TWMapBranch *b) { return branchBelow(b) != nullptr; });
}

bool TWOutlineViewController::canMoveLeft() const
{
    return anySelected([](TWMapBranch *b) { return b->getThisBranchLevel() > 1; });
}

bool TWOutlineViewController::canMoveRight() const
{
    return canMoveUp();
}

bool TWOutlineViewController::canGroup() const
{
    return anySelected([](TWMapBranch *b) { return b->getThisBranchLevel() > 0; });
}

bool TWOutlineViewController::canUngroup() const
{
    return anySelected([](TWMapBranch *b) { return !b->children().isEmpty(); });
}

void TWOutlineViewController::selectAfterTurn(const QList<std::weak_ptr<TWMapBranch>> &weak,
                                              bool editOne)
{
    afterTurn([this, weak, editOne] {
        QList<TWMapBranch *> branches;
        for (const auto &w : weak) {
            if (const auto b = w.lock())
                branches << b.get();
        }
        selectBranches(branches);
        if (editOne && branches.size() == 1)
            editSelection();
    });
}

// --- adding, deleting and editing ---

void TWOutlineViewController::createChildBranches()
{
    TWMap *map = currentMap();
    if (!map)
        return;
    const BranchList made = map->publicCreateChildrenOfType(
        mapsDocument()->graphicClassIdentifier(), std::nullopt, false);
    selectAfterTurn({made.cbegin(), made.cend()}, true);
}

void TWOutlineViewController::createSiblingBranches()
{
    TWMap *map = currentMap();
    if (!map)
        return;
    const std::optional<BranchList> made = map->publicCreateSiblingsOfType(
        mapsDocument()->graphicClassIdentifier(), std::nullopt, false);
    if (!made)
        return;
    selectAfterTurn({made->cbegin(), made->cend()}, true);
}

TWMapBranch *
TWOutlineViewController::branchToSelectAfterDeleting(const QList<TWMapBranch *> &selection)
{
    if (selection.isEmpty())
        return nullptr;
    TWMapBranch *first = selection.first();
    TWMapBranch *parent = first->parent();
    if (!parent)
        return nullptr;
    const TWMapBranch::BranchList &siblings = parent->children();
    const int at = first->childIndex();
    for (int i = at - 1; i >= 0; --i) {
        if (!selection.contains(siblings.at(i).get()))
            return siblings.at(i).get();
    }
    for (const auto &sibling : siblings) {
        if (!selection.contains(sibling.get()))
            return sibling.get();
    }
    for (TWMapBranch *b = parent; b; b = b->parent()) {
        if (!selection.contains(b) && !b->isRoot())
            return b;
    }
    return nullptr;
}

void TWOutlineViewController::deleteSelectedBranches()
{
    TWMap *map = currentMap();
    const QList<TWMapBranch *> selection = selectedBranches();
    if (!map || selection.isEmpty())
        return;
    TWMapBranch *next = branchToSelectAfterDeleting(selection);
    const std::weak_ptr<TWMapBranch> chosen =
        next ? next->weak_from_this() : std::weak_ptr<TWMapBranch>();
    map->publicDeleteSelectedBranches();
    const std::weak_ptr<TWMap> weakMap = map->weak_from_this();
    QTimer::singleShot(UpdateDelay, this, [this, chosen, weakMap] {
        const std::shared_ptr<TWMap> m = weakMap.lock();
        std::shared_ptr<TWMapBranch> target = chosen.lock();
        if (!target && m)
            target = m->root();
        if (target)
            selectBranches({target.get()});
    });
}

void TWOutlineViewController::editSelection()
{
    m_outlineView->editCurrentRow();
}

void TWOutlineViewController::editingBegan()
{
    const QList<TWMapBranch *> selection = selectedBranches();
    m_editingBranch =
        selection.isEmpty() ? std::weak_ptr<TWMapBranch>() : selection.first()->weak_from_this();
}

void TWOutlineViewController::endEditingBranches()
{
    const QList<TWMapBranch *> selection = selectedBranches();
    m_outlineView->finishEditing();
    m_outlineView->setFocus();
    for (TWMapBranch *b : selection)
        b->makeNaturalSize();
    QList<std::weak_ptr<TWMapBranch>> weak;
    for (TWMapBranch *b : selection)
        weak << b->weak_from_this();
    selectAfterTurn(weak, false);
}

void TWOutlineViewController::setBranchText(TWMapBranch &branch, const AttributedString &text)
{
    const std::shared_ptr<TWTextArea> &area = branch.enclosedTextArea();
    if (!area || area->text() == text)
        return;
    area->setText(text);
    UndoManager::setActionName(branch.undoManager(),
                               TWLocalizedString("DadoZiz", QStringLiteral("Text Editing")));
}

// --- moving ---

void TWOutlineViewController::moveBranchUp(TWMapBranch *branch)
{
    TWMapBranch *above = branchAbove(branch);
    if (!branch || !above || branch->isRoot() || above->isRoot())
        return;
    const int level = branch->getThisBranchLevel();
    if (above->getThisBranchLevel() < level) {
        setMapSelection({above});
        return;
    }
    if (above->getThisBranchLevel() > level)
        above = siblingBranchAbove(branch);
    if (!above || above->getThisBranchLevel() != level) {
        qWarning("Unexpected error moving branch up in outline view");
        return;
    }
    swapPlaces(*branch, *above);
}

void TWOutlineViewController::moveBranchDown(TWMapBranch *branch)
{
    TWMapBranch *below = branchBelow(branch);
    if (!branch || !below || branch->isRoot() || below->isRoot())
        return;
    const int level = branch->getThisBranchLevel();
    if (below->getThisBranchLevel() < level) {
        setMapSelection({branch->parent()});
        return;
    }
    if (below->getThisBranchLevel() > level) {
        below = siblingBranchBelow(branch);
        if (!below) {
            setMapSelection({branch->parent()});
            return;
        }
    }
    if (below->getThisBranchLevel() != level) {
        qWarning("Unexpected error moving branch down in outline view");
        return;
    }
    swapPlaces(*branch, *below);
}

void TWOutlineViewController::moveBranchRight(TWMapBranch *branch)
{
    TWMapBranch *newParent = siblingBranchAbove(branch);
    TWMapsDoc *maps = mapsDocument();
    if (!newParent || !maps)
        return;
    maps->publicGraftBranches({branch->shared_from_this()}, newParent->shared_from_this());
}

void TWOutlineViewController::moveBranchLeft(TWMapBranch *branch)
{
    TWMapBranch *parent = branch ? branch->parent() : nullptr;
    TWMapBranch *grandparent = parent ? parent->parent() : nullptr;
    TWMapsDoc *maps = mapsDocument();
    if (!grandparent || !maps)
        return;
    maps->publicGraftBranches({branch->shared_from_this()}, grandparent->shared_from_this());
}

void TWOutlineViewController::outdentBranch(TWMapBranch *branch)
{
    // A first-level branch cannot go further left; its followers must not
    // become its children either.
    if (!branch || branch->getThisBranchLevel() < 2)
        return;
    TWMapsDoc *maps = mapsDocument();
    if (!maps)
        return;
    const QList<TWMapBranch *> followers = siblingBranchesBelow(branch);
    if (!followers.isEmpty())
        maps->publicGraftBranches(shared(followers), branch->shared_from_this());
    moveBranchLeft(branch);
}

void TWOutlineViewController::ungroupBranch(TWMapBranch *branch)
{
    TWMapsDoc *maps = mapsDocument();
    if (!branch || branch->isRoot() || branch->children().isEmpty() || !maps || !branch->parent())
        return;
    const BranchList children = branch->children();
    maps->publicGraftBranches(children, branch->parentPointer());
}

void TWOutlineViewController::moveUp()
{
    for (TWMapBranch *b : selectedBranches())
        moveBranchUp(b);
}

void TWOutlineViewController::moveDown()
{
    for (TWMapBranch *b : selectedBranches())
        moveBranchDown(b);
}

void TWOutlineViewController::moveSelection(void (TWOutlineViewController::*move)(TWMapBranch *),
                                            bool lastFirst)
{
    // Held so that a branch taken out of the tree on the way stays alive.
    const QList<TWMapBranch *> selection = selectedBranches();
    const BranchList held = shared(selection);
    const qsizetype count = selection.size();
    for (qsizetype i = 0; i < count; ++i)
        (this->*move)(selection.at(lastFirst ? count - 1 - i : i));
    setMapSelection(selection);
}

void TWOutlineViewController::moveRight()
{
    moveSelection(&TWOutlineViewController::moveBranchRight, true);
}

void TWOutlineViewController::moveLeft()
{
    moveSelection(&TWOutlineViewController::moveBranchLeft, false);
}

void TWOutlineViewController::outdent()
{
    moveSelection(&TWOutlineViewController::outdentBranch, false);
}

void TWOutlineViewController::ungroup()
{
    moveSelection(&TWOutlineViewController::ungroupBranch, false);
}

void TWOutlineViewController::group()
{
    const QList<TWMapBranch *> selection = selectedBranches();
    TWMapsDoc *maps = mapsDocument();
    if (selection.isEmpty() || !maps)
        return;
    BranchList grouped;
    for (qsizetype i = selection.size() - 1; i >= 0; --i) {
        TWMapBranch *b = selection.at(i);
        if (!b->isRoot() && !selection.contains(b->parent()))
            grouped.prepend(b->shared_from_this());
    }
    // The new branch hangs beside the lowest branch that moves: beside a
    // selected child of a moving branch it would end up inside what it holds.
    if (grouped.isEmpty())
        return;
    TWMapBranch *anchor = grouped.last().get();
    const std::shared_ptr<TWMapBranch> newParent = anchor->parentPointer()->addChildOfType(-1);
    if (!newParent)
        return;
    maps->publicGraftBranches(grouped, newParent);
    setMapSelection({newParent.get()});
    // The outline follows the map's selection once the reload has run.
    const std::weak_ptr<TWMapBranch> weak = newParent;
    QTimer::singleShot(UpdateDelay, this, [this, weak] {
        const std::shared_ptr<TWMapBranch> made = weak.lock();
        if (!made)
            return;
        selectBranches({made.get()});
        const QList<TWMapBranch *> now = selectedBranches();
        if (now.size() != 1 || now.first() != made.get()) {
            qWarning("Error selecting new group parent");
            return;
        }
        m_outlineView->expand(m_model->indexForBranch(made.get()));
        editSelection();
    });
}
