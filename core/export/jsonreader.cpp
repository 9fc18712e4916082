#include "core/export/jsonreader.h"

#include "engine/ktb_utils.h"

#include <charconv>

JsonReader::JsonReader(std::FILE* stream)
    : m_stream(stream)
{
}

int JsonReader::peekByte()
{
    if (m_used == m_size) {
        m_size = std::fread(m_buffer, 1, sizeof m_buffer, m_stream);
        m_used = 0;
        if (m_size == 0) {
            return -1;
        }
    }
    return static_cast<unsigned char>(m_buffer[m_used]);
}

int JsonReader::readByte()
{
    const int byte = peekByte();
    if (byte >= 0) {
        ++m_used;
        ++m_position;
    }
    return byte;
}

bool JsonReader::fail(const std::string& what)
{
    if (m_error.empty()) {
        m_error = std::ferror(m_stream) ? "the file cannot be read" : what + " at byte " + std::to_string(m_position);
    }
    return false;
}

bool JsonReader::skipBlanks()
{
    for (;;) {
        const int byte = peekByte();
        if (byte != ' ' && byte != '\t' && byte != '\n' && byte != '\r') {
            return byte >= 0;
        }
        readByte();
    }
}

void JsonReader::valueDone() { m_expect = m_inObject.empty() ? Expect::Nothing : Expect::CommaOrEnd; }

bool JsonReader::next(Token& token)
{
    if (!m_error.empty()) {
        return false;
    }
    for (;;) {
        if (!skipBlanks()) {
            if (m_expect == Expect::Nothing) {
                token = Token::End;
                return true;
            }
            return fail("the document ends early");
        }
        const int byte = readByte();
        switch (m_expect) {
        case Expect::Nothing:
            return fail("more after the end of the document");
        case Expect::Colon:
            if (byte != ':') {
                return fail("':' expected");
            }
            m_expect = Expect::Value;
            continue;
        case Expect::CommaOrEnd:
            if (byte == ',') {
                m_expect = m_inObject.back() ? Expect::Key : Expect::Value;
                m_firstInContainer = false;
                continue;
            }
            if (byte == (m_inObject.back() ? '}' : ']')) {
                token = m_inObject.back() ? Token::ObjectEnd : Token::ArrayEnd;
                m_inObject.pop_back();
                valueDone();
                return true;
            }
            return fail("',' or the end of the object or array expected");
        case Expect::KeyOrEnd:
        case Expect::Key:
            if (byte == '}' && m_expect == Expect::KeyOrEnd) {
                token = Token::ObjectEnd;
                m_inObject.pop_back();
                valueDone();
                return true;
            }
            if (byte != '"') {
                return fail("a key expected");
            }
            if (!readString()) {
                return false;
            }
            token = Token::Key;
            m_expect = Expect::Colon;
            return true;
        case Expect::Value:
            break;
        }
        // A value, or the end of an array that is still empty.
        if (byte == ']' && m_firstInContainer && !m_inObject.empty() && !m_inObject.back()) {
            token = Token::ArrayEnd;
            m_inObject.pop_back();
            m_firstInContainer = false;
            valueDone();
            return true;
        }
        m_firstInContainer = false;
        switch (byte) {
        case '{':
            m_inObject.push_back(true);
            m_expect = Expect::KeyOrEnd;
            token = Token::ObjectBegin;
            return true;
        case '[':
            m_inObject.push_back(false);
            m_expect = Expect::Value;
            m_firstInContainer = true;
            token = Token::ArrayBegin;
            return true;
        case '"':
            if (!readString()) {
                return false;
            }
            token = Token::String;
            break;
        case 't':
            token = Token::True;
            if (!readWord("rue")) {
                return false;
            }
            break;
        case 'f':
            token = Token::False;
            if (!readWord("alse")) {
                return false;
            }
            break;
        case 'n':
            token = Token::Null;
            if (!readWord("ull")) {
                return false;
            }
            break;
        default:
            if (byte != '-' && (byte < '0' || byte > '9')) {
                return fail("a value expected");
            }
            if (!readNumber(byte)) {
                return false;
            }
            token = Token::Number;
        }
        valueDone();
        return true;
    }
}

bool JsonReader::readWord(const char* rest)
{
    for (; *rest != 0; ++rest) {
        if (readByte() != *rest) {
            return fail("a value expected");
        }
    }
    return true;
}

bool JsonReader::readNumber(int first)
{
    m_text.assign(1, static_cast<char>(first));
    for (;;) {
        const int byte = peekByte();
        if ((byte >= '0' && byte <= '9') || byte == '.' || byte == 'e' || byte == 'E' || byte == '+' || byte == '-') {
            m_text += static_cast<char>(readByte());
            continue;
        }
        break;
    }
    // The grammar: -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    std::size_t i = m_text[0] == '-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < m_text.size() && m_text[i] >= '0' && m_text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    const std::size_t intStart = i;
    const std::size_t intDigits = digits();
    bool sound = intDigits > 0 && (intDigits == 1 || m_text[intStart] != '0');
    if (sound && i < m_text.size() && m_text[i] == '.') {
        ++i;
        sound = digits() > 0;
    }
    if (sound && i < m_text.size() && (m_text[i] == 'e' || m_text[i] == 'E')) {
        ++i;
        if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-')) {
            ++i;
        }
        sound = digits() > 0;
    }
    return sound && i == m_text.size() ? true : fail("a malformed number");
}

bool JsonReader::appendEscape()
{
    const auto hex4 = [this](std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int byte = readByte();
            int digit = -1;
            if (byte >= '0' && byte <= '9') {
                digit = byte - '0';
            } else if (byte >= 'a' && byte <= 'f') {
                digit = byte - 'a' + 10;
            } else if (byte >= 'A' && byte <= 'F') {
                digit = byte - 'A' + 10;
            }
            if (digit < 0) {
                return false;
            }
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    };
    const int byte = readByte();
    switch (byte) {
    case '"':
    case '\\':
    case '/':
        m_text += static_cast<char>(byte);
        return true;
    case 'b':
        m_text += '\b';
        return true;
    case 'f':
        m_text += '\f';
        return true;
    case 'n':
        m_text += '\n';
        return true;
    case 'r':
        m_text += '\r';
        return true;
    case 't':
        m_text += '\t';
        return true;
    case 'u':
        break;
    default:
        return fail("an unknown escape");
    }
    std::uint32_t code = 0;
    if (!hex4(code)) {
        return fail("a malformed \\u escape");
    }
    if (code >= 0xDC00 && code <= 0xDFFF) {
        return fail("a lone low surrogate");
    }
    if (code >= 0xD800 && code <= 0xDBFF) {
        std::uint32_t low = 0;
        if (readByte() != '\\' || readByte() != 'u' || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
            return fail("a lone high surrogate");
        }
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    if (code < 0x80) {
        m_text += static_cast<char>(code);
    } else if (code < 0x800) {
        m_text += static_cast<char>(0xC0 | code >> 6);
        m_text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        m_text += static_cast<char>(0xE0 | code >> 12);
        m_text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        m_text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        m_text += static_cast<char>(0xF0 | code >> 18);
        m_text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        m_text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        m_text += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
}

bool JsonReader::readString()
{
    m_text.clear();
    for (;;) {
        // Plain bytes are taken from the buffer a run at a time.
        if (m_used < m_size) {
            std::size_t end = m_used;
            while (end < m_size && m_buffer[end] != '"' && m_buffer[end] != '\\'
                && static_cast<unsigned char>(m_buffer[end]) >= 0x20) {
                ++end;
            }
            m_text.append(m_buffer + m_used, end - m_used);
            m_position += end - m_used;
            m_used = end;
        }
        const int byte = readByte();
        if (byte < 0) {
            return fail("the document ends inside a string");
        }
        if (byte == '"') {
            // JSON is UTF-8; a name in another encoding comes as base64 in its own key.
            return ktbIsUtf8(m_text) || fail("a text that is not UTF-8");
        }
        if (byte == '\\') {
            if (!appendEscape()) {
                return false;
            }
            continue;
        }
        if (byte < 0x20) {
            return fail("a control character inside a string");
        }
        m_text += static_cast<char>(byte);
    }
}

bool JsonReader::skipValue(Token first)
{
    if (first != Token::ObjectBegin && first != Token::ArrayBegin) {
        return true;
    }
    int depth = 1;
    Token token = Token::End;
    while (depth > 0) {
        if (!next(token)) {
            return false;
        }
        if (token == Token::ObjectBegin || token == Token::ArrayBegin) {
            ++depth;
        } else if (token == Token::ObjectEnd || token == Token::ArrayEnd) {
            --depth;
        }
    }
    return true;
}

bool JsonReader::number(std::uint64_t limit, std::uint64_t& value) const
{
    const char* end = m_text.data() + m_text.size();
    const auto [at, error] = std::from_chars(m_text.data(), end, value);
    return error == std::errc() && at == end && value <= limit;
}
