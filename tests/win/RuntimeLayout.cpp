#include "win/RuntimeLayout.h"

#include "support/TextConv.h"

#include <windows.h>

#include <stdexcept>

#include "config/ConfigKeys.h"

namespace karvo::test {
namespace {

std::string unescape(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(value.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += value[i];
        }
    }
    return out;
}

void copyOrThrow(const std::string& from, const std::string& to) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}

}  // namespace

FakeJvmRecord FakeJvmRecord::parse(const std::string& text) {
    FakeJvmRecord record;
    for (const auto& line : lines(text)) {
        const auto colon = line.find(": ");
        if (colon == std::string::npos) continue;
        record.entries_.emplace_back(line.substr(0, colon), unescape(line.substr(colon + 2)));
    }
    return record;
}

std::vector<std::string> FakeJvmRecord::all(const std::string& key) const {
    std::vector<std::string> values;
    for (const auto& [k, v] : entries_)
        if (k == key) values.push_back(v);
    return values;
}

std::optional<std::string> FakeJvmRecord::first(const std::string& key) const {
    for (const auto& [k, v] : entries_)
        if (k == key) return v;
    return std::nullopt;
}

bool FakeJvmRecord::has(const std::string& key, const std::string& value) const {
    for (const auto& [k, v] : entries_)
        if (k == key && v == value) return true;
    return false;
}

std::map<ConfigKey, std::string> serviceKeys(const std::string& serviceName) {
    return {{Key::ServiceName, serviceName},
            {Key::LauncherType, "4"},
            {Key::MainClass, "com.example.Main"},
            {Key::SearchSequence, "B.\\jre"},
            {Key::MinJavaVersion, "1.6"},
            {Key::MessageMainClassNotFound, "NO-RUNTIME-CLASS"},
            {Key::MessageMainMethodNotFound, "NO-MAIN-METHOD"},
            {Key::MessageInternalError, "INTERNAL {0}"}};
}

RuntimeLayout::RuntimeLayout(const std::string& name, std::map<ConfigKey, std::string> keys,
                             const std::string& script, const std::vector<IncludedFile>& files)
    : dir_(name) {
    exe_ = dir_.file("svc.exe");
    if (!files.empty()) {
        std::string names;
        for (const auto& file : files) names += (names.empty() ? "" : ";") + file.name;
        keys[Key::IncludedFileCount] = std::to_string(files.size());
        keys[Key::IncludedFileNames] = names;
    }
    writeConfiguredExe(exe_, blockWith(std::move(keys)), files);
    for (const char* sub : {"jre", "jre\\bin", "jre\\bin\\client"})
        CreateDirectoryA(dir_.file(sub).c_str(), nullptr);
    const std::string fixtures = buildDirectory() + "fixtures\\";
    copyOrThrow(fixtures + "fakejava\\java.exe", dir_.file("jre\\bin\\java.exe"));
    copyOrThrow(fixtures + "fakejvm\\jvm.dll", dir_.file("jre\\bin\\client\\jvm.dll"));
    setScript(script);
}

void RuntimeLayout::setScript(const std::string& script) {
    writeFile(dir_.file("jre\\bin\\client\\fakejvm.ini"),
              "script=" + script + "\nrecord=" + recordPath() + "\n");
}

FakeJvmRecord RuntimeLayout::record() const {
    return FakeJvmRecord::parse(readFile(recordPath()).value_or(""));
}

bool RuntimeLayout::waitForRecord(const std::string& key, unsigned timeoutMs) const {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    do {
        if (record().has(key)) return true;
        Sleep(100);
    } while (GetTickCount64() < end);
    return record().has(key);
}

std::string utf8(const std::u16string& text) { return toNarrow(text, CP_UTF8); }

}  // namespace karvo::test
