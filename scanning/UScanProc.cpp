#include "scanning/UScanProc.h"

// Until the scan procedure exists, nothing is ever added.
quint32 ScanDisc(char /*drive*/, TKTBHandle* /*destination*/, const TKTBDisc& /*templateDisc*/, bool /*symbolic*/,
    bool /*noQuestion*/)
{
    return 0;
}
