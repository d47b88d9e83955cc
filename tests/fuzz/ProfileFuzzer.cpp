// Feeds arbitrary bytes to the profile reader and writer and checks what must always hold:
// decoding and encoding give the bytes back, a written value reads back unchanged, and a write
// leaves the values of other keys as they were.
#include "platform/PrivateProfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Names the broken property before stopping, so a crash report says which one failed.
void CheckAt(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "property at line %d does not hold\n", line);
        std::abort();
    }
}
#define Check(condition) CheckAt(condition, __LINE__)

bool IsOddUtf16(const QByteArray& bytes) {
    return (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) && bytes.size() % 2 != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const ProfileText profile = DecodeProfile(bytes);
    if (!IsOddUtf16(bytes))
        Check(EncodeProfile(profile) == bytes);

    const std::optional<QString> otherKey = FindProfileValue(profile.text, u"Setting", u"Other");
    const std::optional<QString> otherSection = FindProfileValue(profile.text, u"IDD_100", u"Language");
    FindProfileValue(profile.text, u"", u"x");

    const QString value = QStringLiteral(" 中文 \"x\" ");
    const std::optional<QString> written = SetProfileValue(profile.text, u"setting", u"LANGUAGE", value);
    Check(written.has_value());
    Check(FindProfileValue(*written, u"Setting", u"Language") == value);
    Check(FindProfileValue(*written, u"Setting", u"Other") == otherKey);
    Check(FindProfileValue(*written, u"IDD_100", u"Language") == otherSection);

    ProfileText rewritten{profile.encoding, *written};
    if (const auto encoded = EncodeProfile(rewritten))
        Check(DecodeProfile(*encoded).text == *written);
    return 0;
}
