// A readable, seekable run of bytes: the launcher's own file, or a buffer in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace karvo {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Absolute seek. Seeking past the end succeeds; the next read then returns 0 bytes.
    virtual bool seek(std::int64_t offset) = 0;
    // Reads up to size bytes; returns false on an I/O failure. bytesRead says how many arrived.
    virtual bool read(void* buffer, std::size_t size, std::size_t& bytesRead) = 0;
    virtual std::int64_t position() const = 0;
    // Total size when known; used to refuse lengths that cannot possibly be satisfied.
    virtual std::optional<std::int64_t> size() const = 0;
    // The platform's error code of the last failed operation, for log lines.
    virtual std::uint32_t lastError() const { return 0; }
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool seek(std::int64_t offset) override;
    bool read(void* buffer, std::size_t size, std::size_t& bytesRead) override;
    std::int64_t position() const override { return position_; }
    std::optional<std::int64_t> size() const override {
        return static_cast<std::int64_t>(bytes_.size());
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::int64_t position_ = 0;
};

}  // namespace karvo
