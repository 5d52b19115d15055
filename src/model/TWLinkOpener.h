#pragma once

#include <QString>
#include <QUrl>

// Where followed links go outside the program: the desktop's handlers for
// web, mail and file addresses. The program uses DesktopLinkOpener; tests
// install a recording one.
class TWLinkOpener
{
public:
    virtual ~TWLinkOpener() = default;

    // Hands the address to the desktop's handler for its scheme; false when
    // no handler took it.
    virtual bool openURL(const QUrl &url) = 0;
    // Shows the folder that holds the file, without opening the file itself.
    virtual bool revealFile(const QString &path) = 0;
};

class DesktopLinkOpener : public TWLinkOpener
{
public:
    bool openURL(const QUrl &url) override;
    bool revealFile(const QString &path) override;
};
