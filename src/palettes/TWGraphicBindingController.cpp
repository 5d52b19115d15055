#include "palettes/TWGraphicBindingController.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "styles/TWStyle.h"
#include "support/AttributedString.h"
#include "support/OrderedDictionary.h"

#include <QHash>
#include <unordered_set>

std::optional<bool> TWMixedNegateBoolean(const QVariant &value)
{
    switch (value.toInt()) {
    case -1:
    case 0:
        return true;
    case 1:
        return false;
    default:
        return std::nullopt;
    }
}

namespace {

bool isLine(const TWGraphic *g)
{
    return dynamic_cast<const TWLine *>(g) || dynamic_cast<const TWLinkLine *>(g);
}

QVariant boxed(const std::optional<Color> &color)
{
    return color ? QVariant::fromValue(*color) : QVariant();
}

std::optional<Color> colorOf(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<Color>())
        return value.value<Color>();
    return std::nullopt;
}

QStringList stringList(const QVariant &value)
{
    QStringList list;
    for (const QVariant &item : value.toList())
        list << item.toString();
    return list;
}

// Keys the style keeps in its own form.
QVariant styleForm(const QString &key, const QVariant &value)
{
    if (key == QLatin1String("stringAttributes") && value.isValid())
        return QVariant::fromValue(OrderedDictionary::fromVariantMap(value.toMap()));
    if (key == QLatin1String("childrenOutlineNumberFormatOverride"))
        return QVariant(value.toStringList());
    return value;
}

// Keys whose -1 means "mixed" rather than a value.
bool canBeMixed(const QString &key)
{
    static const QSet<QString> keys{
        "inheritsFill",         "drawsFill",       "inheritsStroke",
        "drawsStroke",          "inheritsShadow",  "drawsShadow",
        "terminatorAtStart",    "terminatorAtEnd", "branchType",
        "textRelativePosition", "hasBoundary",     "hideChildrenOutlineNumbers",
        "textMaxWidthSet",      "showCheckBox",    "childrenOutlineNumberFormatOverrideEnabled"};
    return keys.contains(key);
}

} // namespace

TWGraphicBindingController::TWGraphicBindingController(std::function<TWMapsDoc *()> mapsDocument,
                                                       const void *document, QObject *parent)
    : KeyValueBindable(parent), m_mapsDocument(std::move(mapsDocument)), m_document(document)
{
    m_fillColor = Color::whiteColor();
    m_updateTimer.setSingleShot(true);
    m_updateTimer.setInterval(UpdateDelayMilliseconds);
    connect(&m_updateTimer, &QTimer::timeout, this, &TWGraphicBindingController::update);

    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(DocumentWillCloseNotification, m_document,
                                         [this](const Notification &) { documentWillClose(); }));
    m_observers.push_back(center.observe(NeedsUpdateNotification, nullptr,
                                         [this](const Notification &) { delayedUpdate(); }));
    observeSelection();
}

TWGraphicBindingController::~TWGraphicBindingController() = default;

void TWGraphicBindingController::observeSelection()
{
    // The current map's selection changes, and a newly current map announces
    // its selection too; maps of other documents are not ours.
    m_observers.push_back(NotificationCenter::defaultCenter().observe(
        TWMap::SelectedGraphicsChangedNotification, nullptr, [this](const Notification &n) {
            TWMapsDoc *doc = m_mapsDocument ? m_mapsDocument() : nullptr;
            if (!doc || !doc->currentMap() || n.sender != doc->currentMap().get())
                return;
            delayedUpdate();
        }));
}

void TWGraphicBindingController::documentWillClose()
{
    // Only the selection is let go; the controller goes with its document.
    if (m_observers.size() > 2)
        m_observers.pop_back();
    m_updateTimer.stop();
}

void TWGraphicBindingController::delayedUpdate()
{
    m_updateTimer.start();
}

TWMap *TWGraphicBindingController::currentMap() const
{
    TWMapsDoc *doc = m_mapsDocument ? m_mapsDocument() : nullptr;
    return doc ? doc->currentMap().get() : nullptr;
}

TWGraphicBindingController::GraphicList TWGraphicBindingController::selection() const
{
    TWMap *map = currentMap();
    if (!map)
        return {};
    const auto &selected = map->selectedGraphics();
    return GraphicList(selected.begin(), selected.end());
}

void TWGraphicBindingController::changed(const QStringList &keys)
{
    for (const QString &key : keys)
        emit valueChanged(key);
}

void TWGraphicBindingController::update()
{
    m_updateTimer.stop();
    const GraphicList graphics = selection();
    if (graphics.empty())
        return;
    updateFillFromGraphics(graphics);
    updateStrokeFromGraphics(graphics);
    updateShadowFromGraphics(graphics);
    updateCornerFromGraphics(graphics);
    updateTerminatorsFromGraphics(graphics);
    updateStringAttributesFromGraphics(graphics);
    updateBranchSettingsFromBranches(actuallySelectedBranchesFromGraphics(graphics));
    updateCurrentStyle();
}

// --- the groups ---

void TWGraphicBindingController::updateFillFromGraphics(const GraphicList &graphics)
{
    TWGraphic *reference = nullptr;
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        if (!isLine(settings)) {
            reference = settings;
            break;
        }
    }
    if (!reference) {
        m_inheritsFill = 0;
        m_drawsFill = 0;
        m_fillColor.reset();
    } else {
        m_inheritsFill = reference->inheritsFill();
        m_drawsFill = reference->drawsFill();
        m_fillColor = reference->inheritedFillColor();
        for (const auto &g : graphics) {
            if (g->isEnclosedText() || isLine(g.get()))
                continue;
            if (int(g->inheritsFill()) != m_inheritsFill && m_inheritsFill != -1)
                m_inheritsFill = -1;
            if (int(g->drawsFill()) != m_drawsFill && m_drawsFill != -1)
                m_drawsFill = -1;
        }
    }
    changed(TWGraphic::fillKeys());
}

void TWGraphicBindingController::updateStrokeFromGraphics(const GraphicList &graphics)
{
    if (graphics.empty())
        return;
    TWGraphic *reference = graphics.front()->settingsGraphic();
    m_inheritsStroke = reference->inheritsStroke();
    m_drawsStroke = reference->drawsStroke();
    m_strokeColor = reference->inheritedStrokeColor();
    m_strokeStyle = reference->strokeStyle();
    m_strokeWidth = reference->strokeWidth();
    for (size_t i = 1; i < graphics.size(); ++i) {
        const TWGraphic *g = graphics[i].get();
        if (g->isEnclosedText())
            continue;
        if (int(g->inheritsStroke()) != m_inheritsStroke && m_inheritsStroke != -1)
            m_inheritsStroke = -1;
        if (int(g->drawsStroke()) != m_drawsStroke && m_drawsStroke != -1)
            m_drawsStroke = -1;
    }
    changed(TWGraphic::strokeKeys());
}

void TWGraphicBindingController::updateShadowFromGraphics(const GraphicList &graphics)
{
    if (graphics.empty())
        return;
    TWGraphic *reference = graphics.front()->settingsGraphic();
    m_inheritsShadow = reference->inheritsShadow();
    m_drawsShadow = reference->drawsShadow();
    const std::optional<Shadow> shadow = reference->inheritedShadow();
    m_shadowColor = shadow ? shadow->shadowColor() : std::nullopt;
    m_shadowBlurRadius = shadow ? float(shadow->shadowBlurRadius()) : 0;
    m_shadowOffsetWidth = shadow ? shadow->shadowOffset().width : 0;
    m_shadowOffsetHeight = shadow ? shadow->shadowOffset().height : 0;
    for (size_t i = 1; i < graphics.size(); ++i) {
        const TWGraphic *g = graphics[i].get();
        if (g->isEnclosedText())
            continue;
        if (int(g->inheritsShadow()) != m_inheritsShadow && m_inheritsShadow != -1)
            m_inheritsShadow = -1;
        if (int(g->drawsShadow()) != m_drawsShadow && m_drawsShadow != -1)
            m_drawsShadow = -1;
    }
    changed(TWGraphic::shadowKeys());
}

void TWGraphicBindingController::updateCornerFromGraphics(const GraphicList &graphics)
{
    m_cornerEnabled = false;
    for (const auto &g : graphics) {
        const TWGraphic *settings = g->settingsGraphic();
        if (settings->styleCapabilities().corner) {
            m_cornerEnabled = true;
            m_cornerMode = settings->cornerMode();
            m_cornerAmount = settings->cornerAmount();
            break;
        }
    }
    changed({QStringLiteral("cornerEnabled"), QStringLiteral("cornerMode"),
             QStringLiteral("cornerAmount")});
}

void TWGraphicBindingController::updateTerminatorsFromGraphics(const GraphicList &graphics)
{
    m_terminatorEnabled = false;
    for (const auto &g : graphics) {
        if (const auto *line = dynamic_cast<const TWLinkLine *>(g->settingsGraphic())) {
            m_terminatorEnabled = true;
            m_terminatorAtStart = line->startArrowStyle();
            m_terminatorStartWidth = line->startArrowWidth();
            m_terminatorStartLength = line->startArrowLength();
            m_terminatorAtEnd = line->endArrowStyle();
            m_terminatorEndWidth = line->endArrowWidth();
            m_terminatorEndLength = line->endArrowLength();
            break;
        }
    }
    if (m_terminatorEnabled) {
        for (const auto &g : graphics) {
            const auto *line = dynamic_cast<const TWLinkLine *>(g.get());
            if (!line)
                continue;
            if (line->startArrowStyle() != m_terminatorAtStart)
                m_terminatorAtStart = -1;
            if (line->endArrowStyle() != m_terminatorAtEnd)
                m_terminatorAtEnd = -1;
        }
    }
    changed(QStringList{QStringLiteral("terminatorEnabled")} + TWGraphic::terminatorKeys());
}

void TWGraphicBindingController::updateStringAttributesFromGraphics(const GraphicList &graphics)
{
    m_stringAttributes.reset();
    for (const auto &g : graphics) {
        const TWTextArea *area = dynamic_cast<const TWTextArea *>(g.get());
        if (!area && g->isMainGraphic() && g->branch())
            area = g->branch()->enclosedTextArea().get();
        if (!area)
            continue;
        if (std::optional<TextAttributes> attributes = area->stringAttributes()) {
            m_stringAttributes = *attributes;
            break;
        }
    }
    changed({QStringLiteral("stringAttributes"), QStringLiteral("fontColor")});
}

TWGraphicBindingController::BranchList
TWGraphicBindingController::actuallySelectedBranchesFromGraphics(const GraphicList &graphics)
{
    BranchList branches;
    std::unordered_set<const TWMapBranch *> seen;
    for (const auto &g : graphics) {
        TWMapBranch *b = g->branch();
        if (!b || !(g->isMainGraphic() || g->isEnclosedText()))
            continue;
        if (seen.insert(b).second)
            branches.push_back(b->shared_from_this());
    }
    return branches;
}

void TWGraphicBindingController::updateBranchSettingsFromBranches(const BranchList &branches)
{
    if (branches.empty()) {
        m_branchType = -1;
        m_textRelativePosition = -1;
        changed({QStringLiteral("branchType"), QStringLiteral("textRelativePosition")});
        return;
    }
    const TWMapBranch &ref = *branches.front();
    m_branchType = ref.branchType();
    m_enclosedImageData = ref.enclosedImageData();
    m_textRelativePosition = ref.textRelativePosition();
    m_hasBoundary = ref.hasBoundary();
    m_boundaryMargin = ref.boundaryMargin();
    m_hideChildrenOutlineNumbers = ref.hideChildrenOutlineNumbers();
    m_resetChildrenOutlineNumbers = ref.resetChildrenOutlineNumbers();
    m_showCheckBox = ref.showCheckBox();
    const int connection = ref.connectionGraphic() ? ref.connectionGraphic()->strokeStyle() : 0;
    m_connectionStyle = connection == 0 ? 1 : connection;
    m_connectionStyleEnabled = ref.getThisBranchLevel() > 1;
    m_textMaxWidthSet = ref.textMaxWidthSet();
    m_textMaxWidth = ref.textMaxWidthSet() ? ref.ownTextMaxWidth() : 20.0f;
    m_childrenOutlineNumberFormatOverride = ref.childrenOutlineNumberFormatOverride();
    m_childrenOutlineNumberFormatOverrideEnabled =
        m_childrenOutlineNumberFormatOverride.isEmpty() ? 0 : 1;

    const auto compare = [](int &shown, int value) {
        if (shown != -1 && shown != value)
            shown = -1;
    };
    for (size_t i = 1; i < branches.size(); ++i) {
        const TWMapBranch &b = *branches[i];
        compare(m_branchType, b.branchType());
        compare(m_textRelativePosition, b.textRelativePosition());
        compare(m_hasBoundary, b.hasBoundary());
        compare(m_hideChildrenOutlineNumbers, b.hideChildrenOutlineNumbers());
        compare(m_textMaxWidthSet, b.textMaxWidthSet());
        compare(m_showCheckBox, b.showCheckBox());
        // Two or more branches never show one picture.
        m_enclosedImageData.reset();
        if (b.textMaxWidthSet())
            m_textMaxWidth = b.ownTextMaxWidth();
        if (b.getThisBranchLevel() > 1)
            m_connectionStyleEnabled = true;
        const QStringList &formats = b.childrenOutlineNumberFormatOverride();
        if (m_childrenOutlineNumberFormatOverrideEnabled == 0 && !formats.isEmpty()) {
            m_childrenOutlineNumberFormatOverrideEnabled = -1;
            m_childrenOutlineNumberFormatOverride = formats;
        } else if (m_childrenOutlineNumberFormatOverrideEnabled == 1 && formats.isEmpty()) {
            m_childrenOutlineNumberFormatOverrideEnabled = -1;
        }
    }
    changed({"branchType", "enclosedImageData", "textRelativePosition", "hasBoundary",
             "boundaryMargin", "hideChildrenOutlineNumbers", "resetChildrenOutlineNumbers",
             "connectionStyle", "connectionStyleEnabled", "textMaxWidthSet", "textMaxWidth",
             "childrenOutlineNumberFormatOverrideEnabled", "childrenOutlineNumberFormatOverride",
             "showCheckBox"});
}

// --- the current style ---

const QStringList &TWGraphicBindingController::styleKeys()
{
    static const QStringList keys = TWGraphic::styleKeys() + QStringList{"branchType"};
    return keys;
}

QStringList TWGraphicBindingController::styleKeysForGraphics(const GraphicList &graphics)
{
    QStringList keys = TWGraphic::fillKeys() + TWGraphic::strokeKeys() + TWGraphic::shadowKeys();
    for (const auto &g : graphics) {
        if (dynamic_cast<const TWLinkLine *>(g.get()))
            keys += TWGraphic::terminatorKeys();
        else if (g->className() == QLatin1String("TWRectangle"))
            keys += TWGraphic::cornerKeys();
        else if (dynamic_cast<const TWTextArea *>(g.get()))
            keys += TWGraphic::fontKeys();
    }
    return keys;
}

std::shared_ptr<TWStyle> TWGraphicBindingController::updateCurrentStyle()
{
    std::shared_ptr<TWStyle> style;
    for (const auto &g : selection()) {
        if ((style = g->style()))
            break;
    }
    m_currentStyleIsNew = !style;
    emit valueChanged(QStringLiteral("currentStyleIsNew"));
    m_currentStyle = style ? style : newStyleFromCurrentSettings();
    emit valueChanged(QStringLiteral("currentStyle"));
    emit currentStyleChanged();
    return m_currentStyle;
}

void TWGraphicBindingController::updateKeys(const QStringList &keys, QVariantMap &dictionary) const
{
    for (const QString &key : keys)
        dictionary.insert(key, valueForKey(key));
}

std::shared_ptr<TWStyle> TWGraphicBindingController::newStyleFromCurrentSettings() const
{
    auto style = std::make_shared<TWGraphicStyle>();
    bool branchGraphic = false;
    TWGraphic::StyleCapabilities seen{false, false, false, false, false, false};
    for (const auto &g : selection()) {
        branchGraphic = branchGraphic || g->isMainGraphic() || g->isEnclosedText();
        const TWGraphic::StyleCapabilities can = g->styleCapabilities();
        seen.fill |= can.fill;
        seen.stroke |= can.stroke;
        seen.shadow |= can.shadow;
        seen.corner |= can.corner;
        seen.terminator |= can.terminator;
        seen.font |= can.font;
    }
    // A mixed value is no setting: it is left out, and applying the style
    // then leaves that setting of each graphic as it is.
    const auto put = [this](OrderedDictionary &d, const QStringList &keys) {
        for (const QString &key : keys) {
            const QVariant value = valueForKey(key);
            if (!value.isValid() || (canBeMixed(key) && value.toInt() == -1))
                continue;
            d.setValue(key, styleForm(key, value));
        }
    };
    OrderedDictionary branch;
    if (branchGraphic)
        put(branch, TWMapBranch::styleKeys());
    OrderedDictionary graphic;
    const auto group = [&](const char *flag, bool on, const QStringList &keys) {
        graphic.setValue(QString::fromLatin1(flag), on);
        put(graphic, keys);
    };
    group("applyStroke", seen.stroke, TWGraphic::strokeKeys());
    group("applyFill", seen.fill, TWGraphic::fillKeys());
    group("applyShadow", seen.shadow, TWGraphic::shadowKeys());
    group("applyCorner", seen.corner, TWGraphic::cornerKeys());
    group("applyTerminator", seen.terminator, TWGraphic::terminatorKeys());
    group("applyFont", seen.font, TWGraphic::fontKeys());
    style->setGroup(TWStyle::BranchGroup, branch);
    style->setGroup(TWStyle::GraphicGroup, graphic);
    return style;
}

void TWGraphicBindingController::applyStyleToSelection(const std::shared_ptr<TWStyle> &style)
{
    m_applyingStyle = true;
    for (const auto &g : selection()) {
        TWMapBranch *b = g->branch();
        if (g->isEnclosedText() && b && b->mainGraphic())
            b->mainGraphic()->setStyle(style);
        else
            g->setStyle(style);
    }
    m_applyingStyle = false;
    m_currentStyleIsNew = false;
    emit valueChanged(QStringLiteral("currentStyleIsNew"));
    m_currentStyle = style;
    emit valueChanged(QStringLiteral("currentStyle"));
    emit currentStyleChanged();
    update();
}

void TWGraphicBindingController::applyCurrentStyleToSelection()
{
    if (m_currentStyle)
        applyStyleToSelection(m_currentStyle);
}

void TWGraphicBindingController::makeStyleDirty()
{
    m_currentStyleIsDirty = true;
    emit valueChanged(QStringLiteral("currentStyleIsDirty"));
    if (m_currentStyleIsNew)
        updateCurrentStyle();
}

Color TWGraphicBindingController::fontColor() const
{
    if (m_stringAttributes) {
        const QVariant color = m_stringAttributes->value(NSForegroundColorAttributeName);
        if (color.metaType() == QMetaType::fromType<Color>())
            return color.value<Color>();
    }
    return Color::blackColor();
}

// --- keys ---

namespace {

using Controller = TWGraphicBindingController;

struct KeyAccess
{
    std::function<QVariant(const Controller &)> get;
    std::function<void(Controller &, const QVariant &)> set;
};

template <class T> KeyAccess intAccess(T (Controller::*get)() const, void (Controller::*set)(int))
{
    return {[get](const Controller &c) { return QVariant(int((c.*get)())); },
            [set](Controller &c, const QVariant &v) { (c.*set)(v.toInt()); }};
}

KeyAccess floatAccess(float (Controller::*get)() const, void (Controller::*set)(float))
{
    return {[get](const Controller &c) { return QVariant((c.*get)()); },
            [set](Controller &c, const QVariant &v) { (c.*set)(v.toFloat()); }};
}

KeyAccess colorAccess(const std::optional<Color> &(Controller::*get)() const,
                      void (Controller::*set)(const std::optional<Color> &))
{
    return {[get](const Controller &c) { return boxed((c.*get)()); },
            [set](Controller &c, const QVariant &v) { (c.*set)(colorOf(v)); }};
}

KeyAccess readOnly(bool (Controller::*get)() const)
{
    return {[get](const Controller &c) { return QVariant((c.*get)()); }, {}};
}

const QHash<QString, KeyAccess> &keyTable()
{
    static const QHash<QString, KeyAccess> table = [] {
        QHash<QString, KeyAccess> t;
        t.insert("inheritsFill",
                 intAccess(&Controller::inheritsFill, &Controller::setInheritsFill));
        t.insert("drawsFill", intAccess(&Controller::drawsFill, &Controller::setDrawsFill));
        t.insert("fillColor", colorAccess(&Controller::fillColor, &Controller::setFillColor));
        t.insert("inheritsStroke",
                 intAccess(&Controller::inheritsStroke, &Controller::setInheritsStroke));
        t.insert("drawsStroke", intAccess(&Controller::drawsStroke, &Controller::setDrawsStroke));
        t.insert("strokeColor", colorAccess(&Controller::strokeColor, &Controller::setStrokeColor));
        t.insert("strokeStyle", intAccess(&Controller::strokeStyle, &Controller::setStrokeStyle));
        t.insert("strokeWidth", floatAccess(&Controller::strokeWidth, &Controller::setStrokeWidth));
        t.insert("inheritsShadow",
                 intAccess(&Controller::inheritsShadow, &Controller::setInheritsShadow));
        t.insert("drawsShadow", intAccess(&Controller::drawsShadow, &Controller::setDrawsShadow));
        t.insert("shadowColor", colorAccess(&Controller::shadowColor, &Controller::setShadowColor));
        t.insert("shadowBlurRadius",
                 floatAccess(&Controller::shadowBlurRadius, &Controller::setShadowBlurRadius));
        t.insert("shadowOffsetWidth",
                 floatAccess(&Controller::shadowOffsetWidth, &Controller::setShadowOffsetWidth));
        t.insert("shadowOffsetHeight",
                 floatAccess(&Controller::shadowOffsetHeight, &Controller::setShadowOffsetHeight));
        t.insert("cornerEnabled", readOnly(&Controller::cornerEnabled));
        t.insert("cornerMode", intAccess(&Controller::cornerMode, &Controller::setCornerMode));
        t.insert("cornerAmount",
                 floatAccess(&Controller::cornerAmount, &Controller::setCornerAmount));
        t.insert("terminatorEnabled", readOnly(&Controller::terminatorEnabled));
        t.insert("terminatorAtStart",
                 intAccess(&Controller::terminatorAtStart, &Controller::setTerminatorAtStart));
        t.insert("terminatorStartWidth", floatAccess(&Controller::terminatorStartWidth,
                                                     &Controller::setTerminatorStartWidth));
        t.insert("terminatorStartLength", floatAccess(&Controller::terminatorStartLength,
                                                      &Controller::setTerminatorStartLength));
        t.insert("terminatorAtEnd",
                 intAccess(&Controller::terminatorAtEnd, &Controller::setTerminatorAtEnd));
        t.insert("terminatorEndWidth",
                 floatAccess(&Controller::terminatorEndWidth, &Controller::setTerminatorEndWidth));
        t.insert("terminatorEndLength", floatAccess(&Controller::terminatorEndLength,
                                                    &Controller::setTerminatorEndLength));
        t.insert("stringAttributes",
                 {[](const Controller &c) {
                      return c.stringAttributes() ? QVariant(*c.stringAttributes()) : QVariant();
                  },
                  [](Controller &c, const QVariant &v) {
                      if (std::optional<OrderedDictionary> d = OrderedDictionary::fromVariant(v))
                          c.setStringAttributes(d->toVariantMap());
                      else
                          c.setStringAttributes(std::nullopt);
                  }});
        t.insert("fontColor",
                 {[](const Controller &c) { return QVariant::fromValue(c.fontColor()); },
                  [](Controller &c, const QVariant &v) {
                      if (std::optional<Color> color = colorOf(v))
                          c.setFontColor(*color);
                  }});
        t.insert("branchType", intAccess(&Controller::branchType, &Controller::setBranchType));
        t.insert(
            "enclosedImageData",
            {[](const Controller &c) {
                 return c.enclosedImageData() ? QVariant(*c.enclosedImageData()) : QVariant();
             },
             [](Controller &c, const QVariant &v) { c.setEnclosedImageData(v.toByteArray()); }});
        t.insert("textRelativePosition", intAccess(&Controller::textRelativePosition,
                                                   &Controller::setTextRelativePosition));
        t.insert("connectionStyle",
                 intAccess(&Controller::connectionStyle, &Controller::setConnectionStyle));
        t.insert("connectionStyleEnabled", readOnly(&Controller::connectionStyleEnabled));
        t.insert("hasBoundary", intAccess(&Controller::hasBoundary, &Controller::setHasBoundary));
        t.insert("boundaryMargin",
                 floatAccess(&Controller::boundaryMargin, &Controller::setBoundaryMargin));
        t.insert("textMaxWidthSet",
                 intAccess(&Controller::textMaxWidthSet, &Controller::setTextMaxWidthSet));
        t.insert("textMaxWidth",
                 floatAccess(&Controller::textMaxWidth, &Controller::setTextMaxWidth));
        t.insert("hideChildrenOutlineNumbers",
                 intAccess(&Controller::hideChildrenOutlineNumbers,
                           &Controller::setHideChildrenOutlineNumbers));
        t.insert("resetChildrenOutlineNumbers",
                 intAccess(&Controller::resetChildrenOutlineNumbers,
                           &Controller::setResetChildrenOutlineNumbers));
        t.insert("childrenOutlineNumberFormatOverrideEnabled",
                 intAccess(&Controller::childrenOutlineNumberFormatOverrideEnabled,
                           &Controller::setChildrenOutlineNumberFormatOverrideEnabled));
        t.insert(
            "childrenOutlineNumberFormatOverride",
            {[](const Controller &c) { return QVariant(c.childrenOutlineNumberFormatOverride()); },
             [](Controller &c, const QVariant &v) {
                 c.setChildrenOutlineNumberFormatOverride(stringList(v));
             }});
        t.insert("showCheckBox",
                 intAccess(&Controller::showCheckBox, &Controller::setShowCheckBox));
        t.insert("applyingStyle", readOnly(&Controller::applyingStyle));
        t.insert("currentStyleIsDirty", readOnly(&Controller::currentStyleIsDirty));
        t.insert("currentStyleIsNew", readOnly(&Controller::currentStyleIsNew));
        t.insert("currentStyle",
                 {[](const Controller &c) { return QVariant::fromValue(c.currentStyle()); }, {}});
        return t;
    }();
    return table;
}

} // namespace

const QStringList &TWGraphicBindingController::allKeys()
{
    static const QStringList keys = keyTable().keys();
    return keys;
}

QVariant TWGraphicBindingController::valueForKey(const QString &key) const
{
    const auto it = keyTable().constFind(key);
    return it == keyTable().cend() ? QVariant() : it->get(*this);
}

void TWGraphicBindingController::setValueForKey(const QVariant &value, const QString &key)
{
    const auto it = keyTable().constFind(key);
    if (it == keyTable().cend() || !it->set) {
        qWarning().noquote()
            << QStringLiteral("TWGraphicBindingController: no setter for %1").arg(key);
        return;
    }
    it->set(*this, value);
}
