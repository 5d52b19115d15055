#pragma once

#include "graphics/TWChildConnection.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace BranchTest {

// Every graphic's bounds as their bits, in the map's order: what undo and
// redo of a move must give back exactly.
using BoundsBits = std::array<quint32, 4>;
inline std::vector<BoundsBits> boundsBitsOfAll(const TWMap &map)
{
    std::vector<BoundsBits> all;
    for (const std::shared_ptr<TWGraphic> &g : map.allGraphics()) {
        const Rect r = g->bounds();
        static_assert(sizeof(BoundsBits) == sizeof r);
        std::memcpy(all.emplace_back().data(), &r, sizeof r);
    }
    return all;
}

// The text of a branch, or "?" for one without a text area.
inline QString nameOf(const TWMapBranch &branch)
{
    return branch.enclosedTextArea() ? branch.enclosedTextArea()->text().string()
                                     : QStringLiteral("?");
}

// Records what branches and graphics ask of layout, boundaries and sizing,
// one line per call.
class RecordingLayout : public TWMapLayoutServices
{
public:
    QStringList calls;
    std::optional<Rect> boundaryPath;

    void makeNaturalSize(TWMapBranch &b, bool text, bool height) override
    {
        calls << QStringLiteral("natural size %1 %2 %3").arg(nameOf(b)).arg(text).arg(height);
    }
    void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &b, float w) override
    {
        calls << QStringLiteral("reposition %1 from %2").arg(nameOf(b)).arg(w);
    }
    void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &b, Rect, Rect) override
    {
        calls << QStringLiteral("move picture %1").arg(nameOf(b));
    }
    void updateBoundaryForChangedChild(TWMapBranch &b, TWMapBranch &c) override
    {
        calls << QStringLiteral("update boundary %1 for %2").arg(nameOf(b), nameOf(c));
    }
    void removeChildFromBoundary(TWMapBranch &b, TWMapBranch &c) override
    {
        calls << QStringLiteral("remove from boundary %1: %2").arg(nameOf(b), nameOf(c));
    }
    void invalidateBoundary(TWMapBranch &b) override
    {
        calls << QStringLiteral("invalidate boundary %1").arg(nameOf(b));
    }
    void recalculateBoundary(TWMapBranch &b) override
    {
        calls << QStringLiteral("recalculate boundary %1").arg(nameOf(b));
    }
    void updateBoundary(TWMapBranch &b) override
    {
        calls << QStringLiteral("boundary %1").arg(nameOf(b));
    }
    void moveBoundaryBy(TWMapBranch &b, float dx, float dy) override
    {
        calls << QStringLiteral("move boundary %1 by %2 %3").arg(nameOf(b)).arg(dx).arg(dy);
    }
    std::optional<Rect> boundaryPathBounds(TWMapBranch &) override { return boundaryPath; }
    void removeTooltipRects(TWMapBranch &b) override
    {
        calls << QStringLiteral("tooltips %1").arg(nameOf(b));
    }
    void autoArrangeWithMovedBranches(TWMap &, const BranchList &moved) override
    {
        QStringList names;
        for (const auto &b : moved)
            names << nameOf(*b);
        calls << QStringLiteral("arrange %1").arg(names.join(' '));
    }
    void recalculateOutlineNumbers(TWMap &) override { calls << QStringLiteral("renumber"); }
};

// Records notifications of the given names (every name when empty), with
// their senders.
class Recorder
{
public:
    explicit Recorder(const QStringList &names = {})
    {
        if (names.isEmpty())
            m_tokens.push_back(observe(QString()));
        for (const QString &name : names)
            m_tokens.push_back(observe(name));
    }
    QList<Notification> notifications;
    QStringList names() const
    {
        QStringList result;
        for (const Notification &n : notifications)
            result << n.name;
        return result;
    }
    int count(const QString &name) const { return int(names().count(name)); }
    void clear() { notifications.clear(); }

private:
    ObserverToken observe(const QString &name)
    {
        return NotificationCenter::defaultCenter().observe(
            name, nullptr, [this](const Notification &n) { notifications.append(n); });
    }
    std::vector<ObserverToken> m_tokens;
};

// A document with one map whose root is a 100 x 40 rectangle at (300, 200),
// recording layout services and user defaults of its own.
class BranchFixture : public ::testing::Test
{
protected:
    BranchFixture() : defaults(tempDir.filePath("defaults.ini")), defaultsScope(&defaults)
    {
        TWPreferences::registerDefaults(defaults);
        document = TWMapsDoc::create();
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
        // Settings that keep the branch rules apart from the map's: every
        // level shown, no layout after moves, nothing numbered or checked.
        map->branchDisplaySettingsForUpdate() = {.branchHideLevel = 999,
                                                 .layoutAssistanceMode = 1,
                                                 .orderingMode = 1,
                                                 .showAttachedGraphics = true,
                                                 .showTextIndicators = true,
                                                 .showCheckboxes = true,
                                                 .showPercentComplete = true,
                                                 .showPriorities = true,
                                                 .showResourcesAllocated = true,
                                                 .textMaxWidth = 200,
                                                 .outlineFont = std::nullopt};
        map->setLayoutServices(layout);
        root = newBranch(nullptr, Rect(300, 200, 100, 40), "root");
        map->setRoot(root);
        settle();
    }
    ~BranchFixture() override
    {
        document->detach();
        NotificationQueue::defaultQueue().flush();
    }

    // A new branch under `parent` (or a root) with its text set to `name`.
    std::shared_ptr<TWMapBranch> newBranch(TWMapBranch *parent, Rect bounds, const QString &name)
    {
        auto branch =
            TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(bounds), parent, map.get());
        branch->enclosedTextArea()->setString(name);
        return branch;
    }
    std::shared_ptr<TWMapBranch> child(const std::shared_ptr<TWMapBranch> &parent, float y,
                                       const QString &name, float x = 500)
    {
        return newBranch(parent.get(), Rect(x, y, 80, 30), name);
    }
    // Ends the pass: the undo group closes and queued notifications go out.
    void settle()
    {
        undo->closeEventGroup();
        NotificationQueue::defaultQueue().flush();
        layout->calls.clear();
    }
    QStringList names(const TWMapBranch::BranchList &branches) const
    {
        QStringList result;
        for (const auto &b : branches)
            result << nameOf(*b);
        return result;
    }

    QTemporaryDir tempDir;
    UserDefaults defaults;
    UserDefaults::Scope defaultsScope;
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<RecordingLayout> layout = std::make_shared<RecordingLayout>();
    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> root;
};

} // namespace BranchTest
