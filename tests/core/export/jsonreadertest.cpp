// The streaming JSON reader accepts what RFC 8259 allows, hands out the texts with their escapes
// resolved, and refuses every malformed document with the place of the fault.
#include "core/export/jsonreader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

/// Reads a whole document; the tokens as letters (o O a A k s n t f z), or "error: ..." at a fault.
std::string tokens(const std::string& text, std::string* strings = nullptr)
{
    std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    JsonReader reader(stream);
    std::string answer;
    JsonReader::Token token {};
    while (reader.next(token) && token != JsonReader::Token::End) {
        answer += "oOaAksntfz"[static_cast<int>(token)];
        if (strings != nullptr && (token == JsonReader::Token::String || token == JsonReader::Token::Key)) {
            *strings += reader.text() + "|";
        }
    }
    std::fclose(stream);
    return reader.error().empty() ? answer : "error: " + reader.error();
}

TEST(JsonReader, ReadsEveryKindOfValueWithEscapesResolved)
{
    std::string strings;
    EXPECT_EQ(
        tokens(R"( {"a": [1, -2.5e+3, true, false, null, {}, []], "b\u00e9\"\\\/": "\ud83c\udfb5\n"} )", &strings),
        "okanntfzoOaAAksO");
    EXPECT_EQ(strings, "a|b\xC3\xA9\"\\/|\xF0\x9F\x8E\xB5\n|");
    // Longer than the reader's buffer, in one string.
    const std::string longText(200000, 'x');
    strings.clear();
    EXPECT_EQ(tokens("[\"" + longText + "\"]", &strings), "asA");
    EXPECT_EQ(strings, longText + "|");
}

TEST(JsonReader, TokensAcrossTheEndOfItsBufferAreReadWhole)
{
    // Each token in turn straddles the 64 KiB the reader reads at a time.
    const std::string tail = R"(["\u00e9\ud83c\udfb5", -12.5e+3, true, null])";
    for (std::size_t shift = 0; shift < tail.size(); ++shift) {
        const std::string document = "[\"" + std::string(65536 - 2 - tail.size() + shift, 'x') + "\", " + tail + "]";
        std::string strings;
        ASSERT_EQ(tokens(document, &strings), "asasntzAA") << shift;
        ASSERT_EQ(strings.substr(strings.size() - 7), "\xC3\xA9\xF0\x9F\x8E\xB5|") << shift;
    }
}

class JsonReaderRefuses : public ::testing::TestWithParam<const char*> { };

TEST_P(JsonReaderRefuses, AMalformedDocument) { EXPECT_EQ(tokens(GetParam()).rfind("error: ", 0), 0u) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(Faults, JsonReaderRefuses,
    ::testing::Values("", "[1,]", "[1 2]", "{\"a\" 1}", "{\"a\": 1,}", "{1: 2}", "[01]", "[1.]", "[-]", "[1e]",
        "[\"a\\x\"]", "[\"\\ud800\"]", "[\"\\udc00\"]", "[\"a\nb\"]", "[tru]", "[1]]", "[1] [2]", "{\"a\": [}",
        "[\"open", "[\"caf\xE9\"]", "[\"\xC3\"]", "[\"\xED\xA0\x80\"]", "{\"\xFF\": 1}", "[\"\xC3\\u00e9\"]"));

} // namespace
