package karvo.pack;

import java.util.Optional;

/**
 * The entries of the class path and of the runtime search: each stored as a kind letter
 * (and, on the class path, a digit for mandatory) before its argument, while a description
 * may give plain paths. The same rules as the packer's, function by function.
 */
public final class PathEntries {
    private PathEntries() {}

    public enum PathList { CLASS_PATH, RUNTIME_SEARCH }

    /** The stored form of one entry (empty when refused), or why it cannot be used. */
    public static final class CodedEntry {
        final String text;
        final String problem;

        CodedEntry(String text, String problem) {
            this.text = text;
            this.problem = problem;
        }
    }

    private static final String CLASS_PATH_KINDS = "SDAE";
    private static final String SEARCH_KINDS = "ABRESY";
    private static final String SEARCH_KINDS_WITHOUT_ARGUMENT = "SY";

    private static boolean isUpper(char c) {
        return c >= 'A' && c <= 'Z';
    }

    private static boolean isLower(char c) {
        return c >= 'a' && c <= 'z';
    }

    private static boolean isDigit(char c) {
        return c >= '0' && c <= '9';
    }

    // The entries are Windows-1252 bytes held one a char; messages show their characters.
    private static String shown(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) out.appendCodePoint(PackValues.windows1252Char(c & 0xFF));
        return out.toString();
    }

    private static String quoted(String text) {
        return "'" + shown(text) + "'";
    }

    private static String kindLetters(PathList list) {
        return list == PathList.CLASS_PATH ? "S, D, A or E" : "A, B, R, E, S or Y";
    }

    private static Optional<String> controlCharacter(String entry) {
        for (char c : entry.toCharArray()) {
            if (c < 0x20 || c == 0x7F) return Optional.of(String.format("U+%04X", (int) c));
        }
        return Optional.empty();
    }

    // `%NAME%`: the whole entry names one variable.
    private static Optional<String> variableName(String entry) {
        if (entry.length() < 3 || entry.charAt(0) != '%' || entry.charAt(entry.length() - 1) != '%') {
            return Optional.empty();
        }
        String name = entry.substring(1, entry.length() - 1);
        if (name.chars().anyMatch(c -> "%\\/;".indexOf(c) >= 0)) return Optional.empty();
        return Optional.of(name);
    }

    private static boolean isCode(PathList list, String entry) {
        if (!isUpper(entry.charAt(0))) return false;
        if (list == PathList.CLASS_PATH) return entry.length() >= 2 && isDigit(entry.charAt(1));
        return entry.length() == 1 || (!isLower(entry.charAt(1)) && entry.charAt(1) != ':');
    }

    private static CodedEntry checkedCode(PathList list, String entry) {
        char letter = entry.charAt(0);
        String kinds = list == PathList.CLASS_PATH ? CLASS_PATH_KINDS : SEARCH_KINDS;
        String name = list == PathList.CLASS_PATH ? "class path" : "runtime search";
        if (kinds.indexOf(letter) < 0) {
            return new CodedEntry("", quoted(entry) + " is written as a code, but '" + letter
                    + "' is not a kind letter of the " + name + " (" + kindLetters(list)
                    + "); write a plain path such as 'lib\\app.jar' or '.\\" + shown(entry) + "' (docs/configuration.md)");
        }
        boolean takesArgument = list == PathList.CLASS_PATH || SEARCH_KINDS_WITHOUT_ARGUMENT.indexOf(letter) < 0;
        String argument = entry.substring(1);
        if (list == PathList.CLASS_PATH) {
            if (entry.charAt(1) != '0' && entry.charAt(1) != '1') {
                return new CodedEntry("", quoted(entry) + ": the digit after the kind letter is 1 (mandatory) or 0 "
                        + "(optional), not " + entry.charAt(1));
            }
            argument = entry.substring(2);
        }
        if (takesArgument && argument.isEmpty()) {
            return new CodedEntry("", quoted(entry) + " names nothing after its kind letter");
        }
        if (!takesArgument && !argument.isEmpty()) {
            return new CodedEntry("", quoted(entry) + ": '" + letter + "' takes nothing after it; write it alone");
        }
        return new CodedEntry(entry, "");
    }

    private static CodedEntry classPathEntry(String entry) {
        Optional<String> variable = variableName(entry);
        if (variable.isPresent()) return new CodedEntry("E1" + variable.get(), "");
        String path = entry.replace('/', '\\');
        if (path.indexOf('*') >= 0 || path.indexOf('?') >= 0) {
            if (path.equals("*.jar")) return new CodedEntry("S1.", "");
            int star = path.lastIndexOf("\\*.jar");
            if (star >= 0 && star + 6 == path.length() && star > 0
                    && path.substring(0, star).chars().noneMatch(c -> c == '*' || c == '?')) {
                return new CodedEntry("S1" + path.substring(0, star), "");
            }
            return new CodedEntry("", quoted(entry) + ": a wildcard is only understood as DIR\\*.jar, the archives "
                    + "of a directory");
        }
        if (path.endsWith("\\")) {
            String directory = path.substring(0, path.length() - 1);
            if (directory.isEmpty() || directory.endsWith("\\")) {
                return new CodedEntry("", quoted(entry) + " names no directory");
            }
            return new CodedEntry("D1" + directory, "");
        }
        return new CodedEntry("A1" + path, "");
    }

    private static boolean isAbsoluteOrExpanded(String path) {
        return (path.length() > 1 && path.charAt(1) == ':') || path.charAt(0) == '\\' || path.charAt(0) == '%'
                || path.charAt(0) == '$';
    }

    private static CodedEntry searchEntry(String entry) {
        StringBuilder lower = new StringBuilder();
        for (char c : entry.toCharArray()) lower.append(isUpper(c) ? (char) (c - 'A' + 'a') : c);
        if (lower.toString().equals("registry")) return new CodedEntry("Y", "");
        Optional<String> variable = variableName(entry);
        if (variable.isPresent()) return new CodedEntry("E" + variable.get(), "");
        String path = entry.replace('/', '\\');
        while (path.length() > 1 && path.endsWith("\\") && path.charAt(path.length() - 2) != ':') {
            path = path.substring(0, path.length() - 1);
        }
        return new CodedEntry((isAbsoluteOrExpanded(path) ? "A" : "B") + path, "");
    }

    /** The stored form of one entry as written in a description. */
    public static CodedEntry codedEntry(PathList list, String written) {
        if (written.isEmpty()) return new CodedEntry("", "");
        Optional<String> control = controlCharacter(written);
        if (control.isPresent()) {
            return new CodedEntry("", quoted(written) + " contains the control character " + control.get()
                    + " (in a TOML \"...\" string, \\t, \\n and the like are escapes: write '...' "
                    + "or double the backslash)");
        }
        if (isCode(list, written)) return checkedCode(list, written);
        return list == PathList.CLASS_PATH ? classPathEntry(written) : searchEntry(written);
    }

    /** The plain form that codedEntry turns back into exactly {@code stored}, where one exists. */
    static Optional<String> plainEntry(PathList list, String stored) {
        if (stored.isEmpty()) return Optional.empty();
        int codeLength = list == PathList.CLASS_PATH ? 2 : 1;
        if (stored.length() < codeLength) return Optional.empty();
        String candidate = null;
        String argument = stored.substring(codeLength);
        if (list == PathList.CLASS_PATH && stored.length() > 2 && stored.charAt(1) == '1') {
            switch (stored.charAt(0)) {
                case 'A' -> candidate = argument;
                case 'D' -> candidate = argument + "\\";
                case 'S' -> candidate = argument.equals(".") ? "*.jar" : argument + "\\*.jar";
                case 'E' -> candidate = "%" + argument + "%";
                default -> { }
            }
        } else if (list == PathList.RUNTIME_SEARCH) {
            switch (stored.charAt(0)) {
                case 'Y' -> candidate = stored.length() == 1 ? "registry" : null;
                case 'E' -> candidate = "%" + argument + "%";
                case 'A', 'B' -> candidate = argument;
                default -> { }
            }
        }
        if (candidate == null || candidate.isEmpty()) return Optional.empty();
        CodedEntry again = codedEntry(list, candidate);
        if (!again.problem.isEmpty() || !again.text.equals(stored)) return Optional.empty();
        return Optional.of(candidate);
    }

    /** Why a stored list could not be written back entry by entry, or nothing. */
    public static Optional<String> storedListProblem(PathList list, String stored) {
        for (String entry : stored.split(";", -1)) {
            if (!entry.isEmpty() && plainEntry(list, entry).isEmpty()) {
                CodedEntry again = codedEntry(list, entry);
                if (!again.problem.isEmpty()) return Optional.of(again.problem);
                if (!again.text.equals(entry)) return Optional.of(quoted(entry) + " would be read as another entry");
            }
        }
        return Optional.empty();
    }
}
