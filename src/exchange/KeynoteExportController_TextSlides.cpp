#include "exchange/KeynoteExportController.h"
#include "exchange/KeynoteExportController_Shapes.h"
#include "exchange/TWKeynoteXML.h"
#include "graphics/TWTextArea.h"
#include "interface/OFExtensions.h"
#include "model/TWAttachedText.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

using namespace TWKeynoteXML;

namespace {

using KeynoteShapes::lookupId;
using KeynoteShapes::stylesheetId;

xmlNodePtr firstBelow(xmlNodePtr from, const char *type)
{
    return KeynoteExportController::findNodeFromNode(from, QLatin1String(type), QString(),
                                                     QStringLiteral("sf"), QString());
}

// A text frame element holding storage, stylesheet reference, body and
// layout; returns the layout, to which paragraphs go.
xmlNodePtr addTextFrame(const KeynoteNamespaces &ns, xmlNodePtr holder, xmlNsPtr frameSpace,
                        const char *frameName, xmlNodePtr slide, const char *kind,
                        bool excludeCharts)
{
    xmlNodePtr frame = addElement(holder, frameSpace, frameName);
    setAttribute(frame, ns.sfa, "ID",
                 KeynoteExportController::makeId("Frame", KeynoteExportController::takeCounter()));
    xmlNodePtr storage = addElement(frame, ns.sf, "text-storage");
    setAttribute(
        storage, ns.sfa, "ID",
        KeynoteExportController::makeId("Storage", KeynoteExportController::takeCounter()));
    setAttribute(storage, ns.sf, "kind", QLatin1String(kind));
    setAttribute(storage, ns.sf, "exclude-shapes", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-tables", QStringLiteral("true"));
    if (excludeCharts)
        setAttribute(storage, ns.sf, "exclude-charts", QStringLiteral("true"));
    setAttribute(storage, ns.sf, "exclude-attachments", QStringLiteral("true"));
    setAttribute(addElement(storage, ns.sf, "stylesheet-ref"), ns.sfa, "IDREF",
                 stylesheetId(slide));
    return addElement(addElement(storage, ns.sf, "text-body"), ns.sf, "layout");
}

xmlNodePtr addParagraph(const KeynoteNamespaces &ns, xmlNodePtr layout, const QString &style)
{
    xmlNodePtr paragraph = addElement(layout, ns.sf, "p");
    setAttribute(paragraph, ns.sf, "style", style);
    return paragraph;
}

// The style of the deepest level from `level` down to 1 that the slide has;
// nothing when none has one.
std::optional<std::pair<int, QString>> levelStyle(xmlNodePtr slide, const char *type,
                                                  const char *identFormat, int level)
{
    for (int k = level; k >= 1; --k) {
        const QString id = lookupId(slide, type, QString::asprintf(identFormat, k));
        if (!id.isEmpty())
            return std::make_pair(k, id);
    }
    return std::nullopt;
}

AttributedString labelOf(const TWMapBranch &branch)
{
    const auto &textArea = branch.enclosedTextArea();
    return textArea ? textArea->text() : AttributedString();
}

} // namespace

int KeynoteExportController::subBranchesPerPage()
{
    const long long perPage =
        UserDefaults::standard().integerForKey(QStringLiteral("ExportKeynoteSubBranchesPerPage"));
    return int(std::clamp<long long>(perPage, 1, std::numeric_limits<int>::max()));
}

bool KeynoteExportController::createTextSlides(const QString &masterSlideRef,
                                               const QString &masterLayerInfo,
                                               const QString &styleSheetId, xmlNodePtr slideList,
                                               xmlNodePtr presentation, int keynoteVersion,
                                               TWMap &map)
{
    Q_UNUSED(presentation);
    const bool includeHidden =
        UserDefaults::standard().boolForKey(QStringLiteral("ExportKeynoteIncludeHiddenBranchText"));
    const auto root = map.root();
    if (!root)
        return true;
    const TWMapBranch::BranchList children = root->children();
    for (const auto &branch : children) {
        if (branch->hidden() && !includeHidden)
            continue;
        xmlNodePtr slide = createBlank(false, masterSlideRef, masterLayerInfo, styleSheetId,
                                       slideList, true, keynoteVersion);
        if (!addSlideText(slide, slideList, *branch, 0, masterSlideRef, masterLayerInfo,
                          styleSheetId, keynoteVersion))
            return false;
    }
    return true;
}

bool KeynoteExportController::addSlideText(xmlNodePtr slide, xmlNodePtr slideList,
                                           TWMapBranch &firstLevelBranch, int branchNumber,
                                           const QString &masterSlideRef,
                                           const QString &masterLayerInfo,
                                           const QString &styleSheetId, int keynoteVersion)
{
    TWMapBranch::BranchList all{firstLevelBranch.shared_from_this()};
    firstLevelBranch.allDescendantsIntoArray(all, true);
    // Continuation slides are made in a loop rather than by recursion, so a
    // long branch cannot exhaust the stack.
    int start = branchNumber;
    while (true) {
        int stoppedAt = 0;
        if (!fillSlide(slide, firstLevelBranch, all, start, &stoppedAt, keynoteVersion))
            return false;
        if (stoppedAt >= all.size())
            return true;
        slide = createBlank(false, masterSlideRef, masterLayerInfo, styleSheetId, slideList, true,
                            keynoteVersion);
        start = stoppedAt;
    }
}

bool KeynoteExportController::fillSlide(xmlNodePtr slide, TWMapBranch &branch,
                                        const TWMapBranch::BranchList &all, int start,
                                        int *stoppedAt, int keynoteVersion)
{
    if (!slide)
        return false;
    const KeynoteNamespaces ns = KeynoteNamespaces::forDocument(slide->doc);
    const UserDefaults &defaults = UserDefaults::standard();
    const int perPage = subBranchesPerPage();
    const float multiplier =
        float(defaults.doubleForKey(QStringLiteral("ExportKeynoteTextSizeMultiplier")));
    const bool includeHidden =
        defaults.boolForKey(QStringLiteral("ExportKeynoteIncludeHiddenBranchText"));
    const bool version2 = keynoteVersion == 2;
    AttributedString notes;

    xmlNodePtr bullets = nullptr;
    if (version2) {
        bullets = addElement(slide, ns.key, "bullets");
        setAttribute(bullets, ns.sfa, "ID", makeId("HeadlineTree", takeCounter()));
    }
    if (start == 0)
        addNotesOfBranch(branch, notes);

    if (xmlNodePtr string = findNodeFromNode(slide, QStringLiteral("sf:layer/sf:type/sf:string"),
                                             QStringLiteral("string"), QStringLiteral("sfa"),
                                             QStringLiteral("BGSlideForegroundLayer"));
        string && string->parent && string->parent->parent) {
        setAttribute(addElement(string->parent->parent, ns.sf, "guides"), ns.sfa, "ID",
                     makeId("MutableSet", takeCounter()));
    }

    // Title.
    xmlNodePtr titleHolder = nullptr;
    if (version2) {
        titleHolder = addElement(bullets, ns.key, "headline");
        setAttribute(titleHolder, ns.sfa, "ID", makeId("Headline", takeCounter()));
        setAttribute(titleHolder, ns.key, "depth", QStringLiteral("0"));
        setAttribute(addElement(titleHolder, ns.key, "style-ref"), ns.sfa, "IDREF",
                     lookupId(slide, "sf:headline-style", QStringLiteral("titleHeadlineStyleID")));
    } else {
        titleHolder = firstBelow(slide, "key:title-placeholder");
        if (!titleHolder)
            return false;
    }
    xmlNodePtr titleLayout = addTextFrame(ns, titleHolder, ns.key, "text", slide, "textbox", true);
    setAttribute(titleLayout, ns.sf, "style", QStringLiteral("layout-style-default"));
    xmlNodePtr titleParagraph = addParagraph(
        ns, titleLayout,
        lookupId(slide, "sf:paragraphstyle", QStringLiteral("titleHeadlineParagraphStyleID")));

    xmlNodePtr anonStyles = firstBelow(slide, "sf:anon-styles");
    if (!anonStyles) {
        qWarning("Could not find anonymous styles");
        return false;
    }
    insertAttributedString(labelOf(branch), titleParagraph, anonStyles, multiplier);

    xmlNodePtr bodyLayout = nullptr;
    if (!version2) {
        xmlNodePtr body = firstBelow(slide, "key:body-placeholder");
        if (!body)
            return false;
        bodyLayout = addTextFrame(ns, body, ns.key, "text", slide, "textbox", true);
        setAttribute(
            bodyLayout, ns.sf, "style",
            lookupId(slide, "sf:layoutstyle", QStringLiteral("bodyPlaceholderLayoutStyleID")));
    }

    // Bullets.
    int index = start;
    for (int placed = 0; index < all.size() && placed < perPage; ++index) {
        TWMapBranch &descendant = *all[index];
        if (&descendant == &branch || (!includeHidden && descendant.hidden()))
            continue;
        ++placed;
        addNotesOfBranch(descendant, notes);
        const int level = descendant.getThisBranchLevel() - 1;
        if (version2) {
            xmlNodePtr headline = addElement(bullets, ns.key, "headline");
            setAttribute(headline, ns.sfa, "ID", makeId("Headline", takeCounter()));
            setAttribute(headline, ns.key, "depth", QString::number(level));
            const auto style =
                levelStyle(slide, "sf:headline-style", "level%dHeadlineStyleID", level);
            if (!style) {
                qWarning("Error finding formatting information for bullets at level %d", level);
                return false;
            }
            setAttribute(addElement(headline, ns.key, "style-ref"), ns.sfa, "IDREF", style->second);
            xmlNodePtr layout = addTextFrame(ns, headline, ns.key, "text", slide, "textbox", false);
            setAttribute(layout, ns.sf, "style", QStringLiteral("layout-style-default"));
            const auto paragraphStyle =
                levelStyle(slide, "sf:paragraphstyle", "level%dHeadlineParagraphStyleID", level);
            if (!paragraphStyle) {
                qWarning("Error finding paragraph formatting information for bullets at level %d",
                         level);
                return false;
            }
            insertAttributedString(labelOf(descendant),
                                   addParagraph(ns, layout, paragraphStyle->second), anonStyles,
                                   multiplier);
        } else {
            const auto paragraphStyle =
                levelStyle(slide, "sf:paragraphstyle", "level%dHeadlineParagraphStyleID", level);
            if (!paragraphStyle) {
                qWarning("Error finding formatting information for bullets at level %d", level);
                return false;
            }
            xmlNodePtr paragraph = addParagraph(ns, bodyLayout, paragraphStyle->second);
            setAttribute(paragraph, ns.sf, "list-level", QString::number(paragraphStyle->first));
            AttributedString text = labelOf(descendant);
            OFExtensions::appendString(text, QStringLiteral("\n"));
            insertAttributedString(text, paragraph, anonStyles, multiplier);
        }
    }
    *stoppedAt = index;

    // Presenter notes.
    const QString notesStyle =
        lookupId(slide, "sf:paragraphstyle", QStringLiteral("slideNotesParagraphStyleID"));
    xmlNodePtr notesLayout = addTextFrame(ns, slide, ns.key, "notes", slide, "note", false);
    setAttribute(notesLayout, ns.sf, "style", QStringLiteral("layout-style-default"));
    insertAttributedString(notes, addParagraph(ns, notesLayout, notesStyle), anonStyles, 1.0f);

    if (keynoteVersion <= 2) {
        xmlNodePtr dummy = addElement(slide, ns.key, "dummy_body_headline");
        setAttribute(dummy, ns.sfa, "ID", makeId("Headline", takeCounter()));
        setAttribute(addElement(dummy, ns.key, "style-ref"), ns.sfa, "IDREF",
                     lookupId(slide, "sf:headline-style", QStringLiteral("titleHeadlineStyleID")));
        xmlNodePtr layout = addTextFrame(ns, dummy, ns.key, "text", slide, "textbox", false);
        setAttribute(layout, ns.sf, "style", QStringLiteral("layout-style-default"));
        addParagraph(ns, layout, notesStyle);
    }
    return true;
}

void KeynoteExportController::addNotesOfBranch(const TWMapBranch &branch, AttributedString &notes)
{
    const TWMap *map = branch.map();
    const TWMapsDoc *document = map ? map->document() : nullptr;
    for (const auto &attached : branch.attachedTextArray()) {
        if (!attached || !attached->text() || attached->text()->isEmpty())
            continue;
        notes.appendAttributedString(labelOf(branch));
        OFExtensions::appendString(notes, QStringLiteral("\n\t"));
        const std::optional<QString> &category = attached->category();
        if (category && !category->isEmpty() && document) {
            for (const auto &known : document->attachedTextCategories()) {
                if (!known || known->shortName() != category)
                    continue;
                TextAttributes bulletAttributes;
                if (known->iconColor())
                    bulletAttributes.insert(NSForegroundColorAttributeName,
                                            QVariant::fromValue(*known->iconColor()));
                notes.appendAttributedString(
                    AttributedString(QString(QChar(0x2219)), bulletAttributes));
                notes.appendAttributedString(
                    AttributedString(known->longName().value_or(QString())));
                OFExtensions::appendString(notes, QStringLiteral("\n\t"));
            }
        }
        notes.appendAttributedString(*attached->text());
        OFExtensions::appendString(notes, QStringLiteral("\n\n"));
    }
}
