#include "platform/Document.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace {
// Window to document: what the window's delegate was.
QHash<const QWidget *, QPointer<Document>> &owners()
{
    static QHash<const QWidget *, QPointer<Document>> map;
    return map;
}
} // namespace

Document::Document(QObject *parent) : QObject(parent) {}

Document::~Document()
{
    for (auto it = owners().begin(); it != owners().end();) {
        if (it.value() == this || it.value().isNull())
            it = owners().erase(it);
        else
            ++it;
    }
}

Document *Document::forWindow(const QWidget *window)
{
    return window ? owners().value(window).data() : nullptr;
}

void Document::setWindow(QWidget *window)
{
    if (!window)
        return;
    owners().insert(window, this);
    connect(window, &QObject::destroyed, this, [window] { owners().remove(window); });
}

DocumentController::~DocumentController() = default;
