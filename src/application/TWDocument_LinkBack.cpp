// Embedding: the document as a LinkBack server's editor and as a client that
// sends its embedded items back to their sources.

#include "application/DocumentController.h"
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWSaveProgress.h"
#include "canvas/TWGraphicView.h"
#include "exchange/TWExportController.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/PackageEntry.h"
#include "model/TWAttachedText.h"
#include "model/TWLinkBackPackage.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"
#include "support/Image.h"
#include "support/TextAttachment.h"

#include <QUuid>
#include <algorithm>

namespace {
// Package data from another program: paths to bytes or text, nothing else.
std::optional<PackageData> packageFromLink(const QVariant &appData)
{
    if (appData.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    PackageData package;
    const QVariantMap entries = appData.toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QByteArray)
            package.insert(it.key(), it.value().toByteArray());
        else if (it.value().typeId() == QMetaType::QString)
            package.insert(it.key(), it.value().toString().toUtf8());
        else
            return std::nullopt;
    }
    return package;
}
} // namespace

void TWDocumentLinkBackClient::linkBackServerDidSendEdit(LinkBack *link)
{
    m_document->linkBackServerDidSendEdit(link);
}

void TWDocumentLinkBackClient::linkBackDidClose(LinkBack *link)
{
    m_document->linkBackDidClose(link);
}

QString TWDocument::linkBackPictureName(int changeCount, const QString &extension)
{
    return QStringLiteral("_%1.%2")
        .arg(quint32(changeCount), 8, 16, QLatin1Char('0'))
        .arg(extension);
}

// --- server ---

TWDocument *TWDocument::openLinkBackEdit(LinkBack *link, TWDocumentController *controller)
{
    if (!link || !controller)
        return nullptr;
    const QVariantMap data = link->pasteboard().propertyList(LinkBackPboardType).toMap();
    const std::optional<PackageData> package = packageFromLink(LinkBackData::linkBackAppData(data));
    std::shared_ptr<TWMapsDoc> maps =
        package ? TWMapsDoc::createWithDictionary(*package, false) : nullptr;
    if (!maps || maps->maps().isEmpty()) {
        // Data that hold no map are refused; the other side hears the link end.
        qWarning("LinkBack: the embedded data from %s hold no map",
                 qPrintable(link->sourceApplicationName()));
        link->closeLink();
        return nullptr;
    }
    TWDocument *document = controller->addUntitledDocument(makeUntitled(), false);
    if (!document->mapsDocument()->currentMap())
        document->addMapUsingTemplate(false);
    NotificationCenter::defaultCenter().post(TWMapBranch::EndEditingTextNotification, nullptr);
    document->setMapsDocument(std::move(maps));
    document->restoreVisibleRectForCurrentMap();
    document->setLinkBack(link);
    if (controller->showsWindows())
        document->showWindows();
    return document;
}

void TWDocument::setLinkBack(LinkBack *link)
{
    m_link = link;
    if (m_link)
        m_link->setRepresentedObject(QVariant::fromValue<QObject *>(this));
    if (m_window)
        m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
}

void TWDocument::closeLinkIfNeeded()
{
    if (!m_link)
        return;
    LinkBack *link = std::exchange(m_link, nullptr);
    link->setRepresentedObject(QVariant());
    link->closeLink();
}

bool TWDocument::saveLink()
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!m_link || !map)
        return false;
    const std::optional<QVariantMap> linkBackData =
        TWLinkBackPackage::linkBackDataOfMapsDocument(*m_mapsDocument);
    if (!linkBackData) {
        qWarning("LinkBack: the map could not be packed to send back");
        return false;
    }
    LinkBackPasteboard &pasteboard = m_link->pasteboard();
    pasteboard.declareTypes({LinkBackPDFType, LinkBackPboardType});
    pasteboard.setPropertyList(*linkBackData, LinkBackPboardType);
    pasteboard.setData(TWExportController::sharedExportController().pdfDataForMap(*map),
                       LinkBackPDFType);
    // Only a send that arrived counts: until then the changes and their
    // history stay. Once it has, the other program holds this version; the
    // history goes with it, as after a revert.
    if (!m_link->sendEdit())
        return false;
    m_undoManager->removeAllActions();
    clearChangeCount();
    return true;
}

// --- client ---

void TWDocument::closeActiveLinks()
{
    std::vector<ActiveLink> links = std::exchange(m_activeLinks, {});
    for (const ActiveLink &active : links)
        active.link->closeLink();
}

QList<std::shared_ptr<TWGraphic>> TWDocument::selectedLinkBackAttachments() const
{
    QList<std::shared_ptr<TWGraphic>> found;
    const TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map)
        return found;
    const auto carries = [](const std::shared_ptr<TWGraphic> &g) {
        return g && !g->linkBackData().toMap().isEmpty();
    };
    for (const std::shared_ptr<TWGraphic> &graphic : map->selectedGraphics()) {
        if (carries(graphic)) {
            found << graphic;
            continue;
        }
        const TWMapBranch *branch = graphic->branch();
        const std::shared_ptr<TWGraphic> image = branch ? branch->enclosedImage() : nullptr;
        if (carries(image) && !found.contains(image))
            found << image;
    }
    return found;
}

void TWDocument::editLinkBackItems()
{
    const QList<std::shared_ptr<TWGraphic>> items = selectedLinkBackAttachments();
    for (auto it = items.crbegin(); it != items.crend(); ++it)
        editLinkBackInGraphic(*it);
}

bool TWDocument::editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    const QVariantMap data = graphic ? graphic->linkBackData().toMap() : QVariantMap();
    if (data.isEmpty())
        return false;
    const QString source =
        m_window ? m_window->windowTitle().remove(QStringLiteral("[*]")) : displayName();
    std::shared_ptr<LinkBack> link =
        LinkBack::editLinkBackData(data, source, &m_linkBackClient, graphic->linkBackItemKey());
    if (!link)
        return false;
    link->setRepresentedObject(QVariant::fromValue(quintptr(graphic.get())));
    rememberActiveLink({link, graphic, {}});
    return true;
}

bool TWDocument::editLinkBackInTextAttachment(const TextAttachment &attachment)
{
    const QVariantMap data = attachment.linkBackData().toMap();
    if (!attachment.isLinkBackAttachment() || data.isEmpty())
        return false;
    const QString source =
        m_window ? m_window->windowTitle().remove(QStringLiteral("[*]")) : displayName();
    std::shared_ptr<LinkBack> link =
        LinkBack::editLinkBackData(data, source, &m_linkBackClient, attachment.linkBackItemKey());
    if (!link)
        return false;
    addActiveLink(link, attachment.linkBackItemKey());
    return true;
}

void TWDocument::addActiveLink(const std::shared_ptr<LinkBack> &link, const QString &attachmentKey)
{
    if (!link)
        return;
    link->setRepresentedObject(attachmentKey);
    rememberActiveLink({link, {}, attachmentKey});
}

void TWDocument::rememberActiveLink(ActiveLink active)
{
    const auto same = std::find_if(m_activeLinks.begin(), m_activeLinks.end(),
                                   [&](const ActiveLink &a) { return a.link == active.link; });
    if (same != m_activeLinks.end())
        *same = std::move(active);
    else
        m_activeLinks.push_back(std::move(active));
}

namespace {
// `text` with the first picture keyed `key` swapped for `replacement`, its
// other attributes kept; nothing when the text holds no such picture.
std::optional<AttributedString> withAttachmentReplaced(const AttributedString &text,
                                                       const QString &key,
                                                       const TextAttachment &replacement)
{
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const QVariant value = text.runAttributes(run).value(NSAttachmentAttributeName);
        if (!value.canConvert<TextAttachment>() ||
            value.value<TextAttachment>().linkBackItemKey() != key)
            continue;
        AttributedString changed = text;
        AttributedString piece(QString(QChar(0xFFFC)), text.runAttributes(run));
        piece.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(replacement), {0, 1});
        changed.replaceCharactersInRange(text.runRange(run), piece);
        return changed;
    }
    return std::nullopt;
}
} // namespace

bool TWDocument::replaceLinkBackAttachments(LinkBack *link, const QString &attachmentKey)
{
    LinkBackPasteboard &pasteboard = link->pasteboard();
    const bool pdf = !pasteboard.data(LinkBackPDFType).isEmpty();
    const QByteArray picture = pasteboard.data(pdf ? LinkBackPDFType : LinkBackTIFFType);
    // Without the data and a picture the attachments stay as they are.
    if (!pasteboard.hasType(LinkBackPboardType) || picture.isEmpty())
        return true;
    TextAttachment::FileWrapper wrapper = TextAttachment::FileWrapper::regularFile(picture);
    wrapper.preferredFilename = linkBackPictureName(
        pasteboard.changeCount(), pdf ? QStringLiteral("pdf") : QStringLiteral("tiff"));
    wrapper.filename = wrapper.preferredFilename;
    const TextAttachment replacement = TextAttachment::linkBackAttachment(
        wrapper, pasteboard.propertyList(LinkBackPboardType), link->itemKey());
    link->setRepresentedObject(replacement.linkBackItemKey());
    for (auto &active : m_activeLinks)
        if (active.link.get() == link)
            active.attachmentKey = replacement.linkBackItemKey();

    // A label being typed into holds its last keystrokes back; they go to
    // the model first, as a step of their own, so that neither is lost.
    TWGraphicView *canvas = graphicView();
    if (canvas && canvas->hasStoredText()) {
        canvas->commitPendingText();
        m_undoManager->closeEventGroup();
    }

    bool found = false;
    for (const std::shared_ptr<TWMap> &map : m_mapsDocument->maps()) {
        for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches()) {
            if (const std::shared_ptr<TWTextArea> &label = branch->enclosedTextArea()) {
                if (std::optional<AttributedString> changed =
                        withAttachmentReplaced(label->text(), attachmentKey, replacement)) {
                    label->setText(*changed);
                    // The new picture may be of another size.
                    branch->makeNaturalSizeHonoringTextWidth(true, true);
                    // The open editor shows it; what is typed next keeps it.
                    if (canvas && canvas->editingTextArea() == label.get())
                        NotificationCenter::defaultCenter().post(
                            TWTextArea::UpdateTextEditorTextNotification,
                            label->notificationObject());
                    found = true;
                }
            }
            for (const std::shared_ptr<TWAttachedText> &attached : branch->attachedTextArray()) {
                const std::shared_ptr<const AttributedString> text = attached->text();
                if (!text)
                    continue;
                if (std::optional<AttributedString> changed =
                        withAttachmentReplaced(*text, attachmentKey, replacement)) {
                    attached->publicSetText(std::make_shared<AttributedString>(*changed));
                    found = true;
                }
            }
        }
    }
    if (found)
        UndoManager::setActionName(m_undoManager.get(),
                                   TWLocalizedString(StringTable::DadoZiz, "Text Editing"));
    return found;
}

void TWDocument::linkBackDidClose(LinkBack *link)
{
    std::erase_if(m_activeLinks, [link](const ActiveLink &a) { return a.link.get() == link; });
}

void TWDocument::linkBackServerDidSendEdit(LinkBack *link)
{
    // The picture goes in once the maps being written are written.
    if (TWSaveProgress::isRunning()) {
        const auto held = std::find_if(m_activeLinks.begin(), m_activeLinks.end(),
                                       [link](const ActiveLink &a) { return a.link.get() == link; });
        if (held == m_activeLinks.end())
            return;
        TWSaveProgress::whenNoSaveRuns(this, [this, weak = std::weak_ptr<LinkBack>(held->link)] {
            if (const std::shared_ptr<LinkBack> link = weak.lock())
                linkBackServerDidSendEdit(link.get());
        });
        return;
    }
    const auto active = std::find_if(m_activeLinks.begin(), m_activeLinks.end(),
                                     [link](const ActiveLink &a) { return a.link.get() == link; });
    if (active == m_activeLinks.end() || !m_mapsDocument)
        return;
    // The other program may send again and again (on each of its saves):
    // the user hears of a lost edit once, not at every send.
    const auto tellLost = [&](const char *where) {
        if (std::exchange(active->toldItemGone, true))
            return;
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz, "The edited picture could not be put back."),
            TWLocalizedString(StringTable::DadoZiz, where).arg(displayName()),
            {TWLocalizedString(StringTable::General, "OK")});
    };
    if (!active->attachmentKey.isEmpty()) {
        const bool found = replaceLinkBackAttachments(link, active->attachmentKey);
        if (!found)
            tellLost("The label or note that held it is no longer in “%1”. Copy the picture "
                     "from the program it was edited in to keep the edit.");
        else
            active->toldItemGone = false;
        return;
    }
    const std::shared_ptr<TWGraphic> graphic = active->graphic.lock();
    // A picture whose branch was deleted still takes the edit, which an undo
    // of the deletion may bring back; the user hears that it is not shown.
    const TWMapBranch *owner = graphic ? graphic->branch() : nullptr;
    const bool inMap = owner && std::ranges::any_of(m_mapsDocument->maps(), [owner](const auto &m) {
        return std::ranges::any_of(m->allBranches(),
                                   [owner](const auto &b) { return b.get() == owner; });
    });
    if (!graphic || (owner && !inMap))
        tellLost("The picture is no longer in “%1”. Copy it from the program it was edited in "
                 "to keep the edit.");
    else
        active->toldItemGone = false;
    if (!graphic)
        return;
    LinkBackPasteboard &pasteboard = link->pasteboard();
    const bool pdf = !pasteboard.data(LinkBackPDFType).isEmpty();
    const QByteArray picture = pasteboard.data(pdf ? LinkBackPDFType : LinkBackTIFFType);
    if (!picture.isEmpty() && Image::initWithData(picture)) {
        std::optional<QString> path = graphic->imageFilename();
        if (!path) {
            path = QStringLiteral("Images/%1.%2")
                       .arg(QUuid::createUuid().toString(QUuid::WithoutBraces),
                            pdf ? QStringLiteral("pdf") : QStringLiteral("tiff"));
        }
        m_mapsDocument->setObjectInCachedData(picture, *path);
        // A new name drops the picture the graphic drew from, then it reads
        // the new data.
        graphic->setImageFilename(std::nullopt);
        graphic->setImageFilename(path);
    }
    if (pasteboard.hasType(LinkBackPboardType))
        graphic->setLinkBackData(pasteboard.propertyList(LinkBackPboardType));
    graphic->setLinkBackItemKey(link->itemKey());
}
