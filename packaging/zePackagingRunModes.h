// Puts packaging into the entry's dispatch table: the tools, extraction, and
// the locator of the archive the running program carries.
#pragma once

struct ZeRunModes;

void zePackagingRegister(ZeRunModes* modes);
