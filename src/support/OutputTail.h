// The last few kilobytes a program wrote: kept while its output is drained, so that when it
// fails the reason it printed can be shown to an administrator. Appending is cheap and never
// waits on anything but the short lock, so the drain that feeds it never stalls the program.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

inline constexpr std::size_t OutputTailBytes = 4096;

class OutputTail {
public:
    explicit OutputTail(std::size_t capacity = OutputTailBytes) : capacity_(capacity) {}

    void append(const char* data, std::size_t size);
    // The last lines written, at most `capacity` bytes of them: when older output was
    // dropped, the partial line at the front goes too (unless nothing else is left). Carriage returns are removed, NULs
    // become '?', and empty lines at the end are left out.
    std::vector<std::string> lines() const;

private:
    mutable std::mutex lock_;
    std::size_t capacity_;
    std::string kept_;
};

}  // namespace karvo
