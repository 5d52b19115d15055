#pragma once

#include <QString>
#include <QVariant>
#include <functional>

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

private:
    Chain m_chain;
};
