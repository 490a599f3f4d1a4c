#include "engine/byte_text.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include <QtEndian>

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// 0x80 in every byte of the word that equals c, exact for ASCII words.
std::uint64_t BytesEqual(std::uint64_t word, unsigned char c) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t x = word ^ (0x0101010101010101ULL * c);
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The first byte of ASCII text that folding changes: a tab, or a space after a blank (after the
// text before p when afterSpace). end when there is none.
const char* NextFold(const char* p, const char* end, bool afterSpace) {
    std::uint64_t carry = afterSpace ? 0x80 : 0; // the blank bit of the byte before the word
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        word = qFromLittleEndian(word); // byte k at bits 8k
        const std::uint64_t spaces = BytesEqual(word, ' '), tabs = BytesEqual(word, '\t');
        const std::uint64_t blanks = spaces | tabs;
        if (const std::uint64_t fold = tabs | (spaces & ((blanks << 8) | carry)))
            return p + std::countr_zero(fold) / 8;
        carry = blanks >> 56;
    }
    for (bool before = carry != 0; p < end; ++p) {
        if (*p == '\t' || (*p == ' ' && before))
            return p;
        before = *p == ' ';
    }
    return end;
}

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

void AppendFoldedBytes(QString& out, const char* p, qsizetype n, bool afterSpace) {
    if (!IsAsciiBytes(p, n)) {
        const qsizetype base = out.size();
        AppendDecodedBytes(out, p, n);
        FoldBlanks(out, base, afterSpace);
        return;
    }
    const char* const end = p + n;
    while (p < end) {
        const char* fold = NextFold(p, end, afterSpace);
        if (fold > p) {
            out.append(QLatin1StringView(p, fold - p));
            afterSpace = fold[-1] == ' ';
        }
        if (fold == end)
            return;
        if (!afterSpace)
            out.append(QLatin1Char(' '));
        afterSpace = true;
        for (p = fold + 1; p < end && IsBlank(*p);)
            ++p;
    }
}

void FoldBlanks(QString& text, qsizetype from, bool afterSpace) {
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* dst = begin + from;
    for (const char16_t* p = dst; p < begin + text.size(); ++p) {
        // Branch-free: a blank is written as a space, and kept only after a non-blank.
        const char16_t c = *p;
        const bool blank = c == u' ' || c == u'\t';
        *dst = blank ? u' ' : c;
        dst += !(blank && afterSpace);
        afterSpace = blank;
    }
    text.truncate(dst - begin);
}
