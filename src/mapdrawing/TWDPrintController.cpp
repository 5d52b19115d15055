#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWMapImages.h"

#include "mapdrawing/TWDPrintSetupPanel.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintDocument.h"
#include "mapdrawing/TWPrintPageBorder.h"
#include "mapdrawing/TWPrintSetup.h"
#include "mapdrawing/TWPrintView.h"
#include "model/TWMap.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/Image.h"

#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <cmath>

using namespace TWPrintSetup;

TWDPrintController &TWDPrintController::shared()
{
    // Kept for the rest of the run, as the sheet's controller always was.
    static TWDPrintController *controller = new TWDPrintController;
    return *controller;
}

void TWDPrintController::printDocument(TWPrintDocument *document)
{
    shared().open(document);
}

TWDPrintController::TWDPrintController() = default;

TWDPrintController::~TWDPrintController()
{
    delete m_sheet.data();
}

TWDPrintSetupPanel *TWDPrintController::sheet() const
{
    return m_sheet;
}

// --- opening and closing ---

void TWDPrintController::open(TWPrintDocument *document)
{
    TWMap *map = document ? document->currentMap() : nullptr;
    if (!map || isOpen())
        return;
    m_document = document;
    // A copy: Cancel must leave the map as it was.
    OrderedDictionary setup = map->printSetupDictionary();
    // Light labels on a dark background would come out white on white: the
    // sheet starts with the background on until the map's setup says.
    if (!setup.contains(PrintBackground) && TWMapImages::hasDarkBackground(*map))
        setup.setValue(PrintBackground, true);
    setDictionary(setup);
    pageCountsChanged();
    m_sheet = new TWDPrintSetupPanel(this, document->mainWindow());
    // Escape and the sheet's close button end it as Cancel does, and so does
    // its window closing under it: else the run would keep a sheet open that
    // no one sees, and Print would do nothing from then on.
    connect(m_sheet, &QDialog::rejected, this, &TWDPrintController::cancel);
    // (closeSheet() cuts this before it lets the sheet go.)
    connect(m_sheet, &QObject::destroyed, this, [this](QObject *gone) {
        // Half destroyed: it hears no more of the settings.
        disconnect(this, nullptr, gone, nullptr);
        m_sheet = nullptr;
        cleanUp();
    });
    m_sheet->open();
}

void TWDPrintController::closeSheet()
{
    if (m_sheet) {
        m_sheet->disconnect(this);
        m_sheet->hide();
        m_sheet->deleteLater();
        m_sheet = nullptr;
    }
}

void TWDPrintController::cleanUp()
{
    m_document = nullptr;
    setDictionary(OrderedDictionary());
}

void TWDPrintController::cancel()
{
    closeSheet();
    cleanUp();
}

void TWDPrintController::print()
{
    TWPrintDocument *document = m_document;
    TWMap *map = document ? document->currentMap() : nullptr;
    if (!map) {
        cancel();
        return;
    }
    if (m_sheet)
        m_sheet->commitEditing();
    const bool printBackground = boolValue(m_setup, PrintBackground);
    UndoManager *undo = map->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    map->setPrintSetupDictionary(m_setup);
    if (boolValue(m_setup, ScaleToFitSinglePage)) {
        TWPrintCanvasController own(document);
        TWPrintCanvasController *controller =
            document->printCanvasController() ? document->printCanvasController() : &own;
        controller->calculatePrintablePageSize();
        controller->scaleToFitMapOnSinglePage(map);
    }
    if (undo) {
        undo->setActionName(TWLocalizedString(StringTable::DadoZiz,
                                              QStringLiteral("Update print setup information")));
        undo->endUndoGrouping();
    }
    closeSheet();
    cleanUp();
    runPrintOperation(document, printBackground);
}

// --- the print operation ---

void TWDPrintController::runPrintOperation(TWPrintDocument *document, bool printBackground)
{
    struct Operation
    {
        std::unique_ptr<TWPrintCanvasController> ownController;
        std::unique_ptr<TWPrintView> ownView;
        TWPrintView *view = nullptr;
        QPrinter printer{QPrinter::HighResolution};
    };
    auto op = std::make_shared<Operation>();
    TWPrintCanvasController *controller = document->printCanvasController();
    op->view = document->printView();
    if (!controller || !op->view || op->view->printCanvasController() != controller) {
        op->ownController = std::make_unique<TWPrintCanvasController>(document);
        op->ownView = std::make_unique<TWPrintView>(op->ownController.get());
        op->ownView->setFollowsUpdateNotifications(false);
        controller = op->ownController.get();
        op->view = op->ownView.get();
    }
    controller->calculatePrintablePageSize();
    op->view->updatePrintCanvas();
    const TWPrintView::PrintOptions options{.printBackground = printBackground, .date = {}};

    if (!m_pdfOutputPath.isEmpty()) {
        QString error;
        const bool ok = op->view->printToPDF(m_pdfOutputPath, options, &error);
        printOperationFinished(ok, error);
        return;
    }
    op->printer.setPageLayout(document->printInfo());
    op->printer.setFromTo(0, 0);
    auto *dialog = new QPrintDialog(&op->printer, document->mainWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinMax(1, std::max(1, op->view->numberOfPages()));
    connect(dialog, &QDialog::finished, this, [this, op, options](int result) {
        if (result != QDialog::Accepted) {
            emit printOperationDidRun(false);
            return;
        }
        QString error;
        const bool ok = op->view->print(op->printer, options, &error);
        printOperationFinished(ok, error);
    });
    dialog->open();
}

void TWDPrintController::printOperationFinished(bool success, const QString &error)
{
    if (!success)
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("The map could not be printed.")),
            error, {TWLocalizedString(StringTable::DadoZiz, QStringLiteral("OK"))});
    emit printOperationDidRun(success);
}

// --- the dictionary ---

void TWDPrintController::setDictionary(const OrderedDictionary &setup)
{
    m_setup = setup;
    for (const QString &key : std::as_const(m_keys))
        emit valueChanged(key);
}

void TWDPrintController::noteKey(const QString &key)
{
    if (!m_keys.contains(key))
        m_keys.append(key);
}

void TWDPrintController::pageCountsChanged()
{
    emit valueChanged(QStringLiteral("pagesWide"));
    emit valueChanged(QStringLiteral("pagesHigh"));
}

QVariant TWDPrintController::valueForKey(const QString &key)
{
    if (key == QLatin1String("printSetupDictionary"))
        return QVariant::fromValue(m_setup);
    if (key == QLatin1String("pagesWide"))
        return pagesWide();
    if (key == QLatin1String("pagesHigh"))
        return pagesHigh();
    noteKey(key);
    return m_setup.value(key);
}

void TWDPrintController::setValueForKey(const QVariant &value, const QString &key)
{
    if (key == QLatin1String("printSetupDictionary")) {
        setDictionary(OrderedDictionary::fromVariant(value).value_or(OrderedDictionary()));
        pageCountsChanged();
        return;
    }
    if (key == QLatin1String("pagesWide") || key == QLatin1String("pagesHigh"))
        return;
    noteKey(key);
    if (value.isValid())
        m_setup.setValue(key, value);
    else
        m_setup.remove(key);
    emit valueChanged(key);
    updateAutomaticMargins();
    // Margins, paper and scaling all change how many pages the map needs.
    pageCountsChanged();
}

namespace {

int countFor(TWPrintDocument *document, const OrderedDictionary &setup, bool wide)
{
    if (boolValue(setup, ScaleToFitSinglePage))
        return 1;
    TWMap *map = document ? document->currentMap() : nullptr;
    if (!map)
        return 1;
    const Size page = TWPrintCanvasController::printablePageSize(pageLayout(setup), setup);
    const Rect r = map->getBoundingDrawingRectForAllGraphics();
    const double s = document->scaleAmount() / 100.0;
    return wide ? TWPrintCanvasController::pagesForExtent(s * r.x() + s * r.width(), page.width)
                : TWPrintCanvasController::pagesForExtent(s * r.y() + s * r.height(), page.height);
}

int wholePoints(double v)
{
    return std::isfinite(v) && std::abs(v) < 1.0e9 ? int(std::trunc(v)) : 0;
}

} // namespace

int TWDPrintController::pagesWide() const
{
    return countFor(m_document, m_setup, true);
}

int TWDPrintController::pagesHigh() const
{
    return countFor(m_document, m_setup, false);
}

// --- margins ---

std::optional<TWDPrintController::Margins>
TWDPrintController::automaticMargins(const OrderedDictionary &setup)
{
    if (boolValue(setup, ManualMargins))
        return std::nullopt;
    const int frameWidth = intValue(setup, FrameWidth);
    const int side = boolValue(setup, PrintFrame) && frameWidth >= 1 ? frameWidth : 0;
    Margins m{side, side, side, side};
    auto textHeight = [&](const QString &key) -> std::optional<int> {
        const std::optional<AttributedString> text = attributedStringValue(setup, key);
        if (!text || text->isEmpty())
            return std::nullopt;
        return wholePoints(TWPrintPageBorder::textHeight(*text));
    };
    if (const std::optional<int> h = textHeight(HeaderAttributedString))
        m.top = side + *h;
    if (const std::optional<int> h = textHeight(FooterAttributedString))
        m.bottom = side + *h;
    // A picture's margin adds the frame width whether or not a frame prints.
    if (!boolValue(setup, ResizeHeaderImageToTextSize))
        if (const std::optional<Image> picture = Image::initWithData(dataValue(setup, HeaderImage)))
            m.top =
                std::max(m.top, std::min(wholePoints(picture->size().height), 200) + frameWidth);
    if (!boolValue(setup, ResizeFooterImageToTextSize))
        if (const std::optional<Image> picture = Image::initWithData(dataValue(setup, FooterImage)))
            m.bottom = std::max(m.bottom, wholePoints(picture->size().height) + frameWidth);
    if (boolValue(setup, PrintCropMarks)) {
        m.left = std::max(m.left, 10);
        m.right = std::max(m.right, 10);
        m.top = std::max(m.top, 10);
        m.bottom = std::max(m.bottom, 10);
    }
    return m;
}

void TWDPrintController::updateAutomaticMargins()
{
    const std::optional<Margins> m = automaticMargins(m_setup);
    if (!m)
        return;
    m_setup.setValue(LeftMargin, m->left);
    m_setup.setValue(RightMargin, m->right);
    m_setup.setValue(TopMargin, m->top);
    m_setup.setValue(BottomMargin, m->bottom);
    for (const QString &key : {LeftMargin, RightMargin, TopMargin, BottomMargin})
        emit valueChanged(key);
}

// --- field codes ---

void TWDPrintController::insertFieldWithTag(int tag, QPlainTextEdit *textView)
{
    if (tag == 0) {
        qWarning("Field tag %i is unknown", tag);
        return;
    }
    const QString code = TWPrintPageBorder::fieldCodeForTag(tag);
    if (code.isEmpty() || !textView)
        return;
    textView->insertPlainText(code);
}
