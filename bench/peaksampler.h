#pragma once
// The memory a piece of work needs above the idle program: the resident size sampled while it runs.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

/// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
inline long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::stol(line.substr(length + 1));
        }
    }
    return -1;
}

/// Samples the resident size while work runs: the kernel's peak (reset at the start, where the kernel
/// allows it) and a sample every millisecond, whichever is higher.
class PeakSampler {
public:
    PeakSampler()
    {
        std::ofstream("/proc/self/clear_refs") << "5";
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                const long rss = statusKilobytes("VmRSS");
                long peak = m_peak.load();
                while (rss > peak && !m_peak.compare_exchange_weak(peak, rss)) { }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    long stop()
    {
        m_stop = true;
        m_thread.join();
        return std::max(m_peak.load(), statusKilobytes("VmHWM"));
    }

private:
    std::atomic_bool m_stop { false };
    std::atomic<long> m_peak { 0 };
    std::thread m_thread;
};
