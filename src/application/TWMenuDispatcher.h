#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class QAction;
class QKeySequence;
class QMenu;
class TWActionRouter;

// A menu item as a command's validation sees it: the action it sends, its
// tag and represented object; validation answers with the enabling and may
// set a check mark or a new title.
struct TWMenuItem
{
    QString selector;
    int tag = 0;
    QVariant representedObject;

    std::optional<bool> checked;
    std::optional<QString> title;
};

// Something on the menu chain that answers commands by their action name.
class TWMenuResponder
{
public:
    virtual ~TWMenuResponder() = default;
    virtual bool respondsToMenuAction(const QString &selector) const = 0;
    // Whether the item is enabled now; may set its check mark and title.
    virtual bool validateMenuItem(TWMenuItem &item) const = 0;
    virtual void performMenuAction(const TWMenuItem &item) = 0;
};

// The menu bar's commands: QActions that carry an action name, a tag and a
// represented object, sent along a responder chain (the focused widget, the
// canvas's own chain, the document, the application). Items are validated
// when their menu opens and again before a shortcut or a click runs them, so
// a disabled command never runs.
class TWMenuDispatcher : public QObject
{
    Q_OBJECT

public:
    // One link of the chain: a menu responder, or the canvas's router (its
    // editor and the canvas itself).
    struct Link
    {
        TWMenuResponder *responder = nullptr;
        const TWActionRouter *router = nullptr;
    };
    using Chain = std::function<QList<Link>()>;

    explicit TWMenuDispatcher(Chain chain, QObject *parent = nullptr);
    ~TWMenuDispatcher() override;

    // An item sending the selector; owned by `menu` when given, else by the
    // dispatcher.
    QAction *addAction(QMenu *menu, const QString &title, const QString &selector, int tag = 0,
                       const QKeySequence &shortcut = {},
                       const QVariant &representedObject = QVariant());
    // Validates the menu's items whenever it opens.
    void validateBeforeShowing(QMenu *menu);

    static TWMenuItem itemOfAction(const QAction *action);
    // Enables or disables the action, with check mark and title, from the
    // responder that would take it; no responder disables it.
    bool validate(QAction *action) const;
    // Runs the action's command when it is enabled now; false otherwise.
    bool dispatch(QAction *action);
    // The same for an item that is not a QAction.
    bool validateItem(TWMenuItem &item) const;
    bool sendItem(const TWMenuItem &item);

    QList<QAction *> actions() const { return m_actions; }
    // The action sending the selector with the tag, or null.
    QAction *actionFor(const QString &selector, int tag = 0) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Target
    {
        TWMenuResponder *responder = nullptr;
        const TWActionRouter *router = nullptr;
    };
    std::optional<Target> targetFor(const QString &selector) const;

    Chain m_chain;
    QList<QAction *> m_actions;
};

class QWidget;

// The focused widget's part in the chain when it is inside the window and
// takes menu commands.
TWMenuResponder *focusedMenuResponder(const QWidget *window);
