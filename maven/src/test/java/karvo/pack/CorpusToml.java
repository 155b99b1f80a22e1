package karvo.pack;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * Reads a conformance description into a {@link Description}: the part of TOML that the
 * plugin's inputs can express (strings, integers, true and false, arrays of strings, the
 * [messages] table, [[include]] and [[localized]] entries). Anything else is an error of
 * the corpus, not a case, and fails loudly.
 */
final class CorpusToml {
    private final String text;
    private final Path base;
    private int at;
    private int line = 1;

    private CorpusToml(String text, Path base) {
        this.text = text;
        this.base = base;
    }

    static Description read(Path file) throws IOException {
        String text = new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
        return new CorpusToml(text, file.toAbsolutePath().getParent()).readAll();
    }

    private IllegalArgumentException error(String what) {
        return new IllegalArgumentException("corpus line " + line + ": " + what + " (outside what the plugin can express)");
    }

    private Description readAll() {
        Description d = new Description();
        Map<String, Value> table = d.settings;
        Map<String, Value> include = null;
        boolean top = true;
        while (skipBlankLines()) {
            if (peek() == '[') {
                String header = readHeader();
                include = null;
                top = false;
                switch (header) {
                    case "[messages]" -> table = d.messages;
                    case "[[include]]" -> {
                        include = new TreeMap<>();
                        table = include;
                        d.includes.add(null);
                    }
                    case "[[localized]]" -> {
                        table = new TreeMap<>();
                        d.localized.add(new Description.Localized(null, table));
                    }
                    default -> throw error("table " + header);
                }
                continue;
            }
            String key = readKey();
            skipSpaces();
            expect('=');
            skipSpaces();
            Value value = readValue();
            endOfLine();
            if (top && (key.equals("write_defaults") || key.equals("add_runtime_jar"))) {
                if (!(value instanceof Value.Bool b)) throw error(key + " must be true or false");
                if (key.equals("write_defaults")) d.writeDefaults = b.value();
                else d.addRuntimeJar = b.value();
            } else if (table.put(key, value) != null) {
                throw error("key " + key + " given twice");
            }
            if (include != null && include.containsKey("name") && include.containsKey("source")) {
                String source = ((Value.Text) include.get("source")).text();
                d.includes.set(d.includes.size() - 1,
                        new Description.Include(((Value.Text) include.get("name")).text(), base.resolve(source)));
            }
        }
        // A [[localized]] table's locale is its own field, not an entry.
        for (int i = 0; i < d.localized.size(); ++i) {
            Map<String, Value> entries = d.localized.get(i).entries();
            Value locale = entries.remove("locale");
            if (!(locale instanceof Value.Text t)) throw error("a [[localized]] table without a locale string");
            d.localized.set(i, new Description.Localized(t.text(), entries));
        }
        if (d.includes.contains(null)) throw error("an [[include]] without both name and source strings");
        return d;
    }

    private char peek() {
        return text.charAt(at);
    }

    private boolean skipBlankLines() {
        while (at < text.length()) {
            char c = peek();
            if (c == '\n') {
                ++line;
                ++at;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++at;
            } else if (c == '#') {
                while (at < text.length() && peek() != '\n') ++at;
            } else {
                return true;
            }
        }
        return false;
    }

    private void skipSpaces() {
        while (at < text.length() && (peek() == ' ' || peek() == '\t')) ++at;
    }

    private void expect(char c) {
        if (at >= text.length() || peek() != c) throw error("expected '" + c + "'");
        ++at;
    }

    private void endOfLine() {
        skipSpaces();
        if (at < text.length() && peek() == '#') while (at < text.length() && peek() != '\n') ++at;
        if (at < text.length() && peek() == '\r') ++at;
        if (at < text.length() && peek() != '\n') throw error("text after a value");
    }

    private String readHeader() {
        int end = text.indexOf('\n', at);
        String header = (end < 0 ? text.substring(at) : text.substring(at, end)).strip();
        at = end < 0 ? text.length() : end;
        return header;
    }

    private String readKey() {
        if (peek() == '"') return readBasicString();
        if (peek() == '\'') return readLiteralString();
        int start = at;
        while (at < text.length() && (Character.isLetterOrDigit(peek()) || peek() == '_' || peek() == '-')) ++at;
        if (start == at) throw error("a key");
        return text.substring(start, at);
    }

    private Value readValue() {
        char c = peek();
        if (c == '"') return Value.of(readBasicString());
        if (c == '\'') return Value.of(readLiteralString());
        if (c == '[') return readArray();
        if (text.startsWith("true", at)) {
            at += 4;
            return new Value.Bool(true);
        }
        if (text.startsWith("false", at)) {
            at += 5;
            return new Value.Bool(false);
        }
        int start = at;
        if (c == '+' || c == '-') ++at;
        while (at < text.length() && (Character.isDigit(peek()) || peek() == '_')) ++at;
        String number = text.substring(start, at).replace("_", "");
        try {
            return new Value.Integer(Long.parseLong(number));
        } catch (NumberFormatException e) {
            throw error("value " + number);
        }
    }

    private Value readArray() {
        expect('[');
        List<String> entries = new ArrayList<>();
        for (;;) {
            skipBlankLines();
            if (peek() == ']') {
                ++at;
                return new Value.TextList(entries);
            }
            if (peek() == '"') entries.add(readBasicString());
            else if (peek() == '\'') entries.add(readLiteralString());
            else throw error("an array of anything but strings");
            skipBlankLines();
            if (peek() == ',') ++at;
        }
    }

    private String readLiteralString() {
        expect('\'');
        int end = text.indexOf('\'', at);
        String value = text.substring(at, end);
        at = end + 1;
        return value;
    }

    private String readBasicString() {
        expect('"');
        StringBuilder out = new StringBuilder();
        for (;;) {
            char c = text.charAt(at++);
            if (c == '"') return out.toString();
            if (c != '\\') {
                out.append(c);
                continue;
            }
            char e = text.charAt(at++);
            switch (e) {
                case 'n' -> out.append('\n');
                case 't' -> out.append('\t');
                case 'r' -> out.append('\r');
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                case '"' -> out.append('"');
                case '\\' -> out.append('\\');
                case 'u' -> {
                    out.appendCodePoint(Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                case 'U' -> {
                    out.appendCodePoint(Integer.parseInt(text.substring(at, at + 8), 16));
                    at += 8;
                }
                default -> throw error("escape \\" + e);
            }
        }
    }
}
