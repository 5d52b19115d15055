#include "application/TWAppcastUpdater.h"

#include "application/TWUpdateController.h"
#include "platform/Alerts.h"
#include "platform/TWHTTPFetch.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/XMLDocument.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <climits>
#include <libxml/tree.h>

namespace {
UserDefaults &defaults()
{
    return UserDefaults::standard();
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

const xmlChar SparkleNamespace[] = "http://www.andymatuschak.org/xml-namespaces/sparkle";

QString attribute(xmlNodePtr node, const char *name, bool sparkle)
{
    xmlChar *value = sparkle ? xmlGetNsProp(node, BAD_CAST name, SparkleNamespace)
                             : xmlGetNoNsProp(node, BAD_CAST name);
    const QString text =
        value ? QString::fromUtf8(reinterpret_cast<const char *>(value)) : QString();
    xmlFree(value);
    return text;
}

xmlNodePtr child(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr c = node ? node->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && xmlStrcmp(c->name, BAD_CAST name) == 0)
            return c;
    return nullptr;
}

QString text(xmlNodePtr node)
{
    if (!node)
        return {};
    xmlChar *content = xmlNodeGetContent(node);
    const QString value = QString::fromUtf8(reinterpret_cast<const char *>(content)).trimmed();
    xmlFree(content);
    return value;
}
} // namespace

TWAppcastUpdater &TWAppcastUpdater::sharedUpdater()
{
    static TWAppcastUpdater *shared = new TWAppcastUpdater;
    return *shared;
}

TWAppcastUpdater::TWAppcastUpdater() : TWAppcastUpdater(Environment()) {}

TWAppcastUpdater::TWAppcastUpdater(Environment environment)
    : m_environment(std::move(environment)), m_fetch(new TWHTTPFetch(this)),
      m_download(new TWHTTPFetch(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TWAppcastUpdater::checkForUpdates);
    if (m_environment.startDelay >= 0)
        QTimer::singleShot(m_environment.startDelay, this, &TWAppcastUpdater::start);
    connect(&defaults(), &UserDefaults::changed, this, [this](const QString &key) {
        if (key == IntervalKey)
            schedule();
    });
}

TWAppcastUpdater::~TWAppcastUpdater() = default;

QDateTime TWAppcastUpdater::now() const
{
    return m_environment.now ? m_environment.now() : QDateTime::currentDateTimeUtc();
}

void TWAppcastUpdater::start()
{
    if (defaults().integerForKey(IntervalKey) > 0)
        schedule();
    else if (defaults().boolForKey(CheckAtStartupKey))
        checkForUpdates();
}

std::optional<int> TWAppcastUpdater::pendingTimerInterval() const
{
    return m_timer.isActive() ? std::optional<int>(m_timer.interval()) : std::nullopt;
}

void TWAppcastUpdater::schedule()
{
    m_timer.stop();
    const qint64 seconds = defaults().integerForKey(IntervalKey);
    if (seconds < 1)
        return;
    const qint64 intervalMs = std::min<qint64>(seconds, 100LL * 365 * 86400) * 1000;
    const QDateTime last = defaults().objectForKey(LastCheckKey).toDateTime();
    const qint64 elapsed = last.isValid() ? last.msecsTo(now()) : intervalMs;
    m_timer.start(int(std::clamp<qint64>(intervalMs - elapsed, 0, INT_MAX)));
}

void TWAppcastUpdater::checkForUpdates()
{
    const QUrl feed(defaults().stringForKey(FeedURLKey).trimmed(), QUrl::StrictMode);
    // No feed of ours is configured by default: nothing to do, and nothing to say.
    if (!TWHTTPFetch::isAcceptableURL(feed) || m_fetch->isRunning()) {
        done();
        return;
    }
    m_fetch->get(feed, [this](const TWHTTPFetch::Result &result) {
        defaults().setObject(now(), LastCheckKey);
        schedule();
        if (result.ok)
            feedArrived(result.data);
        else
            done();
    });
}

std::optional<TWAppcastUpdater::Item> TWAppcastUpdater::newestItem(const QByteArray &feed)
{
    QString error;
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(feed, &error);
    if (!doc)
        return std::nullopt;
    std::optional<Item> newest;
    xmlNodePtr rss = xmlDocGetRootElement(doc);
    xmlNodePtr channel =
        rss && xmlStrcmp(rss->name, BAD_CAST "rss") == 0 ? child(rss, "channel") : nullptr;
    for (xmlNodePtr node = channel ? channel->children : nullptr; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || xmlStrcmp(node->name, BAD_CAST "item") != 0)
            continue;
        xmlNodePtr enclosure = child(node, "enclosure");
        if (!enclosure)
            continue;
        Item item;
        item.title = text(child(node, "title"));
        item.enclosure = QUrl(attribute(enclosure, "url", false), QUrl::StrictMode);
        item.version = attribute(enclosure, "version", true);
        if (item.version.isEmpty())
            item.version = attribute(enclosure, "shortVersionString", true);
        bool ok = false;
        item.length = attribute(enclosure, "length", false).toLongLong(&ok);
        if (!ok || item.length < 0)
            item.length = -1;
        item.sha256 = attribute(enclosure, "sha256", true).toLatin1().toLower();
        if (item.version.isEmpty() || !item.enclosure.isValid())
            continue;
        if (!newest || TWUpdateController::compareVersions(item.version, newest->version) > 0)
            newest = item;
    }
    xmlFreeDoc(doc);
    return newest;
}

void TWAppcastUpdater::feedArrived(const QByteArray &feed)
{
    const std::optional<Item> item = newestItem(feed);
    const QString running = m_environment.currentVersion.isEmpty()
                                ? QCoreApplication::applicationVersion()
                                : m_environment.currentVersion;
    if (!item || TWUpdateController::compareVersions(item->version, running) <= 0) {
        done();
        return;
    }
    const bool wanted =
        m_environment.confirm
            ? m_environment.confirm(*item)
            : Alerts::current().runAlertPanel(
                  dadoZiz("A new version of Thinkweb is available."),
                  dadoZiz("%1 is available; you have %2. Would you like to download it now?")
                      .arg(item->title.isEmpty() ? item->version : item->title, running),
                  {dadoZiz("Download"), dadoZiz("Not Now")}) == 0;
    if (!wanted) {
        done();
        return;
    }
    download(*item);
}

QString TWAppcastUpdater::safeFileName(const QUrl &url)
{
    QString name;
    for (const QChar c : url.fileName()) {
        const QChar::Category category = c.category();
        if (c == u'/' || c == u'\\' || category == QChar::Other_Control ||
            category == QChar::Other_Format)
            continue;
        name += c;
    }
    name = name.trimmed();
    // A leading ":" names a Qt resource rather than a file in the folder, and
    // a leading "." a hidden file or the folder itself.
    while (!name.isEmpty() &&
           (name.front() == u'.' || name.front() == u':' || name.front().isSpace()))
        name.remove(0, 1);
    // File systems take names of at most 255 bytes; room is left for " (2)".
    while (name.toUtf8().size() > 240)
        name.chop(name.back().isLowSurrogate() ? 2 : 1);
    return name.isEmpty() ? QStringLiteral("Thinkweb update") : name;
}

void TWAppcastUpdater::download(const Item &item)
{
    // Only a secure address; the size the feed gives bounds what is read.
    if (!TWHTTPFetch::isAcceptableURL(item.enclosure)) {
        reportDownloadError(dadoZiz("The download address is not secure."));
        return;
    }
    m_download->setMaximumSize(item.length >= 0 ? std::min(item.length, MaximumDownload)
                                                : MaximumDownload);
    m_download->setTimeout(10 * 60 * 1000);
    m_download->get(item.enclosure, [this, item](const TWHTTPFetch::Result &result) {
        if (result.ok)
            downloaded(item, result.data);
        else
            reportDownloadError(result.error);
    });
}

void TWAppcastUpdater::downloaded(const Item &item, const QByteArray &data)
{
    QString folder = m_environment.downloadFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QDir().mkpath(folder);
    const QString fileName = safeFileName(item.enclosure);
    // "name.tar.gz" is numbered as "name (2).tar.gz".
    QString base = QFileInfo(fileName).completeBaseName();
    QString suffix = QFileInfo(fileName).suffix();
    if (base.endsWith(QLatin1String(".tar"))) {
        base.chop(4);
        suffix.prepend(QLatin1String("tar."));
    }
    QString path = QDir(folder).filePath(fileName);
    // Never replace a file the user has.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("%1 (%2)%3")
                                         .arg(base)
                                         .arg(n)
                                         .arg(suffix.isEmpty() ? QString() : u'.' + suffix));
    // Whatever the name held, the file lands in the chosen folder.
    if (QFileInfo(path).absoluteDir() != QDir(folder)) {
        reportDownloadError(dadoZiz("The download's file name is not usable."));
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        reportDownloadError(file.errorString());
        return;
    }
    // A file that is not what the feed announced is not kept.
    QString damage;
    if (item.length >= 0 && data.size() != item.length)
        damage = dadoZiz("The file has %1 bytes instead of %2.").arg(data.size()).arg(item.length);
    else if (!item.sha256.isEmpty() &&
             QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex() != item.sha256)
        damage = dadoZiz("The file's checksum does not match.");
    if (!damage.isEmpty()) {
        QFile::remove(path);
        reportDownloadError(damage);
        return;
    }
    m_downloadedFile = path;
    if (m_environment.reveal)
        m_environment.reveal(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    done();
}

void TWAppcastUpdater::reportDownloadError(const QString &reason)
{
    Alerts::current().runAlertPanel(dadoZiz("The update could not be downloaded."), reason,
                                    {TWLocalizedString(StringTable::General, "OK")});
    done();
}

void TWAppcastUpdater::done()
{
    ++m_finished;
    emit finished();
}
