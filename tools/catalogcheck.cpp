#include "tools/catalogcheck.h"

#include "engine/ktb_io.h"

#include <cstddef>
#include <vector>

namespace ktbtool {

namespace {

    class Checker {
    public:
        explicit Checker(TKTBHandle* handle)
            : m_handle(handle)
            , m_size(ktbFileSize(handle))
        {
        }

        CheckResult run(const std::function<void(std::uint32_t)>& progress)
        {
            ktbSeek(m_handle, KTB_HEADER_SIZE, 0);
            std::uint32_t records = 0;
            while (m_result.sound && ktbPosition(m_handle) < m_size) {
                step();
                if (progress && (++records & 0xFFFF) == 0) {
                    progress(ktbPosition(m_handle));
                }
            }
            if (m_result.sound && m_discOpen) {
                fail(m_size,
                    "the file ends inside the disc at offset " + std::to_string(m_disc) + " (no end-of-disc mark)");
            }
            return m_result;
        }

    private:
        void fail(std::uint32_t offset, const std::string& what)
        {
            m_result.sound = false;
            m_result.faultOffset = offset;
            m_result.fault = what;
        }

        bool read(void* buffer, std::uint32_t count) { return ktbRead(m_handle, buffer, count); }

        bool skipString()
        {
            std::uint16_t length = 0;
            if (!read(&length, sizeof length) || static_cast<std::uint64_t>(ktbPosition(m_handle)) + length > m_size) {
                return false;
            }
            return ktbSeek(m_handle, length, 1);
        }

        bool insideDisc(std::uint32_t at, const char* what)
        {
            if (!m_discOpen) {
                fail(at, std::string(what) + " outside any disc");
            }
            return m_discOpen;
        }

        void step()
        {
            const std::uint32_t at = ktbPosition(m_handle);
            std::uint8_t tag = 0;
            if (!read(&tag, 1)) {
                fail(at, "the file cannot be read here");
                return;
            }
            switch (tag) {
            case KTB_TAG_DISC:
                disc(at);
                break;
            case KTB_TAG_FOLDER:
                if (!skipString()) {
                    fail(at, "a folder record runs past the end of the file");
                } else if (insideDisc(at, "a folder")) {
                    m_openFolders.push_back(at);
                    ++m_result.folders;
                }
                break;
            case KTB_TAG_FILE: {
                std::uint32_t sizeAndDate[2] = {};
                if (!skipString() || !read(sizeAndDate, sizeof sizeAndDate) || !skipString()) {
                    fail(at, "a file record runs past the end of the file");
                } else if (insideDisc(at, "a file")) {
                    ++m_result.files;
                    m_result.bytes += sizeAndDate[0];
                }
                break;
            }
            case KTB_TAG_ENDFOLDER:
                if (m_openFolders.empty()) {
                    fail(at, "an end-of-folder mark without an open folder");
                } else {
                    m_openFolders.pop_back();
                }
                break;
            case KTB_TAG_ENDDISC:
                endDisc(at);
                break;
            default:
                fail(at, "unknown record tag " + std::to_string(tag));
                break;
            }
        }

        void disc(std::uint32_t at)
        {
            TKTBDisc record {};
            if (!read(&record, sizeof record)) {
                fail(at, "a disc record runs past the end of the file");
                return;
            }
            if (m_discOpen) {
                fail(
                    at, "a disc starts inside the disc at offset " + std::to_string(m_disc) + " (no end-of-disc mark)");
                return;
            }
            m_discOpen = true;
            m_disc = at;
            m_runLength = record.RunLength;
            ++m_result.discs;
        }

        void endDisc(std::uint32_t at)
        {
            if (!m_discOpen) {
                fail(at, "an end-of-disc mark outside any disc");
                return;
            }
            if (!m_openFolders.empty()) {
                fail(at,
                    "an end-of-disc mark while " + std::to_string(m_openFolders.size())
                        + " folder(s) are open, the innermost at offset " + std::to_string(m_openFolders.back()));
                return;
            }
            const std::uint64_t expected = static_cast<std::uint64_t>(at) + 1 - m_disc;
            if (m_runLength != expected) {
                fail(m_disc,
                    "the disc's RunLength is " + std::to_string(m_runLength) + " but its end-of-disc mark is at offset "
                        + std::to_string(at) + " (RunLength " + std::to_string(expected) + ")");
                return;
            }
            m_discOpen = false;
        }

        TKTBHandle* m_handle;
        std::uint32_t m_size;
        CheckResult m_result;
        bool m_discOpen = false;
        std::uint32_t m_disc = 0;
        std::uint32_t m_runLength = 0;
        std::vector<std::uint32_t> m_openFolders;
    };

} // namespace

CheckResult checkCatalog(TKTBHandle* handle, const std::function<void(std::uint32_t)>& progress)
{
    return Checker(handle).run(progress);
}

} // namespace ktbtool
