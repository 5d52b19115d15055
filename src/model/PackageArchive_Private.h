#pragma once

#include <locale.h>

namespace PackageArchive {

// libarchive converts entry names through the thread's locale. A process
// started without one (the C locale) cannot convert UTF-8 names, and
// libarchive then fails or even crashes on them; names in packages are
// always UTF-8, so archives are handled under a UTF-8 character type.
class Utf8NamesScope
{
public:
    Utf8NamesScope()
    {
        static const locale_t utf8 = [] {
            locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
            if (!l)
                l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", locale_t(nullptr));
            return l;
        }();
        if (utf8)
            m_previous = uselocale(utf8);
    }
    ~Utf8NamesScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    Utf8NamesScope(const Utf8NamesScope &) = delete;
    Utf8NamesScope &operator=(const Utf8NamesScope &) = delete;

private:
    locale_t m_previous = nullptr;
};

} // namespace PackageArchive
