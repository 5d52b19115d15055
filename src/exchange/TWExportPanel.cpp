#include "exchange/TWExportPanel.h"

#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QCheckBox *boolSetting(const char *label, const QString &key, bool startOn = false)
{
    auto *box = new QCheckBox(dadoZiz(label));
    box->setChecked(startOn || UserDefaults::standard().boolForKey(key));
    QObject::connect(box, &QCheckBox::toggled,
                     [key](bool on) { UserDefaults::standard().setBool(on, key); });
    return box;
}

// Where the last export was saved; the panel opens there next time.
const QString LastFolderKey = QStringLiteral("ExportPanelLastFolder");

QString startFolder()
{
    const QString last = UserDefaults::standard().stringForKey(LastFolderKey);
    if (!last.isEmpty() && QDir(last).exists())
        return last;
    // Never the program's working folder, which the user did not choose.
    return QDir::homePath();
}

} // namespace

TWExportPanel::TWExportPanel(const TWExportPanelRequest &request, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(request.title);

    m_files = new QFileDialog(this, request.title);
    m_files->setOption(QFileDialog::DontUseNativeDialog);
    m_files->setAcceptMode(QFileDialog::AcceptSave);
    m_files->setFileMode(QFileDialog::AnyFile);
    m_files->setDirectory(startFolder());
    m_files->setDefaultSuffix(request.fileType);
    m_files->setNameFilter(
        QStringLiteral("%1 (*.%2)").arg(request.fileType.toUpper(), request.fileType));
    m_files->setWindowFlags(Qt::Widget);
    m_files->setSizeGripEnabled(false);
    connect(m_files, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (!canSave()) {
            m_files->show(); // accepting hid the embedded chooser
            return;
        }
        m_chosen = path;
        UserDefaults::standard().setString(QFileInfo(path).absolutePath(), LastFolderKey);
        accept();
    });
    connect(m_files, &QFileDialog::rejected, this, &QDialog::reject);
    // The chooser enables its button again as the name is typed; queued, this
    // runs after it.
    for (QLineEdit *edit : m_files->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, &TWExportPanel::updateSaveButton,
                Qt::QueuedConnection);

    auto *mapsBox = new QGroupBox(dadoZiz("Maps to export"));
    m_maps = new QListWidget;
    m_maps->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_maps->addItems(request.mapNames);
    auto *selectAll = new QPushButton(dadoZiz("Select All"));
    connect(selectAll, &QPushButton::clicked, this, &TWExportPanel::selectAllMaps);
    connect(m_maps, &QListWidget::itemSelectionChanged, this, &TWExportPanel::updateSaveButton);
    auto *mapsLayout = new QVBoxLayout(mapsBox);
    mapsLayout->addWidget(m_maps);
    mapsLayout->addWidget(selectAll);

    auto *side = new QVBoxLayout;
    side->addWidget(mapsBox, 1);
    if (QWidget *settings = makeSettings(request))
        side->addWidget(settings);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_files, 1);
    layout->addLayout(side);
    selectAllMaps();
    resize(920, 480);
}

QWidget *TWExportPanel::makeSettings(const TWExportPanelRequest &request)
{
    const TWExportPanelRequest::Settings settings = request.settings;
    if (settings == TWExportPanelRequest::Settings::None)
        return nullptr;
    auto *box = new QGroupBox(dadoZiz("Settings"));
    auto *form = new QFormLayout(box);
    UserDefaults &defaults = UserDefaults::standard();
    switch (settings) {
    case TWExportPanelRequest::Settings::Vector:
        m_background =
            boolSetting("Include map background", "ExportMapBackground", request.darkBackground);
        form->addRow(m_background);
        break;
    case TWExportPanelRequest::Settings::Jpeg: {
        auto *quality = new QSlider(Qt::Horizontal);
        quality->setRange(0, 100);
        quality->setValue(int(defaults.doubleForKey("ExportJpegCompressionFactor") * 100 + 0.5));
        connect(quality, &QSlider::valueChanged, quality, [](int value) {
            UserDefaults::standard().setDouble(value / 100.0, "ExportJpegCompressionFactor");
        });
        form->addRow(dadoZiz("Quality:"), quality);
    }
        [[fallthrough]];
    case TWExportPanelRequest::Settings::Bitmap: {
        m_background =
            boolSetting("Include map background", "ExportMapBackground", request.darkBackground);
        form->addRow(m_background);
        auto *enabled = boolSetting("Specific width", "ExportBitmapSpecificWidthEnabled");
        auto *width = new QSpinBox;
        width->setRange(0, 100000);
        width->setSuffix(dadoZiz(" pixels"));
        width->setValue(int(defaults.integerForKey("ExportBitmapSpecificWidth")));
        width->setEnabled(enabled->isChecked());
        connect(enabled, &QCheckBox::toggled, width, &QWidget::setEnabled);
        connect(width, &QSpinBox::valueChanged, width, [](int value) {
            UserDefaults::standard().setInteger(value, "ExportBitmapSpecificWidth");
        });
        form->addRow(enabled, width);
        break;
    }
    case TWExportPanelRequest::Settings::Text: {
        form->addRow(boolSetting("Include notes", "ExportTextIncludeBranchNotes"));
        form->addRow(boolSetting("Include text of attached graphics",
                                 "ExportTextIncludeAttachedGraphicText"));
        form->addRow(boolSetting("Include hidden branches", "ExportTextIncludeHiddenText"));
        break;
    }
    case TWExportPanelRequest::Settings::PowerPoint: {
        form->addRow(boolSetting("Include hidden branches", "ExportPPTIncludeHiddenBranchText"));
        auto *zoom = new QSpinBox;
        zoom->setRange(1, 1000);
        zoom->setSuffix(QStringLiteral(" %"));
        zoom->setValue(int(defaults.integerForKey("ExportPPTZoomPercent")));
        connect(zoom, &QSpinBox::valueChanged, zoom, [](int value) {
            UserDefaults::standard().setInteger(value, "ExportPPTZoomPercent");
        });
        form->addRow(dadoZiz("Map picture zoom:"), zoom);
        auto *perPage = new QSpinBox;
        perPage->setRange(1, 100);
        perPage->setValue(int(defaults.integerForKey("ExportPPTSubBranchesPerPage")));
        connect(perPage, &QSpinBox::valueChanged, perPage, [](int value) {
            UserDefaults::standard().setInteger(value, "ExportPPTSubBranchesPerPage");
        });
        form->addRow(dadoZiz("Sub-branches per slide:"), perPage);
        auto *multiplier = new QDoubleSpinBox;
        multiplier->setRange(0.1, 10.0);
        multiplier->setSingleStep(0.1);
        multiplier->setValue(defaults.doubleForKey("ExportPPTTextSizeMultiplier"));
        connect(multiplier, &QDoubleSpinBox::valueChanged, multiplier, [](double value) {
            UserDefaults::standard().setDouble(value, "ExportPPTTextSizeMultiplier");
        });
        form->addRow(dadoZiz("Text size multiplier:"), multiplier);
        break;
    }
    case TWExportPanelRequest::Settings::Keynote: {
        auto *version = new QComboBox;
        for (const char *label :
             {"Keynote 2, 800 x 600", "Keynote 2, 1024 x 768", "Keynote 3, 800 x 600",
              "Keynote 3, 1024 x 768", "Keynote 3, 1280 x 720", "Keynote 3, 1680 x 1050",
              "Keynote 3, 1920 x 1080"})
            version->addItem(dadoZiz(label));
        version->setCurrentIndex(int(defaults.integerForKey("ExportKeynoteVersionAndSize")));
        connect(version, &QComboBox::currentIndexChanged, version, [](int index) {
            UserDefaults::standard().setInteger(index, "ExportKeynoteVersionAndSize");
        });
        form->addRow(dadoZiz("Template:"), version);
        form->addRow(
            boolSetting("Include hidden branches", "ExportKeynoteIncludeHiddenBranchText"));
        auto *zoom = new QSpinBox;
        zoom->setRange(1, 1000);
        zoom->setSuffix(QStringLiteral(" %"));
        zoom->setValue(int(defaults.integerForKey("ExportKeynoteZoomPercent")));
        connect(zoom, &QSpinBox::valueChanged, zoom, [](int value) {
            UserDefaults::standard().setInteger(value, "ExportKeynoteZoomPercent");
        });
        form->addRow(dadoZiz("Map zoom:"), zoom);
        auto *perPage = new QSpinBox;
        perPage->setRange(1, 100);
        perPage->setValue(int(defaults.integerForKey("ExportKeynoteSubBranchesPerPage")));
        connect(perPage, &QSpinBox::valueChanged, perPage, [](int value) {
            UserDefaults::standard().setInteger(value, "ExportKeynoteSubBranchesPerPage");
        });
        form->addRow(dadoZiz("Sub-branches per slide:"), perPage);
        auto *multiplier = new QDoubleSpinBox;
        multiplier->setRange(0.1, 10.0);
        multiplier->setSingleStep(0.1);
        multiplier->setValue(defaults.doubleForKey("ExportKeynoteTextSizeMultiplier"));
        connect(multiplier, &QDoubleSpinBox::valueChanged, multiplier, [](double value) {
            UserDefaults::standard().setDouble(value, "ExportKeynoteTextSizeMultiplier");
        });
        form->addRow(dadoZiz("Text size multiplier:"), multiplier);
        break;
    }
    case TWExportPanelRequest::Settings::None:
        break;
    }
    return box;
}

QList<int> TWExportPanel::selectedRows() const
{
    QList<int> rows;
    for (int i = 0; i < m_maps->count(); ++i)
        if (m_maps->item(i)->isSelected())
            rows << i;
    return rows;
}

void TWExportPanel::selectAllMaps()
{
    m_maps->selectAll();
    updateSaveButton();
}

bool TWExportPanel::canSave() const
{
    return !selectedRows().isEmpty();
}

void TWExportPanel::updateSaveButton()
{
    // With no map chosen Save would write nothing and look like success.
    const auto *name = m_files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const bool enabled = canSave() && (!name || !name->text().trimmed().isEmpty());
    if (auto *buttons = m_files->findChild<QDialogButtonBox *>())
        if (QPushButton *save = buttons->button(QDialogButtonBox::Save)
                                    ? buttons->button(QDialogButtonBox::Save)
                                    : buttons->button(QDialogButtonBox::Open))
            save->setEnabled(enabled);
}

std::optional<TWExportPanelResult> TWExportPanel::run(const TWExportPanelRequest &request)
{
    TWExportPanel panel(request);
    if (panel.exec() != QDialog::Accepted || panel.m_chosen.isEmpty() || !panel.canSave())
        return std::nullopt;
    TWExportPanelResult result{panel.m_chosen, panel.selectedRows(), {}};
    if (panel.m_background)
        result.includeBackground = panel.m_background->isChecked();
    return result;
}
