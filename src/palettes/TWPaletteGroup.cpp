#include "palettes/TWPaletteGroup.h"

#include "interface/ColorWell.h"
#include "interface/TWImageView.h"
#include "interface/TWRainbowAngleControl.h"
#include "interface/TWShadowPositionBox.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "palettes/MapsSelection.h"
#include "palettes/TWBranchSuggestionPaletteController.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWHyperlinkTableView.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWOutlineFormatSettingsPanelController.h"
#include "palettes/TWPaletteMapping.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace TWPaletteIDs;

namespace {

constexpr int PaletteWidth = 286;
constexpr int EmptyPaletteHeight = 40;

QString dadoZiz(const char *key)
{
    return TWLocalizedString("DadoZiz", QString::fromLatin1(key));
}

QPushButton *button(QWidget *parent, const char *title, std::function<void()> action)
{
    auto *b = new QPushButton(dadoZiz(title), parent);
    QObject::connect(b, &QPushButton::clicked, b, [action = std::move(action)] { action(); });
    return b;
}

QComboBox *popUp(const QList<std::pair<const char *, int>> &items)
{
    auto *box = new QComboBox;
    for (const auto &[title, value] : items)
        box->addItem(dadoZiz(title), value);
    return box;
}

QDoubleSpinBox *spin(double minimum, double maximum, double step = 1)
{
    auto *box = new QDoubleSpinBox;
    box->setRange(minimum, maximum);
    box->setSingleStep(step);
    box->setDecimals(1);
    return box;
}

const QList<std::pair<const char *, int>> &lineStyles()
{
    static const QList<std::pair<const char *, int>> items{
        {"Solid", 1},       {"Dots", 2},     {"Short dashes", 3}, {"Dashes", 4},
        {"Long dashes", 5}, {"Dash dot", 6}, {"Dash dot dot", 7}};
    return items;
}

const QList<std::pair<const char *, int>> &terminators()
{
    static const QList<std::pair<const char *, int>> items{
        {"None", 0}, {"Arrow", 1}, {"Open arrow", 2}, {"Circle", 3}, {"Square", 4}};
    return items;
}

} // namespace

// --- TWCurrentMapSettings ---

TWCurrentMapSettings::TWCurrentMapSettings(QObject *parent) : KeyValueBindable(parent) {}

const QStringList &TWCurrentMapSettings::keys()
{
    static const QStringList keys =
        MapsSelection::viewOptionKeys() +
        QStringList{"showPriorities", "rainbowAngle", "rainbowSaturation", "outlineFormatSettings"};
    return keys;
}

void TWCurrentMapSettings::setDocument(TWPaletteHost *document)
{
    disconnect(m_selectedMapsConnection);
    for (const QMetaObject::Connection &connection : std::as_const(m_undoConnections))
        disconnect(connection);
    m_undoConnections.clear();
    m_document = document;
    m_observers.clear();
    m_observedMaps.clear();
    if (!document || !document->mapsDocument())
        return;
    // A step undone or redone may put back any setting of the picked maps,
    // which the maps do not announce.
    if (UndoManager *undo = document->undoManager())
        m_undoConnections << connect(undo, &UndoManager::didUndo, this,
                                     &TWCurrentMapSettings::announceAllKeys)
                          << connect(undo, &UndoManager::didRedo, this,
                                     &TWCurrentMapSettings::announceAllKeys);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(TWMapsDoc::UpdateMapTabsNotification,
                                         document->mapsDocument(),
                                         [this](const Notification &) { observeMap(); }));
    m_selectedMapsConnection = document->connectSelectedMapsChanged(this, [this] { observeMap(); });
    observeMap();
}

std::vector<std::shared_ptr<TWMap>> TWCurrentMapSettings::maps() const
{
    std::vector<std::shared_ptr<TWMap>> picked;
    if (m_document && m_document->mapsDocument())
        for (const std::shared_ptr<TWMap> &map : m_document->selectedMaps())
            picked.push_back(map);
    return picked;
}

TWMap *TWCurrentMapSettings::map() const
{
    const auto picked = maps();
    return picked.empty() ? nullptr : picked.front().get();
}

void TWCurrentMapSettings::observeMap()
{
    const auto picked = maps();
    std::vector<const void *> now;
    for (const auto &map : picked)
        now.push_back(map.get());
    if (now == m_observedMaps)
        return;
    m_observedMaps = now;
    if (m_observers.size() > 1)
        m_observers.resize(1);
    for (const auto &map : picked)
        m_observers.push_back(NotificationCenter::defaultCenter().observe(
            TWMap::ValueChangeNotification, map.get(), [this](const Notification &n) {
                emit valueChanged(n.userInfo.value(TWMap::KeyKey).toString());
            }));
    announceAllKeys();
}

void TWCurrentMapSettings::announceAllKeys()
{
    for (const QString &key : keys())
        emit valueChanged(key);
}

QVariant TWCurrentMapSettings::valueForKey(const QString &key) const
{
    const auto picked = maps();
    if (picked.empty())
        return {};
    // The settings without a mixed state in their controls show the first map's.
    TWMap *first = picked.front().get();
    if (key == u"rainbowAngle")
        return first->rainbowAngle();
    if (key == u"rainbowSaturation")
        return first->rainbowSaturation();
    if (key == u"outlineFormatSettings")
        return first->outlineFormatSettings();
    MapsSelection selection;
    selection.setMaps(picked);
    if (key == u"showPriorities") {
        const QVariant value = first->showPriorities();
        for (const auto &map : picked)
            if (map->showPriorities() != value.toBool())
                return MapsSelection::mixedMarker();
        return value;
    }
    return selection.valueForKey(key);
}

void TWCurrentMapSettings::setValueForKey(const QVariant &value, const QString &key)
{
    const auto picked = maps();
    if (picked.empty())
        return;
    for (const auto &map : picked) {
        if (key == u"rainbowAngle")
            map->setRainbowAngle(value.toFloat());
        else if (key == u"rainbowSaturation")
            map->setRainbowSaturation(value.toFloat());
        else if (key == u"outlineFormatSettings")
            map->setOutlineFormatSettings(value.toStringList());
    }
    if (key != u"rainbowAngle" && key != u"rainbowSaturation" &&
        key != u"outlineFormatSettings") {
        MapsSelection selection;
        selection.setMaps(picked);
        selection.setValueForKey(value, key);
    }
    emit valueChanged(key);
}

// --- TWPaletteGroup ---

TWPaletteGroup::TWPaletteGroup(QObject *parent) : QObject(parent) {}

TWPaletteGroup::~TWPaletteGroup()
{
    for (const QPointer<QWidget> &palette : std::as_const(m_palettes))
        delete palette.data();
}

QWidget *TWPaletteGroup::makePalette(const QString &paletteID, const QString &objectName)
{
    auto *palette = new QWidget;
    palette->setObjectName(objectName);
    palette->setFixedWidth(PaletteWidth);
    m_palettes.insert(paletteID, palette);
    return palette;
}

void TWPaletteGroup::fitPalettes()
{
    for (const QPointer<QWidget> &palette : std::as_const(m_palettes)) {
        // A view that others fill later starts as a short empty strip.
        if (palette->layout())
            palette->adjustSize();
        else
            palette->resize(PaletteWidth, EmptyPaletteHeight);
    }
}

TWPaletteEntry TWPaletteGroup::entry(const QString &id, const char *titleKey,
                                     const Color &colour) const
{
    return {m_palettes.value(id), dadoZiz(titleKey), colour, colour};
}

TWPaletteHost *TWPaletteGroup::document() const
{
    return m_document;
}

void TWPaletteGroup::setDocument(TWPaletteHost *document)
{
    for (const QPointer<KeyValueBinder> &binder : std::as_const(m_binders))
        delete binder.data();
    m_binders.clear();
    m_document = document;
    if (!document)
        return;
    for (const Binding &binding : m_bindings)
        if (KeyValueBinder *binder = binding(document))
            m_binders.append(binder);
}

// --- TWMapPalettes ---

TWMapPalettes::TWMapPalettes(QObject *parent)
    : TWPaletteGroup(parent), m_mapSettings(new TWCurrentMapSettings(this))
{
    using namespace KeyValueBinders;
    TWCurrentMapSettings *settings = m_mapSettings;

    QWidget *background = makePalette(MapBackground, QStringLiteral("mapBackgroundPalette"));
    auto *backgroundRow = new QHBoxLayout(background);
    backgroundRow->addWidget(button(background, "Choose...", [this] { setBackgroundImage(); }));
    backgroundRow->addWidget(button(background, "Clear", [this] { clearBackgroundImage(); }));
    backgroundRow->addWidget(
        button(background, "Original Size", [this] { makeImageOriginalSize(); }));

    QWidget *layout = makePalette(MapLayout, QStringLiteral("mapLayoutPaletteDeluxe"));
    auto *layoutRow = new QHBoxLayout(layout);
    layoutRow->addWidget(button(layout, "Auto Layout", [this] { autoLayoutMap(); }));
    layoutRow->addStretch(1);

    QWidget *coloring = makePalette(MapColoring, QStringLiteral("mapColoringPalette"));
    auto *coloringRow = new QHBoxLayout(coloring);
    m_rainbowControl = new TWRainbowAngleControl(coloring);
    m_rainbowControl->setFixedSize(m_rainbowControl->sizeHint());
    coloringRow->addWidget(m_rainbowControl);
    auto *saturation = new QSlider(Qt::Horizontal);
    saturation->setRange(0, 100);
    coloringRow->addWidget(new QLabel(dadoZiz("Saturation")));
    coloringRow->addWidget(saturation, 1);
    addBinding([settings, saturation](TWPaletteHost *) {
        return bindSlider(
            saturation, settings, QStringLiteral("rainbowSaturation"),
            [](const QVariant &v) { return QVariant(int(std::lround(v.toDouble() * 100))); },
            [](const QVariant &v) { return QVariant(v.toDouble() / 100); });
    });

    QWidget *zoom = makePalette(MapScaleAndZoom, QStringLiteral("mapScaleAndZoomPalette"));
    auto *zoomRow = new QHBoxLayout(zoom);
    zoomRow->addWidget(button(zoom, "Scale to Fit Page", [this] { scaleToFitPage(); }));
    zoomRow->addStretch(1);

    const auto checkBoxes = [&](QWidget *palette,
                                const QList<std::pair<const char *, QString>> &rows) {
        auto *column = new QVBoxLayout(palette);
        column->setSpacing(2);
        for (const auto &[title, key] : rows) {
            auto *box = new QCheckBox(dadoZiz(title));
            column->addWidget(box);
            addBinding([settings, box, key = key](TWPaletteHost *) {
                return bindCheckBox(box, settings, key);
            });
        }
        return column;
    };
    checkBoxes(makePalette(MapViewOptions, QStringLiteral("mapViewOptionsPalette")),
               {{"Attached Graphics", "showAttachedGraphics"},
                {"Boundaries", "showBoundaries"},
                {"Collapse Signs", "showCollapseSign"},
                {"Link Lines", "showLinkLines"}});
    QWidget *numbering =
        makePalette(MapOutlineNumbering, QStringLiteral("mapOutlineNumberingPalette"));
    checkBoxes(numbering, {{"Show Outline Numbers", "showOutlineNumbers"}})
        ->addWidget(button(numbering, "Format...", [this] { editOutlineNumberingFormat(); }));
    checkBoxes(makePalette(MapTasks, QStringLiteral("mapTasksPalette")),
               {{"Check Boxes", "showCheckboxes"},
                {"Percent Complete", "showPercentComplete"},
                {"Priorities", "showPriorities"}});

    // The style list comes with the style palettes; the view is theirs to fill.
    makePalette(MapStyle, QStringLiteral("mapStylePalette"));

    QWidget *navigator = makePalette(MapNavigator, QStringLiteral("mapNavigatorPalette"));
    auto *navigatorBox = new QVBoxLayout(navigator);
    navigatorBox->setContentsMargins(0, 0, 0, 0);
    m_navigatorView = new TWNavigatorView(navigator);
    m_navigatorView->setFixedHeight(180);
    navigatorBox->addWidget(m_navigatorView);

    fitPalettes();
}

TWMapPalettes::~TWMapPalettes() = default;

void TWMapPalettes::setDocument(TWPaletteHost *document)
{
    if (!m_rainbowControl || !m_navigatorView) {
        m_mapSettings->setDocument(document);
        TWPaletteGroup::setDocument(document);
        return;
    }
    m_rainbowControl->unbind(TWRainbowAngleControl::AngleBinding);
    m_rainbowControl->unbind(TWRainbowAngleControl::AlphaBinding);
    m_mapSettings->setDocument(document);
    TWPaletteGroup::setDocument(document);
    if (document) {
        TWCurrentMapSettings *settings = m_mapSettings;
        m_rainbowControl->setAngle(settings->valueForKey(QStringLiteral("rainbowAngle")));
        m_rainbowControl->setAlpha(settings->valueForKey(QStringLiteral("rainbowSaturation")));
        m_rainbowControl->bind(TWRainbowAngleControl::AngleBinding, [settings](const QVariant &v) {
            if (settings->valueForKey(QStringLiteral("rainbowAngle")) != v)
                settings->setValueForKey(v, QStringLiteral("rainbowAngle"));
        });
        m_rainbowControl->bind(TWRainbowAngleControl::AlphaBinding, [settings](const QVariant &v) {
            if (settings->valueForKey(QStringLiteral("rainbowSaturation")) != v)
                settings->setValueForKey(v, QStringLiteral("rainbowSaturation"));
        });
    }
    m_navigatorView->setDocument(document);
}

TWPaletteTable TWMapPalettes::paletteDictionary() const
{
    const Color black = Color::colorWithDeviceRed(0, 0, 0, 1.0);
    const Color blue = Color::colorWithDeviceRed(0.2, 0.4, 0.6, 1.0);
    TWPaletteTable table;
    table.insert(MapBackground, entry(MapBackground, "Background", black));
    table.insert(MapLayout, entry(MapLayout, "Layout", black));
    table.insert(MapColoring, entry(MapColoring, "Coloring", black));
    table.insert(MapScaleAndZoom, entry(MapScaleAndZoom, "Zoom", blue));
    table.insert(MapViewOptions, entry(MapViewOptions, "View Options", black));
    table.insert(MapOutlineNumbering, entry(MapOutlineNumbering, "Outline Numbering", black));
    table.insert(MapStyle, entry(MapStyle, "Map Style", black));
    table.insert(MapTasks, entry(MapTasks, "Tasks", black));
    table.insert(MapNavigator, entry(MapNavigator, "Navigator", blue));
    return table;
}

void TWMapPalettes::autoLayoutMap()
{
    for (const auto &map : m_mapSettings->maps())
        TWMapLayout::autoArrange(*map);
}

void TWMapPalettes::setBackgroundImage()
{
    if (!m_mapSettings->map())
        return;
    Alerts::OpenPanelOptions options;
    options.fileTypes = TWImageView::imageFileTypes();
    const QStringList chosen = Alerts::current().runOpenPanel(options);
    if (!chosen.isEmpty())
        setBackgroundImageFromFile(chosen.first());
}

bool TWMapPalettes::setBackgroundImageFromFile(const QString &path)
{
    const auto maps = m_mapSettings->maps();
    if (maps.empty())
        return false;
    QFile file(path);
    std::optional<Image> image;
    if (file.open(QIODevice::ReadOnly))
        image = Image::initWithData(file.readAll());
    if (!image || image->size().width <= 0 || image->size().height <= 0) {
        // The map keeps the picture it has.
        Alerts::current().runAlertPanel(
            dadoZiz("The picture could not be read"),
            dadoZiz("The file \"%1\" is not a picture this program can read.")
                .replace(QStringLiteral("%1"), QFileInfo(path).fileName()),
            {TWLocalizedString("General", QStringLiteral("OK"))});
        return false;
    }
    const auto shared = std::make_shared<Image>(*image);
    for (const auto &map : maps)
        map->setBackgroundImage(shared);
    return true;
}

void TWMapPalettes::clearBackgroundImage()
{
    for (const auto &map : m_mapSettings->maps())
        map->setBackgroundImage(nullptr);
}

void TWMapPalettes::makeImageOriginalSize()
{
    for (const auto &map : m_mapSettings->maps()) {
        const std::shared_ptr<Image> image = map->backgroundImage();
        if (!image || image->size().width == 0 || image->size().height == 0)
            continue;
        map->setBackgroundImageWidth(image->size().width);
        map->setBackgroundImageHeight(image->size().height);
    }
}

void TWMapPalettes::editOutlineNumberingFormat()
{
    if (m_mapSettings->map())
        TWOutlineFormatSettingsPanelController::sharedPanelController().displayPanelForObject(
            m_mapSettings, QStringLiteral("outlineFormatSettings"));
}

void TWMapPalettes::scaleToFitPage()
{
    if (document())
        document()->scaleToFitMapOnSinglePage();
}

// --- TWBranchPalettes ---

TWBranchPalettes::TWBranchPalettes(QObject *parent) : TWPaletteGroup(parent)
{
    using namespace KeyValueBinders;
    const auto controller = [](TWPaletteHost *document) {
        return document->graphicBindingController();
    };

    QWidget *main = makePalette(BranchMain, QStringLiteral("branchMainPalette"));
    auto *form = new QFormLayout(main);
    QComboBox *shape = popUp(
        {{"Line", 1}, {"Rectangle", 2}, {"Oval", 3}, {"Picture", 4}, {"Flexi", 5}, {"Cloud", 6}});
    form->addRow(dadoZiz("Shape"), shape);
    addBinding([=](TWPaletteHost *d) { return bindPopUp(shape, controller(d), "branchType"); });
    QComboBox *connection = popUp(lineStyles());
    form->addRow(dadoZiz("Connection Line"), connection);
    addBinding(
        [=](TWPaletteHost *d) { return bindPopUp(connection, controller(d), "connectionStyle"); });
    addBinding([=](TWPaletteHost *d) {
        return bindEnabled(connection, controller(d), "connectionStyleEnabled");
    });
    const QList<std::pair<const char *, const char *>> boxes{
        {"Boundary", "hasBoundary"},
        {"Check Box", "showCheckBox"},
        {"Hide Children's Numbers", "hideChildrenOutlineNumbers"},
        {"Restart Children's Numbers", "resetChildrenOutlineNumbers"},
        {"Own Numbering for Children", "childrenOutlineNumberFormatOverrideEnabled"}};
    for (const auto &[title, key] : boxes) {
        auto *box = new QCheckBox(dadoZiz(title));
        form->addRow(box);
        addBinding([=, key = QString::fromLatin1(key)](TWPaletteHost *d) {
            return bindCheckBox(box, controller(d), key);
        });
    }
    QPushButton *format =
        button(main, "Numbering Format...", [this] { editOutlineNumberingFormat(); });
    form->addRow(format);
    addBinding([=](TWPaletteHost *d) {
        return bindEnabled(format, controller(d), "childrenOutlineNumberFormatOverrideEnabled",
                           [](const QVariant &v) { return QVariant(v.toInt() == 1); });
    });

    // Suggestions and hyperlinks fill their own views.
    auto *suggestions = new TWBranchSuggestionPaletteController(
        makePalette(BranchSuggestions, QStringLiteral("branchSuggestionsPalette")),
        [this]() -> TWMapsDoc * { return document() ? document()->mapsDocument() : nullptr; },
        this);
    suggestions->awakeFromNib();
    auto *hyperlinks = new TWHyperlinkPalette;
    auto *hyperlinkLayout =
        new QVBoxLayout(makePalette(BranchHyperlink, QStringLiteral("branchHyperlinkPalette")));
    hyperlinkLayout->addWidget(hyperlinks);
    addBinding([hyperlinks](TWPaletteHost *d) -> KeyValueBinder * {
        hyperlinks->setDocument(d);
        return nullptr;
    });

    fitPalettes();
}

TWPaletteTable TWBranchPalettes::paletteDictionary() const
{
    const Color green = Color::colorWithDeviceRed(0.34, 0.57, 0.11, 1.0);
    TWPaletteTable table;
    table.insert(BranchMain, entry(BranchMain, "Branch", green));
    table.insert(BranchSuggestions, entry(BranchSuggestions, "Ideaspinner", green));
    table.insert(BranchHyperlink, entry(BranchHyperlink, "Hyperlinks", green));
    return table;
}

void TWBranchPalettes::editOutlineNumberingFormat()
{
    if (document())
        TWOutlineFormatSettingsPanelController::sharedPanelController().displayPanelForObject(
            document()->graphicBindingController(),
            QStringLiteral("childrenOutlineNumberFormatOverride"));
}

// --- TWGeneralPalettes ---

TWGeneralPalettes::TWGeneralPalettes(QObject *parent) : TWPaletteGroup(parent)
{
    using namespace KeyValueBinders;
    const auto controller = [](TWPaletteHost *document) {
        return document->graphicBindingController();
    };
    const auto check = [&](QFormLayout *form, const char *title, const char *key) {
        auto *box = new QCheckBox(dadoZiz(title));
        form->addRow(box);
        addBinding([=, key = QString::fromLatin1(key)](TWPaletteHost *d) {
            return bindCheckBox(box, controller(d), key);
        });
    };
    const auto well = [&](QFormLayout *form, const char *title, const char *key) {
        auto *colour = new ColorWell;
        colour->setFixedSize(44, 22);
        form->addRow(dadoZiz(title), colour);
        addBinding([=, key = QString::fromLatin1(key)](TWPaletteHost *d) {
            return bindColorWell(colour, controller(d), key);
        });
    };
    const auto number = [&](QFormLayout *form, const char *title, const char *key, double max) {
        QDoubleSpinBox *box = spin(0, max, 0.5);
        form->addRow(dadoZiz(title), box);
        addBinding([=, key = QString::fromLatin1(key)](TWPaletteHost *d) {
            return bindSpinBox(box, controller(d), key);
        });
    };
    const auto choice = [&](QFormLayout *form, const char *title, const char *key,
                            const QList<std::pair<const char *, int>> &items) {
        QComboBox *box = popUp(items);
        form->addRow(dadoZiz(title), box);
        addBinding([=, key = QString::fromLatin1(key)](TWPaletteHost *d) {
            return bindPopUp(box, controller(d), key);
        });
    };

    auto *fill = new QFormLayout(makePalette(GeneralFill, QStringLiteral("generalFillPalette")));
    check(fill, "Inherit Fill", "inheritsFill");
    check(fill, "Fill", "drawsFill");
    well(fill, "Color", "fillColor");

    auto *line = new QFormLayout(makePalette(GeneralLine, QStringLiteral("generalLinePalette")));
    check(line, "Inherit Line", "inheritsStroke");
    check(line, "Line", "drawsStroke");
    well(line, "Color", "strokeColor");
    number(line, "Width", "strokeWidth", 50);
    choice(line, "Style", "strokeStyle", lineStyles());

    QWidget *shadowPalette = makePalette(GeneralShadow, QStringLiteral("generalShadowPalette"));
    auto *shadowRow = new QHBoxLayout(shadowPalette);
    auto *shadow = new QFormLayout;
    check(shadow, "Inherit Shadow", "inheritsShadow");
    check(shadow, "Shadow", "drawsShadow");
    well(shadow, "Color", "shadowColor");
    number(shadow, "Blur", "shadowBlurRadius", 50);
    shadow->addRow(button(shadowPalette, "Default", [this] { restoreDefaultShadow(); }));
    shadowRow->addLayout(shadow, 1);
    m_shadowPositionBox = new TWShadowPositionBox(shadowPalette);
    m_shadowPositionBox->setFixedSize(60, 60);
    shadowRow->addWidget(m_shadowPositionBox, 0, Qt::AlignTop);

    auto *corner =
        new QFormLayout(makePalette(GeneralCorner, QStringLiteral("generalCornerPalette")));
    choice(corner, "Corners", "cornerMode", {{"Square", 0}, {"Rounded", 1}, {"Angled", 2}});
    number(corner, "Amount", "cornerAmount", 100);

    auto *terminator =
        new QFormLayout(makePalette(GeneralTerminator, QStringLiteral("generalTerminatorPalette")));
    choice(terminator, "Start", "terminatorAtStart", terminators());
    number(terminator, "Start Size", "terminatorStartWidth", 50);
    choice(terminator, "End", "terminatorAtEnd", terminators());
    number(terminator, "End Size", "terminatorEndWidth", 50);

    QWidget *ordering = makePalette(GeneralOrdering, QStringLiteral("generalOrderingPalette"));
    auto *orderingRow = new QHBoxLayout(ordering);
    orderingRow->addWidget(button(ordering, "To Front", [this] { graphicBringToFront(); }));
    orderingRow->addWidget(button(ordering, "Forward", [this] { graphicBringForward(); }));
    orderingRow->addWidget(button(ordering, "Back", [this] { graphicSendBack(); }));
    orderingRow->addWidget(button(ordering, "To Back", [this] { graphicSendToBack(); }));

    // The style list comes with the style palettes; the view is theirs to fill.
    makePalette(GeneralStyle, QStringLiteral("generalStylePalette"));

    QWidget *textPalette = makePalette(GeneralText, QStringLiteral("generalTextPalette"));
    auto *text = new QFormLayout(textPalette);
    well(text, "Text Color", "fontColor");
    number(text, "Maximum Width", "textMaxWidth", 2000);
    text->addRow(button(textPalette, "Font...", [this] { textSetFont(); }));

    fitPalettes();
}

void TWGeneralPalettes::setDocument(TWPaletteHost *document)
{
    if (!m_shadowPositionBox) {
        TWPaletteGroup::setDocument(document);
        return;
    }
    m_shadowPositionBox->unbind(QStringLiteral("xOffset"));
    m_shadowPositionBox->unbind(QStringLiteral("yOffset"));
    disconnect(m_shadowConnection);
    TWPaletteGroup::setDocument(document);
    if (!document)
        return;
    TWGraphicBindingController *controller = document->graphicBindingController();
    const auto show = [box = m_shadowPositionBox.data(), controller] {
        box->setValueForKey(QStringLiteral("xOffset"), controller->shadowOffsetWidth());
        box->setValueForKey(QStringLiteral("yOffset"), controller->shadowOffsetHeight());
        box->setEnabled(controller->drawsShadow() != 0);
    };
    show();
    m_shadowPositionBox->bind(QStringLiteral("xOffset"), [controller](const QVariant &v) {
        controller->setShadowOffsetWidth(v.toFloat());
    });
    m_shadowPositionBox->bind(QStringLiteral("yOffset"), [controller](const QVariant &v) {
        controller->setShadowOffsetHeight(v.toFloat());
    });
    m_shadowConnection = connect(controller, &KeyValueBindable::valueChanged, m_shadowPositionBox,
                                 [show](const QString &key) {
                                     if (key.startsWith(u"shadow") || key == u"drawsShadow")
                                         show();
                                 });
}

TWPaletteTable TWGeneralPalettes::paletteDictionary() const
{
    const Color gold = Color::colorWithDeviceRed(0.82, 0.63, 0.06, 1.0);
    TWPaletteTable table;
    table.insert(GeneralFill, entry(GeneralFill, "Fill", gold));
    table.insert(GeneralLine, entry(GeneralLine, "Line", gold));
    table.insert(GeneralShadow, entry(GeneralShadow, "Shadow", gold));
    table.insert(GeneralCorner, entry(GeneralCorner, "Corner", gold));
    table.insert(GeneralTerminator, entry(GeneralTerminator, "Terminator", gold));
    table.insert(GeneralOrdering, entry(GeneralOrdering, "Ordering", gold));
    table.insert(GeneralStyle, entry(GeneralStyle, "Graphic Style", gold));
    table.insert(GeneralText, entry(GeneralText, "Text", gold));
    return table;
}

namespace {
TWMap *currentMapOf(TWPaletteHost *document)
{
    if (!document || !document->mapsDocument())
        return nullptr;
    return document->mapsDocument()->currentMap().get();
}
} // namespace

void TWGeneralPalettes::graphicBringForward()
{
    if (TWMap *map = currentMapOf(document()))
        map->publicMoveSelectedGraphicsForward();
}

void TWGeneralPalettes::graphicBringToFront()
{
    if (TWMap *map = currentMapOf(document()))
        map->publicMoveSelectedGraphicsToFront();
}

void TWGeneralPalettes::graphicSendToBack()
{
    if (TWMap *map = currentMapOf(document()))
        map->publicMoveSelectedGraphicsToBack();
}

void TWGeneralPalettes::graphicSendBack()
{
    if (TWMap *map = currentMapOf(document()))
        map->publicMoveSelectedGraphicsBack();
}

void TWGeneralPalettes::restoreDefaultShadow()
{
    if (document())
        document()->graphicBindingController()->restoreDefaultShadow();
}

void TWGeneralPalettes::textSetFont()
{
    // The same panel as the toolbar's: it opens on the selection's font.
    if (TWPaletteHost *doc = document())
        doc->orderFrontFontPanel();
}
