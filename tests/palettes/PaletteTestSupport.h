#pragma once

#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteServices.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

namespace PaletteTest {

// Private user defaults, palette controllers that tests fill in, and a clock
// the tests advance by hand.
class Fixture
{
public:
    struct Services : TWPaletteServices
    {
        std::map<QString, TWPaletteBezel *> floating;
        std::map<std::pair<QWidget *, QString>, TWPaletteBezel *> docked;
        std::vector<std::pair<QString, QPoint>> detached;

        TWPaletteBezel *floatingBezel(const QString &id) override
        {
            auto it = floating.find(id);
            return it == floating.end() ? nullptr : it->second;
        }
        TWPaletteBezel *dockedBezel(QWidget *window, const QString &id) override
        {
            auto it = docked.find({window, id});
            return it == docked.end() ? nullptr : it->second;
        }
        void detachPalette(const QString &id, QPoint point) override
        {
            detached.emplace_back(id, point);
        }
    };

    struct Scheduled
    {
        double seconds;
        std::function<void()> work;
    };

    Fixture()
        : m_defaults(std::make_unique<UserDefaults>(m_dir.filePath(QStringLiteral("d.ini")))),
          m_scope(std::make_unique<UserDefaults::Scope>(m_defaults.get()))
    {
        TWPaletteServices::setInstance(&services);
        TWPaletteBezelContainerView::setScheduler(
            [this](double seconds, QObject *, std::function<void()> work) {
                scheduled.push_back({seconds, std::move(work)});
            });
    }
    ~Fixture()
    {
        TWPaletteServices::setInstance(nullptr);
        TWPaletteBezelContainerView::setScheduler(
            [](double s, QObject *c, std::function<void()> w) {
                QTimer::singleShot(int(s * 1000), c, std::move(w));
            });
    }

    // A restart: the stored values read back from the file by a new instance.
    void restartDefaults()
    {
        m_defaults->synchronize();
        m_scope.reset();
        m_defaults = std::make_unique<UserDefaults>(m_dir.filePath(QStringLiteral("d.ini")));
        m_scope = std::make_unique<UserDefaults::Scope>(m_defaults.get());
    }

    void runScheduled()
    {
        auto pending = std::move(scheduled);
        scheduled.clear();
        for (Scheduled &s : pending)
            s.work();
    }

    Services services;
    std::vector<Scheduled> scheduled;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<UserDefaults::Scope> m_scope;
};

// A bezel 300 wide around a palette view of the given size, at its full height.
inline TWPaletteBezel *makeBezel(const QString &id, QSize paletteSize = QSize(286, 200),
                                 int width = 300)
{
    auto *bezel = new TWPaletteBezel(QRect(0, 0, width, 100), id);
    auto *palette = new QWidget;
    palette->resize(paletteSize);
    bezel->setPalette(palette);
    bezel->setTitle(id);
    if (!bezel->isCollapsed())
        bezel->resize(width, int(bezel->minimumSize().height));
    else
        bezel->resize(width, int(bezel->collapsedHeight()));
    return bezel;
}

// Mouse events sent straight to a widget, at a point in its coordinates.
inline void sendMouse(QWidget *widget, QEvent::Type type, QPointF local,
                      Qt::MouseButtons buttons = Qt::LeftButton)
{
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent event(type, local, local, global,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void click(QWidget *widget, QPointF local)
{
    sendMouse(widget, QEvent::MouseButtonPress, local);
    sendMouse(widget, QEvent::MouseButtonRelease, local, Qt::NoButton);
}

} // namespace PaletteTest
