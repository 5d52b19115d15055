#pragma once

#include "support/Color.h"
#include "support/XMLElement.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

#include <libxml/tree.h>

// What a hyperlink needs of the branch that registered its tool tip.
class TWLinkDocument;
class TWMapBranch;
struct TWLinkServices;

class TWHyperlinkBranch
{
public:
    virtual ~TWHyperlinkBranch() = default;
    virtual bool hidden() const = 0;
};

// A link attached to a branch. Its kind decides how the address and the two
// arguments are read: a file, a web address, a map document at an address or
// in a file (with the title of the branch to select) or a mail message
// (subject and body). Links are shared objects: editors change the fields of
// the link the branch holds, by key.
class TWHyperlink final : public std::enable_shared_from_this<TWHyperlink>
{
public:
    enum LinkType {
        LocalFile = 1,
        URL = 2,
        ThinkwebURL = 3,
        ThinkwebFile = 4,
        EMail = 5,
    };

    // The pictures a link is shown with. The first five are tinted
    // composites (see tintedIconRecipe), the other four the desktop's icons.
    enum class Image {
        fileImage,
        urlImage,
        twURLImage,
        twFileImage,
        mailImage,
        folderImage,
        emailImage,
        webImage,
        thinkwebImage,
    };

    // How a tinted composite is made: the colour laid over the background
    // picture, with the overlay picture on top (pictures by resource name).
    struct TintedIconRecipe
    {
        QString backgroundImageName;
        QString overlayImageName;
        Color color;
    };

    // The icon `icon()` answers: one of the pictures, or the desktop's icon
    // of a file (path set) or of files without a type (path empty).
    struct Icon
    {
        enum class Source { Picture, FileIcon, EmptyFileTypeIcon };
        Source source = Source::Picture;
        Image image = Image::urlImage;
        QString path;
        friend bool operator==(const Icon &, const Icon &) = default;
    };

    TWHyperlink() = default;
    explicit TWHyperlink(int linkType) : m_linkType(linkType) {}
    TWHyperlink(int linkType, const std::optional<QString> &linkURL,
                const std::optional<QString> &linkArg, const std::optional<QString> &linkArg2,
                const std::optional<Color> &linkColor);
    TWHyperlink(const TWHyperlink &) = delete;
    TWHyperlink &operator=(const TWHyperlink &) = delete;

    int linkType() const { return m_linkType; }
    const std::optional<QString> &linkURL() const { return m_linkURL; }
    const std::optional<QString> &linkArg() const { return m_linkArg; }
    const std::optional<QString> &linkArg2() const { return m_linkArg2; }
    const std::optional<Color> &linkColor() const { return m_linkColor; }
    int ttId() const { return m_ttId; }
    void setTtId(int ttId);

    // The fields by name: "linkType" (int), "linkURL", "linkArg", "linkArg2"
    // (QString; an invalid value for none) and "linkColor" (Color). Setting
    // announces the change; false, with a warning, for another key or a value
    // of the wrong type.
    QVariant valueForKey(const QString &key) const;
    bool setValueForKey(const QVariant &value, const QString &key);

    // --- icons ---
    static TintedIconRecipe tintedIconRecipe(Image image);
    // The tinted composite of a kind; urlImage for any unknown kind.
    static Image iconForType(int linkType);
    // The icon drawn on the map and in exports.
    Image coloredImage() const { return iconForType(m_linkType); }
    // The desktop-style icon of the link.
    Icon icon() const;

    // --- texts ---
    // The label of a kind ("Local File", "URL", ...), "URL" for unknown kinds.
    static QString labelForType(int linkType);
    QString toolTipString() const;
    QString description() const;
    // The tool tip of a link drawn for this branch; none while it is hidden.
    std::optional<QString> toolTipForBranch(const TWHyperlinkBranch *branch) const;
    // "mailto:" with the address, then the subject and body, each
    // percent-encoded as a whole so that neither can end the other.
    QString fullMailURL() const;

    // --- value operations ---
    // Kind, address and arguments; neither colour nor tool-tip id.
    std::shared_ptr<TWHyperlink> copy() const;
    // Kind, address, arguments and colour.
    bool isEqual(const TWHyperlink &other) const;

    // <TWHyperlink> with linkType, linkURL, linkArg, linkArg2 and linkColor,
    // the texts only when not empty and the colour only when set.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // `parent` holds the <TWHyperlink> element. A missing kind is a file link.
    static std::shared_ptr<TWHyperlink> initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);
    XMLElement freshXMLElement() const;
    // The <TWHyperlink> element itself; null for a null element.
    static std::shared_ptr<TWHyperlink> objectWithXMLElement(const XMLElement &element);

    // --- following (TWHyperlink_Follow.cpp) ---
    // Opens what the link names through the current link services: web and
    // mail addresses at once, files and other addresses after asking, never
    // a program; map documents are fetched or opened and the branch titled
    // `linkArg` is selected. Failures alert.
    void followLinkURL() const;
    void followLinkURL(const TWLinkServices &services) const;
    // Selects and shows the first branch titled `title` (maps in order, each
    // tree in pre-order); alerts when there is none. A blank title does nothing.
    static void tryToFindString(const std::optional<QString> &title, TWLinkDocument &document);
    // Selects the first branch of the subtree titled `title`.
    static bool selectBranchWithText(const QString &title, TWMapBranch &startingFrom);
    // The address with the characters that are not legal in a URL escaped as UTF-8.
    static QString escapedAddress(const QString &address);

private:
    void changed(const QString &key);

    int m_linkType = LocalFile;
    std::optional<QString> m_linkURL;
    std::optional<QString> m_linkArg;
    std::optional<QString> m_linkArg2;
    int m_ttId = 0;
    std::optional<Color> m_linkColor;
};
