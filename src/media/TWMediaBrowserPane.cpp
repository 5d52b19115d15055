#include "media/TWMediaBrowserPane.h"

#include "media/TWMediaImages.h"
#include "platform/TWLocalizedString.h"

#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {

bool isPrefix(const QList<int> &prefix, const QList<int> &path)
{
    return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

bool arePeers(const QList<int> &a, const QList<int> &b)
{
    return a.size() == b.size() && !a.isEmpty() && isPrefix(a.mid(0, a.size() - 1), b);
}

QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

QString quoted(const QString &text)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_$+/:.-]+$"));
    if (bare.match(text).hasMatch())
        return text;
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else
            escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString description(const QVariant &value, int depth)
{
    const QString indent(depth * 4, QLatin1Char(' '));
    const QString inner((depth + 1) * 4, QLatin1Char(' '));
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        // Numbered keys in numeric order, as the master list is read back.
        QStringList keys = map.keys();
        std::stable_sort(keys.begin(), keys.end(), [](const QString &a, const QString &b) {
            bool aNumber = false, bNumber = false;
            const long long x = a.toLongLong(&aNumber), y = b.toLongLong(&bNumber);
            if (aNumber && bNumber)
                return x < y;
            return !aNumber && !bNumber ? a < b : aNumber;
        });
        QString text = QStringLiteral("{\n");
        for (const QString &key : keys)
            text += inner + quoted(key) + QStringLiteral(" = ") +
                    description(map.value(key), depth + 1) + QStringLiteral(";\n");
        return text + indent + QLatin1Char('}');
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        if (list.isEmpty())
            return QStringLiteral("()");
        QStringList items;
        for (const QVariant &item : list)
            items.append(inner + description(item, depth + 1));
        return QStringLiteral("(\n") + items.join(QStringLiteral(",\n")) + QLatin1Char('\n') +
               indent + QLatin1Char(')');
    }
    default:
        return quoted(value.toString());
    }
}

} // namespace

QString TWPropertyListDescription(const QVariant &value)
{
    return description(value, 0);
}

TWMediaBrowserPane::Member TWMediaBrowserPane::adornmentsMember()
{
    Member m;
    m.mediaType = QStringLiteral("TWAdornments");
    m.name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Adornments"));
    m.iconName = QStringLiteral("TWAdornmentsBrowserToolbarIcon");
    m.loadErrorImageName = QStringLiteral("TWAdornmentsBrowserLoadError");
    m.searchKeys = {TWMediaRecord::Caption, TWMediaRecord::ImagePath, TWMediaRecord::Keywords};
    m.dragKind = DragKind::Adornments;
    m.spacing = QSize(8, 8);
    m.photoSize = 16;
    m.autosaveName = QStringLiteral("TWAdornments");
    return m;
}

TWMediaBrowserPane::Member TWMediaBrowserPane::graphicsMember()
{
    Member m;
    m.mediaType = QStringLiteral("TWGraphics");
    m.name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Graphics"));
    m.iconName = QStringLiteral("TWGraphicsBrowserToolbarIcon");
    m.loadErrorImageName = QStringLiteral("TWGraphicsBrowserLoadError");
    m.searchKeys = {TWMediaRecord::Keywords, TWMediaRecord::ImageName};
    m.buildsImageDictionary = true;
    m.dragKind = DragKind::FileNames;
    m.spacing = QSize(15, 15);
    m.autosaveName = QStringLiteral("TWGraphics");
    return m;
}

TWMediaBrowserPane::Member TWMediaBrowserPane::photosMember()
{
    Member m;
    m.mediaType = QStringLiteral("TWPhotos");
    m.name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Photos"));
    m.iconName = QStringLiteral("TWPhotosBrowserToolbarIcon");
    m.loadErrorImageName = QStringLiteral("TWPhotosBrowserLoadError");
    m.searchKeys = {TWMediaRecord::Caption, TWMediaRecord::Keywords};
    m.dragKind = DragKind::FileNames;
    m.spacing = QSize(15, 15);
    m.autosaveName = QStringLiteral("TWPhotos");
    return m;
}

TWMediaBrowserPane::TWMediaBrowserPane(const Member &member, QObject *parent)
    : QObject(parent), m_member(member)
{
    m_thumbnails.setLoader(
        [](const QString &path) { return TWMediaImages::thumbnailForFile(path); });
    m_thumbnails.setLoadErrorImage(TWMediaImages::imageNamed(member.loadErrorImageName));
    connect(&m_thumbnails, &TWThumbnailQueue::thumbnailLoaded, this,
            &TWMediaBrowserPane::thumbnailLoaded);
}

void TWMediaBrowserPane::setImages(const QList<QVariantMap> &images, const QList<int> &indexPath)
{
    m_images = images;
    m_imageDictionary.clear();
    if (m_member.buildsImageDictionary) {
        for (int i = 0; i < m_images.size(); ++i)
            m_imageDictionary.insert(m_images.at(i).value(TWMediaRecord::ImagePath).toString(), i);
    }
    const bool related = m_hasIndexPath && (isPrefix(m_selectedIndexPath, indexPath) ||
                                            isPrefix(indexPath, m_selectedIndexPath) ||
                                            arePeers(m_selectedIndexPath, indexPath));
    if (!related)
        m_thumbnails.clearCache();
    m_selectedIndexPath = indexPath;
    m_hasIndexPath = true;
    refilter();
}

QVariantMap TWMediaBrowserPane::recordForPath(const QString &path) const
{
    const auto it = m_imageDictionary.constFind(path);
    return it == m_imageDictionary.cend() ? QVariantMap() : m_images.at(*it);
}

void TWMediaBrowserPane::search(const QString &text)
{
    m_searchString = text;
    refilter();
}

void TWMediaBrowserPane::refilter()
{
    m_selection.clear();
    m_filteredImages.clear();
    if (!m_searchString.isEmpty())
        m_filteredImages = TWMediaRecord::search(m_images, m_member.searchKeys, m_searchString);
    emit imagesChanged();
}

const QList<QVariantMap> &TWMediaBrowserPane::displayedImages() const
{
    return m_searchString.isEmpty() ? m_images : m_filteredImages;
}

QString TWMediaBrowserPane::captionAtIndex(int index) const
{
    const QList<QVariantMap> &shown = displayedImages();
    return index >= 0 && index < shown.size()
               ? shown.at(index).value(TWMediaRecord::Caption).toString()
               : QString();
}

std::optional<QImage> TWMediaBrowserPane::photoAtIndex(int index)
{
    const QList<QVariantMap> &shown = displayedImages();
    if (index < 0 || index >= shown.size())
        return std::nullopt;
    return m_thumbnails.photo(shown.at(index));
}

void TWMediaBrowserPane::setSelectionIndexes(const QList<int> &indexes)
{
    QList<int> valid;
    for (const int i : indexes) {
        if (i >= 0 && i < imageCount() && !valid.contains(i))
            valid.append(i);
    }
    std::sort(valid.begin(), valid.end());
    m_selection = valid;
    emit selectionChanged(selectedRecords());
}

void TWMediaBrowserPane::doubleClickOnPhotoAtIndex(int)
{
    emit selectionChanged(selectedRecords());
}

QList<QVariantMap> TWMediaBrowserPane::selectedRecords() const
{
    QList<QVariantMap> records;
    const QList<QVariantMap> &shown = displayedImages();
    for (const int i : m_selection) {
        if (i < shown.size())
            records.append(shown.at(i));
    }
    return records;
}

QMimeData *TWMediaBrowserPane::fillPasteboardForDrag() const
{
    QStringList paths;
    for (const QVariantMap &record : selectedRecords())
        paths.append(record.value(TWMediaRecord::ImagePath).toString());
    if (paths.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    if (m_member.dragKind == DragKind::Adornments)
        data->setData(AdornmentPasteboardType, paths.join(QLatin1Char(';')).toUtf8());
    // Always as files too: a path may itself hold a ";", and other
    // programs read files only.
    data->setUrls(fileUrls(paths));
    return data;
}

QMimeData *TWMediaBrowserPane::writeItems(const QList<QVariantMap> &records,
                                          const QString &albumName)
{
    QStringList paths;
    QVariantMap master;
    QVariantList keys;
    for (int i = 0; i < records.size(); ++i) {
        paths.append(records.at(i).value(TWMediaRecord::ImagePath).toString());
        QVariantMap copy = records.at(i);
        copy.remove(TWMediaRecord::CachedThumb);
        master.insert(QString::number(i + 1), copy);
        keys.append(i + 1);
    }
    const QVariantMap album{{QStringLiteral("Album Type"), QStringLiteral("Regular")},
                            {QStringLiteral("AlbumId"), 1},
                            {QStringLiteral("AlbumName"), albumName},
                            {QStringLiteral("KeyList"), keys}};
    const QVariantMap albums{{QStringLiteral("List of Albums"), QVariantList{album}},
                             {QStringLiteral("Master Image List"), master}};
    auto *data = new QMimeData;
    data->setUrls(fileUrls(paths));
    data->setData(AlbumDataListPasteboardType, TWPropertyListDescription(albums).toUtf8());
    data->setData(ImageDataListPasteboardType, TWPropertyListDescription(master).toUtf8());
    return data;
}

void TWMediaBrowserPane::didDeactivate()
{
    m_thumbnails.clearCache();
}
