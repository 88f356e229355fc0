#include "app/zeEntry.h"

int main(int argc, char** argv) { return zeRunEntry(argc, argv, zeBuiltRunModes()); }
