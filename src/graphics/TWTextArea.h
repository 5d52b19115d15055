#pragma once

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"

// The rich-text label of a branch, or a free text attached to one.
//
// The text, its editing flag and its layout padding live here; measuring
// goes through the map's layout services, which the text layout code
// provides.
class TWTextArea : public TWGraphic
{
public:
    // Smallest and largest size the text may ask for.
    static constexpr Size MinimumSize{10, 15};
    static constexpr Size MaximumSize{99999, 99999};
    static inline const QString StopAllTextEditingNotification =
        QStringLiteral("StopAllTextEditingNotification");

    QString className() const override { return QStringLiteral("TWTextArea"); }
    void init() override;

    const AttributedString &text() const { return m_text; }
    void setText(const AttributedString &text);
    // Replaces the plain text, keeping the attributes of the existing text.
    void setString(const QString &string);
    bool isEditing() const { return m_isEditing; }
    void setIsEditing(bool editing);
    float lineFragmentPadding() const { return m_lineFragmentPadding; }
    void setLineFragmentPadding(float padding) { m_lineFragmentPadding = padding; }
    // The size the text needs at that width, within the minimum and maximum.
    Size requiredSizeForWidth(float width);

    bool isEditable() const override { return true; }
    bool canBeSelected() const override;
    static bool hasFont() { return true; }

private:
    AttributedString m_text;
    float m_lineFragmentPadding = 0;
    bool m_isEditing = false;
};
