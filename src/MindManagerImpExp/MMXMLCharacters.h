#pragma once

#include <QByteArray>
#include <QString>
#include <string>

// Maps written by some versions of MindManager hold characters XML 1.0
// does not allow (a control character pasted into a label), raw or as a
// character reference; libxml2 rightly refuses such a document. To read
// it all the same, each such character is first written as a
// noncharacter that XML allows (the C0 controls as U+FDD0 + c, U+FFFE and
// U+FFFF as U+1FFFE and U+1FFFF), and the parser's events turn them back.
namespace MMXMLCharacters {

struct Rewritten
{
    QByteArray xml;
    int kept = 0;    // written as stand-ins, to be turned back
    int leftOut = 0; // NUL and lone surrogates: nothing can hold them
    int joined = 0;  // pairs of surrogate references made one character
};

// The document with every character XML 1.0 forbids replaced by its
// stand-in. When the document already holds a stand-in, turning them back
// would change it, so the forbidden characters are left out instead.
Rewritten rewrite(const QByteArray &xml);

// Whether the text holds a stand-in; `out` then holds the text with each
// turned back.
bool restore(const char *text, size_t length, std::string &out);

// What the user is told of a file that held such characters.
QString notice(const QString &fileName, int kept, int leftOut);

} // namespace MMXMLCharacters
