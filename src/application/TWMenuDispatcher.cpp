#include "application/TWMenuDispatcher.h"

#include "canvas/TWResponder.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {

const char *const SelectorProperty = "twMenuSelector";
const char *const TagProperty = "twMenuTag";

// What the canvas's responders are handed: the represented object, else the
// tag, else nothing.
QVariant argumentOf(const TWMenuItem &item)
{
    if (item.representedObject.isValid())
        return item.representedObject;
    return item.tag ? QVariant(item.tag) : QVariant();
}

// The canvas's responders take the tag or represented object as the item.
bool askCanvasResponder(const TWResponder &target, TWMenuItem &item)
{
    const TWResponder::ItemState state = target.validateMenuItem(item.selector, argumentOf(item));
    if (state.checked)
        item.checked = state.checked;
    if (state.title)
        item.title = state.title;
    return state.enabled;
}

} // namespace

TWMenuResponder *focusedMenuResponder(const QWidget *window)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !window || focus->window() != window)
        return nullptr;
    for (QWidget *w = focus; w; w = w->parentWidget()) {
        if (auto *responder = dynamic_cast<TWMenuResponder *>(w))
            return responder;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

TWMenuDispatcher::TWMenuDispatcher(Chain chain, QObject *parent)
    : QObject(parent), m_chain(std::move(chain))
{
    // Shortcuts are matched after this filter has seen the key: the items
    // with that shortcut get their enabling first.
    if (qApp)
        qApp->installEventFilter(this);
}

TWMenuDispatcher::~TWMenuDispatcher() = default;

QAction *TWMenuDispatcher::addAction(QMenu *menu, const QString &title, const QString &selector,
                                     int tag, const QKeySequence &shortcut,
                                     const QVariant &representedObject)
{
    auto *action = new QAction(title, menu ? static_cast<QObject *>(menu) : this);
    action->setProperty(SelectorProperty, selector);
    action->setProperty(TagProperty, tag);
    action->setData(representedObject);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (menu)
        menu->addAction(action);
    m_actions.append(action);
    connect(action, &QObject::destroyed, this, [this, action] { m_actions.removeAll(action); });
    connect(action, &QAction::triggered, this, [this, action] { dispatch(action); });
    return action;
}

void TWMenuDispatcher::validateBeforeShowing(QMenu *menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction *action : menu->actions())
            if (!action->property(SelectorProperty).toString().isEmpty())
                validate(action);
    });
}

TWMenuItem TWMenuDispatcher::itemOfAction(const QAction *action)
{
    TWMenuItem item;
    if (!action)
        return item;
    item.selector = action->property(SelectorProperty).toString();
    item.tag = action->property(TagProperty).toInt();
    item.representedObject = action->data();
    return item;
}

QAction *TWMenuDispatcher::actionFor(const QString &selector, int tag) const
{
    for (QAction *action : m_actions)
        if (action->property(SelectorProperty).toString() == selector &&
            action->property(TagProperty).toInt() == tag)
            return action;
    return nullptr;
}

std::optional<TWMenuDispatcher::Target> TWMenuDispatcher::targetFor(const QString &selector) const
{
    if (!m_chain)
        return std::nullopt;
    for (const Link &link : m_chain()) {
        if (link.responder && link.responder->respondsToMenuAction(selector))
            return Target{link.responder, nullptr};
        if (link.router && link.router->targetForAction(selector))
            return Target{nullptr, link.router};
    }
    return std::nullopt;
}

bool TWMenuDispatcher::validateItem(TWMenuItem &item) const
{
    const std::optional<Target> target = targetFor(item.selector);
    if (!target)
        return false;
    if (target->responder)
        return target->responder->validateMenuItem(item);
    const TWResponder *responder = target->router->targetForAction(item.selector);
    return responder && askCanvasResponder(*responder, item);
}

bool TWMenuDispatcher::sendItem(const TWMenuItem &item)
{
    TWMenuItem checked = item;
    if (!validateItem(checked))
        return false;
    const std::optional<Target> target = targetFor(item.selector);
    if (target->responder)
        target->responder->performMenuAction(item);
    else
        target->router->sendAction(item.selector, argumentOf(item));
    return true;
}

bool TWMenuDispatcher::validate(QAction *action) const
{
    if (!action)
        return false;
    TWMenuItem item = itemOfAction(action);
    const bool enabled = validateItem(item);
    action->setEnabled(enabled);
    if (item.checked) {
        action->setCheckable(true);
        action->setChecked(*item.checked);
    }
    if (item.title)
        action->setText(*item.title);
    return enabled;
}

bool TWMenuDispatcher::dispatch(QAction *action)
{
    // A shortcut or a stale menu may fire an item that is disabled by now.
    if (!validate(action))
        return false;
    return sendItem(itemOfAction(action));
}

bool TWMenuDispatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction *action : std::as_const(m_actions))
            if (action->shortcuts().contains(pressed))
                validate(action);
    }
    return QObject::eventFilter(watched, event);
}
