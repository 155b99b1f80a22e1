#include "TomlNesting.h"

#include <vector>

namespace karvo::pack {
namespace {

// One pass over the text with an explicit stack, so that measuring cannot itself run out
// of stack. Only what decides the depth is recognised: strings and comments (skipped),
// table headers, keys and their dots, brackets and braces.
class NestingScanner {
public:
    NestingScanner(std::string_view text, std::size_t maxDepth) : text_(text), max_(maxDepth) {}

    std::optional<std::size_t> scan() {
        while (at_ < text_.size() && !tooDeepLine_) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
                ++at_;
                if (open_.empty()) startKey(headerDepth_);
            } else if (c == '#') {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
            } else if (c == '"' || c == '\'') {
                skipString();
                if (inKey_) keyStarted_ = true;
            } else if (inKey_) {
                keyCharacter(c);
            } else {
                valueCharacter(c);
            }
        }
        return tooDeepLine_;
    }

private:
    struct Open {
        char closer;        // ']' or '}'
        std::size_t depth;  // depth of what is directly inside
    };

    void startKey(std::size_t depth) {
        inKey_ = true;
        keyStarted_ = false;
        keyDepth_ = depth;
        keyParts_ = 1;
    }

    void check(std::size_t depth) {
        if (depth > max_ && !tooDeepLine_) tooDeepLine_ = line_;
    }

    void keyCharacter(char c) {
        if (c == '[' && open_.empty() && !keyStarted_) {
            tableHeader();
        } else if (c == '.') {
            check(keyDepth_ + ++keyParts_);
            ++at_;
        } else if (c == '=') {
            inKey_ = false;
            valueDepth_ = keyDepth_ + keyParts_;
            check(valueDepth_);
            ++at_;
        } else if (c == '}' && !open_.empty() && open_.back().closer == '}') {
            close();
        } else {
            if (c != ' ' && c != '\t' && c != '\r' && c != ',') keyStarted_ = true;
            ++at_;
        }
    }

    // [a.b.c] or [[a.b.c]]: the tables that follow live as deep as the header has parts.
    void tableHeader() {
        ++at_;
        std::size_t parts = 1;
        while (at_ < text_.size() && text_[at_] != ']' && text_[at_] != '\n') {
            const char c = text_[at_];
            if (c == '"' || c == '\'') {
                skipString();
                continue;
            }
            if (c == '.') check(++parts);
            ++at_;
        }
        headerDepth_ = parts;
        inKey_ = false;  // the rest of the line is no key
        valueDepth_ = parts;
    }

    void valueCharacter(char c) {
        ++at_;
        if (c == '[' || c == '{') {
            const std::size_t depth = valueDepth_ + 1;
            check(depth);
            open_.push_back({c == '[' ? ']' : '}', depth});
            if (c == '{') startKey(depth);
            else valueDepth_ = depth;
        } else if (c == ',' && !open_.empty()) {
            if (open_.back().closer == '}') startKey(open_.back().depth);
            else valueDepth_ = open_.back().depth;
        } else if ((c == ']' || c == '}') && !open_.empty() && open_.back().closer == c) {
            --at_;
            close();
        }
    }

    void close() {
        ++at_;
        open_.pop_back();
        inKey_ = false;
        valueDepth_ = open_.empty() ? headerDepth_ : open_.back().depth;
    }

    // Basic and literal strings, one line or several; an unclosed one ends the scan of
    // that string at the line's end or the text's end.
    void skipString() {
        const char quote = text_[at_];
        const bool multiline = text_.substr(at_, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
        at_ += multiline ? 3 : 1;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                if (!multiline) return;
                ++line_;
            } else if (c == '\\' && quote == '"') {
                ++at_;
                if (at_ < text_.size() && text_[at_] == '\n') ++line_;
            } else if (c == quote) {
                if (!multiline) {
                    ++at_;
                    return;
                }
                std::size_t run = 0;
                while (at_ < text_.size() && text_[at_] == quote) ++run, ++at_;
                if (run >= 3) return;
                continue;
            }
            ++at_;
        }
    }

    std::string_view text_;
    std::size_t max_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::optional<std::size_t> tooDeepLine_;
    std::vector<Open> open_;
    std::size_t headerDepth_ = 0;
    bool inKey_ = true;
    bool keyStarted_ = false;
    std::size_t keyDepth_ = 0;
    std::size_t keyParts_ = 1;
    std::size_t valueDepth_ = 0;
};

}  // namespace

std::optional<std::size_t> lineNestingTooDeep(std::string_view text, std::size_t maxDepth) {
    return NestingScanner(text, maxDepth).scan();
}

}  // namespace karvo::pack
