#pragma once

#include <QString>
#include <QtGlobal>

// What a file on disk was when a document last read or wrote it: enough to
// tell that another program has since rewritten or replaced it (a new inode
// after a rename over it, a new size or modification time after a write in
// place). Permissions and access times are not part of it.
struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNanoseconds = 0;

    // The file at path now; exists is false when there is none (or it
    // cannot be looked at).
    static FileStamp of(const QString &path);

    // Whether the file at path is no longer the one stamped: it was changed
    // or replaced. A file that is gone has not been changed by anyone whose
    // work a save would overwrite, and a stamp of no file sees no change.
    bool changedAt(const QString &path) const;

    bool operator==(const FileStamp &) const = default;
};
