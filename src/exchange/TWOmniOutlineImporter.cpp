#include "exchange/TWOmniOutlineImporter.h"
#include "exchange/TWImportOrder.h"

#include "exchange/TWOutlinerImportHost.h"
#include "exchange/TWOutlinerXML.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/PackageArchive.h"
#include "model/TWAttachedText.h"
#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/PropertyListReader.h"
#include "support/RichTextFormat.h"
#include "support/TWExtensions.h"
#include "support/TWXMLUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <limits>

using namespace TWOutlinerXML;

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

// The file being imported, named in every refusal.
thread_local QString t_importedFile;

void refuse(const QString &message)
{
    const QString told =
        t_importedFile.isEmpty()
            ? message
            : dadoZiz("“%1” cannot be imported. %2").arg(t_importedFile, message);
    Alerts::current().runAlertPanel(dadoZiz("Unable to import document."), told,
                                    {TWLocalizedString(StringTable::General, "OK")});
}

void importAlert(const char *message)
{
    refuse(dadoZiz(message));
}

// Zip archives are the form outlines take from version 5 on.
bool isZipArchive(QFile &file)
{
    const QByteArray head = file.peek(4);
    return head == QByteArrayLiteral("PK\x03\x04");
}

const char *const onlyVersion3 = "Only files of OmniOutline version 3 and older can be imported.";

QString pathWithoutExtension(QString path)
{
    // A package may be named with a closing slash.
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
}

// Logs quote at most the start of a file's text.
QByteArray logExcerpt(const QString &text)
{
    constexpr qsizetype shown = 200;
    return (text.size() > shown ? text.left(shown) + QStringLiteral("...") : text).toUtf8();
}

struct XMLDocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using XMLDocument = std::unique_ptr<xmlDoc, XMLDocFree>;

// Never loads anything from the network; malformed text is the caller's to
// report, not libxml2's to print.
XMLDocument parseXML(const QByteArray &utf8)
{
    if (utf8.isEmpty() || utf8.size() > std::numeric_limits<int>::max())
        return nullptr;
    return XMLDocument(xmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                                     XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR |
                                         XML_PARSE_NOWARNING));
}

// An unparsable text or one without a root element: a beep and a log line.
bool refuseUnparsed(const XMLDocument &document, const QString &text)
{
    if (!document) {
        Alerts::current().beep();
        qWarning("Couldn't parse  XML %s", logExcerpt(text).constData());
        return true;
    }
    if (!xmlDocGetRootElement(document.get())) {
        Alerts::current().beep();
        qWarning("Couldn't find root element in %s", logExcerpt(text).constData());
        return true;
    }
    return false;
}

// A column value as rich text: a string is RTF or else plain text, the numbers
// 0 and 1 are the words No and Yes, other numbers their decimal text.
std::optional<AttributedString> richTextFromColumn(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString string = value.toString();
        if (std::optional<AttributedString> rtf =
                RichTextFormat::attributedStringFromRTF(string.toUtf8()))
            return rtf;
        return AttributedString(string);
    }
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (number == 0)
            return AttributedString(TWLocalizedString(StringTable::General, "No"));
        if (number == 1)
            return AttributedString(TWLocalizedString(StringTable::General, "Yes"));
        if (value.typeId() == QMetaType::Double)
            return AttributedString(QString::number(number, 'g', 16));
        return AttributedString(value.toString());
    }
    default:
        return std::nullopt;
    }
}

TWMapBranch *centralBranch(TWMapsDoc &document)
{
    const std::shared_ptr<TWMap> &map = document.currentMap();
    return map ? map->root().get() : nullptr;
}

void appendNewAttachedText(TWMapBranch &branch, const AttributedString &text, int index)
{
    auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
    attached->setText(std::make_shared<const AttributedString>(text));
    branch.insertObjectInAttachedTextArrayAtIndex(attached, index);
}

// Appends a value's text, a space before it when text is already there; the
// space takes the attributes of the character before it.
void appendValue(AttributedString &text, const AttributedString &value)
{
    if (value.isEmpty())
        return;
    if (!text.isEmpty())
        text.replaceCharactersInRange({text.length(), 0}, QStringLiteral(" "));
    text.appendAttributedString(value);
}

} // namespace

TWOmniOutlineImporter &TWOmniOutlineImporter::sharedImporter()
{
    static TWOmniOutlineImporter shared;
    return shared;
}

// --- reading the file ---

TWMapsDoc *TWOmniOutlineImporter::openOOFile(const QString &path, bool addToDocumentController)
{
    m_errorsArray.clear();
    const QFileInfo info(path);
    struct Naming
    {
        explicit Naming(const QString &name) { t_importedFile = name; }
        ~Naming() { t_importedFile.clear(); }
    } naming(info.fileName());
    if (!info.exists()) {
        importAlert("This file does not appear to exist.");
        qWarning("No file at %s", qUtf8Printable(path));
        return nullptr;
    }
    PackageArchive::Limits limits;
    limits.maxTotalSize = m_maximumDataSize;
    const QString title = pathWithoutExtension(path);
    if (info.isDir()) {
        const QString member = QDir(path).filePath(QStringLiteral("contents.xml"));
        QFile file(member);
        if (!QFileInfo(member).isFile() || !file.open(QIODevice::ReadOnly)) {
            importAlert("This file does not appear to contain any readable data.");
            qWarning("No file or empty file at %s", qUtf8Printable(member));
            return nullptr;
        }
        const std::optional<QByteArray> data = PackageArchive::gunzip(file, limits);
        if (!data) {
            // Nothing to decode as text.
            importAlert("This file does not appear to contain OmniOutline version 3 XML data.");
            return nullptr;
        }
        return documentFromData(*data, addToDocumentController, title);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        importAlert("This file does not appear to contain any readable data.");
        qWarning("No file or empty file at %s", qUtf8Printable(path));
        return nullptr;
    }
    if (isZipArchive(file)) {
        refuse(dadoZiz("It is a zip archive, the form of outlines from OmniOutline version 5 on.") +
               u' ' + dadoZiz(onlyVersion3));
        return nullptr;
    }
    const std::optional<QByteArray> data = PackageArchive::gunzip(file, limits);
    if (!data) {
        importAlert("This file does not appear to contain OmniOutline data.");
        qWarning("No OO data in file at %s", qUtf8Printable(path));
        return nullptr;
    }
    return documentFromData(*data, addToDocumentController, title);
}

TWMapsDoc *TWOmniOutlineImporter::documentFromData(const QByteArray &data,
                                                   bool addToDocumentController,
                                                   const QString &defaultTitle)
{
    m_errorsArray.clear();
    qDebug("Decompressed length: %lld", static_cast<long long>(data.size()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data);
    if (decoder.hasError()) {
        importAlert("This file does not appear to contain OmniOutline version 3 XML data.");
        return nullptr;
    }
    const XMLDocument document = parseXML(data);
    if (refuseUnparsed(document, text))
        return nullptr;
    xmlNodePtr root = xmlDocGetRootElement(document.get());
    if (!root->ns && localName(root) == u"plist") {
        const std::optional<QVariant> list = PropertyListReader::propertyListFromData(data);
        if (!list || list->typeId() != QMetaType::QVariantMap) {
            importAlert("This file does not appear to contain OmniOutline data.");
            qWarning("No OO data in file at %s", qUtf8Printable(defaultTitle));
            return nullptr;
        }
        return documentFromOO2Dictionary(list->toMap(), addToDocumentController, defaultTitle);
    }
    return documentFromOO3Document(document.get(), addToDocumentController, defaultTitle);
}

namespace {

// The number of the outliner version a namespace names ("…/v3"), or none.
std::optional<int> namespaceVersion(xmlNsPtr ns)
{
    if (!ns || !ns->href)
        return std::nullopt;
    const QString href = QString::fromUtf8(reinterpret_cast<const char *>(ns->href));
    const QString last = href.section(u'/', -1, -1, QString::SectionSkipEmpty);
    bool ok = false;
    const int version = last.startsWith(u'v') ? last.mid(1).toInt(&ok) : 0;
    return ok ? std::optional<int>(version) : std::nullopt;
}

bool isItemElement(xmlNodePtr node)
{
    return node->type == XML_ELEMENT_NODE && localName(node) == u"item";
}

// Whether an item element stands anywhere, and whether one stands where the
// version 3 reader takes its rows (directly under the root's `root`).
std::pair<bool, bool> findItems(xmlNodePtr outline)
{
    bool readable = false;
    for (xmlNodePtr child : elementChildren(outline))
        if (localName(child) == u"root" && child->ns == outline->ns)
            for (xmlNodePtr row : elementChildren(child))
                readable = readable || (isItemElement(row) && row->ns == outline->ns);
    if (readable)
        return {true, true};
    // Without recursion: another form of the file may nest deeply.
    for (xmlNodePtr at = outline->children; at;) {
        if (isItemElement(at))
            return {true, false};
        if (at->type == XML_ELEMENT_NODE && at->children) {
            at = at->children;
            continue;
        }
        while (at != outline && !at->next)
            at = at->parent;
        at = at != outline ? at->next : nullptr;
    }
    return {false, false};
}

} // namespace

std::optional<QString> TWOmniOutlineImporter::unreadableOutlineReason(xmlDocPtr xml)
{
    xmlNodePtr root = xmlDocGetRootElement(xml);
    if (!root || !root->ns || localName(root) != u"outline")
        return dadoZiz("This file does not appear to contain OmniOutline version 3 XML data.");
    if (const std::optional<int> version = namespaceVersion(root->ns); version && *version != 3)
        return dadoZiz("This file is from OmniOutline version %1.").arg(*version) + u' ' +
               dadoZiz(onlyVersion3);
    // Rows kept in a form this reader does not know would come in as an empty map.
    if (const auto [any, readable] = findItems(root); any && !readable)
        return dadoZiz("This file does not appear to contain OmniOutline version 3 XML data.");
    return std::nullopt;
}

// --- the new document ---

TWMapsDoc *TWOmniOutlineImporter::newDocument(const QString &defaultTitle,
                                              bool addToDocumentController)
{
    // Untitled under the file's name, so the first Save asks where.
    TWMapsDoc *document =
        m_host ? m_host->newDocument(QFileInfo(defaultTitle).fileName(), addToDocumentController)
               : nullptr;
    if (!document || !centralBranch(*document)) {
        Alerts::current().runAlertPanel(
            dadoZiz("Unable to create document."),
            dadoZiz("Internal error creating new Thinkweb document. Please contact technical "
                    "support."),
            {TWLocalizedString(StringTable::General, "OK")});
        return nullptr;
    }
    return document;
}

void TWOmniOutlineImporter::nameCentralBranch(TWMapsDoc &document, const QString &defaultTitle)
{
    TWMapBranch *central = centralBranch(document);
    if (const std::shared_ptr<TWTextArea> &text = central->enclosedTextArea()) {
        text->setIsEditing(false);
        text->setString(QFileInfo(defaultTitle).fileName());
    }
    central->makeNaturalSize();
}

void TWOmniOutlineImporter::addError(const QString &problem)
{
    TWExtensions::addObjectIfEqualObjectAbsent(m_errorsArray, problem);
}

QString TWOmniOutlineImporter::errorReport(const QStringList &errors)
{
    QString message = QStringLiteral(
        "The following errors were found during import - please inform Thinkweb so that we can "
        "improve the software for everyone (this information is also written to the Console "
        "log). Errors:");
    for (const QString &error : errors)
        message += QLatin1Char('\n') + error;
    return message;
}

void TWOmniOutlineImporter::reportErrors()
{
    if (m_errorsArray.isEmpty())
        return;
    const QString message = errorReport(m_errorsArray);
    qWarning("%s", qUtf8Printable(message));
    Alerts::current().runAlertPanel(QStringLiteral("Errors during import"), message,
                                    {QStringLiteral("OK")});
}

// --- version 2 ---

void TWOmniOutlineImporter::numberOfNodesInOODict(const QVariantMap &item, int &counter)
{
    if (item.isEmpty())
        return;
    ++counter;
    for (const QVariant &child : item.value(QStringLiteral("Children")).toList())
        numberOfNodesInOODict(child.toMap(), counter);
}

TWMapsDoc *TWOmniOutlineImporter::documentFromOO2Dictionary(const QVariantMap &dictionary,
                                                            bool addToDocumentController,
                                                            const QString &defaultTitle)
{
    const int version = dictionary.value(QStringLiteral("Version")).toInt();
    if (version != 5 && version != 6) {
        refuse(dadoZiz("This file appears to be from an unknown version of OmniOutline.") +
               u' ' + dadoZiz(onlyVersion3));
        return nullptr;
    }
    TWMapsDoc *document = newDocument(defaultTitle, addToDocumentController);
    if (!document)
        return nullptr;
    const QVariantMap rootItem = dictionary.value(QStringLiteral("Root Item")).toMap();
    int count = 0;
    numberOfNodesInOODict(rootItem, count);
    m_host->startProgress(count);
    nameCentralBranch(*document, defaultTitle);
    TWMapBranch *central = centralBranch(*document);
    {
        // Placed one by one, as the map's layout assistance places a new
        // branch: thousands of items under one heading cost each the same.
        const TWGrowthBatch batch(*document->currentMap(),
                                  TWGrowthBatch::Placement::EachAsItGrows);
        TWMapBranch::BranchList made;
        for (const QVariant &child : rootItem.value(QStringLiteral("Children")).toList())
            if (std::shared_ptr<TWMapBranch> branch =
                    central->addChildOfType(document->graphicClassIdentifier())) {
                made << branch;
                processChild(child.toMap(), *branch);
            }
        keepImportOrder(*central, made);
    }
    m_host->finishProgress();
    NotificationCenter::defaultCenter().post(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, document);
    m_host->bringToFront(*document);
    reportErrors();
    return document;
}

void TWOmniOutlineImporter::processChild(const QVariantMap &item, TWMapBranch &branch)
{
    if (item.contains(QStringLiteral("Cols"))) {
        const QVariantList columns = item.value(QStringLiteral("Cols")).toList();
        // The note is RTF or nothing.
        if (!columns.isEmpty() && columns.first().typeId() == QMetaType::QString) {
            const std::optional<AttributedString> note =
                RichTextFormat::attributedStringFromRTF(columns.first().toString().toUtf8());
            if (note && !note->isEmpty())
                appendNewAttachedText(branch, *note, branch.countOfAttachedTextArray());
        }
        if (columns.size() > 1) {
            AttributedString text = richTextFromColumn(columns.at(1)).value_or(AttributedString());
            if (m_host)
                m_host->setProgressInfo(text.string());
            for (qsizetype i = 2; i < columns.size(); ++i) {
                if (const std::optional<AttributedString> more =
                        richTextFromColumn(columns.at(i))) {
                    text.replaceCharactersInRange({text.length(), 0}, QStringLiteral("\n"));
                    text.appendAttributedString(*more);
                }
            }
            if (branch.enclosedTextArea())
                branch.enclosedTextArea()->setText(text);
        }
        branch.makeNaturalSize();
    }
    const int type = branch.map() && branch.map()->document()
                         ? branch.map()->document()->graphicClassIdentifier()
                         : -1;
    TWMapBranch::BranchList made;
    for (const QVariant &child : item.value(QStringLiteral("Children")).toList())
        if (std::shared_ptr<TWMapBranch> grown = branch.addChildOfType(type)) {
            made << grown;
            processChild(child.toMap(), *grown);
        }
    keepImportOrder(branch, made);
}

// --- version 3 ---

TWMapsDoc *TWOmniOutlineImporter::documentFromOO3XMLString(const QString &xml,
                                                           bool addToDocumentController,
                                                           const QString &defaultTitle)
{
    const XMLDocument document = parseXML(xml.toUtf8());
    if (refuseUnparsed(document, xml))
        return nullptr;
    return documentFromOO3Document(document.get(), addToDocumentController, defaultTitle);
}

TWMapsDoc *TWOmniOutlineImporter::documentFromOO3Document(xmlDocPtr xml,
                                                          bool addToDocumentController,
                                                          const QString &defaultTitle)
{
    m_styleAttributeRegistry.clear();
    m_namedStyles.clear();
    m_unreadEntities.clear();
    // Another version or form would come in as an empty map: refused whole.
    if (const std::optional<QString> reason = unreadableOutlineReason(xml)) {
        refuse(*reason);
        qWarning("Outline not read: %s", qUtf8Printable(*reason));
        return nullptr;
    }
    xmlNodePtr root = xmlDocGetRootElement(xml);

    const std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> context(
        TWXMLUtils::newContext(xml, reinterpret_cast<xmlNodePtr>(xml)), xmlXPathFreeContext);
    bool bound = false;
    if (context && root->ns && root->ns->href)
        bound = xmlXPathRegisterNs(context.get(), BAD_CAST "oo3", root->ns->href) == 0;
    if (!bound)
        qWarning("Couldn't set up namespace");
    auto query = [&](const char *path) {
        std::vector<xmlNodePtr> nodes;
        if (!bound)
            return nodes;
        xmlXPathObjectPtr found = TWXMLUtils::getNodeSetForXPath(path, xml, context.get());
        if (!found)
            return nodes;
        for (int i = 0; i < found->nodesetval->nodeNr; ++i)
            nodes.push_back(found->nodesetval->nodeTab[i]);
        xmlXPathFreeObject(found);
        return nodes;
    };

    for (xmlNodePtr declaration :
         query("/oo3:outline/oo3:style-attribute-registry/oo3:style-attribute"))
        populateStyleAttributeRegistry(m_styleAttributeRegistry, declaration);
    m_namedStyles.clear();
    for (xmlNodePtr named : query("/oo3:outline/oo3:named-styles/oo3:named-style"))
        readNamedStyles(named);
    m_baseStyle.clear();
    const std::vector<xmlNodePtr> base =
        query("/oo3:outline/oo3:settings/oo3:base-style/oo3:style");
    if (!base.empty())
        applyStyleElement(m_baseStyle, base.front());

    TWMapsDoc *document = newDocument(defaultTitle, addToDocumentController);
    if (!document)
        return nullptr;
    const std::vector<xmlNodePtr> items = query("//oo3:item");
    if (!items.empty())
        m_host->startProgress(double(items.size()));
    nameCentralBranch(*document, defaultTitle);
    TWMapBranch *central = centralBranch(*document);
    {
        // Laid out whole below: thousands of items under one heading cost
        // each the same.
        const TWGrowthBatch batch(*document->currentMap());
        TWMapBranch::BranchList made;
        for (xmlNodePtr element : query("/oo3:outline/oo3:root/oo3:*")) {
            if (localName(element) != u"item")
                continue;
            if (std::shared_ptr<TWMapBranch> branch =
                    central->addChildOfType(document->graphicClassIdentifier())) {
                made << branch;
                processOO3Child(element, *branch);
            }
        }
        keepImportOrder(*central, made);
    }
    TWMapLayout::autoArrange(*document->currentMap());
    m_host->finishProgress();
    for (const QString &entity : std::as_const(m_unreadEntities))
        addError(QStringLiteral("The entity &%1; was not read: its text is left out, the text "
                                "around it kept")
                     .arg(entity));
    reportErrors();
    return document;
}

AttributedString TWOmniOutlineImporter::richTextFromTextElement(xmlNodePtr text,
                                                                const StyleDictionary &itemStyle)
{
    AttributedString rich;
    for (xmlNodePtr paragraph : elementChildren(text)) {
        for (xmlNodePtr run : elementChildren(paragraph)) {
            StyleDictionary runStyle = itemStyle;
            for (xmlNodePtr child : elementChildren(run))
                if (localName(child) == u"style")
                    applyStyleElement(runStyle, child);
            const TextAttributes attributes = textAttributesFromStyle(runStyle, itemStyle);
            for (xmlNodePtr child : elementChildren(run)) {
                const QString name = localName(child);
                if (name == u"lit") {
                    if (child->children)
                        rich.appendAttributedString(
                            AttributedString(literalText(child, &m_unreadEntities), attributes));
                } else if (name != u"style") {
                    addError(QStringLiteral("Unknown run child type %1").arg(name));
                }
            }
        }
    }
    return rich;
}

void TWOmniOutlineImporter::processOO3Child(xmlNodePtr item, TWMapBranch &branch)
{
    StyleDictionary itemStyle;
    for (xmlNodePtr child : elementChildren(item))
        if (localName(child) == u"style" && firstChild(child))
            applyStyleElement(itemStyle, child);
    const TextAttributes itemAttributes = textAttributesFromStyle(itemStyle, itemStyle);

    AttributedString text;
    for (xmlNodePtr child : elementChildren(item)) {
        const QString name = localName(child);
        if (name == u"values") {
            for (xmlNodePtr value : elementChildren(child)) {
                xmlNodePtr content = firstChild(value);
                if (!content)
                    continue;
                const QString kind = localName(value);
                if (kind == u"text")
                    appendValue(text, richTextFromTextElement(value, itemStyle));
                else if (kind == u"checkbox")
                    appendValue(text, AttributedString(QStringLiteral("[%1]").arg(
                                                           literalText(value, &m_unreadEntities)),
                                                       itemAttributes));
                else if (kind == u"date" || kind == u"duration" || kind == u"number" ||
                         kind == u"enum")
                    appendValue(text, AttributedString(literalText(value, &m_unreadEntities),
                                                       itemAttributes));
                else if (kind != u"null")
                    addError(QStringLiteral("Unknown type of item value: %1").arg(kind));
            }
        } else if (name == u"note") {
            AttributedString note;
            for (xmlNodePtr textElement : elementChildren(child))
                note.appendAttributedString(richTextFromTextElement(textElement, itemStyle));
            appendNewAttachedText(branch, note, 0);
        } else if (name != u"style" && name != u"children" && name != u"conduit-settings") {
            addError(QStringLiteral("Unknown type of child of item: %1").arg(name));
        }
    }
    if (branch.enclosedTextArea())
        branch.enclosedTextArea()->setText(text);
    branch.makeNaturalSize();

    const int type = branch.map() && branch.map()->document()
                         ? branch.map()->document()->graphicClassIdentifier()
                         : -1;
    TWMapBranch::BranchList made;
    for (xmlNodePtr child : elementChildren(item)) {
        if (localName(child) != u"children")
            continue;
        for (xmlNodePtr element : elementChildren(child))
            if (std::shared_ptr<TWMapBranch> grown = branch.addChildOfType(type)) {
                made << grown;
                processOO3Child(element, *grown);
            }
    }
    keepImportOrder(branch, made);
}
