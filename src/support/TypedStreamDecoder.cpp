// Turns the objects of a typedstream into our value types. The stream names
// no fields, only types, and what a class archived changed between releases,
// so each class takes its values by type and order: a colour its space code
// and components, a font the first name and the first real number, and so on.

#include "support/TypedStreamDecoder.h"

#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/Image.h"
#include "support/ParagraphStyle.h"
#include "support/TextTab.h"
#include "support/TypedStreamArchive.h"

#include <QHash>
#include <QSet>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <cmath>
#include <functional>

using TypedStreamArchive::Archive;
using TypedStreamArchive::Entry;
using TypedStreamArchive::Error;
using TypedStreamArchive::Value;
using Kind = TypedStreamArchive::Value::Kind;

namespace {

[[noreturn]] void fail(const QString &reason)
{
    throw Error(reason.toStdString());
}

// Colours of the "System" catalog that documents name, as the platform drew
// them in its light appearance.
std::optional<Color> systemCatalogColor(const QString &name)
{
    static const QHash<QString, Color> colors = {
        {QStringLiteral("textColor"), Color::colorWithCalibratedWhite(0.0)},
        {QStringLiteral("textBackgroundColor"), Color::colorWithCalibratedWhite(1.0)},
        {QStringLiteral("controlTextColor"), Color::colorWithCalibratedWhite(0.0)},
        {QStringLiteral("controlBackgroundColor"), Color::colorWithCalibratedWhite(1.0)},
        {QStringLiteral("selectedTextColor"), Color::colorWithCalibratedWhite(0.0)},
        {QStringLiteral("selectedControlTextColor"), Color::colorWithCalibratedWhite(0.0)},
        {QStringLiteral("selectedTextBackgroundColor"),
         Color::colorWithCalibratedRed(181 / 255.0, 213 / 255.0, 1.0)},
        {QStringLiteral("disabledControlTextColor"), Color::colorWithCalibratedWhite(0.5)},
        {QStringLiteral("headerTextColor"), Color::colorWithCalibratedWhite(0.0)},
        {QStringLiteral("gridColor"), Color::colorWithCalibratedWhite(0.5)},
        {QStringLiteral("highlightColor"), Color::colorWithCalibratedWhite(1.0)},
        {QStringLiteral("shadowColor"), Color::colorWithCalibratedWhite(0.0)},
    };
    const auto it = colors.constFind(name);
    if (it == colors.constEnd())
        return std::nullopt;
    return *it;
}

bool isFinite(const QList<double> &values)
{
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

QVariant numberVariant(const Value &v)
{
    if (v.kind == Kind::Real)
        return v.real;
    if (v.isUnsigned && v.integer < 0)
        return qulonglong(v.integer);
    return qlonglong(v.integer);
}

// The attribute keys whose numbers the text code takes as int or as double.
const QSet<QString> &integerAttributes()
{
    static const QSet<QString> keys = {NSUnderlineStyleAttributeName, NSSuperscriptAttributeName,
                                       NSLigatureAttributeName, NSStrikethroughStyleAttributeName};
    return keys;
}

class Interpreter
{
public:
    Interpreter(const Archive &archive, const TypedStreamDecoder::Limits &limits)
        : m_archive(archive), m_limits(limits), m_inProgress(archive.table.size(), false)
    {}

    QVariant root() { return value(m_archive.root, 0); }

private:
    using Handler = QVariant (Interpreter::*)(const Entry &, int);

    const Archive &m_archive;
    const TypedStreamDecoder::Limits &m_limits;
    std::vector<bool> m_inProgress;
    QHash<qsizetype, QVariant> m_done;
    // How many values an object stands for once its shared parts are counted
    // at every use.
    QHash<qsizetype, qsizetype> m_weight;
    qsizetype m_currentWeight = 0;
    QSet<QString> m_loggedClasses;

    static const QHash<QString, Handler> &handlers()
    {
        static const QHash<QString, Handler> table = {
            {QStringLiteral("NSString"), &Interpreter::string},
            {QStringLiteral("NSData"), &Interpreter::data},
            {QStringLiteral("NSValue"), &Interpreter::number},
            {QStringLiteral("NSArray"), &Interpreter::array},
            {QStringLiteral("NSDictionary"), &Interpreter::dictionary},
            {QStringLiteral("NSURL"), &Interpreter::url},
            {QStringLiteral("NSColor"), &Interpreter::color},
            {QStringLiteral("NSFont"), &Interpreter::font},
            {QStringLiteral("NSParagraphStyle"), &Interpreter::paragraphStyle},
            {QStringLiteral("NSTextTab"), &Interpreter::textTab},
            {QStringLiteral("NSAttributedString"), &Interpreter::attributedString},
            {QStringLiteral("NSImage"), &Interpreter::image},
            {QStringLiteral("NSBitmapImageRep"), &Interpreter::imageRep},
            {QStringLiteral("NSPDFImageRep"), &Interpreter::imageRep},
            {QStringLiteral("NSEPSImageRep"), &Interpreter::imageRep},
        };
        return table;
    }

    // The class names of an entry from the most derived up.
    QStringList classChain(const Entry &object) const
    {
        QStringList names;
        qsizetype index = object.classIndex;
        // A chain that loops back is damage; no real hierarchy is this deep.
        for (int step = 0; index >= 0 && step <= m_limits.maxDepth; ++step) {
            const Entry &cls = m_archive.table[size_t(index)];
            names.append(cls.name);
            index = cls.superclass;
        }
        if (index >= 0)
            fail(QStringLiteral("class %1 has a looping superclass chain").arg(names.value(0)));
        return names;
    }

    QVariant opaque(const QString &className, const QString &why = QString())
    {
        if (!m_loggedClasses.contains(className + why)) {
            m_loggedClasses.insert(className + why);
            if (why.isEmpty())
                qWarning("Unarchiving: skipped an object of class %s, which is not read",
                         qPrintable(className));
            else
                qWarning("Unarchiving: skipped an object of class %s: %s", qPrintable(className),
                         qPrintable(why));
        }
        return QVariant::fromValue(ArchivedObject{className});
    }

    void addWeight(qsizetype weight)
    {
        m_currentWeight += weight;
        if (m_currentWeight > m_limits.maxValues)
            fail(QStringLiteral("the archive expands to more than %1 values")
                     .arg(m_limits.maxValues));
    }

    QVariant value(const Value &v, int depth)
    {
        switch (v.kind) {
        case Kind::Nil:
            return QVariant();
        case Kind::Integer:
        case Kind::Real:
            addWeight(1);
            return numberVariant(v);
        case Kind::Bytes:
            addWeight(1);
            return v.bytes;
        case Kind::Class:
            addWeight(1);
            return opaque(m_archive.table[size_t(v.index)].name, QStringLiteral("a class"));
        case Kind::Group: {
            QVariantList list;
            for (const Value &item : v.items)
                list.append(value(item, depth + 1));
            return list;
        }
        case Kind::Object:
            break;
        }
        if (depth > m_limits.maxDepth)
            fail(QStringLiteral("objects nested deeper than %1 levels").arg(m_limits.maxDepth));
        const qsizetype index = v.index;
        if (const auto it = m_done.constFind(index); it != m_done.constEnd()) {
            addWeight(m_weight.value(index, 1));
            return *it;
        }
        if (m_inProgress[size_t(index)])
            fail(QStringLiteral("object %1 contains itself").arg(index));
        m_inProgress[size_t(index)] = true;
        const qsizetype outerWeight = m_currentWeight;
        m_currentWeight = 0;
        addWeight(1);

        const Entry &entry = m_archive.table[size_t(index)];
        const QStringList chain = classChain(entry);
        QVariant result;
        bool handled = false;
        for (const QString &name : chain) {
            QString key = name;
            // Mutable and concrete subclasses archive as their base does.
            if (key.startsWith(QLatin1String("NSMutable")))
                key.replace(0, 9, QStringLiteral("NS"));
            if (key == QLatin1String("NSNumber"))
                key = QStringLiteral("NSValue");
            if (const Handler h = handlers().value(key)) {
                m_handling = key;
                result = (this->*h)(entry, depth);
                handled = true;
                break;
            }
        }
        if (!handled)
            result = opaque(chain.value(0));

        const qsizetype weight = m_currentWeight;
        m_currentWeight = outerWeight;
        addWeight(weight);
        m_inProgress[size_t(index)] = false;
        m_done.insert(index, result);
        m_weight.insert(index, weight);
        return result;
    }

    QString m_handling; // the base class the current handler reads

    QVariant object(const Value &v, int depth)
    {
        return v.type == '@' ? value(v, depth + 1) : QVariant();
    }

    // The object values of an entry, nil included.
    static QList<const Value *> objectValues(const Entry &entry)
    {
        QList<const Value *> result;
        for (const Value &v : entry.values)
            if (v.type == '@')
                result.append(&v);
        return result;
    }

    static const Value *firstWhere(const Entry &entry, const std::function<bool(const Value &)> &p)
    {
        for (const Value &v : entry.values)
            if (p(v))
                return &v;
        return nullptr;
    }

    // Text: a '+' string, else a C string, else a char array up to its NUL.
    static std::optional<QByteArray> textBytes(const Entry &entry)
    {
        for (char type : {'+', '*', '['}) {
            const Value *v = firstWhere(
                entry, [type](const Value &v) { return v.kind == Kind::Bytes && v.type == type; });
            if (v) {
                QByteArray bytes = v->bytes;
                if (type == '[') {
                    const qsizetype nul = bytes.indexOf('\0');
                    if (nul >= 0)
                        bytes.truncate(nul);
                }
                return bytes;
            }
        }
        return std::nullopt;
    }

    // The first object value that reads as a T.
    template <typename T> std::optional<T> firstObjectOf(const Entry &entry, int depth)
    {
        for (const Value *v : objectValues(entry)) {
            const QVariant item = object(*v, depth);
            if (item.metaType() == QMetaType::fromType<T>())
                return item.value<T>();
        }
        return std::nullopt;
    }

    // --- Foundation ---

    QVariant string(const Entry &entry, int)
    {
        const std::optional<QByteArray> bytes = textBytes(entry);
        if (!bytes)
            return opaque(QStringLiteral("NSString"), QStringLiteral("no text"));
        return QString::fromUtf8(*bytes);
    }

    QVariant data(const Entry &entry, int)
    {
        const Value *v = firstWhere(entry, [](const Value &v) {
            return v.kind == Kind::Bytes && (v.type == '[' || v.type == '+');
        });
        if (!v)
            return opaque(QStringLiteral("NSData"), QStringLiteral("no bytes"));
        return v->bytes;
    }

    // The value follows the C string that names its type.
    QVariant number(const Entry &entry, int depth)
    {
        const QList<Value> &values = entry.values;
        for (qsizetype i = 0; i + 1 < values.size(); ++i) {
            if (values[i].type == '*' && values[i].kind == Kind::Bytes) {
                const Value &v = values[i + 1];
                if (v.isNumber())
                    return numberVariant(v);
                if (v.kind == Kind::Group)
                    return value(v, depth);
                break;
            }
        }
        return opaque(QStringLiteral("NSValue"), QStringLiteral("no number"));
    }

    QVariant array(const Entry &entry, int depth)
    {
        QVariantList list;
        for (const Value *v : objectValues(entry)) {
            QVariant item = object(*v, depth);
            if (item.isValid())
                list.append(item);
        }
        return list;
    }

    QVariant dictionary(const Entry &entry, int depth)
    {
        const QList<const Value *> objects = objectValues(entry);
        QVariantMap map;
        for (qsizetype i = 0; i + 1 < objects.size(); i += 2) {
            const QVariant key = object(*objects[i], depth);
            const QVariant item = object(*objects[i + 1], depth);
            if (key.metaType().id() != QMetaType::QString) {
                qWarning("Unarchiving: a dictionary entry whose key is no string; skipped");
                continue;
            }
            if (item.isValid())
                map.insert(key.toString(), item);
        }
        return map;
    }

    QVariant url(const Entry &entry, int depth)
    {
        std::optional<QUrl> base;
        std::optional<QString> relative;
        for (const Value *v : objectValues(entry)) {
            const QVariant item = object(*v, depth);
            if (!base && item.metaType() == QMetaType::fromType<QUrl>())
                base = item.toUrl();
            else if (!relative && item.metaType().id() == QMetaType::QString)
                relative = item.toString();
        }
        if (!relative)
            return opaque(QStringLiteral("NSURL"), QStringLiteral("no address"));
        const QUrl url(*relative);
        return base && url.isRelative() ? base->resolved(url) : url;
    }

    // --- AppKit ---

    QVariant color(const Entry &entry, int depth)
    {
        const Value *space =
            firstWhere(entry, [](const Value &v) { return v.kind == Kind::Integer; });
        QList<double> c;
        for (const Value &v : entry.values)
            if (v.kind == Kind::Real)
                c.append(v.real);
        if (!space)
            return opaque(QStringLiteral("NSColor"), QStringLiteral("no colour space"));
        if (!isFinite(c))
            return opaque(QStringLiteral("NSColor"),
                          QStringLiteral("components that are no numbers"));
        const auto alpha = [&c](qsizetype at) { return c.size() > at ? c[at] : 1.0; };
        switch (space->integer) {
        case 1:
        case 2:
            if (c.size() < 3)
                break;
            return QVariant::fromValue(
                space->integer == 1 ? Color::colorWithCalibratedRed(c[0], c[1], c[2], alpha(3))
                                    : Color::colorWithDeviceRed(c[0], c[1], c[2], alpha(3)));
        case 3:
        case 4:
            if (c.isEmpty())
                break;
            return QVariant::fromValue(space->integer == 3
                                           ? Color::colorWithCalibratedWhite(c[0], alpha(1))
                                           : Color::colorWithDeviceWhite(c[0], alpha(1)));
        case 5:
            if (c.size() < 4)
                break;
            // No colour management here: the naive CMYK to RGB.
            return QVariant::fromValue(
                Color::colorWithDeviceRed((1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]),
                                          (1 - c[2]) * (1 - c[3]), alpha(4)));
        case 6: {
            QStringList names;
            std::optional<Color> archived;
            for (const Value *v : objectValues(entry)) {
                const QVariant item = object(*v, depth);
                if (item.metaType().id() == QMetaType::QString)
                    names.append(item.toString());
                else if (!archived && item.metaType() == QMetaType::fromType<Color>())
                    archived = item.value<Color>();
            }
            if (archived)
                return QVariant::fromValue(*archived);
            if (names.size() >= 2 && names[0] == QLatin1String("System"))
                if (const std::optional<Color> known = systemCatalogColor(names[1]))
                    return QVariant::fromValue(*known);
            return opaque(
                QStringLiteral("NSColor"),
                QStringLiteral("the named colour \"%1\" is unknown").arg(names.join(u' ')));
        }
        default:
            return opaque(QStringLiteral("NSColor"),
                          QStringLiteral("colour space %1 is not read").arg(space->integer));
        }
        return opaque(QStringLiteral("NSColor"), QStringLiteral("too few components"));
    }

    QVariant font(const Entry &entry, int depth)
    {
        std::optional<QString> name = firstObjectOf<QString>(entry, depth);
        if (!name)
            if (const std::optional<QByteArray> bytes = textBytes(entry))
                name = QString::fromUtf8(*bytes);
        const Value *size = firstWhere(entry, [](const Value &v) {
            return v.kind == Kind::Real && std::isfinite(v.real) && v.real > 0 && v.real < 1.0e4;
        });
        if (!name || name->trimmed().isEmpty() || !size)
            return opaque(QStringLiteral("NSFont"), QStringLiteral("no name or size"));
        return QVariant::fromValue(Font(name->trimmed(), size->real));
    }

    QVariant textTab(const Entry &entry, int)
    {
        const Value *type =
            firstWhere(entry, [](const Value &v) { return v.kind == Kind::Integer; });
        const Value *location = firstWhere(
            entry, [](const Value &v) { return v.kind == Kind::Real && std::isfinite(v.real); });
        if (!location)
            return opaque(QStringLiteral("NSTextTab"), QStringLiteral("no location"));
        // Tab types left, right, centre and decimal; a decimal tab aligns right.
        static const int alignments[] = {LeftTextAlignment, RightTextAlignment, CenterTextAlignment,
                                         RightTextAlignment};
        const qint64 t = type ? type->integer : 0;
        return QVariant::fromValue(
            TextTab(t >= 0 && t < 4 ? alignments[t] : LeftTextAlignment, location->real));
    }

    QVariant paragraphStyle(const Entry &entry, int depth)
    {
        ParagraphStyle style;
        if (const Value *alignment =
                firstWhere(entry, [](const Value &v) { return v.kind == Kind::Integer; });
            alignment && alignment->integer >= LeftTextAlignment &&
            alignment->integer <= NaturalTextAlignment)
            style.alignment = int(alignment->integer);
        for (const Value *v : objectValues(entry)) {
            const QVariant item = object(*v, depth);
            if (item.metaType().id() != QMetaType::QVariantList)
                continue;
            QList<TextTab> tabs;
            for (const QVariant &tab : item.toList())
                if (tab.metaType() == QMetaType::fromType<TextTab>())
                    tabs.append(tab.value<TextTab>());
            style.tabStops = tabs;
            break;
        }
        return QVariant::fromValue(style);
    }

    // Text attributes of our kinds; numbers in the types the text code takes.
    static TextAttributes textAttributes(const QVariantMap &map)
    {
        static const QSet<int> kept = {
            QMetaType::fromType<Font>().id(), QMetaType::fromType<Color>().id(),
            QMetaType::fromType<ParagraphStyle>().id(), QMetaType::QString, QMetaType::QUrl};
        TextAttributes attributes;
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            const QVariant &v = *it;
            const int type = v.metaType().id();
            if (type == QMetaType::LongLong || type == QMetaType::ULongLong ||
                type == QMetaType::Double) {
                if (integerAttributes().contains(it.key()))
                    attributes.insert(it.key(), int(v.toLongLong()));
                else
                    attributes.insert(it.key(), v.toDouble());
            } else if (it.key() == NSLinkAttributeName && type == QMetaType::QString) {
                const QUrl url(v.toString(), QUrl::StrictMode);
                attributes.insert(it.key(),
                                  url.isValid() && !v.toString().isEmpty() ? QVariant(url) : v);
            } else if (kept.contains(type)) {
                attributes.insert(it.key(), v);
            } else {
                qWarning("Unarchiving: text attribute %s of type %s dropped", qPrintable(it.key()),
                         v.typeName());
            }
        }
        return attributes;
    }

    // The string, then runs: a dictionary number and a length, each followed
    // by its dictionary the first time the number appears.
    QVariant attributedString(const Entry &entry, int depth)
    {
        const QList<Value> &values = entry.values;
        qsizetype i = 0;
        while (i < values.size() && values[i].type != '@')
            ++i;
        const QVariant text = i < values.size() ? value(values[i], depth + 1) : QVariant();
        if (text.metaType().id() != QMetaType::QString)
            return opaque(QStringLiteral("NSAttributedString"), QStringLiteral("no string"));
        AttributedString result(text.toString());
        QList<TextAttributes> dictionaries;
        qsizetype position = 0;
        bool warned = false;
        for (++i; i + 1 < values.size();) {
            if (values[i].kind != Kind::Integer || values[i + 1].kind != Kind::Integer) {
                ++i;
                continue;
            }
            const qint64 number = values[i].integer;
            const qint64 length = values[i + 1].integer;
            i += 2;
            std::optional<TextAttributes> attributes;
            if (i < values.size() && values[i].type == '@') {
                const QVariant dict = value(values[i++], depth + 1);
                attributes = textAttributes(dict.toMap());
                if (number == dictionaries.size() + 1)
                    dictionaries.append(*attributes);
                else if (number >= 1 && number <= dictionaries.size())
                    dictionaries[number - 1] = *attributes;
            } else if (number >= 1 && number <= dictionaries.size()) {
                attributes = dictionaries[number - 1];
            }
            const qsizetype textLength = result.length();
            if (!attributes || length < 0 || position >= textLength) {
                if (!warned)
                    qWarning("Unarchiving: attributed string run {%lld, %lld} of dictionary %lld "
                             "does not fit a text of %lld characters; skipped",
                             qlonglong(position), qlonglong(length), qlonglong(number),
                             qlonglong(textLength));
                warned = true;
                if (length > 0)
                    position += qsizetype(qMin<qint64>(length, textLength));
                continue;
            }
            const qsizetype runLength = qsizetype(qMin<qint64>(length, textLength - position));
            result.setAttributes(*attributes, {position, runLength});
            position += runLength;
        }
        return QVariant::fromValue(result);
    }

    struct Representation
    {
        QByteArray data;
        ImageRepresentation rep;
    };

    std::optional<Representation> representation(const Entry &entry, int depth, const QString &kind)
    {
        std::optional<QByteArray> bytes = firstObjectOf<QByteArray>(entry, depth);
        if (!bytes) {
            const Value *v = firstWhere(
                entry, [](const Value &v) { return v.kind == Kind::Bytes && v.type == '['; });
            if (!v)
                return std::nullopt;
            bytes = v->bytes;
        }
        if (kind == QLatin1String("NSBitmapImageRep")) {
            if (std::optional<BitmapImageRep> rep = BitmapImageRep::imageRepWithData(*bytes))
                return Representation{*bytes, *rep};
        } else if (kind == QLatin1String("NSPDFImageRep")) {
            if (std::optional<PDFImageRep> rep = PDFImageRep::imageRepWithData(*bytes))
                return Representation{*bytes, *rep};
        } else if (std::optional<EPSImageRep> rep = EPSImageRep::imageRepWithData(*bytes)) {
            return Representation{*bytes, *rep};
        }
        return std::nullopt;
    }

    QVariant imageRep(const Entry &entry, int depth)
    {
        const QString kind = m_handling;
        const std::optional<Representation> r = representation(entry, depth, kind);
        if (!r)
            return opaque(kind, QStringLiteral("no image data"));
        return std::visit([](const auto &rep) { return QVariant::fromValue(rep); }, r->rep);
    }

    // The representations of an image: objects of the image itself or in an
    // array it holds.
    void collectRepresentations(const Entry &entry, int depth, QList<Representation> &reps)
    {
        for (const Value *v : objectValues(entry)) {
            if (v->kind != Kind::Object || depth > m_limits.maxDepth)
                continue;
            addWeight(1); // arrays shared many times must not expand without bound
            const Entry &child = m_archive.table[size_t(v->index)];
            if (m_inProgress[size_t(v->index)])
                fail(QStringLiteral("object %1 contains itself").arg(v->index));
            const QStringList chain = classChain(child);
            for (const QString &name :
                 {QStringLiteral("NSBitmapImageRep"), QStringLiteral("NSPDFImageRep"),
                  QStringLiteral("NSEPSImageRep")}) {
                if (chain.contains(name)) {
                    if (std::optional<Representation> r = representation(child, depth + 1, name))
                        reps.append(*r);
                    else
                        opaque(name, QStringLiteral("no image data"));
                    break;
                }
            }
            if (chain.contains(QStringLiteral("NSArray")) ||
                chain.contains(QStringLiteral("NSMutableArray"))) {
                m_inProgress[size_t(v->index)] = true;
                collectRepresentations(child, depth + 1, reps);
                m_inProgress[size_t(v->index)] = false;
            }
        }
    }

    QVariant image(const Entry &entry, int depth)
    {
        QList<Representation> reps;
        collectRepresentations(entry, depth, reps);
        if (reps.isEmpty())
            return opaque(QStringLiteral("NSImage"), QStringLiteral("no representation read"));
        std::optional<Image> image = Image::initWithData(reps.front().data);
        if (!image)
            return opaque(QStringLiteral("NSImage"), QStringLiteral("no representation read"));
        for (qsizetype i = 1; i < reps.size(); ++i)
            image->addRepresentation(reps[i].rep);
        // The size in points, when the image archived one.
        for (const Value &v : entry.values) {
            if (v.kind != Kind::Group || v.type != '{' || v.items.size() != 2 ||
                !v.items[0].isNumber() || !v.items[1].isNumber())
                continue;
            const double w = v.items[0].number();
            const double h = v.items[1].number();
            if (w > 0 && h > 0 && w <= Image::maxDeclaredSize && h <= Image::maxDeclaredSize)
                image->setSize(Size(float(w), float(h)));
            break;
        }
        return QVariant::fromValue(*image);
    }
};

} // namespace

std::optional<QVariant> TypedStreamDecoder::unarchiveObjectWithData(const QByteArray &data,
                                                                    QString *errorDescription,
                                                                    const Limits &limits)
{
    try {
        const Archive archive = TypedStreamArchive::parse(data, limits);
        return Interpreter(archive, limits).root();
    } catch (const Error &error) {
        if (errorDescription)
            *errorDescription =
                QStringLiteral("Malformed archive: ") + QString::fromStdString(error.what());
        return std::nullopt;
    }
}

void TypedStreamDecoder::logUnexpected(const std::optional<QVariant> &value, QMetaType wanted,
                                       const QString &error)
{
    if (!value)
        qWarning("%s", qPrintable(error));
    else if (value->isValid())
        qWarning("Unarchiving: expected %s but the archive holds %s", wanted.name(),
                 value->metaType() == QMetaType::fromType<ArchivedObject>()
                     ? qPrintable(value->value<ArchivedObject>().className)
                     : value->typeName());
}
