// ktb: the command line over catalog files.
#include <cstdio>

int main()
{
    std::fputs("ktb: no commands yet\n", stderr);
    return 2;
}
