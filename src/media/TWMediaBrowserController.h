#pragma once

#include "media/MediaBrowser.h"
#include "media/TWMediaBrowserWindow.h"

#include <QPointer>
#include <QString>
#include <QStringList>

// Sets the media browser up (its panes: Photos, Adornments, Graphics) and
// opens its window, on the whole browser or on one pane.
class TWMediaBrowserController : public MediaBrowser
{
public:
    static inline const QString PhotosPane = QStringLiteral("iMBPhotosController");
    static inline const QString AdornmentsPane = QStringLiteral("TWAdornmentsBrowser");
    static inline const QString GraphicsPane = QStringLiteral("TWGraphicsBrowser");
    // Pane switches wait for the window to be shown.
    static constexpr int paneDelayMilliseconds = 100;

    // `resourceFolder` holds "Application Support/Thinkweb/..."; empty for
    // ../share/thinkweb beside the program.
    explicit TWMediaBrowserController(const QString &resourceFolder = QString());
    ~TWMediaBrowserController() override;
    static TWMediaBrowserController &sharedMediaBrowserController();

    // The panes, in toolbar order, by the class names the pane registry knows.
    static void registerBrowser(const QString &className);
    static void unregisterBrowser(const QString &className);
    static QStringList registeredBrowsers();

    void showMediaBrowser() override;
    void showPhotoLibrary() override;
    void showGraphicsLibrary() override;
    void showAdornmentsLibrary() override;

    // Made on first use.
    TWMediaBrowserWindow *browserWindow();
    QString resourceFolder() const { return m_resourceFolder; }
    // The user's pictures, shown by the Photos pane.
    QString photosFolder() const { return m_photosFolder; }
    void setPhotosFolder(const QString &folder) { m_photosFolder = folder; }

private:
    void showPane(const QString &className);
    TWMediaBrowserWindow::PaneKind paneKind(const QString &className) const;

    QString m_resourceFolder;
    QString m_photosFolder;
    QPointer<TWMediaBrowserWindow> m_window;
};
