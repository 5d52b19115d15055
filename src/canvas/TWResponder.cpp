#include "canvas/TWResponder.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSet>

TWResponder *TWActionRouter::targetForAction(const QString &selector) const
{
    if (!m_chain)
        return nullptr;
    for (TWResponder *responder : m_chain()) {
        if (responder && responder->respondsToAction(selector))
            return responder;
    }
    return nullptr;
}

bool TWActionRouter::validateAction(const QString &selector) const
{
    const TWResponder *target = targetForAction(selector);
    return target && target->validateAction(selector);
}

bool TWActionRouter::sendAction(const QString &selector, const QVariant &argument) const
{
    TWResponder *target = targetForAction(selector);
    if (!target || !target->validateAction(selector))
        return false;
    target->performAction(selector, argument);
    return true;
}

// --- menu items ---

namespace {

const char *const SelectorProperty = "twSelector";

// Before Qt decides whether a key is a shortcut, the items with that
// shortcut are validated, so a shortcut fires exactly when its item would be
// enabled in the menu.
class ShortcutValidator : public QObject
{
public:
    static ShortcutValidator &shared()
    {
        static auto *validator = new ShortcutValidator;
        return *validator;
    }
    void add(QAction *action, const TWActionRouter *router)
    {
        m_actions.append({action, router});
        if (!m_installed && qApp) {
            qApp->installEventFilter(this);
            m_installed = true;
        }
        QObject::connect(action, &QObject::destroyed, this, [this, action] {
            m_actions.removeIf([action](const Entry &e) { return e.action == action; });
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const Entry &entry : std::as_const(m_actions)) {
            if (!entry.action || entry.action->shortcut().isEmpty())
                continue;
            if (entry.action->shortcuts().contains(pressed))
                entry.router->validateAction(entry.action);
        }
        return false;
    }

private:
    struct Entry
    {
        QPointer<QAction> action;
        const TWActionRouter *router;
    };
    QList<Entry> m_actions;
    bool m_installed = false;
};

} // namespace

QAction *TWActionRouter::makeAction(const QString &selector, const QString &title, QObject *owner,
                                    const QVariant &data) const
{
    auto *action = new QAction(title, owner);
    action->setProperty(SelectorProperty, selector);
    action->setData(data);
    QObject::connect(action, &QAction::triggered, action,
                     [this, action, selector] { sendAction(selector, action->data()); });
    ShortcutValidator::shared().add(action, this);
    return action;
}

QString TWActionRouter::selectorOfAction(const QAction *action)
{
    return action ? action->property(SelectorProperty).toString() : QString();
}

void TWActionRouter::validateAction(QAction *action) const
{
    const QString selector = selectorOfAction(action);
    if (selector.isEmpty())
        return;
    const TWResponder *target = targetForAction(selector);
    if (!target) {
        action->setEnabled(false);
        return;
    }
    const TWResponder::ItemState state = target->validateMenuItem(selector, action->data());
    action->setEnabled(state.enabled);
    if (state.checked) {
        action->setCheckable(true);
        action->setChecked(*state.checked);
    }
    if (state.title)
        action->setText(*state.title);
}

void TWActionRouter::validateActions(const QList<QAction *> &actions) const
{
    for (QAction *action : actions)
        validateAction(action);
}

void TWActionRouter::validateBeforeShowing(QMenu *menu, QObject *context) const
{
    QObject::connect(menu, &QMenu::aboutToShow, context,
                     [this, menu] { validateActions(menu->actions()); });
}
