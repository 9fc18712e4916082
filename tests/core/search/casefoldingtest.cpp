// The search's letter case (ktbFoldCase) against Qt's Unicode case folding, character by character,
// for names stored as UTF-8 and as Windows-1252.
#include "core/text/catalogtext.h"
#include "engine/ktb_utils.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

std::string folded(std::string_view name)
{
    std::string result;
    ktbFoldCase(name, result);
    return result;
}

} // namespace

TEST(CaseFoldingTest, EveryCharacterFoldsAsQtFoldsIt)
{
    int differences = 0;
    for (char32_t code = 0; code < 0x110000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        const QString text = QString::fromUcs4(&code, 1);
        const QByteArray utf8 = text.toUtf8();
        const QByteArray expected = text.toCaseFolded().toUtf8();
        const std::string ours = folded(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        if (ours != expected.toStdString() && ++differences <= 10) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(code) << " folds to "
                          << QString::fromStdString(ours).toUcs4().value(0) << ", Qt gives "
                          << QString::fromUtf8(expected).toUcs4().value(0);
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(CaseFoldingTest, WindowsNamesFoldAsTheirCharacters)
{
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string name(1, static_cast<char>(byte));
        const QByteArray expected = decodeCatalogText(name).toCaseFolded().toUtf8();
        EXPECT_EQ(folded(name), expected.toStdString()) << "byte " << byte;
    }
    // A name is decoded as a whole: the same letters in either encoding fold to the same bytes.
    EXPECT_EQ(folded("\xC6"
                     "BLE.TXT"),
        "\xC3\xA6"
        "ble.txt");
    EXPECT_EQ(folded("\xC3\x86"
                     "BLE.TXT"),
        "\xC3\xA6"
        "ble.txt");
}
