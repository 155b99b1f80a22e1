package karvo.maven;

/** A parameter the POM gives that cannot be used; the message says what to write instead. */
public final class PomError extends Exception {
    private static final long serialVersionUID = 1L;
    private final String element;

    public PomError(String element, String message) {
        super(message);
        this.element = element;
    }

    /** The POM element to change, such as {@code <stopTimeout>}. */
    public String element() {
        return element;
    }
}
