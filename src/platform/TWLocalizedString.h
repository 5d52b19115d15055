#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The string tables user-visible texts are looked up in. Most keys are the
// English text; the few that are not ("DadoZiz-Title") get their English text
// from the table files shipped as resources under ":/strings".
namespace StringTable {
inline constexpr char DadoZiz[] = "DadoZiz";
inline constexpr char General[] = "General";
inline constexpr char ScreenWriter[] = "ScreenWriter";
inline constexpr char PowerPoint[] = "PowerPoint";
inline constexpr char GraphicStyleNames[] = "GraphicStyleNames";
inline constexpr char MapStyleNames[] = "MapStyleNames";
inline constexpr char GraphicCategories[] = "GraphicCategories";
inline constexpr char Graphics[] = "Graphics";

// Entries of a table file: lines `"key" = "text";` with C escapes (\" \\ \n
// \t) and /* */ or // comments. `error` receives the first line that does not
// parse; what parsed before it is kept.
QHash<QString, QString> parse(const QString &text, QString *error = nullptr);

// The shipped table `name` (empty when none ships) and the names of all that ship.
const QHash<QString, QString> &shipped(const QString &name);
QStringList shippedNames();
} // namespace StringTable

// The text for `key` in `table`: an installed translation for that table (a Qt
// translation context) first, then the shipped table's text, else the key.
QString TWLocalizedString(const char *table, const QString &key);
