#pragma once

#include <QString>

// The string tables user-visible texts are looked up in. The key is the
// English text, so the key itself is the answer when no translation exists.
namespace StringTable {
inline constexpr char DadoZiz[] = "DadoZiz";
inline constexpr char General[] = "General";
inline constexpr char ScreenWriter[] = "ScreenWriter";
inline constexpr char PowerPoint[] = "PowerPoint";
} // namespace StringTable

// The text for `key` in `table`: a translation when one is installed for that
// table (as a Qt translation context), otherwise the key unchanged.
QString TWLocalizedString(const char *table, const QString &key);
