package karvo.pack;

/** How the launcher reads a key's value: 8-bit text, UTF-16 text, integer or flag. */
public enum KeyKind {
    TEXT,
    WIDE,
    INT,
    FLAG
}
