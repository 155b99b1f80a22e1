// The total number of includes one collection follows. Files that include the same
// successor many times over form no cycle and stay shallow, yet without a total cap their
// reading grows exponentially: a 9 KB set of five such files kept the Java host reading
// options far longer than any service start may take.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "launch/VmOptionSet.h"

using namespace karvo;

namespace {

const std::string AppOptions = "C:\\App\\app.vmoptions";

class CountingSources final : public VmOptionSources {
public:
    bool expand(std::string&) override { return true; }
    std::string resolve(const std::string& path, const std::string*) override {
        return "C:\\App\\" + path;
    }
    std::string identity(const std::string& path) override { return path; }
    std::optional<std::string> readIncluded(const std::string& resolvedPath,
                                            const std::string&) override {
        ++reads;
        const auto found = files.find(resolvedPath);
        if (found == files.end()) return std::nullopt;
        return found->second;
    }
    void logError(const std::string& line) override { errors.push_back(line); }

    std::map<std::string, std::string> files;
    std::vector<std::string> errors;
    std::size_t reads = 0;
};

std::string includes(const std::string& name, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += "-include-options " + name + "\n";
    return text;
}

struct CountCase {
    const char* name;
    std::map<std::string, std::string> files;
    std::string defaultFile;
    std::size_t reads;
    std::size_t options;
    bool capReported;
};

TEST(VmOptionIncludeCount, TotalIncludesAreCapped) {
    const std::size_t cap = MaxIncludeCount;
    const CountCase rows[] = {
        {"fan-out of thirty over five levels stops at the cap",
         {{"C:\\App\\f0.vmo", includes("f1.vmo", 30)},
          {"C:\\App\\f1.vmo", includes("f2.vmo", 30)},
          {"C:\\App\\f2.vmo", includes("f3.vmo", 30)},
          {"C:\\App\\f3.vmo", "-Xleaf\n"}},
         includes("f0.vmo", 30),
         cap,
         245,  // depth first: f0, f1, then f2 and its 30 leaves eight times, f2, 5 leaves
         true},
        {"diamond under the cap is read in full, twice over",
         {{"C:\\App\\left.vmo", "-include-options common.vmo\n"},
          {"C:\\App\\right.vmo", "-include-options common.vmo\n"},
          {"C:\\App\\common.vmo", "-Xcommon\n"}},
         "-include-options left.vmo\n-include-options right.vmo\n",
         4,
         2,
         false},
        {"exactly the cap of one file is followed",
         {{"C:\\App\\one.vmo", "-Xone\n"}},
         includes("one.vmo", cap),
         cap,
         cap,
         false},
        {"one include past the cap is skipped",
         {{"C:\\App\\one.vmo", "-Xone\n"}},
         includes("one.vmo", cap + 1),
         cap,
         cap,
         true},
        {"missing files count as well",
         {},
         includes("missing.vmo", cap + 5),
         cap,
         0,
         true},
    };
    for (const auto& row : rows) {
        CountingSources sources;
        sources.files = row.files;
        VmOptionCollector collector(sources);
        const auto start = std::chrono::steady_clock::now();
        collector.readDefaultFile(row.defaultFile, AppOptions, AppOptions);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << row.name;
        EXPECT_EQ(sources.reads, row.reads) << row.name;
        EXPECT_EQ(collector.result().options.size(), row.options) << row.name;
        bool reported = false;
        for (const auto& error : sources.errors)
            reported = reported || error.find("includes exceed") != std::string::npos;
        EXPECT_EQ(reported, row.capReported) << row.name;
    }
}

}  // namespace
