// Branches of the old property-list documents.
#include "graphics/TWChildConnection.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWAttachedText.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWBranchOrdering.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "support/OldStyleValues.h"

#include <QDebug>
#include <algorithm>

using namespace OldStyleValues;

namespace {

thread_local int oldStyleDepth = 0;

struct DepthGuard
{
    DepthGuard() { ++oldStyleDepth; }
    ~DepthGuard() { --oldStyleDepth; }
};

} // namespace

int TWMapBranch::oldStyleBranchNumber(const QVariant &value)
{
    // Stored as a decimal text of a C long; a number beyond 32 bits keeps
    // its low bits, as reading it into a 32-bit long did.
    return int(quint32(quint64(longLongValue(value))));
}

std::shared_ptr<TWMapBranch> TWMapBranch::initWithOldStyleDictionary(const QVariantMap &dictionary,
                                                                     TWMapBranch *parent,
                                                                     TWMap *map)
{
    const DepthGuard depth;
    if (oldStyleDepth > maxOldStyleDepth) {
        qWarning("Branch nested more than %d levels deep - left out", maxOldStyleDepth);
        return nullptr;
    }
    auto has = [&dictionary](const char *key) { return dictionary.contains(QLatin1String(key)); };
    auto value = [&dictionary](const char *key) { return dictionary.value(QLatin1String(key)); };

    std::shared_ptr<TWMapBranch> branch = create();
    TWMapBranch &b = *branch;
    b.setPrimitiveParent(parent);
    b.setPrimitiveMap(map);
    if (!parent && map)
        map->setRoot(branch);

    b.m_textRelativePosition =
        has("textRelativePosition") ? intValue(value("textRelativePosition")) : 2;
    bool mended = false;
    if (const QVariantMap text = OldStyleValues::dictionary(value("enclosedTextArea"));
        !text.isEmpty()) {
        std::shared_ptr<TWGraphic> graphic =
            TWGraphic::graphicWithOldStyleDictionary(text, &b, false);
        b.m_enclosedTextArea = std::dynamic_pointer_cast<TWTextArea>(graphic);
        if (graphic && !b.m_enclosedTextArea) {
            qWarning().noquote() << "The text area of a branch is a" << graphic->className()
                                 << "- left out";
            graphic->detach();
        }
    }
    NotificationCenter::defaultCenter().post(
        TWMapsDoc::IncrementLoadingNotification, nullptr,
        {{LoadingTextKey,
          b.m_enclosedTextArea ? b.m_enclosedTextArea->text().string() : QString()}});

    const QVariantMap shape = OldStyleValues::dictionary(value("mainGraphic"));
    b.m_mainGraphic = TWGraphic::graphicWithOldStyleDictionary(shape, &b, true);
    if (!b.m_mainGraphic && !has("mainGraphic")) {
        qWarning("No Main graphic on this branch");
        // The branch goes with the branches below it.
        int lost = 0;
        QList<QVariantMap> pending{dictionary};
        while (!pending.isEmpty()) {
            ++lost;
            pending.append(dictionaries(pending.takeLast().value(QStringLiteral("children"))));
        }
        TWBranchReadDamage::noteLeftOut(lost);
        if (!parent && map)
            map->setRoot(nullptr);
        b.deparent();
        return nullptr;
    }
    // A shape that is there but cannot be read is replaced, so that the
    // branch keeps everything below it.
    if (!b.m_mainGraphic) {
        const Rect stored = OldStyleValues::rect(shape.value(QStringLiteral("Bounds")));
        const bool placed = stored.width() > 0 && stored.height() > 0;
        std::optional<Rect> bounds;
        if (placed)
            bounds = stored;
        else if (b.m_enclosedTextArea)
            bounds = TWBranchStandIn::aroundLabel(*b.m_enclosedTextArea);
        b.m_mainGraphic = TWBranchStandIn::shape(b, bounds, std::nullopt);
        mended = true;
    }
    // Every branch held is written so that it reads back, and a branch is
    // written with a label: one stored without gets an empty one.
    if (!b.m_enclosedTextArea) {
        b.m_enclosedTextArea = TWBranchStandIn::label(b, std::nullopt, std::nullopt);
        mended = mended || has("enclosedTextArea");
    }

    if (parent && parent->m_mainGraphic) {
        std::shared_ptr<TWConnectionGraphic> connection;
        if (!parent->parent()) {
            const Rect p = parent->m_mainGraphic->bounds();
            connection = TWTitleConnection::create(b.m_mainGraphic, Point(p.midX(), p.midY()));
        } else {
            connection = TWChildConnection::create(parent->m_mainGraphic, b.m_mainGraphic);
        }
        connection->setPrimitiveBranch(&b);
        connection->applyDefaultSettings();
        connection->setDrawsStroke(true);
        connection->setDrawsFill(!parent->parent());
        b.m_connectionGraphic = std::move(connection);
    }

    GraphicList linked;
    for (const QVariantMap &stored : dictionaries(value("linkedGraphics"))) {
        if (std::shared_ptr<TWGraphic> graphic =
                TWGraphic::graphicWithOldStyleDictionary(stored, &b, false))
            linked.append(std::move(graphic));
    }
    std::stable_sort(linked.begin(), linked.end(), [](const auto &x, const auto &y) {
        return attachedGraphicOrderFunction(*x, *y) < 0;
    });
    b.m_linkedGraphics = linked;

    TWMapBranch::Settings &s = b.settings();
    if (const QVariantMap link = OldStyleValues::dictionary(value("hyperlink")); !link.isEmpty()) {
        s.hyperlinks.prepend(std::make_shared<TWHyperlink>(
            intValue(link.value(QStringLiteral("Hyperlinktype"))),
            string(link.value(QStringLiteral("HyperlinkURL"))),
            string(link.value(QStringLiteral("HyperlinkArgs"))),
            string(link.value(QStringLiteral("HyperlinkArgs2"))), std::nullopt));
    }

    const bool numbersShown = map && map->showOutlineNumbers();
    for (const QVariantMap &stored : dictionaries(value("otherEnclosedGraphics"))) {
        std::shared_ptr<TWEnclosedGraphic> record =
            TWEnclosedGraphic::loadFromOldStyleDictionary(stored, &b);
        if (record->name() == OutlineNumberKey && !numbersShown) {
            if (record->graphic())
                record->graphic()->detach();
            continue;
        }
        b.m_otherEnclosedGraphics.append(std::move(record));
    }

    if (has("longText")) {
        if (std::optional<AttributedString> note = unarchivedAttributedString(value("longText"));
            note && !note->string().isEmpty()) {
            auto text = std::make_shared<TWAttachedText>(std::nullopt, b.undoManager());
            text->setText(std::make_shared<const AttributedString>(std::move(*note)));
            s.attachedTextArray.append(std::move(text));
        }
    }

    if (has("nodeTextMaxWidthSet"))
        b.m_flags.textMaxWidthSet = isYes(value("nodeTextMaxWidthSet"));
    if (has("nodeTextMaxWidth"))
        s.textMaxWidth = TWGraphic::correctedReal(floatValue(value("nodeTextMaxWidth")), 50);
    if (has("outlineNumber"))
        b.m_outlineNumber = string(value("outlineNumber")).value_or(QString());
    if (has("nodeHash"))
        b.setStoredBranchNumber(oldStyleBranchNumber(value("nodeHash")));

    BranchList children;
    for (const QVariantMap &stored : dictionaries(value("children"))) {
        if (std::shared_ptr<TWMapBranch> child = initWithOldStyleDictionary(stored, &b, map))
            children.append(std::move(child));
    }
    std::stable_sort(children.begin(), children.end(), [](const auto &x, const auto &y) {
        return orderChildrenByPosition(*x, *y) < 0;
    });
    b.m_children = children;

    if (map) {
        for (const QVariantMap &stored : dictionaries(value("interBranchLinks"))) {
            std::shared_ptr<TWLinkLine> line = std::dynamic_pointer_cast<TWLinkLine>(
                TWGraphic::graphicWithOldStyleDictionary(stored, &b, false));
            if (line)
                map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        }
    }

    b.m_flags.childrenHidden = isYes(value("nodeChildrenHidden"));
    if (b.m_connectionGraphic)
        b.m_connectionGraphic->updateBounds();

    // What the old format did not have.
    s.soundFileName.reset();
    s.soundFileReferenceMethod = 0;
    s.mmOid.reset();
    b.m_flags.hasBoundary = false;
    s.boundaryLineColor = Color::blackColor();
    s.boundaryFillColor = Color::whiteColor();
    s.boundaryLineStyle = 1;
    s.boundaryLineWidth = 1.0f;
    s.boundaryCurveRadius = 10;
    s.boundaryCornerStyle = 1;
    s.boundaryMargin = 3;
    s.boundaryInheritsLineColor = true;
    s.boundaryDrawsFill = false;
    s.boundaryDrawsLine = true;
    s.overriddenChildRepel = -1.0f;
    s.overriddenChildSpacing = -1.0f;
    s.overriddenChildrenColorMode = -1;
    s.overridesRainbowAngle = false;
    s.overriddenRainbowAngle = 0;
    s.hideChildrenOutlineNumbers = false;
    s.resetChildrenOutlineNumbers = false;
    s.childrenOutlineNumberFormatOverride.clear();
    b.m_flags.showCheckBox = false;
    s.checkBoxState = 0;
    s.trackedChanges.clear();
    s.textDistanceFromLeftEnd = 0;
    s.textDistanceFromRightEnd = 0;
    b.m_flags.needsMakeNaturalSize = false;

    if (mended)
        TWBranchReadDamage::noteMended();
    b.subscribeToNotifications();
    return branch;
}
