#include "platform/FileStamp.h"

#include <QFile>
#include <sys/stat.h>

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
    struct stat info{};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    stamp.size = qint64(info.st_size);
    stamp.modifiedNanoseconds = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return stamp;
}

bool FileStamp::changedAt(const QString &path) const
{
    if (!exists)
        return false;
    const FileStamp now = of(path);
    return now.exists && now != *this;
}
