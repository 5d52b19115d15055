#include "palettes/TWFontView.h"

#include "interface/KeyValueBinding.h"
#include "platform/CFormat.h"
#include "support/AttributedString.h"
#include "support/FontRegistry.h"

#include <QFontDialog>
#include <QPainter>
#include <cstdlib>
#include <optional>

namespace {

// The font panel is shared; its choices go to the view that opened it last.
QPointer<TWFontView> &fontPanelTarget()
{
    static QPointer<TWFontView> target;
    return target;
}

QFontDialog *fontPanel()
{
    static QPointer<QFontDialog> panel;
    if (!panel) {
        panel = new QFontDialog;
        panel->setOption(QFontDialog::NoButtons);
        QObject::connect(panel, &QFontDialog::currentFontChanged, [](const QFont &font) {
            if (TWFontView *view = fontPanelTarget())
                view->changeFont(font);
        });
    }
    return panel;
}

bool isPlainFace(const QString &style)
{
    static const QStringList plain{QStringLiteral("Regular"), QStringLiteral("Roman"),
                                   QStringLiteral("Book"),    QStringLiteral("Normal"),
                                   QStringLiteral("Plain"),   QStringLiteral("Medium")};
    return style.isEmpty() || plain.contains(style, Qt::CaseInsensitive);
}

} // namespace

TWFontView::TWFontView(QWidget *parent) : QWidget(parent) {}

void TWFontView::setStringAttributes(const OrderedDictionary &attributes)
{
    m_stringAttributes = attributes;
    emit fontColorChanged(fontColor());
    update();
}

Font TWFontView::font() const
{
    const QVariant value = m_stringAttributes.value(NSFontAttributeName);
    return value.canConvert<Font>() ? value.value<Font>() : Font();
}

Color TWFontView::fontColor() const
{
    const QVariant value = m_stringAttributes.value(NSForegroundColorAttributeName);
    if (value.metaType() == QMetaType::fromType<Color>())
        return value.value<Color>();
    return Color::blackColor();
}

void TWFontView::setFontColor(const Color &color)
{
    OrderedDictionary attributes = m_stringAttributes;
    attributes.setValue(NSForegroundColorAttributeName, QVariant::fromValue(color));
    setStringAttributes(attributes);
    updateBinding();
}

QString TWFontView::displayName(const Font &font)
{
    if (const FontRegistry::Face *face = FontRegistry::shared().face(font.fontName())) {
        if (isPlainFace(face->style))
            return face->family;
        return face->family + QLatin1Char(' ') + face->style;
    }
    return font.fontName();
}

QString TWFontView::sampleText() const
{
    const Font f = font();
    if (f.isNull())
        return QString();
    return QStringLiteral("%1 (%2pt)").arg(displayName(f), CFormat::format("%0.0f", f.pointSize()));
}

QFont TWFontView::sampleFont() const
{
    const Font f = font();
    return FontRegistry::shared().qfont(f.isNull() ? Font(QStringLiteral("Helvetica"), SampleSize)
                                                   : f.withSize(SampleSize));
}

Font TWFontView::fontFromQFont(const QFont &qfont)
{
    const FontRegistry &registry = FontRegistry::shared();
    const QStringList members = registry.availableMembersOfFontFamily(qfont.family());
    const bool bold = qfont.weight() >= QFont::DemiBold;
    const bool italic = qfont.italic();
    const double size = qfont.pointSizeF() > 0 ? qfont.pointSizeF() : 12.0;
    // The face with the traits, of normal width before condensed or expanded ones.
    std::optional<QString> best;
    int bestWidth = 0;
    for (const QString &name : members) {
        const FontRegistry::Traits traits = registry.traits(name);
        if (bool(traits & FontRegistry::BoldTrait) != bold ||
            bool(traits & FontRegistry::ItalicTrait) != italic)
            continue;
        const FontRegistry::Face *face = registry.face(name);
        const int width = face ? std::abs(face->width - 100) : 0;
        if (!best || width < bestWidth) {
            best = name;
            bestWidth = width;
        }
    }
    if (best)
        return Font(*best, size);
    if (!members.isEmpty())
        return Font(members.first(), size);
    return Font(qfont.family(), size);
}

void TWFontView::bind(KeyValueBindable *model, const QString &key)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    m_key = key;
    const auto refresh = [this] {
        const std::optional<OrderedDictionary> attributes =
            m_model ? OrderedDictionary::fromVariant(m_model->valueForKey(m_key)) : std::nullopt;
        setStringAttributes(attributes ? *attributes : OrderedDictionary());
    };
    if (model)
        connect(model, &KeyValueBindable::valueChanged, this, [this, refresh](const QString &k) {
            if (k == m_key || k == u"style")
                refresh();
        });
    refresh();
}

void TWFontView::updateBinding()
{
    if (m_model)
        m_model->setValueForKey(QVariant::fromValue(m_stringAttributes), m_key);
}

void TWFontView::chooseFont()
{
    fontPanelTarget() = this;
    QFontDialog *panel = fontPanel();
    {
        const QSignalBlocker quiet(panel);
        panel->setCurrentFont(FontRegistry::shared().qfont(font()));
    }
    panel->show();
    panel->raise();
    setFocus();
}

void TWFontView::changeFont(const QFont &qfont)
{
    OrderedDictionary attributes = m_stringAttributes;
    attributes.setValue(NSFontAttributeName, QVariant::fromValue(fontFromQFont(qfont)));
    setStringAttributes(attributes);
    updateBinding();
}

void TWFontView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(sampleFont());
    painter.setPen(fontColor().toQColor());
    painter.drawText(rect(), Qt::AlignCenter, sampleText());
}
