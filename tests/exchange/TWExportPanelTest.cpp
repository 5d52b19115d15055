#include "exchange/TWExportPanel.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TWExportPanelTest : public ::testing::Test
{
protected:
    TWExportPanelTest() : defaults(dir.filePath("d.ini")), scope(&defaults)
    {
        TWExportController::registerDefaults(defaults);
    }
    QTemporaryDir dir;
    UserDefaults defaults;
    UserDefaults::Scope scope;
};

QPushButton *saveButton(const TWExportPanel &panel)
{
    auto *buttons = panel.fileDialog()->findChild<QDialogButtonBox *>();
    return buttons ? buttons->button(QDialogButtonBox::Save) : nullptr;
}

TEST_F(TWExportPanelTest, ListsTheMapsAllSelectedAndSaveNeedsOne)
{
    TWExportPanel panel({"Export image to PNG file",
                         "png",
                         TWExportPanelRequest::Settings::Bitmap,
                         {"Current map", "Second", "DadoZiz 3"}});
    EXPECT_FALSE(panel.fileDialog()->testOption(QFileDialog::DontUseNativeDialog) == false);
    EXPECT_EQ(panel.mapList()->count(), 3);
    EXPECT_EQ(panel.selectedRows(), QList<int>({0, 1, 2}));
    EXPECT_TRUE(panel.canSave());

    panel.mapList()->clearSelection();
    EXPECT_FALSE(panel.canSave());
    ASSERT_TRUE(saveButton(panel));
    EXPECT_FALSE(saveButton(panel)->isEnabled());
    // Typing a name does not enable it while no map is chosen.
    auto *name = panel.fileDialog()->findChild<QLineEdit *>("fileNameEdit");
    ASSERT_TRUE(name);
    name->setText("Plan.png");
    QApplication::processEvents();
    EXPECT_FALSE(saveButton(panel)->isEnabled());
    emit panel.fileDialog()->fileSelected(dir.filePath("Plan.png"));
    EXPECT_EQ(panel.result(), QDialog::Rejected);
    panel.mapList()->item(1)->setSelected(true);
    EXPECT_EQ(panel.selectedRows(), QList<int>({1}));
    panel.selectAllMaps();
    EXPECT_EQ(panel.selectedRows().size(), 3);
    QApplication::processEvents();
    EXPECT_TRUE(saveButton(panel)->isEnabled());
}

TEST_F(TWExportPanelTest, SettingsEditTheDefaults)
{
    TWExportPanel panel({"Export image to PNG file",
                         "png",
                         TWExportPanelRequest::Settings::Bitmap,
                         {"Current map", "Second", "DadoZiz 3"}});
    QCheckBox *specific = nullptr;
    for (QCheckBox *box : panel.findChildren<QCheckBox *>())
        if (box->text() == "Specific width")
            specific = box;
    ASSERT_TRUE(specific);
    auto *width = panel.findChild<QSpinBox *>();
    ASSERT_TRUE(width);
    EXPECT_EQ(width->value(), 600);
    EXPECT_FALSE(width->isEnabled());
    specific->setChecked(true);
    width->setValue(800);
    EXPECT_TRUE(defaults.boolForKey("ExportBitmapSpecificWidthEnabled"));
    EXPECT_EQ(defaults.integerForKey("ExportBitmapSpecificWidth"), 800);
    EXPECT_TRUE(width->isEnabled());

    // Saved the screenshot when asked, to look at the panel.
    const QByteArray shots = qgetenv("THINKWEB_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        panel.show();
        panel.fileDialog()->setDirectory(dir.path());
        panel.fileDialog()->selectFile("Plan.png");
        QApplication::processEvents();
        EXPECT_TRUE(panel.grab().save(QString::fromLocal8Bit(shots) + "/export-panel.png"));
    }
}

TEST_F(TWExportPanelTest, PresentationSettingsEditTheDefaults)
{
    TWExportPanel panel({"Export to LibreOffice Impress",
                         "pptx",
                         TWExportPanelRequest::Settings::PowerPoint,
                         {"Current map", "Second"}});
    const QList<QSpinBox *> spins = panel.findChildren<QSpinBox *>();
    QSpinBox *zoom = nullptr, *perPage = nullptr;
    for (QSpinBox *spin : spins)
        (spin->maximum() == 1000 ? zoom : perPage) = spin;
    auto *multiplier = panel.findChild<QDoubleSpinBox *>();
    ASSERT_TRUE(zoom && perPage && multiplier);
    EXPECT_EQ(zoom->value(), 100);
    EXPECT_EQ(perPage->value(), 10);
    // No slide could take fewer than one sub-branch.
    EXPECT_EQ(perPage->minimum(), 1);
    zoom->setValue(50);
    perPage->setValue(4);
    multiplier->setValue(1.5);
    EXPECT_EQ(defaults.integerForKey("ExportPPTZoomPercent"), 50);
    EXPECT_EQ(defaults.integerForKey("ExportPPTSubBranchesPerPage"), 4);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("ExportPPTTextSizeMultiplier"), 1.5);
    for (QCheckBox *box : panel.findChildren<QCheckBox *>())
        if (box->text() == "Include hidden branches")
            box->setChecked(false);
    EXPECT_FALSE(defaults.boolForKey("ExportPPTIncludeHiddenBranchText"));
}

} // namespace

TEST_F(TWExportPanelTest, OpensInTheLastFolderSavedToNeverTheWorkingFolder)
{
    const TWExportPanelRequest request{"Export image to PNG file",
                                       "png",
                                       TWExportPanelRequest::Settings::Bitmap,
                                       {"Current map"}};
    QTemporaryDir working;
    QTemporaryDir chosen;
    ASSERT_TRUE(working.isValid() && chosen.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    const QString gone = chosen.filePath("removed");
    struct Case
    {
        const char *what;
        QString stored; // null: nothing stored
        QString expected;
    };
    const Case cases[] = {
        {"first use", QString(), QDir::homePath()},
        {"a remembered folder", chosen.path(), chosen.path()},
        {"a folder since removed", gone, QDir::homePath()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stored.isNull())
            defaults.removeObjectForKey("ExportPanelLastFolder");
        else
            defaults.setString(c.stored, "ExportPanelLastFolder");
        TWExportPanel panel(request);
        EXPECT_EQ(QFileInfo(panel.fileDialog()->directory().absolutePath()).canonicalFilePath(),
                  QFileInfo(c.expected).canonicalFilePath());
    }

    // Saving remembers the folder of the file chosen.
    defaults.removeObjectForKey("ExportPanelLastFolder");
    {
        TWExportPanel panel(request);
        emit panel.fileDialog()->fileSelected(chosen.filePath("Plan.png"));
        EXPECT_EQ(panel.result(), QDialog::Accepted);
    }
    TWExportPanel next(request);
    EXPECT_EQ(QFileInfo(next.fileDialog()->directory().absolutePath()).canonicalFilePath(),
              QFileInfo(chosen.path()).canonicalFilePath());
    // Cancelling leaves it as it was.
    {
        TWExportPanel panel(request);
        panel.fileDialog()->reject();
    }
    EXPECT_EQ(defaults.stringForKey("ExportPanelLastFolder"), chosen.path());
    QDir::setCurrent(previous);
}
