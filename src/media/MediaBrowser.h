#pragma once

// The media browser as the application calls on it: made by its factory
// when first asked for, on the whole browser or one of its panes.
class MediaBrowser
{
public:
    virtual ~MediaBrowser();
    virtual void showMediaBrowser() = 0;
    virtual void showPhotoLibrary() = 0;
    virtual void showGraphicsLibrary() = 0;
    virtual void showAdornmentsLibrary() = 0;
};
