#pragma once

#include "model/TWDocumentFetcher.h"
#include "model/TWLinkDocuments.h"
#include "model/TWLinkOpener.h"

// The services links are followed through. Until others are installed: the
// desktop opener, the network fetcher and no documents (so links to map
// documents report that none could be made).
struct TWLinkServices
{
    TWLinkOpener *opener = nullptr;
    TWDocumentOpener *documents = nullptr;
    TWDocumentFetcher *fetcher = nullptr;

    static TWLinkServices current();
    // Hands the address to the current opener (for views that follow links).
    static void openURL(const QUrl &url);
    // Null members restore the defaults.
    static void setCurrent(const TWLinkServices &services);

    // Installs services for the lifetime of the guard.
    class Scope
    {
    public:
        explicit Scope(const TWLinkServices &services);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        TWLinkOpener *m_opener;
        TWDocumentOpener *m_documents;
        TWDocumentFetcher *m_fetcher;
    };
};
