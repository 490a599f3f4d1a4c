#include "engine/byte_text.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The length of the valid sequence that starts with lead at s[0] (0 when there is none) and its
// code point. The second byte's range excludes overlong forms, surrogates and values past U+10FFFF.
int ValidSequence(const unsigned char* s, qsizetype left, char32_t& code) {
    const unsigned char lead = s[0];
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !IsContinuation(s[1]))
            return 0;
        code = (char32_t(lead & 0x1F) << 6) | (s[1] & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char lo = lead == 0xE0 ? 0xA0 : 0x80, hi = lead == 0xED ? 0x9F : 0xBF;
        if (left < 3 || s[1] < lo || s[1] > hi || !IsContinuation(s[2]))
            return 0;
        code = (char32_t(lead & 0x0F) << 12) | (char32_t(s[1] & 0x3F) << 6) | (s[2] & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char lo = lead == 0xF0 ? 0x90 : 0x80, hi = lead == 0xF4 ? 0x8F : 0xBF;
        if (left < 4 || s[1] < lo || s[1] > hi || !IsContinuation(s[2]) || !IsContinuation(s[3]))
            return 0;
        code = (char32_t(lead & 0x07) << 18) | (char32_t(s[1] & 0x3F) << 12) | (char32_t(s[2] & 0x3F) << 6) |
               (s[3] & 0x3F);
        return 4;
    }
    return 0;
}

} // namespace

bool IsAsciiBytes(const char* p, qsizetype n) {
    qsizetype i = 0;
    std::uint64_t any = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        any |= word;
    }
    for (; i < n; ++i)
        any |= static_cast<unsigned char>(p[i]);
    return (any & kHighBits) == 0;
}

qsizetype DecodeBytes(const char* p, qsizetype n, char16_t* dst) {
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    char16_t* const begin = dst;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *dst++ = b;
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = ValidSequence(s + i, n - i, code);
        if (length == 0) {
            *dst++ = b; // the byte rule
            ++i;
        } else if (code < 0x10000) {
            *dst++ = static_cast<char16_t>(code);
            i += length;
        } else {
            *dst++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            *dst++ = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            i += length;
        }
    }
    return dst - begin;
}

void AppendDecodedBytes(QString& out, const char* p, qsizetype n) {
    if (IsAsciiBytes(p, n)) {
        out.append(QLatin1StringView(p, n));
        return;
    }
    const qsizetype base = out.size();
    out.resize(base + n);
    const qsizetype written = DecodeBytes(p, n, reinterpret_cast<char16_t*>(out.data()) + base);
    out.truncate(base + written);
}
