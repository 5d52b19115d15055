#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWConnectionRepair.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMap_Private.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/Uuid.h"

#include <QLocale>
#include <QPageSize>
#include <QSet>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Reads settings from a map element, taking those it marks as not set
// (older files kept them on the document) from the document's root element.
struct SettingsReader
{
    XMLElement map;
    XMLElement root; // may be null

    // The text of the child read as an integer is -1 (or 2, where allowed).
    bool marked(QStringView name, bool twoToo) const
    {
        if (map.elementForName(name).isNull())
            return false;
        const int value = map.intForPath(name);
        return value == -1 || (twoToo && value == 2);
    }
    const XMLElement &source(bool fromRoot) const { return fromRoot ? root : map; }

    bool flag(QStringView name, bool negated = false) const
    {
        const bool value = source(marked(name, true)).boolForPath(name);
        return negated ? !value : value;
    }
    int integer(QStringView name) const { return source(marked(name, false)).intForPath(name); }
    float real(QStringView name) const
    {
        const bool fromRoot =
            std::trunc(map.floatForPath(name)) == -1 && !map.elementForName(name).isNull();
        return float(source(fromRoot).floatForPath(name));
    }
    std::optional<Color> color(QStringView name) const
    {
        const QString path = name.toString() + QStringLiteral("/NSColor");
        const XMLElement &from = source(map.elementForPath(path).isNull());
        const XMLElement element = from.elementForPath(path);
        if (element.isNull())
            return std::nullopt;
        return Color::objectWithXMLElement(element);
    }
};

std::optional<OrderedDictionary> dictionaryAt(const XMLElement &element, QStringView path)
{
    const XMLElement found = element.elementForPath(path);
    if (found.isNull())
        return std::nullopt;
    return OrderedDictionary::objectWithXMLElement(found);
}
} // namespace

OrderedDictionary TWMapDetail::defaultPrintSetup()
{
    return OrderedDictionary{{QStringLiteral("leftMargin"), 0},
                             {QStringLiteral("rightMargin"), 0},
                             {QStringLiteral("topMargin"), 0},
                             {QStringLiteral("bottomMargin"), 0},
                             {QStringLiteral("frameWidth"), 1}};
}

// --- reading ---

std::shared_ptr<TWMap> TWMap::createWithXMLElement(const XMLElement &element, TWMapsDoc *document,
                                                   Identifier identifier)
{
    if (element.isNull() || element.name() != QLatin1String("TWMap"))
        return nullptr;
    std::shared_ptr<TWMap> map = create(document);
    map->m_liveXMLElement = element.copy();
    XMLElement &live = map->m_liveXMLElement;
    map->readFromElement(identifier == Identifier::KeepStored);
    map->setOutlineNumbersNeedUpdating(true);
    map->m_graphicOrderCache.clear();
    map->m_selectedGraphics.clear();

    std::shared_ptr<TWMapBranch> root;
    const XMLElement rootElement = live.elementForName(u"root").elementForName(u"TWMapBranch");
    if (rootElement)
        root =
            TWMapBranch::initWithXMLNode(rootElement.node(), rootElement.doc(), nullptr, map.get());
    map->adoptLoadedTree(root, live.elementForName(u"linkLines").elementsForName(u"linkLine"));
    removeTreeElements(live);
    return map;
}

void TWMap::adoptLoadedTree(const std::shared_ptr<TWMapBranch> &root,
                            const QList<XMLElement> &linkLines)
{
    if (!root) {
        // A map always has a root: the default one stays.
        qWarning("There are no maps in this document");
    } else {
        if (m_root) {
            m_root->setPrimitiveMap(nullptr);
            m_root->deparent();
        }
        setRoot(root);
        // Listed once all are read, after those the reader made already: a
        // line read while the others are listed looked through them all for
        // lines ending on it (none do until they are re-pointed below), a
        // square of their number.
        LinkLineList read = std::exchange(m_linkLines, {});
        read.reserve(read.size() + linkLines.size());
        for (const XMLElement &element : linkLines) {
            std::shared_ptr<TWGraphic> graphic =
                TWGraphic::graphicWithXMLNode(element.node(), element.doc(), m_root.get());
            if (auto line = std::dynamic_pointer_cast<TWLinkLine>(graphic))
                read.append(std::move(line));
        }
        m_linkLines = std::move(read);
    }
    removeAllGraphicOrderCache();
    resolveLoadedGraphics();
    repairConnectionsAfterLoading(*this);
    // Connections made for branches stored without one were shaped while
    // the map still held its default root.
    for (const std::shared_ptr<TWConnectionGraphic> &connection :
         std::exchange(m_connectionsMadeWhileReading, {}))
        connection->updateBounds();
    // The first edit then sorts only what the file held out of order.
    if (m_root)
        m_root->forgetOrdersFoundSorted();
}

void TWMap::addConnectionMadeWhileReading(std::shared_ptr<TWConnectionGraphic> connection)
{
    m_connectionsMadeWhileReading.push_back(std::move(connection));
}

void TWMap::removeTreeElements(XMLElement &element)
{
    for (const char *name : {"root", "linkLines"}) {
        for (const XMLElement &child : element.elementsForName(QLatin1String(name)))
            element.removeChild(child);
    }
}

void TWMap::appendTreeElements(XMLElement &element, bool embeddingBinaryData)
{
    XMLElement root = XMLElement::create("root");
    if (m_root)
        m_root->addXmlDataToNode(root.node(), embeddingBinaryData);
    element.addChild(std::move(root), true);
    XMLElement lines = XMLElement::create("linkLines");
    for (const std::shared_ptr<TWLinkLine> &line : std::as_const(m_linkLines))
        line->addXmlDataToNode(lines.appendChildElement(u"linkLine").node());
    element.addChild(std::move(lines), true);
}

void TWMap::readFromElement(bool keepIdentifier)
{
    const XMLElement &e = m_liveXMLElement;
    SettingsReader r{e, m_document ? m_document->liveXMLElement() : XMLElement()};
    BranchDisplaySettings &b = m_branchSettings;

    b.showAttachedGraphics = r.flag(u"showingAttachedGraphics");
    m_showBoundaries = r.flag(u"displayingBoundaries");
    m_showLinkLines = r.flag(u"showingLinks");
    b.showOutlineNumbers = r.flag(u"displayingOutlineNumbers");
    m_showShadows = r.flag(u"showingShadows");
    {
        const XMLElement &from = r.source(r.marked(u"textMaxWidthSet", true));
        b.textMaxWidthSet = from.boolForPath(u"textMaxWidthSet");
        b.textMaxWidth = float(from.floatForPath(u"textMaxWidth"));
    }
    m_continuousSpellCheck = r.flag(u"continuousSpellCheck");
    b.automaticCheckBoxes = r.flag(u"automaticCheckBoxes");
    b.showCheckboxes = r.flag(u"hideAllCheckboxes", true);
    m_showCollapseSign =
        r.source(e.elementForName(u"showCollapseSign").isNull()).boolForPath(u"showCollapseSign");
    b.showPercentComplete = r.flag(u"hidePercentComplete", true);
    b.showPriorities = r.flag(u"hidePriorities", true);
    m_showSWTextIndicators = r.flag(u"hideSWTextIndicators", true);
    b.showTextIndicators = r.flag(u"hideTextIndicators", true);
    b.layoutAssistanceMode = r.integer(u"layoutAssistanceMode");
    b.orderingMode = TWOrderingMode::known(r.integer(u"orderingMode"));
    if (m_root)
        m_root->subtreeOrderMayHaveChanged();
    b.outlineNumbersToLevel = r.integer(u"outlineNumbersToLevel");
    b.childOutlineNumberingTopDown = r.source(r.marked(u"childOutlineNumberingTopDown", false))
                                         .boolForPath(u"childOutlineNumberingTopDown");
    {
        const XMLElement &from = r.source(r.marked(u"isSwDialogueBOPage", true));
        m_isSwDialogueBOPage = from.boolForPath(u"isSwDialogueBOPage");
        m_isSwDialogueTONPage = from.boolForPath(u"isSwDialogueTONPage");
        m_isSwDialogueAutoChar = from.boolForPath(u"isSwDialogueAutoChar");
        m_isSwSceneBOPage = from.boolForPath(u"isSwSceneBOPage");
        m_isSwSceneTONPage = from.boolForPath(u"isSwSceneTONPage");
        m_isSceneContNoSwitch = from.boolForPath(u"isSceneContNoSwitch");
        m_swDialogueBOPageText = from.stringForPath(u"swDialogueBOPageText").value_or(QString());
        m_swDialogueTONPageText = from.stringForPath(u"swDialogueTONPageText").value_or(QString());
        m_swSceneBOPageText = from.stringForPath(u"swSceneBOPageText").value_or(QString());
        m_swSceneTONPageText = from.stringForPath(u"swSceneTONPageText").value_or(QString());
    }
    {
        const XMLElement &from = r.source(e.elementForName(u"outlineFont").isNull());
        const XMLElement font = from.elementForPath(u"outlineFont/NSFont");
        b.outlineFont = font.isNull() ? std::nullopt : Font::objectWithXMLElement(font);
    }
    m_defaultGraphicColor = r.color(u"defaultGraphicColor");
    m_defaultStrokeColor = r.color(u"defaultStrokeColor");
    m_graphicColoringMode = r.integer(u"graphicColoringMode");
    m_rainbowSaturation = r.real(u"rainbowSaturation");
    m_rainbowAngle = r.real(u"rainbowAngle");
    m_firstLevelSpacing = r.integer(u"firstLevelSpacing");
    m_interChildSpacing = r.integer(u"interChildSpacing");
    m_repelDistance = r.integer(u"repelDistance");

    // Older files keep the background on the document: such a map shows the
    // document's picture and, from now on, refers to it.
    m_backgroundSettingsEnabled = e.boolForPath(u"useMyOwnBackgroundSettings");
    {
        const XMLElement &from = r.source(!m_backgroundSettingsEnabled);
        const XMLElement color = from.elementForPath(u"backgroundColor/NSColor");
        m_backgroundColor = color.isNull()
                                ? std::nullopt
                                : std::optional<Color>(Color::objectWithXMLElement(color));
        m_backgroundImageFilename = from.stringForPath(u"backgroundImageFilename");
        m_backgroundImageOpacity = float(from.floatForPath(u"backgroundImageOpacity"));
        m_backgroundImageTileMode = from.intForPath(u"backgroundImageTileMode");
        m_backgroundImageOffset = Point(float(from.floatForPath(u"backgroundImageOffset/x")),
                                        float(from.floatForPath(u"backgroundImageOffset/y")));
        m_backgroundImageSize = Size(float(from.floatForPath(u"backgroundImageSize/width")),
                                     float(from.floatForPath(u"backgroundImageSize/height")));
        m_backgroundImage.reset();
    }
    {
        const XMLElement &from = r.source(e.elementForName(u"outlineFormatSettings").isNull());
        m_outlineFormatSettings.clear();
        for (const XMLElement &format :
             from.elementForName(u"outlineFormatSettings").elementsForName(u"string")) {
            const QString text = format.stringValue();
            if (!text.isEmpty())
                m_outlineFormatSettings.append(text);
        }
    }
    b.branchHideLevel = e.intForPath(u"branchHideLevel");
    m_canvasSize = Size(float(e.floatForPath(u"canvasSize/width")),
                        float(e.floatForPath(u"canvasSize/height")));
    if (keepIdentifier)
        m_identifier = e.stringForPath(u"identifier");
    else
        m_identifier = newUUIDString();
    m_mapName = e.stringForPath(u"mapName");
    m_themeID = e.stringForPath(u"themeID");
    m_mapStyleID = e.stringForPath(u"mapStyleID");
    m_defaultGraphicStyleID = e.stringForPath(u"defaultGraphicStyleID");
    m_scaleAmount = float(e.floatForPath(u"scaleAmount"));
    if (m_scaleAmount == 0)
        m_scaleAmount = 100;
    m_zoomAmount = float(e.floatForPath(u"zoomAmount"));
    if (m_zoomAmount == 0)
        m_zoomAmount = 100;
    m_needsAutoLayout = e.boolForPath(u"needsAutoLayout");
    const std::optional<QString> visible = e.stringForPath(u"cachedVisibleRect");
    m_cachedVisibleRect = visible ? Rect::fromString(*visible) : Rect();
    m_printSetupDictionary = dictionaryAt(e, u"printSetupDictionary/NSDictionary");
}

// --- writing ---

void TWMap::writeToElement(XMLElement &e)
{
    const BranchDisplaySettings &b = m_branchSettings;
    XMLElement formats = XMLElement::create("outlineFormatSettings");
    for (const QString &format : std::as_const(m_outlineFormatSettings))
        formats.appendChildElement(u"string").setStringValue(format);
    e.addChild(std::move(formats), true);
    e.setElement(b.outlineFont ? b.outlineFont->freshXMLElement() : XMLElement(), u"outlineFont");
    e.setBool(b.childOutlineNumberingTopDown, u"childOutlineNumberingTopDown");
    e.setInt(b.branchHideLevel, u"branchHideLevel");
    XMLElement canvas = e.elementForName(u"canvasSize", true);
    canvas.setFloat(m_canvasSize.width, u"width");
    canvas.setFloat(m_canvasSize.height, u"height");
    e.setElement(m_backgroundColor ? m_backgroundColor->freshXMLElement() : XMLElement(),
                 u"backgroundColor");
    // The map's background is its own from now on, whatever it was read from.
    e.setBool(true, u"useMyOwnBackgroundSettings");
    e.setString(m_backgroundImageFilename, u"backgroundImageFilename");
    e.setFloat(m_backgroundImageOpacity, u"backgroundImageOpacity");
    e.setInt(m_backgroundImageTileMode, u"backgroundImageTileMode");
    XMLElement offset = e.elementForName(u"backgroundImageOffset", true);
    offset.setFloat(m_backgroundImageOffset.x, u"x");
    offset.setFloat(m_backgroundImageOffset.y, u"y");
    XMLElement size = e.elementForName(u"backgroundImageSize", true);
    size.setFloat(m_backgroundImageSize.width, u"width");
    size.setFloat(m_backgroundImageSize.height, u"height");
    // Never written without one: the identifier names the map's preview.
    e.setString(identifier(), u"identifier");
    e.setString(m_mapName, u"mapName");
    e.setFloat(m_zoomAmount, u"zoomAmount");
    e.setFloat(m_scaleAmount, u"scaleAmount");
    e.setString(m_cachedVisibleRect.toString(), u"cachedVisibleRect");
    e.setBool(m_needsAutoLayout, u"needsAutoLayout");
    e.setString(m_themeID, u"themeID");
    e.setString(m_mapStyleID, u"mapStyleID");
    e.setString(m_defaultGraphicStyleID, u"defaultGraphicStyleID");
    e.setInt(m_firstLevelSpacing, u"firstLevelSpacing");
    e.setInt(m_interChildSpacing, u"interChildSpacing");
    e.setInt(m_repelDistance, u"repelDistance");
    e.setElement(m_defaultGraphicColor ? m_defaultGraphicColor->freshXMLElement() : XMLElement(),
                 u"defaultGraphicColor");
    e.setElement(m_defaultStrokeColor ? m_defaultStrokeColor->freshXMLElement() : XMLElement(),
                 u"defaultStrokeColor");
    e.setInt(m_graphicColoringMode, u"graphicColoringMode");
    e.setFloat(m_rainbowSaturation, u"rainbowSaturation");
    e.setFloat(m_rainbowAngle, u"rainbowAngle");
    e.setBool(m_isSceneContNoSwitch, u"isSceneContNoSwitch");
    e.setBool(m_isSwDialogueAutoChar, u"isSwDialogueAutoChar");
    e.setBool(m_isSwDialogueBOPage, u"isSwDialogueBOPage");
    e.setBool(m_isSwDialogueTONPage, u"isSwDialogueTONPage");
    e.setBool(m_isSwSceneBOPage, u"isSwSceneBOPage");
    e.setBool(m_isSwSceneTONPage, u"isSwSceneTONPage");
    e.setString(m_swDialogueBOPageText, u"swDialogueBOPageText");
    e.setString(m_swDialogueTONPageText, u"swDialogueTONPageText");
    e.setString(m_swSceneBOPageText, u"swSceneBOPageText");
    e.setString(m_swSceneTONPageText, u"swSceneTONPageText");
    e.setBool(b.showAttachedGraphics, u"showingAttachedGraphics");
    e.setBool(m_showBoundaries, u"displayingBoundaries");
    e.setBool(m_showLinkLines, u"showingLinks");
    e.setBool(b.showOutlineNumbers, u"displayingOutlineNumbers");
    e.setBool(m_showShadows, u"showingShadows");
    e.setBool(m_showCollapseSign, u"showCollapseSign");
    e.setBool(!b.showCheckboxes, u"hideAllCheckboxes");
    e.setBool(!b.showPercentComplete, u"hidePercentComplete");
    e.setBool(!b.showPriorities, u"hidePriorities");
    e.setBool(!m_showSWTextIndicators, u"hideSWTextIndicators");
    e.setBool(!b.showTextIndicators, u"hideTextIndicators");
    e.setBool(b.textMaxWidthSet, u"textMaxWidthSet");
    e.setFloat(b.textMaxWidth, u"textMaxWidth");
    e.setBool(m_continuousSpellCheck, u"continuousSpellCheck");
    e.setBool(b.automaticCheckBoxes, u"automaticCheckBoxes");
    e.setInt(b.layoutAssistanceMode, u"layoutAssistanceMode");
    e.setInt(b.orderingMode, u"orderingMode");
    e.setInt(b.outlineNumbersToLevel, u"outlineNumbersToLevel");
    e.setElement(m_printSetupDictionary ? m_printSetupDictionary->freshXMLElement() : XMLElement(),
                 u"printSetupDictionary");
    // The branch tree and the link lines are written from the model.
}

XMLElement TWMap::liveXMLElement()
{
    if (m_liveXMLElement.isNull())
        m_liveXMLElement = XMLElement::create("TWMap");
    writeToElement(m_liveXMLElement);
    return m_liveXMLElement;
}

XMLElement TWMap::freshXMLElementEmbeddingBinaryData(bool embed)
{
    XMLElement fresh = m_liveXMLElement.copy();
    writeToElement(fresh);
    appendTreeElements(fresh, embed);
    return fresh;
}

// --- package paths ---

QStringList TWMap::referencedPackagePaths()
{
    QStringList paths{previewPath()};
    if (m_backgroundImageFilename)
        paths.append(*m_backgroundImageFilename);
    forEachGraphicForPrinting(true, [&paths](TWGraphic &graphic) {
        if (const std::optional<QString> image = graphic.imageFilename())
            paths.append(*image);
        if (const std::optional<QString> movie = graphic.moviePath())
            paths.append(*movie);
    });
    const auto addGraphic = [&paths](const TWGraphic *graphic) {
        if (!graphic)
            return;
        if (const std::optional<QString> image = graphic->imageFilename())
            paths.append(*image);
        if (const std::optional<QString> movie = graphic->moviePath())
            paths.append(*movie);
    };
    for (const std::shared_ptr<TWMapBranch> &branch : allBranches()) {
        if (const std::optional<QString> sound = branch->soundFileName())
            paths.append(*sound);
        // Attached graphics are saved whether they are shown or not.
        for (const std::shared_ptr<TWGraphic> &linked : branch->linkedGraphics())
            addGraphic(linked.get());
        addGraphic(branch->enclosedImage().get());
    }
    return paths;
}

bool TWMap::refersToPackagePath(const QString &path)
{
    return referencedPackagePaths().contains(path);
}

// --- the drawing stand-in ---

Rect TWMapDrawingServices::subtreeDrawingExtent(TWMapBranch &branch, int shownLevels)
{
    if (const std::optional<Rect> cached = branch.subtreeDrawingExtent(shownLevels))
        return *cached;
    constexpr float everywhere = std::numeric_limits<float>::max() / 4;
    return Rect(-everywhere, -everywhere, 2 * everywhere, 2 * everywhere);
}

TWMapDrawingStandIn &TWMapDrawingStandIn::shared()
{
    static TWMapDrawingStandIn standIn;
    return standIn;
}

void TWMapDrawingStandIn::resizeForTextAreaConstrainedToWidth(TWMapBranch &branch, float width)
{
    branch.resizeForTextAreaConstrainedToWidth(width);
}

namespace {
std::shared_ptr<TWMapDrawingServices> &installedDrawingServices()
{
    static std::shared_ptr<TWMapDrawingServices> services;
    return services;
}
} // namespace

TWMapDrawingServices &TWMapDrawingServices::shared()
{
    if (const auto &installed = installedDrawingServices())
        return *installed;
    return TWMapDrawingStandIn::shared();
}

std::shared_ptr<TWMapDrawingServices>
TWMapDrawingServices::installShared(std::shared_ptr<TWMapDrawingServices> services)
{
    return std::exchange(installedDrawingServices(), std::move(services));
}

Size TWMapDrawingStandIn::imageablePageSize()
{
    // The whole default sheet: there is no printer to ask for its margins.
    const QPageSize::PageSizeId id =
        QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                           : QPageSize::A4;
    return Size::fromQt(QPageSize(id).size(QPageSize::Point));
}
