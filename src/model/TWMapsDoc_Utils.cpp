#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc_ChangedBranches.h"
#include "model/TWMapsDoc_Private.h"
#include "platform/NotificationCenter.h"
#include "support/TWPreferences.h"
#include <algorithm>

namespace {
// Adapts the services to the generic pass.
struct ServiceOps
{
    TWMapBranchServices &services;

    using Branch = std::shared_ptr<TWMapBranch>;
    TWMap *mapOf(const Branch &b) { return services.mapOf(b); }
    void prepareText(const Branch &b) { services.prepareText(b); }
    int layoutAssistanceMode(TWMap *m) { return services.layoutAssistanceMode(m); }
    QList<Branch> minimumBranchCover(const QList<Branch> &g)
    {
        return services.minimumBranchCover(g);
    }
    Branch parentOf(const Branch &b) { return services.parentOf(b); }
    void reSortChildrenByPositionRecursively(const Branch &b)
    {
        services.reSortChildrenByPositionRecursively(b);
    }
    bool outlineNumbersNeedUpdating(TWMap *m) { return services.outlineNumbersNeedUpdating(m); }
    void recalculateOutlineNumbers(TWMap *m) { services.recalculateOutlineNumbers(m); }
    void autoArrange(TWMap *m, const QList<Branch> &g) { services.autoArrange(m, g); }
};

constexpr int FirstBranchType = 1; // a line
constexpr int LastBranchType = 7;  // a custom shape

bool isBranchType(int code)
{
    return code >= FirstBranchType && code <= LastBranchType;
}
} // namespace

// --- changed branches ---

void TWMapsDoc::setBranchServices(std::shared_ptr<TWMapBranchServices> services)
{
    m_branchServices = std::move(services);
}

TWMapBranchServices &TWMapsDoc::branchServices() const
{
    if (m_branchServices)
        return *m_branchServices;
    static TWMapsDocBranchServices services;
    return services;
}

void TWMapsDoc::addObjectToChangedBranchesIfAbsent(const std::shared_ptr<TWMapBranch> &branch)
{
    // A drag or an import touches thousands of branches: no list search.
    if (!branch || m_changedBranchSet.contains(branch.get()))
        return;
    // Grown fourfold rather than doubled: an import fills it with every
    // branch it makes, and each growth rehashes all of them.
    if (m_changedBranchSet.size() >= m_changedBranchSet.capacity()) {
        const qsizetype more = std::max<qsizetype>(64, m_changedBranchSet.size() * 4);
        m_changedBranchSet.reserve(more);
        m_changedBranches.reserve(more);
    }
    m_changedBranchSet.insert(branch.get());
    m_changedBranches.append(branch);
}

bool TWMapsDoc::resizeWouldChangeNothing(const TWMapBranch &branch)
{
    // An import or a drag resizes thousands of branches many times over.
    const TWMap *map = branch.map();
    const TWMapsDoc *doc = map ? map->document() : nullptr;
    return doc && doc->m_changedBranchSet.contains(&branch) &&
           !NotificationCenter::defaultCenter().isObservedBesides(
               TWGraphic::BranchDidResizeNotification, doc->m_branchDidResizeObserver);
}

bool TWMapsDoc::takeResizeDirectly(const std::shared_ptr<TWMapBranch> &branch)
{
    // Building the notification and its branch entry costs more than the
    // document's own handling of it.
    const TWMap *map = branch ? branch->map() : nullptr;
    TWMapsDoc *doc = map ? map->document() : nullptr;
    if (!doc)
        return false;
    // Asked again only when observers come or go, or of another document.
    struct Answer
    {
        const TWMapsDoc *doc = nullptr;
        quint64 generation = 0;
        bool alone = false;
    };
    static Answer last;
    const NotificationCenter &center = NotificationCenter::defaultCenter();
    if (const quint64 now = center.generation(); last.doc != doc || last.generation != now)
        last = {doc, now,
                doc->m_branchDidResizeObserver.isActive() &&
                    !center.isObservedBesides(TWGraphic::BranchDidResizeNotification,
                                              doc->m_branchDidResizeObserver)};
    if (!last.alone)
        return false;
    doc->addObjectToChangedBranchesIfAbsent(branch);
    return true;
}

void TWMapsDoc::branchDidResizeNotification(const Notification &notification)
{
    // Every document hears every branch; only its own are laid out here.
    const auto branch =
        notification.userInfo.value(BranchKey).value<std::shared_ptr<TWMapBranch>>();
    const TWMap *map = branch ? branch->map() : nullptr;
    if (map && map->document() == this)
        addObjectToChangedBranchesIfAbsent(branch);
}

QList<TWMapsDoc::BranchList> TWMapsDoc::changedBranchesByMap() const
{
    TWMapBranchServices &services = branchServices();
    return TWChangedBranches::groupByMap(
        m_changedBranches, [&services](const auto &branch) { return services.mapOf(branch); });
}

void TWMapsDoc::updateChangedBranches()
{
    ServiceOps ops{branchServices()};
    TWChangedBranches::process(m_changedBranches, ops);
    m_changedBranchSet.clear();
}

// --- the services over real branches ---

TWMap *TWMapsDocBranchServices::mapOf(const Branch &branch)
{
    return branch ? branch->map() : nullptr;
}

void TWMapsDocBranchServices::prepareText(const Branch &branch)
{
    const std::shared_ptr<TWGraphic> &shape = branch->mainGraphic();
    if (shape && shape->className() == QLatin1String("TWFlexiBranch"))
        branch->layoutServices().generateFlexiCharacters(*branch);
}

int TWMapsDocBranchServices::layoutAssistanceMode(TWMap *map)
{
    return map->layoutAssistanceMode();
}

QList<TWMapsDocBranchServices::Branch>
TWMapsDocBranchServices::minimumBranchCover(const QList<Branch> &branches)
{
    QList<Branch> cover;
    for (const Branch &branch : branches) {
        bool covered = false;
        for (TWMapBranch *a = branch->parent(); a && !covered; a = a->parent())
            covered = std::any_of(branches.cbegin(), branches.cend(),
                                  [a](const Branch &b) { return b.get() == a; });
        if (!covered)
            cover.append(branch);
    }
    return cover;
}

TWMapsDocBranchServices::Branch TWMapsDocBranchServices::parentOf(const Branch &branch)
{
    return branch->parentPointer();
}

void TWMapsDocBranchServices::reSortChildrenByPositionRecursively(const Branch &branch)
{
    branch->reSortChildrenByPositionRecursively(true);
}

bool TWMapsDocBranchServices::outlineNumbersNeedUpdating(TWMap *map)
{
    return map->outlineNumbersNeedUpdating();
}

void TWMapsDocBranchServices::recalculateOutlineNumbers(TWMap *map)
{
    map->updateOutlineNumbers();
}

void TWMapsDocBranchServices::autoArrange(TWMap *map, const QList<Branch> &movedBranches)
{
    map->autoArangeWithMovedBranches(movedBranches);
}

// --- utilities ---

int TWMapsDoc::getDefaultGraphicType()
{
    if (isBranchType(m_graphicClassIdentifier))
        return m_graphicClassIdentifier;
    int preferred = TWPreferences::branchType();
    if (!isBranchType(preferred)) {
        qWarning().noquote() << "TWMapsDoc: preferred branch type" << preferred
                             << "is unknown; new branches are lines";
        preferred = FirstBranchType;
    }
    setGraphicClassIdentifier(preferred);
    return preferred;
}

void TWMapsDoc::updatePreviewImages()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->updatePreviewImage();
}

void TWMapsDoc::progressiveUpdatePreviewImages()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->setNeedsUpdatePreviewImage(true);
}

void TWMapsDoc::updatePreviewImagesInFileCache()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->updatePreviewInFileCache();
}

void TWMapsDoc::processFlags()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        map->processFlags();
        map->makeNaturalSizeOfMarkedBranches();
    }
}

void TWMapsDoc::postSubtreeNeedsRedrawNotificationForAllRoots()
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        if (const std::shared_ptr<TWMapBranch> root = map->root())
            NotificationCenter::defaultCenter().post(SubtreeNeedsRedrawNotification, root.get());
    }
}

bool TWMapsDoc::boolFromString(const std::optional<QString> &text)
{
    return text && text->toUpper() == QLatin1String("YES");
}

void TWMapsDoc::addBranchesMatchingReport(const QVariantMap &report, BranchList &branches)
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        map->addBranchesMatchingReport(report, branches);
}
