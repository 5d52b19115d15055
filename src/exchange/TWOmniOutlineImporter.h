#pragma once

#include "support/AttributedString.h"
#include "support/Color.h"

#include <QStringList>
#include <QVariantMap>
#include <optional>

#include <libxml/tree.h>

class TWMapBranch;
class TWMapsDoc;
class TWOutlinerImportHost;

// Reads outliner files into new map documents: version 2 (a gzipped XML
// property list) and version 3 (gzipped XML with styled rich text), as a
// plain file or as a folder holding contents.xml. Every outline item becomes
// a branch under the central branch; its columns give the branch text and its
// note an attached text. What the reader does not understand is gathered and
// shown once at the end, the import going on.
class TWOmniOutlineImporter
{
public:
    // Style key to value: Color, bool, double, int, QString, or a list of
    // TextTab for the tab stops.
    using StyleDictionary = QVariantMap;

    // Outliner files are small; anything inflating beyond this is refused
    // rather than held in memory.
    static constexpr qint64 MaximumDataSize = qint64(256) << 20;

    static TWOmniOutlineImporter &sharedImporter();

    TWOmniOutlineImporter() = default;
    TWOmniOutlineImporter(const TWOmniOutlineImporter &) = delete;
    TWOmniOutlineImporter &operator=(const TWOmniOutlineImporter &) = delete;

    // What a file may inflate to (tests lower it).
    qint64 maximumDataSize() const { return m_maximumDataSize; }
    void setMaximumDataSize(qint64 size) { m_maximumDataSize = size; }

    TWOutlinerImportHost *host() const { return m_host; }
    void setHost(TWOutlinerImportHost *host) { m_host = host; }

    // The new document, or null when the file was refused (the user has been
    // told why) or no document could be made.
    TWMapsDoc *openOOFile(const QString &path, bool addToDocumentController);
    // The builders; defaultTitle is the source path without its extension.
    TWMapsDoc *documentFromOO2Dictionary(const QVariantMap &dictionary,
                                         bool addToDocumentController, const QString &defaultTitle);
    TWMapsDoc *documentFromOO3XMLString(const QString &xml, bool addToDocumentController,
                                        const QString &defaultTitle);
    // The uncompressed contents of a file, identified and built as the file
    // would be (what openOOFile does once the data is read).
    TWMapsDoc *documentFromData(const QByteArray &data, bool addToDocumentController,
                                const QString &defaultTitle);

    // Fills the branch from a version 2 item and grows its children.
    void processChild(const QVariantMap &item, TWMapBranch &branch);
    // Adds one for the item and each item below it.
    static void numberOfNodesInOODict(const QVariantMap &item, int &counter);
    // Fills the branch from a version 3 item element and grows its children.
    void processOO3Child(xmlNodePtr item, TWMapBranch &branch);

    // --- styles and colours (TWOmniOutlineImporter_Styles.cpp) ---
    std::optional<Color> ooColorFromNode(xmlNodePtr node);
    void populateStyleAttributeRegistry(QVariantMap &registry, xmlNodePtr declaration);
    void populateDictionary(StyleDictionary &style, xmlNodePtr value);
    // Applies one style element: its inherited styles, then its values.
    void applyStyleElement(StyleDictionary &style, xmlNodePtr styleElement);
    // Text attributes of a style; the paragraph settings always come from
    // paragraphStyle (an item's style, also for its runs).
    static TextAttributes textAttributesFromStyle(const StyleDictionary &style,
                                                  const StyleDictionary &paragraphStyle);

    // The problems of the last import, each once, in the order met.
    const QStringList &errors() const { return m_errorsArray; }
    const QVariantMap &styleAttributeRegistry() const { return m_styleAttributeRegistry; }
    const QMap<QString, StyleDictionary> &namedStyles() const { return m_namedStyles; }
    const StyleDictionary &baseStyle() const { return m_baseStyle; }

    // Why a version 3 builder cannot read the document (another version of
    // the outliner, another root, rows where it does not look), or none.
    static std::optional<QString> unreadableOutlineReason(xmlDocPtr xml);

    // The text of the alert that lists the problems.
    static QString errorReport(const QStringList &errors);

private:
    TWMapsDoc *documentFromOO3Document(xmlDocPtr document, bool addToDocumentController,
                                       const QString &defaultTitle);
    void readNamedStyles(xmlNodePtr namedStyle);
    // The rich text of a `text` element: paragraphs of runs, no separators.
    AttributedString richTextFromTextElement(xmlNodePtr text, const StyleDictionary &itemStyle);
    TWMapsDoc *newDocument(const QString &defaultTitle, bool addToDocumentController);
    void nameCentralBranch(TWMapsDoc &document, const QString &defaultTitle);
    void addError(const QString &problem);
    void reportErrors();

    TWOutlinerImportHost *m_host = nullptr;
    qint64 m_maximumDataSize = MaximumDataSize;
    QVariantMap m_styleAttributeRegistry;
    QMap<QString, StyleDictionary> m_namedStyles;
    StyleDictionary m_baseStyle;
    QStringList m_errorsArray;
    // Entity references met in texts: not expanded, named once at the end.
    QStringList m_unreadEntities;
};
