#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

class KeyValueBindable;
class QComboBox;
class QDialog;
class QLabel;

// The one panel that edits a list of outline-number formats (one per level,
// level 1 first): the map's, a branch's override for its children, a
// style's. It shows twelve levels with a sample number each; OK writes the
// whole list back to the owner in one step, Cancel leaves the owner alone.
class TWOutlineFormatSettingsPanelController : public QObject
{
    Q_OBJECT

public:
    static inline const QString Numeric = QStringLiteral("Numeric");
    static inline const QString UpperAlpha = QStringLiteral("Upper case alpha");
    static inline const QString LowerAlpha = QStringLiteral("Lower case alpha");
    static inline const QString UpperRoman = QStringLiteral("Upper case roman");
    static inline const QString LowerRoman = QStringLiteral("Lower case roman");
    static constexpr int RowCount = 12;

    struct Row
    {
        bool editable = true;
        // The description shown; nothing on the rows below the empty one.
        std::optional<QString> setting;
        QString sample;
    };

    static TWOutlineFormatSettingsPanelController &sharedPanelController();
    explicit TWOutlineFormatSettingsPanelController(QObject *parent = nullptr);
    ~TWOutlineFormatSettingsPanelController() override;

    // Edits a copy of the list under `key` of the owner and runs the panel
    // modally. Anything but a list shows nothing (logged).
    void displayPanelForObject(KeyValueBindable *owner, const QString &key);
    // What displayPanelForObject does before running the panel; false when
    // the owner holds no list there.
    bool beginEditing(KeyValueBindable *owner, const QString &key);

    const QStringList &outlineFormatSettings() const { return m_outlineFormatSettings; }
    void setOutlineFormatSettings(const std::optional<QStringList> &settings);
    const QList<Row> &interfaceOutlineFormatSettings() const { return m_rows; }
    void updateInterfaceOutlineFormatSettings();
    // A row's pop-up chose `setting` (a description or "Remove").
    void formatSettingChanged(int row, const QString &setting);
    void updateOutlineFormatSettings();

    void ok();
    void cancel();
    void revert();

    static QString outlineNumberSampleForLevel(int level, const QStringList &settings);
    static std::optional<QString> convertNumber(int number, const QString &setting);
    // Lower-case letters of 1 (a) to 677 (za).
    static std::optional<QString> convertNumberToLetters(int number);
    // Roman numerals of 1 to 4,999,999, upper case marking the higher positions.
    static std::optional<QString> convertNumberToRomanNumerals(int number);
    static std::optional<QString> descriptionForSetting(const QString &setting);
    static QStringList availableSettings();
    static QString removeTitle();

    QDialog *panel() const { return m_panel; }
    QComboBox *popUpOfRow(int row) const { return m_popUps.value(row); }
    QLabel *sampleOfRow(int row) const { return m_samples.value(row); }

private:
    void buildPanel();
    void showRows();

    QPointer<KeyValueBindable> m_owner;
    QString m_ownerKeyPath;
    QStringList m_outlineFormatSettings;
    QList<Row> m_rows;
    QDialog *m_panel = nullptr;
    QList<QComboBox *> m_popUps;
    QList<QLabel *> m_samples;
};
