package karvo.pack;

/** A text as the packer quotes it in its messages (a TOML string). */
final class TomlText {
    private TomlText() {}

    private static boolean isControl(char c) {
        return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
    }

    static String quoted(String text) {
        boolean literal = text.indexOf('\'') < 0 && text.chars().noneMatch(c -> isControl((char) c));
        if (literal) return "'" + text + "'";
        StringBuilder out = new StringBuilder("\"");
        for (char c : text.toCharArray()) {
            switch (c) {
                case '"' -> out.append("\\\"");
                case '\\' -> out.append("\\\\");
                case '\b' -> out.append("\\b");
                case '\t' -> out.append("\\t");
                case '\n' -> out.append("\\n");
                case '\f' -> out.append("\\f");
                case '\r' -> out.append("\\r");
                default -> {
                    if (isControl(c)) out.append(String.format("\\u%04X", (int) c));
                    else out.append(c);
                }
            }
        }
        return out.append('"').toString();
    }
}
