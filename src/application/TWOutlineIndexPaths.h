#pragma once

#include <QList>
#include <functional>
#include <optional>

// Index paths over a tree of model objects and over the rows an outline
// shows of it. Stateless; the outline window finds rows and selections with
// them.
namespace TWOutlineIndexPaths {

using IndexPath = QList<int>;

// Strictly shorter and the other path's leading part (the empty path is an
// ancestor of every non-empty path).
bool isAncestorOf(const IndexPath &path, const IndexPath &other);
// Same length and equal in every place but the last.
bool isSiblingOf(const IndexPath &path, const IndexPath &other);
// The longest common leading part, at most one place shorter than the
// shorter path; nothing when either path or that part is empty.
std::optional<IndexPath> firstCommonAncestor(const IndexPath &path, const IndexPath &other);
// The shortest common ancestor of each path with the first; a single path
// gives its parent (the empty path for a one-place path).
std::optional<IndexPath> firstCommonAncestorAmong(const QList<IndexPath> &paths);

// How a search walks a tree of T: children in model order, and optionally a
// leaf test (a leaf is never descended into, though it may be the target).
template <typename T> struct TreeAccess
{
    std::function<QList<T *>(T *)> children;
    std::function<bool(T *)> isLeaf;
};

// The path of `target` below `top` (the top objects' positions come first),
// first match in pre-order; nothing when it is not in the tree.
template <typename T>
std::optional<IndexPath> indexPathToObject(const QList<T *> &top, const T *target,
                                           const TreeAccess<T> &access,
                                           const IndexPath &prefix = {})
{
    for (int i = 0; i < top.size(); ++i) {
        T *object = top.at(i);
        IndexPath path = prefix;
        path.append(i);
        if (object == target)
            return path;
        if (access.isLeaf && access.isLeaf(object))
            continue;
        const QList<T *> children = access.children(object);
        if (children.isEmpty())
            continue;
        if (auto found = indexPathToObject(children, target, access, path))
            return found;
    }
    return std::nullopt;
}

// The objects of the paths that name one, in the order given; paths of
// objects not in the tree are left out.
template <typename T>
QList<IndexPath> indexPathsToObjects(const QList<T *> &top, const QList<T *> &objects,
                                     const TreeAccess<T> &access)
{
    QList<IndexPath> paths;
    for (T *object : objects) {
        if (auto path = indexPathToObject(top, object, access))
            paths.append(*path);
    }
    return paths;
}

// The object shown on outline row `row`, walking the rows from the top:
// every object takes a row, and an expanded one's children follow it.
// Null when the rows run out first.
template <typename T>
T *objectAtRow(const QList<T *> &top, int row, const TreeAccess<T> &access,
               const std::function<bool(T *)> &isExpanded)
{
    int counter = 0;
    std::function<T *(const QList<T *> &)> walk = [&](const QList<T *> &list) -> T * {
        for (T *object : list) {
            if (counter == row)
                return object;
            ++counter;
            if (isExpanded(object) && !(access.isLeaf && access.isLeaf(object))) {
                if (T *found = walk(access.children(object)))
                    return found;
            }
            if (counter > row)
                return nullptr;
        }
        return nullptr;
    };
    return row < 0 ? nullptr : walk(top);
}

} // namespace TWOutlineIndexPaths
