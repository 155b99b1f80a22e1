// The launcher's argument splitting over any UTF-16 text: the wide command line of the
// Java host and the configured argument texts pass through it.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "launch/ArgumentSplitter.h"

using namespace karvo;
using karvo::fuzz::utf16FromBytes;

namespace {

// Without quotes only blanks separate and nothing is removed but the blanks.
std::vector<std::u16string> splitOnBlanks(const std::u16string& text) {
    std::vector<std::u16string> pieces;
    std::u16string piece;
    for (char16_t unit : text) {
        if (unit != u' ') {
            piece += unit;
        } else if (!piece.empty()) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text =
        utf16FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto arguments = trySplitArguments(text);
    if (!arguments) {
        KARVO_FUZZ_CHECK(text.find_first_of(u"\"'") != std::u16string::npos);
        return 0;
    }
    // Splitting only removes characters: blanks and quotes.
    std::size_t kept = 0;
    for (const auto& argument : *arguments) kept += argument.size();
    KARVO_FUZZ_CHECK(kept <= text.size());
    if (text.find_first_of(u"\"'") == std::u16string::npos) {
        KARVO_FUZZ_CHECK(*arguments == splitOnBlanks(text));
    }
    // The arguments put back in double quotes come apart into the same arguments, as long
    // as none of them holds a double quote itself.
    std::u16string quoted;
    bool hasDoubleQuote = false;
    for (const auto& argument : *arguments) {
        hasDoubleQuote = hasDoubleQuote || argument.find(u'"') != std::u16string::npos;
        quoted += u"\"" + argument + u"\" ";
    }
    if (!hasDoubleQuote) {
        const auto again = trySplitArguments(quoted);
        KARVO_FUZZ_CHECK(again && *again == *arguments);
    }
    return 0;
}
