#include "mapdrawing/MapDrawingRegistration.h"

#include "graphics/GraphicsRegistration.h"
#include "mapdrawing/TWBoundaryDrawing.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWMapDrawingServices.h"

void registerMapDrawingServices()
{
    // Once: a second call must not replace a set installed since.
    static const bool registered = [] {
        registerGraphicsKinds();
        TWMapDrawingServices::installShared(std::make_shared<TWMapPreviewServices>());
        TWBoundaryDrawing::installBoundaryPainter();
        return true;
    }();
    (void)registered;
}
