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
#include <vector>

namespace {

// Graphics by their numbers in one block of slots: open addressing, so that
// a lookup reads a few neighbouring slots and a map's graphics join without
// an allocation each.
class GraphicsByNumber
{
public:
    using Graphic = std::weak_ptr<TWGraphic>;

    qsizetype size() const { return m_count; }
    void clear()
    {
        m_slots.clear();
        m_count = 0;
    }
    Graphic *find(long number)
    {
        const qsizetype at = slotOf(number);
        return at < 0 ? nullptr : &m_slots[size_t(at)].graphic;
    }
    // The slot of `number`, made empty when there was none (`added`).
    Graphic &slotFor(long number, bool &added)
    {
        // Up to three quarters full: runs stay short, and a map's graphics
        // joining one at a time move their slots to new blocks less often.
        if (size_t(m_count + 1) * 4 > m_slots.size() * 3)
            rehash(std::max<size_t>(64, m_slots.size() * 2));
        const size_t mask = m_slots.size() - 1;
        size_t i = home(number, mask);
        for (; m_slots[i].used; i = (i + 1) & mask) {
            if (m_slots[i].number == number) {
                added = false;
                return m_slots[i].graphic;
            }
        }
        m_slots[i].used = true;
        m_slots[i].number = number;
        ++m_count;
        added = true;
        return m_slots[i].graphic;
    }
    void erase(long number)
    {
        const qsizetype at = slotOf(number);
        if (at < 0)
            return;
        // Later slots that could sit nearer their home move back, so that no
        // lookup stops early at the hole.
        const size_t mask = m_slots.size() - 1;
        size_t hole = size_t(at);
        for (size_t i = (hole + 1) & mask; m_slots[i].used; i = (i + 1) & mask) {
            const size_t h = home(m_slots[i].number, mask);
            const bool between = hole <= i ? (h > hole && h <= i) : (h > hole || h <= i);
            if (!between) {
                m_slots[hole] = std::move(m_slots[i]);
                hole = i;
            }
        }
        m_slots[hole] = Slot();
        --m_count;
    }

private:
    struct Slot
    {
        long number = 0;
        bool used = false;
        Graphic graphic;
    };
    static size_t home(long number, size_t mask)
    {
        // Fibonacci hashing spreads numbers that differ in their low bits.
        return size_t((quint64(number) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    qsizetype slotOf(long number) const
    {
        if (m_slots.empty())
            return -1;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = home(number, mask); m_slots[i].used; i = (i + 1) & mask) {
            if (m_slots[i].number == number)
                return qsizetype(i);
        }
        return -1;
    }
    void rehash(size_t count)
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots = std::vector<Slot>(count);
        const size_t mask = count - 1;
        for (Slot &slot : old) {
            if (!slot.used)
                continue;
            size_t i = home(slot.number, mask);
            while (m_slots[i].used)
                i = (i + 1) & mask;
            m_slots[i] = std::move(slot);
        }
    }

    std::vector<Slot> m_slots;
    qsizetype m_count = 0;
};

} // namespace

// Graphics by number, and the branches whose graphics are held, so that a
// change can tell whether it happens inside the map's tree. Kept up to date
// by the tree's accessors; rebuilt whole only when marked stale.
struct TWMap::NumberIndex
{
    GraphicsByNumber byNumber;
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
        // One lookup: a new number's slot is made empty and filled here.
        bool added = false;
        std::weak_ptr<TWGraphic> &slot = byNumber.slotFor(number, added);
        if (added) {
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
        const long number = graphic->graphicNumber();
        const std::weak_ptr<TWGraphic> *found = byNumber.find(number);
        if (found && found->lock().get() == graphic)
            byNumber.erase(number);
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
    const std::weak_ptr<TWGraphic> *found = index.byNumber.find(oldNumber);
    if (found && found->lock().get() == &graphic) {
        index.byNumber.erase(oldNumber);
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
        const std::weak_ptr<TWGraphic> *found = index.byNumber.find(number);
        if (!found)
            return nullptr;
        std::shared_ptr<TWGraphic> graphic = found->lock();
        if (graphic && graphic->graphicNumber() == number)
            return graphic;
        // A graphic went without leaving: look again over the whole map.
        index.stale = true;
    }
    return nullptr;
}
