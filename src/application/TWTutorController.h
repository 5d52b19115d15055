#pragma once

#include "application/ApplicationServices.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <optional>

class QTableWidget;
class QTextBrowser;
#include <QWidget>
class TWHTTPFetch;

// The tutorial window: a list of tutorial components fetched from the
// maker's server (or the tutorials shipped with the program when no server is
// configured), cached for use without a connection, and the page of the
// component chosen in the list. Statuses and the last component shown are
// kept across launches.
class TWTutorController : public QObject, public TutorController
{
    Q_OBJECT

public:
    static inline const QString PreferencesKey = QStringLiteral("TWTutorPreferencesDeluxe");
    static inline const QString ComponentsPath =
        QStringLiteral("/Tutorials/Thinkweb4/Mac/Deluxe/TWTutorComponents.xml");
    static inline const QString ShippedComponents =
        QStringLiteral(":/tutorials/TWTutorComponents.xml");
    static inline const QString FrameKey = QStringLiteral("NSWindow Frame TWTutorWindowFrame");

    static TWTutorController &sharedTutorController();

    TWTutorController();
    ~TWTutorController() override;

    void showTutorAlert() override;
    void showTutorWindow() override;

    QVariant valueForPreferenceKey(const QString &key) const;
    void setValue(const QVariant &value, const QString &key);

    // A fetched list, or nothing when the fetch failed (then the cache).
    void setComponentsArray(const std::optional<QVariantList> &components);
    QVariantList componentsArray() const { return m_componentsArray; }
    int indexOfComponentWithID(const QString &identifier) const;
    void openComponent(int index);
    int currentComponentIndex() const { return m_currentIndex; }
    // Saves statuses and the component shown, as at quit.
    void applicationWillTerminate();

    // Pages come only from secure addresses, this machine or the shipped tutorials.
    static bool isAllowedPage(const QUrl &url);

    // --- for tests ---
    QWidget *mainWindow() const { return m_mainWindow; }
    QTextBrowser *webView() const { return m_webView; }
    QTableWidget *componentsTable() const { return m_table; }
    // The page last asked for; empty when none (or the address was refused).
    QUrl requestedURL() const { return m_requestedURL; }
    TWHTTPFetch *fetcher() const { return m_fetch; }
    bool isFetching() const;

signals:
    void pageLoaded(const QUrl &url);

private:
    void downloadComponentsAndDisplay();
    void awakeFromNib();
    void loadPage(const QUrl &url);
    static std::optional<QVariantList> componentsFromData(const QByteArray &data);

    QVariantList m_componentsArray;
    int m_currentIndex = -1;
    QPointer<QWidget> m_mainWindow;
    QTableWidget *m_table = nullptr;
    QTextBrowser *m_webView = nullptr;
    TWHTTPFetch *m_fetch = nullptr;
    TWHTTPFetch *m_pageFetch = nullptr;
    QUrl m_requestedURL;
    QMetaObject::Connection m_quitConnection;
};
