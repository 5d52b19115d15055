#pragma once

#include <QJsonObject>
#include <QString>

// One step of a presentation export, as the presentation program is asked to
// run it. commandText() gives the step in the presentation program's macro
// language (for logs and tests); toJson() is what the Impress bridge reads.
struct TWPowerPointOperation
{
    enum class Kind {
        AddBlankSlide,  // slide
        AddTitleSlide,  // slide: a title only
        AddPicture,     // slide, text = picture path, left/top/width/height
        AddTextSlide,   // slide
        SetText,        // target, slide, text
        InsertText,     // target, slide, text
        InsertBreak,    // target, slide
        SetIndentLevel, // slide, paragraph, level
        FontName,       // target, slide, start, length, text
        FontSize,       // ... number
        Italic,         // ... flag
        Bold,           // ... flag
        Color,          // ... red, green, blue (0-255)
        BaselineOffset, // ... offset
        Underline,      // ...
        Alignment,      // ... alignment (0 left, 1 right, 2 centre, 3 justified)
    };
    // The text range an operation addresses.
    enum class Target { Title, Body, Notes };

    Kind kind = Kind::AddBlankSlide;
    Target target = Target::Body;
    int slide = 1; // 1-based
    int start = 1; // 1-based character
    int length = 0;
    int paragraph = 1; // 1-based
    int level = 1;     // indent level, 1 at the top
    int number = 0;    // font size
    bool flag = false; // italic, bold
    int red = 0, green = 0, blue = 0;
    double offset = 0.0; // baseline offset
    int alignment = 0;
    int left = 0, top = 0, width = 0, height = 0;
    QString text; // text, font name, picture path

    static TWPowerPointOperation addBlankSlide(int slide);
    static TWPowerPointOperation addTitleSlide(int slide);
    static TWPowerPointOperation addPicture(int slide, const QString &path, int left, int top,
                                            int width, int height);
    static TWPowerPointOperation addTextSlide(int slide);
    static TWPowerPointOperation setText(Target target, int slide, const QString &text);
    static TWPowerPointOperation insertText(Target target, int slide, const QString &text);
    static TWPowerPointOperation insertBreak(Target target, int slide);
    static TWPowerPointOperation setIndentLevel(int slide, int paragraph, int level);
    // A character attribute for `length` characters from `start`; the value
    // fields are filled by the caller.
    static TWPowerPointOperation characters(Kind kind, Target target, int slide, int start,
                                            int length);

    QString commandText() const;
    QJsonObject toJson() const;

    // A string literal of the macro language holding `text`: quotation marks,
    // backslashes, controls and every character outside printable ASCII are
    // spelled as Chr$/ChrW$ pieces, one character at a time, so no text can
    // end the literal or be mangled on the way.
    static QString quotedLiteral(const QString &text);
    // The range prefix of a target on a slide.
    static QString rangePrefix(Target target, int slide);

    friend bool operator==(const TWPowerPointOperation &, const TWPowerPointOperation &) = default;
};
