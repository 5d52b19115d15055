#pragma once

#include <QByteArray>
#include <QObject>

// Target and action of the kit's cells: the action names an invokable method
// of the target (slot or Q_INVOKABLE) taking nothing or the sender. A trailing
// ":" in the name is ignored.
namespace TWCellAction {

bool respondsTo(const QObject *target, const QByteArray &action, const QObject *sender);
// Calls the action; false, and nothing called, when the target lacks it.
bool send(QObject *target, const QByteArray &action, QObject *sender);

} // namespace TWCellAction
