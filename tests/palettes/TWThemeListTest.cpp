// The list of themes in the theme sheets: the row picked in the view is the
// theme applied or saved over.
#include "palettes/TWThemePanels.h"
#include "styles/TWTheme.h"

#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <gtest/gtest.h>

namespace {

TEST(ThemeList, TheThemeOfEachRowPickedIsTheSelectedOne)
{
    TWThemeList list;
    TWThemeManager::ThemeList themes;
    for (const char *name : {"First", "Second", "Third"}) {
        auto theme = std::make_shared<TWTheme>();
        theme->name = QString::fromLatin1(name);
        themes << theme;
    }
    list.setThemes(themes);
    ASSERT_EQ(list.model()->rowCount(), 3);
    const struct
    {
        int row;
        int selected; // -1: none
    } cases[] = {{0, 0}, {2, 2}, {1, 1}, {3, -1}, {-1, -1}, {0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row);
        list.selectTheme(c.row);
        EXPECT_EQ(list.selectedTheme(), c.selected < 0 ? nullptr : themes.at(c.selected));
    }
    // Of two rows picked, the upper one.
    list.selectTheme(2);
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(list.selectedTheme(), themes.at(0));
}

} // namespace
