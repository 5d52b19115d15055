#include "model/TWMap.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "platform/Uuid.h"

#include <QSet>

namespace {
// Children of graphic and branch elements that name package entries.
const char *const packagePathElementNames[] = {"imageFilename", "moviePath", "soundFileName"};

void collectPackagePaths(const XMLElement &element, QStringList &paths)
{
    for (const XMLElement &child : element.elements()) {
        const QString name = child.name();
        bool isPathElement = false;
        for (const char *pathName : packagePathElementNames) {
            if (name == QLatin1String(pathName)) {
                isPathElement = true;
                break;
            }
        }
        if (isPathElement) {
            const QString text = child.stringValue();
            if (!text.isEmpty())
                paths.append(text);
        } else {
            collectPackagePaths(child, paths);
        }
    }
}

int countBranchElements(const XMLElement &element)
{
    int count = 0;
    for (const XMLElement &child : element.elements()) {
        if (child.name() == QLatin1String("TWMapBranch"))
            ++count;
        count += countBranchElements(child);
    }
    return count;
}
} // namespace

TWMap::TWMap(Passkey) {}

TWMap::~TWMap() = default;

std::shared_ptr<TWMap> TWMap::create(TWMapsDoc *document)
{
    auto map = std::make_shared<TWMap>(Passkey());
    map->m_liveXMLElement = XMLElement::create("TWMap");
    map->m_document = document;
    map->m_identifier = newUUIDString();
    map->setCanvasSize(DefaultCanvasSize);
    return map;
}

std::shared_ptr<TWMap> TWMap::createWithXMLElement(const XMLElement &element, TWMapsDoc *document)
{
    if (element.isNull() || element.name() != QLatin1String("TWMap"))
        return nullptr;
    auto map = std::make_shared<TWMap>(Passkey());
    map->m_document = document;
    map->m_liveXMLElement = element.copy();
    map->readFromElement();

    // The branch reader reports each branch it reads; the tree is kept whole
    // here, so each branch element counts as read.
    const int branches = countBranchElements(map->m_liveXMLElement);
    for (int i = 0; i < branches; ++i)
        NotificationCenter::defaultCenter().post(TWMapsDoc::IncrementLoadingNotification);
    return map;
}

void TWMap::readFromElement()
{
    m_identifier = m_liveXMLElement.stringForPath(u"identifier");
    const XMLElement size = m_liveXMLElement.elementForName(u"canvasSize");
    m_canvasSize = Size(float(size.floatForPath(u"width")), float(size.floatForPath(u"height")));
}

std::shared_ptr<TWMap> TWMap::copy() const
{
    auto map = std::make_shared<TWMap>(Passkey());
    // The element holds everything the map knows; the copy names itself anew.
    map->m_liveXMLElement = m_liveXMLElement.copy();
    map->m_canvasSize = m_canvasSize;
    return map;
}

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

void TWMap::setCanvasSize(Size size)
{
    m_canvasSize = size;
    XMLElement sizeElement = m_liveXMLElement.elementForName(u"canvasSize", true);
    sizeElement.setFloat(size.width, u"width");
    sizeElement.setFloat(size.height, u"height");
}

std::optional<QString> TWMap::backgroundImageFilename() const
{
    return m_liveXMLElement.stringForPath(u"backgroundImageFilename");
}

QStringList TWMap::referencedPackagePaths() const
{
    QStringList paths;
    collectPackagePaths(m_liveXMLElement.elementForName(u"root"), paths);
    collectPackagePaths(m_liveXMLElement.elementForName(u"linkLines"), paths);
    return paths;
}

bool TWMap::refersToPackagePath(const QString &path)
{
    if (path == previewPath())
        return true;
    if (backgroundImageFilename() == path)
        return true;
    return referencedPackagePaths().contains(path);
}

XMLElement TWMap::liveXMLElement()
{
    // The stored identifier only: none is made for writing.
    m_liveXMLElement.setString(m_identifier, u"identifier");
    return m_liveXMLElement;
}

XMLElement TWMap::freshXMLElementEmbeddingBinaryData(bool)
{
    return liveXMLElement().copy();
}

void TWMap::deparent()
{
    if (m_root)
        m_root->deparent();
}

void TWMap::reparent()
{
    if (!m_root)
        return;
    m_root->setPrimitiveMap(this);
    m_root->reparent();
}

// ===== What branches and graphics use of the map =====

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

void TWMap::setRoot(const std::shared_ptr<TWMapBranch> &root)
{
    m_root = root;
    if (m_root)
        m_root->setPrimitiveMap(this);
}

TWMap::BranchList TWMap::allBranches() const
{
    BranchList branches;
    if (m_root)
        m_root->buildBranchArray(branches);
    return branches;
}

std::shared_ptr<TWGraphic> TWMap::findGraphicWithGraphicNumber(long number) const
{
    for (const std::shared_ptr<TWLinkLine> &line : m_linkLines) {
        if (line->graphicNumber() == number)
            return line;
    }
    for (const std::shared_ptr<TWMapBranch> &branch : allBranches()) {
        TWMapBranch::GraphicList graphics;
        branch->graphicsForThisBranchOnlyIntoArray(graphics, true, false, false);
        for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(graphics)) {
            if (graphic->graphicNumber() == number)
                return graphic;
        }
    }
    return nullptr;
}

void TWMap::insertObjectInSelectedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                  int index)
{
    m_selectedGraphics.insert(index, graphic);
}

void TWMap::removeObjectFromSelectedGraphicsAtIndex(int index)
{
    m_selectedGraphics.removeAt(index);
}

void TWMap::removeAllSelectedGraphics()
{
    while (!m_selectedGraphics.isEmpty())
        removeObjectFromSelectedGraphicsAtIndex(0);
}

void TWMap::removeSelectedGraphic(const TWGraphic *graphic)
{
    for (int i = 0; i < m_selectedGraphics.size(); ++i) {
        if (m_selectedGraphics.at(i).get() == graphic) {
            removeObjectFromSelectedGraphicsAtIndex(i);
            return;
        }
    }
}

bool TWMap::isGraphicSelected(const TWGraphic *graphic) const
{
    for (const std::shared_ptr<TWGraphic> &selected : m_selectedGraphics) {
        if (selected.get() == graphic)
            return true;
    }
    return false;
}

QList<TWMapBranch *> TWMap::selectedBranches() const
{
    QList<TWMapBranch *> branches;
    for (const std::shared_ptr<TWGraphic> &graphic : m_selectedGraphics) {
        TWMapBranch *branch = graphic->branch();
        if (branch && !branches.contains(branch))
            branches.append(branch);
    }
    return branches;
}

void TWMap::setSelectedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    m_selectedBranch = branch;
}

void TWMap::removeSelectedBranch(const TWMapBranch *branch)
{
    if (branch && m_selectedBranch.lock().get() == branch)
        setSelectedBranch(nullptr);
}

void TWMap::insertObjectInGraphicOrderCacheAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                   int index)
{
    m_graphicOrderCache.insert(index, graphic);
}

void TWMap::insertObjectInLinkLinesAtIndex(const std::shared_ptr<TWLinkLine> &line, int index)
{
    m_linkLines.insert(index, line);
}

void TWMap::removeObjectFromLinkLinesAtIndex(int index)
{
    m_linkLines.removeAt(index);
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
