#include "canvas/TWResponder.h"

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
