#pragma once

#include "model/TWMapsDoc.h"

#include <QVariantMap>

namespace FuzzSupport {

// Saves the document into package data and reads that back: what the
// program saves must load. Both documents are detached afterwards.
inline void requireSavedDocumentLoads(const std::shared_ptr<TWMapsDoc> &document)
{
    PackageData saved;
    const QVariantMap entries = document->generateSaveDictionary();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        saved.insert(it.key(), it->typeId() == QMetaType::QByteArray ? it->toByteArray()
                                                                     : it->toString().toUtf8());
    std::shared_ptr<TWMapsDoc> again = TWMapsDoc::createWithDictionary(saved, false);
    if (!again)
        __builtin_trap();
    again->detach();
    document->detach();
}

} // namespace FuzzSupport
