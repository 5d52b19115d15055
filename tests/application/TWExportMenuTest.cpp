#include "TWMenuTestSupport.h"

#include <QFile>

// The File menu's Export items reach the export controller, which writes the
// active window's maps.
TEST_F(MenuTest, ExportItemsWorkOnTheActiveWindowsMaps)
{
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    addChild(mapOf(second), QStringLiteral("Second's branch"));
    show(first);
    show(second);

    QList<TWExportPanelRequest> requests;
    QString chosen;
    exporter->controller().setPanelRunner(
        [&](const TWExportPanelRequest &request) -> std::optional<TWExportPanelResult> {
            requests << request;
            if (chosen.isEmpty())
                return std::nullopt;
            return TWExportPanelResult{chosen, {0}};
        });

    struct Case
    {
        const char *selector;
        const char *extension;
        QByteArray magic;
    };
    const Case cases[] = {
        {"exportPDF:", "pdf", "%PDF"},
        {"exportPNG:", "png", "\x89PNG"},
        {"exportRTF:", "rtf", "{\\rtf"},
        {"exportOPML:", "opml", "<?xml"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.selector);
        const QString selector = QString::fromLatin1(c.selector);
        QAction *action = first->menuDispatcher()->actionFor(selector);
        ASSERT_TRUE(action);
        ASSERT_TRUE(menuHolding(first, action));
        EXPECT_EQ(menuHolding(first, action)->title(), QStringLiteral("Export"));

        // No active window: nothing to export, the item is off.
        QApplication::setActiveWindow(nullptr);
        settle();
        EXPECT_FALSE(first->menuDispatcher()->validate(action));

        QApplication::setActiveWindow(second->documentWindow());
        settle();
        EXPECT_TRUE(first->menuDispatcher()->validate(action));
        // A cancelled panel writes nothing.
        chosen.clear();
        requests.clear();
        EXPECT_TRUE(send(first, selector));
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests.first().fileType, QLatin1String(c.extension));

        chosen = dir.filePath(QStringLiteral("out.") + QLatin1String(c.extension));
        EXPECT_TRUE(send(first, selector));
        QFile file(chosen);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        EXPECT_TRUE(written.startsWith(c.magic)) << written.left(16).toStdString();
        // The map written is the active window's, whichever menu bar was used.
        if (c.selector == std::string("exportRTF:") || c.selector == std::string("exportOPML:"))
            EXPECT_TRUE(written.contains("Second")) << written.left(400).toStdString();
    }
}
