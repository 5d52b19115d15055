#pragma once

#include "platform/Geometry.h"

#include <QByteArray>

#include <memory>

class TWMap;
class TWMapBranch;

// What the map's settings ask of the whole-map drawing, layout and printing
// code that TWMapLayoutServices does not cover: laying the whole map out,
// renewing its previews, fitting text areas to a width and the printable
// page. Each map holds one set (TWMap::setDrawingServices()).
//
// Until the drawing subsystem provides the real set, the map uses
// TWMapDrawingStandIn: it lays nothing out, makes no previews (the preview
// read from a document stays in its package data) and answers the page of
// the locale's default paper size. It is a placeholder to be replaced, not an
// implementation.
class TWMapDrawingServices
{
public:
    virtual ~TWMapDrawingServices() = default;

    // The set of maps that were given none of their own: the one the drawing
    // code installs, else the stand-in below.
    static TWMapDrawingServices &shared();
    // Returns the set installed before; none puts the stand-in back.
    static std::shared_ptr<TWMapDrawingServices>
    installShared(std::shared_ptr<TWMapDrawingServices> services);

    // Lays the whole map out with the tight layout, then renews its preview.
    virtual void autoArrange(TWMap &map) = 0;
    // Renews the map's preview picture (TWMap::setPreviewImage(); none while
    // the canvas is too small for one) and announces it.
    virtual void updatePreviewImage(TWMap &map) = 0;
    // Stores the PNG preview in the document's package data.
    virtual void updatePreviewInFileCache(TWMap &map) = 0;
    // The same, keeping a stored preview drawn from `drawnFrom` (a
    // fingerprint of the map's text and pictures; empty: none).
    // What drawing the preview brings up to date in the model and the saved
    // text keeps (the extent of what is printed), done before the text is
    // written and the preview drawn.
    virtual void preparePreviewInFileCache(TWMap &map) { (void)map; }
    virtual void refreshPreviewInFileCache(TWMap &map, const QByteArray &drawnFrom)
    {
        (void)drawnFrom;
        updatePreviewInFileCache(map);
    }
    // Gives the text area the size it requires at that width and resizes the
    // main graphic around it.
    virtual void resizeForTextAreaConstrainedToWidth(TWMapBranch &branch, float width) = 0;
    // The size of the imageable area of the default printed page.
    virtual Size imageablePageSize() = 0;
    // Works a moved subtree's drawing extent out again at once, while its
    // graphics are at hand, for the levels it was cached for. Nothing here.
    virtual void refreshSubtreeDrawingExtent(TWMapBranch &branch, int shownLevels)
    {
        (void)branch;
        (void)shownLevels;
    }
    // Where the branch and the levels of its subtree shown with it may paint.
    // Here: what the branch has cached, else anywhere (nothing is passed over).
    virtual Rect subtreeDrawingExtent(TWMapBranch &branch, int shownLevels);
};

// The placeholder set (see above); shared by every map without a set of its own.
class TWMapDrawingStandIn : public TWMapDrawingServices
{
public:
    static TWMapDrawingStandIn &shared();

    void autoArrange(TWMap &) override {}
    void updatePreviewImage(TWMap &) override {}
    void updatePreviewInFileCache(TWMap &) override {}
    // The branch's own sizing, which needs no drawing code.
    void resizeForTextAreaConstrainedToWidth(TWMapBranch &branch, float width) override;
    Size imageablePageSize() override;
};
