#pragma once

#include "platform/Geometry.h"
#include "support/Font.h"
#include "support/XMLElement.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>
#include <optional>

class TWGraphic;
class TWLinkLine;
class TWMapBranch;
class TWMapLayoutServices;
class TWMapsDoc;
class UndoManager;

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
    void deparent();
    void reparent();

    // ===== What branches and graphics use of the map =====
    // Kept small and plain here; the map's own settings, selection and
    // link-line operations build on these declarations.
    using GraphicList = QList<std::shared_ptr<TWGraphic>>;
    using LinkLineList = QList<std::shared_ptr<TWLinkLine>>;
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;

    // The document's undo manager; null without a document.
    UndoManager *undoManager() const;
    // Layout, boundary and text-layout services of this map (a set that does
    // nothing until one is installed).
    TWMapLayoutServices &layoutServices() const;
    void setLayoutServices(std::shared_ptr<TWMapLayoutServices> services);

    // The central branch.
    const std::shared_ptr<TWMapBranch> &root() const { return m_root; }
    // Stores the root without undo; it gets this map (not its subtree).
    void setRoot(const std::shared_ptr<TWMapBranch> &root);
    // Every branch in pre-order from the root, hidden ones included.
    BranchList allBranches() const;
    // The graphic of the tree or a link line with that number, or null.
    std::shared_ptr<TWGraphic> findGraphicWithGraphicNumber(long number) const;

    // Selection, in selection order.
    const GraphicList &selectedGraphics() const { return m_selectedGraphics; }
    int countOfSelectedGraphics() const { return int(m_selectedGraphics.size()); }
    void insertObjectInSelectedGraphicsAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                               int index);
    void removeObjectFromSelectedGraphicsAtIndex(int index);
    void removeAllSelectedGraphics();
    // Takes the graphic out of the selection when it is selected.
    void removeSelectedGraphic(const TWGraphic *graphic);
    bool isGraphicSelected(const TWGraphic *graphic) const;
    // The distinct branches of the selected graphics, in selection order.
    QList<TWMapBranch *> selectedBranches() const;
    std::shared_ptr<TWMapBranch> selectedBranch() const { return m_selectedBranch.lock(); }
    void setSelectedBranch(const std::shared_ptr<TWMapBranch> &branch);
    // Forgets the branch when it is the selected branch.
    void removeSelectedBranch(const TWMapBranch *branch);

    // The cache of graphics in drawing order.
    const GraphicList &graphicOrderCache() const { return m_graphicOrderCache; }
    void insertObjectInGraphicOrderCacheAtIndex(const std::shared_ptr<TWGraphic> &graphic,
                                                int index);
    void removeAllGraphicOrderCache() { m_graphicOrderCache.clear(); }

    // Link lines and the link-line queries (ends compared by graphic number).
    const LinkLineList &linkLines() const { return m_linkLines; }
    int countOfLinkLines() const { return int(m_linkLines.size()); }
    void insertObjectInLinkLinesAtIndex(const std::shared_ptr<TWLinkLine> &line, int index);
    void removeObjectFromLinkLinesAtIndex(int index);
    LinkLineList linkLinesOnBranch(const TWMapBranch *branch) const;
    LinkLineList linkLinesStartingWithGraphic(const TWGraphic *graphic) const;
    LinkLineList linkLinesEndingWithGraphic(const TWGraphic *graphic) const;
    LinkLineList linkLinesStartingOrEndingWithGraphic(const TWGraphic *graphic) const;

    // Settings branches read (stored without undo here).
    struct BranchDisplaySettings
    {
        int branchHideLevel = 999;
        int layoutAssistanceMode = 1;
        int orderingMode = 1;
        int outlineNumbersToLevel = 0;
        bool showOutlineNumbers = false;
        bool outlineNumbersNeedUpdating = false;
        bool showAttachedGraphics = true;
        bool showTextIndicators = true;
        bool showCheckboxes = true;
        bool automaticCheckBoxes = false;
        bool showPercentComplete = true;
        bool showPriorities = true;
        bool showResourcesAllocated = true;
        bool childOutlineNumberingTopDown = false;
        bool textMaxWidthSet = false;
        float textMaxWidth = 200;
        std::optional<Font> outlineFont;
    };
    const BranchDisplaySettings &branchDisplaySettings() const { return m_branchSettings; }
    BranchDisplaySettings &branchDisplaySettingsForUpdate() { return m_branchSettings; }
    int branchHideLevel() const { return m_branchSettings.branchHideLevel; }
    int layoutAssistanceMode() const { return m_branchSettings.layoutAssistanceMode; }
    int orderingMode() const { return m_branchSettings.orderingMode; }
    bool outlineNumbersNeedUpdating() const { return m_branchSettings.outlineNumbersNeedUpdating; }
    void setOutlineNumbersNeedUpdating(bool needs)
    {
        m_branchSettings.outlineNumbersNeedUpdating = needs;
    }
    // Lays the map out after the branches moved (by the layout assistance mode).
    void autoArangeWithMovedBranches(const BranchList &moved);
    // Re-sorts the tree by position and numbers it again.
    void recalculateOutlineNumbers();
    // ===== end of what branches and graphics use =====

private:
    void readFromElement();

    XMLElement m_liveXMLElement;
    std::optional<QString> m_identifier;
    TWMapsDoc *m_document = nullptr;
    Size m_canvasSize = DefaultCanvasSize;

    // What branches and graphics use (see the block above).
    std::shared_ptr<TWMapBranch> m_root;
    std::weak_ptr<TWMapBranch> m_selectedBranch;
    GraphicList m_selectedGraphics;
    GraphicList m_graphicOrderCache;
    LinkLineList m_linkLines;
    BranchDisplaySettings m_branchSettings;
    std::shared_ptr<TWMapLayoutServices> m_layoutServices;
};

// Redraw notifications name the map they concern by pointer.
Q_DECLARE_METATYPE(TWMap *)
