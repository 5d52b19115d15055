#include "application/TWOutlineIndexPaths.h"

#include <algorithm>

namespace TWOutlineIndexPaths {

bool isAncestorOf(const IndexPath &path, const IndexPath &other)
{
    return path.size() < other.size() && std::equal(path.cbegin(), path.cend(), other.cbegin());
}

bool isSiblingOf(const IndexPath &path, const IndexPath &other)
{
    if (path.size() != other.size() || path.isEmpty())
        return false;
    return std::equal(path.cbegin(), path.cend() - 1, other.cbegin());
}

std::optional<IndexPath> firstCommonAncestor(const IndexPath &path, const IndexPath &other)
{
    if (path.isEmpty() || other.isEmpty())
        return std::nullopt;
    const qsizetype limit = std::min(path.size(), other.size()) - 1;
    IndexPath common;
    for (qsizetype i = 0; i < limit && path.at(i) == other.at(i); ++i)
        common.append(path.at(i));
    if (common.isEmpty())
        return std::nullopt;
    return common;
}

std::optional<IndexPath> firstCommonAncestorAmong(const QList<IndexPath> &paths)
{
    if (paths.isEmpty())
        return std::nullopt;
    const IndexPath &first = paths.first();
    IndexPath result = first.mid(0, std::max<qsizetype>(first.size() - 1, 0));
    for (qsizetype i = 1; i < paths.size(); ++i) {
        const std::optional<IndexPath> common = firstCommonAncestor(first, paths.at(i));
        if (!common)
            return std::nullopt;
        if (common->size() < result.size())
            result = *common;
    }
    return result;
}

} // namespace TWOutlineIndexPaths
