#pragma once
// Catalogs of the older format written byte by byte: the 88-byte header ("Katalox Data Set", owner,
// creation time, fileset name) and records with the older disc layout.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

/// Days since 1899-12-30 with the time of day as the fraction: the older format's dates.
inline double dayCount(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    using namespace std::chrono;
    const sys_days date { std::chrono::year(year) / month / day };
    const sys_days origin { std::chrono::year(1899) / 12 / 30 };
    return static_cast<double>((date - origin).count()) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

struct OlderDisc {
    std::uint32_t serial = 0;
    std::string title {};
    std::string second {};
    std::string comment {};
    double scanTime = 0;
    std::int64_t used = 0;
    std::int64_t capacity = 0;
    std::uint32_t files = 0;
};

/// Writes an older-format catalog: the 88-byte header, then records with the older disc layout.
class OlderCatalog {
public:
    OlderCatalog(std::string_view owner, std::string_view name, double created)
        : m_bytes(88, '\0')
    {
        m_bytes.replace(0, 16, "Katalox Data Set");
        m_bytes.replace(20, 5, "xxxxx"); // not read
        m_bytes.replace(25, std::min<std::size_t>(owner.size(), 30), owner.substr(0, 30));
        std::memcpy(m_bytes.data() + 55, &created, sizeof created);
        m_bytes.replace(63, 8, "yyyyyyyy"); // not read
        m_bytes.replace(71, std::min<std::size_t>(name.size(), 17), name.substr(0, 17));
    }

    OlderCatalog& disc(const OlderDisc& disc)
    {
        m_bytes += '\x02';
        put(disc.serial);
        putString(disc.title);
        putString(disc.second);
        putString(disc.comment);
        put(disc.scanTime);
        put(disc.used);
        put(disc.capacity);
        put(disc.files);
        put(std::uint32_t { 0xDEADBEEF }); // not read
        return *this;
    }
    OlderCatalog& folder(std::string_view name)
    {
        m_bytes += '\x03';
        putString(name);
        return *this;
    }
    OlderCatalog& file(std::string_view name, std::uint32_t size, std::uint32_t dateTime, std::string_view comment = {})
    {
        m_bytes += '\x04';
        putString(name);
        put(size);
        put(dateTime);
        putString(comment);
        return *this;
    }
    OlderCatalog& raw(std::string_view bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    OlderCatalog& endFolder() { return raw("\x05"); }
    OlderCatalog& endDisc() { return raw("\x06"); }

    const std::string& bytes() const { return m_bytes; }

private:
    template <typename T> void put(T value) { m_bytes.append(reinterpret_cast<const char*>(&value), sizeof value); }
    void putString(std::string_view text)
    {
        put(static_cast<std::uint16_t>(text.size()));
        m_bytes += text;
    }

    std::string m_bytes;
};
