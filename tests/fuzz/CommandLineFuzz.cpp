// The launcher's 8-bit command line: the tail after the program name and the command
// word, switch and service name parsed from it.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzFields.h"
#include "core/CommandLine.h"

using namespace karvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string_view tail = commandTail(line);
    KARVO_FUZZ_CHECK(line.ends_with(tail));
    KARVO_FUZZ_CHECK(tail.empty() || (tail[0] != ' ' && tail[0] != '\t'));

    for (const std::string_view text : {tail, line}) {
        const ParsedCommand parsed = parseCommandTail(text);
        if (text.empty() || (text[0] != '/' && text[0] != '-')) {
            KARVO_FUZZ_CHECK(parsed.command == Command::None && !parsed.interactive);
            KARVO_FUZZ_CHECK(parsed.word.empty() && !parsed.serviceName);
            continue;
        }
        KARVO_FUZZ_CHECK(parsed.command == lookupCommand(parsed.word));
        KARVO_FUZZ_CHECK(text.find(parsed.word) != std::string_view::npos);
        // The name is everything after its blank, unchanged: nothing is dropped from it.
        if (parsed.serviceName) {
            KARVO_FUZZ_CHECK(!parsed.serviceName->empty());
            KARVO_FUZZ_CHECK(text.ends_with(*parsed.serviceName));
        }
        if (!parsed.interactive) {
            KARVO_FUZZ_CHECK(text.find(" non-interactive") != std::string_view::npos);
        }
    }
    for (const auto& entry : commandTable()) {
        KARVO_FUZZ_CHECK(lookupCommand(entry.word) == entry.command);
    }
    return 0;
}
