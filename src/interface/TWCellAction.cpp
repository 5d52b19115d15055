#include "interface/TWCellAction.h"

#include <QMetaMethod>

namespace TWCellAction {

namespace {

int methodIndex(const QObject *target, QByteArray name, const QObject *sender)
{
    if (!target || name.isEmpty())
        return -1;
    if (name.endsWith(':'))
        name.chop(1);
    const QMetaObject *meta = target->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() != name || method.methodType() == QMetaMethod::Signal)
            continue;
        if (method.parameterCount() == 0)
            return i;
        if (method.parameterCount() != 1)
            continue;
        const QMetaObject *wanted = method.parameterMetaType(0).metaObject();
        if (wanted && (!sender || sender->metaObject()->inherits(wanted)))
            return i;
    }
    return -1;
}

} // namespace

bool respondsTo(const QObject *target, const QByteArray &action, const QObject *sender)
{
    return methodIndex(target, action, sender) >= 0;
}

bool send(QObject *target, const QByteArray &action, QObject *sender)
{
    const int index = methodIndex(target, action, sender);
    if (index < 0)
        return false;
    const QMetaMethod method = target->metaObject()->method(index);
    if (method.parameterCount() == 0)
        return method.invoke(target, Qt::DirectConnection);
    // The parameter's type was checked against the sender's class above.
    void *argument = sender;
    return method.invoke(target, Qt::DirectConnection,
                         QGenericArgument(method.parameterTypeName(0).constData(), &argument));
}

} // namespace TWCellAction
