#pragma once

#include <functional>

#include "exchange/TWPowerPointOperation.h"

#include <QString>

// The presentation program an export drives: started once, then asked to run
// one operation at a time, each answered before the next is sent, and finally
// to save what it built. Tests use a recording host.
class TWPowerPointHost
{
public:
    virtual ~TWPowerPointHost() = default;

    // Starts the program with a new, empty presentation; true at once when it
    // already runs. On failure `error` says why.
    virtual bool launch(QString *error) = 0;
    virtual bool run(const TWPowerPointOperation &operation, QString *error) = 0;
    // Writes the presentation to `path` (replacing it only once complete).
    virtual bool save(const QString &path, QString *error) = 0;
    // Ends the program; a later launch starts a new presentation.
    virtual void quit() = 0;
    // Asks the program to end without waiting for it; by default quit().
    virtual void quitInBackground() { quit(); }
    // False once the program has gone (ended, or was ended after a hang).
    virtual bool isAlive() const { return true; }

    // Called while an answer is awaited; false gives up the wait (the user
    // cancelled), which ends the program like a timeout.
    void setWhileWaiting(std::function<bool()> whileWaiting) { m_whileWaiting = std::move(whileWaiting); }

protected:
    std::function<bool()> m_whileWaiting;
};
