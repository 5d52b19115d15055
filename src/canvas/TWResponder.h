#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QObject;

// Something that performs actions named by selector ("delete:",
// "selectNextBranchUp:") and says whether it would do so now.
class TWResponder
{
public:
    virtual ~TWResponder() = default;
    virtual bool respondsToAction(const QString &selector) const = 0;
    // Whether the action is enabled now; asked only of a responder that
    // responds to it.
    virtual bool validateAction(const QString &selector) const { return true; }
    virtual void performAction(const QString &selector, const QVariant &argument) = 0;

    // What a menu item that sends the action shows now. `tag` is the item's
    // tag or represented object (its QAction's data).
    struct ItemState
    {
        bool enabled = true;
        std::optional<bool> checked; // a check mark; nothing leaves it alone
        std::optional<QString> title;
    };
    // Asked only of a responder that responds to the action.
    virtual ItemState validateMenuItem(const QString &selector, const QVariant &tag) const
    {
        return {validateAction(selector), std::nullopt, std::nullopt};
    }
};

// The chain an action travels: the text editor while a label is edited, the
// canvas, then its document. The first responder that knows the action
// takes it; a disabled action goes no further.
class TWActionRouter
{
public:
    using Chain = std::function<QList<TWResponder *>()>;

    explicit TWActionRouter(Chain chain) : m_chain(std::move(chain)) {}

    // The responder that would take the action, or null.
    TWResponder *targetForAction(const QString &selector) const;
    // A target exists and enables the action.
    bool validateAction(const QString &selector) const;
    // Performs the action; false when no responder takes it or it is disabled.
    bool sendAction(const QString &selector, const QVariant &argument = QVariant()) const;

    // --- menu items ---
    // A menu item for the action: triggering it sends the selector with the
    // item's data along the chain. Owned by `owner`, which must not outlive
    // the router. Validated before a menu holding it opens (see
    // validateBeforeShowing) and before its shortcut fires.
    QAction *makeAction(const QString &selector, const QString &title, QObject *owner,
                        const QVariant &data = QVariant()) const;
    // The selector an item made by makeAction() sends; empty for others.
    static QString selectorOfAction(const QAction *action);
    // Gives the items the state the responders answer; an item no responder
    // takes is disabled.
    void validateActions(const QList<QAction *> &actions) const;
    void validateAction(QAction *action) const;
    // Validates the menu's items each time just before it opens, for as long
    // as `context` (what owns the router, the canvas) lives.
    void validateBeforeShowing(QMenu *menu, QObject *context) const;

private:
    Chain m_chain;
};
