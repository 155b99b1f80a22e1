#include "support/OutputTail.h"

namespace karvo {

// One byte more than the capacity is kept whenever older output exists: it tells whether
// the kept text begins at the start of a line.
void OutputTail::append(const char* data, std::size_t size) {
    if (capacity_ == 0 || size == 0) return;
    Hold hold(lock_);
    if (size > capacity_) {
        kept_.assign(data + (size - capacity_ - 1), capacity_ + 1);
        return;
    }
    kept_.append(data, size);
    // Trimmed only once twice the capacity has gathered, so each byte is moved about once.
    if (kept_.size() >= 2 * capacity_ + 1) kept_.erase(0, kept_.size() - capacity_ - 1);
}

std::vector<std::string> OutputTail::lines() const {
    std::string text;
    bool startsMidLine = false;
    {
        Hold hold(lock_);
        if (kept_.size() > capacity_) {
            const std::size_t from = kept_.size() - capacity_;
            startsMidLine = kept_[from - 1] != '\n';
            text = kept_.substr(from);
        } else {
            text = kept_;
        }
    }
    std::string_view rest = text;
    // A line cut at the front goes, unless it is all there is (one long line says more
    // than nothing).
    if (const auto lineEnd = rest.find('\n');
        startsMidLine && lineEnd != std::string_view::npos && lineEnd + 1 < rest.size())
        rest.remove_prefix(lineEnd + 1);
    std::vector<std::string> out;
    while (!rest.empty()) {
        const auto lineEnd = rest.find('\n');
        std::string line;
        for (const char c : rest.substr(0, lineEnd)) {
            if (c == '\r') continue;
            line += c == '\0' ? '?' : c;
        }
        out.push_back(std::move(line));
        if (lineEnd == std::string_view::npos) break;
        rest.remove_prefix(lineEnd + 1);
    }
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

}  // namespace karvo
