#include "mapdrawing/TWDPrintSetupPanel.h"

#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWPrintPageBorder.h"
#include "mapdrawing/TWPrintSetup.h"
#include "platform/Alerts.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/Image.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace TWPrintSetup;

namespace {
const QString PagesWide = QStringLiteral("pagesWide");
const QString PagesHigh = QStringLiteral("pagesHigh");
} // namespace

TWDPrintSetupPanel::TWDPrintSetupPanel(TWDPrintController *controller, QWidget *window)
    : QDialog(window), m_controller(controller)
{
    setWindowTitle(tr("Print"));
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    // Page and border settings on the left, header and footer on the right.
    auto *columns = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);

    auto *pages = new QGroupBox(tr("Pages"));
    auto *pagesForm = new QFormLayout(pages);
    auto *wide = new QLabel;
    auto *high = new QLabel;
    m_controls.insert(PagesWide, wide);
    m_controls.insert(PagesHigh, high);
    m_reloaders.insert(PagesWide,
                       [this, wide] { wide->setText(QString::number(m_controller->pagesWide())); });
    m_reloaders.insert(PagesHigh,
                       [this, high] { high->setText(QString::number(m_controller->pagesHigh())); });
    pagesForm->addRow(tr("Pages wide:"), wide);
    pagesForm->addRow(tr("Pages high:"), high);
    pagesForm->addRow(check(ScaleToFitSinglePage, tr("Fit the map on one page")));
    auto *pageSetup = new QPushButton(tr("Paper…"));
    connect(pageSetup, &QPushButton::clicked, this, &TWDPrintSetupPanel::runPageSetup);
    pagesForm->addRow(pageSetup);
    left->addWidget(pages);

    auto *margins = new QGroupBox(tr("Margins"));
    auto *marginsForm = new QFormLayout(margins);
    marginsForm->addRow(check(ManualMargins, tr("Set the margins by hand")));
    marginsForm->addRow(tr("Left:"), number(LeftMargin, 1000));
    marginsForm->addRow(tr("Right:"), number(RightMargin, 1000));
    marginsForm->addRow(tr("Top:"), number(TopMargin, 1000));
    marginsForm->addRow(tr("Bottom:"), number(BottomMargin, 1000));
    left->addWidget(margins);

    auto *border = new QGroupBox(tr("Border"));
    auto *borderForm = new QFormLayout(border);
    auto *frameRow = new QHBoxLayout;
    frameRow->addWidget(check(PrintFrame, tr("Frame")));
    frameRow->addWidget(number(FrameWidth, 100));
    auto *color = new QPushButton(tr("Colour…"));
    m_controls.insert(FrameColor, color);
    connect(color, &QPushButton::clicked, this, &TWDPrintSetupPanel::chooseFrameColor);
    frameRow->addWidget(color);
    borderForm->addRow(frameRow);
    borderForm->addRow(check(PrintCropMarks, tr("Crop marks")));
    borderForm->addRow(check(PrintBackground, tr("Print the background")));
    left->addWidget(border);
    left->addStretch();

    for (const bool header : {true, false}) {
        auto *box = new QGroupBox(header ? tr("Header") : tr("Footer"));
        auto *form = new QFormLayout(box);
        QPlainTextEdit *text = textView(header ? HeaderAttributedString : FooterAttributedString);
        (header ? m_headerText : m_footerText) = text;
        QComboBox *fields = fieldMenu(text);
        (header ? m_headerFields : m_footerFields) = fields;
        form->addRow(text);
        form->addRow(tr("Field:"), fields);
        form->addRow(tr("Picture:"), pictureButtons(header ? HeaderImage : FooterImage));
        form->addRow(check(header ? ResizeHeaderImageToTextSize : ResizeFooterImageToTextSize,
                           tr("Scale the picture to the text")));
        form->addRow(tr("Picture alignment:"),
                     alignment(header ? HeaderImageAlignment : FooterImageAlignment));
        right->addWidget(box);
    }

    auto *buttons = new QDialogButtonBox;
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_print = buttons->addButton(tr("Print"), QDialogButtonBox::AcceptRole);
    m_print->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, m_controller, &TWDPrintController::cancel);
    connect(m_print, &QPushButton::clicked, m_controller, &TWDPrintController::print);
    layout->addWidget(buttons);

    connect(m_controller, &TWDPrintController::valueChanged, this, &TWDPrintSetupPanel::reload);
    for (const QString &key : m_reloaders.keys())
        reload(key);
}

void TWDPrintSetupPanel::commitEditing()
{
    // The text views write through as they change; nothing is held back.
}

void TWDPrintSetupPanel::reload(const QString &key)
{
    const auto it = m_reloaders.constFind(key);
    if (it == m_reloaders.cend())
        return;
    const bool was = m_reloading;
    m_reloading = true;
    (*it)();
    m_reloading = was;
    if (key == ManualMargins)
        for (const QString &margin : {LeftMargin, RightMargin, TopMargin, BottomMargin})
            m_controls.value(margin)->setEnabled(
                boolValue(m_controller->printSetupDictionary(), ManualMargins));
}

QCheckBox *TWDPrintSetupPanel::check(const QString &key, const QString &title)
{
    auto *box = new QCheckBox(title);
    m_controls.insert(key, box);
    m_reloaders.insert(key, [this, box, key] {
        box->setChecked(boolValue(m_controller->printSetupDictionary(), key));
    });
    m_controller->valueForKey(key);
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) {
        if (!m_reloading)
            m_controller->setValueForKey(on, key);
    });
    return box;
}

QDoubleSpinBox *TWDPrintSetupPanel::number(const QString &key, double maximum)
{
    auto *spin = new QDoubleSpinBox;
    spin->setRange(0, maximum);
    spin->setDecimals(1);
    m_controls.insert(key, spin);
    m_reloaders.insert(key, [this, spin, key] {
        spin->setValue(floatValue(m_controller->printSetupDictionary(), key));
    });
    m_controller->valueForKey(key);
    connect(spin, &QDoubleSpinBox::valueChanged, this, [this, key](double v) {
        if (!m_reloading)
            m_controller->setValueForKey(v, key);
    });
    return spin;
}

QComboBox *TWDPrintSetupPanel::alignment(const QString &key)
{
    auto *menu = new QComboBox;
    menu->addItems({tr("Left"), tr("Centre"), tr("Right")});
    m_controls.insert(key, menu);
    m_reloaders.insert(key, [this, menu, key] {
        const int v = intValue(m_controller->printSetupDictionary(), key);
        menu->setCurrentIndex(v == 1 || v == 2 ? v : 0);
    });
    m_controller->valueForKey(key);
    connect(menu, &QComboBox::currentIndexChanged, this, [this, key](int index) {
        if (!m_reloading)
            m_controller->setValueForKey(index, key);
    });
    return menu;
}

AttributedString TWDPrintSetupPanel::editedText(const AttributedString &old, const QString &text)
{
    // Only the retyped middle changes, so the styling around it stays.
    const QString &was = old.string();
    qsizetype prefix = 0;
    while (prefix < was.size() && prefix < text.size() && was[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < was.size() - prefix && suffix < text.size() - prefix &&
           was[was.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    AttributedString result = old;
    const QString inserted = text.mid(prefix, text.size() - prefix - suffix);
    if (old.isEmpty())
        return AttributedString(
            text,
            {{NSFontAttributeName, QVariant::fromValue(Font(QStringLiteral("Helvetica"), 12))}});
    result.replaceCharactersInRange({prefix, was.size() - prefix - suffix}, inserted);
    return result;
}

QPlainTextEdit *TWDPrintSetupPanel::textView(const QString &key)
{
    auto *view = new QPlainTextEdit;
    view->setMaximumHeight(60);
    m_controls.insert(key, view);
    m_reloaders.insert(key, [this, view, key] {
        const std::optional<AttributedString> text =
            attributedStringValue(m_controller->printSetupDictionary(), key);
        const QString plain = text ? text->string() : QString();
        if (view->toPlainText() != plain)
            view->setPlainText(plain);
    });
    m_controller->valueForKey(key);
    connect(view, &QPlainTextEdit::textChanged, this, [this, view, key] {
        if (m_reloading)
            return;
        const std::optional<AttributedString> old =
            attributedStringValue(m_controller->printSetupDictionary(), key);
        const QString text = view->toPlainText();
        m_controller->setValueForKey(text.isEmpty() ? QVariant()
                                                    : QVariant::fromValue(editedText(
                                                          old.value_or(AttributedString()), text)),
                                     key);
    });
    return view;
}

QComboBox *TWDPrintSetupPanel::fieldMenu(QPlainTextEdit *target)
{
    auto *menu = new QComboBox;
    menu->addItem(tr("Insert a field"), 0);
    const QStringList names{tr("File name"),   tr("Path"),        tr("Page"),  tr("Page count"),
                            tr("Title"),       tr("Day"),         tr("Month"), tr("Month, short"),
                            tr("Month, full"), tr("Year, short"), tr("Year"),  tr("Hour (12)"),
                            tr("Hour (24)"),   tr("Minute"),      tr("AM/PM")};
    for (int tag = 1; tag <= 15; ++tag)
        menu->addItem(names[tag - 1], tag);
    connect(menu, &QComboBox::activated, this, [menu, target](int index) {
        if (index <= 0)
            return;
        TWDPrintController::insertFieldWithTag(menu->itemData(index).toInt(), target);
        menu->setCurrentIndex(0);
        target->setFocus();
    });
    return menu;
}

QWidget *TWDPrintSetupPanel::pictureButtons(const QString &key)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *name = new QLabel;
    auto *choose = new QPushButton(tr("Choose…"));
    auto *remove = new QPushButton(tr("Remove"));
    layout->addWidget(name, 1);
    layout->addWidget(choose);
    layout->addWidget(remove);
    m_controls.insert(key, row);
    m_reloaders.insert(key, [this, name, remove, key] {
        const std::optional<Image> picture =
            Image::initWithData(dataValue(m_controller->printSetupDictionary(), key));
        name->setText(picture ? tr("%1 × %2 points")
                                    .arg(qRound(picture->size().width))
                                    .arg(qRound(picture->size().height))
                              : tr("None"));
        remove->setEnabled(picture.has_value());
    });
    m_controller->valueForKey(key);
    connect(choose, &QPushButton::clicked, this, [this, key] {
        Alerts::OpenPanelOptions options;
        options.title = tr("Choose a Picture");
        options.fileTypes = {"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp", "pdf", "eps"};
        const QStringList paths = Alerts::current().runOpenPanel(options);
        if (paths.isEmpty())
            return;
        QFile file(paths.first());
        const QByteArray data =
            file.open(QIODevice::ReadOnly) ? file.read(64 * 1024 * 1024) : QByteArray();
        if (!Image::initWithData(data)) {
            Alerts::current().runAlertPanel(
                tr("The picture could not be used."),
                tr("“%1” is not a picture this program can read.").arg(paths.first()), {tr("OK")});
            return;
        }
        m_controller->setValueForKey(data, key);
    });
    connect(remove, &QPushButton::clicked, this,
            [this, key] { m_controller->setValueForKey(QVariant(), key); });
    return row;
}

void TWDPrintSetupPanel::chooseFrameColor()
{
    const Color current =
        colorValue(m_controller->printSetupDictionary(), FrameColor).value_or(Color::blackColor());
    auto *dialog = new QColorDialog(current.toQColor(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QColorDialog::ShowAlphaChannel);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor &color) {
        m_controller->setValueForKey(QVariant::fromValue(Color::fromQColor(color)), FrameColor);
    });
    dialog->open();
}

void TWDPrintSetupPanel::runPageSetup()
{
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(pageLayout(m_controller->printSetupDictionary()));
    auto *dialog = new QPageSetupDialog(printer.get(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, printer] {
        OrderedDictionary paper;
        setPageLayout(paper, printer->pageLayout());
        for (const auto &[key, value] : paper)
            m_controller->setValueForKey(value, key);
        if (!paper.contains(PaperName))
            m_controller->setValueForKey(QVariant(), PaperName);
    });
    dialog->open();
}
