#include "mapdrawing/TWCPrintController.h"

#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "mapdrawing/TWPrintSetup.h"
#include "model/TWMap.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "render/DrawingContext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int sliderSteps = 1000;
// The preview is at most this many pixels each way.
constexpr qreal previewPixels = 360;

} // namespace

TWCPrintController &TWCPrintController::sharedPrintController()
{
    static TWCPrintController *controller = new TWCPrintController;
    return *controller;
}

TWCPrintController::TWCPrintController() : m_view(Size(100, 100)) {}

TWCPrintController::~TWCPrintController()
{
    delete m_sheet.data();
}

Size TWCPrintController::pageSize() const
{
    const std::shared_ptr<TWMap> map = m_map.lock();
    const QPageLayout layout =
        TWPrintSetup::pageLayout(map ? map->printSetupDictionary() : OrderedDictionary());
    return TWPrintSetup::imageableBounds(layout).size;
}

// --- opening and closing ---

void TWCPrintController::printMap(const std::shared_ptr<TWMap> &map, QWidget *window)
{
    if (!map || isOpen())
        return;
    m_map = map;
    // Light labels on a dark background would come out white on white.
    if (TWMapImages::hasDarkBackground(*map))
        m_printBackground = true;
    update();
    setMapSize(m_maxMapSize); // as large as fits
    buildSheet(window);
    m_sheet->open();
}

void TWCPrintController::closeSheet()
{
    if (m_sheet) {
        m_sheet->hide();
        m_sheet->deleteLater();
        m_sheet = nullptr;
    }
}

void TWCPrintController::cancel()
{
    closeSheet();
}

void TWCPrintController::print()
{
    const std::shared_ptr<TWMap> map = m_map.lock();
    QWidget *window = m_sheet ? m_sheet->parentWidget() : nullptr;
    closeSheet();
    if (!map)
        return;
    const QPageLayout layout = TWPrintSetup::pageLayout(map->printSetupDictionary());
    if (!m_pdfOutputPath.isEmpty()) {
        QPdfWriter writer(m_pdfOutputPath);
        writer.setCreator(QStringLiteral("Thinkweb"));
        writer.setResolution(72);
        QString error;
        const bool ok = m_view.print(writer, layout, &error);
        printOperationFinished(ok, error);
        return;
    }
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(layout);
    auto *dialog = new QPrintDialog(printer.get(), window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
    connect(dialog, &QDialog::finished, this, [this, printer, layout](int result) {
        if (result != QDialog::Accepted) {
            emit printOperationDidRun(false);
            return;
        }
        QString error;
        const bool ok = m_view.print(*printer, layout, &error);
        printOperationFinished(ok, error);
    });
    dialog->open();
}

void TWCPrintController::printOperationFinished(bool success, const QString &error)
{
    if (!success)
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("The map could not be printed.")),
            error, {TWLocalizedString(StringTable::DadoZiz, QStringLiteral("OK"))});
    emit printOperationDidRun(success);
}

// --- the settings ---

void TWCPrintController::setPagesWide(int pages)
{
    m_pagesWide = std::clamp(pages, 1, 100);
    update();
}

void TWCPrintController::setPagesHigh(int pages)
{
    m_pagesHigh = std::clamp(pages, 1, 100);
    update();
}

void TWCPrintController::setPrintBackground(bool print)
{
    m_printBackground = print;
    update();
}

int TWCPrintController::alignment() const
{
    const int index = int(m_view.alignment());
    return index >= 0 && index <= 8 ? index : 0;
}

void TWCPrintController::setAlignment(int index)
{
    if (index >= 0 && index <= 8)
        m_view.setAlignment(TWCPrintImageView::Alignment(index));
    update();
}

void TWCPrintController::setMapSize(float factor)
{
    if (std::isfinite(factor) && factor > 0)
        m_mapSize = factor;
    m_view.setPictureSize(
        Size(m_originalMapSize.width * m_mapSize, m_originalMapSize.height * m_mapSize));
    updatePreview();
}

// --- updates ---

void TWCPrintController::update()
{
    updateMapImage();
    const Size page = pageSize();
    m_view.setPageSize(page);
    m_view.setFrameSize(Size(m_pagesWide * page.width, m_pagesHigh * page.height));
    const std::shared_ptr<TWMap> map = m_map.lock();
    const QPageLayout layout =
        TWPrintSetup::pageLayout(map ? map->printSetupDictionary() : OrderedDictionary());
    m_view.setPrintOrigin(TWPrintSetup::imageableBounds(layout).origin);
    updateSizeBindings();
    updatePreview();
}

void TWCPrintController::updateMapImage()
{
    const std::shared_ptr<TWMap> map = m_map.lock();
    m_view.setPicture(std::nullopt);
    m_view.setPictureDrawer(nullptr);
    m_originalMapSize = Size();
    if (map) {
        // Drawn without selection and with the background as asked; the
        // map's own settings are left alone.
        const std::optional<Image> picture =
            Image::initWithData(TWMapImages::pdfDataForMap(*map, m_printBackground));
        if (picture) {
            m_view.setPicture(picture);
            m_originalMapSize = picture->size();
            const Rect source = map->getBoundingDrawingRectForAllGraphics();
            const bool background = m_printBackground;
            std::weak_ptr<TWMap> weak = map;
            // Printing draws the map itself, sharp at any resolution.
            m_view.setPictureDrawer(
                [weak, source, background](const DrawingContext &context, const Rect &target) {
                    if (const std::shared_ptr<TWMap> m = weak.lock())
                        TWMapDrawing::drawMapInRect(context, *m, target, source,
                                                    TWMapExpansionState::defaultExpansionState(),
                                                    background);
                });
        }
    }
    m_view.setPictureSize(
        Size(m_originalMapSize.width * m_mapSize, m_originalMapSize.height * m_mapSize));
}

void TWCPrintController::updateSizeBindings()
{
    const Size frame = m_view.frameSize();
    const float w = m_originalMapSize.width, h = m_originalMapSize.height;
    float maximum = w > 0 && h > 0 ? std::min(frame.width / w, frame.height / h) : 1.0f;
    if (!std::isfinite(maximum) || maximum <= 0)
        maximum = 1.0f;
    m_maxMapSize = maximum;
    emit maxMapSizeChanged(m_maxMapSize);
}

void TWCPrintController::updatePreview()
{
    const Size frame = m_view.frameSize();
    const qreal longest = std::max(frame.width, frame.height);
    const qreal scale = longest > 0 ? std::min<qreal>(1, previewPixels / longest) : 1;
    m_preview = m_view.previewImage(scale);
    emit previewChanged(m_preview);
    reloadControls();
}

// --- the sheet ---

void TWCPrintController::buildSheet(QWidget *window)
{
    auto *sheet = new QDialog(window);
    sheet->setWindowTitle(tr("Print"));
    sheet->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(sheet);

    auto *preview = new QLabel;
    preview->setObjectName("preview");
    preview->setAlignment(Qt::AlignCenter);
    preview->setMinimumSize(int(previewPixels) / 2, int(previewPixels) / 2);
    layout->addWidget(preview);

    auto *form = new QFormLayout;
    auto *wide = new QSpinBox;
    wide->setObjectName("pagesWide");
    wide->setRange(1, 100);
    auto *high = new QSpinBox;
    high->setObjectName("pagesHigh");
    high->setRange(1, 100);
    form->addRow(tr("Pages wide:"), wide);
    form->addRow(tr("Pages high:"), high);
    auto *size = new QSlider(Qt::Horizontal);
    size->setObjectName("mapSize");
    size->setRange(0, sliderSteps);
    form->addRow(tr("Size:"), size);

    auto *grid = new QGridLayout;
    const QStringList arrows{"↖", "↑", "↗", "←", "•", "→", "↙", "↓", "↘"};
    auto *positions = new QButtonGroup(sheet);
    positions->setExclusive(true);
    for (int index = 0; index <= 8; ++index) {
        auto *button = new QToolButton;
        button->setObjectName(QStringLiteral("alignment%1").arg(index));
        button->setCheckable(true);
        button->setText(arrows[index]);
        button->setFixedSize(22, 22);
        positions->addButton(button, index);
        grid->addWidget(button, index / 3, index % 3);
    }
    auto *gridHolder = new QWidget;
    gridHolder->setLayout(grid);
    form->addRow(tr("Position:"), gridHolder);
    auto *background = new QCheckBox(tr("Print the background"));
    background->setObjectName("printBackground");
    form->addRow(background);
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("cancel");
    QPushButton *print = buttons->addButton(tr("Print"), QDialogButtonBox::AcceptRole);
    print->setObjectName("print");
    print->setDefault(true);
    layout->addWidget(buttons);

    m_sheet = sheet;
    reloadControls();

    connect(wide, &QSpinBox::valueChanged, this, [this](int v) {
        if (!m_reloading)
            setPagesWide(v);
    });
    connect(high, &QSpinBox::valueChanged, this, [this](int v) {
        if (!m_reloading)
            setPagesHigh(v);
    });
    connect(size, &QSlider::valueChanged, this, [this](int step) {
        if (!m_reloading)
            setMapSize(m_minMapSize + (m_maxMapSize - m_minMapSize) * step / float(sliderSteps));
    });
    connect(positions, &QButtonGroup::idClicked, this, [this](int id) { setAlignment(id); });
    connect(background, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_reloading)
            setPrintBackground(on);
    });
    connect(cancel, &QPushButton::clicked, this, &TWCPrintController::cancel);
    connect(print, &QPushButton::clicked, this, &TWCPrintController::print);
    // Escape and the close button end it as Cancel does: a sheet only hidden
    // would keep Print from opening another.
    connect(sheet, &QDialog::rejected, this, &TWCPrintController::cancel);
}

void TWCPrintController::reloadControls()
{
    if (!m_sheet)
        return;
    m_reloading = true;
    if (auto *wide = m_sheet->findChild<QSpinBox *>("pagesWide"))
        wide->setValue(m_pagesWide);
    if (auto *high = m_sheet->findChild<QSpinBox *>("pagesHigh"))
        high->setValue(m_pagesHigh);
    if (auto *size = m_sheet->findChild<QSlider *>("mapSize")) {
        const float span = m_maxMapSize - m_minMapSize;
        const float step = span > 0 ? (m_mapSize - m_minMapSize) / span * sliderSteps : sliderSteps;
        size->setValue(int(std::lround(std::clamp(step, 0.0f, float(sliderSteps)))));
    }
    if (auto *position =
            m_sheet->findChild<QToolButton *>(QStringLiteral("alignment%1").arg(alignment())))
        position->setChecked(true);
    if (auto *background = m_sheet->findChild<QCheckBox *>("printBackground"))
        background->setChecked(m_printBackground);
    if (auto *preview = m_sheet->findChild<QLabel *>("preview"))
        preview->setPixmap(QPixmap::fromImage(m_preview));
    m_reloading = false;
}
