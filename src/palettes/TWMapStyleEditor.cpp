#include "palettes/TWMapStyleEditor.h"

#include "interface/ColorWell.h"
#include "interface/RoundedBox.h"
#include "interface/TWRainbowAngleControl.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWOutlineFormatSettingsPanelController.h"
#include "palettes/TWStyleViewDocument.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "styles/TWDefaultMapStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString general(const char *key)
{
    return TWLocalizedString(StringTable::General, QString::fromUtf8(key));
}

QString mapKey(const char *key)
{
    return TWStyle::MapGroup + QLatin1Char('.') + QString::fromLatin1(key);
}

} // namespace

TWMapStyleEditor &TWMapStyleEditor::sharedMapStyleEditor()
{
    static TWMapStyleEditor *editor = new TWMapStyleEditor;
    return *editor;
}

TWMapStyleEditor::TWMapStyleEditor(QObject *parent) : TWStyleListEditor(TWStyle::MapStyle, parent)
{}

bool TWMapStyleEditor::isDefaultStyle(const TWStyle &style) const
{
    return !style.identifier().isEmpty() && TWDefaultMapStyle::identifier() == style.identifier();
}

void TWMapStyleEditor::setAsDefault()
{
    if (const std::shared_ptr<TWStyle> style = selectedStyle())
        TWDefaultMapStyle::setIdentifier(style->identifier());
}

void TWMapStyleEditor::editOutlineNumberingFormat()
{
    if (settings()->style())
        TWOutlineFormatSettingsPanelController::sharedPanelController().displayPanelForObject(
            settings(), mapKey("outlineFormatSettings"));
}

void TWMapStyleEditor::updateExistingMaps()
{
    if (Alerts::current().runAlertPanel(
            dadoZiz("Update existing maps with this style?"),
            dadoZiz("Maps in the current document that use this style will be updated to the new "
                    "settings."),
            {general("Yes"), general("No")}) != 0)
        return;
    TWMapsDoc *document = TWStyleViewDocument::active().maps();
    if (!document)
        return;
    const auto maps = document->maps();
    for (const std::shared_ptr<TWStyle> &style : selectedStyles())
        for (const std::shared_ptr<TWMap> &map : maps)
            if (map->mapStyleID() == style->identifier())
                map->setMapStyle(style);
}

void TWMapStyleEditor::addButtons(QWidget *window, QBoxLayout *row)
{
    addButton(window, row, "Update Existing Maps", [this] { updateExistingMaps(); });
}

void TWMapStyleEditor::buildSettings(QWidget *window, QBoxLayout *layout)
{
    auto *box = new RoundedBox(window);
    box->setTitle(dadoZiz("Map"));
    styleBox(box, Color::colorWithDeviceWhite(0.0));
    auto *form = new QFormLayout(box);
    form->setContentsMargins(12, 24, 12, 10);
    const auto row = [&](QWidget *first, std::initializer_list<QWidget *> rest) {
        auto *line = new QHBoxLayout;
        for (QWidget *w : rest)
            line->addWidget(w);
        line->addStretch();
        form->addRow(first, line);
    };

    row(checkBox(box, "Background", mapKey("applyBackground")),
        {colorWell(box, mapKey("backgroundColor")),
         popUp(box, mapKey("backgroundImageTileMode"),
               {{dadoZiz("Centered"), 0}, {dadoZiz("Tiled"), 1}, {dadoZiz("Stretched"), 2}}),
         numberField(box, mapKey("backgroundImageOpacity"), 0, 1, 2)});

    m_rainbow = new TWRainbowAngleControl(box);
    TWRainbowAngleControl *rainbow = m_rainbow;
    follow(rainbow, mapKey("rainbowAngle"), [this, rainbow](const QVariant &) {
        rainbow->setAngle(settings()->valueForKey(mapKey("rainbowAngle")));
        rainbow->setAlpha(settings()->valueForKey(mapKey("rainbowSaturation")));
        rainbow->setEnabled(settings()->valueForKey(mapKey("applyColoring")).toBool());
    });
    connect(settings(), &KeyValueBindable::valueChanged, rainbow,
            [this, rainbow](const QString &k) {
                if (k == mapKey("rainbowSaturation") || k == mapKey("applyColoring")) {
                    rainbow->setAlpha(settings()->valueForKey(mapKey("rainbowSaturation")));
                    rainbow->setEnabled(settings()->valueForKey(mapKey("applyColoring")).toBool());
                }
            });
    rainbow->bind(TWRainbowAngleControl::AngleBinding, [this](const QVariant &value) {
        if (settings()->style() &&
            settings()->valueForKey(mapKey("rainbowAngle")).toFloat() != value.toFloat())
            settings()->setValueForKey(value.toFloat(), mapKey("rainbowAngle"));
    });
    rainbow->bind(TWRainbowAngleControl::AlphaBinding, [this](const QVariant &value) {
        if (settings()->style() &&
            settings()->valueForKey(mapKey("rainbowSaturation")).toFloat() != value.toFloat())
            settings()->setValueForKey(value.toFloat(), mapKey("rainbowSaturation"));
    });
    row(checkBox(box, "Coloring", mapKey("applyColoring")),
        {popUp(box, mapKey("graphicColoringMode"),
               {{dadoZiz("None"), 0}, {dadoZiz("Rainbow"), 1}, {dadoZiz("Level"), 2}}),
         rainbow, numberField(box, mapKey("rainbowSaturation"), 0, 1, 2)});

    row(checkBox(box, "Layout", mapKey("applyAutolayout")),
        {numberField(box, mapKey("firstLevelSpacing"), 0, 1000, 0),
         numberField(box, mapKey("interChildSpacing"), 0, 1000, 0)});

    auto *editFormat = new QPushButton(dadoZiz("Edit Format..."), box);
    connect(editFormat, &QPushButton::clicked, this, [this] { editOutlineNumberingFormat(); });
    row(checkBox(box, "Outline Numbering", mapKey("applyOutlineNumbering")),
        {checkBox(box, "Show", mapKey("showOutlineNumbers")), editFormat});
    layout->addWidget(box);
}
