// The conversion of one topic into its branch: boundary, picture, text,
// colours, notes, shape, size and position, and its other settings.
#include "MindManagerImpExp/mmImpExpController_Private.h"

#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWBranchRefitHold.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "platform/UndoManager.h"
#include "support/TWPreferences.h"

#include <algorithm>

namespace mmImport {

namespace {

const LevelStyle &levelStyle(ImportContext &ctx, int type, int level)
{
    const quint64 key = (quint64(quint32(type)) << 32) | quint32(level);
    if (ctx.lastStyle && ctx.lastStyleKey == key)
        return *ctx.lastStyle;
    auto found = ctx.levelStyles.constFind(key);
    if (found == ctx.levelStyles.constEnd()) {
        LevelStyle style;
        if (const levelDefaults *ld = ctx.defaults) {
            style.shapeType = ld->branchShapeOfType(type, level);
            style.cornerMode = ld->cornerModeOfType(type, level);
            style.fill = ld->branchColorOfType(type, level);
            style.line = ld->lineColorOfType(type, level);
        }
        // An insertion may move the others: the one kept is this one.
        found = ctx.levelStyles.insert(key, style);
    }
    ctx.lastStyleKey = key;
    ctx.lastStyle = &*found;
    return *found;
}

void convertBoundary(const apTopic &topic, TWMapBranch &branch, const ImportContext &ctx)
{
    const MMObjectPtr one = topic.child("oneBoundary");
    const MMObjectPtr boundary = one ? one->child("boundary") : nullptr;
    if (!boundary) {
        branch.setHasBoundary(false);
        return;
    }
    const MMObjectPtr defaults = ctx.boundaryDefaults;
    branch.publicSetHasBoundary(true);
    // The boundary's own colours, else the map's for boundaries.
    const MMObjectPtr color = boundary->child("color");
    const MMObjectPtr defaultColor = defaults ? defaults->child("defaultColor") : nullptr;
    const auto colorOf = [&](const char *field) {
        std::optional<Color> c =
            color ? mmConverter::colorFromString(color->string(field)) : std::nullopt;
        if (!c && defaultColor)
            c = mmConverter::colorFromString(defaultColor->string(field));
        return c;
    };
    if (std::optional<Color> fill = colorOf("fillColor")) {
        branch.setBoundaryFillColor(fill);
        branch.setBoundaryDrawsFill(true);
    }
    // The outline is drawn: in the file's colour, else in the branch's
    // (a boundary has no colour of its own to fall back on). A dash style
    // below may still say there is no line.
    branch.setBoundaryDrawsLine(true);
    if (std::optional<Color> line = colorOf("lineColor")) {
        branch.setBoundaryLineColor(line);
        branch.setBoundaryInheritsLineColor(false);
    }
    const MMObjectPtr defaultLine = defaults ? defaults->child("defaultLineStyle") : nullptr;
    MMObjectPtr lineStyle = boundary->child("lineStyle");
    if (!lineStyle)
        lineStyle = defaultLine;
    if (lineStyle) {
        std::optional<QString> dash = lineStyle->string("lineDashStyle");
        if (!dash && defaultLine)
            dash = defaultLine->string("lineDashStyle");
        if (std::optional<int> code = mmTables::lookup(mmTables::kDashStyles, dash))
            branch.setBoundaryLineStyle(*code);
        std::optional<float> width = lineStyle->floatNumber("lineWidth");
        if (!width && defaultLine)
            width = defaultLine->floatNumber("lineWidth");
        // Boundary line widths are points in the file, as the export writes them.
        if (width)
            branch.setBoundaryLineWidth(*width);
    }
    const MMObjectPtr defaultShape = defaults ? defaults->child("defaultBoundaryShape") : nullptr;
    MMObjectPtr shape = boundary->child("boundaryShape");
    if (!shape)
        shape = defaultShape;
    if (!shape)
        return;
    std::optional<QString> urn = shape->string("boundaryShape");
    if (!urn && defaultShape)
        urn = defaultShape->string("boundaryShape");
    if (std::optional<int> code = mmTables::lookup(mmTables::kBoundaryShapes, urn))
        branch.setBoundaryCornerStyle(*code);
    std::optional<float> margin = shape->floatNumber("margin");
    if (!margin && defaultShape)
        margin = defaultShape->floatNumber("margin");
    // Margins are millimetres like every other length of the file.
    if (margin)
        branch.setBoundaryMargin(pointsFromMillimetres(*margin));
}

// The size the picture is shown at: the file's, in millimetres; a side the
// file leaves out follows the picture's aspect. None without a picture.
std::optional<Size> convertPicture(const apTopic &topic, const TopicPictures &pictures,
                                   TWMapBranch &branch)
{
    const MMObjectPtr one = topic.child("oneImage");
    const MMObjectPtr image = one ? one->child("image") : nullptr;
    std::optional<Image> picture = pictures.picture;
    if (!image || !picture)
        return std::nullopt;
    const Size own = picture->size();
    Size s = own;
    if (const MMObjectPtr size = image->child("imageSize")) {
        const std::optional<float> w = size->floatNumber("width");
        const std::optional<float> h = size->floatNumber("height");
        if (w && *w > 0)
            s.width = pointsFromMillimetres(*w);
        if (h && *h > 0)
            s.height = pointsFromMillimetres(*h);
        if (own.width > 0 && own.height > 0) {
            if ((w && *w > 0) && !(h && *h > 0))
                s.height = s.width * own.height / own.width;
            else if ((h && *h > 0) && !(w && *w > 0))
                s.width = s.height * own.width / own.height;
        }
        picture->setScalesWhenResized(true);
        picture->setSize(s);
    }
    branch.publicSetEnclosedImageFromImage(&*picture);
    if (!branch.enclosedImage() || s.width <= 0 || s.height <= 0)
        return std::nullopt;
    return s;
}

// Where the file puts a topic's picture against its label: the topic's
// own layout, else its level's.
std::optional<QString> picturePosition(const apTopic &topic, int type, int level,
                                       const levelDefaults *ld)
{
    if (const MMObjectPtr layout = topic.child("topicLayout"))
        if (std::optional<QString> p = layout->string("topicTextAndImagePosition"))
            return p;
    for (int lv = level; ld && lv >= 0; --lv) {
        const MMObjectPtr group = ld->getTopicDefaultForType(type, lv);
        const MMObjectPtr layout = group ? group->child("defaultTopicLayout") : nullptr;
        if (std::optional<QString> p =
                layout ? layout->string("topicTextAndImagePosition") : std::nullopt)
            return p;
    }
    return std::nullopt;
}

// The picture keeps its size and aspect and stands beside, above or below
// the label, as the file says; the shape grows around both. A picture laid
// out in the shape would be stretched over it, so it keeps bounds of its
// own.
void placePicture(TWMapBranch &branch, Size picture, const std::optional<QString> &position)
{
    const std::shared_ptr<TWGraphic> &shape = branch.mainGraphic();
    const std::shared_ptr<TWTextArea> &label = branch.enclosedTextArea();
    const std::shared_ptr<TWGraphic> image = branch.enclosedImage();
    if (!shape || !label || !image)
        return;
    constexpr float gap = 4;
    const Rect s = shape->bounds();
    const Rect t = label->bounds();
    const QString where = position.value_or(QString());
    const bool left = where == u"urn:mindjet:TextRightImageLeft";
    const bool right = where == u"urn:mindjet:TextLeftImageRight";
    const bool labelAbove = where == u"urn:mindjet:TextTopImageBottom";
    const bool hasLabel = !label->text().isEmpty();
    branch.setEnclosedImageLayoutMode(1);
    if (left || right) {
        const float lead = branch.totalWidthToAllowForOtherEnclosedGraphics();
        const float width = s.width() + picture.width + gap;
        const float height = std::max(s.height(), picture.height + 2 * gap);
        const float pictureX = left ? s.x() + lead + gap / 2 : t.maxX() + gap;
        const float labelX = left ? t.x() + picture.width + gap : t.x();
        branch.setTextRelativePosition(2);
        branch.setMainGraphicBounds(Rect(s.x(), s.y(), width, height));
        label->setBounds(Rect(labelX, s.y() + (height - t.height()) / 2, t.width(), t.height()));
        image->setBounds(
            Rect(pictureX, s.y() + (height - picture.height) / 2, picture.width, picture.height));
        return;
    }
    // Above or below the label; without a label the picture fills the shape.
    const float labelBand = hasLabel ? t.height() + gap : 0;
    const float width = std::max(s.width(), picture.width + 2 * gap);
    const float height = labelBand + picture.height + 2 * gap;
    const float dx = (width - s.width()) / 2;
    const float pictureY = labelAbove ? s.y() + gap + labelBand : s.y() + gap;
    const float labelY = labelAbove ? s.y() + gap : pictureY + picture.height + gap;
    branch.setTextRelativePosition(labelAbove ? 1 : 3);
    branch.setMainGraphicBounds(Rect(s.x(), s.y(), width, height));
    label->setBounds(Rect(t.x() + dx, labelY, t.width(), t.height()));
    image->setBounds(
        Rect(s.x() + (width - picture.width) / 2, pictureY, picture.width, picture.height));
}

void convertShapeAndSize(const apTopic &topic, TWMapBranch &branch, int type, int level,
                         ImportContext &ctx)
{
    const levelDefaults *ld = ctx.defaults;
    // Shape.
    int shapeType;
    int corner;
    if (const MMObjectPtr shape = topic.child("subTopicShape")) {
        const std::optional<QString> urn = shape->string("subTopicShape");
        shapeType = mmConverter::graphicShapeFromMMShapeString(urn);
        corner = mmConverter::cornerModeFromMMShapeString(urn);
    } else {
        const LevelStyle &style = levelStyle(ctx, type, level);
        shapeType = style.shapeType;
        corner = style.cornerMode;
    }
    // Without any style a branch falls back to a line.
    if (shapeType == 0)
        shapeType = 1;
    branch.publicChangeToBranchType(shapeType);
    if (branch.mainGraphic())
        branch.mainGraphic()->setCornerMode(corner);

    // Size and position.
    const std::shared_ptr<TWTextArea> &textArea = branch.enclosedTextArea();
    const MMObjectPtr offset = topic.child("offset");
    const MMObjectPtr layout = topic.child("topicLayout");
    constexpr float defaultWrap = 141.73228f; // 50 mm
    bool place = false;
    if (!layout) {
        if (textArea) {
            const float wrap =
                textArea->text().isEmpty() ? defaultWrap : textArea->bounds().width();
            branch.updateBranchSizeForTextChangeToSize(textArea->requiredSizeForWidth(wrap), true);
        }
        place = bool(offset);
    } else {
        int position;
        if (const std::optional<QString> p = layout->string("topicTextAndImagePosition"))
            position = mmTables::lookup(mmTables::kTextPositions, p)
                           .value_or(mmTables::kTextPositionOther);
        else
            position = ld ? ld->branchAndImagePositionOfType(type, level) : 0;
        branch.publicSetTextRelativePosition(position);
        // Width in points: the topic's own, else the level's, else none.
        float width = pointsFromMillimetres(layout->floatNumber("width").value_or(0));
        if (width == 0) {
            const float levelWidth = ld ? ld->branchWidthOfType(type, level) : -1.0f;
            width = levelWidth == -1.0f ? -1.0f : levelWidth * 2.8346457f;
        }
        if (width == 0 && textArea)
            branch.resizeForTextAreaConstrainedToWidth(textArea->bounds().width());
        else
            branch.resizeForTextAreaConstrainedToWidth(width > 0 ? width : defaultWrap);
        place = level == 1 && offset;
    }
    // From the centre of the central topic, y up: the left edge goes to the
    // offset on the right of the centre, the right edge on the left of it.
    const std::shared_ptr<TWMapBranch> &root = ctx.map.root();
    if (!place || !root || !root->mainGraphic() || !branch.mainGraphic())
        return;
    const float cx = pointsFromMillimetres(offset->floatNumber("CX").value_or(0));
    const float cy = -pointsFromMillimetres(offset->floatNumber("CY").value_or(0));
    const Rect r = root->mainGraphic()->bounds();
    const Rect b = branch.mainGraphic()->bounds();
    const float dx = cx > 0 ? r.x() + r.width() / 2 + cx - b.x()
                            : r.x() + r.width() / 2 + cx - b.width() - b.x();
    const float dy = r.y() + r.height() / 2 + cy - b.y();
    branch.moveBranchBy(dx, dy, true);
}

} // namespace

std::optional<AttributedString> labelOf(const apTopic &topic, int type, int level,
                                        const levelDefaults *ld)
{
    if (const MMObjectPtr t = topic.child("text")) {
        const MMObjectPtr fallback = ld ? ld->branchApTextOfType(type, level) : nullptr;
        return mmConverter::attributedStringFromText(t.get(), fallback.get());
    }
    if (ld)
        return ld->branchTextOfType(type, level);
    return std::nullopt;
}

void convertTopic(const apTopic &topic, const std::optional<QString> &oid,
                  const std::optional<AttributedString> &notes, const TopicPictures &pictures,
                  const PreparedLabel &label, TWMapBranch &branch, int type, int level,
                  ImportContext &ctx, bool unsized)
{
    const levelDefaults *ld = ctx.defaults;
    convertBoundary(topic, branch, ctx);
    const std::optional<Size> picture = convertPicture(topic, pictures, branch);

    // The notes first: their indicator takes its room at the label's end
    // when the label sizes the branch, which inserting them does not.
    if (notes) {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
        branch.insertObjectInAttachedTextArrayAtIndex(attached, 0);
        attached->setText(std::make_shared<const AttributedString>(*notes));
    }

    // Text.
    const std::optional<AttributedString> text =
        label.type == type && label.level == level ? label.text : labelOf(topic, type, level, ld);
    // A branch not sized yet is sized once its icons, link and task have
    // joined, where sizing it first and refitting it for each of them
    // comes to the same; a given layout width sizes it otherwise.
    const bool sizedOnce =
        unsized && text && branch.enclosedTextArea() && !topic.child("topicLayout");
    std::optional<TWBranchRefitHold> sizing;
    if (sizedOnce)
        sizing.emplace(branch, true);
    if (text && branch.enclosedTextArea()) {
        branch.enclosedTextArea()->setText(*text);
        if (!sizedOnce)
            branch.makeNaturalSize();
    }

    // Colours of the shape.
    const MMObjectPtr color = topic.child("color");
    std::optional<Color> fill =
        color ? mmConverter::colorFromString(color->string("fillColor")) : std::nullopt;
    std::optional<Color> line =
        color ? mmConverter::colorFromString(color->string("lineColor")) : std::nullopt;
    if (!fill || !line) {
        const LevelStyle &style = levelStyle(ctx, type, level);
        if (!fill)
            fill = style.fill;
        if (!line)
            line = style.line;
    }
    if (const std::shared_ptr<TWGraphic> &graphic = branch.mainGraphic()) {
        if (fill) {
            graphic->setFillColor(fill);
            graphic->setDrawsFill(true);
            graphic->setInheritsFill(false);
        }
        if (line) {
            graphic->setStrokeColor(line);
            graphic->setDrawsStroke(true);
            graphic->setInheritsStroke(false);
        }
    }

    convertIcons(topic, pictures, branch, ctx);
    if (sizedOnce) {
        convertHyperlink(topic, branch, ctx);
        convertTask(topic, branch, ctx);
        const bool iconsUnplaced = sizing->dismiss();
        sizing.reset();
        const Rect before = branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect();
        branch.makeNaturalSize();
        // Icons are placed when the shape's bounds change, and here if not.
        if (iconsUnplaced && branch.mainGraphic() && branch.mainGraphic()->bounds() == before)
            branch.layoutServices().repositionOtherEnclosedGraphicsFromOldWidth(
                branch, branch.totalWidthToAllowForOtherEnclosedGraphics());
    }
    convertShapeAndSize(topic, branch, type, level, ctx);

    if (const MMObjectPtr shape = topic.child("subTopicsShape")) {
        if (std::optional<int> code = mmTables::lookup(mmTables::kChildrenConnectionStyles,
                                                       shape->string("subTopicsConnectionStyle")))
            branch.setChildrenConnectionStyle(*code);
    }
    const MMObjectPtr visibility = topic.child("subTopicsVisibility");
    branch.setChildrenHidden(visibility ? visibility->boolValue("hidden") : false);

    if (!sizedOnce) {
        convertHyperlink(topic, branch, ctx);
        convertTask(topic, branch, ctx);
    }
    convertComments(topic, branch);

    // The first view is nearly always the one: no list is made for it.
    const auto isFirstView = [](const MMObjectPtr &view) {
        return view->intNumber("viewIndex").value_or(0) == 0;
    };
    MMObjectPtr view = topic.child("topicViewGroups");
    if (view && !isFirstView(view)) {
        view.reset();
        for (const MMObjectPtr &other : topic.children("topicViewGroups")) {
            if (isFirstView(other)) {
                view = other;
                break;
            }
        }
    }
    if (view) {
        const MMObjectPtr collapsed = view->child("collapsed");
        if (collapsed && collapsed->boolValue("collapsed"))
            branch.setChildrenHidden(true);
    }
    // Last, once nothing else sizes the branch again.
    if (picture)
        placePicture(branch, *picture, picturePosition(topic, type, level, ld));
    branch.setMmOid(oid);
}

std::optional<AttributedString> notesOf(const MMObjectPtr &group)
{
    const MMObjectPtr xhtml = group ? group->child("notesXhtmlData") : nullptr;
    if (!xhtml)
        return std::nullopt;
    const XMLTree html = xhtml->tree("xhtmlTree");
    // Some writers put the paragraphs straight into html, without a body:
    // they are the notes all the same.
    const auto holdsText = [](const XMLTree &tree) {
        for (unsigned i = 0; i < tree.childrenCount(); ++i) {
            if (!tree.childAtIndex(i).hasNodeContent())
                return true;
        }
        return false;
    };
    if (!html.isNull() && (!html.childNamed(QStringLiteral("body")).isNull() || holdsText(html)))
        return XHTML::attributedStringWithXHTML(html);
    if (const std::optional<QString> preview = xhtml->string("previewPlainText")) {
        TextAttributes attributes;
        attributes.insert(NSFontAttributeName,
                          QVariant::fromValue(TWPreferences::branchNotesFont()));
        return AttributedString(*preview, attributes);
    }
    return std::nullopt;
}

} // namespace mmImport
