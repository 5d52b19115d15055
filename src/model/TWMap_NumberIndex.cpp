#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <QHash>
#include <QSet>
#include <algorithm>

// Graphics by number, and the branches whose graphics are held, so that a
// change can tell whether it happens inside the map's tree. Kept up to date
// by the tree's accessors; rebuilt whole only when marked stale.
struct TWMap::NumberIndex
{
    QHash<long, std::weak_ptr<TWGraphic>> byNumber;
    QSet<const TWMapBranch *> branches;
    bool stale = true;
    // Two graphics share a number: a leaving one may uncover the other,
    // which the next lookup then finds by a rebuild.
    bool duplicates = false;

    void add(const std::shared_ptr<TWGraphic> &graphic)
    {
        if (!graphic)
            return;
        const long number = graphic->graphicNumber();
        // A map's graphics join a branch at a time: grown four times over
        // rather than twice, the index is rehashed half as often.
        if (byNumber.size() >= 64 && byNumber.size() >= byNumber.capacity())
            byNumber.reserve(byNumber.size() * 4);
        // One lookup: a new number's slot is made empty and filled here.
        const qsizetype before = byNumber.size();
        std::weak_ptr<TWGraphic> &slot = byNumber[number];
        if (byNumber.size() != before) {
            slot = graphic;
            return;
        }
        const std::shared_ptr<TWGraphic> held = slot.lock();
        if (!held || held->graphicNumber() != number)
            slot = graphic;
        else if (held != graphic)
            duplicates = true;
    }

    void drop(const TWGraphic *graphic)
    {
        if (!graphic)
            return;
        const auto found = byNumber.constFind(graphic->graphicNumber());
        if (found != byNumber.constEnd() && found->lock().get() == graphic)
            byNumber.erase(found);
        if (duplicates)
            stale = true;
    }

    template <class F> static void forEachOwnGraphic(const TWMapBranch &branch, F &&f)
    {
        f(branch.mainGraphic());
        f(branch.enclosedTextArea());
        f(branch.enclosedImage());
        f(branch.connectionGraphic());
        for (const std::shared_ptr<TWGraphic> &g : branch.linkedGraphics())
            f(g);
        for (const std::shared_ptr<TWEnclosedGraphic> &record : branch.otherEnclosedGraphics())
            f(record->graphic());
    }

    void addSubtree(const TWMapBranch &top)
    {
        // A branch joins its parent before its children join it: no list
        // for the one branch.
        if (top.children().isEmpty()) {
            branches.insert(&top);
            forEachOwnGraphic(top, [this](const auto &g) { add(g); });
            return;
        }
        QList<const TWMapBranch *> pending{&top};
        while (!pending.isEmpty()) {
            const TWMapBranch *b = pending.takeLast();
            branches.insert(b);
            forEachOwnGraphic(*b, [this](const auto &g) { add(g); });
            for (auto it = b->children().crbegin(); it != b->children().crend(); ++it)
                pending.append(it->get());
        }
    }

    void dropSubtree(const TWMapBranch &top)
    {
        QList<const TWMapBranch *> pending{&top};
        while (!pending.isEmpty()) {
            const TWMapBranch *b = pending.takeLast();
            branches.remove(b);
            forEachOwnGraphic(*b, [this](const auto &g) { drop(g.get()); });
            for (const std::shared_ptr<TWMapBranch> &child : b->children())
                pending.append(child.get());
        }
    }
};

void TWMap::graphicNumbersChanged()
{
    if (m_numberIndex)
        m_numberIndex->stale = true;
}

TWMap *TWMap::mapIndexing(const TWMapBranch &branch)
{
    TWMap *m = branch.map();
    if (!m || !m->m_numberIndex || m->m_numberIndex->stale)
        return nullptr;
    return m->m_numberIndex->branches.contains(&branch) ? m : nullptr;
}

void TWMap::graphicsJoined(const TWMapBranch &subtree)
{
    if (m_numberIndex && !m_numberIndex->stale)
        m_numberIndex->addSubtree(subtree);
}

void TWMap::graphicsLeft(const TWMapBranch &subtree)
{
    if (!m_numberIndex || m_numberIndex->stale)
        return;
    // A subtree handed to its new parent before the old one lets go is
    // still in the tree.
    if (const TWMapBranch *parent = subtree.parent();
        parent && m_numberIndex->branches.contains(parent) &&
        std::any_of(parent->children().cbegin(), parent->children().cend(),
                    [&subtree](const auto &child) { return child.get() == &subtree; }))
        return;
    m_numberIndex->dropSubtree(subtree);
}

void TWMap::graphicJoined(const std::shared_ptr<TWGraphic> &graphic)
{
    if (m_numberIndex && !m_numberIndex->stale)
        m_numberIndex->add(graphic);
}

void TWMap::graphicLeft(const TWGraphic *graphic)
{
    if (m_numberIndex && !m_numberIndex->stale)
        m_numberIndex->drop(graphic);
}

void TWMap::graphicNumberChanged(const TWGraphic &graphic, long oldNumber)
{
    if (!m_numberIndex || m_numberIndex->stale)
        return;
    NumberIndex &index = *m_numberIndex;
    const auto found = index.byNumber.constFind(oldNumber);
    if (found != index.byNumber.constEnd() && found->lock().get() == &graphic) {
        index.byNumber.erase(found);
        index.add(std::const_pointer_cast<TWGraphic>(graphic.weak_from_this().lock()));
    } else if (index.duplicates) {
        index.stale = true;
    }
}

std::shared_ptr<TWGraphic> TWMap::findGraphicWithGraphicNumber(long number) const
{
    auto *self = const_cast<TWMap *>(this);
    if (!self->m_numberIndex)
        self->m_numberIndex = std::make_shared<NumberIndex>();
    NumberIndex &index = *self->m_numberIndex;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (index.stale) {
            // Every graphic, hidden branches and hidden attached graphics
            // included: a reference must not depend on what is shown. The
            // link lines first, then the tree root first; the first wins.
            index.byNumber.clear();
            index.branches.clear();
            index.duplicates = false;
            index.stale = false;
            for (const std::shared_ptr<TWLinkLine> &line : m_linkLines)
                index.add(line);
            if (m_root)
                index.addSubtree(*m_root);
        }
        const auto found = index.byNumber.constFind(number);
        if (found == index.byNumber.constEnd())
            return nullptr;
        std::shared_ptr<TWGraphic> graphic = found->lock();
        if (graphic && graphic->graphicNumber() == number)
            return graphic;
        // A graphic went without leaving: look again over the whole map.
        index.stale = true;
    }
    return nullptr;
}
