#include "model/TWMap.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapRootShape.h"
#include "model/TWMap_Private.h"
#include "model/TWMapsDoc.h"
#include "model/TWOutlineNumbering.h"
#include "platform/UndoManager.h"
#include "platform/Uuid.h"
#include "support/Image.h"

#include <QDebug>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <utility>

TWMap::TWMap(Passkey) {}

// Owners cut the tree first (deparent); nothing is posted or registered here.
TWMap::~TWMap() = default;

std::shared_ptr<TWMap> TWMap::createBare()
{
    return std::make_shared<TWMap>(Passkey());
}

std::shared_ptr<TWMap> TWMap::create(TWMapsDoc *document)
{
    std::shared_ptr<TWMap> map = createBare();
    map->initWithDocument(document);
    return map;
}

void TWMap::initWithDocument(TWMapsDoc *document)
{
    // The settings go through their setters. A map being made is nobody's
    // edit yet: it registers nothing (inserting it into a document is the
    // step), and it has nothing drawn, so it announces nothing.
    UndoManager *undo = document ? document->undoManager() : nullptr;
    if (undo)
        undo->disableUndoRegistration();
    m_initializing = true;
    m_liveXMLElement = XMLElement::create("TWMap");
    m_document = document;
    m_identifier = newUUIDString();
    setCanvasSize(document && document->showPageFrames() ? drawingServices().imageablePageSize()
                                                         : DefaultCanvasSize);

    const std::shared_ptr<TWMap> current = document ? document->currentMap() : nullptr;

    setIsSwDialogueBOPage(true);
    setSwDialogueBOPageText(QStringLiteral("(MORE)"));
    setIsSwDialogueTONPage(true);
    setSwDialogueTONPageText(QStringLiteral("(cont'd)"));
    setIsSwSceneBOPage(true);
    setSwSceneBOPageText(QStringLiteral("(CONTINUED)"));
    setIsSwSceneTONPage(true);
    setSwSceneTONPageText(QStringLiteral("CONTINUED:"));
    setIsSceneContNoSwitch(true);
    setIsSwDialogueAutoChar(true);

    // Settings a new map takes over from the map the user is looking at.
    const TWMap *c = current.get();
    setShowBoundaries(c ? c->showBoundaries() : true);
    setOutlineNumbersToLevel(c ? c->outlineNumbersToLevel() : 0);
    setOutlineFont(c ? c->outlineFont() : std::nullopt);
    setChildOutlineNumberingTopDown(c ? c->childOutlineNumberingTopDown() : true);
    setTextMaxWidth(c ? c->textMaxWidth() : 50.0f);
    setTextMaxWidthSet(c ? c->textMaxWidthSet() : false);
    setFirstLevelSpacing(c ? c->firstLevelSpacing() : 100);
    setInterChildSpacing(c ? c->interChildSpacing() : 30);
    setRepelDistance(c ? c->repelDistance() : 10);
    setContinuousSpellCheck(c ? c->continuousSpellCheck() : true);
    setShowAttachedGraphics(c ? c->showAttachedGraphics() : true);
    setShowBoundaries(c ? c->showBoundaries() : true);
    setShowCheckboxes(c ? c->showCheckboxes() : true);
    setShowCollapseSign(c ? c->showCollapseSign() : false);
    setShowLinkLines(c ? c->showLinkLines() : true);
    setShowOutlineNumbers(c ? c->showOutlineNumbers() : false);
    setShowPercentComplete(c ? c->showPercentComplete() : true);
    setShowPriorities(c ? c->showPriorities() : true);
    setShowShadows(c ? c->showShadows() : true);
    // Through the getters, which answer false for these two.
    setShowSWTextIndicators(c ? c->showSWTextIndicators() : true);
    setShowTextIndicators(c ? c->showTextIndicators() : true);
    setShowResourcesAllocated(c ? c->showResourcesAllocated() : true);
    setDefaultGraphicColor(c ? c->defaultGraphicColor() : Color::whiteColor());
    setDefaultStrokeColor(c ? c->defaultStrokeColor() : Color::blackColor());
    setRainbowSaturation(c ? c->rainbowSaturation() : 1.0f);
    setRainbowAngle(c ? c->rainbowAngle() : 0.0f);
    setGraphicColoringMode(c ? c->graphicColoringMode() : 1);

    setBackgroundSettingsEnabled(false);
    setBackgroundColor(Color::whiteColor());
    setBackgroundImageFilename(std::nullopt);
    setBackgroundImageOpacity(1.0f);
    setBackgroundImageSize(Size());
    setBackgroundImageTileMode(0);
    setBackgroundImageOffset(Point());

    setLayoutAssistanceMode(2);
    setOrderingMode(1);
    setAutomaticCheckBoxes(true);

    removeAllLinkLines();
    setOutlineNumbersNeedUpdating(true);
    removeAllGraphicOrderCache();
    removeAllSelectedGraphics();
    setName(std::nullopt);
    setZoomAmount(100);
    setScaleAmount(100);
    setCachedVisibleRect(Rect());

    m_printSetupDictionary = TWMapDetail::defaultPrintSetup();
    m_drawBackgroundOffScreen = true;

    makeRootBranch();
    m_initializing = false;
    if (undo)
        undo->enableUndoRegistration();
}

void TWMap::makeRootBranch()
{
    const Rect bounds(m_canvasSize.width * 0.5f - RootShapeSize.width / 2,
                      m_canvasSize.height * 0.5f - RootShapeSize.height / 2, RootShapeSize.width,
                      RootShapeSize.height);
    std::shared_ptr<TWGraphic> shape = TWMapRootShape::make(bounds);
    std::shared_ptr<TWMapBranch> root = TWMapBranch::createWithGraphic(shape, nullptr, this);
    m_root = root;
    graphicNumbersChanged();
    shape->setStrokeColor(m_defaultStrokeColor);
    shape->setDrawsStroke(true);
    shape->setFillColor(m_defaultGraphicColor);
    shape->setDrawsFill(true);
}

std::shared_ptr<TWMap> TWMap::copy() const
{
    std::shared_ptr<TWMap> c = createBare();
    // Children this version does not know travel with the settings.
    c->m_liveXMLElement = m_liveXMLElement.copy();

    c->m_isSwDialogueBOPage = m_isSwDialogueBOPage;
    c->m_isSwDialogueTONPage = m_isSwDialogueTONPage;
    c->m_isSwDialogueAutoChar = m_isSwDialogueAutoChar;
    c->m_isSwSceneBOPage = m_isSwSceneBOPage;
    c->m_isSwSceneTONPage = m_isSwSceneTONPage;
    c->m_isSceneContNoSwitch = m_isSceneContNoSwitch;
    c->m_swDialogueBOPageText = m_swDialogueBOPageText;
    c->m_swDialogueTONPageText = m_swDialogueTONPageText;
    c->m_swSceneBOPageText = m_swSceneBOPageText;
    c->m_swSceneTONPageText = m_swSceneTONPageText;
    c->m_branchSettings = m_branchSettings;
    c->m_graphicColoringMode = m_graphicColoringMode;
    c->m_rainbowSaturation = m_rainbowSaturation;
    c->m_rainbowAngle = m_rainbowAngle;
    c->m_firstLevelSpacing = m_firstLevelSpacing;
    c->m_interChildSpacing = m_interChildSpacing;
    c->m_repelDistance = m_repelDistance;
    c->m_continuousSpellCheck = m_continuousSpellCheck;
    c->m_showBoundaries = m_showBoundaries;
    c->m_showCollapseSign = m_showCollapseSign;
    c->m_showLinkLines = m_showLinkLines;
    c->m_showShadows = m_showShadows;
    c->m_showSWTextIndicators = m_showSWTextIndicators;
    c->m_canvasSize = m_canvasSize;
    c->m_backgroundImageOpacity = m_backgroundImageOpacity;
    c->m_backgroundImageSize = m_backgroundImageSize;
    c->m_backgroundImageTileMode = m_backgroundImageTileMode;
    c->m_backgroundImageOffset = m_backgroundImageOffset;
    c->m_zoomAmount = m_zoomAmount;
    c->m_scaleAmount = m_scaleAmount;
    c->m_cachedVisibleRect = m_cachedVisibleRect;
    c->m_outlineFormatSettings = m_outlineFormatSettings;
    c->m_defaultGraphicColor = m_defaultGraphicColor;
    c->m_defaultStrokeColor = m_defaultStrokeColor;
    c->m_backgroundColor = m_backgroundColor;
    c->m_backgroundImageFilename = m_backgroundImageFilename;
    c->m_layoutServices = m_layoutServices;
    c->m_drawingServices = m_drawingServices;

    // The tree is duplicated through its element: every graphic of the copy
    // remembers the number it was copied from, which the link lines and the
    // selection are matched by.
    if (m_root) {
        XMLElement holder = XMLElement::create("root");
        xmlNodePtr element = m_root->addXmlDataToNode(holder.node(), false);
        c->setRoot(TWMapBranch::initWithXMLNode(element, holder.doc(), nullptr, c.get()));
    }
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (std::shared_ptr<TWGraphic> lineCopy = line->copy())
            c->m_linkLines.append(std::static_pointer_cast<TWLinkLine>(lineCopy));
    }
    if (c->m_root)
        c->resolveLoadedGraphics();

    // The cache starts empty and is rebuilt from the copy's own tree, so the
    // selection is looked up among the copy's graphics.
    if (!m_selectedGraphics.isEmpty()) {
        QHash<long, std::shared_ptr<TWGraphic>> byOriginal;
        for (const std::shared_ptr<TWGraphic> &graphic : c->graphics())
            byOriginal.insert(graphic->originalGraphicNumber(), graphic);
        for (const std::shared_ptr<TWGraphic> &selected : m_selectedGraphics) {
            if (std::shared_ptr<TWGraphic> counterpart =
                    byOriginal.value(selected->graphicNumber()))
                c->m_selectedGraphics.append(counterpart);
        }
    }
    return c;
}

// --- document and services ---

UndoManager *TWMap::undoManager() const
{
    return m_document ? m_document->undoManager() : nullptr;
}

TWMapLayoutServices &TWMap::layoutServices() const
{
    return m_layoutServices ? *m_layoutServices : TWMapLayoutServices::none();
}

void TWMap::setLayoutServices(std::shared_ptr<TWMapLayoutServices> services)
{
    m_layoutServices = std::move(services);
}

TWMapDrawingServices &TWMap::drawingServices() const
{
    if (m_drawingServices)
        return *m_drawingServices;
    return TWMapDrawingServices::shared();
}

void TWMap::setDrawingServices(std::shared_ptr<TWMapDrawingServices> services)
{
    m_drawingServices = std::move(services);
}

// --- identity ---

QString TWMap::identifier()
{
    if (!m_identifier)
        m_identifier = newUUIDString();
    return *m_identifier;
}

QString TWMap::previewPath()
{
    return QStringLiteral("Images/MapPreviews/%1.png").arg(identifier());
}

QString TWMap::mapName() const
{
    if (m_mapName)
        return *m_mapName;
    if (m_root && m_root->enclosedTextArea())
        return m_root->enclosedTextArea()->text().string();
    return QString();
}

// --- the tree ---

void TWMap::setRoot(const std::shared_ptr<TWMapBranch> &root)
{
    m_root = root;
    if (m_root) {
        m_root->setPrimitiveMap(this);
        m_root->subtreeOrderMayHaveChanged();
    }
    removeAllGraphicOrderCache();
    graphicNumbersChanged();
}

TWMap::BranchList TWMap::allBranches() const
{
    BranchList branches;
    if (m_root)
        m_root->buildBranchArray(branches);
    return branches;
}

QList<std::shared_ptr<TWMapBranch>> TWMap::branchesIncludingHidden() const
{
    BranchList branches;
    if (m_root)
        m_root->allDescendantsIntoArray(branches, true);
    return branches;
}

void TWMap::deparent()
{
    if (!m_root)
        return;
    m_root->setPrimitiveMap(nullptr);
    m_root->setPrimitiveParent(nullptr);
    m_root->deparent();
}

void TWMap::reparent()
{
    if (!m_root)
        return;
    m_root->setPrimitiveMap(this);
    m_root->setPrimitiveParent(nullptr);
    m_root->reparent();
}

// --- after loading ---

void TWMap::resolveLoadedGraphics()
{
    const BranchList branches = branchesIncludingHidden();
    // Saved numbers of main graphics (and of every graphic, for link lines),
    // looked up once rather than per reference.
    // Graphics that were never saved have the original number 0, which no
    // reference may match.
    QHash<long, std::shared_ptr<TWGraphic>> mainByOriginal;
    for (const std::shared_ptr<TWMapBranch> &branch : branches) {
        const std::shared_ptr<TWGraphic> &main = branch->mainGraphic();
        if (main && main->originalGraphicNumber() != 0)
            mainByOriginal.insert(main->originalGraphicNumber(), main);
    }
    const GraphicList graphicsOfMap = allGraphics();
    QHash<long, std::shared_ptr<TWGraphic>> anyByOriginal;
    for (auto it = graphicsOfMap.crbegin(); it != graphicsOfMap.crend(); ++it) {
        if ((*it)->originalGraphicNumber() != 0)
            anyByOriginal.insert((*it)->originalGraphicNumber(), *it); // the first one wins
    }

    TWConnectionFactory &factory = TWConnectionFactory::installed();
    for (const std::shared_ptr<TWGraphic> &graphic : graphicsOfMap) {
        if (auto *connection = dynamic_cast<TWConnectionGraphic *>(graphic.get())) {
            const std::optional<TWConnectionKind> kind = factory.kindOf(*connection);
            if (kind == TWConnectionKind::Title) {
                const auto target =
                    mainByOriginal.value(factory.graphicNumbers(*connection).connected);
                if (target) {
                    // The branch first: the connection finds its graphics through it.
                    connection->setPrimitiveBranch(target->branch());
                    factory.setConnectedGraphicNumber(*connection, target->graphicNumber());
                }
            } else if (kind == TWConnectionKind::Child) {
                const TWConnectionGraphicNumbers stored = factory.graphicNumbers(*connection);
                const auto parent = mainByOriginal.value(stored.parent);
                const auto child = mainByOriginal.value(stored.child);
                if (child)
                    connection->setPrimitiveBranch(child->branch());
                factory.setParentAndChildGraphicNumbers(
                    *connection, parent ? parent->graphicNumber() : stored.parent,
                    child ? child->graphicNumber() : stored.child);
            }
        } else if (auto *line = dynamic_cast<TWLinkLine *>(graphic.get())) {
            const auto start = anyByOriginal.value(line->startGraphicNumber());
            const auto end = anyByOriginal.value(line->endGraphicNumber());
            // Each end found follows its graphic's new number; one not found
            // keeps its stored number, and the user removes the line with its ends.
            line->connect(start, end);
            if (start)
                line->setPrimitiveBranch(start->branch());
            if (!start || !end)
                qWarning("Warning: could not find start and end graphics for link line");
        }
    }
}

void TWMap::processFlags()
{
    if (m_needsAutoLayout) {
        drawingServices().autoArrange(*this);
        m_needsAutoLayout = false;
    }
    if (m_root)
        m_root->reSortChildrenByPositionRecursively(true);
    recalculateOutlineNumbers();
}

void TWMap::autoArangeWithMovedBranches(const BranchList &moved)
{
    // Only the loose (2) and tight (3) modes lay out after a move.
    const int mode = layoutAssistanceMode();
    if (mode == 2 || mode == 3)
        layoutServices().autoArrangeWithMovedBranches(*this, moved);
}

void TWMap::recalculateOutlineNumbers()
{
    if (m_root)
        m_root->reSortChildrenByPositionRecursively(true);
    layoutServices().recalculateOutlineNumbers(*this);
    setOutlineNumbersNeedUpdating(false);
}

namespace {

void listOnce(QHash<const TWMapBranch *, std::weak_ptr<TWMapBranch>> &list, TWMapBranch &branch)
{
    auto listed = list.find(&branch);
    // A gone branch's address may come back for a new one.
    if (listed == list.end() || listed->expired())
        list.insert(&branch, branch.weak_from_this());
}

} // namespace

void TWMap::branchShapeMoved(TWMapBranch &branch)
{
    // Marks are never reused, so a mark another map or an earlier numbering
    // left on the branch does not count.
    static quint64 lastMark = 0;
    if (m_shapesMovedMark == 0)
        m_shapesMovedMark = ++lastMark;
    if (branch.movedShapeListMark() == m_shapesMovedMark)
        return;
    branch.setMovedShapeListMark(m_shapesMovedMark);
    m_shapesMovedSinceNumbering.append(branch.weak_from_this());
}

void TWMap::clearShapesMovedSinceNumbering()
{
    m_shapesMovedSinceNumbering.clear();
    m_shapesMovedMark = 0;
}

void TWMap::branchChildrenChanged(TWMapBranch &branch)
{
    listOnce(m_childrenChangedSinceNumbering, branch);
}

void TWMap::updateOutlineNumbers()
{
    if (m_branchSettings.outlineNumbersNeedUpdating || !m_root) {
        recalculateOutlineNumbers();
        return;
    }
    // Children gained or lost wait for a move, as they did when any move
    // renumbered the whole map.
    if (m_shapesMovedSinceNumbering.isEmpty())
        return;
    const auto moved = std::exchange(m_shapesMovedSinceNumbering, {});
    m_shapesMovedMark = 0;
    const auto changed = std::exchange(m_childrenChangedSinceNumbering, {});
    BranchList parents, firstLevel;
    QSet<const TWMapBranch *> listed;
    for (const std::weak_ptr<TWMapBranch> &entry : moved) {
        const std::shared_ptr<TWMapBranch> branch = entry.lock();
        if (!branch || branch->map() != this)
            continue;
        // Every first-level branch's angle and side hang on the root.
        if (branch == m_root) {
            recalculateOutlineNumbers();
            return;
        }
        TWMapBranch *parent = branch->parent();
        if (!parent)
            continue;
        if (!listed.contains(parent)) {
            listed.insert(parent);
            parents.append(parent->shared_from_this());
        }
        // Its side of the root decides the order of everything below it.
        if (parent == m_root.get())
            firstLevel.append(branch);
    }
    BranchList reordered;
    QSet<const TWMapBranch *> reorderedSet;
    auto reSort = [&](TWMapBranch &parent) {
        const BranchList before = parent.children();
        parent.reSortChildrenByPositionRecursively(false);
        if (parent.children() != before) {
            reordered.append(parent.shared_from_this());
            reorderedSet.insert(&parent);
        }
    };
    for (const std::shared_ptr<TWMapBranch> &parent : std::as_const(parents))
        reSort(*parent);
    for (const std::shared_ptr<TWMapBranch> &top : std::as_const(firstLevel)) {
        BranchList below;
        top->buildBranchArray(below);
        for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(below)) {
            if (!listed.contains(branch.get()) && !branch->children().isEmpty()) {
                listed.insert(branch.get());
                reSort(*branch);
            }
        }
    }
    for (const std::weak_ptr<TWMapBranch> &entry : changed) {
        const std::shared_ptr<TWMapBranch> parent = entry.lock();
        if (parent && parent->map() == this && !reorderedSet.contains(parent.get())) {
            reordered.append(parent);
            reorderedSet.insert(parent.get());
        }
    }
    // Every re-ordered branch is listed, in the order of the tree, as a
    // whole-map numbering would meet them: below a branch whose number
    // stayed, the numbering goes no further, so one re-ordered below another
    // is numbered by itself. The layout services number them, as they
    // number whole maps.
    QList<std::pair<QList<int>, TWMapBranch *>> renumbered;
    for (const std::shared_ptr<TWMapBranch> &parent : std::as_const(reordered)) {
        QList<int> place;
        const TWMapBranch *b = parent.get();
        for (; b && b->parent(); b = b->parent()) {
            const BranchList &siblings = b->parent()->children();
            const auto at = std::find_if(siblings.cbegin(), siblings.cend(),
                                         [b](const auto &s) { return s.get() == b; });
            // A subtree taken out of the tree is numbered when it comes back.
            if (at == siblings.cend()) {
                b = nullptr;
                break;
            }
            place.prepend(int(at - siblings.cbegin()));
        }
        if (b == m_root.get())
            renumbered.append({place, parent.get()});
    }
    std::sort(renumbered.begin(), renumbered.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<TWMapBranch *> parentsInOrder;
    for (const auto &[place, parent] : std::as_const(renumbered))
        parentsInOrder.append(parent);
    const TWPartialRenumbering partial(*this, parentsInOrder);
    layoutServices().recalculateOutlineNumbers(*this);
}

void TWMap::makeNaturalSizeOfMarkedBranches()
{
    for (const std::shared_ptr<TWMapBranch> &branch : allBranches()) {
        if (branch->needsMakeNaturalSize())
            branch->makeNaturalSize();
    }
}

// --- previews ---

void TWMap::updatePreviewImage()
{
    drawingServices().updatePreviewImage(*this);
}

const std::shared_ptr<TWMapPreviewImage> &TWMap::previewImage()
{
    if (!m_previewImage)
        updatePreviewImage();
    return m_previewImage;
}

void TWMap::setNeedsUpdatePreviewImage(bool needs)
{
    if (needs)
        updatePreviewImage();
}

void TWMap::updatePreviewInFileCache(const QByteArray &drawnFrom)
{
    if (drawnFrom.isEmpty())
        drawingServices().updatePreviewInFileCache(*this);
    else
        drawingServices().refreshPreviewInFileCache(*this, drawnFrom);
}

void TWMap::preparePreviewInFileCache()
{
    drawingServices().preparePreviewInFileCache(*this);
}

// --- print setup ---

const OrderedDictionary &TWMap::printSetupDictionary()
{
    if (!m_printSetupDictionary)
        m_printSetupDictionary = OrderedDictionary();
    return *m_printSetupDictionary;
}
