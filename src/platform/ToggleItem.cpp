#include "platform/ToggleItem.h"

#include <QAction>
#include <QDebug>

QAction *toggledItem(QObject *sender)
{
    if (auto *item = qobject_cast<QAction *>(sender))
        return item;
    qWarning().noquote() << QStringLiteral("Toggle not supported for: %1")
                                .arg(sender ? QString::fromUtf8(sender->metaObject()->className())
                                            : QStringLiteral("(null)"));
    return nullptr;
}
