#include "PackPathEntries.h"

#include <algorithm>
#include <cstdio>

#include "WindowsText.h"

namespace karvo::pack {
namespace {

struct Kind {
    char letter;
    bool takesArgument;
};

constexpr Kind ClassPathKinds[]{{'S', true}, {'D', true}, {'A', true}, {'E', true}};
constexpr Kind SearchKinds[]{{'A', true}, {'B', true}, {'R', true},
                             {'E', true}, {'S', false}, {'Y', false}};

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string quoted(std::string_view text) { return "'" + windows1252ToUtf8(std::string(text)) + "'"; }

const Kind* findKind(PathList list, char letter) {
    if (list == PathList::ClassPath) {
        for (const auto& kind : ClassPathKinds)
            if (kind.letter == letter) return &kind;
    } else {
        for (const auto& kind : SearchKinds)
            if (kind.letter == letter) return &kind;
    }
    return nullptr;
}

std::string kindLetters(PathList list) {
    return list == PathList::ClassPath ? "S, D, A or E" : "A, B, R, E, S or Y";
}

std::optional<std::string> controlCharacter(std::string_view entry) {
    for (char c : entry) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", byte);
            return std::string(code);
        }
    }
    return std::nullopt;
}

// `%NAME%`: the whole entry names one variable.
std::optional<std::string> variableName(std::string_view entry) {
    if (entry.size() < 3 || entry.front() != '%' || entry.back() != '%') return std::nullopt;
    const auto name = entry.substr(1, entry.size() - 2);
    if (name.find_first_of("%\\/;") != std::string_view::npos) return std::nullopt;
    return std::string(name);
}

std::string withBackslashes(std::string_view path) {
    std::string text(path);
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

bool isCode(PathList list, std::string_view entry) {
    if (!isUpper(entry[0])) return false;
    if (list == PathList::ClassPath) return entry.size() >= 2 && isDigit(entry[1]);
    return entry.size() == 1 || (!isLower(entry[1]) && entry[1] != ':');
}

CodedEntry checkedCode(PathList list, std::string_view entry) {
    const Kind* kind = findKind(list, entry[0]);
    const std::string name = list == PathList::ClassPath ? "class path" : "runtime search";
    if (!kind) {
        return {{},
                quoted(entry) + " is written as a code, but '" + std::string(1, entry[0]) +
                    "' is not a kind letter of the " + name + " (" + kindLetters(list) +
                    "); write a plain path such as 'lib\\app.jar' or '.\\" +
                    windows1252ToUtf8(std::string(entry)) + "' (docs/configuration.md)"};
    }
    std::string_view argument = entry.substr(1);
    if (list == PathList::ClassPath) {
        if (entry[1] != '0' && entry[1] != '1') {
            return {{},
                    quoted(entry) + ": the digit after the kind letter is 1 (mandatory) or 0 "
                                    "(optional), not " + std::string(1, entry[1])};
        }
        argument = entry.substr(2);
    }
    if (kind->takesArgument && argument.empty())
        return {{}, quoted(entry) + " names nothing after its kind letter"};
    if (!kind->takesArgument && !argument.empty()) {
        return {{},
                quoted(entry) + ": '" + std::string(1, entry[0]) +
                    "' takes nothing after it; write it alone"};
    }
    return {std::string(entry), {}};
}

CodedEntry classPathEntry(std::string_view entry) {
    if (const auto name = variableName(entry)) return {"E1" + *name, {}};
    const std::string path = withBackslashes(entry);
    if (path.find_first_of("*?") != std::string::npos) {
        if (path == "*.jar") return {"S1.", {}};
        const auto star = path.rfind("\\*.jar");
        if (star != std::string::npos && star + 6 == path.size() && star > 0 &&
            path.substr(0, star).find_first_of("*?") == std::string::npos)
            return {"S1" + path.substr(0, star), {}};
        return {{},
                quoted(entry) + ": a wildcard is only understood as DIR\\*.jar, the archives "
                                "of a directory"};
    }
    if (path.back() == '\\') {
        const auto directory = path.substr(0, path.size() - 1);
        if (directory.empty() || directory.back() == '\\')
            return {{}, quoted(entry) + " names no directory"};
        return {"D1" + directory, {}};
    }
    return {"A1" + path, {}};
}

bool isAbsoluteOrExpanded(std::string_view path) {
    return (path.size() > 1 && path[1] == ':') || path[0] == '\\' || path[0] == '%' ||
           path[0] == '$';
}

CodedEntry searchEntry(std::string_view entry) {
    std::string lower(entry);
    for (char& c : lower) c = isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower == "registry") return {"Y", {}};
    if (const auto name = variableName(entry)) return {"E" + *name, {}};
    std::string path = withBackslashes(entry);
    while (path.size() > 1 && path.back() == '\\' && path[path.size() - 2] != ':') path.pop_back();
    return {(isAbsoluteOrExpanded(path) ? "A" : "B") + path, {}};
}

}  // namespace

CodedEntry codedEntry(PathList list, std::string_view written) {
    if (written.empty()) return {{}, {}};
    if (const auto control = controlCharacter(written)) {
        return {{},
                quoted(written) + " contains the control character " + *control +
                    " (in a TOML \"...\" string, \\t, \\n and the like are escapes: write '...' "
                    "or double the backslash)"};
    }
    if (isCode(list, written)) return checkedCode(list, written);
    return list == PathList::ClassPath ? classPathEntry(written) : searchEntry(written);
}

std::optional<std::string> plainEntry(PathList list, std::string_view stored) {
    if (stored.empty()) return std::nullopt;
    const std::size_t codeLength = list == PathList::ClassPath ? 2 : 1;
    if (stored.size() < codeLength) return std::nullopt;
    std::optional<std::string> candidate;
    const std::string argument(stored.substr(codeLength));
    if (list == PathList::ClassPath && stored.size() > 2 && stored[1] == '1') {
        switch (stored[0]) {
            case 'A': candidate = argument; break;
            case 'D': candidate = argument + "\\"; break;
            case 'S': candidate = argument == "." ? "*.jar" : argument + "\\*.jar"; break;
            case 'E': candidate = "%" + argument + "%"; break;
        }
    } else if (list == PathList::RuntimeSearch) {
        switch (stored[0]) {
            case 'Y':
                if (stored.size() == 1) candidate = "registry";
                break;
            case 'E': candidate = "%" + argument + "%"; break;
            case 'A':
            case 'B': candidate = argument; break;
        }
    }
    if (!candidate || candidate->empty()) return std::nullopt;
    const auto again = codedEntry(list, *candidate);
    if (!again.problem.empty() || again.text != stored) return std::nullopt;
    return candidate;
}

std::optional<std::string> storedListProblem(PathList list, std::string_view stored) {
    std::size_t start = 0;
    for (;;) {
        const auto end = stored.find(';', start);
        const auto entry = stored.substr(start, end == std::string_view::npos ? end : end - start);
        if (!entry.empty() && !plainEntry(list, entry)) {
            const auto again = codedEntry(list, entry);
            if (!again.problem.empty()) return again.problem;
            if (again.text != entry) return quoted(entry) + " would be read as another entry";
        }
        if (end == std::string_view::npos) return std::nullopt;
        start = end + 1;
    }
}

}  // namespace karvo::pack
