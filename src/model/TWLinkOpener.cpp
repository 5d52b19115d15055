#include "model/TWLinkOpener.h"
#include "model/TWDocumentFetcher.h"
#include "model/TWLinkServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>

bool DesktopLinkOpener::openURL(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopLinkOpener::revealFile(const QString &path)
{
    // Opening the folder shows the file without handing the file itself to
    // any application.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

namespace {
TWLinkServices g_installed;
} // namespace

void TWLinkServices::openURL(const QUrl &url)
{
    current().opener->openURL(url);
}

TWLinkServices TWLinkServices::current()
{
    TWLinkServices services = g_installed;
    if (!services.opener) {
        static DesktopLinkOpener desktop;
        services.opener = &desktop;
    }
    if (!services.fetcher) {
        // Made on first use and owned by the application object, which the
        // network manager needs and must not outlive.
        static QPointer<NetworkDocumentFetcher> network;
        if (!network)
            network = new NetworkDocumentFetcher(QCoreApplication::instance());
        services.fetcher = network.data();
    }
    return services;
}

void TWLinkServices::setCurrent(const TWLinkServices &services)
{
    g_installed = services;
}

TWLinkServices::Scope::Scope(const TWLinkServices &services)
    : m_opener(g_installed.opener), m_documents(g_installed.documents),
      m_fetcher(g_installed.fetcher)
{
    g_installed = services;
}

TWLinkServices::Scope::~Scope()
{
    g_installed = {m_opener, m_documents, m_fetcher};
}
