#pragma once

#include <QVariantMap>
#include <optional>

class TWMapsDoc;

// A maps document as LinkBack data carries it.
namespace TWLinkBackPackage {

// The document's package, path to bytes; nothing when an entry cannot be
// read.
std::optional<QVariantMap> packageOfMapsDocument(TWMapsDoc &maps);
// The LinkBack data of the whole document, made by this program's server.
std::optional<QVariantMap> linkBackDataOfMapsDocument(TWMapsDoc &maps);

} // namespace TWLinkBackPackage
