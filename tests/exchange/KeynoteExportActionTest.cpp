#include "ExportTestSupport.h"
#include "exchange/KeynoteExportController.h"
#include "exchange/TWExportPanel.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>

#include <sys/stat.h>

using namespace ExportTest;

class KeynoteExportAction : public ExportFixture
{};

TEST_F(KeynoteExportAction, WritesAPackagePerChosenMapAndConfirmsNumberedOnes)
{
    addMaps();
    UserDefaults::standard().setInteger(3, "ExportKeynoteVersionAndSize");
    struct Case
    {
        QList<int> rows;
        bool existing; // "Talk 2.key" is there already
        int answer;    // to the replace question
        QStringList written;
    };
    const QList<Case> cases{
        {{1}, false, 0, {"Talk.key"}},
        {{0, 2}, false, 0, {"Talk 1.key", "Talk 2.key"}},
        {{0, 2}, true, 1, {}},
        {{0, 2}, true, 0, {"Talk 1.key", "Talk 2.key"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.written.join(", ").toStdString());
        QDir(outDir.path()).removeRecursively();
        QDir().mkpath(outDir.path());
        if (c.existing)
            QDir(outDir.path()).mkdir("Talk 2.key");
        alerts.clear();
        alerts.queueAlertResponse(c.answer);
        panels.clear();
        panelAnswer = TWExportPanelResult{path("Talk.key"), c.rows};
        controller.exportKeynote();

        ASSERT_EQ(panels.size(), 1);
        EXPECT_EQ(panels[0].title, "Export to Keynote file");
        EXPECT_EQ(panels[0].fileType, "key");
        EXPECT_EQ(panels[0].settings, TWExportPanelRequest::Settings::Keynote);
        EXPECT_EQ(alerts.alerts().size(), c.existing ? 1 : 0);
        for (const QString &name : c.written)
            EXPECT_TRUE(QFile::exists(path(name) + "/index.apxl")) << name.toStdString();
        if (c.written.isEmpty()) {
            EXPECT_FALSE(QFile::exists(path("Talk 1.key")));
        }
    }
}

TEST_F(KeynoteExportAction, PanelSettingsEditTheKeynoteDefaults)
{
    TWExportPanel panel({"Export to Keynote file",
                         "key",
                         TWExportPanelRequest::Settings::Keynote,
                         {"Current map", "Second"}});
    QComboBox *templates = nullptr;
    for (QComboBox *box : panel.findChildren<QComboBox *>())
        if (box->count() == 7)
            templates = box;
    ASSERT_NE(templates, nullptr);
    EXPECT_EQ(templates->currentIndex(), 2);
    templates->setCurrentIndex(5);
    EXPECT_EQ(defaults.integerForKey("ExportKeynoteVersionAndSize"), 5);

    struct Case
    {
        int maximum; // tells the two spin boxes apart
        const char *key;
        int initial, edited;
    };
    for (const Case &c : {Case{1000, "ExportKeynoteZoomPercent", 100, 60},
                          Case{100, "ExportKeynoteSubBranchesPerPage", 10, 3}}) {
        SCOPED_TRACE(c.key);
        QSpinBox *spin = nullptr;
        for (QSpinBox *candidate : panel.findChildren<QSpinBox *>())
            if (candidate->maximum() == c.maximum)
                spin = candidate;
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), 1);
        EXPECT_EQ(spin->value(), c.initial);
        spin->setValue(c.edited);
        EXPECT_EQ(defaults.integerForKey(c.key), c.edited);
    }
    auto *multiplier = panel.findChild<QDoubleSpinBox *>();
    ASSERT_NE(multiplier, nullptr);
    EXPECT_DOUBLE_EQ(multiplier->value(), 4.0);
    multiplier->setValue(2.5);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("ExportKeynoteTextSizeMultiplier"), 2.5);
    for (QCheckBox *box : panel.findChildren<QCheckBox *>())
        if (box->text() == "Include hidden branches")
            box->setChecked(false);
    EXPECT_FALSE(defaults.boolForKey("ExportKeynoteIncludeHiddenBranchText"));
}

TEST_F(KeynoteExportAction, PackagesTakeTheUsersFileMode)
{
    UserDefaults::standard().setInteger(3, "ExportKeynoteVersionAndSize");
    const struct
    {
        mode_t umask;
        int existing; // mode of a package already there; 0 for none
        mode_t folder;
        mode_t file;
    } cases[] = {
        {022, 0, 0755, 0644},
        {027, 0, 0750, 0640},
        {002, 0, 0775, 0664},
        {077, 0, 0700, 0600},
        // A package replaced keeps its mode, as a saved document does.
        {022, 0751, 0751, 0644},
    };
    struct RestoreUmask
    {
        mode_t mask;
        ~RestoreUmask() { ::umask(mask); }
    } restore{::umask(022)};
    for (const auto &c : cases) {
        SCOPED_TRACE(QString::number(c.umask, 8).toStdString());
        ::umask(c.umask);
        QDir(path("Talk.key")).removeRecursively();
        if (c.existing) {
            ASSERT_TRUE(QDir(outDir.path()).mkdir("Talk.key"));
            ASSERT_EQ(::chmod(QFile::encodeName(path("Talk.key")).constData(), c.existing), 0);
        }
        alerts.clear();
        panelAnswer = TWExportPanelResult{path("Talk.key"), {0}};
        controller.exportKeynote();
        struct stat folder, file;
        ASSERT_EQ(::stat(QFile::encodeName(path("Talk.key")).constData(), &folder), 0);
        ASSERT_EQ(::stat(QFile::encodeName(path("Talk.key/index.apxl")).constData(), &file), 0);
        EXPECT_EQ(folder.st_mode & 07777, c.folder);
        EXPECT_EQ(file.st_mode & 07777, c.file);
    }
}
