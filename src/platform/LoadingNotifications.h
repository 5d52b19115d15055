#pragma once

#include <QString>

// What a long read posts while it goes, for whoever shows progress: the
// start with the number of steps under CountKey, each step, the end.
namespace LoadingNotifications {
inline const QString Start = QStringLiteral("StartLoadingCountNotification");
inline const QString Increment = QStringLiteral("IncrementLoadingNotification");
inline const QString Finish = QStringLiteral("FinishLoadingNotification");
inline const QString CountKey = QStringLiteral("count");
} // namespace LoadingNotifications
