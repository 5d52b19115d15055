#include "palettes/TWGraphicStyleEditor.h"

#include "graphics/TWGraphic.h"
#include "interface/ColorWell.h"
#include "interface/RoundedBox.h"
#include "interface/TWShadowPositionBox.h"
#include "model/TWMap.h"
#include "palettes/TWFontView.h"
#include "palettes/TWOutlineFormatSettingsPanelController.h"
#include "palettes/TWStyleViewDocument.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "render/TWLineStyles.h"
#include "support/AttributedString.h"
#include "support/BezierPath.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableView>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString general(const char *key)
{
    return TWLocalizedString(StringTable::General, QString::fromUtf8(key));
}

const QString OverrideKey = QStringLiteral("branch.childrenOutlineNumberFormatOverride");

const Color Gold = Color::colorWithDeviceRed(0.82, 0.63, 0.06);
const Color Green = Color::colorWithDeviceRed(0.34, 0.57, 0.11);

// The pictures the line and corner pop-ups show instead of titles; the
// titles stay as tool tips.
QIcon lineStyleIcon(int style)
{
    QPixmap pixmap(48, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    BezierPath line;
    line.moveToPoint(Point(2, 6));
    line.lineToPoint(Point(46, 6));
    line.setLineWidth(2);
    TWLineStyles::applyLineStyle(style, line, 2);
    line.stroke(painter, QColor(Qt::black));
    return QIcon(pixmap);
}

QIcon cornerStyleIcon(int mode)
{
    QPixmap pixmap(20, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawRoundedRect(QRectF(2, 2, 16, 12), mode ? 5 : 0, mode ? 5 : 0);
    return QIcon(pixmap);
}

void showPictures(QComboBox *box, const std::function<QIcon(int)> &picture)
{
    for (int i = 0; i < box->count(); ++i) {
        box->setItemData(i, box->itemText(i), Qt::ToolTipRole);
        box->setItemIcon(i, picture(box->itemData(i).toInt()));
        box->setItemText(i, QString());
    }
    box->setIconSize(QSize(48, 12));
}

QString graphicKey(const char *key)
{
    return TWStyle::GraphicGroup + QLatin1Char('.') + QString::fromLatin1(key);
}

} // namespace

TWGraphicStyleEditor &TWGraphicStyleEditor::sharedGraphicStyleEditor()
{
    static TWGraphicStyleEditor *editor = new TWGraphicStyleEditor;
    return *editor;
}

TWGraphicStyleEditor::TWGraphicStyleEditor(QObject *parent)
    : TWStyleListEditor(TWStyle::GraphicStyle, parent)
{}

OrderedDictionary TWGraphicStyleEditor::copiedProperties(const TWStyle &style) const
{
    const std::optional<OrderedDictionary> copy =
        OrderedDictionary::objectWithXMLElement(style.properties().freshXMLElement());
    return copy ? *copy : style.properties();
}

bool TWGraphicStyleEditor::isDefaultStyle(const TWStyle &style) const
{
    TWMap *map = TWStyleViewDocument::active().currentMap();
    return map && map->defaultGraphicStyleID() == style.identifier();
}

void TWGraphicStyleEditor::setAsDefault()
{
    const std::shared_ptr<TWStyle> style = selectedStyle();
    TWMap *map = TWStyleViewDocument::active().currentMap();
    if (!style || !map)
        return;
    map->setDefaultGraphicStyle(style);
    if (tableView())
        tableView()->viewport()->update();
}

void TWGraphicStyleEditor::updateExistingGraphics()
{
    if (Alerts::current().runAlertPanel(
            dadoZiz("Update existing graphics in the current map?"),
            dadoZiz("Graphics in the current map that have this style will be updated to the new "
                    "settings."),
            {general("Yes"), general("No")}) != 0)
        return;
    TWMap *map = TWStyleViewDocument::active().currentMap();
    if (!map)
        return;
    const auto graphics = map->graphics();
    for (const std::shared_ptr<TWStyle> &style : selectedStyles())
        for (const std::shared_ptr<TWGraphic> &graphic : graphics)
            if (graphic->styleID() == style->identifier())
                graphic->applyStyle(style.get());
}

void TWGraphicStyleEditor::restoreDefaultShadow()
{
    if (!settings()->style())
        return;
    settings()->setValueForKey(10.0f, graphicKey("shadowBlurRadius"));
    settings()->setValueForKey(0.0f, graphicKey("shadowOffsetWidth"));
    settings()->setValueForKey(-4.0f, graphicKey("shadowOffsetHeight"));
    settings()->setValueForKey(QVariant::fromValue(Color::colorWithDeviceWhite(0.0, 0.75)),
                               graphicKey("shadowColor"));
}

void TWGraphicStyleEditor::switchEnableBranchOutlineNumberOverride(bool on)
{
    if (!settings()->style())
        return;
    settings()->setValueForKey(on ? QVariant(QVariantList()) : QVariant(), OverrideKey);
}

void TWGraphicStyleEditor::editOutlineNumberingFormat()
{
    if (settings()->style())
        TWOutlineFormatSettingsPanelController::sharedPanelController().displayPanelForObject(
            settings(), OverrideKey);
}

void TWGraphicStyleEditor::addButtons(QWidget *window, QBoxLayout *row)
{
    addButton(window, row, "Update Existing Graphics", [this] { updateExistingGraphics(); });
}

void TWGraphicStyleEditor::buildSettings(QWidget *window, QBoxLayout *layout)
{
    auto *graphicBox = new RoundedBox(window);
    graphicBox->setTitle(dadoZiz("Graphic"));
    styleBox(graphicBox, Gold);
    auto *graphic = new QFormLayout(graphicBox);
    graphic->setContentsMargins(12, 24, 12, 10);

    const auto row = [&](QWidget *first, std::initializer_list<QWidget *> rest) {
        auto *line = new QHBoxLayout;
        for (QWidget *w : rest)
            line->addWidget(w);
        line->addStretch();
        graphic->addRow(first, line);
    };
    // The same names the line palettes give the styles.
    QList<std::pair<QString, int>> lineStyles;
    for (const auto &[title, value] : {std::pair{"Solid", 1},
                                       {"Dots", 2},
                                       {"Short dashes", 3},
                                       {"Dashes", 4},
                                       {"Long dashes", 5},
                                       {"Dash dot", 6},
                                       {"Dash dot dot", 7}})
        lineStyles.append({dadoZiz(title), value});
    const auto lineStylePopUp = [&](QWidget *parent, const QString &key) {
        QComboBox *box = popUp(parent, key, lineStyles);
        showPictures(box, lineStyleIcon);
        return box;
    };

    row(checkBox(graphicBox, "Fill", graphicKey("applyFill")),
        {checkBox(graphicBox, "Draw", graphicKey("drawsFill")),
         colorWell(graphicBox, graphicKey("fillColor"))});
    row(checkBox(graphicBox, "Line", graphicKey("applyStroke")),
        {lineStylePopUp(graphicBox, graphicKey("strokeStyle")),
         numberField(graphicBox, graphicKey("strokeWidth"), 0, 50),
         colorWell(graphicBox, graphicKey("strokeColor"))});

    m_shadowPositionBox = new TWShadowPositionBox(graphicBox);
    m_shadowPositionBox->setFixedSize(48, 48);
    TWShadowPositionBox *shadowBox = m_shadowPositionBox;
    follow(shadowBox, graphicKey("shadowOffsetWidth"), [this, shadowBox](const QVariant &) {
        shadowBox->setXOffset(settings()->valueForKey(graphicKey("shadowOffsetWidth")).toFloat());
        shadowBox->setYOffset(settings()->valueForKey(graphicKey("shadowOffsetHeight")).toFloat());
        shadowBox->setEnabled(settings()->valueForKey(graphicKey("applyShadow")).toBool());
    });
    connect(settings(), &KeyValueBindable::valueChanged, shadowBox,
            [this, shadowBox](const QString &k) {
                if (k == graphicKey("shadowOffsetHeight") || k == graphicKey("applyShadow")) {
                    shadowBox->setYOffset(
                        settings()->valueForKey(graphicKey("shadowOffsetHeight")).toFloat());
                    shadowBox->setEnabled(
                        settings()->valueForKey(graphicKey("applyShadow")).toBool());
                }
            });
    shadowBox->bind(QStringLiteral("xOffset"), [this](const QVariant &value) {
        settings()->setValueForKey(value.toFloat(), graphicKey("shadowOffsetWidth"));
    });
    shadowBox->bind(QStringLiteral("yOffset"), [this](const QVariant &value) {
        settings()->setValueForKey(value.toFloat(), graphicKey("shadowOffsetHeight"));
    });
    auto *restore = new QPushButton(dadoZiz("Restore Default"), graphicBox);
    connect(restore, &QPushButton::clicked, this, [this] { restoreDefaultShadow(); });
    row(checkBox(graphicBox, "Shadow", graphicKey("applyShadow")),
        {shadowBox, numberField(graphicBox, graphicKey("shadowBlurRadius"), 0, 100),
         colorWell(graphicBox, graphicKey("shadowColor")), restore});

    QComboBox *cornerPopUp = popUp(graphicBox, graphicKey("cornerMode"),
                                   {{dadoZiz("Square"), 0}, {dadoZiz("Rounded"), 1}});
    showPictures(cornerPopUp, cornerStyleIcon);
    cornerPopUp->setIconSize(QSize(20, 16));
    row(checkBox(graphicBox, "Corner", graphicKey("applyCorner")),
        {cornerPopUp, numberField(graphicBox, graphicKey("cornerAmount"), 0, 200)});

    m_fontView = new TWFontView(graphicBox);
    m_fontView->bind(settings(), graphicKey("stringAttributes"));
    auto *chooseFont = new QPushButton(dadoZiz("Font..."), graphicBox);
    connect(chooseFont, &QPushButton::clicked, m_fontView, &TWFontView::chooseFont);
    auto *fontColor = new ColorWell(graphicBox);
    const auto showFontColor = [fontColor](const Color &color) {
        const QSignalBlocker quiet(fontColor);
        fontColor->setColor(color);
    };
    connect(m_fontView, &TWFontView::fontColorChanged, fontColor, showFontColor);
    showFontColor(m_fontView->fontColor());
    connect(fontColor, &ColorWell::colorChosen, m_fontView, &TWFontView::setFontColor);
    row(checkBox(graphicBox, "Text", graphicKey("applyFont")), {m_fontView, chooseFont, fontColor});
    layout->addWidget(graphicBox);

    auto *branchBox = new RoundedBox(window);
    branchBox->setTitle(dadoZiz("Branch"));
    styleBox(branchBox, Green);
    auto *branch = new QHBoxLayout(branchBox);
    branch->setContentsMargins(12, 24, 12, 10);
    branch->addWidget(new QLabel(dadoZiz("Connection"), branchBox));
    branch->addWidget(popUp(branchBox, QStringLiteral("branch.connectionStyle"), lineStyles));
    m_outlineOverride = new QCheckBox(dadoZiz("Override outline numbering"), branchBox);
    QCheckBox *overrideSwitch = m_outlineOverride;
    auto *editFormat = new QPushButton(dadoZiz("Edit Format..."), branchBox);
    follow(overrideSwitch, OverrideKey, [overrideSwitch, editFormat](const QVariant &value) {
        overrideSwitch->setChecked(value.isValid());
        editFormat->setEnabled(value.isValid());
    });
    connect(overrideSwitch, &QCheckBox::toggled, this,
            [this](bool on) { switchEnableBranchOutlineNumberOverride(on); });
    connect(editFormat, &QPushButton::clicked, this, [this] { editOutlineNumberingFormat(); });
    branch->addWidget(overrideSwitch);
    branch->addWidget(editFormat);
    branch->addStretch();
    layout->addWidget(branchBox);
}
