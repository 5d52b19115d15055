#include "ExportTestSupport.h"
#include "exchange/KeynoteExportController.h"
#include "platform/UserDefaults.h"

#include <QFile>

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
