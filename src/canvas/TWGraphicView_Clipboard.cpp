// Copy, cut and paste on the canvas: the program's own XML for branches and
// attached graphics, with plain text, RTF and PDF for other programs, and
// text, rich text and pictures from them.

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWResourceDrops.h"
#include "graphics/TWImage.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapBranch_Outline.h"
#include "model/TWClipboardXML.h"
#include "model/TWContactsProvider.h"
#include "model/TWLinkBackPackage.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/AttributedStringDocument.h"
#include "support/Image.h"
#include "support/LinkBackData.h"
#include "support/ParagraphStyle.h"
#include "support/RichTextFormat.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString("DadoZiz", QString::fromLatin1(key));
}

void beep()
{
    Alerts::current().beep();
}

// Pasted HTML may name pictures and style sheets anywhere: none are loaded.
class ResourcelessDocument : public QTextDocument
{
protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

Rect subtreeArea(const TWMapBranch &branch)
{
    Rect area = branch.branchBounds();
    for (const std::shared_ptr<TWGraphic> &g : branch.linkedGraphics())
        area = area.united(g->bounds());
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        area = area.united(subtreeArea(*child));
    return area;
}

bool isReadablePicture(const QByteArray &data)
{
    return !data.isEmpty() && Image::initWithData(data).has_value();
}

// Copies offer the document as LinkBack data, made only when a reader asks
// for it: packing a large document on every copy would slow copying down.
class LinkBackMimeData : public QMimeData
{
public:
    explicit LinkBackMimeData(std::weak_ptr<TWMapsDoc> document) : m_document(std::move(document))
    {}

    QStringList formats() const override
    {
        QStringList types = QMimeData::formats();
        if (!types.contains(LinkBackPboardType))
            types.append(LinkBackPboardType);
        return types;
    }
    bool hasFormat(const QString &type) const override
    {
        return type == LinkBackPboardType || QMimeData::hasFormat(type);
    }

protected:
    QVariant retrieveData(const QString &type, QMetaType preferred) const override
    {
        if (type != LinkBackPboardType)
            return QMimeData::retrieveData(type, preferred);
        if (!m_linkBack) {
            m_linkBack = QByteArray();
            // The document as it is when asked; nothing once it is gone.
            if (const std::shared_ptr<TWMapsDoc> document = m_document.lock()) {
                if (const std::optional<QVariantMap> data =
                        TWLinkBackPackage::linkBackDataOfMapsDocument(*document))
                    m_linkBack = LinkBackData::pasteboardData(*data).value_or(QByteArray());
            }
        }
        return *m_linkBack;
    }

private:
    std::weak_ptr<TWMapsDoc> m_document;
    mutable std::optional<QByteArray> m_linkBack;
};

} // namespace

// The pasteboard's names for the types other programs use.
const QString TWGraphicView::StringPboardType = QStringLiteral("text/plain");
const QString TWGraphicView::RTFPboardType = QStringLiteral("text/rtf");
const QString TWGraphicView::HTMLPboardType = QStringLiteral("text/html");
const QString TWGraphicView::PDFPboardType = QStringLiteral("application/pdf");
const QString TWGraphicView::PICTPboardType = QStringLiteral("image/pict");
const QString TWGraphicView::PostScriptPboardType = QStringLiteral("application/postscript");
const QString TWGraphicView::TIFFPboardType = QStringLiteral("image/tiff");
// The LinkBack layer's own name for its data: copies offer it, pastes find it.
const QString TWGraphicView::LinkBackPboardType = QStringLiteral("application/x-linkback-data");

QByteArray TWGraphicView::pdfOfArea(Rect area)
{
    if (area.isEmpty())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF());
        writer.setPageSize(QPageSize(QSizeF(area.width(), area.height()), QPageSize::Point));
        QPainter painter(&writer);
        renderArea(painter, area);
    }
    return bytes;
}

std::unique_ptr<QMimeData> TWGraphicView::clipboardDataForSelection()
{
    TWMap *m = map();
    if (!m || m->countOfSelectedGraphics() == 0)
        return nullptr;
    TWMapBranch *common = nullptr;
    bool sawPart = false, sawAttached = false;
    std::shared_ptr<TWGraphic> lastAttached;
    for (const std::shared_ptr<TWGraphic> &g : m->selectedGraphics()) {
        TWMapBranch *b = g->branch();
        if (!b)
            continue;
        if (!common)
            common = b;
        if (b != common)
            return nullptr;
        if (g == b->mainGraphic() ||
            g == std::static_pointer_cast<TWGraphic>(b->enclosedTextArea()))
            sawPart = true;
        else if (TWClipboardXML::isAttachableGraphicClass(g->className()) &&
                 b->linkedGraphics().contains(g)) {
            sawAttached = true;
            lastAttached = g;
        } else {
            // Link lines and connections belong to the map, not to a branch.
            return nullptr;
        }
        if (sawPart && sawAttached)
            return nullptr;
    }
    if (!common)
        return nullptr;
    TWMapsDoc *document = m->document();
    auto data = std::make_unique<LinkBackMimeData>(
        document ? document->weak_from_this() : std::weak_ptr<TWMapsDoc>());
    if (sawPart) {
        data->setData(BranchPboardType, TWClipboardXML::xmlCopy(*common).toUtf8());
        const UserDefaults &d = UserDefaults::standard();
        const AttributedString outline = TWBranchOutline::copyTextOfBranch(
            *common, int(d.doubleForKey("ExportTextIndentSelection")),
            int(d.doubleForKey("ExportTextIndentNoOfSpaces")),
            d.boolForKey("ExportTextIncludeBranchNotes"),
            d.boolForKey("ExportTextIncludeAttachedGraphicText"));
        data->setText(outline.string());
        data->setData(RTFPboardType, RichTextFormat::rtfFromAttributedString(outline));
        data->setData(PDFPboardType, pdfOfArea(subtreeArea(*common)));
    } else {
        data->setData(GraphicPboardType, TWClipboardXML::xmlCopy(*lastAttached).toUtf8());
        data->setData(PDFPboardType, pdfOfArea(lastAttached->bounds()));
    }
    return data;
}

bool TWGraphicView::copy()
{
    std::unique_ptr<QMimeData> data = clipboardDataForSelection();
    if (!data) {
        beep();
        return false;
    }
    QGuiApplication::clipboard()->setMimeData(data.release());
    return true;
}

void TWGraphicView::cut()
{
    TWMap *m = map();
    // Only what was copied may go.
    if (!m || m->countOfSelectedGraphics() == 0 || !copy()) {
        if (m && m->countOfSelectedGraphics() == 0)
            beep();
        return;
    }
    m->publicDeleteSelectedGraphics();
    UndoManager::setActionName(m_document ? m_document->undoManager() : nullptr, dadoZiz("Cut"));
}

void TWGraphicView::paste()
{
    if (m_editingTextArea)
        endEditingTextArea();
    pasteFromPB(QGuiApplication::clipboard()->mimeData(), 0);
}

void TWGraphicView::pasteToAttachedGraphic()
{
    pasteFromPB(QGuiApplication::clipboard()->mimeData(), 1);
}

std::optional<QByteArray> TWGraphicView::pictureData(const QMimeData &data)
{
    for (const QString &type : {PDFPboardType, PostScriptPboardType, TIFFPboardType}) {
        if (data.hasFormat(type) && isReadablePicture(data.data(type)))
            return data.data(type);
    }
    for (const QString &type : data.formats()) {
        if (type.startsWith(QLatin1String("image/")) && isReadablePicture(data.data(type)))
            return data.data(type);
    }
    if (data.hasImage()) {
        const QImage image = qvariant_cast<QImage>(data.imageData());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.isNull() && image.save(&buffer, "PNG"))
            return bytes;
    }
    return std::nullopt;
}

void TWGraphicView::pasteFromPB(const QMimeData *data, int mode)
{
    TWMap *m = map();
    if (!m)
        return;
    static const QStringList preference{
        GraphicPboardType, BranchPboardType, LinkBackPboardType,   RTFPboardType,    HTMLPboardType,
        PDFPboardType,     PICTPboardType,   PostScriptPboardType, StringPboardType, TIFFPboardType,
    };
    // The bitmap slot takes any picture type of the platform.
    const auto holds = [data](const QString &candidate) {
        if (candidate != TIFFPboardType)
            return data->hasFormat(candidate);
        if (data->hasImage())
            return true;
        for (const QString &format : data->formats()) {
            if (format.startsWith(QLatin1String("image/")) && format != PICTPboardType)
                return true;
        }
        return false;
    };
    QString type;
    for (const QString &candidate : preference) {
        if (data && holds(candidate)) {
            type = candidate;
            break;
        }
    }
    // Address cards name people for the branch rather than text to paste.
    if (pasteboardHoldsVCards(data) && type != GraphicPboardType && type != BranchPboardType) {
        if (TWMapBranch *b = pasteTarget())
            allocateResourcesFromPasteboard(*b, data);
        return;
    }
    if (type.isEmpty()) {
        beep();
        return;
    }
    if (mode == 0 && (type == GraphicPboardType || type == BranchPboardType)) {
        const QString xml = QString::fromUtf8(data->data(type));
        if (type == GraphicPboardType)
            TWClipboardXML::pasteGraphicFromXml(*m, xml);
        else
            TWClipboardXML::pasteBranchFromXml(*m, xml);
        return;
    }
    if (type == HTMLPboardType) {
        ResourcelessDocument document;
        document.setHtml(QString::fromUtf8(data->data(type)));
        pasteText(AttributedStringDocument::attributedString(document), true, mode);
        return;
    }
    if (const std::optional<QByteArray> picture = pictureData(*data)) {
        pastePicture(*picture,
                     data->hasFormat(LinkBackPboardType)
                         ? std::optional<QByteArray>(data->data(LinkBackPboardType))
                         : std::nullopt,
                     mode);
        return;
    }
    if (type == RTFPboardType) {
        std::optional<AttributedString> rich =
            RichTextFormat::attributedStringFromRTF(data->data(type));
        if (!rich) {
            beep();
            return;
        }
        rich->removeAttribute(NSParagraphStyleAttributeName,
                              AttributedString::Range{0, rich->length()});
        pasteText(*rich, true, mode);
        return;
    }
    if (type == StringPboardType) {
        pasteText(AttributedString(data->text()), false, mode);
        return;
    }
    beep();
}

bool allocateResourcesFromPasteboard(TWMapBranch &branch, const QMimeData *data)
{
    TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr;
    const TWMapsDoc::ResourceList resources =
        document ? document->addResourcesFromPasteboard(data) : TWMapsDoc::ResourceList();
    if (resources.isEmpty()) {
        beep();
        return false;
    }
    // A person dropped again is not allocated twice.
    for (const std::shared_ptr<TWResource> &resource : resources) {
        if (!branch.hasAllocatedResource(resource))
            branch.allocateResource(resource);
    }
    return true;
}

TWMapBranch *TWGraphicView::pasteTarget()
{
    TWMap *m = map();
    if (m->countOfSelectedGraphics() > 1) {
        beep();
        return nullptr;
    }
    if (m->countOfSelectedGraphics() == 0) {
        if (!m->root() || !m->root()->mainGraphic())
            return nullptr;
        m->removeAllSelectedGraphics();
        m->insertObjectInSelectedGraphicsAtIndex(m->root()->mainGraphic(), 0);
    }
    return m->objectInSelectedGraphicsAtIndex(0)->branch();
}

void TWGraphicView::pasteText(const AttributedString &text, bool rich, int mode)
{
    TWMap *m = map();
    if (mode != 0 && mode != 1)
        return;
    TWMapBranch *b = pasteTarget();
    if (!b)
        return;
    UndoManager *undo = m_document ? m_document->undoManager() : nullptr;
    if (mode == 0) {
        // Made without editing, so that the editor opens on the pasted text.
        const TWMapBranch::BranchList made =
            m->publicCreateChildrenOfType(-1, rich ? QString() : text.string(), false);
        if (made.isEmpty())
            return;
        const std::shared_ptr<TWMapBranch> &c = made.first();
        if (rich && c->enclosedTextArea())
            c->enclosedTextArea()->setText(text);
        c->makeNaturalSize();
        UndoManager::setActionName(undo, dadoZiz("Paste"));
        c->beginEditingEnclosedTextArea();
        return;
    }
    auto area = std::make_shared<TWTextArea>();
    area->init();
    const Rect corner = b->branchBounds();
    area->setBounds(Rect(corner.x() + 20, corner.y() - 20, 150, 75));
    area->setDrawsFill(false);
    area->setDrawsStroke(false);
    area->setStrokeWidth(1.0f);
    area->setInheritsFill(false);
    area->setInheritsStroke(false);
    area->setInternalOrdering(b->getMinimumAttachedGraphicNumber() - 1);
    if (rich)
        area->setText(text);
    else
        area->setString(text.string());
    area->setBranch(b);
    b->publicAddLinkedGraphic(area);
    m->removeAllGraphicOrderCache();
    m->setShowAttachedGraphics(true);
    m->removeAllSelectedGraphics();
    m->insertObjectInSelectedGraphicsAtIndex(area, 0);
    UndoManager::setActionName(undo, dadoZiz("Attach Text"));
}

void TWGraphicView::pastePicture(const QByteArray &bytes, const std::optional<QByteArray> &linkBack,
                                 int mode)
{
    TWMap *m = map();
    if (mode != 0 && mode != 1)
        return;
    const std::optional<Image> image = Image::initWithData(bytes);
    if (!image)
        return;
    TWMapBranch *b = pasteTarget();
    if (!b)
        return;
    UndoManager *undo = m_document ? m_document->undoManager() : nullptr;
    // Data that cannot be read leave the picture without a way back.
    const std::optional<QVariantMap> parsed =
        linkBack ? LinkBackData::fromPasteboardData(*linkBack) : std::nullopt;
    const QVariant linkBackData = parsed ? QVariant(*parsed) : QVariant();
    if (mode == 0) {
        b->publicSetEnclosedImageFromData(image->data(), QString::fromLatin1(image->dataType()),
                                          image->size());
        if (parsed && b->enclosedImage())
            b->enclosedImage()->setLinkBackData(linkBackData);
        UndoManager::setActionName(undo, dadoZiz("Paste"));
        return;
    }
    auto picture = std::make_shared<TWImage>();
    picture->init();
    const Rect corner = b->branchBounds();
    picture->setBounds(Rect(corner.x() + 20, corner.y() - 20, 50, 50));
    picture->setDrawsFill(false);
    picture->setDrawsStroke(false);
    picture->setStrokeWidth(1.0f);
    picture->setInheritsFill(true);
    picture->setInheritsStroke(true);
    picture->setInternalOrdering(b->getMinimumAttachedGraphicNumber() - 1);
    if (parsed)
        picture->setLinkBackData(linkBackData);
    // Vector pictures keep their own form; anything else is stored as TIFF.
    const QByteArray type = image->dataType();
    const bool vector = type == "pdf" || type == "eps";
    const QByteArray stored = vector ? image->data() : image->TIFFRepresentation();
    const QString path = QStringLiteral("Images/Branch%1/Graphic%2/ExtractedImage.%3")
                             .arg(b->branchNumber())
                             .arg(picture->graphicNumber())
                             .arg(vector ? QString::fromLatin1(type) : QStringLiteral("tiff"));
    if (TWMapsDoc *doc = m->document())
        doc->setObjectInCachedData(stored, path);
    picture->setImageFilename(path);
    picture->setBranch(b);
    b->publicAddLinkedGraphic(picture);
    m->removeAllGraphicOrderCache();
    m->setShowAttachedGraphics(true);
    m->removeAllSelectedGraphics();
    m->insertObjectInSelectedGraphicsAtIndex(picture, 0);
    invalidateGraphic(*picture);
    UndoManager::setActionName(undo, dadoZiz("Attach Image"));
}
