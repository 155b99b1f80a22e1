package karvo.pack;

/**
 * A description the writer cannot use. {@code setting} is the name the packer gives the
 * offending setting ("stop_timeout", "message 'title'", "include"), so that a caller can say
 * where the user wrote it.
 */
public final class PackRefusal extends Exception {
    private static final long serialVersionUID = 1L;
    private final String setting;
    private final String table;

    public PackRefusal(String setting, String message) {
        this(setting, null, message);
    }

    /** A refusal inside one of the description's tables ("localized", "include", "messages"). */
    public PackRefusal(String setting, String table, String message) {
        super(message);
        this.setting = setting;
        this.table = table;
    }

    /** The table the refused entry is in, or null for a top-level setting. */
    public String table() {
        return table;
    }

    public String setting() {
        return setting;
    }
}
