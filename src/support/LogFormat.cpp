#include "support/LogFormat.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace karvo {
namespace {

// Widths and precisions beyond this are cut to it.
constexpr int MaxField = 100000;

enum class Length { Default, Char, Short, Long, LongLong, Size, PtrDiff, Max, LongDouble, Wide };

// One directive with its flags, width and precision spelled out (stars replaced by their
// values), ready for the standard library's snprintf.
struct Directive {
    std::string flagsAndWidth;  // "-08" and the like, without the '%'
    bool hasPrecision = false;
    int precision = 0;
    Length length = Length::Default;
    char conversion = '\0';
};

template <typename T>
void appendFormatted(std::string& out, const std::string& spec, T value) {
    const int size = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (size <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size) + 1);
    std::snprintf(out.data() + at, static_cast<std::size_t>(size) + 1, spec.c_str(), value);
    out.resize(at + static_cast<std::size_t>(size));
}

std::string specFor(const Directive& d, const char* length, char conversion) {
    std::string spec = "%" + d.flagsAndWidth;
    if (d.hasPrecision) spec += "." + std::to_string(d.precision);
    return spec + length + conversion;
}

// A text already in 8-bit form, padded to the directive's width.
void appendText(std::string& out, const Directive& d, const char* text, std::size_t length) {
    Directive padding = d;
    padding.hasPrecision = false;
    appendFormatted(out, specFor(padding, "", 's'), std::string(text, length).c_str());
}

// With a precision, a text need not end within it: nothing beyond it is read.
template <typename Char>
std::size_t boundedLength(const Char* text, const Directive& d) {
    const std::size_t limit = d.hasPrecision ? static_cast<std::size_t>(d.precision) : SIZE_MAX;
    std::size_t length = 0;
    while (length < limit && text[length] != Char{}) ++length;
    return length;
}

void appendNarrow(std::string& out, const Directive& d, const char* text) {
    if (!text) text = "(null)";
    appendText(out, d, text, boundedLength(text, d));
}

void appendWide(std::string& out, const Directive& d, const wchar_t* text, WideToNarrow convert) {
    if (!text) return appendNarrow(out, d, nullptr);
    // The precision counts wide characters, so no 8-bit character is cut in half.
    const std::string narrow = convert(text, boundedLength(text, d));
    appendText(out, d, narrow.data(), narrow.size());
}

// Reads the flags, width, precision and length of the directive that starts after a '%';
// returns the position of its conversion character.
const char* parseDirective(const char* p, va_list& args, Directive& d) {
    while (*p && std::strchr("-+ #0", *p)) d.flagsAndWidth += *p++;
    int width = 0;
    if (*p == '*') {
        width = va_arg(args, int);
        ++p;
        if (width < 0) {
            d.flagsAndWidth += '-';  // a negative width is the '-' flag
            width = width == INT_MIN ? INT_MAX : -width;
        }
    } else {
        while (*p >= '0' && *p <= '9') {
            if (width < MaxField) width = width * 10 + (*p - '0');
            ++p;
        }
    }
    // A line padded beyond this is nonsense, not a reason to allocate gigabytes.
    if (width > MaxField) width = MaxField;
    if (width > 0) d.flagsAndWidth += std::to_string(width);
    if (*p == '.') {
        ++p;
        int precision = 0;
        if (*p == '*') {
            precision = va_arg(args, int);
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                if (precision < MaxField) precision = precision * 10 + (*p - '0');
                ++p;
            }
        }
        if (precision > MaxField) precision = MaxField;
        d.hasPrecision = precision >= 0;  // a negative precision counts as none
        d.precision = precision;
    }
    if (std::strncmp(p, "I64", 3) == 0) {
        d.length = Length::LongLong;
        p += 3;
    } else if (std::strncmp(p, "I32", 3) == 0) {
        p += 3;
    } else if (p[0] == 'h' && p[1] == 'h') {
        d.length = Length::Char;
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        d.length = Length::LongLong;
        p += 2;
    } else {
        switch (*p) {
            case 'h': d.length = Length::Short; ++p; break;
            case 'l': d.length = Length::Long; ++p; break;
            case 'w': d.length = Length::Wide; ++p; break;
            case 'q': d.length = Length::LongLong; ++p; break;
            case 'I':
            case 'z': d.length = Length::Size; ++p; break;
            case 't': d.length = Length::PtrDiff; ++p; break;
            case 'j': d.length = Length::Max; ++p; break;
            case 'L': d.length = Length::LongDouble; ++p; break;
            default: break;
        }
    }
    d.conversion = *p;
    return p;
}

void appendSigned(std::string& out, const Directive& d, va_list& args) {
    switch (d.length) {
        case Length::Long: return appendFormatted(out, specFor(d, "l", 'd'), va_arg(args, long));
        case Length::LongLong:
            return appendFormatted(out, specFor(d, "ll", 'd'), va_arg(args, long long));
        case Length::Size:
        case Length::PtrDiff:
            return appendFormatted(out, specFor(d, "ll", 'd'),
                                   static_cast<long long>(va_arg(args, std::ptrdiff_t)));
        case Length::Max:
            return appendFormatted(out, specFor(d, "ll", 'd'),
                                   static_cast<long long>(va_arg(args, std::intmax_t)));
        case Length::Char:
            return appendFormatted(out, specFor(d, "", 'd'),
                                   static_cast<int>(static_cast<signed char>(va_arg(args, int))));
        case Length::Short:
            return appendFormatted(out, specFor(d, "", 'd'),
                                   static_cast<int>(static_cast<short>(va_arg(args, int))));
        default: return appendFormatted(out, specFor(d, "", 'd'), va_arg(args, int));
    }
}

void appendUnsigned(std::string& out, const Directive& d, va_list& args) {
    const char c = d.conversion;
    switch (d.length) {
        case Length::Long: return appendFormatted(out, specFor(d, "l", c), va_arg(args, unsigned long));
        case Length::LongLong:
            return appendFormatted(out, specFor(d, "ll", c), va_arg(args, unsigned long long));
        case Length::Size:
        case Length::PtrDiff:
            return appendFormatted(out, specFor(d, "ll", c),
                                   static_cast<unsigned long long>(va_arg(args, std::size_t)));
        case Length::Max:
            return appendFormatted(out, specFor(d, "ll", c),
                                   static_cast<unsigned long long>(va_arg(args, std::uintmax_t)));
        case Length::Char:
            return appendFormatted(out, specFor(d, "", c),
                                   static_cast<unsigned>(static_cast<unsigned char>(va_arg(args, unsigned))));
        case Length::Short:
            return appendFormatted(out, specFor(d, "", c),
                                   static_cast<unsigned>(static_cast<unsigned short>(va_arg(args, unsigned))));
        default: return appendFormatted(out, specFor(d, "", c), va_arg(args, unsigned));
    }
}

}  // namespace

std::string formatLogText(const char* format, va_list args, WideToNarrow convert) {
    std::string out;
    if (!format) return out;
    va_list rest;
    va_copy(rest, args);
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p;
        Directive d;
        p = parseDirective(p + 1, rest, d);
        const bool wide = d.length == Length::Long || d.length == Length::Wide;
        switch (d.conversion) {
            case '%': out += '%'; break;
            case 'd':
            case 'i': appendSigned(out, d, rest); break;
            case 'u':
            case 'o':
            case 'x':
            case 'X': appendUnsigned(out, d, rest); break;
            case 'c':
            case 'C': {
                // Promoted to int on the way in, whatever its width.
                const int value = va_arg(rest, int);
                const bool wideChar = d.conversion == 'C' ? d.length != Length::Short : wide;
                if (wideChar) {
                    const wchar_t text[2] = {static_cast<wchar_t>(value), L'\0'};
                    appendWide(out, d, text, convert);
                } else {
                    const char text[2] = {static_cast<char>(value), '\0'};
                    appendText(out, d, text, 1);
                }
                break;
            }
            case 's':
                if (wide) appendWide(out, d, va_arg(rest, const wchar_t*), convert);
                else appendNarrow(out, d, va_arg(rest, const char*));
                break;
            case 'S':
                if (d.length == Length::Short) appendNarrow(out, d, va_arg(rest, const char*));
                else appendWide(out, d, va_arg(rest, const wchar_t*), convert);
                break;
            case 'p': appendFormatted(out, specFor(d, "", 'p'), va_arg(rest, void*)); break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (d.length == Length::LongDouble)
                    appendFormatted(out, specFor(d, "L", d.conversion), va_arg(rest, long double));
                else
                    appendFormatted(out, specFor(d, "", d.conversion), va_arg(rest, double));
                break;
            case 'n': (void)va_arg(rest, void*); break;
            default:
                out.append(start);
                va_end(rest);
                return out;
        }
        ++p;
    }
    va_end(rest);
    return out;
}

}  // namespace karvo
