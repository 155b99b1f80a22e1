package karvo.pack;

import java.util.Optional;

/** The range an integer setting may take (generated into {@link KeyTable}). */
public final class IntegerBounds {
    private final int key;
    private final int least;
    private final int most;
    private final String unit;
    private final String meaning;

    public IntegerBounds(int key, int least, int most, String unit, String meaning) {
        this.key = key;
        this.least = least;
        this.most = most;
        this.unit = unit;
        this.meaning = meaning;
    }

    public int key() {
        return key;
    }

    public int least() {
        return least;
    }

    public int most() {
        return most;
    }

    /** What a plain number counts: "milliseconds", "seconds", "bytes" or "". */
    public String unit() {
        return unit;
    }

    public String meaning() {
        return meaning;
    }

    public static Optional<IntegerBounds> find(int key) {
        return KeyTable.INTEGER_BOUNDS.stream().filter(b -> b.key == key).findFirst();
    }

    /** A text the launcher reads as a number: an optional sign and decimal digits within 32 bits. */
    public static Optional<Integer> decimalInteger(String text) {
        boolean negative = !text.isEmpty() && text.charAt(0) == '-';
        String digits = text.substring(!text.isEmpty() && (text.charAt(0) == '+' || negative) ? 1 : 0);
        if (digits.isEmpty()) return Optional.empty();
        long value = 0;
        for (char c : digits.toCharArray()) {
            if (c < '0' || c > '9') return Optional.empty();
            value = value * 10 + (c - '0');
            if (value > (1L << 31)) return Optional.empty();
        }
        if (negative) value = -value;
        if (value < Integer.MIN_VALUE || value > Integer.MAX_VALUE) return Optional.empty();
        return Optional.of((int) value);
    }

    /** Why a stored integer text is outside its setting's range, or nothing. */
    public static Optional<String> integerBoundsProblem(int key, String text) {
        Optional<IntegerBounds> bounds = find(key);
        if (bounds.isEmpty()) return Optional.empty();
        Optional<Integer> value = decimalInteger(text);
        IntegerBounds b = bounds.get();
        if (value.isPresent() && value.get() >= b.least && value.get() <= b.most) return Optional.empty();
        return Optional.of("give " + b.meaning + ", " + b.least + " to " + b.most);
    }
}
