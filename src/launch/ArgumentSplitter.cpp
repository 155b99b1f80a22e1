#include "launch/ArgumentSplitter.h"

namespace karvo {
namespace {

constexpr char16_t Blank = u' ';
constexpr char16_t DoubleQuote = u'"';
constexpr char16_t SingleQuote = u'\'';
constexpr std::size_t None = std::u16string_view::npos;

bool before(std::size_t a, std::size_t b) { return a != None && (b == None || a < b); }

// Appends the argument that a quoted stretch ends: the unquoted text in front of the
// quote and the stretch's content. Returns where splitting continues, or None when the
// quote has no partner.
std::size_t extractQuotedArgument(std::vector<std::u16string>& arguments,
                                  std::u16string_view text, std::size_t quote,
                                  std::size_t argumentStart, char16_t quoteChar) {
    const std::size_t close = text.find(quoteChar, quote + 1);
    if (close == None) return None;
    std::u16string argument(text.substr(argumentStart, quote - argumentStart));
    argument.append(text.substr(quote + 1, close - quote - 1));
    arguments.push_back(std::move(argument));
    // One blank after the closing quote belongs to this argument; anything else glued
    // to the quote starts the next one.
    const std::size_t next = close + 1;
    return next < text.size() && text[next] == Blank ? next + 1 : next;
}

}  // namespace

std::optional<std::vector<std::u16string>> trySplitArguments(std::u16string_view text) {
    std::vector<std::u16string> arguments;
    std::size_t at = 0;
    // The next blank and quotes are searched for again only once splitting has passed
    // them: searching from every argument anew made a long list of short arguments cost
    // time in the square of its length.
    std::size_t doubleQuote = text.find(DoubleQuote);
    std::size_t singleQuote = text.find(SingleQuote);
    std::size_t blank = text.find(Blank);
    const auto nextFrom = [&](std::size_t& cached, char16_t unit) {
        if (cached != None && cached < at) cached = text.find(unit, at);
    };
    while (at < text.size()) {
        nextFrom(doubleQuote, DoubleQuote);
        nextFrom(singleQuote, SingleQuote);
        nextFrom(blank, Blank);
        if (blank == at) {
            ++at;
        } else if (before(blank, doubleQuote) && before(blank, singleQuote)) {
            arguments.emplace_back(text.substr(at, blank - at));
            at = blank + 1;
        } else if (before(doubleQuote, singleQuote)) {
            at = extractQuotedArgument(arguments, text, doubleQuote, at, DoubleQuote);
            if (at == None) return std::nullopt;
        } else if (singleQuote != None) {
            at = extractQuotedArgument(arguments, text, singleQuote, at, SingleQuote);
            if (at == None) return std::nullopt;
        } else {
            arguments.emplace_back(text.substr(at));
            break;
        }
    }
    return arguments;
}

}  // namespace karvo
