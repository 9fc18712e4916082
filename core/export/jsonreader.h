#pragma once
// A JSON reader that streams: it reads a file through a small buffer and hands out one token at a
// time, so a document of any size is read in constant memory. It checks the grammar as it goes (RFC
// 8259): a token is only handed out when it may stand where it stands, and a text only when it is UTF-8.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class JsonReader {
public:
    enum class Token { ObjectBegin, ObjectEnd, ArrayBegin, ArrayEnd, Key, String, Number, True, False, Null, End };

    /// Reads from an open stream (not closed here).
    explicit JsonReader(std::FILE* stream);

    /// The next token; false at a syntax error (error() tells what and where) or a read error. After
    /// the whole document it answers End (and a second value is an error).
    bool next(Token& token);
    /// The text of the last Key or String (UTF-8, escapes resolved) or Number (as written).
    const std::string& text() const { return m_text; }
    /// Skips the value whose first token was just read (an object or an array with everything in it).
    bool skipValue(Token first);
    /// Bytes read so far.
    std::uint64_t position() const { return m_position; }
    const std::string& error() const { return m_error; }

    /// The last Number as an unsigned integer below or equal to limit; false for fractions, signs,
    /// exponents or larger values.
    bool number(std::uint64_t limit, std::uint64_t& value) const;

private:
    enum class Expect { Value, KeyOrEnd, Key, Colon, CommaOrEnd, Nothing };

    int peekByte();
    int readByte();
    bool fail(const std::string& what);
    bool skipBlanks();
    bool readString();
    bool readNumber(int first);
    bool readWord(const char* rest);
    bool appendEscape();
    /// After a value: what the container it stands in expects next.
    void valueDone();

    std::FILE* m_stream;
    char m_buffer[1 << 16];
    std::size_t m_used = 0;
    std::size_t m_size = 0;
    std::uint64_t m_position = 0;
    std::string m_text;
    std::string m_error;
    std::vector<bool> m_inObject; ///< per open container: an object (else an array)
    Expect m_expect = Expect::Value;
    bool m_firstInContainer = false;
};
