#include "model/TWAttachedText.h"
#include "model/TWRecordSupport.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/TWXMLUtils.h"

#include <QDebug>
#include <cmath>
#include <limits>

TWAttachedText::TWAttachedText(const std::optional<QString> &category, UndoManager *undoManager)
    : m_category(category), m_undoManager(undoManager)
{}

void TWAttachedText::setText(std::shared_ptr<const AttributedString> text)
{
    if (text == m_text)
        return;
    if (auto self = weak_from_this().lock())
        UndoManager::registerUndo(m_undoManager, [self, old = m_text] { self->setText(old); });
    m_text = std::move(text);
    TWRecord::postValueDidChange(this, QStringLiteral("text"));
}

void TWAttachedText::setCategory(const std::optional<QString> &category)
{
    if (category == m_category)
        return;
    if (auto self = weak_from_this().lock())
        UndoManager::registerUndo(m_undoManager,
                                  [self, old = m_category] { self->setCategory(old); });
    m_category = category;
    TWRecord::postValueDidChange(this, QStringLiteral("category"));
}

void TWAttachedText::setSelectedRange(SelectedRange range)
{
    if (range == m_selectedRange)
        return;
    if (auto self = weak_from_this().lock())
        UndoManager::registerUndo(m_undoManager,
                                  [self, old = m_selectedRange] { self->setSelectedRange(old); });
    m_selectedRange = range;
    TWRecord::postValueDidChange(this, QStringLiteral("selectedRange"));
}

void TWAttachedText::nameUndoAction(const char *name)
{
    UndoManager::setActionName(m_undoManager,
                               TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(name)));
}

void TWAttachedText::publicSetText(std::shared_ptr<const AttributedString> text)
{
    setText(std::move(text));
    nameUndoAction("Text Editing");
}

void TWAttachedText::publicSetCategory(const std::optional<QString> &category)
{
    setCategory(category);
    nameUndoAction("Set Attached Text Category");
}

void TWAttachedText::publicSetSelectedRange(SelectedRange range)
{
    setSelectedRange(range);
    nameUndoAction("Set Selected Range");
}

quint32 TWAttachedText::rangeValue(double stored)
{
    // Not a number counts as nothing stored.
    if (std::isnan(stored) || stored < 0)
        return 0;
    if (stored >= 4294967296.0)
        return std::numeric_limits<quint32>::max();
    return quint32(stored);
}

void TWAttachedText::addXmlDataToNode(xmlNodePtr parent) const
{
    if (!parent)
        return;
    xmlNodePtr node = TWXMLUtils::addElementChild(parent, "TWAttachedText");
    if (m_text && m_text->length() > 0)
        m_text->addXmlDataToNode(TWXMLUtils::addElementChild(node, "text"));
    if (m_category && !m_category->isEmpty())
        TWXMLUtils::addTextChild(node, "category", *m_category);
    xmlNodePtr range = TWXMLUtils::addElementChild(node, "selectedRange");
    TWXMLUtils::addTextChild(range, "location", CFormat::f(m_selectedRange.location));
    TWXMLUtils::addTextChild(range, "length", CFormat::f(m_selectedRange.length));
}

std::shared_ptr<TWAttachedText> TWAttachedText::initWithXMLNode(xmlNodePtr parent, xmlDocPtr doc,
                                                                UndoManager *undoManager)
{
    const TWXMLUtils::XPathReader reader(parent, doc);
    if (!reader.node("TWAttachedText"))
        return nullptr;
    auto text = std::make_shared<TWAttachedText>(std::nullopt, undoManager);
    if (xmlNodePtr textNode = reader.node("TWAttachedText/text")) {
        if (std::optional<AttributedString> string =
                AttributedString::initWithXMLNode(textNode, doc))
            text->m_text = std::make_shared<const AttributedString>(std::move(*string));
    }
    text->m_category = reader.text("TWAttachedText/category");
    if (std::optional<double> location = reader.floatValue("TWAttachedText/selectedRange/location"))
        text->m_selectedRange.location = rangeValue(*location);
    if (std::optional<double> length = reader.floatValue("TWAttachedText/selectedRange/length"))
        text->m_selectedRange.length = rangeValue(*length);
    return text;
}

XMLElement TWAttachedText::freshXMLElement() const
{
    return TWRecord::elementFromNodeWriter([this](xmlNodePtr parent) { addXmlDataToNode(parent); });
}

std::shared_ptr<TWAttachedText> TWAttachedText::objectWithXMLElement(const XMLElement &element,
                                                                     UndoManager *undoManager)
{
    if (element.isNull() || element.name() != QLatin1String("TWAttachedText")) {
        if (!element.isNull())
            qWarning().noquote() << "TWAttachedText: cannot read a" << element.name() << "element";
        return nullptr;
    }
    std::shared_ptr<TWAttachedText> text;
    TWRecord::readElementWithNodeReader(element, [&](xmlNodePtr parent, xmlDocPtr doc) {
        text = initWithXMLNode(parent, doc, undoManager);
    });
    return text;
}
