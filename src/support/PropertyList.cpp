#include "support/PropertyList.h"

#include "support/XMLDocument.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace {

// Nesting deeper than this is refused on both sides; no real payload comes near.
constexpr int maxDepth = 256;

// ---- writing ----

class Writer
{
public:
    QByteArray out;
    QString error;

    bool value(const QVariant &v, int depth)
    {
        if (depth > maxDepth)
            return fail(QStringLiteral("nested deeper than %1 levels").arg(maxDepth));
        switch (v.metaType().id()) {
        case QMetaType::QVariantMap:
            return dict(v.toMap(), depth);
        case QMetaType::QVariantHash: {
            const QVariantHash hash = v.toHash();
            QVariantMap map;
            for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
                map.insert(it.key(), *it);
            return dict(map, depth);
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return array(v.toList(), depth);
        case QMetaType::QString:
            return leaf(depth, "string", v.toString());
        case QMetaType::Bool:
            line(depth, v.toBool() ? "<true/>" : "<false/>");
            return true;
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return leafLatin1(depth, "integer", QByteArray::number(v.toLongLong()));
        case QMetaType::UChar:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return leafLatin1(depth, "integer", QByteArray::number(v.toULongLong()));
        case QMetaType::Float:
        case QMetaType::Double:
            return leafLatin1(depth, "real", realText(v.toDouble()));
        case QMetaType::QByteArray:
            return leafLatin1(depth, "data", v.toByteArray().toBase64());
        case QMetaType::QDateTime: {
            const QDateTime date = v.toDateTime();
            if (!date.isValid())
                return fail(QStringLiteral("invalid date"));
            return leafLatin1(
                depth, "date",
                date.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toLatin1());
        }
        default:
            return fail(v.isValid() ? QStringLiteral("cannot hold a value of type %1")
                                          .arg(QString::fromLatin1(v.metaType().name()))
                                    : QStringLiteral("cannot hold an empty value"));
        }
    }

private:
    bool fail(const QString &reason)
    {
        error = QStringLiteral("Property list invalid for format: ") + reason;
        return false;
    }

    void indent(int depth) { out.append(QByteArray(depth, '\t')); }
    void line(int depth, const char *text)
    {
        indent(depth);
        out.append(text);
        out.append('\n');
    }

    bool leafLatin1(int depth, const char *tag, const QByteArray &text)
    {
        indent(depth);
        out.append('<').append(tag).append('>');
        out.append(text);
        out.append("</").append(tag).append(">\n");
        return true;
    }

    bool leaf(int depth, const char *tag, const QString &text)
    {
        QByteArray escaped;
        if (!escape(text, escaped))
            return false;
        return leafLatin1(depth, tag, escaped);
    }

    bool escape(const QString &text, QByteArray &escaped)
    {
        QString result;
        result.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            char32_t code = c.unicode();
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                result.append(c).append(text.at(i + 1));
                ++i;
                continue;
            }
            if (c.isSurrogate() || !XMLDetail::isXMLCharacter(code))
                return fail(QStringLiteral("the text holds the character U+%1, which XML cannot "
                                           "carry")
                                .arg(uint(code), 4, 16, QLatin1Char('0')));
            switch (code) {
            case '&':
                result.append(QLatin1String("&amp;"));
                break;
            case '<':
                result.append(QLatin1String("&lt;"));
                break;
            case '>':
                result.append(QLatin1String("&gt;"));
                break;
            case '\r': // a parser would turn a literal one into "\n"
                result.append(QLatin1String("&#13;"));
                break;
            default:
                result.append(c);
            }
        }
        escaped = result.toUtf8();
        return true;
    }

    static QByteArray realText(double d)
    {
        if (std::isnan(d))
            return "nan";
        if (std::isinf(d))
            return d > 0 ? "+infinity" : "-infinity";
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
        return QByteArray(buffer, int(result.ptr - buffer));
    }

    bool dict(const QVariantMap &map, int depth)
    {
        if (map.isEmpty()) {
            line(depth, "<dict/>");
            return true;
        }
        line(depth, "<dict>");
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!leaf(depth + 1, "key", it.key()))
                return false;
            if (!value(*it, depth + 1))
                return false;
        }
        line(depth, "</dict>");
        return true;
    }

    bool array(const QVariantList &list, int depth)
    {
        if (list.isEmpty()) {
            line(depth, "<array/>");
            return true;
        }
        line(depth, "<array>");
        for (const QVariant &item : list) {
            if (!value(item, depth + 1))
                return false;
        }
        line(depth, "</array>");
        return true;
    }
};

// ---- reading ----

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct ParserFree
{
    void operator()(xmlParserCtxt *ctxt) const { xmlFreeParserCtxt(ctxt); }
};

class Reader
{
public:
    QString error;

    std::optional<QVariant> value(xmlNode *node, int depth)
    {
        if (depth > maxDepth)
            return fail(node, QStringLiteral("nested deeper than %1 levels").arg(maxDepth));
        const QByteArray name(reinterpret_cast<const char *>(node->name));
        if (name == "dict")
            return dict(node, depth);
        if (name == "array")
            return array(node, depth);
        if (name == "true" || name == "false") {
            if (!elementChildren(node).has_value() || firstElement(node))
                return fail(node, QStringLiteral("<%1> holds content").arg(QLatin1String(name)));
            return QVariant(name == "true");
        }
        std::optional<QString> text = textOf(node);
        if (!text)
            return std::nullopt;
        if (name == "string")
            return QVariant(*text);
        if (name == "integer")
            return integer(node, text->trimmed());
        if (name == "real")
            return real(node, text->trimmed());
        if (name == "data") {
            QByteArray base64 = text->toLatin1();
            base64.replace(' ', "").replace('\t', "").replace('\n', "").replace('\r', "");
            auto decoded = QByteArray::fromBase64Encoding(
                base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return fail(node, QStringLiteral("<data> is not Base64"));
            return QVariant(decoded.decoded);
        }
        if (name == "date") {
            QDateTime date = QDateTime::fromString(text->trimmed(), Qt::ISODate);
            if (!date.isValid())
                return fail(node, QStringLiteral("<date> \"%1\" is no date").arg(*text));
            return QVariant(date.toUTC());
        }
        return fail(node, QStringLiteral("unknown element <%1>").arg(QString::fromUtf8(name)));
    }

    std::optional<QVariant> fail(xmlNode *node, const QString &reason)
    {
        error = QStringLiteral("Malformed property list: %1 (line %2)")
                    .arg(reason)
                    .arg(node ? xmlGetLineNo(node) : 0);
        return std::nullopt;
    }

    // The element children of node; nothing when it holds text that is not blank.
    std::optional<std::vector<xmlNode *>> elementChildren(xmlNode *node)
    {
        std::vector<xmlNode *> children;
        for (xmlNode *child = node->children; child; child = child->next) {
            switch (child->type) {
            case XML_ELEMENT_NODE:
                children.push_back(child);
                break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (!xmlIsBlankNode(child)) {
                    fail(child, QStringLiteral("text where an element is expected"));
                    return std::nullopt;
                }
                break;
            case XML_ENTITY_REF_NODE:
                fail(child, QStringLiteral("entity references are not supported"));
                return std::nullopt;
            default: // comments, processing instructions
                break;
            }
        }
        return children;
    }

private:
    static xmlNode *firstElement(xmlNode *node)
    {
        for (xmlNode *child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE)
                return child;
        return nullptr;
    }

    std::optional<QString> textOf(xmlNode *node)
    {
        QByteArray text;
        for (xmlNode *child = node->children; child; child = child->next) {
            switch (child->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (child->content)
                    text.append(reinterpret_cast<const char *>(child->content));
                break;
            case XML_ELEMENT_NODE:
                fail(child,
                     QStringLiteral("<%1> holds an element")
                         .arg(QString::fromUtf8(reinterpret_cast<const char *>(node->name))));
                return std::nullopt;
            case XML_ENTITY_REF_NODE:
                fail(child, QStringLiteral("entity references are not supported"));
                return std::nullopt;
            default:
                break;
            }
        }
        return QString::fromUtf8(text);
    }

    std::optional<QVariant> dict(xmlNode *node, int depth)
    {
        const auto children = elementChildren(node);
        if (!children)
            return std::nullopt;
        QVariantMap map;
        for (size_t i = 0; i < children->size(); i += 2) {
            xmlNode *key = (*children)[i];
            if (xmlStrcmp(key->name, BAD_CAST "key") != 0)
                return fail(key,
                            QStringLiteral("<dict> holds <%1> where a <key> is expected")
                                .arg(QString::fromUtf8(reinterpret_cast<const char *>(key->name))));
            if (i + 1 >= children->size())
                return fail(key, QStringLiteral("<key> without a value"));
            const std::optional<QString> keyText = textOf(key);
            if (!keyText)
                return std::nullopt;
            std::optional<QVariant> item = value((*children)[i + 1], depth + 1);
            if (!item)
                return std::nullopt;
            map.insert(*keyText, *item);
        }
        return QVariant(map);
    }

    std::optional<QVariant> array(xmlNode *node, int depth)
    {
        const auto children = elementChildren(node);
        if (!children)
            return std::nullopt;
        QVariantList list;
        list.reserve(qsizetype(children->size()));
        for (xmlNode *child : *children) {
            std::optional<QVariant> item = value(child, depth + 1);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return QVariant(list);
    }

    std::optional<QVariant> integer(xmlNode *node, const QString &text)
    {
        const QByteArray digits = text.toLatin1();
        const char *begin = digits.constData();
        const char *end = begin + digits.size();
        if (begin != end && *begin == '+')
            ++begin;
        qlonglong signedValue = 0;
        auto result = std::from_chars(begin, end, signedValue);
        if (result.ec == std::errc() && result.ptr == end && begin != end)
            return QVariant(signedValue);
        qulonglong unsignedValue = 0;
        result = std::from_chars(begin, end, unsignedValue);
        if (result.ec == std::errc() && result.ptr == end && begin != end)
            return QVariant(unsignedValue);
        return fail(node, QStringLiteral("<integer> \"%1\" is no 64-bit integer").arg(text));
    }

    std::optional<QVariant> real(xmlNode *node, const QString &text)
    {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan"))
            return QVariant(std::numeric_limits<double>::quiet_NaN());
        if (lower == QLatin1String("+infinity") || lower == QLatin1String("infinity") ||
            lower == QLatin1String("inf") || lower == QLatin1String("+inf"))
            return QVariant(std::numeric_limits<double>::infinity());
        if (lower == QLatin1String("-infinity") || lower == QLatin1String("-inf"))
            return QVariant(-std::numeric_limits<double>::infinity());
        const QByteArray number = text.toLatin1();
        const char *begin = number.constData();
        const char *end = begin + number.size();
        if (begin != end && *begin == '+')
            ++begin;
        double value = 0;
        const auto result = std::from_chars(begin, end, value);
        if (result.ec != std::errc() || result.ptr != end || begin == end)
            return fail(node, QStringLiteral("<real> \"%1\" is no number").arg(text));
        return QVariant(value);
    }
};

} // namespace

std::optional<QVariant> PropertyList::propertyListWithData(const QByteArray &data,
                                                           QString *errorDescription)
{
    Reader reader;
    std::optional<QVariant> result;
    std::unique_ptr<xmlParserCtxt, ParserFree> parser(xmlNewParserCtxt());
    if (!parser) {
        reader.error = QStringLiteral("Malformed property list: out of memory");
    } else {
        std::unique_ptr<xmlDoc, DocFree> doc(
            xmlCtxtReadMemory(parser.get(), data.constData(), int(data.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
        if (!doc || !root) {
            const xmlError *error = xmlCtxtGetLastError(parser.get());
            reader.error =
                QStringLiteral("Malformed property list: %1")
                    .arg(error && error->message ? QString::fromUtf8(error->message).trimmed()
                                                 : QStringLiteral("no document"));
        } else if (xmlStrcmp(root->name, BAD_CAST "plist") != 0) {
            reader.fail(root,
                        QStringLiteral("the root element is <%1>, not <plist>")
                            .arg(QString::fromUtf8(reinterpret_cast<const char *>(root->name))));
        } else if (const auto children = reader.elementChildren(root)) {
            if (children->size() != 1)
                reader.fail(
                    root, QStringLiteral("<plist> holds %1 values, not one").arg(children->size()));
            else
                result = reader.value(children->front(), 1);
        }
    }
    if (!result && errorDescription)
        *errorDescription = reader.error;
    return result;
}

std::optional<QByteArray> PropertyList::dataWithPropertyList(const QVariant &value,
                                                             QString *errorDescription)
{
    Writer writer;
    writer.out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<plist version=\"1.0\">\n";
    if (!writer.value(value, 0)) {
        if (errorDescription)
            *errorDescription = writer.error;
        return std::nullopt;
    }
    writer.out.append("</plist>\n");
    return writer.out;
}
