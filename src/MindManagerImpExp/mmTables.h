#pragma once

#include <QString>
#include <optional>
#include <utility>

// The MindManager urns and the model codes they stand for, shared by the
// import and the export. Urns compare exactly; a value that a table does not
// hold gives nothing, and the caller keeps its own setting.
namespace mmTables {

// One row: urn suffix (after "urn:mindjet:") and the code.
struct UrnCode
{
    const char *name;
    int code;
};

inline const QString &urnPrefix()
{
    static const QString prefix = QStringLiteral("urn:mindjet:");
    return prefix;
}

inline QString urn(const char *name)
{
    return urnPrefix() + QLatin1String(name);
}

// The code of the first row whose urn equals the value.
template <std::size_t N>
std::optional<int> lookup(const UrnCode (&table)[N], const std::optional<QString> &value)
{
    if (!value || !value->startsWith(urnPrefix()))
        return std::nullopt;
    const QStringView name = QStringView(*value).mid(urnPrefix().size());
    for (const UrnCode &row : table) {
        if (name == QLatin1String(row.name))
            return row.code;
    }
    return std::nullopt;
}

// The urn of the first row with the code (the export's direction).
template <std::size_t N> std::optional<QString> urnFor(const UrnCode (&table)[N], int code)
{
    for (const UrnCode &row : table) {
        if (row.code == code)
            return urn(row.name);
    }
    return std::nullopt;
}

// Shape of a topic: branch type code (1 line, 2 rectangle, 3 circle, 6 cloud).
inline constexpr UrnCode kTopicShapes[] = {
    {"None", 1},
    {"Line", 1},
    {"Rectangle", 2},
    {"RoundedRectangle", 2},
    {"Hexagon", 2},
    {"Octagon", 2},
    {"Image", 2},
    {"Circle", 3},
    {"Oval", 3},
    {"CalloutLine", 1},
    {"RectangleBalloon", 2},
    {"RoundedRectangleBalloon", 2},
    {"Highlight", 2},
    {"OvalBalloon", 6},
    {"ThoughtBubble", 6},
};

// Corners of a rectangle shape: 1 rounded, 2 octagon, 3 hexagon; 0 otherwise.
inline constexpr UrnCode kCornerModes[] = {
    {"RoundedRectangle", 1},
    {"RoundedRectangleBalloon", 1},
    {"Octagon", 2},
    {"Hexagon", 3},
};

// The central topic's default sub-topic shape: the type new branches get;
// anything not listed makes rectangles.
inline constexpr UrnCode kRootSubTopicShapes[] = {
    {"None", 1},
    {"Line", 1},
    {"Circle", 3},
    {"Oval", 3},
};
inline constexpr int kRootSubTopicShapeOther = 2;

// Relationship end: arrow style, and whether the arrow is filled (-1: left
// as the new line has it).
struct ArrowRow
{
    const char *name;
    int style;
    int filled;
};
inline constexpr ArrowRow kArrows[] = {
    {"NoArrow", 0, -1},     {"Arrow", 1, 1},        {"OpenArrow", 1, 0},
    {"StealthArrow", 1, 1}, {"DiamondArrow", 4, 1}, {"OvalArrow", 2, 1},
};

// Boundary line dash: line style code (1 solid, 2-7 dashes).
inline constexpr UrnCode kDashStyles[] = {
    {"Solid", 1},   {"RoundDot", 2}, {"SquareDot", 2},   {"Dash", 3},
    {"DashDot", 4}, {"LongDash", 5}, {"LongDashDot", 6}, {"LongDashDotDot", 7},
};

// Boundary outline: corner style code of the model (2 is its zigzag).
inline constexpr UrnCode kBoundaryShapes[] = {
    {"Lines", 0}, {"CurvedLine", 1}, {"Zigzag", 2}, {"Scallops", 4}, {"Waves", 4},
};

// A topic's own sub-topic connection: the branch's children connection style.
inline constexpr UrnCode kChildrenConnectionStyles[] = {
    {"None", 1},  {"Straight", 2},     {"Arc", 3},          {"Curve", 4},
    {"Elbow", 5}, {"RoundedElbow", 6}, {"ShearedElbow", 7}, {"Angle", 8},
};

// Text against picture: text relative position; anything else is 3.
inline constexpr UrnCode kTextPositions[] = {
    {"TextLeftImageRight", 2},
    {"TextRightImageLeft", 2},
    {"TextTopImageBottom", 1},
};
inline constexpr int kTextPositionOther = 3;

inline constexpr UrnCode kTextAlignments[] = {{"Left", 0}, {"Right", 1}, {"Center", 2}};

// Task duration: hours per unit and the model's unit code.
struct DurationUnit
{
    const char *name;
    double hours;
    int unit;
};
inline constexpr DurationUnit kDurationUnits[] = {
    {"Hour", 1.0, 2},
    {"Day", 24.0, 3},
    {"Week", 168.0, 4},
    {"Month", 730.484375, 5},
};

// Hyperlink type codes of the model.
enum HyperlinkType { FileLink = 1, WebLink = 2, WebMapLink = 3, MapFileLink = 4, MailLink = 5 };

// Whether the URL begins with a scheme ("https:", "ftp:", "file:"): a
// letter, then letters, digits, "+", "-" or ".", then a colon. One letter
// before the colon is a drive ("C:\\"), not a scheme.
inline bool hasURLScheme(QStringView url)
{
    const qsizetype colon = url.indexOf(u':');
    if (colon < 2)
        return false;
    const auto ascii = [](QChar c, bool first) {
        const char16_t u = c.unicode();
        const bool letter = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        return letter ||
               (!first && ((u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.'));
    };
    for (qsizetype i = 0; i < colon; ++i) {
        if (!ascii(url.at(i), i == 0))
            return false;
    }
    return true;
}

// Escapes of mail link parts, undone in this order: the percent sign last.
inline constexpr std::pair<const char *, char> kMailEscapes[] = {
    {"%3A", ':'},  {"%2F", '/'},  {"%40", '@'}, {"%23", '#'}, {"%3B", ';'}, {"%20", ' '},
    {"%0A", '\n'}, {"%5C", '\\'}, {"%21", '!'}, {"%22", '"'}, {"%3F", '?'}, {"%3E", '>'},
    {"%3C", '<'},  {"%24", '$'},  {"%5B", '['}, {"%5D", ']'}, {"%7E", '~'}, {"%5E", '^'},
    {"%60", '`'},  {"%7B", '{'},  {"%7D", '}'}, {"%7C", '|'}, {"%25", '%'},
};

// --- level defaults: the enumerated getters ---
inline constexpr UrnCode kResizeAttributes[] = {{"FixedWidth", 0}, {"AutoWidth", 1}, {"NoWrap", 2}};
inline constexpr UrnCode kBranchVerticalAlignments[] = {{"Top", 1}, {"Center", 2}, {"Bottom", 3}};
inline constexpr UrnCode kBranchHorizontalAlignments[] = {{"Left", 0}, {"Center", 1}, {"Right", 2}};
inline constexpr UrnCode kChildrenVerticalAlignments[] = {{"Top", 0}, {"Center", 1}, {"Bottom", 2}};
inline constexpr UrnCode kChildrenHorizontalAlignments[] = {
    {"Vertical", 0},      {"ConvexEllipse", 1}, {"ConcaveEllipse", 2}, {"ConvexCorner", 3},
    {"ConcaveCorner", 4}, {"Inclined", 5},      {"Declined", 6},
};
inline constexpr UrnCode kConnectionPoints[] = {{"Center", 0}, {"Outside", 1}, {"Spread", 2}};
// The defaults' connection style counts from 0, the branch's from 1.
inline constexpr UrnCode kDefaultConnectionStyles[] = {
    {"None", 0},  {"Straight", 1},     {"Arc", 2},          {"Curve", 3},
    {"Elbow", 4}, {"RoundedElbow", 5}, {"ShearedElbow", 6}, {"Angle", 7},
};

// Stock icons: urn suffix and the picture's path below the adornments folder;
// every icon has a picture of its own.
struct StockIcon
{
    const char *name;
    const char *path;
};
inline constexpr StockIcon kStockIcons[] = {
    {"Unknown", "/Symbols/Unknown.png"},
    {"SmileyHappy", "/People/Smileys/Smile.png"},
    {"SmileyNeutral", "/People/Smileys/Neutral.png"},
    {"SmileySad", "/People/Smileys/Sad.png"},
    {"SmileyAngry", "/People/Smileys/Angry.png"},
    {"SmileyScreaming", "/People/Smileys/Yell.png"},
    {"Clock", "/Date & Time/Clock.png"},
    {"Calendar", "/Date & Time/Calendar2.tif"},
    {"Letter", "/Documents & Folders/Documents/Document.png"},
    {"Email", "/Computers/Email/Mail.png"},
    {"Mailbox", "/Computers/Email/Empty.png"},
    {"Megaphone", "/Objects/Megaphone.png"},
    {"House", "/Objects/Home.png"},
    {"Rolodex", "/Objects/Rolodex.tif"},
    {"Dollar", "/Money & Shopping/Dollar.png"},
    {"Euro", "/Money & Shopping/Euro.png"},
    {"FlagRed", "/Objects/Flags/Red.png"},
    {"FlagBlue", "/Objects/Flags/Blue.png"},
    {"FlagGreen", "/Objects/Flags/Green.png"},
    {"FlagBlack", "/Objects/Flags/Black.png"},
    {"FlagOrange", "/Objects/Flags/Orange.png"},
    {"FlagYellow", "/Objects/Flags/Yellow.png"},
    {"FlagPurple", "/Objects/Flags/Purple.png"},
    {"TrafficLightsRed", "/Objects/Trafficlights/Red.png"},
    {"Marker1", "/Objects/Pen Blue.png"},
    {"Marker2", "/Objects/Pen Red.png"},
    {"Marker3", "/Objects/Pen Green.png"},
    {"Marker4", "/Objects/Pen Purple.png"},
    {"Marker5", "/Objects/Pen Yellow.png"},
    {"Marker6", "/Objects/Pen Light Blue.png"},
    {"Marker7", "/Objects/Pen Gray.png"},
    {"Resource1", "/People/Dude2.png"},
    {"Resource2", "/People/Dude4.png"},
    {"PadlockLocked", "/Objects/Lock.png"},
    {"PadlockUnlocked", "/Objects/Lock Open.png"},
    {"ArrowUp", "/Arrows/Standard/Up Blue.png"},
    {"ArrowRight", "/Arrows/Standard/Right Blue.png"},
    {"TwoEndArrow", "/Arrows/Standard/Up Down.png"},
    {"Phone", "/Office Equipment/Telephone.png"},
    {"Cellphone", "/Objects/Mobilephone2.png"},
    {"Camera", "/News & Media/Camera2.png"},
    {"Fax", "/Office Equipment/Fax.png"},
    {"Stop", "/Symbols/Stop.png"},
    {"ExclamationMark", "/Symbols/Warning.png"},
    {"QuestionMark", "/Symbols/Help.png"},
    {"ThumbsUp", "/Symbols/Add2.png"},
    {"OnHold", "/News & Media/Pause.png"},
    {"Hourglass", "/Date & Time/Hourglass.png"},
    {"Emergency", "/Symbols/First Aid.png"},
    {"NoEntry", "/Access/Forbidden.png"},
    {"Bomb", "/Objects/Bomb.png"},
    {"Key", "/Objects/Key1.png"},
    {"Glasses", "/View/Zoom In.png"},
    {"JudgeHammer", "/Objects/Auction Hammer.png"},
    {"Rocket", "/Objects/Planet.png"},
    {"Scales", "/Objects/Weight2.png"},
    {"Redo", "/Arrows/Redo.png"},
    {"Lightbulb", "/Objects/Lightbulb On.png"},
    {"CoffeeCup", "/Objects/Drinks/Cup.png"},
    {"TwoFeet", "/People/Step.png"},
    {"Meeting", "/People/Businessmen.png"},
    {"Check", "/Symbols/Check2.png"},
    {"Note", "/Documents & Folders/Documents/Note Pinned.png"},
    {"ThumbsDown", "/Symbols/Delete2.png"},
    {"ArrowLeft", "/Arrows/Standard/Left Blue.png"},
    {"ArrowDown", "/Arrows/Standard/Down Blue.png"},
    {"Book", "/Objects/Books/Blue.png"},
    {"MagnifyingGlass", "/View/View.png"},
    {"BrokenConnection", "/Computers/Internet/Link Delete.png"},
    {"Information", "/Symbols/Information.png"},
    {"Folder", "/Documents & Folders/Folders/Folder.png"},
};

// The picture path of a stock icon urn; nothing for one not in the table.
inline std::optional<QString> stockIconPath(const std::optional<QString> &iconType)
{
    if (!iconType || !iconType->startsWith(urnPrefix()))
        return std::nullopt;
    const QStringView name = QStringView(*iconType).mid(urnPrefix().size());
    for (const StockIcon &row : kStockIcons) {
        if (name == QLatin1String(row.name))
            return QString::fromUtf8(row.path);
    }
    return std::nullopt;
}

// Millimetres of the file to points of the model and back, in double
// precision, stored single.
inline float pointsFromMillimetres(double mm)
{
    return float(mm * 72.0 / 25.4);
}
inline float millimetresFromPoints(double points)
{
    return float(points * 25.4 / 72.0);
}

} // namespace mmTables
