#pragma once

#include <QString>

// Checks the branch operations share.
namespace TWBranchOperations {

// True for 0 <= index < count; otherwise a log line naming the operation
// and a beep.
bool checkIndex(int index, qsizetype count, const char *operation);
// The letters, digits, '-' and '_' of a file extension, for package paths.
QString safeExtension(const QString &type);

} // namespace TWBranchOperations
