// The map of an old property-list document.
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "support/OldStyleValues.h"

#include <QDebug>
#include <QHash>

using namespace OldStyleValues;

void TWMap::numberOfBranchesInDict(const QVariantMap &dictionary, qint64 *counter)
{
    // Without recursion: a dictionary made in memory may nest without bound.
    QList<QVariantMap> pending{dictionary};
    while (!pending.isEmpty()) {
        const QVariantMap branch = pending.takeLast();
        if (branch.isEmpty())
            continue;
        // Past the limit the exact number no longer matters.
        if (++*counter > maxOldStyleBranches)
            return;
        pending.append(dictionaries(branch.value(QStringLiteral("children"))));
    }
}

std::shared_ptr<TWMap> TWMap::initWithOldStyleDictionary(const QVariantMap &dictionary,
                                                         TWMapsDoc *document)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    std::shared_ptr<TWMap> map = create(document);
    const QVariantMap rootNode =
        OldStyleValues::dictionary(dictionary.value(QStringLiteral("rootNode")));
    qint64 count = 0;
    numberOfBranchesInDict(rootNode, &count);
    center.post(TWMapsDoc::StartLoadingCountNotification, nullptr, {{TWMapsDoc::CountKey, count}});

    map->setOutlineFont(std::nullopt);
    map->setDefaultGraphicColor(std::nullopt);
    map->setDefaultStrokeColor(std::nullopt);

    auto refuse = [&]() -> std::shared_ptr<TWMap> {
        center.post(TWMapsDoc::FinishLoadingNotification);
        map->deparent();
        return nullptr;
    };
    const int version = intValue(dictionary.value(QStringLiteral("versionNumber")));
    if (version > 3) {
        qWarning("Old document of version %d: this program reads versions up to 3", version);
        return refuse();
    }
    if (count > maxOldStyleBranches) {
        qWarning("Old document of %lld branches: this program reads at most %lld",
                 static_cast<long long>(count), static_cast<long long>(maxOldStyleBranches));
        return refuse();
    }

    const QString width = QStringLiteral("canvasWidth");
    const QString height = QStringLiteral("canvasHeight");
    if (dictionary.contains(width) && dictionary.contains(height))
        map->setCanvasSize(Size(float(intValue(dictionary.value(width))),
                                float(intValue(dictionary.value(height)))));
    else
        map->setCanvasSize(Size(400, 600));
    if (dictionary.contains(QStringLiteral("zoomAmount")))
        map->setZoomAmount(TWGraphic::correctedReal(
            floatValue(dictionary.value(QStringLiteral("zoomAmount"))), 100));

    if (rootNode.isEmpty()) {
        qWarning("Old document without a root branch");
        return refuse();
    }
    if (map->m_root) {
        map->m_root->setPrimitiveMap(nullptr);
        map->m_root->deparent();
        map->m_root.reset();
    }
    if (!TWMapBranch::initWithOldStyleDictionary(rootNode, nullptr, map.get()) || !map->m_root)
        return refuse();

    const QString hideLevel = QStringLiteral("branchHideLevel");
    map->setBranchHideLevel(dictionary.contains(hideLevel) ? intValue(dictionary.value(hideLevel))
                                                           : map->m_root->getMaximumBranchLevel());

    map->setOutlineNumbersNeedUpdating(true);
    map->removeAllGraphicOrderCache();
    map->removeAllSelectedGraphics();
    map->graphicNumbersChanged();
    // The ends are branch numbers until this turns them into graphic numbers,
    // so it runs before the general resolution, which would not find them.
    map->resolveLinkedGraphicEnds();
    map->resolveLoadedGraphics();
    for (const std::shared_ptr<TWGraphic> &graphic : map->graphicsOrderedForPrinting(true)) {
        if (auto *connection = dynamic_cast<TWConnectionGraphic *>(graphic.get()))
            connection->updateBounds();
    }
    center.post(TWMapsDoc::FinishLoadingNotification);
    return map;
}

void TWMap::resolveLinkedGraphicEnds()
{
    // The first branch of a number in tree order, as a search from the root finds it.
    QHash<int, TWMapBranch *> byNumber;
    for (const std::shared_ptr<TWMapBranch> &branch : allBranches()) {
        if (!byNumber.contains(branch->branchNumber()))
            byNumber.insert(branch->branchNumber(), branch.get());
    }
    auto shapeNumber = [&byNumber](long branchNumber) -> long {
        const TWMapBranch *branch = byNumber.value(int(branchNumber));
        return branch && branch->mainGraphic() ? branch->mainGraphic()->graphicNumber() : 0;
    };
    for (const std::shared_ptr<TWLinkLine> &line : LinkLineList(m_linkLines)) {
        line->setStartGraphicNumber(shapeNumber(line->startGraphicNumber()));
        line->setEndGraphicNumber(shapeNumber(line->endGraphicNumber()));
        line->updateBounds();
    }
}
