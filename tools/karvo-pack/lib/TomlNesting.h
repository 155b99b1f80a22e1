// How deep a TOML text nests, found without parsing it. The TOML library builds and frees
// nested tables recursively: a key of some ten thousand dotted parts, a table header as
// deep, or brackets nested as far overflow the stack. The packer measures first and refuses
// such a text with one line instead.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace karvo::pack {

// The deepest nesting a description may have: a description needs three or four levels.
inline constexpr std::size_t MaxDescriptionNesting = 64;

// The 1-based line where the nesting first exceeds maxDepth, or nothing. The depth of a
// value is the parts of its table header, plus the parts of its key and of the keys of the
// inline tables around it, plus the arrays and inline tables it is in. Strings and comments
// do not count. A text that is not valid TOML is measured as far as it goes; the parser
// then reports what is wrong.
std::optional<std::size_t> lineNestingTooDeep(std::string_view text, std::size_t maxDepth);

}  // namespace karvo::pack
