#include "application/TWTutorController.h"

#include "platform/Alerts.h"
#include "platform/TWHTTPFetch.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/PropertyList.h"
#include "support/TWPreferences.h"

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
UserDefaults &defaults()
{
    return UserDefaults::standard();
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

const QString IdKey = QStringLiteral("id");
const QString UrlKey = QStringLiteral("url");
const QString StatusKey = QStringLiteral("status");
const QString TitleKey = QStringLiteral("title");
const QString FirstRunKey = QStringLiteral("firstRun");
const QString CachedKey = QStringLiteral("cachedComponents");
const QString LastOpenedKey = QStringLiteral("lastOpenedComponentID");

QString serverBase()
{
    return defaults().stringForKey(TWPreferences::ServerBaseURLKey).trimmed();
}
} // namespace

TWTutorController &TWTutorController::sharedTutorController()
{
    static TWTutorController *shared = new TWTutorController;
    return *shared;
}

TWTutorController::TWTutorController()
    : m_fetch(new TWHTTPFetch(this)), m_pageFetch(new TWHTTPFetch(this))
{
    if (!defaults().objectForKey(PreferencesKey).isValid())
        defaults().setObject(QVariantMap{{FirstRunKey, true}}, PreferencesKey);
    if (QCoreApplication *app = QCoreApplication::instance())
        m_quitConnection = connect(app, &QCoreApplication::aboutToQuit, this,
                                   &TWTutorController::applicationWillTerminate);
}

TWTutorController::~TWTutorController()
{
    delete m_mainWindow.data();
}

bool TWTutorController::isFetching() const
{
    return m_fetch->isRunning();
}

void TWTutorController::showTutorAlert()
{
    const int answer = Alerts::current().runAlertPanel(
        dadoZiz("Open the tutorials?"),
        dadoZiz("Thinkweb has a tutorial feature that can help you to get the most out of your "
                "software.\n\nWould you like to view the tutorials now?"),
        {TWLocalizedString(StringTable::General, "Yes"), dadoZiz("Don't ask again"),
         TWLocalizedString(StringTable::General, "No")});
    if (answer == 0)
        showTutorWindow();
    else if (answer == 1)
        defaults().setBool(false, TWPreferences::PromptForTutorAtStartupKey);
}

QVariant TWTutorController::valueForPreferenceKey(const QString &key) const
{
    return defaults().objectForKey(PreferencesKey).toMap().value(key);
}

void TWTutorController::setValue(const QVariant &value, const QString &key)
{
    if (!value.isValid() || key.isEmpty())
        return;
    QVariantMap preferences = defaults().objectForKey(PreferencesKey).toMap();
    preferences.insert(key, value);
    defaults().setObject(preferences, PreferencesKey);
}

std::optional<QVariantList> TWTutorController::componentsFromData(const QByteArray &data)
{
    const std::optional<QVariant> plist = PropertyList::propertyListWithData(data);
    if (!plist || plist->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    // Only dictionaries are components; anything else in the list is dropped.
    QVariantList components;
    for (const QVariant &v : plist->toList())
        if (v.typeId() == QMetaType::QVariantMap)
            components << v;
    return components;
}

void TWTutorController::showTutorWindow()
{
    if (m_componentsArray.isEmpty()) {
        downloadComponentsAndDisplay();
        return;
    }
    if (!m_mainWindow)
        awakeFromNib();
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void TWTutorController::downloadComponentsAndDisplay()
{
    const auto install = [this](const std::optional<QVariantList> &components) {
        setComponentsArray(components);
        if (!m_componentsArray.isEmpty())
            showTutorWindow();
    };
    // Without a server of the maker's, the tutorials that come with the program.
    if (serverBase().isEmpty()) {
        QFile shipped(ShippedComponents);
        install(shipped.open(QIODevice::ReadOnly) ? componentsFromData(shipped.readAll())
                                                  : std::nullopt);
        return;
    }
    const QUrl url = TWHTTPFetch::urlWithBase(serverBase(), ComponentsPath);
    // The network never blocks the window; a fetch under way serves both requests.
    if (m_fetch->isRunning())
        return;
    m_fetch->get(url, [install](const TWHTTPFetch::Result &result) {
        install(result.ok ? componentsFromData(result.data) : std::nullopt);
    });
}

void TWTutorController::setComponentsArray(const std::optional<QVariantList> &components)
{
    m_currentIndex = -1;
    if (components) {
        m_componentsArray = *components;
        setValue(*components, CachedKey);
        return;
    }
    m_componentsArray = valueForPreferenceKey(CachedKey).toList();
    if (m_componentsArray.isEmpty())
        Alerts::current().runAlertPanel(
            dadoZiz("Could not load tutorials"),
            dadoZiz("The Thinkweb tutorials require web access. Please ensure that your internet "
                    "connection is enabled."),
            {TWLocalizedString(StringTable::General, "OK")});
}

int TWTutorController::indexOfComponentWithID(const QString &identifier) const
{
    for (qsizetype i = 0; i < m_componentsArray.size(); ++i)
        if (m_componentsArray.at(i).toMap().value(IdKey).toString() == identifier)
            return int(i);
    return -1;
}

void TWTutorController::awakeFromNib()
{
    auto *window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(dadoZiz("Tutorials"));
    auto *layout = new QVBoxLayout(window);
    auto *splitter = new QSplitter(Qt::Horizontal, window);
    m_table = new QTableWidget(splitter);
    m_table->setColumnCount(1);
    m_table->setHorizontalHeaderLabels({dadoZiz("Tutorial")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_webView = new QTextBrowser(splitter);
    m_webView->setOpenLinks(false);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter);
    const QByteArray frame = defaults().objectForKey(FrameKey).toByteArray();
    if (frame.isEmpty() || !window->restoreGeometry(frame))
        window->resize(720, 480);
    m_mainWindow = window;

    // The stored statuses win over the fetched ones.
    const QVariantMap preferences = defaults().objectForKey(PreferencesKey).toMap();
    for (QVariant &v : m_componentsArray) {
        QVariantMap component = v.toMap();
        const QString id = component.value(IdKey).toString();
        if (!id.isEmpty() && preferences.contains(id))
            component.insert(StatusKey, preferences.value(id));
        v = component;
    }
    m_table->setRowCount(int(m_componentsArray.size()));
    for (qsizetype i = 0; i < m_componentsArray.size(); ++i) {
        const QVariantMap component = m_componentsArray.at(i).toMap();
        const QString title = component.value(TitleKey, component.value(IdKey)).toString();
        m_table->setItem(int(i), 0, new QTableWidgetItem(title));
    }
    connect(m_table, &QTableWidget::currentCellChanged, this,
            [this](int row) { openComponent(row); });
    const int last = indexOfComponentWithID(preferences.value(LastOpenedKey).toString());
    if (last >= 0 && preferences.contains(LastOpenedKey)) {
        openComponent(last);
        const QSignalBlocker blocker(m_table);
        m_table->setCurrentCell(last, 0);
    } else {
        openComponent(0);
    }
}

bool TWTutorController::isAllowedPage(const QUrl &url)
{
    if (url.scheme() == u"qrc")
        return url.path().startsWith(u"/tutorials/");
    return TWHTTPFetch::isAcceptableURL(url);
}

void TWTutorController::openComponent(int index)
{
    if (index < 0 || index >= m_componentsArray.size() || index == m_currentIndex)
        return;
    m_currentIndex = index;
    QVariantMap component = m_componentsArray.at(index).toMap();
    if (component.value(StatusKey).toInt() == 0) {
        component.insert(StatusKey, -1);
        m_componentsArray[index] = component;
    }
    if (component.contains(UrlKey))
        loadPage(QUrl(component.value(UrlKey).toString()));
}

void TWTutorController::loadPage(const QUrl &url)
{
    if (!isAllowedPage(url)) {
        qWarning("Tutorials: refusing the page %s", qPrintable(url.toString()));
        m_requestedURL.clear();
        if (m_webView)
            m_webView->clear();
        return;
    }
    m_requestedURL = url;
    if (url.scheme() == u"qrc") {
        if (m_webView)
            m_webView->setSource(url, QTextDocument::HtmlResource);
        emit pageLoaded(url);
        return;
    }
    // A page still loading gives way to the one chosen now.
    if (m_pageFetch->isRunning()) {
        delete m_pageFetch;
        m_pageFetch = new TWHTTPFetch(this);
    }
    m_pageFetch->get(url, [this, url](const TWHTTPFetch::Result &result) {
        if (m_webView) {
            if (result.ok)
                m_webView->setHtml(QString::fromUtf8(result.data));
            else
                m_webView->setPlainText(result.error);
        }
        emit pageLoaded(url);
    });
}

void TWTutorController::applicationWillTerminate()
{
    if (m_mainWindow)
        defaults().setObject(m_mainWindow->saveGeometry(), FrameKey);
    if (m_componentsArray.isEmpty())
        return;
    for (const QVariant &v : std::as_const(m_componentsArray)) {
        const QVariantMap component = v.toMap();
        const QString id = component.value(IdKey).toString();
        // An id must not overwrite the controller's own entries.
        if (!id.isEmpty() && component.contains(StatusKey) && id != FirstRunKey &&
            id != CachedKey && id != LastOpenedKey)
            setValue(component.value(StatusKey), id);
    }
    if (m_currentIndex >= 0)
        setValue(m_componentsArray.at(m_currentIndex).toMap().value(IdKey), LastOpenedKey);
}
