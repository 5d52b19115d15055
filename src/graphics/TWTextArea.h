#pragma once

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class BezierPath;
class TWFlexiBranchTransformedCharacter;
class TWTextLayout;

// The rich-text label of a branch (its enclosed text area), or a free text
// attached to one.
//
// At most one text area in the whole program edits at a time: one that
// starts editing first posts StopAllTextEditingNotification, which ends every
// other edit. The characters laid along a flexi branch's curve are cached
// here; the cache is derived from the text and the curve, so changing it
// registers no undo.
class TWTextArea : public TWGraphic
{
public:
    // Smallest and largest size the text may ask for.
    static constexpr Size MinimumSize{10, 15};
    static constexpr Size MaximumSize{99999, 99999};
    static constexpr float DefaultLineFragmentPadding = 5;

    static inline const QString StopAllTextEditingNotification =
        QStringLiteral("StopAllTextEditingNotification");
    static inline const QString TextAreaEditingStateChangedNotification =
        QStringLiteral("TextAreaEditingStateChangedNotification");
    static inline const QString UpdateTextEditorTextNotification =
        QStringLiteral("UpdateTextEditorTextNotification");
    // The key under which the plain text is announced as changed (with
    // TWRecord::ValueDidChangeNotification).
    static inline const QString OutlineStringKey = QStringLiteral("outlineString");
    // The warning of the text reader that asks for a refit after loading.
    static inline const QString UsedWindowsFontWarning = QStringLiteral("Used Windows Font");

    using FlexiCharacter = std::shared_ptr<TWFlexiBranchTransformedCharacter>;
    using FlexiCharacterList = std::vector<FlexiCharacter>;

    TWTextArea();
    ~TWTextArea() override;

    QString className() const override { return QStringLiteral("TWTextArea"); }
    void init() override;

    // --- text and editing state ---
    // Empty until a text is set.
    const AttributedString &text() const { return m_text; }
    bool hasText() const { return m_hasText; }
    // Undoable; posts the redraw and, while undoing or redoing, the editor update.
    void setText(const AttributedString &text);
    bool isEditing() const { return m_isEditing; }
    void setIsEditing(bool editing);
    // Handler of StopAllTextEditingNotification.
    void stopAllEditing();
    void setBounds(Rect bounds) override;
    // The editor follows the edited label: it moves on the main thread.
    bool slidesAlone() const override { return !isEditing(); }
    float lineFragmentPadding() const { return m_lineFragmentPadding; }
    void setLineFragmentPadding(float padding) { m_lineFragmentPadding = padding; }

    // --- queries ---
    // The branch's label while its shape is a flexi branch: the text runs
    // along the curve.
    bool shouldDrawFlexiText() const;
    bool canBeSelected() const override;
    bool hitTest(Point point, bool isSelected) override;
    int knobMask() const override;
    bool isEditable() const override;
    // Of the first character; nothing for an empty text.
    std::optional<Font> font() const;
    std::optional<TextAttributes> stringAttributes() const;
    Size minSize() const { return MinimumSize; }
    Size maxSize() const { return MaximumSize; }
    Color handleColor() const override;
    // The size the text needs wrapped to that width, at least the minimum.
    Size requiredSizeForWidth(float width) const;

    // --- plain string ---
    QString outlineString() const { return m_text.string(); }
    // A string or an attributed string (reduced to its characters); anything
    // else is refused with a log line. The branch refits in every case.
    void setOutlineString(const QVariant &value);
    // The characters replace the text's; they take the attributes of its
    // first character. A null string empties the text.
    void setString(const QString &string);
    // Links shown blue and underlined.
    AttributedString textForDrawing() const;

    // --- characters along a flexi curve (no undo: derived data) ---
    const FlexiCharacterList &cachedFlexiCharacters() const { return m_flexiCharacters; }
    int countOfCachedFlexiCharacters() const { return int(m_flexiCharacters.size()); }
    FlexiCharacter objectInCachedFlexiCharactersAtIndex(int index) const;
    void insertObjectInCachedFlexiCharactersAtIndex(const FlexiCharacter &character, int index);
    void removeObjectFromCachedFlexiCharactersAtIndex(int index);
    void replaceObjectInCachedFlexiCharactersAtIndex(int index, const FlexiCharacter &character);
    void removeAllCachedFlexiCharacters();
    // Moves the laid-out characters with the curve; with none laid out yet,
    // lays them out on the curve as it is now.
    void moveCachedFlexiCharactersBy(float dx, float dy);
    // Lays the text out along the branch's flexi curve, one record per
    // user-perceived character (TWTextArea_FlexiText.cpp).
    void generateFlexiCharacters();
    // Draws the laid-out characters, laying them out first when there are none.
    void drawFlexiText(const DrawingContext &context);

    // --- geometry ---
    // A polyline `distance` from the branch shape's path (towards the text),
    // with loops cut out; null when the shape has no path.
    std::shared_ptr<BezierPath> bezierPathOffsetVerticallyBy(float distance,
                                                             bool lineToFirstPoint) const;
    // Keeps the area as wide as its text needs and at least the minimum
    // height, then resizes as any graphic.
    int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio) override;

    // --- drawing (TWTextArea_Drawing.cpp) ---
    // Fill, outline and text (or, while the view edits it, a frame just
    // outside the bounds in the knob colour), the glow, the link-target
    // ring and the handles.
    void drawInView(const DrawingContext &context, const TWDrawingView *view, bool isSelected,
                    const std::optional<Shadow> &shadow, bool drawingSelectionShadow) override;
    void drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                           int style) override;
    // Drops the text laid out for drawing; the next drawing lays it out again.
    void updateCachedTextAttributes() override;
    // The display copy of the text (links blue and underlined) laid out in
    // the bounds, kept until the text, size or padding change. Null for an
    // empty text and for text along a flexi curve.
    const TWTextLayout *cachedTextLayout();
    // The paragraph style of the first character; nothing for an empty text.
    std::optional<ParagraphStyle> currentAlignment() const;

    // --- user operations (named for the undo menu) ---
    // The text and a new rectangle; the branch's shape adapts to a label's.
    void publicSetText(const AttributedString &text, Rect bounds);
    // The text, as high as it needs at the present width.
    void publicSetTextAndResize(const AttributedString &text);
    void publicSetForegroundColor(const Color &color);
    // 0 left, 1 right, 2 centre, for every paragraph; an empty text is left alone.
    void publicAlignText(int alignment);
    // Nothing without a font.
    void publicSetFont(const std::optional<Font> &font);
    // False (the caller beeps) when a run would fall below 1 point.
    bool publicChangeFontSizeBy(float step);
    // A branch's label is refitted to its new look; other text areas only
    // take the attributes, and ignore a font.
    void setStringAttributes(const TextAttributes &attributes);
    void setFont(const Font &font);
    bool changeFontSizeBy(float step);

    static bool hasFont() { return true; }

    void loadPropertyListRepresentation(const QVariantMap &dictionary, bool isMainGraphic) override;

protected:
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    // Sizes and places a branch's label for the text it is about to take.
    void refitEnclosedText(const AttributedString &text);
    static void stopEditingEverywhere();
    void setEditingFlag(bool editing);
    void postEditingStateChanged();

    AttributedString m_text;
    FlexiCharacterList m_flexiCharacters;
    std::unique_ptr<TWTextLayout> m_cachedLayout;
    // The last measurement of the text: a branch asks again at the width
    // the text was found to need.
    struct Measured
    {
        float narrowest = 1;
        float widest = 0; // none while narrower than narrowest
        float padding = 0;
        Size size;
    };
    mutable Measured m_measured;
    float m_lineFragmentPadding = 0;
    bool m_hasText = false;
    bool m_isEditing = false;
};
