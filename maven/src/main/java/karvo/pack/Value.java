package karvo.pack;

import java.util.List;

/**
 * One value of a description, in the forms a description can hold: a text, an integer, a
 * truth value or a list of texts. The writer judges each form as the packer does.
 */
public interface Value {
    static final class Text implements Value {
        private final String text;

        public Text(String text) {
            this.text = text;
        }

        public String text() {
            return text;
        }
    }

    static final class Integer implements Value {
        private final long value;

        public Integer(long value) {
            this.value = value;
        }

        public long value() {
            return value;
        }
    }

    static final class Bool implements Value {
        private final boolean value;

        public Bool(boolean value) {
            this.value = value;
        }

        public boolean value() {
            return value;
        }
    }

    static final class TextList implements Value {
        private final List<String> entries;

        public TextList(List<String> entries) {
            this.entries = entries;
        }

        public List<String> entries() {
            return entries;
        }
    }

    static Value of(String text) {
        return new Text(text);
    }
}
