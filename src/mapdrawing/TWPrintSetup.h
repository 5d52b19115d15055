#pragma once

#include "platform/Geometry.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/OrderedDictionary.h"

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <optional>

// A map's print setup dictionary: the page layout of the sheet (paper,
// orientation and the printer's imageable area, under the print-info key
// names documents carry) beside the system's own keys for margins, frame,
// crop marks, header and footer. Values are read leniently, because a
// dictionary read back from a file holds texts and numbers alike: an absent
// or unreadable value reads as NO, 0 or nothing.
namespace TWPrintSetup {

// The system's own keys.
inline const QString LeftMargin = QStringLiteral("leftMargin");
inline const QString RightMargin = QStringLiteral("rightMargin");
inline const QString TopMargin = QStringLiteral("topMargin");
inline const QString BottomMargin = QStringLiteral("bottomMargin");
inline const QString PrintFrame = QStringLiteral("printFrame");
inline const QString FrameWidth = QStringLiteral("frameWidth");
inline const QString FrameColor = QStringLiteral("frameColor");
inline const QString PrintCropMarks = QStringLiteral("printCropMarks");
inline const QString HeaderAttributedString = QStringLiteral("headerAttributedString");
inline const QString FooterAttributedString = QStringLiteral("footerAttributedString");
inline const QString HeaderImage = QStringLiteral("headerImage");
inline const QString FooterImage = QStringLiteral("footerImage");
inline const QString ResizeHeaderImageToTextSize = QStringLiteral("resizeHeaderImageToTextSize");
inline const QString ResizeFooterImageToTextSize = QStringLiteral("resizeFooterImageToTextSize");
inline const QString HeaderImageAlignment = QStringLiteral("headerImageAlignment");
inline const QString FooterImageAlignment = QStringLiteral("footerImageAlignment");
inline const QString ScaleToFitSinglePage = QStringLiteral("scaleToFitSinglePage");
inline const QString PrintBackground = QStringLiteral("printBackground");
inline const QString ManualMargins = QStringLiteral("manualMargins");

// The print-info keys of the page layout. The paper size is in points as
// oriented ("{w, h}"); the four print-info margins are the parts of the
// sheet the printer cannot reach, so the imageable area lies inside them.
inline const QString PaperName = QStringLiteral("NSPaperName");
inline const QString PaperSize = QStringLiteral("NSPaperSize");
inline const QString Orientation = QStringLiteral("NSOrientation");
inline const QString ImageableLeft = QStringLiteral("NSLeftMargin");
inline const QString ImageableRight = QStringLiteral("NSRightMargin");
inline const QString ImageableTop = QStringLiteral("NSTopMargin");
inline const QString ImageableBottom = QStringLiteral("NSBottomMargin");

// --- reading values ---
// Numbers, booleans and their texts ("YES", "true", "1", "2.5"); non-finite
// numbers read as 0.
double number(const OrderedDictionary &setup, const QString &key);
float floatValue(const OrderedDictionary &setup, const QString &key);
bool boolValue(const OrderedDictionary &setup, const QString &key);
int intValue(const OrderedDictionary &setup, const QString &key);
std::optional<Color> colorValue(const OrderedDictionary &setup, const QString &key);
// Nothing for an absent key or a value of another kind.
std::optional<AttributedString> attributedStringValue(const OrderedDictionary &setup,
                                                      const QString &key);
// The picture's bytes; empty when absent.
QByteArray dataValue(const OrderedDictionary &setup, const QString &key);

// --- the page layout ---
// The sheet the dictionary describes, in points. Without paper keys: the
// locale's default sheet (Letter or A4), portrait, imageable to its edges.
QPageLayout pageLayout(const OrderedDictionary &setup);
// Writes the layout's paper, orientation and imageable margins; the other
// keys are left alone.
void setPageLayout(OrderedDictionary &setup, const QPageLayout &layout);

// The paper as oriented, and the imageable bounds with the print info's
// coordinates: origin at the sheet's lower-left corner, y growing upward.
Size paperSize(const QPageLayout &layout);
Rect imageableBounds(const QPageLayout &layout);

} // namespace TWPrintSetup
