// Launcher variables in configured texts: the fixed tokens and "${NAME}" of the
// environment, under the length limit of the buffer the text lives in.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "config/VariableExpansion.h"
#include "support/TextLimits.h"

using namespace karvo;
using karvo::fuzz::FuzzFields;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFields fields(data, size);
    const unsigned choice = fields.selector();
    const std::size_t limits[] = {MaxTextLength, MaxPathListLength, 0, 1, 16, 64};
    const std::size_t maxLength = limits[choice % std::size(limits)];
    const std::string text = fields.next();
    LauncherVariableValues values;
    values.executableDirectory = fields.next();
    values.launcherTempDir = fields.next();
    values.jvmHome = fields.next();
    values.systemTempDir = fields.next();
    const std::vector<std::string> environment = fields.rest();

    const ExpansionResult result = expandVariables(text, values, environment, maxLength);
    if (!result.ok) {
        KARVO_FUZZ_CHECK(result.text == text && result.replacements.empty());
    } else if (!result.replacements.empty()) {
        // Every step stays within the limit, and the log's last text is the result.
        for (const Replacement& step : result.replacements)
            KARVO_FUZZ_CHECK(step.text.size() <= maxLength && !step.token.empty());
        KARVO_FUZZ_CHECK(result.replacements.back().text == result.text);
    } else {
        KARVO_FUZZ_CHECK(result.text == text);
    }

    // In place with a sink, as the launcher calls it: the same outcome, the same records.
    std::string inPlace = text;
    std::size_t records = 0;
    const bool fits = expandVariables(inPlace, values, environment, maxLength,
                                      [&](const Replacement& step) {
                                          KARVO_FUZZ_CHECK(step.text.size() <= maxLength);
                                          ++records;
                                      });
    KARVO_FUZZ_CHECK(fits == result.ok);
    KARVO_FUZZ_CHECK(inPlace == result.text);
    if (fits) KARVO_FUZZ_CHECK(records == result.replacements.size());

    // Any text as the token, the first environment entry included; no step passes the limit.
    if (!environment.empty()) {
        std::string once = text;
        std::vector<Replacement> steps;
        const std::string& token = environment[0];
        replaceAllOccurrences(once, token, values.jvmHome, maxLength, steps);
        for (const Replacement& step : steps) KARVO_FUZZ_CHECK(step.text.size() <= maxLength);
    }
    jvmHomeFor(text);
    return 0;
}
