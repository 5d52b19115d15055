#pragma once

#include "media/TWMediaNode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

// Reads the graphics libraries (".twglib" folders described by their
// "metaData.plist") into the library tree of the media browser's Graphics
// pane. Categories of the same name at the same depth merge across libraries,
// in the order first seen.
class TWGraphicsLibraryParser
{
public:
    static inline const QString MediaType = QStringLiteral("TWGraphics");
    static inline const QString ToolbarIconName = QStringLiteral("TWGraphicsBrowserToolbarIcon");
    static inline const QString LibraryExtension = QStringLiteral("twglib");

    // A category merged from every library that has one of its name.
    struct Category
    {
        QString name;
        // Each graphic's dictionary with "ImageFilePath" made absolute.
        QList<QVariantMap> graphics;
        QList<Category> subCategories;
    };

    // The folders are read in order.
    explicit TWGraphicsLibraryParser(const QStringList &folders);
    // The application's libraries, then those installed for all users.
    static QStringList defaultFolders(const QString &resourceFolder);

    std::shared_ptr<TWMediaNode> parseDatabase() const;

    static void parseGraphicsLibrariesInFolder(const QString &folder, QList<Category> &catalogue);
    static void parseGraphicsLibrary(const QString &library, QList<Category> &catalogue);
    static void createSearchDataEntries(const QVariantList &source, QList<Category> &target,
                                        const QString &libraryPath);
    static void parseGraphicsLibraryCategory(const Category &category, TWMediaNode &node);

private:
    QStringList m_folders;
};
