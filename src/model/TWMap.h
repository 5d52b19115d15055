#pragma once

#include "platform/Geometry.h"
#include "support/XMLElement.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>
#include <optional>

class TWMapBranch;
class TWMapsDoc;

// One mind map of a document: one tab of the document window.
//
// This is the map as far as the document needs it today: its identifier, the
// back pointer to its maps document and its live `TWMap` element, which is
// kept as it was read so that every setting, branch and link line survives a
// load and a save unchanged. The settings, the branch tree and the selection
// read that element as they are built out.
class TWMap : public std::enable_shared_from_this<TWMap>
{
    struct Passkey
    {
        explicit Passkey() = default;
    };

public:
    // The canvas of a new map when no page frames are shown.
    static constexpr Size DefaultCanvasSize{617, 458};

    // A new empty map of the document (which may be null), with a fresh
    // identifier. Nothing is registered for undo.
    static std::shared_ptr<TWMap> create(TWMapsDoc *document);
    // A map read from its `TWMap` element, which it keeps (a copy of it, so
    // the caller's tree can change freely). Null for an element that is not a
    // map. Each branch element it holds counts once on the loading progress.
    static std::shared_ptr<TWMap> createWithXMLElement(const XMLElement &element,
                                                       TWMapsDoc *document);

    explicit TWMap(Passkey);
    ~TWMap();
    TWMap(const TWMap &) = delete;
    TWMap &operator=(const TWMap &) = delete;

    // A copy that belongs to no document and has an identifier of its own.
    std::shared_ptr<TWMap> copy() const;

    TWMapsDoc *document() const { return m_document; }
    void setDocument(TWMapsDoc *document) { m_document = document; }

    // The identifier, made on first request when the map has none.
    QString identifier();
    const std::optional<QString> &storedIdentifier() const { return m_identifier; }
    // Package path of the map's preview picture.
    QString previewPath();

    Size canvasSize() const { return m_canvasSize; }
    void setCanvasSize(Size size);

    // Package path of the background picture; nothing when there is none.
    std::optional<QString> backgroundImageFilename() const;
    // Package paths the map's graphics and branches refer to: pictures,
    // movies and sounds.
    QStringList referencedPackagePaths() const;
    // Whether the map refers to the package path (preview, background,
    // pictures, movies and sounds).
    bool refersToPackagePath(const QString &path);

    // The live element, brought up to date.
    XMLElement liveXMLElement();
    // A copy of the live element brought up to date, for another document.
    XMLElement freshXMLElementEmbeddingBinaryData(bool embed);

    // The central branch. The tree stays inside the element for now.
    std::shared_ptr<TWMapBranch> root() const { return nullptr; }
    // The graphics currently selected. The map has no graphics yet.
    QVariantList selectedGraphics() const { return {}; }
    // Branches of the tree that match a report filter.
    void addBranchesMatchingReport(const QVariantMap &, QList<std::shared_ptr<TWMapBranch>> &) {}

    // Work after loading. Layout, re-sorting and outline numbers are done by
    // the layout pass once the map has its branch tree; nothing to do yet.
    void processFlags() {}
    // Branches that asked to be brought to their natural size get it.
    void makeNaturalSizeOfMarkedBranches() {}
    // Preview pictures are drawn by the drawing code; until the map draws,
    // the preview read from the document stays in the package data.
    void updatePreviewImage() {}
    void setNeedsUpdatePreviewImage(bool needs)
    {
        if (needs)
            updatePreviewImage();
    }
    void updatePreviewInFileCache() {}

    // Cut and restore the back pointers of the branch tree.
    void deparent() {}
    void reparent() {}

private:
    void readFromElement();

    XMLElement m_liveXMLElement;
    std::optional<QString> m_identifier;
    TWMapsDoc *m_document = nullptr;
    Size m_canvasSize = DefaultCanvasSize;
};

// Redraw notifications name the map they concern by pointer.
Q_DECLARE_METATYPE(TWMap *)
