#include "core/catalog/discidentity.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

bool isSameDisc(const TKTBDisc& a, const TKTBDisc& b)
{
    return a.Serial == b.Serial && a.ScanTime == b.ScanTime && a.RunLength == b.RunLength;
}

bool isDiscStillAt(TKTBHandle* handle, const KnownDisc& disc)
{
    TKTBDisc now {};
    return ktbReadDisc(handle, disc.offset, now) && isSameDisc(now, disc.record);
}

std::vector<std::uint32_t> relocateDiscs(TKTBHandle* handle, const std::vector<KnownDisc>& discs)
{
    std::vector<std::uint32_t> found(discs.size(), 0);
    std::size_t next = 0;
    const KtbCursorPtr cursor(ktbFindFirstAll(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    while (cursor != nullptr && next < discs.size()) {
        const TKTBDisc* disc = cursor->Current->disc();
        // A known disc missing from the catalog is passed over once a later known disc turns up.
        for (std::size_t i = next; disc != nullptr && i < discs.size(); ++i) {
            if (isSameDisc(*disc, discs[i].record)) {
                found[i] = cursor->Current->Offset;
                next = i + 1;
                break;
            }
        }
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    return found;
}
