#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <QImage>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <libxml/tree.h>

class TWGraphic;
class TWLine;
class TWMap;
class TWMapBranch;
class TWTextArea;

// The namespaces of a presentation, taken by prefix from its root element:
// templates may bind any URI to these prefixes. A prefix the root does not
// declare is null.
struct KeynoteNamespaces
{
    xmlNsPtr key = nullptr;
    xmlNsPtr sf = nullptr;
    xmlNsPtr sfa = nullptr;
    xmlNsPtr xsi = nullptr;

    static KeynoteNamespaces forDocument(xmlDocPtr doc);
};

// A presentation package: a folder whose files are held in memory while a
// presentation is made from a template.
class KeynotePackage
{
public:
    // Every file below the folder, on disk or in the resources (":/...");
    // nothing when the path is no readable folder.
    static std::optional<KeynotePackage> fromFolder(const QString &path);

    // Names are paths relative to the package folder.
    QStringList fileNames() const { return m_files.keys(); }
    bool contains(const QString &name) const { return m_files.contains(name); }
    QByteArray fileData(const QString &name) const { return m_files.value(name); }
    // A file of that name is replaced.
    void addRegularFile(const QByteArray &data, const QString &preferredName);
    void removeFile(const QString &name) { m_files.remove(name); }

    // Writes the package as a folder beside the target, then puts it in the
    // target's place; a failure leaves what was there. False with the reason.
    bool writeTo(const QString &path, QString *error = nullptr) const;

private:
    QMap<QString, QByteArray> m_files;
};

// A graphic's picture as the package stores it. One decode step serves the
// fill that shows it and the copy into the package, so both agree on name
// and bytes: EPS becomes TIFF (named so), library pictures are deciphered.
struct KeynotePicture
{
    QString packageName; // "photo42png", "chart42tiff"
    QString displayName; // the last component of the graphic's picture name
    QByteArray data;     // what the package stores; empty when nothing is stored
    QImage image;        // null when the bytes are no picture
    Size size;           // in points
};

// What a text box on a slide refers to: the slide's anonymous styles, its
// stylesheet and its text-box layout and paragraph styles.
struct KeynoteTextBoxStyles
{
    xmlNodePtr anonStyles = nullptr;
    QString stylesheet;
    QString layout;
    QString paragraph;

    // Looked up below the slide that holds the node.
    static KeynoteTextBoxStyles forSlideOf(xmlNodePtr node);
};

// Writes maps as Keynote 2 and 3 presentations into a template's XML tree.
// It holds the id counters, the finders every writer locates styles and
// layers with, the blank slide skeleton, the text slides and the character
// styles of rich text, the map slide with its graphics, lines and indicator
// overlays, and the package writer behind the Export menu's action.
//
// Ids: every generated id that carries a sequence number takes the module-
// wide counter and increments it; slide-level ids also carry slideNumber.
// Both restart at 0 for every presentation (resetIds), so ids never repeat
// within one presentation. Numbers are written in full (64-bit where a
// caller passes a graphic number), never truncated.
class KeynoteExportController
{
public:
    static KeynoteExportController &sharedExporter();

    // --- identifiers ---
    // Called at the start of each presentation.
    void resetIds();
    int slideNumber() const { return m_slideNumber; }
    static quint32 counter() { return s_counter; }
    // The counter's current value; the counter moves on by one. Reserved
    // numbers are passed over.
    static quint32 takeCounter();
    // Numbers the counter must not hand out: the graphic numbers of the map
    // being written, whose ids share their kinds with counter ids.
    static void setReservedNumbers(QSet<qint64> numbers);
    // "TW<kind>-<n>" and "TW<kind>-<a>-<b>", numbers in full.
    static QString makeId(const char *kind, qint64 n);
    static QString makeId(const char *kind, qint64 a, qint64 b);

    // --- finders (log, never alert) ---
    // The first element matching ".//<type>" below node whose attribute
    // `attribute` in the namespace of `prefix` equals `value`; with a null
    // attribute, prefix or value, the first match whatever its attributes.
    // nullptr, with a log line, when none matches or the prefix is not in
    // scope at the first match.
    static xmlNodePtr findNodeFromNode(xmlNodePtr node, const QString &type,
                                       const QString &attribute, const QString &prefix,
                                       const QString &value);
    // The value of attribute `property` (namespace `propertyPrefix`, looked
    // up on the root) of the element findNodeFromNode finds; "" and a log
    // line when anything is missing.
    static QString findValueOfPropertyNamed(const QString &property, const QString &propertyPrefix,
                                            xmlNodePtr node, const QString &type,
                                            const QString &attribute, const QString &prefix,
                                            const QString &value);

    // --- slides ---
    // Appends a new slide skeleton (own stylesheet, placeholders, three-layer
    // page, master reference) to the slide list and returns it. `blank`
    // leaves the title and body references off the foreground layer.
    xmlNodePtr createBlank(bool blank, const QString &masterSlideRef,
                           const QString &masterLayerInfo, const QString &styleSheetId,
                           xmlNodePtr slideList, bool isTextSlide, int keynoteVersion);

    // One text slide (and its continuation slides) per first-level branch of
    // the map, from the bullet master. Reads ExportKeynoteIncludeHiddenBranchText,
    // ExportKeynoteSubBranchesPerPage and ExportKeynoteTextSizeMultiplier.
    // false (with a log line) when a slide cannot be filled.
    bool createTextSlides(const QString &masterSlideRef, const QString &masterLayerInfo,
                          const QString &styleSheetId, xmlNodePtr slideList,
                          xmlNodePtr presentation, int keynoteVersion, TWMap &map);
    // Fills a made slide with the branch's title and its descendants from
    // index `branchNumber` of its pre-order list (the branch itself is 0),
    // then makes continuation slides until every descendant is placed.
    bool addSlideText(xmlNodePtr slide, xmlNodePtr slideList, TWMapBranch &firstLevelBranch,
                      int branchNumber, const QString &masterSlideRef,
                      const QString &masterLayerInfo, const QString &styleSheetId,
                      int keynoteVersion);

    // --- rich text ---
    // Appends an sf:characterstyle made from the attributes to the anonymous
    // styles and returns its id. Sizes, shadow offsets and blurs are
    // multiplied by sizeMultiplier.
    static QString populateAnonStyles(xmlNodePtr anonStyles, const TextAttributes &attributes,
                                      float sizeMultiplier);
    // Appends the text to the paragraph as sf:span elements, one character
    // style per attribute run, tabs as sf:tab and line breaks as sf:br.
    static void insertAttributedString(const AttributedString &string, xmlNodePtr paragraph,
                                       xmlNodePtr anonStyles, float sizeMultiplier);

    // Bullets per slide as the setting asks, at least 1 (below would never
    // place a bullet and ask for continuation slides without end).
    static int subBranchesPerPage();

    // --- map slide ---
    // The pictures of the indicator overlays by name ("HasTextIndicatorOverlay",
    // "CheckboxChecked", "3", ...): the map drawing's icons unless a provider
    // is set; a null image leaves that overlay out.
    using NamedImageProvider = std::function<QImage(const QString &name)>;
    void setNamedImageProvider(NamedImageProvider provider) { m_namedImages = std::move(provider); }
    QImage namedImage(const QString &name) const;
    static QImage builtInNamedImage(const QString &name);

    // The slide showing the whole map: a blank slide whose foreground holds
    // a shape per visible graphic (last in printing order first, link lines
    // last), each text area's indicator overlays after it, the pictures
    // copied into the package and the central branch's notes as speaker
    // notes. false when the new slide lacks its styles or layers.
    bool createMapSlide(const QString &masterSlideRef, const QString &masterLayerInfo,
                        const QString &styleSheetId, xmlNodePtr slideList, xmlNodePtr presentation,
                        float zoom, float xOffset, float yOffset, int keynoteVersion, TWMap &map,
                        KeynotePackage &package);

    // The graphic's picture decoded for the package; nothing without a
    // picture name or without data under it.
    static std::optional<KeynotePicture> pictureOfGraphic(const TWGraphic &graphic);
    // Turns a library picture's stored bytes into ordinary image bytes.
    static QByteArray decipherLibraryPicture(const QByteArray &data, const QString &extension);

    // The graphic's anonymous style and shape; nothing for a graphic that
    // draws no stroke or fill, has no picture and is no text area.
    void insertGraphicInstructions(TWGraphic &graphic, xmlNodePtr group, xmlNodePtr anonStyles,
                                   float zoom, float xOffset, float yOffset, int keynoteVersion,
                                   const std::optional<KeynotePicture> &picture);
    // The shape alone: a line, a text box (one per character along a flexi
    // curve) or the flattened outline.
    void insertPathInstructions(TWGraphic &graphic, xmlNodePtr group, float zoom, float xOffset,
                                float yOffset, const QString &styleId);
    static void insertOutlineShape(TWGraphic &graphic, xmlNodePtr group, float zoom, float xOffset,
                                   float yOffset, const QString &styleId);
    // The styles are looked up when none are given.
    static void insertTextBoxes(TWTextArea &textArea, xmlNodePtr group, float zoom, float xOffset,
                                float yOffset, const QString &styleId,
                                const KeynoteTextBoxStyles *styles = nullptr);
    static void insertLine(TWLine &line, xmlNodePtr group, float zoom, float xOffset, float yOffset,
                           const QString &styleId);

    // The indicators of the branch whose text area this is, as pictures
    // stored in the package and shapes filled with them.
    void insertOverlays(TWMapBranch &branch, const TWGraphic &textArea, xmlNodePtr group,
                        xmlNodePtr anonStyles, float zoom, float xOffset, float yOffset,
                        int keynoteVersion, KeynotePackage &package);
    // Whole degrees of the completion pie, truncated toward zero.
    static int completionPieDegrees(float percentage);

    // --- package and export ---
    struct Placement
    {
        float zoom = 1;
        float xOffset = 0;
        float yOffset = 0;
    };
    // Fits the map's drawing rectangle into the slide at the zoom percent
    // (at least 1), centred; at most 2.0 and never from an empty rectangle.
    static Placement mapPlacement(Rect bounds, int slideWidth, int slideHeight,
                                  long long zoomPercent);
    // The template of ExportKeynoteVersionAndSize: its package path and
    // version; the support folder and 0 outside the table.
    static std::pair<QString, int> templateForSetting(long long index);
    // Fills one presentation into a fresh copy of the template package.
    bool generateKeynoteFile(const QString &templatePath, KeynotePackage &package,
                             int keynoteVersion, TWMap &map);
    // One presentation per map, named as the export names numbered files.
    void exportMaps(const QList<std::shared_ptr<TWMap>> &maps, const QString &path);
    // One presentation per (map, file); stops at the first presentation that
    // cannot be made, goes on after one that cannot be written.
    void exportMapsToFiles(const QList<std::pair<std::shared_ptr<TWMap>, QString>> &targets);

private:
    // Adds the notes of a branch to the slide's notes text.
    static void addNotesOfBranch(const TWMapBranch &branch, AttributedString &notes);
    bool fillSlide(xmlNodePtr slide, TWMapBranch &branch,
                   const QList<std::shared_ptr<TWMapBranch>> &all, int start, int *stoppedAt,
                   int keynoteVersion);

    int m_slideNumber = 0;
    static quint32 s_counter;
    static QSet<qint64> s_reserved;
    NamedImageProvider m_namedImages;
    // The map slide's text-box styles while its graphics are written: looked
    // up once, not once per text box.
    std::optional<KeynoteTextBoxStyles> m_slideTextBoxStyles;
};
