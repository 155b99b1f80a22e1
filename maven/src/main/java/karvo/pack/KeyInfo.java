package karvo.pack;

import java.util.Optional;

/** One row of the launcher's key table (generated into {@link KeyTable}). */
public final class KeyInfo {
    private final int number;
    private final KeyKind kind;
    private final String name;
    private final int maxLength;
    private final char listSeparator;
    private final String packerDefault;
    private final String summary;

    public KeyInfo(int number, KeyKind kind, String name, int maxLength, char listSeparator, String packerDefault, String summary) {
        this.number = number;
        this.kind = kind;
        this.name = name;
        this.maxLength = maxLength;
        this.listSeparator = listSeparator;
        this.packerDefault = packerDefault;
        this.summary = summary;
    }

    public int number() {
        return number;
    }

    public KeyKind kind() {
        return kind;
    }

    public String name() {
        return name;
    }

    public int maxLength() {
        return maxLength;
    }

    public char listSeparator() {
        return listSeparator;
    }

    public String packerDefault() {
        return packerDefault;
    }

    public String summary() {
        return summary;
    }


    public static final String MESSAGE_PREFIX = "message_";

    public boolean isMessage() {
        return name.startsWith(MESSAGE_PREFIX);
    }

    public static Optional<KeyInfo> byName(String name) {
        return KeyTable.KEYS.stream().filter(k -> k.name.equals(name)).findFirst();
    }

    public static Optional<KeyInfo> byNumber(int number) {
        return KeyTable.KEYS.stream().filter(k -> k.number == number).findFirst();
    }
}
