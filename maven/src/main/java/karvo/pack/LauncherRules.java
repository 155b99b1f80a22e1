package karvo.pack;

import java.util.ArrayList;
import java.util.List;
import java.util.Optional;

/**
 * The launcher's own rules the writer applies before a value reaches a block: accounts,
 * Java versions, restart modes and included-file names. Each function answers exactly as the
 * launcher's function of the same name.
 */
public final class LauncherRules {
    private LauncherRules() {}

    // ---- service accounts

    private static boolean equalsIgnoringCase(String a, String b) {
        if (a.length() != b.length()) return false;
        for (int i = 0; i < a.length(); ++i) {
            if (lowerAscii(a.charAt(i)) != lowerAscii(b.charAt(i))) return false;
        }
        return true;
    }

    private static char lowerAscii(char c) {
        return c >= 'A' && c <= 'Z' ? (char) (c - 'A' + 'a') : c;
    }

    // Characters the system refuses in account and domain names, plus control characters.
    private static boolean isValidNamePart(String part) {
        if (part.isEmpty() || part.length() > 256) return false;
        if (part.charAt(0) == ' ' || part.endsWith(" ") || part.endsWith(".")) return false;
        for (char c : part.toCharArray()) {
            if (c < 0x20 || c == 0x7F || "\"/\\[]:;|=,+*?<>@".indexOf(c) >= 0) return false;
        }
        return true;
    }

    /**
     * Whether a service may be installed to run as this account: one the system manages, or a
     * user account that names its domain (".\\user", "DOMAIN\\user"), whose password is given
     * at install and never stored.
     */
    public static boolean parseServiceAccount(String configured) {
        if (configured.isEmpty() || equalsIgnoringCase(configured, "LocalSystem")
                || equalsIgnoringCase(configured, ".\\LocalSystem")) {
            return true;
        }
        String authority = "NT AUTHORITY\\";
        if (configured.length() > authority.length()
                && equalsIgnoringCase(configured.substring(0, authority.length()), authority)) {
            String user = configured.substring(authority.length());
            if (equalsIgnoringCase(user, "LocalService") || equalsIgnoringCase(user, "NetworkService")) return true;
        }
        int slash = configured.indexOf('\\');
        String domain = slash < 0 ? "" : configured.substring(0, slash);
        String user = slash < 0 ? configured : configured.substring(slash + 1);
        // "." is this machine, as in ".\\LocalSystem".
        boolean thisMachine = domain.equals(".");
        if (slash >= 0 && !thisMachine && !isValidNamePart(domain)) return false;
        if (!isValidNamePart(user)) return false;
        if (equalsIgnoringCase(domain, "NT SERVICE")) return true;
        if (equalsIgnoringCase(domain, "NT AUTHORITY")) return false;
        if (user.length() > 1 && user.endsWith("$")) return true;
        // A bare user name would leave the system to guess which account is meant.
        return slash >= 0;
    }

    // ---- Java versions

    private static boolean isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    private static boolean isSeparator(char c) {
        return c == '.' || c == '_' || c == '-' || c == '+';
    }

    private static boolean isDigits(String text) {
        return !text.isEmpty() && text.chars().allMatch(c -> c >= '0' && c <= '9');
    }

    private static String withoutLeadingZeros(String digits) {
        int at = 0;
        while (digits.length() - at > 1 && digits.charAt(at) == '0') ++at;
        return digits.substring(at);
    }

    static String leadingVersionPart(String version) {
        int nul = version.indexOf('\0');
        if (nul >= 0) version = version.substring(0, nul);
        int start = 0;
        while (start < version.length() && isBlank(version.charAt(start))) ++start;
        int end = start;
        while (end < version.length() && version.charAt(end) != '"' && !isBlank(version.charAt(end))) ++end;
        return version.substring(start, end);
    }

    private static List<String> rawPieces(String version) {
        version = leadingVersionPart(version);
        List<String> pieces = new ArrayList<>();
        if (version.isEmpty()) return pieces;
        int start = 0;
        for (int i = 0; i <= version.length(); ++i) {
            if (i == version.length() || isSeparator(version.charAt(i))) {
                pieces.add(version.substring(start, i));
                start = i + 1;
            }
        }
        return pieces;
    }

    // "1.N..." loses its "1", so that 1.8.0_392 reads as 8.0.392.
    private static List<String> versionPieces(String version) {
        List<String> pieces = rawPieces(version);
        if (!pieces.isEmpty() && isDigits(pieces.get(0)) && withoutLeadingZeros(pieces.get(0)).equals("1")) {
            pieces.remove(0);
        }
        return pieces;
    }

    private static int comparePiece(String a, String b) {
        boolean numberA = isDigits(a), numberB = isDigits(b);
        if (numberA != numberB) return numberA ? -1 : 1;
        if (numberA) {
            a = withoutLeadingZeros(a);
            b = withoutLeadingZeros(b);
            if (a.length() != b.length()) return a.length() < b.length() ? -1 : 1;
        }
        // The launcher compares bytes; the pieces here are Windows-1252, so chars compare alike.
        for (int i = 0; i < a.length() && i < b.length(); ++i) {
            char x = a.charAt(i), y = b.charAt(i);
            if (x != y) return x < y ? -1 : 1;
        }
        if (a.length() != b.length()) return a.length() < b.length() ? -1 : 1;
        return 0;
    }

    /** Orders two Java versions by their numbered pieces, as the launcher's search does. */
    public static int compareVersions(String a, String b) {
        List<String> x = versionPieces(a), y = versionPieces(b);
        for (int i = 0;; ++i) {
            boolean haveA = i < x.size(), haveB = i < y.size();
            if (!haveA || !haveB) return haveA == haveB ? 0 : (haveA ? 1 : -1);
            int order = comparePiece(x.get(i), y.get(i));
            if (order != 0) return order;
        }
    }

    // ---- restart modes

    public static boolean parseRestartMode(String text) {
        return text.isEmpty() || text.equals("never") || text.equals("on-failure") || text.equals("always");
    }

    // ---- included file names

    static boolean isReservedDeviceName(String step) {
        int dot = step.indexOf('.');
        String stem = dot < 0 ? step : step.substring(0, dot);
        while (stem.endsWith(" ")) stem = stem.substring(0, stem.length() - 1);
        String upper = asciiUpper(stem);
        if (List.of("CON", "PRN", "AUX", "NUL").contains(upper)) return true;
        return upper.length() == 4 && (upper.startsWith("COM") || upper.startsWith("LPT"))
                && upper.charAt(3) >= '1' && upper.charAt(3) <= '9';
    }

    private static String asciiUpper(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) out.append(c >= 'a' && c <= 'z' ? (char) (c - 'a' + 'A') : c);
        return out.toString();
    }

    /** What is wrong with an included file's name, or nothing. */
    public static Optional<String> includedFileNameProblem(String name) {
        if (name.isEmpty()) return Optional.of("is empty");
        if (name.indexOf(';') >= 0) return Optional.of("contains ';', which separates the names in the executable");
        if (name.indexOf('/') >= 0) return Optional.of("contains '/'; use '\\' between the directory and the file name");
        if (name.indexOf(':') >= 0) return Optional.of("has a drive or a ':'");
        if (name.charAt(0) == '\\') return Optional.of("is absolute; it must be relative to the extraction directory");
        for (char c : name.toCharArray()) {
            if (c < 0x20 || "<>\"|?*".indexOf(c) >= 0) {
                return Optional.of("contains a character that Windows does not allow in file names");
            }
        }
        String[] steps = name.split("\\\\", -1);
        for (String part : steps) {
            if (part.equals(".") || part.equals("..")) return Optional.of("contains a '.' or '..' step");
        }
        if (steps.length > 2) {
            return Optional.of("has more than one directory level; the launcher creates only one directory");
        }
        for (String part : steps) {
            if (part.isEmpty()) return Optional.of("has an empty directory or file name");
            if (part.endsWith(".") || part.endsWith(" ")) {
                return Optional.of("has a part that ends with '.' or a blank, which Windows drops");
            }
            if (isReservedDeviceName(part)) return Optional.of("uses a reserved device name such as NUL or COM1");
        }
        return Optional.empty();
    }
}
