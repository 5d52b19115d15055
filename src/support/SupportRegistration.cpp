#include "support/SupportRegistration.h"

#include "support/AttributedString.h"
#include "support/BitmapImageRep.h"
#include "support/CalendarDate.h"
#include "support/Color.h"
#include "support/EPSImageRep.h"
#include "support/Font.h"
#include "support/Image.h"
#include "support/PDFImageRep.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWXMLProtocol.h"
#include "support/TextTab.h"
#include "support/XMLDocument.h"

void registerSupportTypes()
{
    static const bool registered = [] {
        XMLDetail::raiseDepthLimit();
        using TWXMLProtocol::registerClass;
        registerClass<Color>("NSColor");
        registerClass<Font>("NSFont");
        registerClass<Shadow>("NSShadow");
        registerClass<AttributedString>("NSAttributedString");
        // A mutable style is written under the immutable name; both names read.
        registerClass<ParagraphStyle>("NSParagraphStyle");
        registerClass<ParagraphStyle>("NSMutableParagraphStyle");
        registerClass<TextTab>("NSTextTab");
        registerClass<Image>("NSImage");
        registerClass<BitmapImageRep>("NSBitmapImageRep");
        registerClass<PDFImageRep>("NSPDFImageRep");
        registerClass<EPSImageRep>("NSEPSImageRep");
        registerClass<CalendarDate>("NSCalendarDate");
        return true;
    }();
    (void)registered;
}
