#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "internal.h"

namespace winx11 {
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

}  // namespace

std::string AnsiToUtf8(const char* text) {
    std::string result;
    if (text == nullptr) {
        return result;
    }
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark everything else.
        for (const char* p = text; *p != '\0'; ++p) {
            if (static_cast<unsigned char>(*p) < 0x80) {
                result += *p;
            } else {
                result += kReplacement;
            }
        }
        return result;
    }
    char* in = const_cast<char*>(text);
    size_t inLeft = std::strlen(text);
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<size_t>(out - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // An invalid or truncated sequence: mark one byte and go on.
            result += kReplacement;
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
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

}  // namespace winx11

namespace winx11 {

std::string Utf8ToAnsi(const std::string& text) {
    std::string result;
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return result;
    }
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[64];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<size_t>(out - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            result += '?';
            // Skip the whole UTF-8 sequence that did not convert.
            do {
                ++in;
                --inLeft;
            } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return result;
}

}  // namespace winx11
