#include "palettes/TWOutlineFormatSettingsPanelController.h"

#include "interface/KeyValueBinding.h"
#include "model/TWMapBranch.h"
#include "platform/TWLocalizedString.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QStringList &formatKeys()
{
    using C = TWOutlineFormatSettingsPanelController;
    static const QStringList keys{C::Numeric, C::UpperAlpha, C::LowerAlpha, C::UpperRoman,
                                  C::LowerRoman};
    return keys;
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString("DadoZiz", QString::fromLatin1(key));
}

} // namespace

TWOutlineFormatSettingsPanelController &
TWOutlineFormatSettingsPanelController::sharedPanelController()
{
    static auto *shared = new TWOutlineFormatSettingsPanelController;
    return *shared;
}

TWOutlineFormatSettingsPanelController::TWOutlineFormatSettingsPanelController(QObject *parent)
    : QObject(parent)
{
    buildPanel();
    updateInterfaceOutlineFormatSettings();
}

TWOutlineFormatSettingsPanelController::~TWOutlineFormatSettingsPanelController()
{
    delete m_panel;
}

void TWOutlineFormatSettingsPanelController::buildPanel()
{
    m_panel = new QDialog;
    m_panel->setObjectName(QStringLiteral("formatSettingsPanel"));
    m_panel->setWindowTitle(dadoZiz("Outline Numbering"));
    auto *layout = new QVBoxLayout(m_panel);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(dadoZiz("Level")), 0, 0);
    grid->addWidget(new QLabel(dadoZiz("Format")), 0, 1);
    grid->addWidget(new QLabel(dadoZiz("Sample")), 0, 2);
    for (int row = 0; row < RowCount; ++row) {
        grid->addWidget(new QLabel(QString::number(row + 1)), row + 1, 0);
        auto *popUp = new QComboBox;
        popUp->addItem(QString());
        popUp->addItems(availableSettings());
        popUp->setMinimumWidth(140);
        connect(popUp, &QComboBox::activated, this, [this, row, popUp](int index) {
            formatSettingChanged(row, popUp->itemText(index));
        });
        grid->addWidget(popUp, row + 1, 1);
        auto *sample = new QLabel;
        sample->setMinimumWidth(150);
        grid->addWidget(sample, row + 1, 2);
        m_popUps.append(popUp);
        m_samples.append(sample);
    }
    layout->addLayout(grid);
    auto *buttons = new QDialogButtonBox;
    QPushButton *revertButton = buttons->addButton(dadoZiz("Revert"), QDialogButtonBox::ResetRole);
    QPushButton *cancelButton = buttons->addButton(
        TWLocalizedString("General", QStringLiteral("Cancel")), QDialogButtonBox::RejectRole);
    QPushButton *okButton = buttons->addButton(TWLocalizedString("General", QStringLiteral("OK")),
                                               QDialogButtonBox::AcceptRole);
    okButton->setDefault(true);
    connect(revertButton, &QPushButton::clicked, this, [this] { revert(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    connect(okButton, &QPushButton::clicked, this, [this] { ok(); });
    // Escape and the window's close button are Cancel.
    connect(m_panel, &QDialog::rejected, this, [this] { m_panel->hide(); });
    layout->addWidget(buttons);
}

bool TWOutlineFormatSettingsPanelController::beginEditing(KeyValueBindable *owner,
                                                          const QString &key)
{
    m_owner = owner;
    m_ownerKeyPath = key;
    const QVariant value = owner ? owner->valueForKey(key) : QVariant();
    const bool isList = value.metaType().id() == QMetaType::QStringList ||
                        value.metaType().id() == QMetaType::QVariantList;
    if (!isList) {
        qWarning("Cannot display outline format panel for object of class %s with key path %s",
                 owner ? owner->metaObject()->className() : "(null)", qPrintable(key));
        setOutlineFormatSettings(QStringList());
        return false;
    }
    setOutlineFormatSettings(value.toStringList());
    return true;
}

void TWOutlineFormatSettingsPanelController::displayPanelForObject(KeyValueBindable *owner,
                                                                   const QString &key)
{
    if (!beginEditing(owner, key))
        return;
    m_panel->adjustSize();
    m_panel->exec();
}

void TWOutlineFormatSettingsPanelController::setOutlineFormatSettings(
    const std::optional<QStringList> &settings)
{
    m_outlineFormatSettings = settings.value_or(QStringList());
    updateInterfaceOutlineFormatSettings();
}

void TWOutlineFormatSettingsPanelController::updateInterfaceOutlineFormatSettings()
{
    const int n = int(m_outlineFormatSettings.size());
    QList<Row> rows;
    for (int i = 0; i < RowCount; ++i) {
        Row row;
        if (i < n)
            row.setting = descriptionForSetting(m_outlineFormatSettings.at(i)).value_or(QString());
        else if (i == n)
            row.setting = QString();
        else
            row.editable = false;
        row.sample = outlineNumberSampleForLevel(i, m_outlineFormatSettings);
        rows.append(row);
    }
    m_rows = rows;
    showRows();
}

void TWOutlineFormatSettingsPanelController::showRows()
{
    for (int i = 0; i < m_rows.size() && i < m_popUps.size(); ++i) {
        const Row &row = m_rows.at(i);
        QComboBox *popUp = m_popUps.at(i);
        const QSignalBlocker quiet(popUp);
        popUp->setEnabled(row.editable);
        const int index = row.setting ? popUp->findText(*row.setting) : 0;
        popUp->setCurrentIndex(std::max(index, 0));
        m_samples.at(i)->setText(row.sample);
    }
}

void TWOutlineFormatSettingsPanelController::formatSettingChanged(int row, const QString &setting)
{
    if (row < 0 || row >= m_rows.size() || !m_rows.at(row).editable)
        return;
    m_rows[row].setting = setting;
    updateOutlineFormatSettings();
}

void TWOutlineFormatSettingsPanelController::updateOutlineFormatSettings()
{
    QStringList list;
    for (const Row &row : std::as_const(m_rows)) {
        const QString setting = row.setting.value_or(QString());
        if (setting == removeTitle())
            break;
        for (const QString &key : formatKeys()) {
            if (setting == descriptionForSetting(key)) {
                list.append(key);
                break;
            }
        }
    }
    setOutlineFormatSettings(list);
}

void TWOutlineFormatSettingsPanelController::ok()
{
    m_panel->accept();
    if (m_owner)
        m_owner->setValueForKey(QVariant(QStringList(m_outlineFormatSettings)), m_ownerKeyPath);
}

void TWOutlineFormatSettingsPanelController::cancel()
{
    m_panel->reject();
}

void TWOutlineFormatSettingsPanelController::revert()
{
    const QVariant value = m_owner ? m_owner->valueForKey(m_ownerKeyPath) : QVariant();
    setOutlineFormatSettings(value.toStringList());
}

QString
TWOutlineFormatSettingsPanelController::outlineNumberSampleForLevel(int level,
                                                                    const QStringList &settings)
{
    QStringList parts;
    for (int i = 0; i <= level; ++i) {
        const QString key = settings.isEmpty() ? Numeric : settings.value(i, settings.last());
        parts.append(convertNumber(i + 1, key).value_or(QString()));
    }
    return parts.join(QLatin1Char('.'));
}

std::optional<QString> TWOutlineFormatSettingsPanelController::convertNumber(int number,
                                                                             const QString &setting)
{
    if (setting == Numeric)
        return QString::number(number);
    std::optional<QString> text;
    if (setting == UpperAlpha || setting == LowerAlpha)
        text = convertNumberToLetters(number);
    else if (setting == UpperRoman || setting == LowerRoman)
        text = convertNumberToRomanNumerals(number);
    else {
        qWarning("Unknown number format: %s", qPrintable(setting));
        return std::nullopt;
    }
    if (!text)
        return std::nullopt;
    return setting == UpperAlpha || setting == UpperRoman ? text->toUpper() : text->toLower();
}

std::optional<QString> TWOutlineFormatSettingsPanelController::convertNumberToLetters(int number)
{
    // The model counts positions from 0; the panel counts levels from 1.
    if (number < 1)
        return std::nullopt;
    return TWMapBranch::convertNumberToLetters(number - 1);
}

std::optional<QString>
TWOutlineFormatSettingsPanelController::convertNumberToRomanNumerals(int number)
{
    return TWMapBranch::convertNumberToRomanNumerals(number);
}

std::optional<QString>
TWOutlineFormatSettingsPanelController::descriptionForSetting(const QString &setting)
{
    static const QStringList descriptions{"1.2.3.4", "A.B.C.D", "a.b.c.d", "I.II.III.IV",
                                          "i.ii.iii.iv"};
    const qsizetype index = formatKeys().indexOf(setting);
    if (index < 0)
        return std::nullopt;
    return TWLocalizedString("DadoZiz", descriptions.at(index));
}

QStringList TWOutlineFormatSettingsPanelController::availableSettings()
{
    QStringList settings;
    for (const QString &key : formatKeys())
        settings.append(*descriptionForSetting(key));
    settings.append(removeTitle());
    return settings;
}

QString TWOutlineFormatSettingsPanelController::removeTitle()
{
    return dadoZiz("Remove");
}
