#include "support/TWPointHolder.h"
#include "platform/CFormat.h"

QString TWPointHolder::description() const
{
    return CFormat::format("TWPointHolder %f, %f", double(m_point.x), double(m_point.y));
}
