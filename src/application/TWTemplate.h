#pragma once

#include "model/PackageArchive.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

class QPainter;
class TWMapsDoc;
class TWDocument;
class XMLElement;

// One map of a template file, offered for a new map.
class TWTemplate
{
public:
    // Size of the framed previews.
    static constexpr int PreviewWidth = 640;
    static constexpr int PreviewHeight = 480;

    QString name;
    QString identifier;
    // The framed preview, not the stored picture.
    QImage previewImage;
    // UTF-8 text of the map's element, from which a new map is built.
    QByteArray mapXMLData;

    // Named by "mapName", else the root topic's text, else "Untitled".
    static std::shared_ptr<TWTemplate> templateWithMapXMLElement(const XMLElement &element);
    // Frames the stored preview (a null image gives the frame alone).
    void setPreviewImage(const QImage &stored);

    // The stored preview stretched into a blue frame over a title strip at
    // the bottom, all tinted.
    static QImage templateImageFromPreviewImage(const QImage &image, QSize size,
                                                const QString &name);
    // The frame and title, in an image of rect's size (y down).
    static void drawBorderForTemplateImageRect(QPainter &painter, const QRectF &rect,
                                               qreal titleHeight, const QString &title);
    // A grey rendering of the image, alpha kept.
    static QImage imageWithEffectsAppliedToImage(const QImage &image);
};

// A template file: every map of it is a template.
class TWTemplateGroup
{
public:
    static inline const QString Extension = QStringLiteral("twtemplate");

    // The file's name without folder and extension.
    QString name;
    QList<std::shared_ptr<TWTemplate>> templates;
    // Every other package entry (pictures the maps refer to), by path.
    PackageData cachedData;

    // A file that cannot be read, parsed or holds no maps gives a group
    // without templates.
    static std::shared_ptr<TWTemplateGroup> initWithContentsOfFile(const QString &path);
    // Groups are read-only.
    bool writeToFile(const QString &) const { return false; }

    // Takes package entries into the document without replacing any: an
    // entry whose path the document holds with other bytes goes under a
    // new path, and the map element's references follow it.
    static void mergeCachedData(TWMapsDoc &document, const PackageData &data,
                                XMLElement &mapElement);
};

// The template files: the built-in ones and the user's own.
class TWTemplateController
{
public:
    using GroupList = QList<std::shared_ptr<TWTemplateGroup>>;

    // Empty folders mean the standard ones; tests pass their own.
    explicit TWTemplateController(const QString &standardFolder = QString(),
                                  const QString &customFolder = QString());
    static TWTemplateController &sharedTemplateController();
    static QString standardTemplateGroupsFolder();
    // Made when missing.
    static QString customTemplateGroupsFolder();
    QString standardFolder() const;
    QString customFolder() const;

    // One group per "*.twtemplate" file (any case), in listing order.
    static GroupList templateGroupsInFolder(const QString &path);
    // Read on first request and kept.
    const GroupList &standardTemplateGroups();
    const GroupList &customTemplateGroups();
    GroupList allTemplateGroups();

    // A typed name made safe as a file name: separators become "-", leading
    // dots and surrounding spaces go; nullopt when nothing is left.
    static std::optional<QString> sanitizedTemplateName(const QString &name);

    // Asks for a name, confirms a replacement and writes the document.
    void saveDocumentAsTemplate(TWDocument &document);
    enum class SaveResult { Saved, Cancelled, InvalidName, WriteFailed };
    // The part after the name prompt. The document's save date and revision
    // stay as they were.
    SaveResult saveMapsDocumentAsTemplate(TWMapsDoc &document, const QString &name);

private:
    QString m_standardFolder;
    QString m_customFolder;
    std::optional<GroupList> m_standard;
    std::optional<GroupList> m_custom;
};
