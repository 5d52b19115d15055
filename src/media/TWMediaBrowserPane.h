#pragma once

#include "media/TWMediaNode.h"
#include "media/TWThumbnailQueue.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QMimeData;

// One pane of the media browser: the pictures of the library node selected
// in its tree, narrowed by the search field, their thumbnails and their
// drags. The panes differ only as their Member says.
class TWMediaBrowserPane : public QObject
{
    Q_OBJECT

public:
    enum class DragKind {
        // "TWAdornmentPBoard": the paths joined by ";".
        Adornments,
        // The paths as files.
        FileNames,
    };

    struct Member
    {
        QString mediaType;
        QString name; // localized
        QString iconName;
        QString loadErrorImageName;
        QStringList searchKeys;
        bool buildsImageDictionary = false;
        DragKind dragKind = DragKind::FileNames;
        QSize spacing;
        // Zero: the grid's own size, changed with a slider.
        int photoSize = 0;
        QString autosaveName;
    };
    static Member adornmentsMember();
    static Member graphicsMember();
    static Member photosMember();

    static inline const QString AdornmentPasteboardType = QStringLiteral("TWAdornmentPBoard");
    static inline const QString AlbumDataListPasteboardType =
        QStringLiteral("AlbumDataListPboardType");
    static inline const QString ImageDataListPasteboardType =
        QStringLiteral("ImageDataListPboardType");

    explicit TWMediaBrowserPane(const Member &member, QObject *parent = nullptr);
    const Member &member() const { return m_member; }
    TWThumbnailQueue &thumbnails() { return m_thumbnails; }

    // The records of the node now selected at `indexPath` in the pane's
    // tree. The thumbnails stay cached while the selection moves within one
    // branch of the tree (to a sub-node, a parent or a peer).
    void setImages(const QList<QVariantMap> &images, const QList<int> &indexPath);
    const QList<QVariantMap> &images() const { return m_images; }
    const QList<int> &selectedIndexPath() const { return m_selectedIndexPath; }
    QVariantMap recordForPath(const QString &path) const;

    // The search field's text; an empty one shows every record.
    void search(const QString &text);
    const QString &searchString() const { return m_searchString; }
    // The records shown: the filtered ones while a search string is set.
    const QList<QVariantMap> &displayedImages() const;
    int imageCount() const { return int(displayedImages().size()); }
    QString captionAtIndex(int index) const;
    // Nothing until the thumbnail is loaded; imagesChanged() or
    // thumbnailLoaded() tell when to ask again.
    std::optional<QImage> photoAtIndex(int index);

    // Positions in the displayed list.
    const QList<int> &selectionIndexes() const { return m_selection; }
    void setSelectionIndexes(const QList<int> &indexes);
    void doubleClickOnPhotoAtIndex(int index);
    QList<QVariantMap> selectedRecords() const;

    // The drag of the selected pictures; null when none is selected.
    QMimeData *fillPasteboardForDrag() const;
    // The drag of a whole node: its files, and the album and image lists
    // other picture programs read.
    static QMimeData *writeItems(const QList<QVariantMap> &records, const QString &albumName);

    // The pane is hidden: its thumbnails are let go.
    void didDeactivate();

signals:
    // The displayed list changed (new node or search); the selection is empty.
    void imagesChanged();
    void selectionChanged(const QList<QVariantMap> &records);
    void thumbnailLoaded();

private:
    void refilter();

    Member m_member;
    QList<QVariantMap> m_images;
    QHash<QString, int> m_imageDictionary; // "ImagePath" -> position in m_images
    QList<QVariantMap> m_filteredImages;
    QString m_searchString;
    QList<int> m_selection;
    QList<int> m_selectedIndexPath;
    bool m_hasIndexPath = false;
    TWThumbnailQueue m_thumbnails;
};

// The text form of a property-list value as the desktop's description
// writes it: { key = value; }, ( a, b ), strings quoted where needed.
QString TWPropertyListDescription(const QVariant &value);
