#pragma once

#include "BranchTestSupport.h"
#include "exchange/TWExportController.h"
#include "graphics/TWRectangle.h"
#include "platform/RecordingAlerts.h"

#include <QDir>
#include <functional>

namespace ExportTest {

// The windows as an export sees them: one open document, its current map,
// and the steps asked of the window, in order.
class FakeHost : public TWExportHost
{
public:
    QList<TWMapsDoc *> documents;
    QStringList steps;
    QList<OutlineTextRequest> textRequests;
    // Called when the window is held, to see what it shows while drawing.
    std::function<void()> onHold;

    TWMapsDoc *activeDocument() override
    {
        return documents.isEmpty() ? nullptr : documents.first();
    }
    QList<TWMapsDoc *> orderedDocuments() override { return documents; }
    void endEditingTextArea(TWMapsDoc &) override { steps << QStringLiteral("end editing"); }
    void setWindowUpdatesEnabled(TWMapsDoc &, bool enabled) override
    {
        steps << (enabled ? QStringLiteral("resume") : QStringLiteral("hold"));
        if (!enabled && onHold)
            onHold();
    }
    // Stands in for the outline writer: branch text (bit 16) of the root and
    // its children, one line each.
    std::optional<AttributedString> outlineText(TWMap &map,
                                                const OutlineTextRequest &request) override
    {
        textRequests << request;
        AttributedString text;
        if (!(request.options & 16) || !map.root())
            return text;
        QStringList lines{BranchTest::nameOf(*map.root())};
        for (const auto &child : map.root()->children())
            lines << QStringLiteral("\t") + BranchTest::nameOf(*child);
        return AttributedString(lines.join(QLatin1Char('\n')));
    }
};

class ExportFixture : public BranchTest::BranchFixture
{
protected:
    ExportFixture() : alertsScope(&alerts)
    {
        TWExportController::registerDefaults(defaults);
        host.documents = {document.get()};
        controller.setHost(&host);
        controller.setPanelRunner([this](const TWExportPanelRequest &request) {
            panels << request;
            return panelAnswer;
        });
        // A drawn shape in place of the fixture's plain graphic.
        root = TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(Rect(300, 200, 100, 40)),
                                              nullptr, map.get());
        root->enclosedTextArea()->setString(QStringLiteral("root"));
        map->setRoot(root);
        root->mainGraphic()->setFillColor(Color::colorWithCalibratedRed(1, 0.8, 0.2));
        root->mainGraphic()->setStrokeWidth(3);
        settle();
    }

    void addChildren()
    {
        child(root, 260, "first");
        child(root, 300, "second");
        settle();
    }

    // Makes the map current as the window would, leaving nothing to undo.
    void showMap(int index)
    {
        document->setCurrentMapNumber(index);
        settle();
        undo->removeAllActions();
    }

    // Sizes the root so that the printing bounds are exactly `size`.
    void setPrintingSize(Size size)
    {
        for (int i = 0; i < 2; ++i) {
            const Rect printing = map->getBoundingPrintingRectForAllGraphics();
            Rect bounds = root->mainGraphic()->bounds();
            bounds.size.width += size.width - printing.size.width;
            bounds.size.height += size.height - printing.size.height;
            root->mainGraphic()->setBounds(bounds);
        }
        ASSERT_EQ(map->getBoundingPrintingRectForAllGraphics().size, size);
    }

    // Two more maps after the fixture's; the last is left current.
    void addMaps()
    {
        for (const char *name : {"Second", "Third"}) {
            auto extra = TWMap::create(document.get());
            document->addMap(extra, false);
            auto r = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 120, 40}),
                                                    nullptr, extra.get());
            r->enclosedTextArea()->setString(QString::fromLatin1(name));
            extra->setRoot(r);
            extra->setName(QString::fromLatin1(name));
        }
    }

    QString path(const QString &name) const { return outDir.filePath(name); }

    QTemporaryDir outDir;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    FakeHost host;
    TWExportController controller;
    QList<TWExportPanelRequest> panels;
    std::optional<TWExportPanelResult> panelAnswer;
};

} // namespace ExportTest
