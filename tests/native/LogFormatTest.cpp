// Log lines as the callers format them: printf's directives, the Windows runtime's %S and
// %I64d, and wide texts converted whole instead of cut at the first foreign character.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "support/LogFormat.h"

using namespace karvo;

namespace {

// Stands in for the ANSI code page 1252: ASCII as is, the euro sign as 0x80, anything
// else as "?".
std::string codePage1252(const wchar_t* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        out += c < 0x80 ? static_cast<char>(c) : c == L'\u20ac' ? '\x80' : '?';
    }
    return out;
}

// Texts with no terminator: a precision must keep the formatter inside them.
const char Unterminated[2] = {'a', 'b'};
const wchar_t UnterminatedWide[1] = {L'c'};

std::string format(const char* text, ...) {
    va_list args;
    va_start(args, text);
    std::string out = formatLogText(text, args, codePage1252);
    va_end(args);
    return out;
}

}  // namespace

TEST(LogFormat, FormatsLikeTheRuntime) {
    const std::wstring longCommandLine = L"\"C:\\app\\svc.exe\" " + std::wstring(20000, L'a') + L" end";
    struct Row {
        const char* name;
        std::string got;
        std::string expected;
    } rows[] = {
        {"plain text", format("service main"), "service main"},
        {"trailing newline kept", format("error %d\n", 5), "error 5\n"},
        {"percent sign", format("100%% done"), "100% done"},
        {"signed and negative", format("%d %i", -42, 7), "-42 7"},
        {"unsigned and hex", format("%u %x %X %o", 4294967295u, 255u, 255u, 8u),
         "4294967295 ff FF 10"},
        {"64-bit in the Windows spelling", format("%I64d", -1234567890123LL), "-1234567890123"},
        {"64-bit in the standard spelling", format("%lld %llu", 1LL << 40, 1ULL << 63),
         "1099511627776 9223372036854775808"},
        {"width, zero fill and left alignment", format("[%5d][%-4s][%05d]", 42, "ab", 42),
         "[   42][ab  ][00042]"},
        {"star width and precision", format("[%*d][%.*s]", 4, 7, 2, "abcdef"), "[   7][ab]"},
        {"negative star width aligns left", format("[%*d]", -3, 7), "[7  ]"},
        {"precision cuts a narrow text", format("%.3s", "abcdef"), "abc"},
        {"nothing is read beyond the precision", format("%.2s|%.1S", Unterminated, UnterminatedWide),
         "ab|c"},
        {"character", format("%c%c", 'o', 'k'), "ok"},
        {"null narrow text", format("%s", static_cast<const char*>(nullptr)), "(null)"},
        {"wide text", format("command line %S", L"svc.exe __tsl_restart"),
         "command line svc.exe __tsl_restart"},
        {"wide text goes through the converter whole",
         format("command line %S.", L"a \u20ac b \u65e5 c"), "command line a \x80 b ? c."},
        {"wide text in the standard spelling", format("%ls|%ws", L"x\u20ac", L"y"), "x\x80|y"},
        {"narrow text in the Windows spelling", format("%hs", "n"), "n"},
        {"null wide text", format("%S", static_cast<const wchar_t*>(nullptr)), "(null)"},
        {"precision counts wide characters", format("%.2S", L"\u20acxyz"), "\x80x"},
        {"wide text padded", format("[%4S]", L"ab"), "[  ab]"},
        {"wide character", format("%C%lc", L'\u20ac', L'z'), "\x80z"},
        {"mixed arguments stay in step", format("%s %d %S %c %I64d %s", "a", 1, L"b", 'c', 2LL, "d"),
         "a 1 b c 2 d"},
        {"a very long wide text is kept whole", format("command line %S", longCommandLine.c_str()),
         "command line \"C:\\app\\svc.exe\" " + std::string(20000, 'a') + " end"},
        {"a very long narrow text is kept whole", format("%s", std::string(70000, 'x').c_str()),
         std::string(70000, 'x')},
        {"absurd width is capped", format("%999999999d", 1).size() == 100000 ? "capped" : "not",
         "capped"},
        {"dangling percent copied", format("50%"), "50%"},
        {"unknown conversion ends the arguments", format("a %y %d", 5), "a %y %d"},
        {"%n writes nothing", format("a%nb", static_cast<int*>(nullptr)), "ab"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected) << row.name;
}
