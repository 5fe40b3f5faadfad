#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/internal.h"

namespace winsubset {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

char32_t DecodeUtf8(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    ++i;
    while (extra-- > 0 && i < text.size()) {
        value = (value << 6) | (byte(i++) & 0x3F);
    }
    return value;
}

// Simple case folding for the scripts code page 932 contains: ASCII, the
// full-width Latin letters, Greek and Cyrillic.
char32_t FoldCase(char32_t c) {
    if ((c >= U'a' && c <= U'z') || (c >= 0xFF41 && c <= 0xFF5A)) return c - 0x20;
    if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return c - 0x20;
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
    if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
    return c;
}

// Converts with iconv; at a sequence that does not convert, `onInvalid`
// appends its replacement and says how many input bytes to skip. False when
// the system has no such converter.
template <typename OnInvalid>
bool Convert(const char* to, const char* from, const char* text, size_t length, std::string& result,
             OnInvalid onInvalid) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* in = const_cast<char*>(text);  // iconv's signature; it does not write
    size_t inLeft = length;
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<size_t>(out - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            const size_t skip = std::min(onInvalid(in, inLeft, result), inLeft);
            in += skip;
            inLeft -= skip;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return true;
}

}  // namespace

std::string AnsiToUtf8(const char* text) {
    std::string result;
    if (text == nullptr) {
        return result;
    }
    // An invalid or truncated sequence: mark one byte and go on.
    const auto markByte = [](const char*, size_t, std::string& out) {
        out += kReplacement;
        return size_t{1};
    };
    if (!Convert("UTF-8", "CP932", text, std::strlen(text), result, markByte)) {
        // No converter: keep ASCII, mark everything else.
        for (const char* p = text; *p != '\0'; ++p) {
            if (static_cast<unsigned char>(*p) < 0x80) {
                result += *p;
            } else {
                result += kReplacement;
            }
        }
    }
    return result;
}

std::u32string ClassNameKey(const char* name) {
    const std::string utf8 = AnsiToUtf8(name);
    std::u32string key;
    for (size_t i = 0; i < utf8.size();) {
        key += FoldCase(DecodeUtf8(utf8, i));
    }
    return key;
}

std::string Utf8ToAnsi(const std::string& text) {
    // A character the code page lacks becomes '?', its whole UTF-8
    // sequence skipped.
    const auto questionMark = [](const char* in, size_t left, std::string& out) {
        out += '?';
        size_t skip = 1;
        while (skip < left && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) {
            ++skip;
        }
        return skip;
    };
    std::string result;
    Convert("CP932", "UTF-8", text.data(), text.size(), result, questionMark);
    return result;
}

}  // namespace winsubset
