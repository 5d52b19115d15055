#pragma once

#include "styles/TWStyle.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The application's library of named styles: the built-in styles shipped
// with the program and the user's own, graphic and map styles apart, each
// keyed by identifier. A user file with a built-in identifier overrides the
// built-in style.
class TWStyleManager
{
public:
    using StyleDictionary = QMap<QString, std::shared_ptr<TWStyle>>;
    using StyleList = QList<std::shared_ptr<TWStyle>>;

    // Posted with the manager as object after a reload, a replacement, a save
    // or a deletion; KindKey is "graphicStyles" or "mapStyles".
    static inline const QString StylesDidChangeNotification =
        QStringLiteral("TWStyleManagerStylesDidChange");
    static inline const QString KindKey = QStringLiteral("kind");

    // The built-in folder and the user's, both holding "Graphic" and "Map".
    // Empty folders mean the standard ones; tests pass their own.
    explicit TWStyleManager(const QString &applicationStylesFolder = QString(),
                            const QString &userStylesFolder = QString());

    static TWStyleManager &sharedStyleManager();

    // The standard folders. The user ones are made when missing.
    static QString applicationStylesFolder();
    static QString applicationGraphicStylesFolder();
    static QString applicationMapStylesFolder();
    static QString userStylesFolder();
    static QString userGraphicStylesFolder();
    static QString userMapStylesFolder();
    // This library's folders (the user ones made when missing).
    QString graphicFolder(bool user) const;
    QString mapFolder(bool user) const;

    // The styles of every "*.TWStyle" file of the folder in the order the
    // folder lists them; unreadable files are skipped.
    static StyleList stylesInFolder(const QString &path);
    // Only identifiers of the 8-4-4-4-12 hexadecimal form name files.
    static bool isFileIdentifier(const QString &identifier);

    // Loaded on first use.
    const StyleDictionary &graphicStyles();
    const StyleDictionary &mapStyles();
    void reloadGraphicStyles();
    void reloadMapStyles();

    // Replace the whole dictionary. Only user styles and built-in styles that
    // differ from their shipped form are written, each to a temporary file
    // renamed over its own; the files of styles no longer in the dictionary
    // are removed, nothing else. False when a file could not be written or
    // removed (the rest is still done).
    bool setGraphicStyles(const StyleDictionary &styles);
    bool setMapStyles(const StyleDictionary &styles);

    // Writes the style into the user folder of its type and keeps it in the
    // library. A style without a file identifier gets a fresh one first.
    // False (with a log line) for a style without a name, of an unknown type,
    // or one that could not be written.
    bool saveStyle(const std::shared_ptr<TWStyle> &style);
    // Removes the style's user file and takes it out of the library; a
    // built-in style without a user copy stays. False when the file could
    // not be removed or the type is unknown.
    bool deleteStyle(const std::shared_ptr<TWStyle> &style);

    std::shared_ptr<TWStyle> graphicStyleWithIdentifier(const QString &identifier);
    std::shared_ptr<TWStyle> mapStyleWithIdentifier(const QString &identifier);
    // The first style whose settings equal the given ones (graphic styles:
    // every given key; map styles: every key of the style).
    std::shared_ptr<TWStyle> graphicStyleWithProperties(const OrderedDictionary &properties);
    std::shared_ptr<TWStyle> mapStyleWithProperties(const OrderedDictionary &properties);
    static std::shared_ptr<TWStyle> graphicStyleWithProperties(const OrderedDictionary &properties,
                                                               const StyleList &styles);
    static std::shared_ptr<TWStyle> mapStyleWithProperties(const OrderedDictionary &properties,
                                                           const StyleList &styles);
    // Numbers and colour components agree to three decimals (truncated),
    // pictures by their pixels, dictionaries and lists element by element,
    // anything else by its own equality.
    static bool isEqualTo(const QVariant &a, const QVariant &b);

private:
    struct Library
    {
        StyleDictionary styles;
        // The built-in styles as shipped, to tell a changed one.
        QMap<QString, OrderedDictionary> shipped;
        bool loaded = false;
    };
    Library &library(int type);
    void reload(int type);
    QString folder(int type, bool user) const;
    bool setStyles(int type, const StyleDictionary &styles);
    bool writeStyle(const TWStyle &style, const QString &folder) const;
    void postChange(int type);

    QString m_applicationFolder;
    QString m_userFolder;
    Library m_graphic;
    Library m_map;
};
