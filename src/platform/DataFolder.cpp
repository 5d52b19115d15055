#include "platform/DataFolder.h"

#include <QDir>
#include <QFileInfo>

namespace DataFolder {

QString path()
{
    // The running program's own folder, also where no application object exists.
    const QDir programs =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absoluteDir();
    const QString built = programs.filePath(QStringLiteral("share/thinkweb"));
    if (QFileInfo(built).isDir())
        return built;
    return QDir::cleanPath(programs.filePath(QStringLiteral("../share/thinkweb")));
}

} // namespace DataFolder
