#include "graphics/TWTextArea.h"
#include "model/TWDocumentFetcher.h"
#include "model/TWHyperlink.h"
#include "model/TWLinkDocuments.h"
#include "model/TWLinkOpener.h"
#include "model/TWLinkServices.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>

namespace {

const QString ThinkwebDocumentType = QStringLiteral("Thinkweb Document");
// A local file loaded as a map document is read whole; a document file is
// never near this size.
constexpr qint64 MaxLocalDocumentSize = qint64(1) << 30;

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString filled(const char *message, const QString &fill)
{
    QString text = dadoZiz(message);
    text.replace(QLatin1String("%@"), fill);
    return text;
}

void alert(const char *title, const char *message, const QString &fill = QString())
{
    Alerts::current().runAlertPanel(dadoZiz(title), filled(message, fill),
                                    {TWLocalizedString(StringTable::General, "OK")});
}

void alertUnableToFollow(const QString &what)
{
    alert("Unable to follow link.",
          "The link to %@ could not be found. Please check that the file is still there and you "
          "have access to it.",
          what);
}

void alertUnableToCreateDocument()
{
    alert("Unable to create document.",
          "Internal error creating new Thinkweb document. Please contact technical support.");
}

void alertUnableToOpenURL(const QString &address)
{
    alert("Unable to open URL.",
          "Could not open URL %@. Please check that the file is still there and you have access "
          "to it.",
          address);
}

// Asks before the link leaves the program for something other than a web page
// or a mail message. The safe answer is the default.
bool userAgrees(const char *title, const char *message, const QString &fill, const char *button)
{
    const int choice = Alerts::current().runAlertPanel(
        dadoZiz(title), filled(message, fill),
        {TWLocalizedString(StringTable::General, "Cancel"), dadoZiz(button)});
    return choice == 1;
}

bool opensWithoutAsking(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("mailto"))
        return false;
    // Some mail programs attach the files a mail address names.
    static const QStringList mailFields = {"subject", "body", "cc", "bcc", "to"};
    for (const auto &item : QUrlQuery(url).queryItems()) {
        if (!mailFields.contains(item.first.toLower()))
            return false;
    }
    return true;
}

// Files the desktop would run rather than show: executables and the scripts
// and launchers that run when opened.
bool isProgramFile(const QFileInfo &info)
{
    if (info.isDir())
        return false;
    if (info.isExecutable())
        return true;
    static const QStringList suffixes = {
        "appimage", "bash",    "bat",  "bin",        "cmd", "com", "command", "cpl", "csh",
        "deb",      "desktop", "exe",  "flatpakref", "jar", "js",  "jse",     "ksh", "lnk",
        "msi",      "pl",      "ps1",  "py",         "pyw", "rb",  "reg",     "rpm", "run",
        "scr",      "sh",      "snap", "tool",       "vbe", "vbs", "ws",      "wsf", "zsh"};
    const QString target = info.isSymLink() ? info.symLinkTarget() : QString();
    return suffixes.contains(info.suffix().toLower()) ||
           (!target.isEmpty() && suffixes.contains(QFileInfo(target).suffix().toLower()));
}

QString plainTitle(const TWMapBranch &branch)
{
    const auto &text = branch.enclosedTextArea();
    return text ? text->text().string() : QString();
}

void selectTitle(TWMapBranch &branch)
{
    TWMap *map = branch.map();
    if (!map)
        return;
    map->removeAllSelectedGraphics();
    const std::shared_ptr<TWTextArea> &text = branch.enclosedTextArea();
    if (!text)
        return;
    if (text->canBeSelected())
        map->insertObjectInSelectedGraphicsAtIndex(text, map->countOfSelectedGraphics());
    else if (branch.shouldSelectMainForGraphic(text.get()) && branch.mainGraphic())
        map->insertObjectInSelectedGraphicsAtIndex(branch.mainGraphic(),
                                                   map->countOfSelectedGraphics());
}

// A document just made or opened for a link starts with nothing selected and
// no text being edited.
void resetCurrentMap(TWLinkDocument &document)
{
    TWMapsDoc *mapsDoc = document.mapsDoc();
    const std::shared_ptr<TWMap> map = mapsDoc ? mapsDoc->currentMap() : nullptr;
    if (!map)
        return;
    map->removeAllSelectedGraphics();
    NotificationCenter::defaultCenter().post(TWTextArea::StopAllTextEditingNotification,
                                             NotificationObject(map));
}

class Follower
{
public:
    Follower(const TWHyperlink &link, const TWLinkServices &services)
        : m_address(link.linkURL().value_or(QString())), m_title(link.linkArg()),
          m_services(services),
          m_active(services.documents ? services.documents->currentlyActiveDocument() : nullptr)
    {}

    void followFile() { openLocalFile(resolvedPath()); }

    void followWebAddress()
    {
        const QUrl url(TWHyperlink::escapedAddress(m_address), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty()) {
            alertUnableToFollow(m_address);
            return;
        }
        if (url.isLocalFile()) {
            openLocalFile(url.toLocalFile());
            return;
        }
        if (!opensWithoutAsking(url) &&
            !userAgrees("Open this link?",
                        "The link %@ opens another application. Open it only if you trust the "
                        "document the link came from.",
                        url.toString(), "Open"))
            return;
        if (!m_services.opener->openURL(url))
            alertUnableToFollow(m_address);
    }

    void followMail(const QString &mailURL)
    {
        const QUrl url(mailURL);
        if (url.isValid() && !opensWithoutAsking(url) &&
            !userAgrees("Open this link?",
                        "The link %@ opens another application. Open it only if you trust the "
                        "document the link came from.",
                        mailURL, "Open"))
            return;
        if (!url.isValid() || !m_services.opener->openURL(url))
            alert("Unable to open mail link.", "The link to %@ could not be found.", mailURL);
    }

    void followDocumentAtAddress()
    {
        const QUrl url(m_address);
        const QString scheme = url.scheme().toLower();
        if (url.isValid() && url.isLocalFile()) {
            // A local file is read only when the user agrees: the link may come
            // from a document fetched from elsewhere.
            if (!userAgrees("Load this local file?",
                            "The link loads the local file %@ as a map document. Load it only if "
                            "you trust the document the link came from.",
                            url.toLocalFile(), "Load"))
                return;
            openFetchedDocument(readLocalFile(url.toLocalFile()));
            return;
        }
        if (!url.isValid() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            !m_services.fetcher) {
            alertUnableToOpenURL(m_address);
            return;
        }
        // The answer comes later: keep what it needs, not the link, which may
        // be edited or deleted meanwhile.
        m_services.fetcher->fetch(url, [follower = *this](const QByteArray &data) mutable {
            follower.openFetchedDocument(data);
        });
    }

    void followDocumentFile()
    {
        if (m_address.isEmpty()) {
            if (m_active)
                TWHyperlink::tryToFindString(m_title, *m_active);
            return;
        }
        if (m_address.compare(QLatin1String("<NEW>"), Qt::CaseInsensitive) == 0) {
            if (!m_services.documents || !m_services.documents->openUntitledDocument())
                alertUnableToCreateDocument();
            return;
        }
        const QString path = resolvedPath();
        if (!m_services.documents) {
            alertUnableToCreateDocument();
            return;
        }
        for (TWLinkDocument *open : m_services.documents->documents()) {
            if (open && open->fileName() == path) {
                open->makeMainWindowKeyAndOrderFront();
                TWHyperlink::tryToFindString(m_title, *open);
                return;
            }
        }
        TWLinkDocument *document = m_services.documents->openDocumentWithContentsOfFile(path);
        if (!document) {
            alertUnableToCreateDocument();
            return;
        }
        resetCurrentMap(*document);
        TWHyperlink::tryToFindString(m_title, *document);
    }

private:
    // Paths that begin with "." are relative to the folder of the document
    // the link is followed in; untitled documents leave them as they are.
    QString resolvedPath() const
    {
        if (!m_address.startsWith(u'.') || !m_active)
            return m_address;
        const QString fileName = m_active->fileName();
        if (fileName.isEmpty())
            return m_address;
        const QString path =
            QDir::cleanPath(QFileInfo(fileName).path() + QLatin1Char('/') + m_address);
        return path.isEmpty() ? m_address : path;
    }

    void openLocalFile(const QString &path)
    {
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists()) {
            alertUnableToFollow(path);
            return;
        }
        if (isProgramFile(info)) {
            const int choice = Alerts::current().runAlertPanel(
                dadoZiz("Unable to follow link."),
                filled("%@ is a program or script. Links never run programs; you can show it in "
                       "its folder instead.",
                       path),
                {TWLocalizedString(StringTable::General, "OK"), dadoZiz("Show in Folder")});
            if (choice == 1)
                m_services.opener->revealFile(info.absoluteFilePath());
            return;
        }
        if (!userAgrees("Open this file?",
                        "The link opens %@ with the application your desktop uses for it. Open "
                        "it only if you trust the document the link came from.",
                        path, "Open"))
            return;
        if (!m_services.opener->openURL(QUrl::fromLocalFile(info.absoluteFilePath())))
            alertUnableToFollow(path);
    }

    static QByteArray readLocalFile(const QString &path)
    {
        QFile file(path);
        if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly) ||
            file.size() > MaxLocalDocumentSize)
            return {};
        return file.read(MaxLocalDocumentSize);
    }

    void openFetchedDocument(const QByteArray &data)
    {
        if (data.isEmpty()) {
            alertUnableToOpenURL(m_address);
            return;
        }
        TWLinkDocument *document =
            m_services.documents ? m_services.documents->openUntitledDocument() : nullptr;
        if (!document) {
            alertUnableToCreateDocument();
            return;
        }
        resetCurrentMap(*document);
        if (!document->loadDataRepresentation(data)) {
            alert("Unable to load Thinkweb document.",
                  "The link to %@ could not be opened. Please check that the file is still there "
                  "and you have access to it.",
                  m_address);
            return;
        }
        TWHyperlink::tryToFindString(m_title, *document);
    }

    QString m_address;
    std::optional<QString> m_title;
    TWLinkServices m_services;
    TWLinkDocument *m_active;
};

} // namespace

QString TWHyperlink::escapedAddress(const QString &address)
{
    static const QByteArray legal =
        QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                          "0123456789-._~:/?#[]@!$&'()*+,;=");
    const QByteArray utf8 = address.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        // An escape already in the address stays as it is.
        const bool isEscape = c == '%' && i + 2 < utf8.size() && isxdigit(uchar(utf8[i + 1])) &&
                              isxdigit(uchar(utf8[i + 2]));
        if (isEscape || legal.contains(c))
            escaped += c;
        else
            escaped += '%' + QByteArray::number(uchar(c), 16).toUpper().rightJustified(2, '0');
    }
    return QString::fromLatin1(escaped);
}

void TWHyperlink::followLinkURL() const
{
    followLinkURL(TWLinkServices::current());
}

void TWHyperlink::followLinkURL(const TWLinkServices &services) const
{
    TWLinkServices resolved = services;
    if (!resolved.opener || !resolved.fetcher) {
        const TWLinkServices defaults = TWLinkServices::current();
        if (!resolved.opener)
            resolved.opener = defaults.opener;
        if (!resolved.fetcher)
            resolved.fetcher = defaults.fetcher;
    }

    Follower follower(*this, resolved);
    switch (m_linkType) {
    case LocalFile:
        follower.followFile();
        break;
    case URL:
        follower.followWebAddress();
        break;
    case ThinkwebURL:
        follower.followDocumentAtAddress();
        break;
    case ThinkwebFile:
        follower.followDocumentFile();
        break;
    case EMail:
        follower.followMail(fullMailURL());
        break;
    default:
        alert("Unknown hyperlink type.", "Please check your hyperlink settings");
        break;
    }
}

void TWHyperlink::tryToFindString(const std::optional<QString> &title, TWLinkDocument &document)
{
    if (!title || title->trimmed().isEmpty())
        return;
    TWMapsDoc *mapsDoc = document.mapsDoc();
    for (int i = 0; mapsDoc && i < mapsDoc->countOfMaps(); ++i) {
        const std::shared_ptr<TWMap> map = mapsDoc->objectInMapsAtIndex(i);
        const std::shared_ptr<TWMapBranch> root = map ? map->root() : nullptr;
        if (!root)
            continue;
        if (plainTitle(*root) == *title) {
            mapsDoc->setCurrentMapNumber(i);
            selectTitle(*root);
            if (TWLinkCanvas *canvas = document.graphicView()) {
                const Rect bounds = root->branchBounds();
                const Rect visible = canvas->visibleRect();
                canvas->scrollPoint(Point(bounds.midX() - visible.width() / 2,
                                          bounds.midY() - visible.height() / 2));
            }
            return;
        }
        for (const std::shared_ptr<TWMapBranch> &child : root->children()) {
            if (child && selectBranchWithText(*title, *child)) {
                mapsDoc->setCurrentMapNumber(i);
                if (TWLinkCanvas *canvas = document.graphicView())
                    canvas->centerSelectionAfterCurrentEvent();
                return;
            }
        }
    }
    alert("Unable to find required branch in Thinkweb document.",
          "There is no branch with a title %@ in the document. Please check the spelling and "
          "adjust the link settings.",
          *title);
}

bool TWHyperlink::selectBranchWithText(const QString &title, TWMapBranch &startingFrom)
{
    // Pre-order without recursion: a deep chain of branches must not exhaust the stack.
    std::vector<TWMapBranch *> pending{&startingFrom};
    while (!pending.empty()) {
        TWMapBranch *branch = pending.back();
        pending.pop_back();
        if (plainTitle(*branch) == title) {
            selectTitle(*branch);
            return true;
        }
        const auto &children = branch->children();
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            if (*child)
                pending.push_back(child->get());
        }
    }
    return false;
}
