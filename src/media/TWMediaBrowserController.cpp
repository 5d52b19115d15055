#include "media/TWMediaBrowserController.h"

#include "media/TWAdornmentsFolder.h"
#include "media/TWGraphicsLibraryParser.h"
#include "platform/DataFolder.h"
#include "platform/TWLocalizedString.h"
#include "support/TWImageLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

MediaBrowser::~MediaBrowser() = default;

namespace {

constexpr int photosMaxDepth = 3;

QStringList &registry()
{
    // The browser's own photo pane stays; music and movies are none of ours.
    static QStringList panes{TWMediaBrowserController::PhotosPane,
                             QStringLiteral("iMBMusicController"),
                             QStringLiteral("iMBMoviesController")};
    return panes;
}

} // namespace

TWMediaBrowserController::TWMediaBrowserController(const QString &resourceFolder)
    : m_resourceFolder(resourceFolder.isEmpty() ? DataFolder::path() : resourceFolder),
      m_photosFolder(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
{
    TWImageLoader::registerImageTypes();
    unregisterBrowser(QStringLiteral("iMBMusicController"));
    unregisterBrowser(QStringLiteral("iMBMoviesController"));
    registerBrowser(AdornmentsPane);
    registerBrowser(GraphicsPane);
}

TWMediaBrowserController::~TWMediaBrowserController()
{
    delete m_window.data();
}

TWMediaBrowserController &TWMediaBrowserController::sharedMediaBrowserController()
{
    static auto *shared = new TWMediaBrowserController;
    return *shared;
}

void TWMediaBrowserController::registerBrowser(const QString &className)
{
    if (!registry().contains(className))
        registry().append(className);
}

void TWMediaBrowserController::unregisterBrowser(const QString &className)
{
    registry().removeAll(className);
}

QStringList TWMediaBrowserController::registeredBrowsers()
{
    return registry();
}

TWMediaBrowserWindow::PaneKind TWMediaBrowserController::paneKind(const QString &className) const
{
    TWMediaBrowserWindow::PaneKind kind;
    kind.className = className;
    if (className == AdornmentsPane) {
        kind.member = TWMediaBrowserPane::adornmentsMember();
        const QString folder = TWAdornmentsFolder::defaultDatabasePath(m_resourceFolder);
        kind.parse = [folder] { return TWAdornmentsFolder(folder).parseDatabase(); };
    } else if (className == GraphicsPane) {
        kind.member = TWMediaBrowserPane::graphicsMember();
        const QStringList folders = TWGraphicsLibraryParser::defaultFolders(m_resourceFolder);
        kind.parse = [folders] { return TWGraphicsLibraryParser(folders).parseDatabase(); };
    } else if (className == PhotosPane) {
        kind.member = TWMediaBrowserPane::photosMember();
        const QString folder = m_photosFolder;
        kind.parse = [folder]() -> std::shared_ptr<TWMediaNode> {
            // Pictures kept loose in the home folder are not scanned: the
            // whole home would be read on the main thread.
            if (folder.isEmpty() || QDir(folder) == QDir::home())
                return nullptr;
            TWAdornmentsFolder pictures(folder);
            pictures.setMaxDepth(photosMaxDepth);
            std::shared_ptr<TWMediaNode> root = pictures.parseDatabase();
            if (root) {
                root->name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Pictures"));
                root->iconName = QStringLiteral("folder");
            }
            return root;
        };
    }
    return kind;
}

TWMediaBrowserWindow *TWMediaBrowserController::browserWindow()
{
    if (!m_window) {
        QList<TWMediaBrowserWindow::PaneKind> panes;
        for (const QString &name : registeredBrowsers()) {
            TWMediaBrowserWindow::PaneKind kind = paneKind(name);
            if (kind.parse)
                panes.append(kind);
        }
        m_window = new TWMediaBrowserWindow(panes);
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    return m_window;
}

void TWMediaBrowserController::showMediaBrowser()
{
    TWMediaBrowserWindow *window = browserWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void TWMediaBrowserController::showPane(const QString &className)
{
    showMediaBrowser();
    QTimer::singleShot(paneDelayMilliseconds, m_window.data(), [window = m_window, className] {
        if (window)
            window->showPane(className);
    });
}

void TWMediaBrowserController::showPhotoLibrary()
{
    showPane(PhotosPane);
}

void TWMediaBrowserController::showGraphicsLibrary()
{
    showPane(GraphicsPane);
}

void TWMediaBrowserController::showAdornmentsLibrary()
{
    showPane(AdornmentsPane);
}
