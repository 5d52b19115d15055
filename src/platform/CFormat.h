#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// printf-style text of numbers and NSString-style reading of them, always in
// the C locale: files must say "5.000000" whatever locale the process runs in.
namespace CFormat {

// Formats like snprintf under the C locale ("%f", "%d", "%4d", "%0.1f", ...).
QString format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

inline QString f(double v)
{
    return format("%f", v);
} // "%f"
inline QString d(long long v)
{
    return format("%lld", v);
} // "%d" and "%i"

// The value "%f" text of v reads back as. A reader of a value written with
// "%f" keeps this, so that what it reads is what a save writes and reads
// back: two values equal after a save are equal before it.
double asWrittenF(double v);

// The shortest "%g"-style text that reads back as the same float: "%g" where
// that is exact (248.5, 209, 1e+06), more digits only where it is not.
QString shortFloat(float v);

// NSString's intValue: leading blanks skipped, optional sign, leading digits;
// 0 when there are none; saturates at the int range.
int intValue(QStringView s);
long long longLongValue(QStringView s);
// NSString's floatValue/doubleValue: leading blanks skipped, the longest
// leading number in C syntax but never a hex one, 0 when there is none.
// "inf" and "nan" read as such, so readers can refuse them.
double doubleValue(QStringView s);
inline float floatValue(QStringView s)
{
    return float(doubleValue(s));
}
// NSString's boolValue: leading blanks, then Y/y/T/t or a non-zero digit.
bool boolValue(QStringView s);

} // namespace CFormat
