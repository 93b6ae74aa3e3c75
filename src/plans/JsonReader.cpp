#include "JsonReader.h"

namespace {

class Reader
{
public:
    explicit Reader(QByteArrayView text)
        : m_text(text)
    {
    }

    std::optional<JsonValue> document()
    {
        JsonValue value;
        skipSpace();
        if (!parseValue(value, 0)) {
            return std::nullopt;
        }
        skipSpace();
        if (m_pos != m_text.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return m_text[m_pos]; }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++m_pos;
        }
    }

    bool literal(const char* word)
    {
        const QByteArrayView w(word);
        if (m_text.sliced(m_pos).startsWith(w)) {
            m_pos += w.size();
            return true;
        }
        return false;
    }

    bool parseValue(JsonValue& out, int depth)
    {
        if (atEnd() || ++m_values > JsonReader::maxValues) {
            return false;
        }
        switch (peek()) {
        case '{':
            return parseObject(out, depth + 1);
        case '[':
            return parseArray(out, depth + 1);
        case '"':
            out.type = JsonValue::Type::String;
            return parseString(out.text);
        case 't':
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.type = JsonValue::Type::Bool;
            return literal("false");
        case 'n':
            out.type = JsonValue::Type::Null;
            return literal("null");
        default:
            out.type = JsonValue::Type::Number;
            return parseNumber(out.text);
        }
    }

    bool parseObject(JsonValue& out, int depth)
    {
        if (depth > JsonReader::maxDepth) {
            return false;
        }
        out.type = JsonValue::Type::Object;
        ++m_pos; // {
        skipSpace();
        if (!atEnd() && peek() == '}') {
            ++m_pos;
            return true;
        }
        while (true) {
            QString key;
            if (atEnd() || peek() != '"' || !parseString(key)) {
                return false;
            }
            skipSpace();
            if (atEnd() || peek() != ':') {
                return false;
            }
            ++m_pos;
            skipSpace();
            JsonValue value;
            if (!parseValue(value, depth)) {
                return false;
            }
            out.keys << key;
            out.items.push_back(std::move(value));
            skipSpace();
            if (atEnd()) {
                return false;
            }
            const char c = m_text[m_pos++];
            if (c == '}') {
                return true;
            }
            if (c != ',') {
                return false;
            }
            skipSpace();
        }
    }

    bool parseArray(JsonValue& out, int depth)
    {
        if (depth > JsonReader::maxDepth) {
            return false;
        }
        out.type = JsonValue::Type::Array;
        ++m_pos; // [
        skipSpace();
        if (!atEnd() && peek() == ']') {
            ++m_pos;
            return true;
        }
        while (true) {
            JsonValue value;
            if (!parseValue(value, depth)) {
                return false;
            }
            out.items.push_back(std::move(value));
            skipSpace();
            if (atEnd()) {
                return false;
            }
            const char c = m_text[m_pos++];
            if (c == ']') {
                return true;
            }
            if (c != ',') {
                return false;
            }
            skipSpace();
        }
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    bool digits()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && isDigit(peek())) {
            ++m_pos;
        }
        return m_pos > start;
    }

    bool parseNumber(QString& out)
    {
        const qsizetype start = m_pos;
        if (!atEnd() && peek() == '-') {
            ++m_pos;
        }
        if (atEnd()) {
            return false;
        }
        if (peek() == '0') {
            ++m_pos;
        } else if (!digits()) {
            return false;
        }
        if (!atEnd() && peek() == '.') {
            ++m_pos;
            if (!digits()) {
                return false;
            }
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++m_pos;
            if (!atEnd() && (peek() == '+' || peek() == '-')) {
                ++m_pos;
            }
            if (!digits()) {
                return false;
            }
        }
        out = QString::fromLatin1(m_text.sliced(start, m_pos - start));
        return true;
    }

    bool hex4(char16_t& unit)
    {
        if (m_text.size() - m_pos < 4) {
            return false;
        }
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                return false;
            }
            unit = static_cast<char16_t>(unit * 16 + digit);
        }
        return true;
    }

    // Runs of plain bytes are decoded as UTF-8 in one go; escapes are decoded here. An unpaired
    // surrogate escape is refused rather than turned into a replacement character.
    bool parseString(QString& out)
    {
        ++m_pos; // "
        out.clear();
        qsizetype run = m_pos;
        while (true) {
            if (atEnd()) {
                return false;
            }
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                out += QString::fromUtf8(m_text.sliced(run, m_pos - run));
                ++m_pos;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            out += QString::fromUtf8(m_text.sliced(run, m_pos - run));
            ++m_pos;
            if (atEnd()) {
                return false;
            }
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += QLatin1Char(e);
                break;
            case 'b':
                out += QChar(u'\b');
                break;
            case 'f':
                out += QChar(u'\f');
                break;
            case 'n':
                out += QChar(u'\n');
                break;
            case 'r':
                out += QChar(u'\r');
                break;
            case 't':
                out += QChar(u'\t');
                break;
            case 'u': {
                char16_t unit;
                if (!hex4(unit)) {
                    return false;
                }
                if (QChar::isLowSurrogate(unit)) {
                    return false;
                }
                if (QChar::isHighSurrogate(unit)) {
                    char16_t low;
                    if (!literal("\\u") || !hex4(low) || !QChar::isLowSurrogate(low)) {
                        return false;
                    }
                    out += QChar(unit);
                    out += QChar(low);
                } else {
                    out += QChar(unit);
                }
                break;
            }
            default:
                return false;
            }
            run = m_pos;
        }
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    qsizetype m_values = 0;
};

} // namespace

namespace JsonReader {

std::optional<JsonValue> read(QByteArrayView utf8)
{
    if (utf8.size() > maxBytes) {
        return std::nullopt;
    }
    return Reader(utf8).document();
}

} // namespace JsonReader
