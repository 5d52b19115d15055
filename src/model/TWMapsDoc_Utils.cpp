#include "model/TWMap.h"
#include "model/TWMapsDoc_ChangedBranches.h"
#include "model/TWMapsDoc_Private.h"
#include "platform/TWPreferences.h"

namespace {
TWMapBranchServices *g_branchServices = nullptr;

// Adapts the installed services to the generic pass.
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

void TWMapsDoc::setBranchServices(TWMapBranchServices *services)
{
    g_branchServices = services;
}

TWMapBranchServices *TWMapsDoc::branchServices()
{
    return g_branchServices;
}

void TWMapsDoc::addObjectToChangedBranchesIfAbsent(const std::shared_ptr<TWMapBranch> &branch)
{
    TWChangedBranches::addIfAbsent(m_changedBranches, branch);
}

void TWMapsDoc::branchDidResizeNotification(const Notification &notification)
{
    addObjectToChangedBranchesIfAbsent(
        notification.userInfo.value(BranchKey).value<std::shared_ptr<TWMapBranch>>());
}

QList<TWMapsDoc::BranchList> TWMapsDoc::changedBranchesByMap() const
{
    if (!g_branchServices) {
        QList<BranchList> groups;
        if (!m_changedBranches.isEmpty())
            groups.append(m_changedBranches);
        return groups;
    }
    return TWChangedBranches::groupByMap(
        m_changedBranches, [](const auto &branch) { return g_branchServices->mapOf(branch); });
}

void TWMapsDoc::updateChangedBranches()
{
    if (!g_branchServices) {
        m_changedBranches.clear();
        return;
    }
    ServiceOps ops{*g_branchServices};
    TWChangedBranches::process(m_changedBranches, ops);
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
