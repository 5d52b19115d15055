#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/VariantTypes.h"
#include "styles/TWStyleManager.h"
#include "styles/TWTheme.h"

#include <QHash>
#include <functional>

namespace {

const QString GraphicStyleActionName = QStringLiteral("Graphic Style");
const QString BindingControllerNeedsUpdate =
    QStringLiteral("TWGraphicBindingControllerNeedsUpdate");

bool isNumber(const QVariant &v)
{
    return VariantTypes::numberKind(v) != VariantTypes::NumberKind::None;
}

std::optional<Color> colorOf(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<Color>())
        return v.value<Color>();
    return std::nullopt;
}

QVariant boxedColor(const std::optional<Color> &color)
{
    return color ? QVariant::fromValue(*color) : QVariant();
}

// Applies the attributes to the whole text as one undoable text change and
// fits the branch to the new size.
void setStringAttributes(TWTextArea &area, const TextAttributes &attributes)
{
    AttributedString text = area.text();
    if (text.length() > 0)
        text.setAttributes(attributes, {0, text.length()});
    area.setText(text);
    if (TWMapBranch *owner = area.branch(); owner && area.isEnclosedText())
        owner->makeNaturalSize();
}

struct StyleKeyAccess
{
    std::function<QVariant(const TWGraphic &)> get;
    // False for a value of the wrong kind or a graphic without the key.
    std::function<bool(TWGraphic &, const QVariant &)> set;
};

template <class Getter, class Setter> StyleKeyAccess boolKey(Getter get, Setter set)
{
    return {[get](const TWGraphic &g) { return QVariant(bool((g.*get)())); },
            [set](TWGraphic &g, const QVariant &v) {
                if (!isNumber(v))
                    return false;
                (g.*set)(v.toBool());
                return true;
            }};
}

template <class Getter, class Setter> StyleKeyAccess intKey(Getter get, Setter set)
{
    return {[get](const TWGraphic &g) { return QVariant(int((g.*get)())); },
            [set](TWGraphic &g, const QVariant &v) {
                if (!isNumber(v))
                    return false;
                (g.*set)(v.toInt());
                return true;
            }};
}

template <class Getter, class Setter> StyleKeyAccess floatKey(Getter get, Setter set)
{
    return {[get](const TWGraphic &g) { return QVariant(float((g.*get)())); },
            [set](TWGraphic &g, const QVariant &v) {
                if (!isNumber(v))
                    return false;
                (g.*set)(v.toFloat());
                return true;
            }};
}

template <class Getter, class Setter> StyleKeyAccess colorKey(Getter get, Setter set)
{
    return {[get](const TWGraphic &g) { return boxedColor((g.*get)()); },
            [set](TWGraphic &g, const QVariant &v) {
                const std::optional<Color> color = colorOf(v);
                if (!color)
                    return false;
                (g.*set)(color);
                return true;
            }};
}

// Keys only link lines have.
template <class T, class Getter, class Setter> StyleKeyAccess linkLineKey(Getter get, Setter set)
{
    return {[get](const TWGraphic &g) {
                const auto *line = dynamic_cast<const TWLinkLine *>(&g);
                return line ? QVariant((line->*get)()) : QVariant();
            },
            [set](TWGraphic &g, const QVariant &v) {
                auto *line = dynamic_cast<TWLinkLine *>(&g);
                if (!line || !isNumber(v))
                    return false;
                (line->*set)(v.value<T>());
                return true;
            }};
}

std::optional<Shadow> shadowOf(const TWGraphic &g)
{
    return g.shadow();
}

const QHash<QString, StyleKeyAccess> &styleKeyTable()
{
    static const QHash<QString, StyleKeyAccess> table = [] {
        QHash<QString, StyleKeyAccess> t;
        t.insert(QStringLiteral("inheritsFill"),
                 boolKey(&TWGraphic::inheritsFill, &TWGraphic::setInheritsFill));
        t.insert(QStringLiteral("drawsFill"),
                 boolKey(&TWGraphic::drawsFill, &TWGraphic::setDrawsFill));
        t.insert(QStringLiteral("fillColor"),
                 colorKey(&TWGraphic::fillColor, &TWGraphic::setFillColor));
        t.insert(QStringLiteral("inheritsStroke"),
                 boolKey(&TWGraphic::inheritsStroke, &TWGraphic::setInheritsStroke));
        t.insert(QStringLiteral("drawsStroke"),
                 boolKey(&TWGraphic::drawsStroke, &TWGraphic::setDrawsStroke));
        t.insert(QStringLiteral("strokeColor"),
                 colorKey(&TWGraphic::strokeColor, &TWGraphic::setStrokeColor));
        t.insert(QStringLiteral("strokeStyle"),
                 intKey(&TWGraphic::strokeStyle, &TWGraphic::setStrokeStyle));
        t.insert(QStringLiteral("strokeWidth"),
                 floatKey(&TWGraphic::strokeWidth, &TWGraphic::setStrokeWidth));
        t.insert(QStringLiteral("inheritsShadow"),
                 boolKey(&TWGraphic::inheritsShadow, &TWGraphic::setInheritsShadow));
        t.insert(QStringLiteral("drawsShadow"),
                 boolKey(&TWGraphic::drawsShadow, &TWGraphic::setDrawsShadow));
        t.insert(QStringLiteral("shadowColor"), {[](const TWGraphic &g) {
                                                     const std::optional<Shadow> s = shadowOf(g);
                                                     return s ? boxedColor(s->shadowColor())
                                                              : QVariant();
                                                 },
                                                 [](TWGraphic &g, const QVariant &v) {
                                                     const std::optional<Color> color = colorOf(v);
                                                     if (!color)
                                                         return false;
                                                     g.setShadowColor(color);
                                                     return true;
                                                 }});
        t.insert(QStringLiteral("shadowBlurRadius"),
                 {[](const TWGraphic &g) {
                      const std::optional<Shadow> s = shadowOf(g);
                      return s ? QVariant(float(s->shadowBlurRadius())) : QVariant();
                  },
                  [](TWGraphic &g, const QVariant &v) {
                      if (!isNumber(v))
                          return false;
                      g.setShadowBlurRadius(v.toFloat());
                      return true;
                  }});
        t.insert(QStringLiteral("shadowOffsetWidth"),
                 {[](const TWGraphic &g) {
                      const std::optional<Shadow> s = shadowOf(g);
                      return s ? QVariant(float(s->shadowOffset().width)) : QVariant();
                  },
                  [](TWGraphic &g, const QVariant &v) {
                      if (!isNumber(v))
                          return false;
                      g.setShadowOffsetWidth(v.toFloat());
                      return true;
                  }});
        t.insert(QStringLiteral("shadowOffsetHeight"),
                 {[](const TWGraphic &g) {
                      const std::optional<Shadow> s = shadowOf(g);
                      return s ? QVariant(float(s->shadowOffset().height)) : QVariant();
                  },
                  [](TWGraphic &g, const QVariant &v) {
                      if (!isNumber(v))
                          return false;
                      g.setShadowOffsetHeight(v.toFloat());
                      return true;
                  }});
        t.insert(QStringLiteral("cornerMode"),
                 intKey(&TWGraphic::cornerMode, &TWGraphic::setCornerMode));
        t.insert(QStringLiteral("cornerAmount"),
                 floatKey(&TWGraphic::cornerAmount, &TWGraphic::setCornerAmount));
        t.insert(QStringLiteral("terminatorAtStart"),
                 linkLineKey<int>(&TWLinkLine::startArrowStyle, &TWLinkLine::setStartArrowStyle));
        t.insert(QStringLiteral("terminatorStartWidth"),
                 linkLineKey<float>(&TWLinkLine::startArrowWidth, &TWLinkLine::setStartArrowWidth));
        t.insert(
            QStringLiteral("terminatorStartLength"),
            linkLineKey<float>(&TWLinkLine::startArrowLength, &TWLinkLine::setStartArrowLength));
        t.insert(QStringLiteral("terminatorAtEnd"),
                 linkLineKey<int>(&TWLinkLine::endArrowStyle, &TWLinkLine::setEndArrowStyle));
        t.insert(QStringLiteral("terminatorEndWidth"),
                 linkLineKey<float>(&TWLinkLine::endArrowWidth, &TWLinkLine::setEndArrowWidth));
        t.insert(QStringLiteral("terminatorEndLength"),
                 linkLineKey<float>(&TWLinkLine::endArrowLength, &TWLinkLine::setEndArrowLength));
        t.insert(QStringLiteral("stringAttributes"),
                 {[](const TWGraphic &g) {
                      const auto *area = dynamic_cast<const TWTextArea *>(&g);
                      if (!area)
                          return QVariant();
                      const std::optional<TextAttributes> attributes = area->stringAttributes();
                      return attributes ? QVariant::fromValue(
                                              OrderedDictionary::fromVariantMap(*attributes))
                                        : QVariant();
                  },
                  [](TWGraphic &g, const QVariant &v) {
                      auto *area = dynamic_cast<TWTextArea *>(&g);
                      const std::optional<OrderedDictionary> d = OrderedDictionary::fromVariant(v);
                      if (!area || !d)
                          return false;
                      setStringAttributes(*area, d->toVariantMap());
                      return true;
                  }});
        return t;
    }();
    return table;
}

// The style identifier as one undoable change, so that undoing a style
// brings the old identifier back after the setters' own inverses ran.
void setStyleIDUndoably(const std::shared_ptr<TWGraphic> &graphic,
                        const std::optional<QString> &identifier)
{
    const std::optional<QString> old = graphic->styleID();
    UndoManager::registerUndo(graphic->undoManager(),
                              [graphic, old] { setStyleIDUndoably(graphic, old); });
    graphic->setStyleID(identifier);
}

} // namespace

// --- key lists ---

const QStringList &TWGraphic::fillKeys()
{
    static const QStringList keys{QStringLiteral("inheritsFill"), QStringLiteral("drawsFill"),
                                  QStringLiteral("fillColor")};
    return keys;
}

const QStringList &TWGraphic::strokeKeys()
{
    static const QStringList keys{QStringLiteral("inheritsStroke"), QStringLiteral("drawsStroke"),
                                  QStringLiteral("strokeColor"), QStringLiteral("strokeStyle"),
                                  QStringLiteral("strokeWidth")};
    return keys;
}

const QStringList &TWGraphic::shadowKeys()
{
    static const QStringList keys{
        QStringLiteral("inheritsShadow"),    QStringLiteral("drawsShadow"),
        QStringLiteral("shadowColor"),       QStringLiteral("shadowBlurRadius"),
        QStringLiteral("shadowOffsetWidth"), QStringLiteral("shadowOffsetHeight")};
    return keys;
}

const QStringList &TWGraphic::cornerKeys()
{
    static const QStringList keys{QStringLiteral("cornerMode"), QStringLiteral("cornerAmount")};
    return keys;
}

const QStringList &TWGraphic::terminatorKeys()
{
    static const QStringList keys{
        QStringLiteral("terminatorAtStart"),     QStringLiteral("terminatorStartWidth"),
        QStringLiteral("terminatorStartLength"), QStringLiteral("terminatorAtEnd"),
        QStringLiteral("terminatorEndWidth"),    QStringLiteral("terminatorEndLength")};
    return keys;
}

const QStringList &TWGraphic::fontKeys()
{
    static const QStringList keys{QStringLiteral("stringAttributes")};
    return keys;
}

const QStringList &TWGraphic::styleKeys()
{
    static const QStringList keys =
        fillKeys() + strokeKeys() + shadowKeys() + cornerKeys() + terminatorKeys() + fontKeys();
    return keys;
}

// --- capabilities ---

TWGraphic::StyleCapabilities TWGraphic::styleCapabilities() const
{
    // By exact class: every graphic class derives from TWGraphic directly,
    // and a class not listed carries what TWGraphic carries.
    static const QHash<QString, StyleCapabilities> table{
        {QStringLiteral("TWImage"), {false, true, true, false, false, false}},
        {QStringLiteral("TWLinkLine"), {false, true, true, false, true, false}},
        {QStringLiteral("TWRectangle"), {true, true, true, true, false, false}},
        {QStringLiteral("TWBoundaryProxy"), {true, true, true, true, false, false}},
        {QStringLiteral("TWTextArea"), {true, true, true, false, false, true}},
    };
    return table.value(className(), StyleCapabilities{true, true, true, false, false, false});
}

QStringList TWGraphic::styleKeysToBeAppliedFromStyle(const TWStyle &style) const
{
    const OrderedDictionary graphic = style.group(TWStyle::GraphicGroup);
    const auto on = [&graphic](const char *flag) {
        return graphic.value(QString::fromLatin1(flag)).toBool();
    };
    // A branch's text has no settings of its own but its font.
    if (isEnclosedText())
        return on("applyFont") ? fontKeys() : QStringList();
    const StyleCapabilities can = styleCapabilities();
    QStringList keys;
    if (can.fill && on("applyFill"))
        keys += fillKeys();
    if (can.stroke && on("applyStroke"))
        keys += strokeKeys();
    if (can.shadow && on("applyShadow"))
        keys += shadowKeys();
    if (can.corner && on("applyCorner"))
        keys += cornerKeys();
    if (can.terminator && on("applyTerminator"))
        keys += terminatorKeys();
    if (can.font && on("applyFont"))
        keys += fontKeys();
    return keys;
}

// --- keys ---

QVariant TWGraphic::styleValueForKey(const QString &key) const
{
    const auto it = styleKeyTable().constFind(key);
    return it == styleKeyTable().cend() ? QVariant() : it->get(*this);
}

bool TWGraphic::setStyleValueForKey(const QVariant &value, const QString &key)
{
    const auto it = styleKeyTable().constFind(key);
    if (it == styleKeyTable().cend()) {
        setValueForUndefinedKey(value, key);
        return false;
    }
    return it->set(*this, value);
}

namespace {

Shadow shadowCopy(const TWGraphic &g)
{
    // A graphic without a shadow starts from the standard one.
    return g.shadow().value_or(Shadow(Size(5, -5), 5, Shadow::defaultShadowColor()));
}

} // namespace

void TWGraphic::setShadowColor(const std::optional<Color> &color)
{
    Shadow s = shadowCopy(*this);
    s.setShadowColor(color);
    setShadow(s);
}

void TWGraphic::setShadowBlurRadius(float radius)
{
    Shadow s = shadowCopy(*this);
    s.setShadowBlurRadius(radius);
    setShadow(s);
}

void TWGraphic::setShadowOffsetWidth(float width)
{
    Shadow s = shadowCopy(*this);
    s.setShadowOffset(Size(width, s.shadowOffset().height));
    setShadow(s);
}

void TWGraphic::setShadowOffsetHeight(float height)
{
    Shadow s = shadowCopy(*this);
    s.setShadowOffset(Size(s.shadowOffset().width, height));
    setShadow(s);
}

// --- applying ---

std::shared_ptr<TWStyle> TWGraphic::style() const
{
    if (isEnclosedText()) {
        const TWMapBranch *owner = branch();
        return owner && owner->mainGraphic() ? owner->mainGraphic()->style() : nullptr;
    }
    const std::optional<QString> identifier = styleID();
    if (!identifier)
        return nullptr;
    return TWStyleManager::sharedStyleManager().graphicStyleWithIdentifier(*identifier);
}

void TWGraphic::setStyle(const std::shared_ptr<TWStyle> &newStyle)
{
    const std::shared_ptr<TWGraphic> self = shared_from_this();
    // The text has no style of its own: the identifier lives on the shape.
    TWGraphic *holder = settingsGraphic();
    const std::shared_ptr<TWGraphic> holderPointer = holder->shared_from_this();
    UndoManager *undo = undoManager();
    setStyleIDUndoably(holderPointer,
                       newStyle ? std::optional<QString>(newStyle->identifier()) : std::nullopt);
    UndoManager::setActionName(undo,
                               TWLocalizedString(StringTable::DadoZiz, GraphicStyleActionName));

    applyStyle(newStyle.get());

    if (isMainGraphic()) {
        TWMapBranch *owner = branch();
        const std::shared_ptr<TWMapBranch> keep = owner->shared_from_this();
        if (const std::shared_ptr<TWTextArea> &text = owner->enclosedTextArea())
            text->setStyle(newStyle);
        owner->updateStyle();
    }
    // One inspector refresh however many graphics take the style at once.
    NotificationQueue::defaultQueue().enqueue(BindingControllerNeedsUpdate, nullptr, {},
                                              NotificationQueue::CoalesceOnName);
}

void TWGraphic::updateStyle()
{
    const std::shared_ptr<TWStyle> current = style();
    applyStyle(current.get());
}

void TWGraphic::applyStyle(const TWStyle *newStyle)
{
    if (!newStyle || isOtherEnclosedGraphic())
        return;
    const OrderedDictionary graphic = newStyle->group(TWStyle::GraphicGroup);
    for (const QString &key : styleKeysToBeAppliedFromStyle(*newStyle)) {
        // A hand-written style may lack a key it governs: that setting stays.
        if (!graphic.contains(key))
            continue;
        setStyleValueForKey(graphic.value(key), key);
    }
}

void TWGraphic::applyAutoStyle()
{
    TWMap *owner = map();
    if (!owner)
        return;
    std::shared_ptr<TWStyle> autoStyle = owner->defaultGraphicStyle();
    if (!autoStyle) {
        const std::shared_ptr<TWTheme> theme = owner->theme();
        if (!theme)
            return;
        const int level = branch() ? branch()->getThisBranchLevel() : 0;
        autoStyle = isMainGraphic() ? TWTheme::mainGraphicStyleForBranchLevel(level, *theme)
                                    : TWTheme::attachedGraphicStyleForBranchLevel(level, *theme);
        if (!autoStyle)
            return;
    }
    setStyle(autoStyle);
}
