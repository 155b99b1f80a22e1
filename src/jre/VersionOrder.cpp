#include "jre/VersionOrder.h"

#include <algorithm>
#include <cstdint>

namespace karvo {
namespace {

// The byte at position i of a C text: its terminator and everything after read as 0.
unsigned char byteAt(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// strncmp over texts that end at their first NUL, as the registry and files deliver them.
int compareBounded(std::string_view a, std::string_view b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char x = byteAt(a, i), y = byteAt(b, i);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

std::string_view untilNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isSeparator(char c) { return c == '.' || c == '_' || c == '-' || c == '+'; }

bool isDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

using Pieces = std::vector<std::string_view>;

Pieces rawPieces(std::string_view version) {
    version = leadingVersionPart(version);
    Pieces pieces;
    if (version.empty()) return pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= version.size(); ++i) {
        if (i == version.size() || isSeparator(version[i])) {
            pieces.push_back(version.substr(start, i - start));
            start = i + 1;
        }
    }
    return pieces;
}

std::string_view withoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return digits;
}

// "1.N..." loses its "1", so that 1.8.0_392 reads as 8.0.392; a bare "1" becomes no piece
// at all, the whole legacy family.
Pieces versionPieces(std::string_view version) {
    Pieces pieces = rawPieces(version);
    if (!pieces.empty() && isDigits(pieces.front()) && withoutLeadingZeros(pieces.front()) == "1")
        pieces.erase(pieces.begin());
    return pieces;
}

// A maximum of just "1" meant "any 1.x" and still does: the legacy family ends with 8.
Pieces maximumPieces(std::string_view max) {
    const Pieces raw = rawPieces(max);
    if (raw.size() == 1 && isDigits(raw.front()) && withoutLeadingZeros(raw.front()) == "1")
        return Pieces{"8"};
    return versionPieces(max);
}

int comparePiece(std::string_view a, std::string_view b) {
    const bool numberA = isDigits(a), numberB = isDigits(b);
    if (numberA != numberB) return numberA ? -1 : 1;
    if (numberA) {
        a = withoutLeadingZeros(a);
        b = withoutLeadingZeros(b);
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    }
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

bool isPreReleasePiece(std::string_view piece) {
    for (std::string_view marker : {"beta", "ea", "rc"}) {
        if (piece.starts_with(marker)) return true;
    }
    return false;
}

// Where a piece stands before its text is looked at: a pre-release marker below a missing
// piece, so that 21-ea comes before 21 and 21.0.1 as Java orders them, and a missing piece
// below any other.
int pieceRank(const Pieces& pieces, std::size_t i) {
    if (i >= pieces.size()) return 1;
    return isPreReleasePiece(pieces[i]) ? 0 : 2;
}

// Over the first count pieces.
int comparePieceLists(const Pieces& a, const Pieces& b, std::size_t count = SIZE_MAX) {
    for (std::size_t i = 0; i < count; ++i) {
        const bool haveA = i < a.size(), haveB = i < b.size();
        if (!haveA && !haveB) return 0;
        const int rankA = pieceRank(a, i), rankB = pieceRank(b, i);
        if (rankA != rankB) return rankA < rankB ? -1 : 1;
        if (const int order = comparePiece(a[i], b[i])) return order;
    }
    return 0;
}

}  // namespace

std::string_view leadingVersionPart(std::string_view version) {
    version = untilNul(version);
    while (!version.empty() && isBlank(version.front())) version.remove_prefix(1);
    std::size_t end = 0;
    while (end < version.size() && version[end] != '"' && !isBlank(version[end])) ++end;
    return version.substr(0, end);
}

int compareVersions(std::string_view a, std::string_view b) {
    return comparePieceLists(versionPieces(a), versionPieces(b));
}

int compareVersionsThenText(std::string_view a, std::string_view b) {
    if (const int order = compareVersions(a, b)) return order;
    const int text = compareVersionText(a, b);
    return (text > 0) - (text < 0);
}

unsigned long featureRelease(std::string_view version) {
    const auto pieces = versionPieces(version);
    if (pieces.empty() || !isDigits(pieces.front())) return 0;
    unsigned long value = 0;
    for (const char c : pieces.front()) {
        // Nothing real comes near this; the cap only keeps a hostile text from overflowing.
        if (value > 1000000) return value;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value;
}

bool isPreReleaseVersion(std::string_view version) {
    const Pieces pieces = rawPieces(version);
    return std::any_of(pieces.begin(), pieces.end(), isPreReleasePiece);
}

VersionVerdict judgeVersion(std::string_view version, std::string_view min, std::string_view max,
                            bool allowPreRelease) {
    if (!allowPreRelease && isPreReleaseVersion(version)) return VersionVerdict::PreRelease;
    const auto pieces = versionPieces(version);
    // A minimum without pieces ("" or the bare legacy "1") sets no bound. Compared as a list
    // it would refuse a version whose first piece is a pre-release marker.
    const auto minPieces = versionPieces(min);
    if (!minPieces.empty() && comparePieceLists(pieces, minPieces) < 0)
        return VersionVerdict::BelowMinimum;
    const auto maxPieces = maximumPieces(max);
    if (comparePieceLists(pieces, maxPieces, maxPieces.size()) > 0)
        return VersionVerdict::AboveMaximum;
    return VersionVerdict::Accepted;
}

bool isVersionAcceptable(std::string_view version, std::string_view min, std::string_view max,
                         bool allowPreRelease) {
    return judgeVersion(version, min, max, allowPreRelease) == VersionVerdict::Accepted;
}

bool isVersionNameInRange(std::string_view name, std::string_view min, std::string_view max) {
    const auto pieces = versionPieces(name);
    const auto minPieces = versionPieces(min);
    if (comparePieceLists(pieces, minPieces, std::min(pieces.size(), minPieces.size())) < 0)
        return false;
    const auto maxPieces = maximumPieces(max);
    if (comparePieceLists(pieces, maxPieces, std::min(pieces.size(), maxPieces.size())) > 0)
        return false;
    return true;
}

std::optional<std::string> parseVersionBanner(std::string_view output) {
    output = output.substr(0, std::min(output.size(), MaxBannerOutputBytes));
    std::size_t start = 0;
    for (std::size_t line = 0; line < MaxBannerLines && start < output.size(); ++line) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        const std::string_view text = output.substr(start, end - start);
        start = end + 1;
        // The options a runtime picked up from the environment are echoed first and may
        // well hold the words we look for.
        if (text.starts_with("Picked up ") || text.starts_with("NOTE: Picked up ")) continue;
        const auto at = text.find("version \"");
        if (at == std::string_view::npos) continue;
        const std::string_view rest = text.substr(at + 9);
        const auto close = rest.find('"');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view version = rest.substr(0, close);
        if (version.empty() || version.size() > MaxVersionLength) return std::nullopt;
        for (const char c : version) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= ' ' || byte == 0x7f) return std::nullopt;
        }
        return std::string(version);
    }
    return std::nullopt;
}

int compareVersionText(std::string_view a, std::string_view b) {
    return compareBounded(untilNul(a), untilNul(b), std::max(a.size(), b.size()) + 1);
}

std::vector<std::string> versionNamesToTry(std::vector<std::string> names, std::string_view min,
                                           std::string_view max) {
    std::erase_if(names,
                  [&](const std::string& name) { return !isVersionNameInRange(name, min, max); });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return compareVersionsThenText(a, b) > 0;
    });
    return names;
}

}  // namespace karvo
