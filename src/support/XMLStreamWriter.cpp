#include "support/XMLStreamWriter.h"

#include "platform/CFormat.h"
#include "support/ForkJoinThreads.h"
#include "support/TWXMLUtils.h"
#include "support/XMLArena.h"
#include "support/XMLDocument.h"

#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// libxml2 indents by two spaces a level up to sixty spaces.
constexpr int maxIndentLevels = 30;

// The replacement libxml2 writes for a character of text content in UTF-8
// output, or null.
const char *escapeOf(char c)
{
    switch (c) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

// Whether the tree holds only what writePlainTree() writes: elements
// without namespaces or attributes, and ordinary text, each hung where its
// parent says.
bool isPlainTree(xmlNodePtr root)
{
    std::vector<xmlNodePtr> stack{root};
    while (!stack.empty()) {
        const xmlNodePtr node = stack.back();
        stack.pop_back();
        if (node->type == XML_TEXT_NODE) {
            if (node->name == xmlStringTextNoenc || node->children)
                return false;
            continue;
        }
        if (node->type != XML_ELEMENT_NODE || node->ns || node->nsDef || node->properties ||
            !node->name)
            return false;
        for (xmlNodePtr child = node->children; child; child = child->next) {
            if (child->parent != node)
                return false;
            stack.push_back(child);
        }
    }
    return true;
}

// Levels of elements in the tree, the root being the first.
qsizetype elementLevels(xmlNodePtr root)
{
    qsizetype deepest = 0;
    std::vector<std::pair<xmlNodePtr, qsizetype>> stack{{root, 1}};
    while (!stack.empty()) {
        const auto [node, level] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, level);
        for (xmlNodePtr child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE)
                stack.emplace_back(child, level + 1);
    }
    return deepest;
}

} // namespace

XMLStreamWriter::XMLStreamWriter(Sink sink, qsizetype room)
    : m_sink(std::move(sink)), m_room(std::max<qsizetype>(room, 64)),
      m_buffer(std::make_unique<char[]>(size_t(m_room)))
{
    m_xmlOutput = xmlOutputBufferCreateIO(writeToBuffer, nullptr, this, nullptr);
}

XMLStreamWriter::~XMLStreamWriter()
{
    if (m_xmlOutput)
        xmlOutputBufferClose(m_xmlOutput);
}

int XMLStreamWriter::writeToBuffer(void *context, const char *data, int size)
{
    static_cast<XMLStreamWriter *>(context)->append(data, size);
    return size;
}

void XMLStreamWriter::appendAcross(const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 n = std::min<qint64>(size, m_room - m_used);
        std::memcpy(m_buffer.get() + m_used, data, size_t(n));
        m_used += qsizetype(n);
        data += n;
        size -= n;
        if (m_used == m_room)
            flush();
    }
}

void XMLStreamWriter::appendEscaped(const char *p, const char *end)
{
    const char *run = p;
    for (; p < end; ++p) {
        if (const char *replacement = escapeOf(*p)) {
            append(run, p - run);
            append(replacement, qint64(std::strlen(replacement)));
            run = p + 1;
        }
    }
    append(run, end - run);
}

namespace {

// The threads a batch of text is scanned and summed on, besides the digest's
// own; made on first use, kept to the end.
ForkJoinThreads &digestThreads()
{
    static ForkJoinThreads *const threads = new ForkJoinThreads(ForkJoinThreads::machineParts());
    return *threads;
}

// One thread taking the pieces of every digest in the order they came.
class DigestWorker
{
public:
    static DigestWorker &shared()
    {
        static DigestWorker *worker = new DigestWorker; // lives as long as the program
        return *worker;
    }

    void post(std::function<void()> task)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
    }

private:
    DigestWorker()
    {
        std::thread([this] { run(); }).detach();
    }

    [[noreturn]] void run()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_tasks.empty(); });
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
};

// The order in which each number first appeared, in one flat table: a save
// of a large map meets hundreds of thousands, and a table of linked nodes
// spends its time finding them.
class NumberOrders
{
public:
    // The order of `number`; `next` when it is new, which `added` tells.
    qint64 orderOf(qint64 number, qint64 next, bool *added)
    {
        if (2 * (m_count + 1) > m_slots.size())
            grow();
        for (std::size_t i = slotOf(number);; i = (i + 1) & m_mask) {
            Slot &slot = m_slots[i];
            if (slot.order < 0) {
                slot = {number, next};
                ++m_count;
                *added = true;
                return next;
            }
            if (slot.number == number) {
                *added = false;
                return slot.order;
            }
        }
    }

private:
    struct Slot
    {
        qint64 number = 0;
        qint64 order = -1; // below zero: empty
    };
    std::size_t slotOf(qint64 number) const
    {
        return std::size_t((quint64(number) * 0x9E3779B97F4A7C15ull) >> m_shift);
    }
    void grow()
    {
        const std::size_t size = m_slots.empty() ? 1024 : 2 * m_slots.size();
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
        m_mask = size - 1;
        m_shift = 64 - std::countr_zero(size);
        for (const Slot &slot : old) {
            if (slot.order < 0)
                continue;
            std::size_t i = slotOf(slot.number);
            while (m_slots[i].order >= 0)
                i = (i + 1) & m_mask;
            m_slots[i] = slot;
        }
    }
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    std::size_t m_mask = 0;
    int m_shift = 64;
};

// Pieces smaller than this are taken at once, when none is waiting.
constexpr qint64 queuedPieceSize = 16 * 1024;
// Pieces are gathered into batches of about this size, each taken on
// several threads at once.
constexpr qint64 batchSize = 2 * 1024 * 1024;
// Batches queued before the writer waits: bounds the copies held.
constexpr std::size_t maxQueuedBatches = 3;

} // namespace

struct XMLStreamWriter::Digest::State : std::enable_shared_from_this<State>
{
    State(QList<QByteArray> identifiers, QList<QByteArray> ignored)
        : m_identifiers(std::move(identifiers)), m_ignored(std::move(ignored))
    {}

    void add(const char *data, qint64 size);
    void addText(const char *data, qint64 size, const QByteArray *whole = nullptr);
    QByteArray toHex();
    void waitForPieces(std::size_t atMost);

private:
    void addBytes(const char *data, qint64 size);
    void takeText(const char *data, qint64 size);
    void addWhole(const char *data, const char *end);
    // Calls raw(p, size) for text taken as it is and value(p, end) for each
    // identifier's value, in order; ignored values are left out.
    template <typename Raw, typename Value>
    void scanWhole(const char *p, const char *end, Raw raw, Value value);
    void postBatch();
    void takeBatch(const QList<QByteArray> &pieces);
    quint32 m_crc = 0;
    quint32 m_adler = 1;
    qint64 m_length = 0;
    QList<QByteArray> m_identifiers;
    QList<QByteArray> m_ignored;
    // The order in which each identifier first appeared.
    qint64 orderOf(const char *value, const char *end);
    QHash<QByteArray, qint64> m_order;
    NumberOrders m_numberOrder;
    qint64 m_orders = 0;
    QByteArray m_tail;  // what the names end in, and '>'; made on first use
    QByteArray m_carry; // text after the last '<' seen, not yet taken
    // Gathered by the writer's thread, not yet queued.
    QList<QByteArray> m_batch;
    qint64 m_batchBytes = 0;
    struct Pieces
    {
        std::mutex mutex;
        std::condition_variable done;
        std::size_t queued = 0; // batches
    };
    std::unique_ptr<Pieces> m_pieces; // made when a batch is first queued
};

XMLStreamWriter::Digest::Digest() : Digest({}, {}) {}

XMLStreamWriter::Digest::Digest(QList<QByteArray> identifiers, QList<QByteArray> ignored)
    : m_state(std::make_shared<State>(std::move(identifiers), std::move(ignored)))
{}

XMLStreamWriter::Digest::~Digest()
{
    m_state->waitForPieces(0);
}

void XMLStreamWriter::Digest::add(const char *data, qint64 size)
{
    m_state->add(data, size);
}

void XMLStreamWriter::Digest::addText(const char *data, qint64 size)
{
    m_state->addText(data, size);
}

void XMLStreamWriter::Digest::addText(const QByteArray &text)
{
    m_state->addText(text.constData(), text.size(), &text);
}

QByteArray XMLStreamWriter::Digest::toHex()
{
    return m_state->toHex();
}

void XMLStreamWriter::Digest::State::waitForPieces(std::size_t atMost)
{
    // Waiting under the lock is also what makes the worker's work seen here.
    if (!m_pieces)
        return;
    std::unique_lock lock(m_pieces->mutex);
    m_pieces->done.wait(lock, [this, atMost] { return m_pieces->queued <= atMost; });
}

void XMLStreamWriter::Digest::State::add(const char *data, qint64 size)
{
    postBatch();
    waitForPieces(0);
    addBytes(data, size);
}

void XMLStreamWriter::Digest::State::addBytes(const char *data, qint64 size)
{
    // Both sums run at many gigabytes a second: taken as the text comes.
    m_length += size;
    m_crc = libdeflate_crc32(m_crc, data, std::size_t(size));
    m_adler = libdeflate_adler32(m_adler, data, std::size_t(size));
}

void XMLStreamWriter::Digest::State::addText(const char *data, qint64 size, const QByteArray *whole)
{
    if (m_batch.isEmpty() && size < queuedPieceSize) {
        std::size_t queued = 0;
        if (m_pieces) {
            const std::lock_guard lock(m_pieces->mutex);
            queued = m_pieces->queued;
        }
        if (queued == 0) {
            takeText(data, size);
            return;
        }
    }
    // Text held in a byte array is shared with the worker, not copied.
    m_batch.append(whole ? *whole : QByteArray(data, qsizetype(size)));
    m_batchBytes += size;
    if (m_batchBytes >= batchSize)
        postBatch();
}

void XMLStreamWriter::Digest::State::postBatch()
{
    if (m_batch.isEmpty())
        return;
    waitForPieces(maxQueuedBatches - 1);
    if (!m_pieces)
        m_pieces = std::make_unique<Pieces>();
    {
        const std::lock_guard lock(m_pieces->mutex);
        ++m_pieces->queued;
    }
    m_batchBytes = 0;
    DigestWorker::shared().post([self = shared_from_this(), batch = std::exchange(m_batch, {})] {
        self->takeBatch(batch);
        const std::lock_guard lock(self->m_pieces->mutex);
        --self->m_pieces->queued;
        self->m_pieces->done.notify_all();
    });
}

void XMLStreamWriter::Digest::State::takeText(const char *data, qint64 size)
{
    if (m_identifiers.isEmpty() && m_ignored.isEmpty()) {
        addBytes(data, size);
        return;
    }
    // Whole elements only: what precedes a '<' can be taken once the '<'
    // is seen, since no element's text holds one.
    const char *end = data + size;
    const char *first = static_cast<const char *>(std::memchr(data, '<', size_t(size)));
    if (!first) {
        m_carry.append(data, qsizetype(size));
        return;
    }
    m_carry.append(data, qsizetype(first - data));
    addWhole(m_carry.constData(), m_carry.constData() + m_carry.size());
    const char *last = static_cast<const char *>(memrchr(first, '<', size_t(end - first)));
    addWhole(first, last);
    m_carry = QByteArray(last, qsizetype(end - last));
}

void XMLStreamWriter::Digest::State::takeBatch(const QList<QByteArray> &pieces)
{
    if (m_identifiers.isEmpty() && m_ignored.isEmpty()) {
        for (const QByteArray &piece : pieces)
            takeText(piece.constData(), piece.size());
        return;
    }
    // Each piece's whole elements are scanned and summed on a thread of
    // their own; only the identifiers' order, which depends on all that
    // came before, is taken here in between, and the sums are joined after.
    struct Item
    {
        const char *p;
        qsizetype size;
        qint64 order; // an identifier's, or -1 for text taken as it is
    };
    struct Unit
    {
        QByteArray head; // the carry and what precedes the piece's first '<'
        const char *p = nullptr, *end = nullptr;
        std::vector<Item> items;
        quint32 crc = 0;
        quint32 adler = 1;
        qint64 length = 0;
    };
    // Large pieces are cut into parts of the size the writers hand on.
    constexpr qsizetype unitSize = 64 * 1024;
    std::vector<Unit> units;
    qsizetype parts = 0;
    for (const QByteArray &piece : pieces)
        parts += piece.size() / unitSize + 1;
    units.reserve(std::size_t(parts));
    for (const QByteArray &piece : pieces) {
        for (qsizetype at = 0; at < piece.size(); at += unitSize) {
            const char *data = piece.constData() + at;
            const qsizetype size = std::min(unitSize, piece.size() - at);
            const char *end = data + size;
            const char *first = static_cast<const char *>(std::memchr(data, '<', size_t(size)));
            if (!first) {
                m_carry.append(data, size);
                continue;
            }
            Unit &unit = units.emplace_back();
            unit.head = std::exchange(m_carry, {});
            unit.head.append(data, qsizetype(first - data));
            unit.p = first;
            unit.end = static_cast<const char *>(memrchr(first, '<', size_t(end - first)));
            m_carry = QByteArray(unit.end, qsizetype(end - unit.end));
        }
    }
    addWhole(nullptr, nullptr); // makes the tail before the threads read it
    ForkJoinThreads &threads = digestThreads();
    threads.forEachIndex(units.size(), [this, &units](std::size_t i) {
        Unit &unit = units[i];
        const auto raw = [&unit](const char *p, qint64 size) {
            if (!unit.items.empty() && unit.items.back().order < 0 &&
                unit.items.back().p + unit.items.back().size == p)
                unit.items.back().size += qsizetype(size);
            else
                unit.items.push_back({p, qsizetype(size), -1});
        };
        const auto value = [&unit](const char *p, const char *end) {
            unit.items.push_back({p, qsizetype(end - p), 0});
        };
        scanWhole(unit.head.constData(), unit.head.constData() + unit.head.size(), raw, value);
        scanWhole(unit.p, unit.end, raw, value);
    });
    for (Unit &unit : units)
        for (Item &item : unit.items)
            if (item.order >= 0)
                item.order = orderOf(item.p, item.p + item.size);
    threads.forEachIndex(units.size(), [&units](std::size_t i) {
        Unit &unit = units[i];
        const auto sum = [&unit](const char *p, std::size_t size) {
            unit.crc = libdeflate_crc32(unit.crc, p, size);
            unit.adler = libdeflate_adler32(unit.adler, p, size);
            unit.length += qint64(size);
        };
        for (const Item &item : unit.items) {
            if (item.order < 0) {
                sum(item.p, std::size_t(item.size));
                continue;
            }
            char text[24] = {'#'};
            const auto done = std::to_chars(text + 1, text + sizeof text, item.order);
            sum(text, std::size_t(done.ptr - text));
        }
    });
    for (const Unit &unit : units) {
        m_crc = quint32(crc32_combine(m_crc, unit.crc, z_off_t(unit.length)));
        m_adler = quint32(adler32_combine(m_adler, unit.adler, z_off_t(unit.length)));
        m_length += unit.length;
    }
}

template <typename Raw, typename Value>
void XMLStreamWriter::Digest::State::scanWhole(const char *p, const char *end, Raw raw, Value value)
{
    const char *tail = m_tail.constData();
    const qsizetype tailSize = m_tail.size();
    while (p < end) {
        const char *found = static_cast<const char *>(memmem(p, size_t(end - p), tail, tailSize));
        if (!found) {
            raw(p, end - p);
            return;
        }
        const char *close = found + tailSize; // just past '>'
        const char *lt = found;
        while (lt > p && *lt != '<' && found - lt < 64)
            --lt;
        // Looked up in place: the threads of a batch share no allocator.
        const QByteArrayView name = *lt == '<' ? QByteArrayView(lt + 1, close - lt - 2)
                                               : QByteArrayView();
        const auto named = [&name](const QList<QByteArray> &names) {
            return !name.isEmpty() && std::find(names.cbegin(), names.cend(), name) != names.cend();
        };
        const bool identifier = named(m_identifiers);
        const bool ignored = !identifier && named(m_ignored);
        raw(p, close - p);
        p = close;
        if (!identifier && !ignored)
            continue;
        const char *valueEnd = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (!valueEnd)
            valueEnd = end;
        if (identifier)
            value(p, valueEnd);
        p = valueEnd;
    }
}

void XMLStreamWriter::Digest::State::addWhole(const char *p, const char *end)
{
    if (m_tail.isEmpty()) {
        // What every name of note ends in, and the '>' after it, is what
        // is looked for.
        QByteArray common;
        bool first = true;
        for (const QList<QByteArray> *names : {&m_identifiers, &m_ignored})
            for (const QByteArray &name : *names) {
                if (first) {
                    common = name;
                    first = false;
                }
                while (!name.endsWith(common))
                    common.remove(0, 1);
            }
        m_tail = common + '>';
    }
    scanWhole(
        p, end, [this](const char *from, qint64 size) { addBytes(from, size); },
        [this](const char *from, const char *to) {
            const QByteArray text = '#' + QByteArray::number(orderOf(from, to));
            addBytes(text.constData(), text.size());
        });
}

qint64 XMLStreamWriter::Digest::State::orderOf(const char *p, const char *end)
{
    // Numbers in their plain decimal form, as the writers give identifiers,
    // are kept as numbers: a save of a large map meets hundreds of thousands.
    const char *digits = p < end && *p == '-' ? p + 1 : p;
    const qsizetype count = end - digits;
    bool plain = count > 0 && count <= 18 && (*digits != '0' || (count == 1 && digits == p));
    for (const char *d = digits; plain && d < end; ++d)
        plain = *d >= '0' && *d <= '9';
    if (plain) {
        qint64 number = 0;
        for (const char *d = digits; d < end; ++d)
            number = number * 10 + (*d - '0');
        if (digits != p)
            number = -number;
        bool added = false;
        const qint64 order = m_numberOrder.orderOf(number, m_orders, &added);
        if (added)
            ++m_orders;
        return order;
    }
    const QByteArray value(p, end - p);
    const auto it = m_order.constFind(value);
    if (it != m_order.cend())
        return *it;
    m_order.insert(value, m_orders);
    return m_orders++;
}

QByteArray XMLStreamWriter::Digest::State::toHex()
{
    postBatch();
    waitForPieces(0);
    if (!m_carry.isEmpty()) {
        addWhole(m_carry.constData(), m_carry.constData() + m_carry.size());
        m_carry.clear();
    }
    return QByteArray::number(m_crc, 16).rightJustified(8, '0') +
           QByteArray::number(m_adler, 16).rightJustified(8, '0') + '-' +
           QByteArray::number(m_length, 16);
}

void XMLStreamWriter::startDigest(Digest *digest)
{
    stopDigest();
    m_digest = digest;
    // From the next element's own start, so that closing the parent's start
    // tag and the indentation are left out.
    m_digestPending = true;
}

void XMLStreamWriter::stopDigest()
{
    if (m_digest && !m_digestPending)
        m_digest->addText(m_buffer.get() + m_digestFrom, m_used - m_digestFrom);
    m_digest = nullptr;
    m_digestPending = false;
}

void XMLStreamWriter::flush()
{
    // The buffered part of a stretch is taken before the buffer empties.
    if (m_digest && !m_digestPending) {
        m_digest->addText(m_buffer.get() + m_digestFrom, m_used - m_digestFrom);
        m_digestFrom = 0;
    }
    if (!m_failed && m_used > 0 && !m_sink(m_buffer.get(), m_used))
        m_failed = true;
    m_written += m_used;
    m_used = 0;
}

void XMLStreamWriter::writeStartDocument()
{
    append(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
}

void XMLStreamWriter::beginChild()
{
    if (!m_open.isEmpty() && !m_open.last().hasChildren) {
        m_open.last().hasChildren = true;
        append(">\n", m_indented ? 2 : 1);
    }
    static const QByteArray spaces(2 * maxIndentLevels, ' ');
    if (m_indented)
        append(spaces.constData(), 2 * std::min(depth(), maxIndentLevels));
    if (m_digestPending) {
        m_digestPending = false;
        m_digestFrom = m_used;
    }
}

bool XMLStreamWriter::checkDepth(qsizetype elementDepth)
{
    if (elementDepth <= XMLDetail::maxElementDepth)
        return true;
    if (!m_tooDeep)
        qWarning("Elements nest deeper than %d levels: not written", XMLDetail::maxElementDepth);
    m_tooDeep = true;
    m_failed = true;
    return false;
}

void XMLStreamWriter::writeStartElement(QAnyStringView name)
{
    checkDepth(depth() + 1);
    beginChild();
    QByteArray utf8 = XMLDetail::toUtf8(name);
    append("<", 1);
    append(utf8);
    m_open.append({std::move(utf8), false});
}

void XMLStreamWriter::writeStaticStartElement(const char *name)
{
    checkDepth(depth() + 1);
    beginChild();
    const QByteArray raw = QByteArray::fromRawData(name, qsizetype(std::strlen(name)));
    append("<", 1);
    append(raw);
    m_open.append({raw, false});
}

void XMLStreamWriter::writeTextLeaf(const char *name, const char *utf8, qsizetype size, bool escape)
{
    checkDepth(depth() + 1);
    beginChild();
    const qsizetype nameSize = qsizetype(std::strlen(name));
    const char *end = utf8 + size;
    const char *escaped = utf8;
    if (escape)
        while (escaped < end && !escapeOf(*escaped))
            ++escaped;
    // A leaf of plain text, as most are, goes into the room in one step.
    const qsizetype close = m_indented ? 2 : 1;
    const qsizetype whole = 2 * nameSize + 4 + close + size;
    if ((!escape || escaped == end) && whole < m_room - m_used) {
        char *p = m_buffer.get() + m_used;
        *p++ = '<';
        p = static_cast<char *>(std::memcpy(p, name, size_t(nameSize))) + nameSize;
        *p++ = '>';
        if (size > 0)
            p = static_cast<char *>(std::memcpy(p, utf8, size_t(size))) + size;
        *p++ = '<';
        *p++ = '/';
        p = static_cast<char *>(std::memcpy(p, name, size_t(nameSize))) + nameSize;
        *p++ = '>';
        if (close == 2)
            *p++ = '\n';
        m_used += whole;
        return;
    }
    append("<", 1);
    append(name, nameSize);
    append(">", 1);
    append(utf8, escaped - utf8);
    if (escape)
        appendEscaped(escaped, end);
    else
        append(escaped, end - escaped);
    append("</", 2);
    append(name, nameSize);
    append(">\n", close);
}

void XMLStreamWriter::writeStartElement(const XMLElement &element)
{
    if (element.isNull())
        return;
    checkDepth(depth() + 1);
    // libxml2 writes the tag of a childless copy as "<name .../>".
    xmlNodePtr shell = xmlDocCopyNode(element.node(), element.doc(), 2);
    if (!shell)
        return;
    if (XMLDetail::hasEntityReferences(shell)) {
        qsizetype spent = 0;
        XMLDetail::expandEntityReferences(shell, element.doc(), &spent);
    }
    xmlOutputBufferPtr tag = xmlAllocOutputBuffer(nullptr);
    if (!tag) {
        xmlFreeNode(shell);
        return;
    }
    xmlNodeDumpOutput(tag, element.doc(), shell, depth(), m_indented ? 1 : 0, "UTF-8");
    xmlOutputBufferFlush(tag);
    QByteArray text(reinterpret_cast<const char *>(xmlOutputBufferGetContent(tag)),
                    qsizetype(xmlOutputBufferGetSize(tag)));
    xmlOutputBufferClose(tag);
    xmlFreeNode(shell);
    if (text.endsWith("/>"))
        text.chop(2);
    beginChild();
    append(text);
    m_open.append({QByteArray(reinterpret_cast<const char *>(element.node()->name)), false});
}

void XMLStreamWriter::writeEndElement()
{
    if (m_open.isEmpty())
        return;
    const Open open = m_open.takeLast();
    // Compact text ends in one line break, after the root, as libxml2 ends it.
    const qint64 newline = m_indented || m_open.isEmpty() ? 1 : 0;
    if (!open.hasChildren) {
        append("/>\n", 2 + newline);
        return;
    }
    static const QByteArray spaces(2 * maxIndentLevels, ' ');
    if (m_indented)
        append(spaces.constData(), 2 * std::min(depth(), maxIndentLevels));
    append("</", 2);
    append(open.name);
    append(">\n", 1 + newline);
}

void XMLStreamWriter::writeTextElement(QAnyStringView name, const QString &text)
{
    checkDepth(depth() + 1);
    beginChild();
    const QByteArray utf8 = XMLDetail::toUtf8(name);
    const QByteArray content = XMLDetail::xmlTextBytes(text, BAD_CAST utf8.constData());
    append("<", 1);
    append(utf8);
    if (content.isEmpty()) {
        append("/>\n", m_indented ? 3 : 2);
    } else {
        append(">", 1);
        appendEscaped(content.constData(), content.constData() + content.size());
        append("</", 2);
        append(utf8);
        append(">\n", m_indented ? 2 : 1);
    }
}

void XMLStreamWriter::writeElement(const XMLElement &element)
{
    writeNode(element.node());
}

void XMLStreamWriter::writeNode(xmlNodePtr node)
{
    if (!node)
        return;
    beginChild();
    // The text is written without a document type, so a reference is written
    // as the text it stands for (or not at all when nothing declares it).
    xmlNodePtr expanded = nullptr;
    if (XMLDetail::hasEntityReferences(node)) {
        expanded = xmlDocCopyNode(node, node->doc, 1);
        if (!expanded) {
            m_failed = true;
            return;
        }
        qsizetype spent = 0;
        XMLDetail::expandEntityReferences(expanded, node->doc, &spent);
        node = expanded;
    }
    if (isPlainTree(node)) {
        writePlainTree(node);
    } else if (checkDepth(depth() + elementLevels(node))) {
        xmlNodeDumpOutput(m_xmlOutput, node->doc, node, depth(), m_indented ? 1 : 0, "UTF-8");
        xmlOutputBufferFlush(m_xmlOutput);
    }
    if (expanded)
        xmlFreeNode(expanded);
    if (m_indented || m_open.isEmpty())
        append("\n", 1);
}

bool XMLStreamWriter::flushPiece()
{
    flush();
    return !m_failed;
}

void XMLStreamWriter::appendPiece(const QByteArray &text, bool failed, bool tooDeep)
{
    qsizetype from = 0;
    if (m_digestPending) {
        // A stretch waiting for its first element begins at the piece's
        // first tag, as it would have begun after the indentation.
        const qsizetype tag = text.indexOf('<');
        if (tag >= 0) {
            append(text.constData(), tag);
            m_digestPending = false;
            m_digestFrom = m_used;
            from = tag;
        }
    }
    if (from > 0 || text.size() - from < 4096 || m_failed) {
        append(text.constData() + from, text.size() - from);
    } else {
        // A large piece goes on as it is, shared with the digest.
        flush();
        if (m_digest && !m_digestPending)
            m_digest->addText(text);
        if (!m_failed && !(m_pieceSink ? m_pieceSink(text) : m_sink(text.constData(), text.size())))
            m_failed = true;
        m_written += text.size();
    }
    m_failed = m_failed || failed;
    m_tooDeep = m_tooDeep || tooDeep;
}

bool XMLStreamWriter::writeEndDocument()
{
    while (!m_open.isEmpty())
        writeEndElement();
    flush();
    return !m_failed;
}

void XMLStreamWriter::writePlainTree(xmlNodePtr root)
{
    // As libxml2's pretty printer walks the tree: an element holding text
    // has no line breaks or indentation inside it, down to its end tag.
    static const QByteArray spaces(2 * maxIndentLevels, ' ');
    const auto indent = [this](int level) {
        append(spaces.constData(), 2 * std::min(level, maxIndentLevels));
    };
    int level = depth();
    // Compact text is written as an element holding text is, throughout.
    bool format = m_indented;
    xmlNodePtr unformatted = nullptr;
    xmlNodePtr node = root;
    for (;;) {
        if (node->type == XML_ELEMENT_NODE) {
            if (level >= XMLDetail::maxElementDepth)
                checkDepth(level + 1);
            if (node != root && format)
                indent(level);
            const char *name = reinterpret_cast<const char *>(node->name);
            append("<", 1);
            append(name, qint64(std::strlen(name)));
            if (node->children) {
                if (format) {
                    for (xmlNodePtr child = node->children; child; child = child->next)
                        if (child->type == XML_TEXT_NODE) {
                            format = false;
                            unformatted = node;
                            break;
                        }
                }
                append(format ? ">\n" : ">", format ? 2 : 1);
                ++level;
                node = node->children;
                continue;
            }
            append("/>", 2);
        } else if (node->content) {
            const char *content = reinterpret_cast<const char *>(node->content);
            appendEscaped(content, content + std::strlen(content));
        }
        // Up past every last child, closing its parent.
        for (;;) {
            if (node == root)
                return;
            if (format)
                append("\n", 1);
            if (node->next) {
                node = node->next;
                break;
            }
            node = node->parent;
            if (level > 0)
                --level;
            if (format)
                indent(level);
            const char *name = reinterpret_cast<const char *>(node->name);
            append("</", 2);
            append(name, qint64(std::strlen(name)));
            append(">", 1);
            if (node == unformatted) {
                format = m_indented;
                unformatted = nullptr;
            }
        }
    }
}

// --- where element writers put their elements ---

void XMLOut::realElement(const char *name, double value)
{
    // The digits CFormat::f gives, without making a QString of them.
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::fixed, 6);
    if (std::isfinite(value) && error == std::errc()) {
        *end = '\0';
        plainTextElement(name, buffer, end - buffer);
        return;
    }
    const QByteArray text = CFormat::f(value).toLatin1();
    plainTextElement(name, text.constData(), text.size());
}

void XMLOut::integerElement(const char *name, long long value)
{
    char buffer[24];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer - 1, value);
    *end = '\0';
    plainTextElement(name, buffer, end - buffer);
}

void XMLOut::boolElement(const char *name, bool value)
{
    if (value)
        plainTextElement(name, "YES", 3);
    else
        plainTextElement(name, "NO", 2);
}

// --- a libxml2 tree ---

void XMLNodeOut::startElement(const char *name)
{
    xmlNodePtr element = TWXMLUtils::addElementChild(m_open.back(), name);
    if (m_open.size() == 1)
        m_last = element;
    m_open.push_back(element);
}

void XMLNodeOut::endElement()
{
    if (m_open.size() > 1)
        m_open.pop_back();
}

void XMLNodeOut::textElement(const char *name, const QString &text)
{
    xmlNodePtr element = TWXMLUtils::addTextChild(m_open.back(), name, text);
    if (m_open.size() == 1)
        m_last = element;
}

void XMLNodeOut::plainTextElement(const char *name, const char *text, qsizetype size)
{
    Q_UNUSED(size);
    xmlNodePtr element = m_open.back()
                             ? xmlNewTextChild(m_open.back(), nullptr, BAD_CAST name, BAD_CAST text)
                             : nullptr;
    if (m_open.size() == 1)
        m_last = element;
}

void XMLNodeOut::nodes(const std::function<void(xmlNodePtr parent)> &build)
{
    xmlNodePtr parent = m_open.back();
    if (!parent)
        return;
    xmlNodePtr before = parent->last;
    build(parent);
    if (m_open.size() == 1 && parent->last != before)
        m_last = parent->last;
}

// --- the stream ---

XMLStreamOut::~XMLStreamOut()
{
    if (m_scratch)
        xmlFreeDoc(m_scratch);
}

void XMLStreamOut::startElement(const char *name)
{
    m_writer.writeStaticStartElement(name);
}

void XMLStreamOut::endElement()
{
    m_writer.writeEndElement();
}

void XMLStreamOut::textElement(const char *name, const QString &text)
{
    if (text.isNull()) {
        m_writer.writeStaticStartElement(name);
        m_writer.writeEndElement();
        return;
    }
    const QByteArray utf8 = XMLDetail::xmlTextBytes(text, BAD_CAST name);
    m_writer.writeTextLeaf(name, utf8.constData(), utf8.size(), true);
}

void XMLStreamOut::plainTextElement(const char *name, const char *text, qsizetype size)
{
    m_writer.writeTextLeaf(name, text, size, false);
}

bool XMLStreamOut::failed() const
{
    return m_writer.failed();
}

void XMLStreamOut::nodes(const std::function<void(xmlNodePtr parent)> &build)
{
    if (!m_scratch) {
        m_scratch = xmlNewDoc(BAD_CAST "1.0");
        if (!m_scratch)
            return;
        xmlDocSetRootElement(m_scratch,
                             xmlNewDocNode(m_scratch, nullptr, BAD_CAST "parts", nullptr));
    }
    xmlNodePtr holder = xmlDocGetRootElement(m_scratch);
    build(holder);
    while (xmlNodePtr child = holder->children) {
        xmlUnlinkNode(child);
        if (child->type == XML_ELEMENT_NODE)
            m_writer.writeNode(child);
        xmlFreeNode(child);
    }
}
