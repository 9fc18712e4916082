// Katalox: a desktop catalogue of removable discs.
#include "browser/Application.h"

int main(int argc, char* argv[])
{
    return RunKatalox(argc, argv);
}
