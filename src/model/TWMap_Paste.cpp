// Clipboard XML: writing branches and graphics, and reading them back into a
// map after checking what another program may have put there.

#include "model/TWClipboardXML.h"

#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapConnectionRebuild.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/Base64.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <QSet>
#include <algorithm>
#include <libxml/tree.h>

namespace TWClipboardXML {

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString("DadoZiz", QString::fromLatin1(key));
}

QString serialized(const std::function<void(xmlNodePtr)> &write)
{
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "XMLObj", nullptr);
    xmlDocSetRootElement(doc, root);
    write(root);
    const QByteArray bytes = XMLDetail::dumpDocument(doc);
    xmlFreeDoc(doc);
    return QString::fromUtf8(bytes);
}

QString elementName(xmlNodePtr node)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(node->name));
}

QString textOf(xmlNodePtr node)
{
    xmlChar *content = xmlNodeGetContent(node);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(content));
    xmlFree(content);
    return text;
}

xmlNodePtr childElement(xmlNodePtr node, const char *name)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name))
            return child;
    }
    return nullptr;
}

bool isConnectionClass(const QString &name)
{
    return name == QLatin1String("TWChildConnection") || name == QLatin1String("TWTitleConnection");
}

bool isBase64(const QString &text)
{
    try {
        return TWBase64::dataWithTWBase64String(text).has_value();
    } catch (...) {
        return false;
    }
}

// A picture name the paste may store: inside "Images/", with an extension
// of letters and digits, since the copy is stored under that extension.
bool isAcceptablePictureName(const QString &stored)
{
    const std::optional<QString> path = TWGraphic::sanitizedPicturePath(stored);
    if (!path)
        return false;
    const QString name = path->mid(path->lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return false;
    for (const QChar c : QStringView(name).mid(dot + 1)) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return false;
    }
    return true;
}

// Every element below `top`: graphic classes known and in their place (a
// connection only as a branch's connection, never a link line or boundary
// proxy), picture names inside the package's picture folder, Base64 that
// decodes. The reason of a refusal goes to `why`.
bool contentIsAcceptable(xmlNodePtr top, QString *why)
{
    QList<xmlNodePtr> pending{top};
    while (!pending.isEmpty()) {
        xmlNodePtr node = pending.takeLast();
        for (xmlNodePtr child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                pending.append(child);
        }
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const QString name = elementName(node);
        if (name == QLatin1String("TWGraphic")) {
            xmlNodePtr classNode = childElement(node, "class");
            const QString className = classNode ? textOf(classNode) : QString();
            const bool asConnection =
                node->parent && node->parent->type == XML_ELEMENT_NODE &&
                elementName(node->parent) == QLatin1String("connectionGraphic");
            const bool asMain = node->parent && node->parent->type == XML_ELEMENT_NODE &&
                                elementName(node->parent) == QLatin1String("mainGraphic");
            // A branch's shape may be any kind but those joining graphics.
            const bool allowed = asConnection ? isConnectionClass(className)
                                 : asMain     ? TWGraphic::isClassRegistered(className) &&
                                                !isConnectionClass(className) &&
                                                className != QLatin1String("TWLinkLine") &&
                                                className != QLatin1String("TWBoundaryProxy")
                                          : isAttachableGraphicClass(className);
            if (!allowed) {
                *why = QStringLiteral("graphic class \"%1\" refused").arg(className);
                return false;
            }
        } else if (name == QLatin1String("imageFilename")) {
            const QString stored = textOf(node);
            if (!stored.isEmpty() && !isAcceptablePictureName(stored)) {
                *why = QStringLiteral("picture name \"%1\" refused").arg(stored);
                return false;
            }
        } else if (name == QLatin1String("embeddedImageData") ||
                   name == QLatin1String("linkBackData")) {
            if (!isBase64(textOf(node))) {
                *why = QStringLiteral("%1 is not Base64").arg(name);
                return false;
            }
        }
    }
    return true;
}

// The parsed clipboard document, freed with the object.
struct PastedDocument
{
    xmlDocPtr doc = nullptr;
    xmlNodePtr element = nullptr; // the one element under "XMLObj"
    ~PastedDocument()
    {
        if (doc)
            xmlFreeDoc(doc);
    }
};

// Parses and checks the text; nothing (a beep and a log line) when refused.
std::unique_ptr<PastedDocument> parsePasted(const QString &xml, const char *elementWanted)
{
    auto refuse = [&](const QString &reason) {
        qWarning().noquote() << QStringLiteral("Couldn't paste XML: %1").arg(reason);
        Alerts::current().beep();
        return std::unique_ptr<PastedDocument>();
    };
    if (xml.isNull())
        return refuse(QStringLiteral("no text"));
    // UTF-8 never takes fewer bytes than UTF-16 code units.
    if (xml.size() > maximumPastedBytes)
        return refuse(QStringLiteral("%1 characters is more than a paste takes").arg(xml.size()));
    const QByteArray bytes = xml.toUtf8();
    if (bytes.size() > maximumPastedBytes)
        return refuse(QStringLiteral("%1 bytes is more than a paste takes").arg(bytes.size()));
    auto pasted = std::make_unique<PastedDocument>();
    QString error;
    pasted->doc = XMLDetail::parseToXmlDoc(bytes, &error);
    if (!pasted->doc)
        return refuse(QStringLiteral("it does not parse (%1)").arg(error));
    xmlNodePtr root = xmlDocGetRootElement(pasted->doc);
    if (!root || !xmlStrEqual(root->name, BAD_CAST "XMLObj"))
        return refuse(QStringLiteral("no XMLObj root element"));
    pasted->element = childElement(root, elementWanted);
    if (!pasted->element)
        return refuse(QStringLiteral("no %1 element").arg(QLatin1String(elementWanted)));
    QString why;
    if (!contentIsAcceptable(pasted->element, &why))
        return refuse(why);
    return pasted;
}

UndoManager *undoManagerOf(const TWMap &map)
{
    return map.document() ? map.document()->undoManager() : map.undoManager();
}

// One undo step for the whole paste.
struct UndoGroup
{
    UndoManager *manager;
    explicit UndoGroup(UndoManager *m) : manager(m)
    {
        if (manager)
            manager->beginUndoGrouping();
    }
    ~UndoGroup()
    {
        if (manager)
            manager->endUndoGrouping();
    }
};

} // namespace

QString xmlCopy(TWMapBranch &branch)
{
    return serialized([&](xmlNodePtr root) { branch.addXmlDataToNode(root, true); });
}

QString xmlCopy(TWGraphic &graphic)
{
    const bool embedding = !dynamic_cast<TWTextArea *>(&graphic);
    return serialized([&](xmlNodePtr root) { graphic.addXmlDataToNode(root, embedding); });
}

bool isAttachableGraphicClass(const QString &className)
{
    static const QSet<QString> attachable{
        QStringLiteral("TWTextArea"),    QStringLiteral("TWImage"),
        QStringLiteral("TWRectangle"),   QStringLiteral("TWCircle"),
        QStringLiteral("TWLine"),        QStringLiteral("TWCloud"),
        QStringLiteral("TWCheckBox"),    QStringLiteral("TWScribble"),
        QStringLiteral("TWFlexiBranch"), QStringLiteral("TWCustomBranchShape"),
    };
    return attachable.contains(className) && TWGraphic::isClassRegistered(className);
}

bool pasteGraphicFromXml(TWMap &map, const QString &xml)
{
    const std::unique_ptr<PastedDocument> pasted = parsePasted(xml, "TWGraphic");
    if (!pasted)
        return false;
    UndoManager *undo = undoManagerOf(map);
    const UndoGroup group(undo);
    xmlNodePtr objectNode = pasted->element->parent;
    for (TWMapBranch *branch : map.selectedBranches()) {
        std::shared_ptr<TWGraphic> graphic =
            TWGraphic::graphicWithXMLNode(objectNode, pasted->doc, branch);
        if (!graphic)
            continue;
        Rect bounds = graphic->bounds();
        if (branch->countOfLinkedGraphics() > 0) {
            // Step off copies already lying exactly there.
            for (bool moved = true; moved;) {
                moved = false;
                for (const std::shared_ptr<TWGraphic> &other : branch->linkedGraphics()) {
                    if (other->bounds() == bounds) {
                        bounds = bounds.offsetBy(10, 10);
                        moved = true;
                        break;
                    }
                }
            }
        } else {
            const Rect corner = branch->branchBounds();
            bounds.origin = Point(corner.x() + 20, corner.y() - 20);
        }
        graphic->setBounds(bounds);
        graphic->setInternalOrdering(branch->getMinimumAttachedGraphicNumber() - 1);
        branch->insertObjectInLinkedGraphicsAtIndex(graphic, 0);
        TWMapBranch::GraphicList sorted = branch->linkedGraphics();
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
            return TWMapBranch::attachedGraphicOrderFunction(*a, *b) < 0;
        });
        branch->removeAllLinkedGraphics();
        for (int i = 0; i < sorted.size(); ++i)
            branch->insertObjectInLinkedGraphicsAtIndex(sorted.at(i), i);
    }
    map.removeAllGraphicOrderCache();
    map.removeAllSelectedGraphics();
    UndoManager::setActionName(undo, dadoZiz("Paste"));
    return true;
}

std::shared_ptr<TWMapBranch> pasteBranchFromXml(TWMap &map, const QString &xml)
{
    if (!map.root())
        return nullptr;
    UndoManager *undo = undoManagerOf(map);
    const UndoGroup group(undo);
    if (map.countOfSelectedGraphics() == 0 && map.root()->mainGraphic())
        map.insertObjectInSelectedGraphicsAtIndex(map.root()->mainGraphic(), 0);
    const std::shared_ptr<TWGraphic> first = map.objectInSelectedGraphicsAtIndex(0);
    TWMapBranch *parent = first ? first->branch() : nullptr;
    for (const std::shared_ptr<TWGraphic> &graphic : map.selectedGraphics()) {
        const bool ownPart =
            parent && graphic->branch() == parent &&
            (graphic == parent->mainGraphic() ||
             graphic == std::static_pointer_cast<TWGraphic>(parent->enclosedTextArea()));
        if (!ownPart) {
            Alerts::current().beep();
            return nullptr;
        }
    }

    const std::unique_ptr<PastedDocument> pasted = parsePasted(xml, "TWMapBranch");
    if (!pasted)
        return nullptr;
    // The reader refuses these: check first, so that a refusal changes nothing.
    for (const char *needed : {"mainGraphic", "enclosedTextArea", "branchNumber"}) {
        if (!childElement(pasted->element, needed)) {
            qWarning().noquote() << QStringLiteral("Couldn't paste XML: branch without %1")
                                        .arg(QLatin1String(needed));
            Alerts::current().beep();
            return nullptr;
        }
    }
    std::shared_ptr<TWMapBranch> branch =
        TWMapBranch::initWithXMLNode(pasted->element, pasted->doc, parent, &map);
    if (!branch) {
        Alerts::current().beep();
        return nullptr;
    }
    branch->setBranchNumberRecursively();
    TWMapConnectionRebuild::resetConnectionGraphicsRecursively(*branch);

    UndoManager::setActionName(undo, dadoZiz("Paste"));
    map.removeAllGraphicOrderCache();
    map.removeAllSelectedGraphics();

    const int deepest = branch->getMaximumBranchLevel();
    if (map.branchHideLevel() < deepest)
        map.setBranchHideLevel(deepest);
    parent->setChildrenHidden(false);

    placePastedBranch(map, *parent, *branch);

    parent->insertObjectInChildrenAtIndex(branch, parent->countOfChildren());
    TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*branch, true);

    map.removeAllSelectedGraphics();
    if (const std::shared_ptr<TWTextArea> &label = branch->enclosedTextArea())
        label->tryToSelect();
    NotificationCenter::defaultCenter().post(
        TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, map.document());
    UndoManager::setActionName(undo, dadoZiz("Paste"));
    map.removeAllGraphicOrderCache();
    return branch;
}

} // namespace TWClipboardXML
