#pragma once

// Shared by the implementation files of TWMapsDoc only.

#include "model/TWMapsDoc.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

#include <QDebug>

// Registers `inverse(TWMapsDoc &)` with the document's undo manager. The step
// refers to the document weakly: the undo manager belongs to the document
// window, which may outlive this document.
template <class F> void TWMapsDoc::registerUndo(F &&inverse)
{
    if (!undoRegistrationActive())
        return;
    std::weak_ptr<TWMapsDoc> self = weak_from_this();
    m_undoManager->registerUndo([self, inverse = std::forward<F>(inverse)]() mutable {
        if (const std::shared_ptr<TWMapsDoc> document = self.lock())
            inverse(*document);
    });
}

template <class T>
bool TWMapsDoc::listInsert(QList<T> &list, const T &value, int index,
                           void (TWMapsDoc::*inverseRemove)(int), const char *actionName)
{
    if (index < 0 || index > list.size()) {
        qWarning().noquote() << "TWMapsDoc: insertion at index" << index << "out of range";
        return false;
    }
    registerUndo([index, inverseRemove](TWMapsDoc &d) { (d.*inverseRemove)(index); });
    nameUndoAction(actionName);
    list.insert(index, value);
    return true;
}

template <class T>
bool TWMapsDoc::listRemove(QList<T> &list, int index,
                           void (TWMapsDoc::*inverseInsert)(const T &, int), const char *actionName)
{
    if (index < 0 || index >= list.size()) {
        qWarning().noquote() << "TWMapsDoc: removal at index" << index << "out of range";
        return false;
    }
    registerUndo([old = list.at(index), index, inverseInsert](TWMapsDoc &d) {
        (d.*inverseInsert)(old, index);
    });
    nameUndoAction(actionName);
    list.removeAt(index);
    return true;
}

template <class T>
bool TWMapsDoc::listReplace(QList<T> &list, int index, const T &value,
                            void (TWMapsDoc::*inverseReplace)(int, const T &),
                            const char *actionName)
{
    if (index < 0 || index >= list.size()) {
        qWarning().noquote() << "TWMapsDoc: replacement at index" << index << "out of range";
        return false;
    }
    registerUndo([old = list.at(index), index, inverseReplace](TWMapsDoc &d) {
        (d.*inverseReplace)(index, old);
    });
    nameUndoAction(actionName);
    list[index] = value;
    return true;
}

namespace TWMapsDocDetail {
// A sub-range of a list, empty (with a warning) when it does not fit.
template <class T> QList<T> range(const QList<T> &list, int location, int length)
{
    if (location < 0 || length < 0 || qsizetype(location) + length > list.size()) {
        qWarning().noquote() << "TWMapsDoc: range" << location << length << "out of bounds";
        return {};
    }
    return list.mid(location, length);
}

template <class T> T at(const QList<T> &list, int index)
{
    if (index < 0 || index >= list.size()) {
        qWarning().noquote() << "TWMapsDoc: index" << index << "out of range";
        return T();
    }
    return list.at(index);
}
} // namespace TWMapsDocDetail
