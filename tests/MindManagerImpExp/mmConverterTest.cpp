#include "MMTestSupport.h"

#include "MindManagerImpExp/apContentElements.h"
#include "MindManagerImpExp/apStyleElements.h"
#include "MindManagerImpExp/levelDefaults.h"
#include "MindManagerImpExp/mmAdornments.h"
#include "MindManagerImpExp/mmConverter.h"
#include "MindManagerImpExp/mmTables.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <functional>

namespace {

// The element read from its text.
template <typename T> std::shared_ptr<T> element(const QString &text)
{
    const XMLTree tree =
        XMLTree::initWithString(QStringLiteral("<w%1>%2</w>").arg(MMTest::kNamespaces, text));
    return MMXMLBaseObject::initWithXMLTree<T>(tree.childAtIndex(0));
}

Font fontAt(const AttributedString &s, qsizetype index)
{
    return s.attribute(NSFontAttributeName, index).value<Font>();
}

} // namespace

TEST(mmConverter, ShapeUrnsGiveBranchTypeAndCorners)
{
    const struct
    {
        std::optional<QString> urn;
        int type;
        int corner;
    } cases[] = {
        {std::nullopt, 1, 0},
        {"urn:mindjet:None", 1, 0},
        {"urn:mindjet:RoundedRectangle", 2, 1},
        {"urn:mindjet:Octagon", 2, 2},
        {"urn:mindjet:Hexagon", 2, 3},
        {"urn:mindjet:Oval", 3, 0},
        {"urn:mindjet:RoundedRectangleBalloon", 2, 1},
        {"urn:mindjet:ThoughtBubble", 6, 0},
        {"urn:mindjet:OvalBalloon", 6, 0},
        {"urn:mindjet:CalloutLine", 1, 0},
        {"urn:mindjet:Unknown", 1, 0},
        {"urn:mindjet:circle", 1, 0},
        {"Circle", 1, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(mmConverter::graphicShapeFromMMShapeString(c.urn), c.type)
            << c.urn->toStdString();
        EXPECT_EQ(mmConverter::cornerModeFromMMShapeString(c.urn), c.corner);
    }
}

TEST(mmConverter, ColoursReadAndWriteAlphaFirst)
{
    EXPECT_EQ(mmConverter::stringFromColor(Color::colorWithDeviceRed(1, 0.5, 0.25, 1)),
              QStringLiteral("ffff7f3f"));
    EXPECT_EQ(mmConverter::stringFromColor(Color::colorWithCalibratedRed(1, 0, 0, 1)),
              QStringLiteral("ffff0000"));
    EXPECT_EQ(mmConverter::stringFromColor(Color::colorWithDeviceRed(0, 0, 0, 0.999)),
              QStringLiteral("fe000000"));
    EXPECT_FALSE(mmConverter::stringFromColor(std::nullopt));

    const struct
    {
        std::optional<QString> text;
        std::optional<Color> color;
    } cases[] = {
        {"ffff7f3f", Color::colorWithCalibratedRed(1, float(127 / 255.0), float(63 / 255.0), 1)},
        {"80FF0000", Color::colorWithCalibratedRed(1, 0, 0, float(128 / 255.0))},
        {"fff0000", std::nullopt},
        {"ff0000000", std::nullopt},
        {std::nullopt, std::nullopt},
        {"zzff0000", Color::colorWithCalibratedRed(1, 0, 0, 0)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mmConverter::colorFromString(c.text), c.color)
            << c.text.value_or("nil").toStdString();
}

// Every pair of characters a colour may hold reads as a number of base 16
// would: digits of either case, signs, spaces and anything else.
TEST(mmConverter, ColourPairsReadAsBaseSixteenNumbers)
{
    const QString characters = QStringLiteral("09afAFgG+- x\u00e9\u0661");
    const auto unit = [](int v) { return double(float(v / 255.0)); };
    for (const QChar high : characters) {
        for (const QChar low : characters) {
            const QString pair = QString(high) + low;
            bool ok = false;
            int expected = pair.toInt(&ok, 16);
            if (!ok)
                expected = 0;
            // The pair in each place: alpha first, then red, green, blue.
            for (int place = 0; place < 4; ++place) {
                QString text = QStringLiteral("11223344");
                text.replace(place * 2, 2, pair);
                int parts[4] = {0x11, 0x22, 0x33, 0x44};
                parts[place] = expected;
                EXPECT_EQ(mmConverter::colorFromString(text),
                          Color::colorWithCalibratedRed(unit(parts[1]), unit(parts[2]),
                                                        unit(parts[3]), unit(parts[0])))
                    << text.toStdString();
            }
        }
    }
}

TEST(mmConverter, TextBecomesRichTextWithTheFallbackForWhatIsMissing)
{
    const auto fallback = element<apText>("<ap:Text PlainText=\"x\"><ap:Font Name=\"DejaVu Sans\" "
                                          "Size=\"20\" Color=\"ff0000ff\"/></ap:Text>");
    const auto noFont =
        element<apText>("<ap:Text PlainText=\"a&#xA;b\" TextAlignment=\"urn:mindjet:Center\"/>");
    std::optional<AttributedString> s =
        mmConverter::attributedStringFromText(noFont.get(), fallback.get());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), QStringLiteral("a\nb"));
    EXPECT_EQ(fontAt(*s, 0).pointSize(), 20);
    EXPECT_EQ(s->attribute(NSForegroundColorAttributeName, 0).value<Color>(),
              Color::colorWithCalibratedRed(0, 0, 1, 1));
    EXPECT_EQ(s->attribute(NSParagraphStyleAttributeName, 0).value<ParagraphStyle>().alignment, 2);

    // No text of its own: the fallback's, in the text's own font.
    const auto ownFont = element<apText>(
        "<ap:Text><ap:Font Size=\"9\" Bold=\"true\" Underline=\"true\"/>"
        "<ap:FontRange From=\"1\" To=\"1\" Italic=\"true\" Size=\"30\" Name=\"DejaVu Serif\"/>"
        "</ap:Text>");
    s = mmConverter::attributedStringFromText(ownFont.get(), fallback.get());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), QStringLiteral("x"));
    // A font without a name takes the fallback's name; its own size stays.
    EXPECT_EQ(fontAt(*s, 0).familyName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(fontAt(*s, 0).pointSize(), 9);
    EXPECT_TRUE(FontRegistry::shared().traits(fontAt(*s, 0).fontName()) & FontRegistry::BoldTrait);
    EXPECT_EQ(s->attribute(NSUnderlineStyleAttributeName, 0).toInt(), 1);

    const auto ranges =
        element<apText>("<ap:Text PlainText=\"abcdef\"><ap:Font Name=\"DejaVu Sans\" Size=\"10\"/>"
                        "<ap:FontRange From=\"1\" To=\"2\" Bold=\"true\"/>"
                        "<ap:FontRange From=\"4\" To=\"99\" Size=\"30\" Name=\"DejaVu Serif\"/>"
                        "<ap:FontRange From=\"50\" To=\"60\" Bold=\"true\"/>"
                        "<ap:FontRange From=\"3\" To=\"3\" Strikethrough=\"true\"/></ap:Text>");
    s = mmConverter::attributedStringFromText(ranges.get(), nullptr);
    ASSERT_TRUE(s);
    EXPECT_EQ(fontAt(*s, 0).pointSize(), 10);
    EXPECT_TRUE(FontRegistry::shared().traits(fontAt(*s, 1).fontName()) & FontRegistry::BoldTrait);
    EXPECT_EQ(fontAt(*s, 2).pointSize(), 10);
    // A range without a name takes the base font's name and size, and
    // replaces every attribute of its characters.
    EXPECT_EQ(fontAt(*s, 3), fontAt(*s, 0));
    EXPECT_EQ(s->attribute(NSStrikethroughStyleAttributeName, 3).toInt(), 1);
    EXPECT_FALSE(s->attribute(NSStrikethroughStyleAttributeName, 2).isValid());
    // A range past the end is cut at the end; one wholly past it is skipped.
    EXPECT_EQ(fontAt(*s, 5).pointSize(), 30);
    EXPECT_EQ(s->length(), 6);

    EXPECT_FALSE(mmConverter::attributedStringFromText(nullptr, fallback.get()));
}

// Fonts made once are answered again: a description differing in any one
// value, or asked again after others pushed it out, gets its own attributes.
TEST(mmConverter, EachFontDescriptionKeepsItsOwnAttributes)
{
    const char *const fonts[] = {
        "Name=\"DejaVu Sans\" Size=\"10\"",
        "Name=\"DejaVu Sans\" Size=\"11\"",
        "Name=\"DejaVu Serif\" Size=\"10\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Bold=\"true\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Italic=\"true\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Underline=\"true\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Strikethrough=\"true\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Color=\"ff00ff00\"",
        "Name=\"DejaVu Sans\" Size=\"10\" Color=\"ff0000ff\"",
        "Size=\"12\"", // the base's name, its own size
        "Name=\"No Such Font Family\" Size=\"10\"",
    };
    const auto base =
        element<apText>("<ap:Text><ap:Font Name=\"DejaVu Serif\" Size=\"14\"/></ap:Text>");
    const auto attributes = [&](const char *font) {
        const auto text = element<apText>(
            QStringLiteral("<ap:Text PlainText=\"a\"><ap:Font %1/></ap:Text>").arg(font));
        const std::optional<AttributedString> s =
            mmConverter::attributedStringFromText(text.get(), base.get());
        return s ? s->attributesAtIndex(0) : TextAttributes();
    };
    std::vector<TextAttributes> first;
    for (const char *font : fonts)
        first.push_back(attributes(font));
    const Font fromBase = fontAt(AttributedString("a", first[9]), 0);
    EXPECT_EQ(std::pair(fromBase.familyName(), fromBase.pointSize()),
              std::pair(QStringLiteral("DejaVu Serif"), 12.0));
    for (size_t i = 0; i < std::size(fonts); ++i) {
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(first[i], first[j]) << fonts[i] << " | " << fonts[j];
    }
    for (size_t i = std::size(fonts); i-- > 0;)
        EXPECT_EQ(attributes(fonts[i]), first[i]) << fonts[i];
}

TEST(mmConverter, UnknownFontNamesFallBackToTheUserFont)
{
    EXPECT_EQ(mmConverter::fontNamed(QStringLiteral("No Such Font Family"), 13).fontName(),
              QStringLiteral("Helvetica"));
    EXPECT_EQ(mmConverter::fontNamed(std::nullopt, 13).pointSize(), 13);
    const Font installed = mmConverter::fontNamed(QStringLiteral("DejaVu Sans"), 11);
    EXPECT_EQ(FontRegistry::shared().familyName(installed.fontName()),
              QStringLiteral("DejaVu Sans"));
}

TEST(mmConverter, PictureDataDecodesPngAndIconsAndSkipsTheRest)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::green);
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        image.save(&b, "PNG");
    }
    QByteArray ico;
    {
        QBuffer b(&ico);
        b.open(QIODevice::WriteOnly);
        image.save(&b, "ICO");
    }
    const QString b64 = QString::fromLatin1(png.toBase64());
    const struct
    {
        QString xml;
        bool decodes;
    } cases[] = {
        {"<ap:ImageData ImageType=\"urn:mindjet:PngImage\"><cor:Base64>" + b64 +
             "</cor:Base64></ap:ImageData>",
         true},
        {"<ap:ImageData ImageType=\"urn:mindjet:IconImage\"><cor:Base64>" +
             QString::fromLatin1(ico.toBase64()) + "</cor:Base64></ap:ImageData>",
         !ico.isEmpty()},
        {"<ap:ImageData ImageType=\"urn:mindjet:MetafileImage\"><cor:Base64>" + b64 +
             "</cor:Base64></ap:ImageData>",
         false},
        {"<ap:ImageData><cor:Base64>" + b64 + "</cor:Base64></ap:ImageData>", false},
        {"<ap:ImageData ImageType=\"urn:mindjet:PngImage\"/>", false},
        // Cut inside a group of four: skipped, not thrown.
        {"<ap:ImageData "
         "ImageType=\"urn:mindjet:PngImage\"><cor:Base64>iVBORw0KG</cor:Base64></ap:ImageData>",
         false},
        {"<ap:ImageData "
         "ImageType=\"urn:mindjet:PngImage\"><cor:Base64>AAAA</cor:Base64></ap:ImageData>",
         false},
        {"<ap:ImageData ImageType=\"urn:mindjet:PngImage\" Uri=\"mmarch://bin/a.png\"/>", true},
        {"<ap:ImageData ImageType=\"urn:mindjet:PngImage\" Uri=\"mmarch://bin/none.png\"/>", false},
    };
    const mmConverter::MemberReader members =
        [&png](const QString &uri) -> std::optional<QByteArray> {
        if (uri == QLatin1String("mmarch://bin/a.png"))
            return png;
        return std::nullopt;
    };
    for (const auto &c : cases) {
        const auto data = element<apImageData>(c.xml);
        ASSERT_TRUE(data) << c.xml.toStdString();
        const std::optional<Image> picture = mmConverter::imageFromImageData(data.get(), members);
        EXPECT_EQ(bool(picture), c.decodes) << c.xml.toStdString();
        if (picture) {
            EXPECT_EQ(picture->size(), Image::initWithData(png)->size());
        }
    }
    EXPECT_FALSE(mmConverter::imageFromImageData(nullptr));
}

TEST(mmTables, EveryStockIconHasAPictureOfItsOwn)
{
    EXPECT_FALSE(mmTables::stockIconPath(QStringLiteral("urn:mindjet:NoSuchIcon")));
    EXPECT_FALSE(mmTables::stockIconPath(QStringLiteral("mindjet:Clock")));
    ASSERT_EQ(std::size(mmTables::kStockIcons), 71u);
    QHash<QString, QString> byPath;
    QList<std::pair<QString, QImage>> pictures;
    for (const mmTables::StockIcon &row : mmTables::kStockIcons) {
        const QString urn = QStringLiteral("urn:mindjet:") + QLatin1String(row.name);
        const std::optional<QString> path = mmTables::stockIconPath(urn);
        ASSERT_EQ(path, QString::fromUtf8(row.path)) << row.name;
        // Two icons under one path would share one picture in a document.
        EXPECT_FALSE(byPath.contains(*path))
            << row.name << " and " << byPath.value(*path).toStdString();
        byPath.insert(*path, urn);
        const std::optional<QByteArray> bytes = mmAdornments::pictureData(*path);
        ASSERT_TRUE(bytes) << row.path;
        const QImage image = QImage::fromData(*bytes).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), QSize(16, 16)) << row.path;
        pictures.append({QLatin1String(row.name), image});
    }
    // Pairwise distinct to the eye: a good number of clearly different pixels.
    const auto differing = [](const QImage &a, const QImage &b) {
        int count = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                const int d = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                              std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
                count += d > 60;
            }
        return count;
    };
    for (qsizetype i = 0; i < pictures.size(); ++i)
        for (qsizetype j = i + 1; j < pictures.size(); ++j)
            EXPECT_GE(differing(pictures[i].second, pictures[j].second), 8)
                << pictures[i].first.toStdString() << " looks like "
                << pictures[j].first.toStdString();
    EXPECT_FALSE(mmAdornments::pictureData(QStringLiteral("/../../etc/passwd")));
    EXPECT_FALSE(mmAdornments::pictureData(QStringLiteral("/Symbols/Help")));
}

TEST(mmTables, PointingIconsPointTheirWay)
{
    const auto picture = [](const char *name) {
        const std::optional<QImage> image = mmAdornments::picture(
            *mmTables::stockIconPath(QStringLiteral("urn:mindjet:") + QLatin1String(name)));
        return image ? image->convertToFormat(QImage::Format_ARGB32) : QImage();
    };
    const struct
    {
        const char *icon;
        const char *from;
        int degrees; // clockwise
    } cases[] = {
        {"ArrowRight", "ArrowUp", 90},
        {"ArrowDown", "ArrowUp", 180},
        {"ArrowLeft", "ArrowUp", 270},
        {"ThumbsDown", "ThumbsUp", 180},
    };
    for (const auto &c : cases) {
        const QImage turned = picture(c.from).transformed(QTransform().rotate(c.degrees));
        const QImage icon = picture(c.icon);
        ASSERT_EQ(icon.size(), turned.size()) << c.icon;
        int off = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                off += qAbs(qAlpha(icon.pixel(x, y)) - qAlpha(turned.pixel(x, y))) > 64;
        EXPECT_LE(off, 4) << c.icon << " is not " << c.from << " turned " << c.degrees;
        EXPECT_NE(icon, picture(c.from)) << c.icon;
    }
}

TEST(levelDefaults, LookupsFallBackToTheNearestLowerLevel)
{
    const auto group = [](const QString &inner) {
        return element<apTopicDefaultsGroup>("<ap:RootTopicDefaultsGroup>" + inner +
                                             "</ap:RootTopicDefaultsGroup>");
    };
    levelDefaults ld;
    ld.setDefaultStyle(group("<ap:DefaultColor FillColor=\"ff0000ff\" LineColor=\"ff00ff00\"/>"
                             "<ap:DefaultTopicLayout Width=\"40\" "
                             "TopicLayoutVerticalAlignment=\"urn:mindjet:Bottom\"/>"
                             "<ap:DefaultText PlainText=\"zero\"/>"),
                       0, 0);
    ld.setDefaultStyle(
        group("<ap:DefaultColor FillColor=\"ff0000\"/>"
              "<ap:DefaultSubTopicShape/>"
              "<ap:DefaultTopicLayout TopicLayoutVerticalAlignment=\"urn:mindjet:Sideways\"/>"),
        0, 2);
    ld.setDefaultStyle(group("<ap:DefaultTopicLayout MinimumHeight=\"3\"/>"), 1, 1);
    ld.setDefaultStyle(group("<ap:DefaultTopicLayout/>"), 2, 0);

    const Color blue = Color::colorWithCalibratedRed(0, 0, 1, 1);
    // A six-digit colour at level 2 is passed over for level 0's.
    EXPECT_EQ(ld.branchColorOfType(0, 3), blue);
    EXPECT_EQ(ld.branchColorOfType(3, 1), blue);
    EXPECT_EQ(ld.lineColorOfType(0, 2), Color::colorWithCalibratedRed(0, 1, 0, 1));
    EXPECT_FALSE(ld.branchColorOfType(4, 0));
    EXPECT_FALSE(ld.branchColorOfType(0, -1));
    EXPECT_FALSE(ld.branchColorOfType(1, 3));
    EXPECT_FLOAT_EQ(ld.branchWidthOfType(0, 5), 40.0f);
    EXPECT_EQ(ld.branchTextOfType(0, 4)->string(), QStringLiteral("zero"));
    // The element's presence ends the walk: level 2 answers with a line.
    EXPECT_EQ(ld.branchShapeOfType(0, 2), 1);
    // An urn outside the table ends the walk with the exhausted value.
    EXPECT_EQ(ld.branchVerticalAlignmentOfType(0, 2), 2);
    EXPECT_EQ(ld.branchVerticalAlignmentOfType(0, 1), 3);

    const struct
    {
        int type;
        int level;
        float minHeight;
    } heights[] = {
        {1, 0, 0.0f},  // no callout group at or below level 0
        {1, 3, 3.0f},  // level 1's group answers for level 3
        {2, 0, 12.0f}, // a label group without the value: exhausted
        {2, 5, 12.0f}, {0, 1, 12.0f}, {4, 1, 0.0f},
    };
    for (const auto &h : heights)
        EXPECT_FLOAT_EQ(ld.minBranchHeightOfType(h.type, h.level), h.minHeight)
            << h.type << "/" << h.level;

    // The same level registered again replaces the group.
    ld.setDefaultStyle(group("<ap:DefaultTopicLayout MinimumHeight=\"7\"/>"), 1, 1);
    EXPECT_FLOAT_EQ(ld.minBranchHeightOfType(1, 1), 7.0f);
    ld.clear();
    EXPECT_FALSE(ld.getTopicDefaultForType(0, 3));
    EXPECT_EQ(ld.branchAndImagePositionOfType(0, 3), 2);
}

TEST(levelDefaults, EveryGetterHasItsNoGroupAndExhaustedValues)
{
    levelDefaults none;
    levelDefaults empty;
    empty.setDefaultStyle(element<apTopicDefaultsGroup>("<ap:RootTopicDefaultsGroup/>"), 0, 0);
    const struct
    {
        const char *name;
        std::function<double(const levelDefaults &)> get;
        double noGroup;
        double exhausted;
    } getters[] = {
        {"shape", [](const levelDefaults &d) { return d.branchShapeOfType(0, 1); }, 1, 1},
        {"label", [](const levelDefaults &d) { return d.labelShapeOfType(0, 1); }, 1, 1},
        {"callout", [](const levelDefaults &d) { return d.calloutShapeOfType(0, 1); }, 1, 1},
        {"corner", [](const levelDefaults &d) { return d.cornerModeOfType(0, 1); }, 0, 0},
        {"resize", [](const levelDefaults &d) { return d.resizeAttributeOfType(0, 1); }, 0, 0},
        {"position", [](const levelDefaults &d) { return d.branchAndImagePositionOfType(0, 1); }, 2,
         3},
        {"width", [](const levelDefaults &d) { return d.branchWidthOfType(0, 1); }, -1, -1},
        {"height", [](const levelDefaults &d) { return d.minBranchHeightOfType(0, 1); }, 0, 12},
        {"valign", [](const levelDefaults &d) { return d.branchVerticalAlignmentOfType(0, 1); }, 0,
         2},
        {"halign", [](const levelDefaults &d) { return d.branchHorizontalAlignmentOfType(0, 1); },
         0, 1},
        {"padding", [](const levelDefaults &d) { return d.branchPaddingOfType(0, 1); }, 0, 0},
        {"cvalign", [](const levelDefaults &d) { return d.childrenVerticalAlignmentOfType(0, 1); },
         0, 0},
        {"chalign",
         [](const levelDefaults &d) { return d.childrenHorizontalAlignmentOfType(0, 1); }, 0, 0},
        {"point", [](const levelDefaults &d) { return d.subBranchConnectionPointOfType(0, 1); }, 0,
         0},
        {"style", [](const levelDefaults &d) { return d.subBranchConnectionStyleOfType(0, 1); }, 0,
         2},
        {"visible", [](const levelDefaults &d) { return d.subBranchStructureVisibleOfType(0, 1); },
         0, 1},
        {"distance", [](const levelDefaults &d) { return d.distanceFromParentOfType(0, 1); }, 0,
         10},
        {"siblings", [](const levelDefaults &d) { return d.distanceBetweenSiblingsOfType(0, 1); },
         0, 4},
        {"factor", [](const levelDefaults &d) { return d.subBranchWidthFactorOfType(0, 1); }, 0,
         10},
        {"hidden", [](const levelDefaults &d) { return d.subBranchesHiddenOfType(0, 1); }, 0, 0},
    };
    for (const auto &g : getters) {
        EXPECT_FLOAT_EQ(g.get(none), g.noGroup) << g.name;
        EXPECT_FLOAT_EQ(g.get(empty), g.exhausted) << g.name;
    }

    levelDefaults full;
    full.setDefaultStyle(
        element<apTopicDefaultsGroup>(
            "<ap:RootTopicDefaultsGroup><ap:DefaultSubTopicsShape "
            "SubTopicsAlignment=\"urn:mindjet:Bottom\""
            " SubTopicsShape=\"urn:mindjet:Declined\" "
            "SubTopicsConnectionPoint=\"urn:mindjet:Spread\""
            " SubTopicsConnectionStyle=\"urn:mindjet:Angle\" SubTopicsStructureVisible=\"false\""
            " DistanceFromParent=\"3\" DistanceBetweenSiblings=\"2\" "
            "SubTopicsShapeWidthFactor=\"5\"/>"
            "<ap:DefaultTopicLayout TopicWidthControl=\"urn:mindjet:NoWrap\" Padding=\"1.5\""
            " TopicTextAndImagePosition=\"urn:mindjet:TextTopImageBottom\""
            " TopicLayoutHorizontalAlignment=\"urn:mindjet:Right\"/>"
            "<ap:DefaultSubTopicsVisibility Hidden=\"true\"/>"
            "<ap:DefaultCalloutFloatingTopicShape "
            "CalloutFloatingTopicShape=\"urn:mindjet:OvalBalloon\"/>"
            "</ap:RootTopicDefaultsGroup>"),
        0, 0);
    EXPECT_EQ(full.childrenVerticalAlignmentOfType(0, 2), 2);
    EXPECT_EQ(full.childrenHorizontalAlignmentOfType(0, 2), 6);
    EXPECT_EQ(full.subBranchConnectionPointOfType(0, 2), 2);
    EXPECT_EQ(full.subBranchConnectionStyleOfType(0, 2), 7);
    EXPECT_FALSE(full.subBranchStructureVisibleOfType(0, 2));
    EXPECT_FLOAT_EQ(full.distanceFromParentOfType(0, 2), 3);
    EXPECT_FLOAT_EQ(full.distanceBetweenSiblingsOfType(0, 2), 2);
    EXPECT_FLOAT_EQ(full.subBranchWidthFactorOfType(0, 2), 5);
    EXPECT_EQ(full.resizeAttributeOfType(0, 2), 2);
    EXPECT_FLOAT_EQ(full.branchPaddingOfType(0, 2), 1.5);
    EXPECT_EQ(full.branchAndImagePositionOfType(0, 2), 1);
    EXPECT_EQ(full.branchHorizontalAlignmentOfType(0, 2), 2);
    EXPECT_TRUE(full.subBranchesHiddenOfType(0, 2));
    EXPECT_EQ(full.calloutShapeOfType(0, 2), 6);
}
