#include "mapdrawing/TWPrintSetup.h"

#include "platform/CFormat.h"

#include <QLocale>
#include <QPageSize>
#include <cmath>

namespace TWPrintSetup {

double number(const OrderedDictionary &setup, const QString &key)
{
    const QVariant v = setup.value(key);
    double result = 0;
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return 0;
    case QMetaType::QString: {
        const QString text = v.toString().trimmed();
        if (text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 ||
            text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1;
        result = CFormat::doubleValue(text);
        break;
    }
    default: {
        bool ok = false;
        result = v.toDouble(&ok);
        if (!ok)
            return 0;
    }
    }
    return std::isfinite(result) ? result : 0;
}

float floatValue(const OrderedDictionary &setup, const QString &key)
{
    const double v = number(setup, key);
    // Beyond a float's range is no length a page has.
    return std::abs(v) < 1.0e30 ? float(v) : 0.0f;
}

bool boolValue(const OrderedDictionary &setup, const QString &key)
{
    return number(setup, key) != 0;
}

int intValue(const OrderedDictionary &setup, const QString &key)
{
    const double v = std::trunc(number(setup, key));
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

std::optional<Color> colorValue(const OrderedDictionary &setup, const QString &key)
{
    const QVariant v = setup.value(key);
    if (v.canConvert<Color>() && v.metaType() == QMetaType::fromType<Color>())
        return v.value<Color>();
    return std::nullopt;
}

std::optional<AttributedString> attributedStringValue(const OrderedDictionary &setup,
                                                      const QString &key)
{
    const QVariant v = setup.value(key);
    if (v.metaType() == QMetaType::fromType<AttributedString>())
        return v.value<AttributedString>();
    return std::nullopt;
}

QByteArray dataValue(const OrderedDictionary &setup, const QString &key)
{
    const QVariant v = setup.value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

namespace {

QPageSize defaultPageSize()
{
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                         ? QPageSize::Letter
                         : QPageSize::A4);
}

// Keys as Qt writes them ("A4", "Letter") and as print systems name papers
// ("iso-a4", "na-letter").
std::optional<QPageSize> pageSizeNamed(const QString &name)
{
    QString key = name.trimmed();
    for (const char *prefix : {"iso-", "na-", "jis-"})
        if (key.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            key = key.mid(qsizetype(strlen(prefix)));
    if (key.isEmpty())
        return std::nullopt;
    for (int id = 0; id <= int(QPageSize::LastPageSize); ++id) {
        const auto pageId = QPageSize::PageSizeId(id);
        if (pageId != QPageSize::Custom &&
            QPageSize::key(pageId).compare(key, Qt::CaseInsensitive) == 0)
            return QPageSize(pageId);
    }
    return std::nullopt;
}

} // namespace

QPageLayout pageLayout(const OrderedDictionary &setup)
{
    QPageSize page = defaultPageSize();
    QPageLayout::Orientation orientation =
        intValue(setup, Orientation) == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;

    const QVariant sizeValue = setup.value(PaperSize);
    const Size oriented = sizeValue.isValid() ? Size::fromString(sizeValue.toString()) : Size();
    if (std::isfinite(oriented.width) && std::isfinite(oriented.height) && oriented.width >= 1 &&
        oriented.height >= 1 && oriented.width < 100000 && oriented.height < 100000) {
        // The size is given as oriented; the page size itself is upright.
        if (!setup.contains(Orientation))
            orientation =
                oriented.width > oriented.height ? QPageLayout::Landscape : QPageLayout::Portrait;
        const bool across = orientation == QPageLayout::Landscape;
        const float w = across ? std::min(oriented.width, oriented.height) : oriented.width;
        const float h = across ? std::max(oriented.width, oriented.height) : oriented.height;
        page = QPageSize(QSizeF(w, h), QPageSize::Point, QString(), QPageSize::ExactMatch);
    } else if (const std::optional<QPageSize> named =
                   pageSizeNamed(setup.value(PaperName).toString())) {
        page = *named;
    }

    QPageLayout layout(page, orientation, QMarginsF(), QPageLayout::Point);
    const QRectF full = layout.fullRect(QPageLayout::Point);
    // Margins the sheet cannot hold are dropped rather than refused whole.
    auto margin = [&](const QString &key, qreal room) {
        const qreal v = floatValue(setup, key);
        return v > 0 && v < room ? v : 0.0;
    };
    const qreal left = margin(ImageableLeft, full.width());
    const qreal right = margin(ImageableRight, full.width() - left);
    const qreal top = margin(ImageableTop, full.height());
    const qreal bottom = margin(ImageableBottom, full.height() - top);
    layout.setMargins(QMarginsF(left, top, right, bottom));
    return layout;
}

void setPageLayout(OrderedDictionary &setup, const QPageLayout &layout)
{
    const QRectF full = layout.fullRect(QPageLayout::Point);
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    if (layout.pageSize().id() != QPageSize::Custom)
        setup.setValue(PaperName, layout.pageSize().key());
    else
        setup.remove(PaperName);
    setup.setValue(PaperSize, Size(float(full.width()), float(full.height())).toString());
    setup.setValue(Orientation, layout.orientation() == QPageLayout::Landscape ? 1 : 0);
    setup.setValue(ImageableLeft, margins.left());
    setup.setValue(ImageableRight, margins.right());
    setup.setValue(ImageableTop, margins.top());
    setup.setValue(ImageableBottom, margins.bottom());
}

Size paperSize(const QPageLayout &layout)
{
    return Size::fromQt(layout.fullRect(QPageLayout::Point).size());
}

Rect imageableBounds(const QPageLayout &layout)
{
    const QRectF full = layout.fullRect(QPageLayout::Point);
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    // From y-down sheet coordinates to the print info's y-up ones.
    return Rect(float(paint.x()), float(full.height() - paint.bottom()), float(paint.width()),
                float(paint.height()));
}

} // namespace TWPrintSetup
