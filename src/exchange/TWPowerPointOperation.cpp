#include "exchange/TWPowerPointOperation.h"

#include "platform/CFormat.h"

namespace {

using Op = TWPowerPointOperation;

const char *kindName(Op::Kind kind)
{
    switch (kind) {
    case Op::Kind::AddBlankSlide:
        return "addBlankSlide";
    case Op::Kind::AddTitleSlide:
        return "addTitleSlide";
    case Op::Kind::AddPicture:
        return "addPicture";
    case Op::Kind::AddTextSlide:
        return "addTextSlide";
    case Op::Kind::SetText:
        return "setText";
    case Op::Kind::InsertText:
        return "insertText";
    case Op::Kind::InsertBreak:
        return "insertBreak";
    case Op::Kind::SetIndentLevel:
        return "setIndentLevel";
    case Op::Kind::FontName:
        return "fontName";
    case Op::Kind::FontSize:
        return "fontSize";
    case Op::Kind::Italic:
        return "italic";
    case Op::Kind::Bold:
        return "bold";
    case Op::Kind::Color:
        return "color";
    case Op::Kind::BaselineOffset:
        return "baselineOffset";
    case Op::Kind::Underline:
        return "underline";
    case Op::Kind::Alignment:
        return "alignment";
    }
    return "";
}

const char *targetName(Op::Target target)
{
    switch (target) {
    case Op::Target::Title:
        return "title";
    case Op::Target::Body:
        return "body";
    case Op::Target::Notes:
        return "notes";
    }
    return "";
}

QString truth(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

TWPowerPointOperation TWPowerPointOperation::addBlankSlide(int slide)
{
    Op op;
    op.kind = Kind::AddBlankSlide;
    op.slide = slide;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::addTitleSlide(int slide)
{
    Op op;
    op.kind = Kind::AddTitleSlide;
    op.slide = slide;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::addPicture(int slide, const QString &path, int left,
                                                        int top, int width, int height)
{
    Op op;
    op.kind = Kind::AddPicture;
    op.slide = slide;
    op.text = path;
    op.left = left;
    op.top = top;
    op.width = width;
    op.height = height;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::addTextSlide(int slide)
{
    Op op;
    op.kind = Kind::AddTextSlide;
    op.slide = slide;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::setText(Target target, int slide, const QString &text)
{
    Op op;
    op.kind = Kind::SetText;
    op.target = target;
    op.slide = slide;
    op.text = text;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::insertText(Target target, int slide,
                                                        const QString &text)
{
    Op op = setText(target, slide, text);
    op.kind = Kind::InsertText;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::insertBreak(Target target, int slide)
{
    Op op;
    op.kind = Kind::InsertBreak;
    op.target = target;
    op.slide = slide;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::setIndentLevel(int slide, int paragraph, int level)
{
    Op op;
    op.kind = Kind::SetIndentLevel;
    op.target = Target::Body;
    op.slide = slide;
    op.paragraph = paragraph;
    op.level = level;
    return op;
}

TWPowerPointOperation TWPowerPointOperation::characters(Kind kind, Target target, int slide,
                                                        int start, int length)
{
    Op op;
    op.kind = kind;
    op.target = target;
    op.slide = slide;
    op.start = start;
    op.length = length;
    return op;
}

QString TWPowerPointOperation::rangePrefix(Target target, int slide)
{
    switch (target) {
    case Target::Title:
        return QStringLiteral("ActivePresentation.Slides(%1).Shapes.Title.TextFrame.TextRange")
            .arg(slide);
    case Target::Body:
        return QStringLiteral(
                   "ActivePresentation.Slides(%1).Shapes.Placeholders(2).TextFrame.TextRange")
            .arg(slide);
    case Target::Notes:
        return QStringLiteral("ActivePresentation.Slides(%1).NotesPage.Shapes.Placeholders(2)."
                              "TextFrame.TextRange")
            .arg(slide);
    }
    return {};
}

QString TWPowerPointOperation::quotedLiteral(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7f && u != u'"' && u != u'\\') {
            out += c;
            continue;
        }
        // Surrogates go one code unit at a time: the language's strings are
        // UTF-16 as well.
        const QString piece = u < 0x80 ? QStringLiteral("Chr$(%1)").arg(int(u))
                                       : QStringLiteral("ChrW$(&H%1)").arg(int(u), 0, 16);
        out += QStringLiteral("\" & ") + piece + QStringLiteral(" & \"");
    }
    out += QLatin1Char('"');
    return out;
}

QString TWPowerPointOperation::commandText() const
{
    const QString characterRange = QStringLiteral("%1.Characters(%2,%3)")
                                       .arg(rangePrefix(target, slide))
                                       .arg(start)
                                       .arg(length);
    switch (kind) {
    case Kind::AddBlankSlide:
        return QStringLiteral("ActivePresentation.Slides.Add %1,ppLayoutBlank").arg(slide);
    case Kind::AddTitleSlide:
        return QStringLiteral("ActivePresentation.Slides.Add %1,ppLayoutTitleOnly").arg(slide);
    case Kind::AddPicture:
        return QStringLiteral("ActivePresentation.Slides(%1).Shapes.AddPicture %2, False, True, "
                              "%3, %4, %5, %6")
            .arg(slide)
            .arg(quotedLiteral(text))
            .arg(left)
            .arg(top)
            .arg(width)
            .arg(height);
    case Kind::AddTextSlide:
        return QStringLiteral("ActivePresentation.Slides.Add %1,ppLayoutText").arg(slide);
    case Kind::SetText:
        return QStringLiteral("%1.Text = %2").arg(rangePrefix(target, slide), quotedLiteral(text));
    case Kind::InsertText:
        return QStringLiteral("%1.InsertAfter = %2")
            .arg(rangePrefix(target, slide), quotedLiteral(text));
    case Kind::InsertBreak:
        return QStringLiteral("%1.InsertAfter = vbCrLf").arg(rangePrefix(target, slide));
    case Kind::SetIndentLevel:
        return QStringLiteral("%1.Paragraphs(%2).IndentLevel = %3")
            .arg(rangePrefix(Target::Body, slide))
            .arg(paragraph)
            .arg(level);
    case Kind::FontName:
        return QStringLiteral("%1.Font.Name = %2").arg(characterRange, quotedLiteral(text));
    case Kind::FontSize:
        return QStringLiteral("%1.Font.Size = %2").arg(characterRange).arg(number);
    case Kind::Italic:
        return QStringLiteral("%1.Font.Italic = %2").arg(characterRange, truth(flag));
    case Kind::Bold:
        return QStringLiteral("%1.Font.Bold = %2").arg(characterRange, truth(flag));
    case Kind::Color:
        return QStringLiteral("%1.Font.Color.RGB = RGB(%2, %3, %4)")
            .arg(characterRange)
            .arg(red)
            .arg(green)
            .arg(blue);
    case Kind::BaselineOffset:
        return QStringLiteral("%1.Font.BaselineOffset = %2")
            .arg(characterRange, CFormat::f(offset));
    case Kind::Underline:
        return QStringLiteral("%1.Font.Underline = msoTrue").arg(characterRange);
    case Kind::Alignment: {
        static const char *const names[] = {"ppAlignLeft", "ppAlignRight", "ppAlignCenter",
                                            "ppAlignJustify"};
        const char *name = alignment >= 0 && alignment < 4 ? names[alignment] : names[0];
        return QStringLiteral("%1.ParagraphFormat.Alignment = %2")
            .arg(characterRange, QLatin1String(name));
    }
    }
    return {};
}

QJsonObject TWPowerPointOperation::toJson() const
{
    QJsonObject o{{"op", QLatin1String(kindName(kind))}, {"slide", slide}};
    switch (kind) {
    case Kind::AddBlankSlide:
    case Kind::AddTitleSlide:
    case Kind::AddTextSlide:
        break;
    case Kind::AddPicture:
        o.insert("path", text);
        o.insert("left", left);
        o.insert("top", top);
        o.insert("width", width);
        o.insert("height", height);
        break;
    case Kind::SetText:
    case Kind::InsertText:
        o.insert("target", QLatin1String(targetName(target)));
        o.insert("text", text);
        break;
    case Kind::InsertBreak:
        o.insert("target", QLatin1String(targetName(target)));
        break;
    case Kind::SetIndentLevel:
        o.insert("paragraph", paragraph);
        o.insert("level", level);
        break;
    default:
        o.insert("target", QLatin1String(targetName(target)));
        o.insert("start", start);
        o.insert("length", length);
        if (kind == Kind::FontName)
            o.insert("name", text);
        else if (kind == Kind::FontSize)
            o.insert("size", number);
        else if (kind == Kind::Italic || kind == Kind::Bold)
            o.insert("on", flag);
        else if (kind == Kind::Color)
            o.insert("rgb", (red << 16) | (green << 8) | blue);
        else if (kind == Kind::BaselineOffset)
            o.insert("offset", offset);
        else if (kind == Kind::Alignment)
            o.insert("alignment", alignment);
        break;
    }
    return o;
}
