#pragma once

#include "media/TWMediaNode.h"

#include <QString>
#include <memory>

// Reads the adornments folder (small icons that decorate branches) into the
// library tree of the media browser's Adornments pane: one node per folder,
// one record per picture, with the folder names and the file's base name as
// its search words.
class TWAdornmentsFolder
{
public:
    static inline const QString MediaType = QStringLiteral("TWAdornments");
    static inline const QString ToolbarIconName = QStringLiteral("TWAdornmentsBrowserToolbarIcon");

    explicit TWAdornmentsFolder(const QString &databasePath);
    // "Application Support/Thinkweb/Adornments" in the application's resources.
    static QString defaultDatabasePath(const QString &resourceFolder);

    const QString &databasePath() const { return m_databasePath; }
    // Folders deeper than this below the top are not read (a folder of the
    // user's own can be any size).
    void setMaxDepth(int depth) { m_maxDepth = depth; }
    // The tree; null when the folder does not exist.
    std::shared_ptr<TWMediaNode> parseDatabase() const;

private:
    void recursivelyParse(const QString &folder, TWMediaNode &node, int depth) const;
    QString m_databasePath;
    int m_maxDepth = 64;
};
