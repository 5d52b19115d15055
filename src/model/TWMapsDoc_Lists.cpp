#include "model/TWAttachedTextCategory.h"
#include "model/TWMapsDoc_Private.h"
#include "model/TWResource.h"

using TWMapsDocDetail::at;
using TWMapsDocDetail::range;

// --- keywords ---

void TWMapsDoc::removeAllKeywords()
{
    m_keywords.clear();
}

TWMapsDoc::Keyword TWMapsDoc::objectInKeywordsAtIndex(int index) const
{
    return at(m_keywords, index);
}

QList<TWMapsDoc::Keyword> TWMapsDoc::getKeywords(int location, int length) const
{
    return range(m_keywords, location, length);
}

void TWMapsDoc::insertObjectInKeywordsAtIndex(const Keyword &keyword, int index)
{
    listInsert(m_keywords, keyword, index, &TWMapsDoc::removeObjectFromKeywordsAtIndex,
               "Update document meta-data");
}

void TWMapsDoc::removeObjectFromKeywordsAtIndex(int index)
{
    listRemove(m_keywords, index, &TWMapsDoc::insertObjectInKeywordsAtIndex,
               "Update document meta-data");
}

void TWMapsDoc::replaceObjectInKeywordsAtIndex(int index, const Keyword &keyword)
{
    listReplace(m_keywords, index, keyword, &TWMapsDoc::replaceObjectInKeywordsAtIndex,
                "Update document meta-data");
}

// --- characters ---

void TWMapsDoc::removeAllCharacters()
{
    while (!m_characters.isEmpty())
        removeObjectFromCharactersAtIndex(0);
}

QVariant TWMapsDoc::objectInCharactersAtIndex(int index) const
{
    return at(m_characters, index);
}

QVariantList TWMapsDoc::getCharacters(int location, int length) const
{
    return range(m_characters, location, length);
}

void TWMapsDoc::insertObjectInCharactersAtIndex(const QVariant &character, int index)
{
    listInsert(m_characters, character, index, &TWMapsDoc::removeObjectFromCharactersAtIndex,
               nullptr);
}

void TWMapsDoc::removeObjectFromCharactersAtIndex(int index)
{
    listRemove(m_characters, index, &TWMapsDoc::insertObjectInCharactersAtIndex, nullptr);
}

void TWMapsDoc::replaceObjectInCharactersAtIndex(int index, const QVariant &character)
{
    listReplace(m_characters, index, character, &TWMapsDoc::replaceObjectInCharactersAtIndex,
                nullptr);
}

// --- scenes ---

void TWMapsDoc::removeAllScenes()
{
    while (!m_scenes.isEmpty())
        removeObjectFromScenesAtIndex(0);
}

QVariant TWMapsDoc::objectInScenesAtIndex(int index) const
{
    return at(m_scenes, index);
}

QVariantList TWMapsDoc::getScenes(int location, int length) const
{
    return range(m_scenes, location, length);
}

void TWMapsDoc::insertObjectInScenesAtIndex(const QVariant &scene, int index)
{
    listInsert(m_scenes, scene, index, &TWMapsDoc::removeObjectFromScenesAtIndex, nullptr);
}

void TWMapsDoc::removeObjectFromScenesAtIndex(int index)
{
    listRemove(m_scenes, index, &TWMapsDoc::insertObjectInScenesAtIndex, nullptr);
}

void TWMapsDoc::replaceObjectInScenesAtIndex(int index, const QVariant &scene)
{
    listReplace(m_scenes, index, scene, &TWMapsDoc::replaceObjectInScenesAtIndex, nullptr);
}

// --- attached-text categories ---

void TWMapsDoc::removeAllAttachedTextCategories()
{
    m_attachedTextCategories.clear();
}

std::shared_ptr<TWAttachedTextCategory>
TWMapsDoc::objectInAttachedTextCategoriesAtIndex(int index) const
{
    return at(m_attachedTextCategories, index);
}

TWMapsDoc::CategoryList TWMapsDoc::getAttachedTextCategories(int location, int length) const
{
    return range(m_attachedTextCategories, location, length);
}

void TWMapsDoc::insertObjectInAttachedTextCategoriesAtIndex(
    const std::shared_ptr<TWAttachedTextCategory> &category, int index)
{
    if (!category)
        return;
    listInsert(m_attachedTextCategories, category, index,
               &TWMapsDoc::removeObjectFromAttachedTextCategoriesAtIndex, nullptr);
}

void TWMapsDoc::removeObjectFromAttachedTextCategoriesAtIndex(int index)
{
    listRemove(m_attachedTextCategories, index,
               &TWMapsDoc::insertObjectInAttachedTextCategoriesAtIndex, nullptr);
}

void TWMapsDoc::replaceObjectInAttachedTextCategoriesAtIndex(
    int index, const std::shared_ptr<TWAttachedTextCategory> &category)
{
    if (!category)
        return;
    listReplace(m_attachedTextCategories, index, category,
                &TWMapsDoc::replaceObjectInAttachedTextCategoriesAtIndex, nullptr);
}

// --- setup dictionaries ---

const OrderedDictionary &TWMapsDoc::htmlSetupDictionary()
{
    if (!m_htmlSetupDictionary)
        m_htmlSetupDictionary = OrderedDictionary();
    return *m_htmlSetupDictionary;
}

void TWMapsDoc::setHtmlSetupDictionary(const std::optional<OrderedDictionary> &dictionary)
{
    if (dictionary == m_htmlSetupDictionary)
        return;
    // The old dictionary is the inverse, so that undoing the named step undoes it.
    registerUndo([old = m_htmlSetupDictionary](TWMapsDoc &d) { d.setHtmlSetupDictionary(old); });
    nameUndoAction("Update html setup information");
    m_htmlSetupDictionary = dictionary;
}

const OrderedDictionary &TWMapsDoc::presentationSetupDictionary()
{
    if (!m_presentationSetupDictionary)
        m_presentationSetupDictionary = OrderedDictionary();
    return *m_presentationSetupDictionary;
}

void TWMapsDoc::setPresentationSetupDictionary(const std::optional<OrderedDictionary> &dictionary)
{
    if (dictionary == m_presentationSetupDictionary)
        return;
    registerUndo([old = m_presentationSetupDictionary](TWMapsDoc &d) {
        d.setPresentationSetupDictionary(old);
    });
    nameUndoAction("Update presentation setup information");
    m_presentationSetupDictionary = dictionary;
}

// --- resources ---

void TWMapsDoc::adoptResource(const std::shared_ptr<TWResource> &resource)
{
    resource->setUndoManager(m_undoManager.get());
}

void TWMapsDoc::releaseResource(const std::shared_ptr<TWResource> &resource)
{
    resource->setUndoManager(nullptr);
}

std::shared_ptr<TWResource> TWMapsDoc::objectInResourcesAtIndex(int index) const
{
    return at(m_resources, index);
}

void TWMapsDoc::setResources(const ResourceList &resources)
{
    const bool equal = std::equal(
        m_resources.cbegin(), m_resources.cend(), resources.cbegin(), resources.cend(),
        [](const auto &a, const auto &b) { return a == b || (a && b && a->isEqual(*b)); });
    if (equal)
        return;
    registerUndo([old = m_resources](TWMapsDoc &d) { d.setResources(old); });
    for (const std::shared_ptr<TWResource> &resource : std::as_const(m_resources))
        releaseResource(resource);
    m_resources.clear();
    for (const std::shared_ptr<TWResource> &resource : resources) {
        if (!resource)
            continue;
        m_resources.append(resource);
        adoptResource(resource);
    }
}

void TWMapsDoc::addResource(const std::shared_ptr<TWResource> &resource)
{
    insertObjectInResourcesAtIndex(resource, int(m_resources.size()));
}

void TWMapsDoc::removeResource(const std::shared_ptr<TWResource> &resource)
{
    if (!resource)
        return;
    for (int i = 0; i < m_resources.size(); ++i) {
        if (m_resources.at(i)->isEqual(*resource)) {
            removeObjectFromResourcesAtIndex(i);
            return;
        }
    }
}

void TWMapsDoc::insertObjectInResourcesAtIndex(const std::shared_ptr<TWResource> &resource,
                                               int index)
{
    if (!resource)
        return;
    if (listInsert(m_resources, resource, index, &TWMapsDoc::removeObjectFromResourcesAtIndex,
                   nullptr))
        adoptResource(resource);
}

void TWMapsDoc::removeObjectFromResourcesAtIndex(int index)
{
    const std::shared_ptr<TWResource> resource = at(m_resources, index);
    if (listRemove(m_resources, index, &TWMapsDoc::insertObjectInResourcesAtIndex, nullptr))
        releaseResource(resource);
}

std::shared_ptr<TWResource> TWMapsDoc::resourceWithIdentifier(const QString &identifier) const
{
    for (const std::shared_ptr<TWResource> &resource : m_resources) {
        if (resource->resourceIdentifier() == identifier)
            return resource;
    }
    return nullptr;
}
