#pragma once

#include "support/AttributedString.h"

#include <QTextCharFormat>

class QTextCursor;
class QTextDocument;

// Rich text between the attributed string and QTextDocument, the form the
// text editor edits. Each character format and block format carries the
// attributes it came from, so fonts keep their names (also fonts missing
// here), colours their components and paragraphs their whole style through an
// edit; what Qt shows is derived from them. Text typed into the editor takes
// the format before it, and so its attributes.
//
// An attachment is an object-replacement character with an image format: the
// picture of its file, or the program's image named by
// AttachmentImageNameAttributeName (":/images/<name>.png").
namespace AttributedStringDocument {

inline const QString AttachmentImageNameAttributeName = QStringLiteral("TWAttachmentImageName");

// Where a format keeps what it was made from.
constexpr int AttributesProperty = QTextFormat::UserProperty + 0x7701;
constexpr int ParagraphStyleProperty = QTextFormat::UserProperty + 0x7702;
constexpr int SeparatorProperty = QTextFormat::UserProperty + 0x7703;

// The document's text replaced by `text` (its undo stack is left alone).
void setDocumentText(QTextDocument &document, const AttributedString &text);
// The whole text of the document.
AttributedString attributedString(const QTextDocument &document);
// The text between two document positions.
AttributedString attributedString(const QTextDocument &document, int from, int to);
// Replaces the cursor's selection by `text`; the cursor ends after it.
void insert(QTextCursor &cursor, const AttributedString &text);

// The format a run of these attributes is shown in, with the attributes kept.
QTextCharFormat charFormat(const TextAttributes &attributes);
// The attributes a format stands for: the ones kept in it, or, for a format
// Qt made, what its font and colours amount to.
TextAttributes attributes(const QTextCharFormat &format);

// The attributes of an attachment shown with the program's image `name`.
bool isNamedImageAttachment(const TextAttributes &attributes, const QString &name);

} // namespace AttributedStringDocument
