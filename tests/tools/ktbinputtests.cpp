// Inputs that once gave wrong values without a word: each is now refused, saying where, or read as it
// really is. Imports that are refused leave no catalog behind.
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct SilentValue {
    const char* what;
    const char* input; ///< the file's name: its extension says what it is
    std::string bytes;
    std::vector<std::string> command; ///< "INPUT" and "TARGET" stand for the input and a new catalog
    int status;
    std::string out; ///< a part of standard output
    std::string err; ///< a part of standard error
};

std::string json(const std::string& disc, const std::string& head = R"("katalox": "export", "version": 1, )")
{
    return "{" + head + R"("filesets": [{"discs": [{"serial": "0000-0001", )" + disc + "}]}]}";
}

const std::vector<std::string> s_import = { "import", "INPUT", "TARGET" };

std::string startingWithAnEndOfDisc()
{
    CatalogBuilder catalog;
    catalog.rawByte(6);
    return catalog.bytes();
}

/// A disc that says it uses 2^63-1 bytes beside a sound one.
std::string withAHugeDisc()
{
    CatalogBuilder catalog;
    catalog.addEmptyDisc({ .serial = 1, .title = "Huge", .used = INT64_MAX, .capacity = 734003200 });
    catalog.addEmptyDisc({ .serial = 2, .title = "Small", .used = 1000, .capacity = 734003200 });
    return catalog.bytes();
}

std::vector<SilentValue> silentValues()
{
    const std::string oneFile = R"("entries": [{"name": "a", "size": 5}])";
    return {
        { "a catalog starting with an end-of-disc mark", "end.ktb", startingWithAnEndOfDisc(), { "find", "x", "INPUT" },
            2, "", "end.ktb: damaged record at offset 256" },
        { "used bytes of 2^63-1", "huge.ktb", withAHugeDisc(), { "stats", "--by", "disc", "INPUT" }, 2,
            "\t9223372036854775807\t734003200\tdamaged\t",
            "huge.ktb: the disc \"Huge\" at offset 256 is damaged: it says 9223372036854775807 bytes used of "
            "734003200" },
        { "a total beyond 2^63-1", "total.ktb", withAHugeDisc(), { "stats", "--json", "INPUT" }, 2,
            "\"capacity\": 734003200,", "is damaged" },
        { "claimed counts", "counts.json", json(R"("files": 999, "folders": 777, )" + oneFile), s_import, 0,
            "1 files, 0 folders", "" },
        { "negative used", "used.json", json(R"("used": -5, )" + oneFile), s_import, 2, "",
            "\"used\" must be a whole number from 0 to 9223372036854775807" },
        { "negative capacity", "capacity.json", json(R"("capacity": -1, )" + oneFile), s_import, 2, "",
            "\"capacity\" must be a whole number from 0 to 9223372036854775807" },
        { "unknown version", "version.json", json(oneFile, R"("katalox": "export", "version": 2, )"), s_import, 2, "",
            "another version than 1" },
        { "wrong format tag", "tag.json", json(oneFile, R"("katalox": "statistics", "version": 1, )"), s_import, 2, "",
            "not a catalog export" },
        { "a name that is no UTF-8", "name.json",
            json(R"("entries": [{"name": "caf)"
                 "\xE9"
                 R"(", "size": 5}])"),
            s_import, 2, "", "a text that is not UTF-8" },
        { "a size of 2^64", "huge.txt", "1\ta\n18446744073709551616\tb\n", s_import, 2, "",
            "huge.txt, line 2: a size larger than 9223372036854775807 bytes" },
        { "a size of 2^64-1", "max.txt", "18446744073709551615\ta\n", s_import, 2, "",
            "max.txt, line 1: a size larger than 9223372036854775807 bytes" },
        { "sizes adding up beyond 2^63-1", "sum.txt", "4611686018427387904\ta\n4611686018427387904\tb\n", s_import, 2,
            "", "sum.txt, line 2: the sizes add up to more than 9223372036854775807 bytes" },
        { "a NUL byte", "nul.txt", std::string("1\ta\n2\tb") + '\0' + "3\tc\n", s_import, 2, "",
            "nul.txt, line 2: a NUL byte" },
    };
}

TEST_F(KtbTest, SilentValuesAreRefusedOrReadAsTheyAre)
{
    int number = 0;
    for (const SilentValue& value : silentValues()) {
        const std::string input = m_folder.file(value.input);
        const std::string target = m_folder.file("target" + std::to_string(++number) + ".ktb");
        ASSERT_TRUE(writeFileBytes(input, value.bytes));
        std::vector<std::string> command = value.command;
        for (std::string& argument : command) {
            argument = argument == "INPUT" ? input : argument == "TARGET" ? target : argument;
        }
        const ToolRun run = ktb(command);
        EXPECT_EQ(run.status, value.status) << value.what << "\n" << run.err;
        EXPECT_NE(run.out.find(value.out), std::string::npos) << value.what << "\n" << run.out;
        EXPECT_NE(run.err.find(value.err), std::string::npos) << value.what << "\n" << run.err;
        if (value.command == s_import && value.status != 0) {
            EXPECT_FALSE(std::filesystem::exists(target)) << value.what;
        }
    }
}

} // namespace
