#pragma once

#include "support/TypedStreamDecoder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <stdexcept>
#include <vector>

// A typedstream read into its parts before any class is interpreted: the
// table of objects and classes in the order the stream defined them, and the
// root value. Values keep the type code they were archived with, since the
// stream names no fields and only types tell them apart.
namespace TypedStreamArchive {

struct Value
{
    enum class Kind {
        Nil,
        Integer, // integer; isUnsigned tells how to widen it
        Real,    // 'f' or 'd', also when written as an integer
        Bytes,   // '+' text, char arrays and C strings
        Object,  // index into the table
        Class,   // index into the table
        Group,   // structure fields or array elements
    };
    Kind kind = Kind::Nil;
    char type = 0; // the type code: 'i', 'f', '@', '+', '*', '[', '{' ...
    bool isUnsigned = false;
    qint64 integer = 0;
    double real = 0.0;
    QByteArray bytes;
    qsizetype index = -1;
    QList<Value> items;

    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Real; }
    double number() const { return kind == Kind::Real ? real : double(integer); }
};

struct Entry
{
    bool isClass = false;
    // Class entries.
    QString name;
    qint64 version = 0;
    qsizetype superclass = -1;
    // Object entries.
    qsizetype classIndex = -1;
    QList<Value> values;
    bool complete = false;
};

struct Archive
{
    bool bigEndian = false;
    qint64 systemVersion = 0;
    std::vector<Entry> table;
    Value root;
};

struct Error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Throws Error for anything malformed or beyond the limits.
Archive parse(const QByteArray &data, const TypedStreamDecoder::Limits &limits);

} // namespace TypedStreamArchive
