#pragma once

#include <QString>

// The map style the user chose as default, kept by identifier in the user
// defaults; the map style palette and the map style editor set it.
namespace TWDefaultMapStyle {

inline const QString Key = QStringLiteral("TWDefaultMapStyle");

// Empty when none was chosen.
QString identifier();
void setIdentifier(const QString &identifier);

} // namespace TWDefaultMapStyle
