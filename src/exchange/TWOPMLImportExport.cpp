#include "exchange/TWOPMLImportExport.h"
#include "exchange/TWImportOrder.h"
#include "MindManagerImpExp/MMXMLCharacters.h"

#include "support/BoundedFile.h"

#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWAttachedText.h"
#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "support/CalendarFormat.h"
#include "support/TWPreferences.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstring>
#include <limits>

#include <libxml/globals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

namespace {

struct ReaderFree
{
    void operator()(xmlTextReader *reader) const { xmlFreeTextReader(reader); }
};

// Set while a text whose forbidden characters were given stand-ins is read:
// each stand-in turns back into its character.
thread_local bool t_restoresCharacters = false;

QString fromXML(const xmlChar *text)
{
    if (!text)
        return QString();
    const char *utf8 = reinterpret_cast<const char *>(text);
    std::string restored;
    if (t_restoresCharacters && MMXMLCharacters::restore(utf8, strlen(utf8), restored))
        return QString::fromStdString(restored);
    return QString::fromUtf8(utf8);
}

// Where the reader stands: which elements' children are read.
enum class Place { Skipped, Opml, Head, Body, Outline };

struct Frame
{
    Place place;
    TWOPMLImportExport::Outline *outline = nullptr;
};

std::optional<QString> *headField(TWOPMLImportExport::Document &document, QStringView name)
{
    if (name == u"title")
        return &document.title;
    if (name == u"dateCreated")
        return &document.dateCreated;
    if (name == u"dateModified")
        return &document.dateModified;
    if (name == u"ownerName")
        return &document.ownerName;
    if (name == u"ownerEmail")
        return &document.ownerEmail;
    if (name == u"expansionState")
        return &document.expansionState;
    return nullptr;
}

std::optional<CalendarDate> dateFromText(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    for (const QString &format : TWOPMLImportExport::dateFormats())
        if (std::optional<CalendarDate> date = CalendarFormat::parse(*text, format))
            return date;
    return std::nullopt;
}

TextAttributes notesAttributes()
{
    TextAttributes attributes;
    attributes.insert(NSFontAttributeName, QVariant::fromValue(TWPreferences::branchNotesFont()));
    return attributes;
}

void addNoteLine(TWMapBranch &branch, const QString &name, const QString &value)
{
    if (branch.attachedTextArray().isEmpty()) {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
        attached->setText(std::make_shared<const AttributedString>(QString(), notesAttributes()));
        branch.insertObjectInAttachedTextArrayAtIndex(attached, 0);
    }
    const std::shared_ptr<TWAttachedText> &first = branch.attachedTextArray().first();
    AttributedString text = first->text() ? *first->text() : AttributedString();
    QString added = text.isEmpty() ? QString() : QStringLiteral("\n");
    if (name != u"_note")
        added += name + QStringLiteral(" : ");
    added += value;
    text.appendAttributedString(AttributedString(added, notesAttributes()));
    first->setText(std::make_shared<const AttributedString>(std::move(text)));
}

} // namespace

const QList<QString> &TWOPMLImportExport::dateFormats()
{
    static const QList<QString> formats = [] {
        QList<QString> list;
        for (const char *time : {"%H:%M:%S", "%H:%M"})
            for (const char *weekday : {"%a, ", ""})
                for (const char *day : {"%d", "%e"})
                    for (const char *year : {"%y", "%Y"})
                        for (const char *zone : {"%Z", "%z"})
                            list << QStringLiteral("%1%2 %b %3 %4 %5")
                                        .arg(QLatin1String(weekday), QLatin1String(day),
                                             QLatin1String(year), QLatin1String(time),
                                             QLatin1String(zone));
        return list;
    }();
    return formats;
}

QList<int> TWOPMLImportExport::expandedLineNumbers(const QString &expansionState)
{
    QList<int> lines;
    for (const QString &piece : expansionState.split(u',')) {
        const QString trimmed = piece.trimmed();
        qsizetype end = 0;
        if (end < trimmed.size() && (trimmed[0] == u'-' || trimmed[0] == u'+'))
            ++end;
        while (end < trimmed.size() && trimmed[end].isDigit() && end < 12)
            ++end;
        bool ok = false;
        const qlonglong value = trimmed.left(end).toLongLong(&ok);
        lines << (ok && value >= std::numeric_limits<int>::min() &&
                          value <= std::numeric_limits<int>::max()
                      ? int(value)
                      : 0);
    }
    return lines;
}

namespace {

// What the user can act on, from the parser's first error.
QString parseFailure(const xmlError *error, bool utf8)
{
    if (!error || error->code == XML_ERR_OK)
        return QStringLiteral("it is not a well-formed XML file");
    const QString message = QString::fromUtf8(error->message ? error->message : "").trimmed();
    if (error->code == XML_ERR_ENTITY_LOOP || message.contains(QLatin1String("amplification")))
        return QStringLiteral("its entities expand beyond what any outline holds (line %1)")
            .arg(error->line);
    if (message.contains(QLatin1String("Excessive depth")))
        return QStringLiteral("its outlines nest deeper than can be read (line %1)")
            .arg(error->line);
    if (error->code == XML_ERR_DOCUMENT_EMPTY)
        return QStringLiteral("it is not an XML file: no element in it");
    if (message.contains(QLatin1String("Huge input lookup")) ||
        message.contains(QLatin1String("too long")))
        return QStringLiteral("it holds a text longer than can be read (line %1)").arg(error->line);
    // The parser gives one code to bytes its encoding cannot read and to
    // characters XML forbids; only its message tells them apart.
    const bool undecodable =
        error->code == XML_ERR_INVALID_ENCODING || error->code == XML_ERR_UNSUPPORTED_ENCODING ||
        (!utf8 && (message.contains(QLatin1String("UTF-8")) ||
                   message.contains(QLatin1String("encoding"), Qt::CaseInsensitive)));
    if (error->code == XML_ERR_INVALID_CHAR && !undecodable)
        return QStringLiteral("it holds a character XML does not allow (line %1)")
            .arg(error->line);
    if (error->code == XML_ERR_INVALID_CHAR || undecodable)
        return QStringLiteral("it is not text in UTF-8 or the encoding it declares (line %1)")
            .arg(error->line);
    return QStringLiteral("it is not well-formed XML (line %1: %2)").arg(error->line).arg(message);
}

// Counts, while it lives, the values libxml2 drops on this thread as too
// long (a buffer error, reported outside the parser's own channel), and
// keeps the parser's first error.
struct RefusedValueCount
{
    RefusedValueCount() : previous(xmlStructuredError), previousContext(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(this, [](void *self, xmlErrorPtr error) {
            auto *watch = static_cast<RefusedValueCount *>(self);
            if (error && error->domain == XML_FROM_BUFFER && error->code == XML_ERR_NO_MEMORY)
                ++watch->count;
            // The parser's later errors follow from its first ("Couldn't find
            // end of Start Tag" after a forbidden character): the first says why.
            if (error && error->domain == XML_FROM_PARSER && error->level == XML_ERR_FATAL &&
                watch->first.code == XML_ERR_OK)
                xmlCopyError(error, &watch->first);
        });
    }
    ~RefusedValueCount()
    {
        xmlSetStructuredErrorFunc(previousContext, previous);
        xmlResetError(&first);
    }
    // The parser's first error, or the last error when it reported none.
    const xmlError *firstError() const
    {
        return first.code != XML_ERR_OK ? &first : xmlGetLastError();
    }
    RefusedValueCount(const RefusedValueCount &) = delete;
    RefusedValueCount &operator=(const RefusedValueCount &) = delete;

    int count = 0;
    xmlError first{};
    xmlStructuredErrorFunc previous;
    void *previousContext;
};

} // namespace

std::optional<TWOPMLImportExport::Document> TWOPMLImportExport::readDocument(const QByteArray &data,
                                                                             QString *reason)
{
    std::optional<Document> document = readText(data, reason);
    if (document || data.size() > std::numeric_limits<int>::max() ||
        !QByteArrayView(data).isValidUtf8())
        return document;
    // Refused perhaps for characters XML 1.0 forbids, which other programs
    // write: read once more with stand-ins for them that turn back.
    const MMXMLCharacters::Rewritten rewritten = MMXMLCharacters::rewrite(data);
    if (rewritten.kept + rewritten.leftOut + rewritten.joined == 0)
        return document;
    t_restoresCharacters = rewritten.kept > 0;
    document = readText(rewritten.xml, reason);
    t_restoresCharacters = false;
    if (document) {
        document->forbiddenCharactersKept = rewritten.kept;
        document->forbiddenCharactersLeftOut = rewritten.leftOut;
    }
    return document;
}

std::optional<TWOPMLImportExport::Document> TWOPMLImportExport::readText(const QByteArray &data,
                                                                         QString *reason)
{
    const auto refuse = [reason](const QString &why) -> std::optional<Document> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (data.isEmpty())
        return refuse(QStringLiteral("the file is empty"));
    if (data.size() > std::numeric_limits<int>::max())
        return refuse(QStringLiteral("it is larger than an outline can be"));
    xmlResetLastError();
    // The declared encoding is honoured; without one the text must be UTF-8.
    // Nothing is fetched from the network and no entity is expanded from
    // outside the file.
    const std::unique_ptr<xmlTextReader, ReaderFree> reader(
        xmlReaderForMemory(data.constData(), int(data.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!reader)
        return refuse(QStringLiteral("out of memory"));
    xmlTextReaderPtr r = reader.get();

    Document document;
    std::vector<Frame> stack;
    bool sawRoot = false;
    int lineNumber = 0;
    // A value that grows too long through its entities does not stop the
    // parser: it comes in empty, with an error on the side. The reader parses
    // ahead, so each such error goes to the next outline with an empty value.
    RefusedValueCount refused;
    int &refusedValues = refused.count;
    int status = xmlTextReaderRead(r);
    while (status == 1) {
        const int type = xmlTextReaderNodeType(r);
        if (type == XML_READER_TYPE_END_ELEMENT) {
            if (!stack.empty())
                stack.pop_back();
            status = xmlTextReaderRead(r);
            continue;
        }
        if (type != XML_READER_TYPE_ELEMENT) {
            status = xmlTextReaderRead(r);
            continue;
        }
        const QString name = fromXML(xmlTextReaderConstLocalName(r));
        const bool qualified = xmlTextReaderConstPrefix(r) != nullptr;
        const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
        const Place here = stack.empty() ? Place::Skipped : stack.back().place;
        Frame frame{Place::Skipped};
        if (stack.empty() && !sawRoot) {
            sawRoot = true;
            if (name == u"opml" && !qualified)
                frame.place = Place::Opml;
        } else if (qualified) {
            // Another vocabulary's element: skipped with what is inside it.
        } else if (here == Place::Opml) {
            if (name == u"head")
                frame.place = Place::Head;
            else if (name == u"body")
                frame.place = Place::Body;
        } else if (here == Place::Head) {
            if (std::optional<QString> *field = headField(document, name)) {
                xmlNodePtr node = xmlTextReaderExpand(r);
                if (!node)
                    return refuse(parseFailure(refused.firstError(), data.isValidUtf8()));
                if (!*field) {
                    xmlChar *content = xmlNodeGetContent(node);
                    *field = fromXML(content);
                    xmlFree(content);
                }
                status = xmlTextReaderNext(r);
                continue;
            }
        } else if ((here == Place::Body || here == Place::Outline) && name == u"outline") {
            auto outline = std::make_unique<Outline>();
            outline->lineNumber = lineNumber++;
            while (xmlTextReaderMoveToNextAttribute(r) == 1) {
                if (xmlTextReaderIsNamespaceDecl(r) == 1)
                    continue;
                const QString attribute = fromXML(xmlTextReaderConstName(r));
                const QString value = fromXML(xmlTextReaderConstValue(r));
                if (refusedValues > 0 && value.isEmpty()) {
                    --refusedValues;
                    ++document.unreadValues;
                    outline->unreadAttributes << attribute;
                }
                outline->attributes.append({attribute, value});
            }
            xmlTextReaderMoveToElement(r);
            frame = {Place::Outline, outline.get()};
            (here == Place::Body ? document.outlines : stack.back().outline->children)
                .push_back(std::move(outline));
        }
        if (empty) {
            status = xmlTextReaderRead(r);
        } else if (frame.place == Place::Skipped && !stack.empty()) {
            // Read through to keep the file checked, but nothing inside counts.
            status = xmlTextReaderNext(r);
        } else {
            stack.push_back(frame);
            status = xmlTextReaderRead(r);
        }
    }
    if (status != 0 || !sawRoot)
        return refuse(parseFailure(refused.firstError(), data.isValidUtf8()));
    document.unreadValues += refusedValues;
    return document;
}

void TWOPMLImportExport::processOutlineElement(const Outline &outline, TWMapBranch &branch,
                                               const QSet<int> &expanded, int branchType)
{
    branch.setExpandedInOutlineView(expanded.contains(outline.lineNumber));
    for (const auto &[name, value] : outline.attributes) {
        if (name == u"text") {
            // A lone space is how an empty label is written (an outline
            // needs its text): it comes back empty.
            if (branch.enclosedTextArea())
                branch.enclosedTextArea()->setString(value == u" " ? QString() : value);
            branch.makeNaturalSize();
        } else if (name.startsWith(u"_attachedGraphicText")) {
            const std::shared_ptr<TWGraphic> graphic =
                branch.publicCreateLinkedGraphicOfType(8, Size(0, 0), Point(0, 0), QVariant());
            if (auto *area = dynamic_cast<TWTextArea *>(graphic.get()))
                area->setString(value);
        } else {
            addNoteLine(branch, name, value);
        }
    }
    branch.makeNaturalSize();
    TWMapBranch::BranchList made;
    for (const std::unique_ptr<Outline> &child : outline.children)
        if (std::shared_ptr<TWMapBranch> grown = branch.addChildOfType(branchType)) {
            made << grown;
            processOutlineElement(*child, *grown, expanded, branchType);
        }
    keepImportOrder(branch, made);
}

bool TWOPMLImportExport::importFile(const QString &path, TWMap &map, QString *reason)
{
    m_leftOut.clear();
    QString error;
    bool built = false;
    {
        const std::optional<QByteArray> data =
            BoundedFile::read(path, BoundedFile::MaximumTextFileSize, &error);
        if (!data) {
            if (reason)
                *reason = error;
            return false;
        }
        built = addOutlines(*data, QFileInfo(path).completeBaseName(), map, reason);
    }
    // The file's bytes are gone before the layout, the import's peak.
    if (built)
        TWMapLayout::autoArrange(map);
    return built;
}

bool TWOPMLImportExport::importData(const QByteArray &data, const QString &fileName, TWMap &map,
                                    QString *reason)
{
    m_leftOut.clear();
    if (!addOutlines(data, fileName, map, reason))
        return false;
    TWMapLayout::autoArrange(map);
    return true;
}

bool TWOPMLImportExport::addOutlines(const QByteArray &data, const QString &fileName, TWMap &map,
                                     QString *reason)
{
    std::optional<Document> document = readDocument(data, reason);
    const std::shared_ptr<TWMapBranch> central = map.root();
    if (!document || !central)
        return false;
    if (document->unreadValues > 0) {
        // Where they are, in file order: the first few outlines that came in
        // with an empty value.
        QStringList where;
        std::vector<const Outline *> pending;
        for (auto it = document->outlines.rbegin(); it != document->outlines.rend(); ++it)
            pending.push_back(it->get());
        while (!pending.empty() && where.size() < 5) {
            const Outline *outline = pending.back();
            pending.pop_back();
            if (!outline->unreadAttributes.isEmpty())
                where << QStringLiteral("outline %1 (%2)")
                             .arg(outline->lineNumber + 1)
                             .arg(outline->unreadAttributes.join(QStringLiteral(", ")));
            for (auto it = outline->children.rbegin(); it != outline->children.rend(); ++it)
                pending.push_back(it->get());
        }
        const QString place =
            where.isEmpty() ? QString() : QStringLiteral(": ") + where.join(QStringLiteral(", "));
        m_leftOut = document->unreadValues == 1
                        ? QStringLiteral("A text in “%1” is too long to be read once its "
                                         "entities are expanded and came in empty%2.")
                              .arg(fileName, place)
                        : QStringLiteral("%1 texts in “%2” are too long to be read once their "
                                         "entities are expanded and came in empty%3.")
                              .arg(QString::number(document->unreadValues), fileName, place);
    }

    if (document->forbiddenCharactersKept + document->forbiddenCharactersLeftOut > 0) {
        const QString notice = MMXMLCharacters::notice(
            fileName, document->forbiddenCharactersKept, document->forbiddenCharactersLeftOut);
        m_leftOut = m_leftOut.isEmpty() ? notice : m_leftOut + u' ' + notice;
    }

    if (const std::shared_ptr<TWTextArea> &text = central->enclosedTextArea()) {
        if (!document->title)
            text->setString(fileName);
        else if (!document->title->isEmpty())
            text->setString(*document->title);
    }
    if (!document->title || !document->title->isEmpty())
        central->makeNaturalSize();

    TWMapsDoc *owner = map.document();
    if (owner) {
        if (std::optional<CalendarDate> date = dateFromText(document->dateCreated))
            owner->setCreationDate(date);
        if (std::optional<CalendarDate> date = dateFromText(document->dateModified))
            owner->setLastSaveDate(date);
        // The owner's address goes with the owner's name rather than over
        // the document's comments.
        if (document->ownerName || document->ownerEmail) {
            QString creator = document->ownerName.value_or(QString()).trimmed();
            const QString email = document->ownerEmail.value_or(QString()).trimmed();
            if (!email.isEmpty())
                creator = creator.isEmpty() ? email : QStringLiteral("%1 <%2>").arg(creator, email);
            owner->setCreator(creator);
        }
    }
    // A set: a long expansion state is looked up once per outline.
    QSet<int> expanded;
    if (document->expansionState)
        for (int line : expandedLineNumbers(*document->expansionState))
            expanded.insert(line);
    const int branchType = owner ? owner->graphicClassIdentifier() : -1;
    {
        // Laid out whole below: thousands of outlines under one heading
        // cost each the same.
        const TWGrowthBatch batch(map);
        TWMapBranch::BranchList made;
        for (const std::unique_ptr<Outline> &outline : document->outlines)
            if (std::shared_ptr<TWMapBranch> branch = central->addChildOfType(branchType)) {
                made << branch;
                processOutlineElement(*outline, *branch, expanded, branchType);
            }
        keepImportOrder(*central, made);
    }
    // Nor is the outlines' tree kept for the layout.
    document.reset();
    return true;
}
