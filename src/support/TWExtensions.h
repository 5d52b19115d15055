#pragma once

#include <QDebug>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <concepts>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

// Small helpers over the model's lists and strings where the exact rule
// matters to callers: identity versus equality, the order in which insertions
// land, copies that do not share elements, and how a text splits into words.
// Lists are any sequence container; object lists hold pointers (shared_ptr or
// raw), where "identical" means the same object and "equal" means == on the
// objects themselves.

namespace TWExtensionsDetail {
template <typename P>
concept PointerLike = requires(const P &p)
{
    *p;
    {
        p == nullptr
        } -> std::convertible_to<bool>;
};

template <typename P> const void *address(const P &p)
{
    if constexpr (requires { p.get(); })
        return static_cast<const void *>(p.get());
    else
        return static_cast<const void *>(p);
}

template <typename E> bool isNull(const E &e)
{
    if constexpr (PointerLike<E>)
        return e == nullptr;
    else if constexpr (requires { e.has_value(); })
        return !e.has_value();
    else if constexpr (requires { e.isValid(); })
        return !e.isValid();
    else
        return false;
}

template <typename E> bool equalObjects(const E &a, const E &b)
{
    if constexpr (PointerLike<E>) {
        if (a == nullptr || b == nullptr)
            return a == b;
        return address(a) == address(b) || *a == *b;
    } else {
        return a == b;
    }
}
} // namespace TWExtensionsDetail

namespace TWExtensions {

// True when the list holds that very object (not merely an equal one).
template <typename C, typename P>
requires TWExtensionsDetail::PointerLike<P>
bool containsObjectIdenticalTo(const C &list, const P &object)
{
    const void *a = TWExtensionsDetail::address(object);
    return std::any_of(std::begin(list), std::end(list),
                       [a](const auto &e) { return TWExtensionsDetail::address(e) == a; });
}

// A copy sorted ascending by a text key, compared without regard to case;
// elements with equal keys keep their order.
template <typename C, typename KeyFn> C arraySortedByKey(const C &list, KeyFn key)
{
    C sorted = list;
    std::stable_sort(std::begin(sorted), std::end(sorted), [&](const auto &a, const auto &b) {
        return QString::compare(key(a), key(b), Qt::CaseInsensitive) < 0;
    });
    return sorted;
}

template <typename C> C reversedArray(const C &list)
{
    return C(std::rbegin(list), std::rend(list));
}

// Inserts the elements of `items` so that they stand together, in their
// order, before the element that was at `index` ([x, y] with [a, b] at 1 gives
// [x, a, b, y]). An index beyond the end is refused with a warning.
template <typename C, typename Items>
void insertObjectsFromArray(C &list, const Items &items, int index)
{
    const auto count = std::distance(std::begin(list), std::end(list));
    if (index < 0 || index > count) {
        qWarning("insertObjectsFromArray: index %d out of range (count %d)", index, int(count));
        return;
    }
    if (static_cast<const void *>(&items) == static_cast<const void *>(&list)) {
        const Items copy = items; // inserting into the list being read
        insertObjectsFromArray(list, copy, index);
        return;
    }
    int at = index;
    for (const auto &e : items)
        list.insert(std::next(std::begin(list), at++), e);
}

// Appends the object unless it is null or that very object is already there.
template <typename C, typename P>
requires TWExtensionsDetail::PointerLike<P>
bool addObjectIfAbsent(C &list, const P &object)
{
    if (object == nullptr || containsObjectIdenticalTo(list, object))
        return false;
    list.push_back(object);
    return true;
}

// addObjectIfAbsent for each element in order, so duplicates within `items`
// are added once.
template <typename C, typename Items> void addObjectsIfAbsent(C &list, const Items &items)
{
    for (const auto &e : items)
        addObjectIfAbsent(list, e);
}

// Appends the object unless it is null or an equal object is already there.
template <typename C, typename E> bool addObjectIfEqualObjectAbsent(C &list, const E &object)
{
    if (TWExtensionsDetail::isNull(object))
        return false;
    for (const auto &e : list) {
        if (TWExtensionsDetail::equalObjects<E>(e, object))
            return false;
    }
    list.push_back(object);
    return true;
}

} // namespace TWExtensions

namespace DeepCopy {

// A copy of one object that shares nothing with it: the object's own copy()
// when it has one, otherwise its copy constructor. A null stays null.
template <typename T> std::shared_ptr<T> copyObject(const std::shared_ptr<T> &object)
{
    if (!object)
        return nullptr;
    if constexpr (requires {
                      {
                          object->copy()
                          } -> std::convertible_to<std::shared_ptr<T>>;
                  })
        return object->copy();
    else
        return std::make_shared<T>(*object);
}

// A new list with a copy of each element, in order.
template <typename C> C deepCopy(const C &list)
{
    C out;
    for (const auto &e : list)
        out.push_back(copyObject(e));
    return out;
}

// A new dictionary with every value copied, under the same keys.
template <typename Map> Map deepCopyDictionary(const Map &map)
{
    Map out;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.insert(it.key(), copyObject(it.value()));
    return out;
}

} // namespace DeepCopy

namespace HandingNil {

// Stores the value under the key; a null value (null pointer, invalid
// QVariant, empty optional) removes the key instead.
template <typename Map, typename K, typename V>
void setObjectIfNotNil(Map &map, const K &key, const V &value)
{
    if (TWExtensionsDetail::isNull(value))
        map.remove(key);
    else
        map.insert(key, value);
}

} // namespace HandingNil

namespace PerformExtras {

// Calls `f` with each element by index. The count is taken once, as callers
// rely on; should `f` shrink the list, the walk stops instead of reading past
// its end.
template <typename C, typename F> void performWithEachObjectInArray(const C &list, F &&f)
{
    const auto count = std::size(list);
    for (decltype(std::size(list)) i = 0; i < count && i < std::size(list); ++i)
        f(list[i]);
}

// The same over a set: its objects are listed once, in the set's own order,
// and `f` is called with each; a set changed meanwhile does not change the walk.
template <typename Set, typename F> void performWithEachObjectInSet(const Set &set, F &&f)
{
    using Value = std::decay_t<decltype(*std::begin(set))>;
    const std::vector<Value> objects(std::begin(set), std::end(set));
    performWithEachObjectInArray(objects, std::forward<F>(f));
}

} // namespace PerformExtras

namespace Paths {

// The colon-separated path (volume name first, then each folder, a ":" in a
// name written "/") of the file the POSIX path names, taken as a file URL:
// relative paths are resolved against the current folder. Nothing for an
// empty path, from which no URL can be made.
std::optional<QString> carbonFromPOSIXPath(const QString &path);

} // namespace Paths

namespace Replace {

// Every occurrence of `target` replaced by `with`, left to right, without
// overlap ("aaa" with "aa" -> "b" gives "ba"). An empty target changes nothing.
QString replaceAll(const QString &text, const QString &target, const QString &with);

} // namespace Replace

namespace Tokenizing {

using CharacterPredicate = std::function<bool(char32_t)>;

// Letters as the platform counted them: every letter and combining mark.
bool isLetter(char32_t c);
// Blanks and line ends, which the scan skips before each run.
bool isWhitespaceOrNewline(char32_t c);
// Letters plus the given extra characters ("-" gives the words of a text).
CharacterPredicate lettersPlus(const QString &extra);

// The maximal runs of characters in the set, in order; characters outside it
// separate the runs. Blanks and line ends are skipped before each run, so a
// run never begins with one even when the set holds it.
QStringList tokensSeparatedByCharactersFromSet(const QString &text,
                                               const CharacterPredicate &inSet);

// Calls `word` with a view of each word of the text, in order: the runs
// tokensSeparatedByCharactersFromSet gives for lettersPlus("-"), found
// without a call or a copy per character, for the texts of whole maps.
template <class F> void forEachWord(QStringView text, F &&word)
{
    const qsizetype n = text.size();
    qsizetype start = -1;
    for (qsizetype p = 0; p < n;) {
        const char16_t c = text[p].unicode();
        qsizetype width = 1;
        bool inWord;
        if (c < 0x80) {
            inWord = c == u'-' || ((c | 0x20) >= u'a' && (c | 0x20) <= u'z');
        } else if (QChar::isHighSurrogate(c) && p + 1 < n &&
                   QChar::isLowSurrogate(text[p + 1].unicode())) {
            inWord = isLetter(QChar::surrogateToUcs4(c, text[p + 1].unicode()));
            width = 2;
        } else {
            inWord = isLetter(c);
        }
        if (inWord && start < 0) {
            start = p;
        } else if (!inWord && start >= 0) {
            word(text.sliced(start, p - start));
            start = -1;
        }
        p += width;
    }
    if (start >= 0)
        word(text.sliced(start));
}

} // namespace Tokenizing
