#include "interface/KeyValueBinding.h"
#include "palettes/TWOutlineFormatSettingsPanelController.h"

#include <QComboBox>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using Panel = TWOutlineFormatSettingsPanelController;

class Owner : public KeyValueBindable
{
public:
    QVariant valueForKey(const QString &key) const override { return values.value(key); }
    void setValueForKey(const QVariant &value, const QString &key) override
    {
        values.insert(key, value);
        ++writes;
    }
    QVariantMap values;
    int writes = 0;
};

const QString Key = QStringLiteral("outlineFormatSettings");

TEST(TWOutlineFormatSettingsPanel, ConvertsNumbers)
{
    struct Case
    {
        int number;
        QString setting;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases{
        {4, Panel::Numeric, "4"},
        {0, Panel::Numeric, "0"},
        {-3, Panel::Numeric, "-3"},
        {4, Panel::UpperAlpha, "D"},
        {4, Panel::LowerAlpha, "d"},
        {26, Panel::LowerAlpha, "z"},
        {27, Panel::LowerAlpha, "aa"},
        {52, Panel::LowerAlpha, "az"},
        {53, Panel::LowerAlpha, "ba"},
        {676, Panel::LowerAlpha, "yz"},
        {677, Panel::UpperAlpha, "ZA"},
        {678, Panel::LowerAlpha, std::nullopt},
        {0, Panel::LowerAlpha, std::nullopt},
        {4, Panel::UpperRoman, "IV"},
        {9, Panel::UpperRoman, "IX"},
        {14, Panel::UpperRoman, "XIV"},
        {40, Panel::UpperRoman, "XL"},
        {90, Panel::UpperRoman, "XC"},
        {400, Panel::UpperRoman, "CD"},
        {1999, Panel::LowerRoman, "mcmxcix"},
        {3999, Panel::UpperRoman, "MMMCMXCIX"},
        // Above 3999 the case marks are lost in the one-case text, as the
        // map's own numbers read.
        {4000, Panel::UpperRoman, "MMMM"},
        {5555, Panel::UpperRoman, "VDLV"},
        {6000, Panel::UpperRoman, "VI"},
        {9000, Panel::UpperRoman, "IX"},
        {4000000, Panel::UpperRoman, "MMMM"},
        {0, Panel::UpperRoman, std::nullopt},
        {5000000, Panel::UpperRoman, std::nullopt},
        {3, QStringLiteral("Hebrew"), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Panel::convertNumber(c.number, c.setting), c.expected)
            << c.number << " " << c.setting.toStdString();
}

TEST(TWOutlineFormatSettingsPanel, SamplesReadTheListLevelByLevel)
{
    const QStringList mixed{Panel::Numeric, Panel::UpperAlpha, Panel::LowerRoman};
    struct Case
    {
        QStringList list;
        int level;
        QString expected;
    };
    const std::vector<Case> cases{
        {mixed, 0, "1"},       {mixed, 1, "1.B"},
        {mixed, 2, "1.B.iii"}, {mixed, 3, "1.B.iii.iv"}, // past the list: its last format
        {{}, 2, "1.2.3"},      {{Panel::UpperRoman}, 1, "I.II"},
        {mixed, -1, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Panel::outlineNumberSampleForLevel(c.level, c.list), c.expected) << c.level;
}

TEST(TWOutlineFormatSettingsPanel, RowsFollowTheList)
{
    Panel panel;
    panel.setOutlineFormatSettings(std::nullopt);
    const auto &rows = panel.interfaceOutlineFormatSettings();
    ASSERT_EQ(rows.size(), Panel::RowCount);
    EXPECT_TRUE(rows[0].editable);
    EXPECT_EQ(rows[0].setting, QString());
    for (int i = 1; i < Panel::RowCount; ++i) {
        EXPECT_FALSE(rows[i].editable) << i;
        EXPECT_FALSE(rows[i].setting.has_value()) << i;
    }
    EXPECT_EQ(rows[3].sample, "1.2.3.4");
    EXPECT_FALSE(panel.popUpOfRow(1)->isEnabled());

    // Choosing in the empty row adds a level and moves the empty row down.
    panel.formatSettingChanged(0, *Panel::descriptionForSetting(Panel::UpperAlpha));
    EXPECT_EQ(panel.outlineFormatSettings(), QStringList{Panel::UpperAlpha});
    EXPECT_EQ(rows[1].setting, QString());
    EXPECT_TRUE(rows[1].editable);
    EXPECT_FALSE(rows[2].editable);
    EXPECT_EQ(rows[2].sample, "A.B.C");
    EXPECT_EQ(panel.sampleOfRow(2)->text(), "A.B.C");
    EXPECT_EQ(panel.popUpOfRow(0)->currentText(), "A.B.C.D");
    // A row below the empty one takes no choice.
    panel.formatSettingChanged(5, *Panel::descriptionForSetting(Panel::Numeric));
    EXPECT_EQ(panel.outlineFormatSettings().size(), 1);

    // Twelve levels leave no empty row; Remove in row 5 cuts the list there.
    QStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve.append(i % 2 ? Panel::LowerRoman : Panel::Numeric);
    panel.setOutlineFormatSettings(twelve);
    for (const auto &row : rows)
        EXPECT_TRUE(row.editable && row.setting && !row.setting->isEmpty());
    panel.formatSettingChanged(4, Panel::removeTitle());
    EXPECT_EQ(panel.outlineFormatSettings(), twelve.mid(0, 4));
    EXPECT_EQ(rows[4].setting, QString());

    // An unknown key shows no description and is dropped on the next rebuild.
    panel.setOutlineFormatSettings(QStringList{"Klingon", Panel::UpperRoman});
    EXPECT_EQ(rows[0].setting, QString());
    panel.updateOutlineFormatSettings();
    EXPECT_EQ(panel.outlineFormatSettings(), QStringList{Panel::UpperRoman});
}

TEST(TWOutlineFormatSettingsPanel, OkWritesCancelAndRevertDoNot)
{
    Panel panel;
    Owner owner;
    const QStringList original{Panel::Numeric, Panel::LowerAlpha};
    owner.values.insert(Key, original);

    ASSERT_TRUE(panel.beginEditing(&owner, Key));
    panel.formatSettingChanged(2, *Panel::descriptionForSetting(Panel::UpperRoman));
    panel.cancel();
    EXPECT_EQ(owner.values.value(Key).toStringList(), original);
    EXPECT_EQ(owner.writes, 0);

    ASSERT_TRUE(panel.beginEditing(&owner, Key));
    panel.formatSettingChanged(0, Panel::removeTitle());
    EXPECT_TRUE(panel.outlineFormatSettings().isEmpty());
    panel.revert();
    EXPECT_EQ(panel.outlineFormatSettings(), original);
    panel.formatSettingChanged(2, *Panel::descriptionForSetting(Panel::UpperRoman));
    panel.ok();
    EXPECT_EQ(owner.writes, 1);
    EXPECT_EQ(owner.values.value(Key).toStringList(),
              (QStringList{Panel::Numeric, Panel::LowerAlpha, Panel::UpperRoman}));

    // A value that is no list opens nothing and leaves an empty list.
    owner.values.insert(Key, 7);
    EXPECT_FALSE(panel.beginEditing(&owner, Key));
    EXPECT_TRUE(panel.outlineFormatSettings().isEmpty());
    EXPECT_FALSE(panel.beginEditing(&owner, QStringLiteral("missing")));
}

} // namespace
