#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"
#include "styles/TWStyle.h"

namespace {

const QString PalettesNeedsUpdate = QStringLiteral("TWPalettesNeedsUpdateNotification");
const QString BindingControllerNeedsUpdate =
    QStringLiteral("TWGraphicBindingControllerNeedsUpdate");

QStringList formatList(const QVariant &value)
{
    QStringList formats;
    for (const QVariant &item : value.toList())
        formats << item.toString();
    return formats;
}

} // namespace

const QStringList &TWMapBranch::styleKeys()
{
    static const QStringList keys{QStringLiteral("branchType"),
                                  QStringLiteral("enclosedImageData"),
                                  QStringLiteral("textRelativePosition"),
                                  QStringLiteral("connectionStyle"),
                                  QStringLiteral("hasBoundary"),
                                  QStringLiteral("boundaryMargin"),
                                  QStringLiteral("textMaxWidthSet"),
                                  QStringLiteral("textMaxWidth"),
                                  QStringLiteral("hideChildrenOutlineNumbers"),
                                  QStringLiteral("resetChildrenOutlineNumbers"),
                                  QStringLiteral("childrenOutlineNumberFormatOverride")};
    return keys;
}

void TWMapBranch::updateStyle()
{
    const std::shared_ptr<TWStyle> style = m_mainGraphic ? m_mainGraphic->style() : nullptr;
    applyStyle(style.get());
}

void TWMapBranch::applyStyle(const TWStyle *style)
{
    const std::shared_ptr<TWMapBranch> keep = shared_from_this();
    if (style) {
        const OrderedDictionary b = style->group(TWStyle::BranchGroup);
        const auto on = [&b](const char *flag) {
            return b.value(QString::fromLatin1(flag)).toBool();
        };
        const auto has = [&b](const char *key) { return b.contains(QString::fromLatin1(key)); };
        const auto value = [&b](const char *key) { return b.value(QString::fromLatin1(key)); };

        if (on("applyBranchType") && has("branchType")) {
            const int type = value("branchType").toInt();
            if (branchType() != type) {
                changeToBranchType(type);
                // The text is placed anew around the new shape: out of the
                // way first, then back where it was.
                const int position = m_textRelativePosition;
                m_textRelativePosition = -1;
                setTextRelativePosition(2);
                setTextRelativePosition(position);
                if (m_mainGraphic)
                    m_mainGraphic->applyStyle(style);
            }
        }
        if (on("applyEnclosedImage"))
            setEnclosedImageData(value("enclosedImageData").toByteArray());
        if (on("applyTextRelativePosition") && has("textRelativePosition"))
            setTextRelativePosition(value("textRelativePosition").toInt());
        if (on("applyConnectionStyle") && has("connectionStyle") && m_connectionGraphic)
            m_connectionGraphic->setStrokeStyle(value("connectionStyle").toInt());
        if (on("applyBoundary")) {
            setHasBoundary(value("hasBoundary").toBool());
            if (has("boundaryMargin"))
                setBoundaryMargin(value("boundaryMargin").toFloat());
        }
        if (on("applyTextMaxWidth")) {
            setTextMaxWidthSet(value("textMaxWidthSet").toBool());
            if (has("textMaxWidth"))
                setTextMaxWidth(value("textMaxWidth").toFloat());
        }
        if (on("applyOutlineNumbering")) {
            setHideChildrenOutlineNumbers(value("hideChildrenOutlineNumbers").toBool());
            setResetChildrenOutlineNumbers(value("resetChildrenOutlineNumbers").toBool());
            setChildrenOutlineNumberFormatOverride(
                formatList(value("childrenOutlineNumberFormatOverride")));
        }
    }
    // Coalesced: a style applied to many branches refreshes the palettes once.
    NotificationQueue &queue = NotificationQueue::defaultQueue();
    queue.enqueue(PalettesNeedsUpdate, nullptr, {}, NotificationQueue::CoalesceOnName);
    queue.enqueue(BindingControllerNeedsUpdate, nullptr, {}, NotificationQueue::CoalesceOnName);
}
