#pragma once

#include "ExportTestSupport.h"
#include "exchange/TWPowerPointExporter.h"
#include "interface/ProgressPanelController.h"
#include "model/TWAttachedText.h"
#include "platform/UndoManager.h"

namespace PowerPointTest {

using Op = TWPowerPointOperation;

// Records every operation, and can refuse the Nth (0-based) or the start.
class RecordingHost : public TWPowerPointHost
{
public:
    QList<Op> operations;
    int failAt = -1;
    bool diesOnFailure = false;
    bool alive = true;
    bool launchFails = false;
    bool saveFails = false;
    int launches = 0;
    QStringList saved;

    bool launch(QString *error) override
    {
        ++launches;
        if (launchFails)
            *error = QStringLiteral("no office here");
        return !launchFails;
    }
    bool run(const Op &operation, QString *error) override
    {
        // A real host waits for each answer and hears Cancel meanwhile.
        if (onRun)
            onRun(int(operations.size()));
        if (m_whileWaiting && !m_whileWaiting()) {
            *error = QStringLiteral("cancelled");
            alive = false;
            return false;
        }
        operations << operation;
        if (operations.size() - 1 == failAt) {
            *error = QStringLiteral("refused");
            alive = !diesOnFailure;
            return false;
        }
        return true;
    }
    bool save(const QString &path, QString *error) override
    {
        saved << path;
        if (onSave)
            onSave();
        if (saveFails || !alive)
            *error = alive ? QStringLiteral("disk full") : QStringLiteral("not running");
        return !saveFails && alive;
    }
    void quit() override { ++quits; }
    void quitInBackground() override { ++backgroundQuits; }
    std::function<void(int operation)> onRun;
    std::function<void()> onSave;
    int quits = 0;
    int backgroundQuits = 0;
    bool isAlive() const override { return alive; }

    QList<Op> ofKind(Op::Kind kind) const
    {
        QList<Op> out;
        for (const Op &op : operations)
            if (op.kind == kind)
                out << op;
        return out;
    }
    QStringList commands() const
    {
        QStringList out;
        for (const Op &op : operations)
            out << op.commandText();
        return out;
    }
};

class PowerPointFixture : public ExportTest::ExportFixture
{
protected:
    PowerPointFixture()
    {
        exporter.setPictureFolder(outDir.filePath(QStringLiteral("pictures")));
        exporter.setProgressPanel(&progress);
        exporter.setPanelRunner([this](const TWExportPanelRequest &request) {
            panels << request;
            return panelAnswer;
        });
        controller.refreshMapArrayController();
    }

    void addNote(TWMapBranch &branch, const QString &text)
    {
        auto note = std::make_shared<TWAttachedText>(QStringLiteral("Notes"), nullptr);
        note->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(note, 0);
    }

    bool exportAll()
    {
        controller.refreshMapArrayController();
        QList<int> rows;
        for (int i = 0; i < controller.mapRows().size(); ++i)
            rows << i;
        return exporter.exportSelectedMaps(rows, outDir.filePath(QStringLiteral("out.pptx")));
    }

    RecordingHost ppt;
    ProgressPanelController progress;
    TWPowerPointExporter exporter{controller, ppt};
};

} // namespace PowerPointTest
