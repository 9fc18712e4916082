#pragma once
// What the duplicate and single-copy finders share to keep ten million files in a few hundred megabytes:
// the files of the first walk kept in blocks that never move (a list grows without copying what it
// holds), then spread over parts by a hash of their size, each part small enough to be sorted in the
// cache, and the parts worked on side by side with a count of the sizes in each.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

/// Calls visit(runFirst, runLast) for each run of neighbours in [first, last) that same(a, b) takes
/// for one.
template <class Iterator, class Same, class Visit>
void forEachRun(Iterator first, Iterator last, Same&& same, Visit&& visit)
{
    for (Iterator run = first; run != last;) {
        Iterator end = std::next(run);
        while (end != last && same(*run, *end)) {
            ++end;
        }
        visit(run, end);
        run = end;
    }
}

/// Items in blocks that never move.
template <class Item> class ItemBlocks {
public:
    void push_back(const Item& item)
    {
        if (m_count % BlockSize == 0) {
            m_blocks.push_back(std::make_unique_for_overwrite<Item[]>(BlockSize));
        }
        m_blocks.back()[m_count % BlockSize] = item;
        ++m_count;
    }
    std::size_t size() const { return m_count; }
    /// Calls visit(const Item&) for each in the order added.
    template <class Visit> void forEach(Visit&& visit) const
    {
        for (std::size_t i = 0; i < m_count; ++i) {
            visit(m_blocks[i / BlockSize][i % BlockSize]);
        }
    }
    /// Calls visit(Item&) for each in the order added, releasing each block once visited.
    template <class Visit> void drain(Visit&& visit)
    {
        for (std::size_t block = 0; block < m_blocks.size(); ++block) {
            const std::size_t count = std::min(BlockSize, m_count - block * BlockSize);
            for (std::size_t i = 0; i < count; ++i) {
                visit(m_blocks[block][i]);
            }
            m_blocks[block].reset();
        }
        m_blocks.clear();
        m_count = 0;
    }

private:
    static constexpr std::size_t BlockSize = 1 << 16;
    std::vector<std::unique_ptr<Item[]>> m_blocks;
    std::size_t m_count = 0;
};

/// How many files of a part have each size: open addressing over the sizes, the table at most half full.
class SizeCounts {
public:
    void reset(std::size_t files)
    {
        std::size_t slotCount = 16;
        while (slotCount < 2 * files) {
            slotCount *= 2;
        }
        m_keys.assign(slotCount, 0);
        m_counts.assign(slotCount, 0);
    }
    void add(std::uint32_t size)
    {
        std::uint8_t& count = m_counts[slot(size)];
        count = count < 2 ? static_cast<std::uint8_t>(count + 1) : count;
    }
    bool heldMoreThanOnce(std::uint32_t size) { return m_counts[slot(size)] > 1; }

private:
    /// The slot of the size, taken when it is free.
    std::size_t slot(std::uint32_t size)
    {
        const std::uint64_t key = std::uint64_t(1) << 32 | size;
        const std::size_t mask = m_keys.size() - 1;
        // The parts are made from a multiplicative hash of the size: the slots need bits of another.
        std::uint32_t mixed = size ^ (size >> 16);
        mixed *= 0x85EBCA6Bu;
        mixed ^= mixed >> 13;
        mixed *= 0xC2B2AE35u;
        mixed ^= mixed >> 16;
        for (std::size_t at = mixed & mask;; at = (at + 1) & mask) {
            if (m_keys[at] == key) {
                return at;
            }
            if (m_keys[at] == 0) {
                m_keys[at] = key;
                return at;
            }
        }
    }

    std::vector<std::uint64_t> m_keys; ///< 2^32 + size; 0 for a free slot
    std::vector<std::uint8_t> m_counts; ///< 0, 1, or 2 for more
};

/// Files spread over parts by a hash of their size: the files of part p are all[starts[p]] up to
/// all[starts[p + 1]].
template <class Item> struct SizeParts {
    static constexpr int PartBits = 10;
    static constexpr std::size_t Parts = std::size_t(1) << PartBits;
    static std::size_t partOf(std::uint32_t size) { return (size * 0x9E3779B1u) >> (32 - PartBits); }

    std::vector<Item> all;
    std::vector<std::size_t> starts;

    /// Moves the items of every list into their parts, releasing each list's blocks as it goes; adjust(list,
    /// item) may change an item on its way (not its size).
    template <class Adjust> void spread(const std::vector<ItemBlocks<Item>*>& lists, Adjust&& adjust)
    {
        starts.assign(Parts + 1, 0);
        std::size_t total = 0;
        for (const ItemBlocks<Item>* list : lists) {
            total += list->size();
            list->forEach([&](const Item& item) { ++starts[partOf(item.size) + 1]; });
        }
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        all.resize(total);
        std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
        for (std::size_t list = 0; list < lists.size(); ++list) {
            lists[list]->drain([&](Item& item) {
                adjust(list, item);
                all[next[partOf(item.size)]++] = item;
            });
        }
    }

    /// Runs work(thread, first, last, counts) for every part on a few threads (thread below
    /// threadCount()), counts holding how many files of the part have each size.
    template <class Work> void forEachPart(Work&& work)
    {
        std::atomic<std::size_t> nextPart { 0 };
        const auto worker = [&](unsigned thread) {
            SizeCounts counts;
            for (std::size_t part = nextPart++; part < Parts; part = nextPart++) {
                const auto first = all.begin() + static_cast<std::ptrdiff_t>(starts[part]);
                const auto last = all.begin() + static_cast<std::ptrdiff_t>(starts[part + 1]);
                counts.reset(static_cast<std::size_t>(last - first));
                for (auto item = first; item != last; ++item) {
                    counts.add(item->size);
                }
                work(thread, first, last, counts);
            }
        };
        std::vector<std::thread> workers;
        for (unsigned thread = 1; thread < threadCount(); ++thread) {
            workers.emplace_back(worker, thread);
        }
        worker(0);
        for (std::thread& thread : workers) {
            thread.join();
        }
    }

    static unsigned threadCount() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

    void release() { std::vector<Item>().swap(all); }
};
