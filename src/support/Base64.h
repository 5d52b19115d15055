#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

// Raised when Base64 text ends inside a group of four.
class Base64Error : public std::runtime_error
{
public:
    Base64Error();
    static const char *name() { return "Base64Error"; }
    QString reason() const { return QString::fromLatin1(what()); }
};

// Standard Base64 (alphabet A-Z a-z 0-9 + /, "=" padding), written in one
// line. Decoding skips every character outside the alphabet, stops at the
// first "=" and ignores what follows it.
namespace TWBase64 {

QString twBase64String(const QByteArray &data);
QByteArray encode(const QByteArray &data);

// nullopt when the text is not ASCII; throws Base64Error when a group of
// four is cut short.
std::optional<QByteArray> dataWithTWBase64String(const QString &text);
QByteArray decode(const QByteArray &ascii);

} // namespace TWBase64
