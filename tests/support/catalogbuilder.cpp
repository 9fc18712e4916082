#include "tests/support/catalogbuilder.h"

#include <algorithm>
#include <fstream>

CatalogBuilder::CatalogBuilder()
{
    m_bytes.reserve(4096);
    m_bytes.assign(256, '\0');
    setMagic("KTB!");
    setVersion(0x00050000);
    setCreated(dosDateTime(2001, 2, 3, 4, 5, 6));
    setModified(dosDateTime(2001, 2, 3, 4, 5, 6));
}

CatalogBuilder& CatalogBuilder::setMagic(std::string_view fourBytes)
{
    for (std::size_t i = 0; i < 4; ++i) {
        m_bytes[i] = i < fourBytes.size() ? fourBytes[i] : '\0';
    }
    return *this;
}

CatalogBuilder& CatalogBuilder::setVersion(std::uint32_t version)
{
    patchU32(4, version);
    return *this;
}

CatalogBuilder& CatalogBuilder::setCreated(std::uint32_t dosDateTime)
{
    patchU32(12, dosDateTime);
    return *this;
}

CatalogBuilder& CatalogBuilder::setModified(std::uint32_t dosDateTime)
{
    patchU32(16, dosDateTime);
    return *this;
}

CatalogBuilder& CatalogBuilder::setOwner(std::string_view text)
{
    patchText(20, text, 64);
    return *this;
}

CatalogBuilder& CatalogBuilder::setName(std::string_view text)
{
    patchText(84, text, 128);
    return *this;
}

CatalogBuilder& CatalogBuilder::setKey(std::string_view text)
{
    patchText(212, text, 44);
    return *this;
}

std::uint32_t CatalogBuilder::beginDisc(const Disc& disc)
{
    const std::uint32_t offset = size();
    m_bytes += '\x02';
    putU32(disc.serial);
    putText(disc.title, 64);
    putText(disc.comment, 60);
    putU32(disc.flags);
    putU32(disc.scanTime);
    putU64(static_cast<std::uint64_t>(disc.used));
    putU64(static_cast<std::uint64_t>(disc.capacity));
    putU32(disc.files.value_or(0));
    putU32(disc.folders.value_or(0));
    putU32(disc.runLength.value_or(0));
    m_openDiscs.push_back({ offset, disc });
    return offset;
}

std::uint32_t CatalogBuilder::endDisc()
{
    const std::uint32_t offset = rawByte(6);
    if (m_openDiscs.empty()) {
        return offset;
    }
    const OpenDisc open = m_openDiscs.back();
    m_openDiscs.pop_back();
    patchU32(open.offset + DiscFiles, open.fields.files.value_or(open.files));
    patchU32(open.offset + DiscFolders, open.fields.folders.value_or(open.folders));
    patchU32(open.offset + DiscRunLength, open.fields.runLength.value_or(size() - open.offset));
    return offset;
}

std::uint32_t CatalogBuilder::addEmptyDisc(const Disc& disc)
{
    const std::uint32_t offset = beginDisc(disc);
    endDisc();
    return offset;
}

std::uint32_t CatalogBuilder::beginFolder(std::string_view name)
{
    const std::uint32_t offset = rawByte(3);
    putString(name);
    if (!m_openDiscs.empty()) {
        ++m_openDiscs.back().folders;
    }
    return offset;
}

std::uint32_t CatalogBuilder::endFolder() { return rawByte(5); }

std::uint32_t CatalogBuilder::addFile(
    std::string_view name, std::uint32_t size, std::uint32_t dateTime, std::string_view comment)
{
    const std::uint32_t offset = rawByte(4);
    putString(name);
    putU32(size);
    putU32(dateTime);
    putString(comment);
    if (!m_openDiscs.empty()) {
        ++m_openDiscs.back().files;
    }
    return offset;
}

std::uint32_t CatalogBuilder::raw(std::string_view bytes)
{
    const std::uint32_t offset = size();
    m_bytes.append(bytes);
    return offset;
}

std::uint32_t CatalogBuilder::rawByte(std::uint8_t value)
{
    const std::uint32_t offset = size();
    m_bytes += static_cast<char>(value);
    return offset;
}

void CatalogBuilder::patchByte(std::uint32_t offset, std::uint8_t value)
{
    m_bytes.at(offset) = static_cast<char>(value);
}

void CatalogBuilder::patchU32(std::uint32_t offset, std::uint32_t value)
{
    for (std::uint32_t i = 0; i < 4; ++i) {
        m_bytes.at(offset + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void CatalogBuilder::truncate(std::size_t count) { m_bytes.resize(std::min(count, m_bytes.size())); }

bool CatalogBuilder::writeTo(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(m_bytes.data(), static_cast<std::streamsize>(m_bytes.size()));
    return static_cast<bool>(out.flush());
}

std::uint32_t CatalogBuilder::dosDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

void CatalogBuilder::putU16(std::uint16_t value)
{
    m_bytes += static_cast<char>(value & 0xFF);
    m_bytes += static_cast<char>(value >> 8);
}

void CatalogBuilder::putU32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        m_bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void CatalogBuilder::putU64(std::uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        m_bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void CatalogBuilder::putText(std::string_view text, std::size_t fieldSize)
{
    const std::size_t length = std::min(text.size(), fieldSize - 1);
    m_bytes.append(text.substr(0, length));
    m_bytes.append(fieldSize - length, '\0');
}

void CatalogBuilder::putString(std::string_view text)
{
    putU16(static_cast<std::uint16_t>(text.size()));
    m_bytes.append(text);
}

void CatalogBuilder::patchText(std::uint32_t offset, std::string_view text, std::size_t fieldSize)
{
    const std::size_t length = std::min(text.size(), fieldSize - 1);
    std::fill_n(m_bytes.begin() + offset, fieldSize, '\0');
    std::copy_n(text.begin(), length, m_bytes.begin() + offset);
}
