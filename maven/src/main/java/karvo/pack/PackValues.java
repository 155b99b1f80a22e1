package karvo.pack;

import java.io.ByteArrayOutputStream;
import java.util.List;
import java.util.Optional;

/**
 * Turns one value into the text the block stores for a setting, with every check the
 * launcher's limits call for: the same rules, in the same order, as the packer's.
 */
public final class PackValues {
    private PackValues() {}

    /** How a value is read: the kind and limits of its key, and the name the user wrote. */
    public static final class ValueRules {
        final String label;
        final KeyKind kind;
        final int maxLength;
        final char listSeparator;
        final String unit;  // "milliseconds" or "seconds" for a duration, else ""

        public ValueRules(String label, KeyKind kind, int maxLength, char listSeparator) {
            this(label, kind, maxLength, listSeparator, "");
        }

        ValueRules(String label, KeyKind kind, int maxLength, char listSeparator, String unit) {
            this.label = label;
            this.kind = kind;
            this.maxLength = maxLength;
            this.listSeparator = listSeparator;
            this.unit = unit;
        }

        String label() {
            return label;
        }

        KeyKind kind() {
            return kind;
        }

        int maxLength() {
            return maxLength;
        }

        char listSeparator() {
            return listSeparator;
        }
    }

    public static ValueRules rulesFor(KeyInfo info, String label) {
        String unit = IntegerBounds.find(info.number()).map(IntegerBounds::unit)
                .filter(u -> u.equals("milliseconds") || u.equals("seconds")).orElse("");
        return new ValueRules(label, info.kind(), info.maxLength(), info.listSeparator(), unit);
    }

    // The characters of the bytes 0x80 to 0x9F; the rest of Windows-1252 equals Latin-1.
    private static final int[] HIGH_CONTROLS = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

    static int windows1252Byte(int c) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
        for (int i = 0; i < HIGH_CONTROLS.length; ++i) {
            if (HIGH_CONTROLS[i] == c) return 0x80 + i;
        }
        return -1;
    }

    /** The character of a Windows-1252 byte; the five undefined bytes stand for themselves. */
    static int windows1252Char(int b) {
        return b >= 0x80 && b < 0xA0 ? HIGH_CONTROLS[b - 0x80] : b;
    }

    static String codePointName(int c) {
        return String.format("U+%04X", c);
    }

    private static void checkLength(String label, int length, int maxLength, String unit, String setting)
            throws PackRefusal {
        if (length > maxLength) {
            throw new PackRefusal(setting, label + " is " + length + " " + unit
                    + " long; the launcher accepts at most " + maxLength);
        }
    }

    // A NUL ends a text inside the launcher, so everything after it would be lost silently.
    private static void checkNoNul(String label, boolean hasNul, String setting) throws PackRefusal {
        if (hasNul) {
            throw new PackRefusal(setting, label + " contains a NUL character, which would cut the text short");
        }
    }

    static byte[] convertString(String text, String label, String setting) throws PackRefusal {
        ByteArrayOutputStream out = new ByteArrayOutputStream(text.length());
        for (int at = 0; at < text.length();) {
            int c = text.codePointAt(at);
            at += Character.charCount(c);
            int b = Character.isSurrogate((char) c) ? -1 : windows1252Byte(c);
            if (b < 0) {
                String bad = Character.isSurrogate((char) c) ? "an invalid UTF-8 sequence" : codePointName(c);
                throw new PackRefusal(setting, label + " contains " + bad
                        + ", which the Windows-1252 code page of 8-bit texts cannot hold");
            }
            out.write(b);
        }
        checkNoNul(label, text.indexOf('\0') >= 0, setting);
        return out.toByteArray();
    }

    private static String acceptedNumberForms(ValueRules rules) {
        if (!rules.unit.isEmpty()) {
            return "a whole number of " + rules.unit + ", or a duration with its unit: ms, s, m or h (such as "
                    + "\"500ms\", \"30s\", \"5m\", \"1h\"), that is a whole number of " + rules.unit;
        }
        return rules.kind() == KeyKind.FLAG
                ? "true, false, an integer or a string holding a decimal integer (such as \"1\")"
                : "an integer or a string holding a decimal integer (such as \"4\")";
    }

    private static String numberText(long value, ValueRules rules, String setting) throws PackRefusal {
        if (value < Integer.MIN_VALUE || value > Integer.MAX_VALUE) {
            throw new PackRefusal(setting, rules.label() + " = " + value + " does not fit the launcher's 32-bit integers");
        }
        return Long.toString(value);
    }

    private static byte[] joinList(List<String> entries, ValueRules rules, String setting) throws PackRefusal {
        ByteArrayOutputStream joined = new ByteArrayOutputStream();
        int index = 0;
        for (String element : entries) {
            ++index;
            String label = rules.label() + " entry " + index;
            byte[] entry = convertString(element, label, setting);
            for (byte b : entry) {
                if (b == rules.listSeparator()) {
                    throw new PackRefusal(setting, label + " contains the list separator '" + rules.listSeparator()
                            + "'; give each entry as its own array element");
                }
            }
            if (index > 1) joined.write(rules.listSeparator());
            joined.writeBytes(entry);
        }
        return joined.toByteArray();
    }

    private static byte[] textValue(Value value, ValueRules rules, String setting) throws PackRefusal {
        if (value instanceof Value.Text t) return convertString(t.text(), rules.label(), setting);
        if (value instanceof Value.TextList list) {
            if (rules.listSeparator() != '\0') return joinList(list.entries(), rules, setting);
            throw new PackRefusal(setting, rules.label() + " is not a list; give it as one string");
        }
        throw new PackRefusal(setting, rules.label()
                + (rules.listSeparator() != '\0' ? " must be a string or an array of strings" : " must be a string"));
    }

    /** The 8-bit text of a text, flag or int setting (Windows-1252 bytes). */
    public static byte[] narrowValue(Value value, ValueRules rules, String setting) throws PackRefusal {
        boolean numeric = rules.kind() == KeyKind.FLAG || rules.kind() == KeyKind.INT;
        byte[] text;
        if (rules.kind() == KeyKind.FLAG && value instanceof Value.Bool b) {
            text = ascii(b.value() ? "1" : "0");
        } else if (numeric && value instanceof Value.Integer i) {
            text = ascii(numberText(i.value(), rules, setting));
        } else if (numeric) {
            // The launcher reads a word such as "on" as 0: refuse it rather than store a
            // setting that silently means off.
            if (!(value instanceof Value.Text t)) {
                throw new PackRefusal(setting, rules.label() + " must be " + acceptedNumberForms(rules));
            }
            text = convertString(t.text(), rules.label(), setting);
            Optional<Long> duration = durationIn(t.text(), rules.unit);
            if (duration.isPresent() && duration.get() <= Integer.MAX_VALUE) {
                text = ascii(Long.toString(duration.get()));
            } else if (!IntegerBounds.decimalInteger(t.text()).isPresent()) {
                throw new PackRefusal(setting, rules.label() + " = " + TomlText.quoted(t.text())
                        + " is not a number; it must be " + acceptedNumberForms(rules));
            }
        } else {
            text = textValue(value, rules, setting);
        }
        checkLength(rules.label(), text.length, rules.maxLength(), "characters", setting);
        return text;
    }

    /**
     * A duration written with its unit ("500ms", "30s", "5m", "1h") in the unit a setting
     * counts in; nothing when it is no such duration or no whole number of that unit.
     */
    static Optional<Long> durationIn(String text, String unit) {
        long perUnit = unit.equals("milliseconds") ? 1 : unit.equals("seconds") ? 1000 : 0;
        if (perUnit == 0) return Optional.empty();
        String[] suffixes = {"ms", "s", "m", "h"};  // "ms" before "m" and "s", which it ends in too
        long[] milliseconds = {1, 1000, 60000, 3600000};
        for (int i = 0; i < suffixes.length; ++i) {
            if (!text.endsWith(suffixes[i])) continue;
            String digits = text.substring(0, text.length() - suffixes[i].length());
            if (digits.isEmpty() || digits.length() > 10) return Optional.empty();
            long value = 0;
            for (char c : digits.toCharArray()) {
                if (c < '0' || c > '9') return Optional.empty();
                value = value * 10 + (c - '0');
            }
            long total = value * milliseconds[i];
            if (total % perUnit != 0) return Optional.empty();
            return Optional.of(total / perUnit);
        }
        return Optional.empty();
    }

    /** The UTF-16 text of a wide setting. */
    public static String wideValue(Value value, ValueRules rules, String setting) throws PackRefusal {
        if (!(value instanceof Value.Text t)) throw new PackRefusal(setting, rules.label() + " must be a string");
        checkNoNul(rules.label(), t.text().indexOf('\0') >= 0, setting);
        checkLength(rules.label(), t.text().length(), rules.maxLength(), "UTF-16 units", setting);
        return t.text();
    }

    /** A plain string (such as a locale or an included file's name) as Windows-1252. */
    public static byte[] narrowString(String text, String label, int maxLength, String setting) throws PackRefusal {
        byte[] bytes = convertString(text, label, setting);
        checkLength(label, bytes.length, maxLength, "characters", setting);
        return bytes;
    }

    static byte[] ascii(String text) {
        return text.getBytes(java.nio.charset.StandardCharsets.ISO_8859_1);
    }
}
