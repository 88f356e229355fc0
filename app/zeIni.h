// Ini files read through the file hooks. iniparser only loads by file name, so
// the bytes are read through zeFileOpen (disk or mounted archive) and handed
// to it through an anonymous in-memory file.
#pragma once

#include <iniparser.h>

// The parsed file, or nullptr (no message) when it cannot be opened or
// parsed. Free with iniparser_freedict.
dictionary* zeIniLoad(const char* name);
