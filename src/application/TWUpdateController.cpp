#include "application/TWUpdateController.h"

#include "interface/ProgressPanelController.h"
#include "platform/Alerts.h"
#include "platform/TWHTTPFetch.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/PropertyList.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {
UserDefaults &defaults()
{
    return UserDefaults::standard();
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

QString general(const char *key)
{
    return TWLocalizedString(StringTable::General, key);
}

const QString VersionKey = QStringLiteral("version");
const QString UpdateURLKey = QStringLiteral("updateURL");
const QString ReleaseDateKey = QStringLiteral("releaseDate");
const QString CanDownloadKey = QStringLiteral("canDownload");
const QString IconKey = QStringLiteral("icon");
const QString IsCurrentKey = QStringLiteral("isCurrentVersion");

// One component of a version: its number and what follows it ("1b2" is 1, "b", 2).
struct VersionPart
{
    qlonglong number = 0;
    QString letters;
    qlonglong suffixNumber = 0;
};

VersionPart parsePart(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d*)([A-Za-z]*)(\\d*)"));
    const QRegularExpressionMatch m = form.match(text);
    VersionPart part;
    part.number = m.captured(1).left(18).toLongLong();
    part.letters = m.captured(2).toLower();
    part.suffixNumber = m.captured(3).left(18).toLongLong();
    return part;
}

// A small round picture for each named state, drawn so that no artwork is needed.
QIcon iconNamed(const QString &name)
{
    static const QHash<QString, std::pair<QColor, QChar>> looks = {
        {QStringLiteral("TWUpdateChangeNew"), {QColor(46, 139, 87), u'N'}},
        {QStringLiteral("TWUpdateChangeImproved"), {QColor(30, 110, 200), u'I'}},
        {QStringLiteral("TWUpdateChangeFixed"), {QColor(200, 120, 20), u'F'}},
        {QStringLiteral("TWUpdateCurrent"), {QColor(90, 90, 90), u'\u2713'}},
        {QStringLiteral("TWUpdateDownload"), {QColor(30, 110, 200), u'\u2193'}},
    };
    const auto it = looks.find(name);
    if (it == looks.end())
        return {};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(it->first);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QString(it->second));
    return QIcon(pixmap);
}
} // namespace

QString TWUpdateIconTransformer::transformedValue(const QVariant &type)
{
    bool ok = false;
    const int value = type.toInt(&ok);
    switch (ok ? value : 0) {
    case 1:
        return QStringLiteral("TWUpdateChangeNew");
    case 2:
        return QStringLiteral("TWUpdateChangeImproved");
    case 3:
        return QStringLiteral("TWUpdateChangeFixed");
    default:
        return {};
    }
}

TWUpdateController &TWUpdateController::sharedUpdateController()
{
    static TWUpdateController *shared = new TWUpdateController;
    return *shared;
}

TWUpdateController::TWUpdateController() : TWUpdateController(Environment()) {}

TWUpdateController::TWUpdateController(Environment environment)
    : m_environment(std::move(environment)), m_fetch(new TWHTTPFetch(this)),
      m_betaFetch(new TWHTTPFetch(this))
{
    defaults().registerDefaults({{CheckOnStartupKey, 1}});
    defaults().registerDefaults({{CheckIntervalKey, 7}});
    m_updateTimer.setSingleShot(true);
    connect(m_fetch, &TWHTTPFetch::progress, this, [this](qint64 received, qint64 expected) {
        m_totalLength = expected;
        m_currentLength = received;
    });
    if (m_environment.startDelay >= 0)
        QTimer::singleShot(m_environment.startDelay, this, &TWUpdateController::start);
    connect(&defaults(), &UserDefaults::changed, this, [this](const QString &key) {
        if (key == CheckOnStartupKey || key == CheckIntervalKey)
            timedUpdateIfNeeded();
    });
}

TWUpdateController::~TWUpdateController()
{
    delete m_updatesWindow.data();
}

bool TWUpdateController::hasUpdateAddress()
{
    return !defaults().stringForKey(TWPreferences::ServerBaseURLKey).trimmed().isEmpty();
}

void TWUpdateController::start()
{
    // No update address ships: a question or a check could only end in failure.
    // The question waits until an address is set.
    if (!hasUpdateAddress())
        return;
    if (!defaults().boolForKey(SeenNoticeKey)) {
        firstLaunch();
        return;
    }
    const long long mode = defaults().integerForKey(CheckOnStartupKey);
    if (mode == 1)
        automaticUpdate();
    else if (mode == 2)
        timedUpdateIfNeeded();
}

QDateTime TWUpdateController::now() const
{
    return m_environment.now ? m_environment.now() : QDateTime::currentDateTimeUtc();
}

void TWUpdateController::firstLaunch()
{
    const int answer = Alerts::current().runAlertPanel(
        dadoZiz("Update Checking"),
        dadoZiz("Thinkweb can check for updates automatically. By default, Thinkweb checks for "
                "updates whenever you start the application, provided you have an active Internet "
                "connection. You can change the setting for update checking in the Thinkweb "
                "preferences. No information is transmitted to Thinkweb during this process. Is "
                "it OK to check for updates now?"),
        {general("Yes"), general("No")});
    // Ended unanswered as the program ends: asked again next time.
    if (answer == Alerts::Unanswered)
        return;
    defaults().setBool(true, SeenNoticeKey);
    if (answer == 0)
        manualUpdate();
}

void TWUpdateController::manualUpdate()
{
    if (m_downloadActive)
        return;
    m_manualUpdate = true;
    downloadUpdateData();
}

void TWUpdateController::automaticUpdate()
{
    if (m_downloadActive)
        return;
    m_manualUpdate = false;
    downloadUpdateData();
}

// --- timers ---

void TWUpdateController::scheduleTimer(qint64 milliseconds, void (TWUpdateController::*action)())
{
    disconnect(m_timerAction);
    m_timerAction = connect(&m_updateTimer, &QTimer::timeout, this, action);
    m_updateTimer.start(int(std::clamp<qint64>(milliseconds, 0, INT_MAX)));
}

std::optional<int> TWUpdateController::pendingTimerInterval() const
{
    return m_updateTimer.isActive() ? std::optional<int>(m_updateTimer.interval()) : std::nullopt;
}

void TWUpdateController::timedUpdateIfNeeded()
{
    m_updateTimer.stop();
    disconnect(m_timerAction);
    const long long interval = defaults().integerForKey(CheckIntervalKey);
    if (!hasUpdateAddress() || defaults().integerForKey(CheckOnStartupKey) != 2 || interval < 1)
        return;
    // Days beyond a century are as good as never; the bound keeps the sums exact.
    const qint64 intervalMs = std::min<long long>(interval, 36500) * 86400LL * 1000;
    const QDateTime last = defaults().objectForKey(LastCheckKey).toDateTime();
    const qint64 elapsed = last.isValid() ? last.msecsTo(now()) : intervalMs;
    const qint64 remaining = std::max<qint64>(intervalMs - elapsed, 0);
    // A timer holds at most about 24 days: look again then.
    if (remaining > INT_MAX)
        scheduleTimer(INT_MAX, &TWUpdateController::timedUpdateIfNeeded);
    else
        scheduleTimer(remaining, &TWUpdateController::automaticUpdate);
}

void TWUpdateController::rescheduleTimerForFailedUpdate()
{
    m_updateTimer.stop();
    disconnect(m_timerAction);
    if (hasUpdateAddress() && defaults().integerForKey(CheckOnStartupKey) == 2)
        scheduleTimer(RetryDelay, &TWUpdateController::automaticUpdate);
}

// --- the check ---

QUrl TWUpdateController::serverURL(const QString &path) const
{
    const QUrl url =
        TWHTTPFetch::urlWithBase(defaults().stringForKey(TWPreferences::ServerBaseURLKey), path);
    return TWHTTPFetch::isAcceptableURL(url) ? url : QUrl();
}

QString TWUpdateController::pleaseCheckSentence() const
{
    return dadoZiz("Please check ") + WebSiteHost + dadoZiz(" for version information.");
}

void TWUpdateController::downloadUpdateData()
{
    if (m_downloadActive)
        return;
    const QUrl url = serverURL(VersionsPath);
    if (url.isEmpty()) {
        // Only a check the user asked for says why nothing is checked.
        if (m_manualUpdate && !hasUpdateAddress())
            Alerts::current().runAlertPanel(
                dadoZiz("No update address is set."),
                dadoZiz("Thinkweb has no address to ask for new versions, so it cannot check for "
                        "updates. ") + pleaseCheckSentence(),
                {general("OK")});
        else if (m_manualUpdate)
            Alerts::current().runAlertPanel(dadoZiz("Version information URL not correct."),
                                            pleaseCheckSentence(), {general("OK")});
    } else {
        m_totalLength = 1;
        m_currentLength = 0;
        m_fetch->get(url, [this](const TWHTTPFetch::Result &result) {
            if (result.ok)
                completed(result.data);
            else
                failed(result.error);
        });
        m_downloadActive = true;
        if (m_manualUpdate)
            showProgressPanel(true);
    }
    rescheduleTimerForFailedUpdate();
}

void TWUpdateController::showProgressPanel(bool show)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    ProgressPanelController &panel = ProgressPanelController::sharedProgressPanel();
    if (show) {
        panel.runIndeterminate(true, 0);
        panel.setInfoString(dadoZiz("Checking for updates…"));
    } else {
        panel.finish();
    }
}

void TWUpdateController::finishCheck()
{
    ++m_completedChecks;
    emit checkFinished();
}

void TWUpdateController::failed(const QString &error)
{
    m_downloadActive = false;
    showProgressPanel(false);
    m_totalLength = 1;
    m_currentLength = 0;
    if (m_manualUpdate)
        Alerts::current().runAlertPanel(dadoZiz("Unable to download version information."),
                                        QStringLiteral("%1: %2").arg(pleaseCheckSentence(), error),
                                        {general("OK")});
    else
        qWarning("Check for update failed! Error - %s %s", qPrintable(error),
                 qPrintable(serverURL(VersionsPath).toString()));
    rescheduleTimerForFailedUpdate();
    finishCheck();
}

void TWUpdateController::completed(const QByteArray &data)
{
    m_downloadActive = false;
    showProgressPanel(false);
    // The check is done from here on, whatever the content.
    defaults().setObject(now(), LastCheckKey);
    timedUpdateIfNeeded();

    // Only a non-empty array of versions is a list; anything else is refused alike.
    const std::optional<QVariant> plist = PropertyList::propertyListWithData(data);
    QVariantList versions;
    if (plist && plist->typeId() == QMetaType::QVariantList)
        versions = plist->toList();
    const bool usable = !versions.isEmpty() &&
                        std::all_of(versions.cbegin(), versions.cend(), [](const QVariant &v) {
                            return v.typeId() == QMetaType::QVariantMap;
                        });
    if (!usable) {
        qWarning("Update can't convert string to plist");
        if (m_manualUpdate)
            Alerts::current().runAlertPanel(
                dadoZiz("Unable to download version information."),
                QStringLiteral("%1: %2").arg(pleaseCheckSentence(),
                                             dadoZiz("Can't convert string to plist")),
                {general("OK")});
        setVersionsArray(std::nullopt);
        finishCheck();
        return;
    }
    setVersionsArray(versions);
    downloadComplete();
}

void TWUpdateController::setVersionsArray(const std::optional<QVariantList> &versions)
{
    m_versionsArray = versions.value_or(QVariantList());
}

bool TWUpdateController::isTrustedDownload(const QUrl &url) const
{
    const QUrl base = serverURL(QString());
    return url.isValid() && url.scheme() == u"https" && !base.isEmpty() &&
           url.host().compare(base.host(), Qt::CaseInsensitive) == 0;
}

int TWUpdateController::compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.trimmed().split(u'.');
    const QStringList right = b.trimmed().split(u'.');
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const VersionPart l = parsePart(left.value(i));
        const VersionPart r = parsePart(right.value(i));
        if (l.number != r.number)
            return l.number < r.number ? -1 : 1;
        // A pre-release ("b", "a", "rc") comes before the release itself.
        if (l.letters.isEmpty() != r.letters.isEmpty())
            return l.letters.isEmpty() ? 1 : -1;
        if (const int c = l.letters.compare(r.letters); c != 0)
            return c < 0 ? -1 : 1;
        if (l.suffixNumber != r.suffixNumber)
            return l.suffixNumber < r.suffixNumber ? -1 : 1;
    }
    return 0;
}

void TWUpdateController::downloadComplete()
{
    m_currentVersionString = m_environment.currentVersion.isEmpty()
                                 ? QCoreApplication::applicationVersion()
                                 : m_environment.currentVersion;
    m_currentIndex.reset();
    for (qsizetype i = 0; i < m_versionsArray.size(); ++i) {
        QVariantMap entry = m_versionsArray.at(i).toMap();
        const QUrl download(entry.value(UpdateURLKey).toString());
        // Only secure addresses on the maker's own host are offered.
        const bool canDownload = entry.contains(UpdateURLKey) && isTrustedDownload(download);
        entry.insert(CanDownloadKey, canDownload);
        if (canDownload && i == 0)
            entry.insert(IconKey, QStringLiteral("TWUpdateDownload"));
        if (entry.value(VersionKey).toString() == m_currentVersionString) {
            m_currentIndex = int(i);
            entry.insert(IconKey, QStringLiteral("TWUpdateCurrent"));
            entry.insert(IsCurrentKey, true);
        }
        m_versionsArray[i] = entry;
    }
    m_latestVersion = m_versionsArray.first().toMap();

    if (!m_currentIndex && m_currentVersionString.contains(u'b')) {
        findLatestBetaRelease();
        return;
    }
    const bool newer =
        compareVersions(m_latestVersion.value(VersionKey).toString(), m_currentVersionString) > 0;
    if (!newer && !m_manualUpdate) {
        finishCheck();
        return;
    }
    const QString latest = m_latestVersion.value(VersionKey).toString();
    if (!newer) {
        m_informationText = TWLocalizedString("TWUpdate", "You have the latest version of Thinkweb "
                                                          "(%@) already installed. There is no "
                                                          "need to download or purchase it.")
                                .replace(QLatin1String("%@"), latest);
        m_downloadEnabled = false;
    } else {
        m_informationText = TWLocalizedString("TWUpdate", "The latest version of Thinkweb (%@) is "
                                                          "a free update from your current "
                                                          "version.")
                                .replace(QLatin1String("%@"), latest);
        m_downloadEnabled = m_latestVersion.value(CanDownloadKey).toBool();
    }
    showUpdatesWindow();
    finishCheck();
}

void TWUpdateController::downloadLatestVersion()
{
    const QUrl url(m_latestVersion.value(UpdateURLKey).toString());
    if (!isTrustedDownload(url)) {
        Alerts::current().beep();
        return;
    }
    if (m_environment.openUrl)
        m_environment.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

// --- beta builds ---

QString TWUpdateController::sanitizedBetaVersion(const QByteArray &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9A-Za-z.]{1,32}$"));
    const QString version = QString::fromLatin1(text).trimmed();
    return form.match(version).hasMatch() ? version : QString();
}

void TWUpdateController::findLatestBetaRelease()
{
    const QUrl url = serverURL(BetaPath);
    m_betaActive = true;
    // Asynchronous like the list itself, so the program never waits on the server.
    m_betaFetch->get(url, [this](const TWHTTPFetch::Result &result) {
        m_betaActive = false;
        if (!result.ok) {
            Alerts::current().runAlertPanel(
                QStringLiteral("Error downloading beta information"),
                QStringLiteral("Error message was: %1").arg(result.error), {general("OK")});
            betaReleaseFound(QString());
        } else {
            betaReleaseFound(sanitizedBetaVersion(result.data));
        }
        finishCheck();
    });
}

void TWUpdateController::betaReleaseFound(const QString &beta)
{
    const QString production = m_latestVersion.value(VersionKey).toString();
    if (!beta.isEmpty() && compareVersions(beta, m_currentVersionString) > 0) {
        const int answer = Alerts::current().runAlertPanel(
            QStringLiteral("Newer Beta Release Available"),
            QStringLiteral("The version of Thinkweb you are using is beta release %1.\nThe latest "
                           "beta release is version %2.\nThe latest production release is %3")
                .arg(m_currentVersionString, beta, production),
            {QStringLiteral("Download Latest Beta"), QStringLiteral("Download Production Release"),
             QStringLiteral("Cancel")});
        if (answer == 0) {
            const QUrl image = serverURL(
                QStringLiteral("/DownloadFiles/Thinkweb%1.dmg").arg(QString(beta).remove(u'.')));
            if (!image.isEmpty()) {
                if (m_environment.openUrl)
                    m_environment.openUrl(image);
                else
                    QDesktopServices::openUrl(image);
            }
        } else if (answer == 1) {
            downloadLatestVersion();
        }
        return;
    }
    Alerts::current().runAlertPanel(
        QStringLiteral("Beta Release"),
        QStringLiteral("The version of Thinkweb you are using is beta release %1 - the latest "
                       "production release is version %2 - see ")
                .arg(m_currentVersionString, production) +
            WebSiteHost + QStringLiteral(" to download the production release."),
        {general("OK")});
}

// --- the versions window ---

void TWUpdateController::showUpdatesWindow()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    if (!m_updatesWindow) {
        auto *window = new QDialog;
        window->setWindowTitle(dadoZiz("Thinkweb Updates"));
        auto *layout = new QVBoxLayout(window);
        m_informationLabel = new QLabel(window);
        m_informationLabel->setWordWrap(true);
        auto *splitter = new QSplitter(Qt::Horizontal, window);
        m_versionsTable = new QTreeWidget(splitter);
        m_versionsTable->setHeaderLabels({dadoZiz("Version")});
        m_versionsTable->setRootIsDecorated(false);
        m_changesTable = new QTreeWidget(splitter);
        m_changesTable->setHeaderLabels({dadoZiz("Changes")});
        m_changesTable->setRootIsDecorated(false);
        splitter->setStretchFactor(1, 3);
        m_downloadButton = new QPushButton(dadoZiz("Download"), window);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(m_downloadButton);
        layout->addWidget(m_informationLabel);
        layout->addWidget(splitter, 1);
        layout->addLayout(buttons);
        window->resize(560, 360);
        connect(m_downloadButton, &QPushButton::clicked, this,
                &TWUpdateController::downloadLatestVersion);
        connect(m_versionsTable, &QTreeWidget::currentItemChanged, this, [this] {
            const int row = m_versionsTable->currentIndex().row();
            m_changesTable->clear();
            QVariantList changes = m_versionsArray.value(row).toMap().value(ChangesKey).toList();
            std::stable_sort(
                changes.begin(), changes.end(), [](const QVariant &a, const QVariant &b) {
                    return a.toMap().value("type").toInt() < b.toMap().value("type").toInt();
                });
            for (const QVariant &change : std::as_const(changes)) {
                const QVariantMap c = change.toMap();
                auto *item =
                    new QTreeWidgetItem(m_changesTable, {c.value(ChangeTextKey).toString()});
                item->setIcon(0, iconNamed(TWUpdateIconTransformer::transformedValue(
                                     c.value(QStringLiteral("type")))));
            }
        });
        m_updatesWindow = window;
    }
    fillUpdatesWindow();
    m_updatesWindow->show();
    m_updatesWindow->raise();
    m_updatesWindow->activateWindow();
}

void TWUpdateController::fillUpdatesWindow()
{
    m_informationLabel->setText(m_informationText);
    m_downloadButton->setEnabled(m_downloadEnabled);
    m_versionsTable->clear();
    for (const QVariant &v : std::as_const(m_versionsArray)) {
        const QVariantMap entry = v.toMap();
        auto *item = new QTreeWidgetItem(m_versionsTable, {entry.value(VersionKey).toString()});
        item->setIcon(0, iconNamed(entry.value(IconKey).toString()));
        const QDateTime date = entry.value(ReleaseDateKey).toDateTime();
        if (date.isValid())
            item->setToolTip(0,
                             dadoZiz("Release date:") + u' ' +
                                 QLocale::c().toString(date.date(), QStringLiteral("d MMMM yyyy")));
    }
    if (m_versionsTable->topLevelItemCount() > 0)
        m_versionsTable->setCurrentItem(m_versionsTable->topLevelItem(0));
}
