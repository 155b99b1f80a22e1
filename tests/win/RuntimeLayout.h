// A runnable service layout for tests that start the real launcher: a scratch directory
// with the configured "svc.exe", the fake "jre\bin\java.exe" and the stand-in
// "jre\bin\client\jvm.dll" with its "fakejvm.ini", and the stand-in's record.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win/TestSupport.h"

namespace karvo::test {

// What the stand-in JVM wrote down, in order.
class FakeJvmRecord {
public:
    static FakeJvmRecord parse(const std::string& text);
    // Every value of a key, in order.
    std::vector<std::string> all(const std::string& key) const;
    std::optional<std::string> first(const std::string& key) const;
    bool has(const std::string& key) const { return first(key).has_value(); }
    bool has(const std::string& key, const std::string& value) const;
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

class RuntimeLayout {
public:
    // The keys are added to a service configuration that finds the runtime in ".\jre".
    // Included files, when given, are carried in the executable (their count and names are
    // added to the keys).
    RuntimeLayout(const std::string& name, std::map<ConfigKey, std::string> keys,
                  const std::string& script, const std::vector<IncludedFile>& files = {});
    const std::string& directory() const { return dir_.path(); }
    const std::string& executable() const { return exe_; }
    std::string recordPath() const { return dir_.file("fakejvm.record"); }
    void setScript(const std::string& script);
    FakeJvmRecord record() const;
    // Waits (bounded) until the record has the key; false on time-out.
    bool waitForRecord(const std::string& key, unsigned timeoutMs) const;

private:
    ScratchDir dir_;
    std::string exe_;
};

// The configuration every layout starts from (the service name is the caller's).
std::map<ConfigKey, std::string> serviceKeys(const std::string& serviceName);

// UTF-16 to UTF-8, as the stand-in records parameters.
std::string utf8(const std::u16string& text);

}  // namespace karvo::test
