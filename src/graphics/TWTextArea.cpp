#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"

#include <algorithm>

void TWTextArea::init()
{
    TWGraphic::init();
}

void TWTextArea::setText(const AttributedString &text)
{
    m_text = text;
}

void TWTextArea::setString(const QString &string)
{
    TextAttributes attributes;
    if (!m_text.isEmpty())
        attributes = m_text.attributesAtIndex(0);
    m_text = AttributedString(string, attributes);
}

void TWTextArea::setIsEditing(bool editing)
{
    if (editing == m_isEditing)
        return;
    // Only one text edits at a time: the others stop first.
    if (editing)
        NotificationCenter::defaultCenter().post(StopAllTextEditingNotification,
                                                 notificationObject());
    m_isEditing = editing;
}

Size TWTextArea::requiredSizeForWidth(float width)
{
    TWMapBranch *owner = branch();
    TWMapLayoutServices &services = owner ? owner->layoutServices() : TWMapLayoutServices::none();
    const Size needed = services.requiredSizeForText(*this, width);
    return {std::clamp(needed.width, MinimumSize.width, MaximumSize.width),
            std::clamp(needed.height, MinimumSize.height, MaximumSize.height)};
}

bool TWTextArea::canBeSelected() const
{
    return TWGraphic::canBeSelected();
}
