#pragma once

#include "support/AttributedString.h"

#include <QString>
#include <cstdint>
#include <memory>

#include <libxml/tree.h>

class TWMap;
class TWMapBranch;

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

// Writes maps as Keynote 2 and 3 presentations into a template's XML tree.
// This part holds the id counters, the finders every writer locates styles
// and layers with, the blank slide skeleton, the text slides and the
// character styles of rich text.
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
    // The counter's current value; the counter moves on by one.
    static quint32 takeCounter() { return s_counter++; }
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

private:
    // Adds the notes of a branch to the slide's notes text.
    static void addNotesOfBranch(const TWMapBranch &branch, AttributedString &notes);
    bool fillSlide(xmlNodePtr slide, TWMapBranch &branch,
                   const QList<std::shared_ptr<TWMapBranch>> &all, int start, int *stoppedAt,
                   int keynoteVersion);

    int m_slideNumber = 0;
    static quint32 s_counter;
};
