// Feeds arbitrary bytes to the RTF reader, then writes what was read and
// reads it again: the text must survive and a second write must give the
// same bytes.
#include "FuzzSupport.h"
#include "support/RichTextFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_rtf: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool initialised = [] {
        registerTypesAndResources();
        FuzzSupport::silenceLogs();
        return true;
    }();
    (void)initialised;

    const QByteArray rtf(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<AttributedString> first = RichTextFormat::attributedStringFromRTF(rtf);
    if (!first)
        return 0;
    for (qsizetype i = 0; i < first->runCount(); ++i) {
        const AttributedString::Range r = first->runRange(i);
        check(r.location >= 0 && r.length > 0 && r.end() <= first->length(), "run outside text");
    }
    const QByteArray written = RichTextFormat::rtfFromAttributedString(*first);
    const std::optional<AttributedString> second = RichTextFormat::attributedStringFromRTF(written);
    check(second.has_value(), "written RTF does not read back");
    check(second->string() == first->string(), "text changed on a round trip");
    check(RichTextFormat::rtfFromAttributedString(*second) == written, "second write differs");
    return 0;
}
