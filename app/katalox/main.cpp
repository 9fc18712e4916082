// Katalox: a desktop catalogue of removable discs.
#include "app/katalox/kataloxapplication.h"

int main(int argc, char* argv[]) { return runKatalox(argc, argv); }
