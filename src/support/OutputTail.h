// The last few kilobytes a program wrote: kept while its output is drained, so that when it
// fails the reason it printed can be shown to an administrator. Appending is cheap and never
// waits on anything but the short lock, so the drain that feeds it never stalls the program.
#pragma once
#include <atomic>
#include <cstddef>
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
    // A spin lock rather than std::mutex: the lock is held only while a few kilobytes are
    // copied, and std::mutex would bring the POSIX-threads layer into the launcher.
    class Hold {
    public:
        explicit Hold(std::atomic_flag& flag) : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Hold() { flag_.clear(std::memory_order_release); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        std::atomic_flag& flag_;
    };

    mutable std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
    std::size_t capacity_;
    std::string kept_;
};

}  // namespace karvo
