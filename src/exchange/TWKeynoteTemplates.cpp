#include "exchange/TWKeynoteTemplates.h"
#include "exchange/TWKeynoteXML.h"
#include "support/XMLDocument.h"

#include <zlib.h>

using namespace TWKeynoteXML;

namespace TWKeynoteTemplates {

namespace {

// The namespaces Keynote 2 and 3 documents declare.
constexpr const char *kKeyURI = "http://developer.apple.com/namespaces/keynote2";
constexpr const char *kSfURI = "http://developer.apple.com/namespaces/sf";
constexpr const char *kSfaURI = "http://developer.apple.com/namespaces/sfa";
constexpr const char *kXsiURI = "http://www.w3.org/2001/XMLSchema-instance";

constexpr const char *kMasterNames[4] = {"Title & Subtitle", "Title & Bullets", "Title - Top",
                                         "Blank"};

struct Builder
{
    xmlNsPtr key, sf, sfa, xsi;
    int serial = 0;

    QString id(const char *kind, int master)
    {
        return QStringLiteral("BW%1-%2-%3").arg(QLatin1String(kind)).arg(master).arg(++serial);
    }
    xmlNodePtr add(xmlNodePtr parent, xmlNsPtr ns, const char *name, const QString &identifier = {})
    {
        xmlNodePtr node = addElement(parent, ns, name);
        if (!identifier.isNull())
            setAttribute(node, sfa, "ID", identifier);
        return node;
    }
    // A style with an ident and a property map holding the text's font,
    // size and colour when size is above 0.
    xmlNodePtr style(xmlNodePtr styles, const char *element, const char *kind, int master,
                     const QString &ident, double fontSize = 0)
    {
        xmlNodePtr node = add(styles, sf, element, id(kind, master));
        setAttribute(node, sf, "ident", ident);
        xmlNodePtr map = add(node, sf, "property-map");
        if (fontSize > 0) {
            setAttribute(add(add(map, sf, "fontName"), sf, "string"), sfa, "string",
                         QStringLiteral("Helvetica"));
            xmlNodePtr size = add(add(map, sf, "fontSize"), sf, "number");
            setAttribute(size, sfa, "number", QString::number(fontSize));
            setAttribute(size, sfa, "type", QStringLiteral("f"));
            xmlNodePtr color = add(add(map, sf, "fontColor"), sf, "color");
            setAttribute(color, xsi, "type", QStringLiteral("sfa:calibrated-rgb-color-type"));
            for (const char *component : {"r", "g", "b"})
                setAttribute(color, sfa, component, QStringLiteral("0"));
            setAttribute(color, sfa, "a", QStringLiteral("1"));
        }
        return node;
    }
};

void addMasterStyles(Builder &b, xmlNodePtr styles, int master, int version)
{
    b.style(styles, "slide-style", "SlideStyle", master, QStringLiteral("slideStyleID"));
    for (const char *ident : {"titlePlaceholderStyleID", "bodyPlaceholderStyleID",
                              "objectPlaceholderStyleID", "slideNumberPlaceholderStyleID"})
        b.style(styles, "placeholder-style", "PlaceholderStyle", master, QLatin1String(ident));
    for (const char *ident : {"kBGSlideNumberPlaceholderLayoutStyleID",
                              "kBGObjectPlaceholderLayoutStyleID", "textboxLayoutStyleID"})
        b.style(styles, "layoutstyle", "LayoutStyle", master, QLatin1String(ident));
    if (version >= 3)
        for (const char *ident : {"titlePlaceholderLayoutStyleID", "bodyPlaceholderLayoutStyleID"})
            b.style(styles, "layoutstyle", "LayoutStyle", master, QLatin1String(ident));
    b.style(styles, "paragraphstyle", "ParagraphStyle", master,
            QStringLiteral("kBGSlideNumberPlaceholderParagraphStyleID"), 12);
    b.style(styles, "paragraphstyle", "ParagraphStyle", master,
            QStringLiteral("kBGObjectPlaceholderParagraphStyleID"), 18);
    b.style(styles, "paragraphstyle", "ParagraphStyle", master,
            QStringLiteral("titleHeadlineParagraphStyleID"), 44);
    const double levelSizes[5] = {32, 28, 24, 20, 20};
    for (int level = 1; level <= 5; ++level)
        b.style(styles, "paragraphstyle", "ParagraphStyle", master,
                QStringLiteral("level%1HeadlineParagraphStyleID").arg(level),
                levelSizes[level - 1]);
    b.style(styles, "paragraphstyle", "ParagraphStyle", master,
            QStringLiteral("slideNotesParagraphStyleID"), 12);
    b.style(styles, "paragraphstyle", "ParagraphStyle", master,
            QStringLiteral("textboxParagraphStyleID"), 18);
    if (version <= 2) {
        b.style(styles, "headline-style", "HeadlineStyle", master,
                QStringLiteral("titleHeadlineStyleID"));
        for (int level = 1; level <= 5; ++level)
            b.style(styles, "headline-style", "HeadlineStyle", master,
                    QStringLiteral("level%1HeadlineStyleID").arg(level));
    }
    b.style(styles, "graphic-style", "GraphicStyle", master, QStringLiteral("textboxStyleID"));
    b.style(styles, "graphic-style", "GraphicStyle", master, QStringLiteral("shapeStyleID"));
}

QByteArray gzip(const QByteArray &data)
{
    z_stream stream{};
    // 16 + window bits: a gzip header (no name, no time) rather than zlib's.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

} // namespace

const std::array<Template, 7> &templates()
{
    static const std::array<Template, 7> table{{
        {"K2BlankWhite800x600.key", 2, 800, 600, true},
        {"K2BlankWhite1024x768.key", 2, 1024, 768, false},
        {"K3BlankWhite800x600.key", 3, 800, 600, false},
        {"K3BlankWhite1024x768.key", 3, 1024, 768, true},
        {"K3BlankWhite1280x720.key", 3, 1280, 720, false},
        {"K3BlankWhite1680x1050.key", 3, 1680, 1050, true},
        {"K3BlankWhite1920x1080.key", 3, 1920, 1080, false},
    }};
    return table;
}

const Template *templateAt(long long index)
{
    if (index < 0 || index >= qsizetype(templates().size()))
        return nullptr;
    return &templates()[size_t(index)];
}

QString supportFolder()
{
    return QStringLiteral(":/KeynoteSupport");
}

QString packagePath(const Template &entry)
{
    return supportFolder() + u'/' + QLatin1String(entry.package);
}

QString indexFileName(const Template &entry)
{
    return entry.compressed ? QStringLiteral("index.apxl.gz") : QStringLiteral("index.apxl");
}

QByteArray presentationXML(const Template &entry)
{
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "presentation", nullptr);
    xmlDocSetRootElement(doc, root);
    Builder b{xmlNewNs(root, BAD_CAST kKeyURI, BAD_CAST "key"),
              xmlNewNs(root, BAD_CAST kSfURI, BAD_CAST "sf"),
              xmlNewNs(root, BAD_CAST kSfaURI, BAD_CAST "sfa"),
              xmlNewNs(root, BAD_CAST kXsiURI, BAD_CAST "xsi")};
    xmlSetNs(root, b.key);
    setAttribute(root, b.key, "version",
                 entry.keynoteVersion == 2 ? QStringLiteral("72007061400")
                                           : QStringLiteral("92008102400"));
    setAttribute(root, b.sfa, "ID", QStringLiteral("BWPresentation-0"));

    xmlNodePtr size = b.add(root, b.key, "size");
    setAttribute(size, b.sfa, "w", QString::number(entry.width));
    setAttribute(size, b.sfa, "h", QString::number(entry.height));

    xmlNodePtr theme = b.add(b.add(root, b.key, "theme-list"), b.key, "theme", b.id("Theme", 0));
    xmlNodePtr themeSheet = b.add(theme, b.key, "stylesheet", b.id("Stylesheet", 0));
    xmlNodePtr themeStyles = b.add(themeSheet, b.sf, "styles");
    b.style(themeStyles, "characterstyle", "CharacterStyle", 0,
            QStringLiteral("character-style-null"));
    b.style(themeStyles, "layoutstyle", "LayoutStyle", 0, QStringLiteral("layout-style-default"));
    b.style(themeStyles, "paragraphstyle", "ParagraphStyle", 0,
            QStringLiteral("paragraph-style-default"), 18);
    b.style(themeStyles, "liststyle", "ListStyle", 0, QStringLiteral("list-style-default"));
    b.add(themeSheet, b.sf, "anon-styles");
    const QString themeSheetId = attribute(themeSheet, b.sfa, "ID");

    xmlNodePtr masters = b.add(theme, b.key, "master-slides");
    QStringList masterIds;
    for (int m = 1; m <= 4; ++m) {
        const QString masterId = b.id("MasterSlide", m);
        masterIds << masterId;
        xmlNodePtr master = b.add(masters, b.key, "master-slide", masterId);
        setAttribute(master, b.key, "name", QLatin1String(kMasterNames[m - 1]));
        xmlNodePtr sheet = b.add(master, b.key, "stylesheet", b.id("Stylesheet", m));
        addMasterStyles(b, b.add(sheet, b.sf, "styles"), m, entry.keynoteVersion);
        b.add(sheet, b.sf, "anon-styles");
        setAttribute(b.add(sheet, b.sf, "parent-ref"), b.sfa, "IDREF", themeSheetId);

        xmlNodePtr page = b.add(master, b.key, "page", b.id("PageInfo", m));
        xmlNodePtr pageSize = b.add(page, b.sf, "size");
        setAttribute(pageSize, b.sfa, "w", QString::number(entry.width));
        setAttribute(pageSize, b.sfa, "h", QString::number(entry.height));
        xmlNodePtr layers = b.add(page, b.sf, "layers", b.id("MutableArray", m));
        xmlNodePtr layer = b.add(layers, b.sf, "layer", b.id("LayerInfo", m));
        setAttribute(b.add(b.add(layer, b.sf, "type", b.id("Array", m)), b.sf, "string"), b.sfa,
                     "string", QStringLiteral("BGMasterSlideLayer"));
        b.add(layer, b.sf, "drawables", b.id("MutableArray", m));
    }

    xmlNodePtr order = b.add(root, b.key, "master-order");
    for (const QString &masterId : masterIds)
        setAttribute(b.add(order, b.key, "master-slide-ref"), b.sfa, "IDREF", masterId);
    b.add(root, b.key, "slide-list");

    const QByteArray text = XMLDetail::dumpDocument(doc);
    xmlFreeDoc(doc);
    return text;
}

QByteArray indexFileData(const Template &entry)
{
    const QByteArray text = presentationXML(entry);
    return entry.compressed ? gzip(text) : text;
}

} // namespace TWKeynoteTemplates
