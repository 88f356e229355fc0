// The player's usage page, printed by --help and turned into its man page at
// build time: keep it true to the command line read in zeCommandLine.cpp.
#pragma once

const char* zeUsageText();

// The one line printed when no file is given and no chooser can be shown.
const char* zeNoFileHint();
