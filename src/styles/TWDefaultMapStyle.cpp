#include "styles/TWDefaultMapStyle.h"

#include "platform/UserDefaults.h"

namespace TWDefaultMapStyle {

QString identifier()
{
    return UserDefaults::standard().stringForKey(Key);
}

void setIdentifier(const QString &identifier)
{
    UserDefaults::standard().setString(identifier, Key);
}

} // namespace TWDefaultMapStyle
