// Owners for Win32 handles: each closes its handle exactly once, on every path.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <utility>

namespace karvo {

template <typename Handle, auto Close, std::intptr_t Invalid>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Owned() { reset(); }

    static Handle none() {
        if constexpr (Invalid == 0) return Handle{};
        else return reinterpret_cast<Handle>(Invalid);
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return valid(); }
    bool valid() const { return handle_ != none() && handle_ != Handle{}; }
    Handle release() { return std::exchange(handle_, none()); }
    void reset(Handle handle = none()) {
        if (valid()) Close(handle_);
        handle_ = handle;
    }
    // For APIs that fill in a handle through a pointer.
    Handle* receive() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = none();
};

namespace detail {
inline void closeHandle(HANDLE h) { CloseHandle(h); }
inline void closeKey(HKEY k) { RegCloseKey(k); }
inline void closeService(SC_HANDLE s) { CloseServiceHandle(s); }
inline void closeFind(HANDLE h) { FindClose(h); }
inline void closeFile(std::FILE* f) { std::fclose(f); }
}  // namespace detail

// Process, thread, pipe and file handles (0 and INVALID_HANDLE_VALUE both mean none).
using UniqueHandle = Owned<HANDLE, detail::closeHandle, -1>;
using UniqueKey = Owned<HKEY, detail::closeKey, 0>;
using UniqueService = Owned<SC_HANDLE, detail::closeService, 0>;
using UniqueFind = Owned<HANDLE, detail::closeFind, -1>;
using UniqueFile = Owned<std::FILE*, detail::closeFile, 0>;

}  // namespace karvo
