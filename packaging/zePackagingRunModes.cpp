#include "packaging/zePackagingRunModes.h"

#include "app/zeEntry.h"
#include "packaging/zeExecutableResources.h"
#include "packaging/zeExtract.h"
#include "packaging/zePackager.h"

void zePackagingRegister(ZeRunModes* modes) {
  modes->packagingTool = [](const char* tool, const char* output, const char* source) {
    return zeRunPackagingTool(tool, output, source);
  };
  modes->extractArchive = zeExtractRunningProgram;
  modes->carriesArchive = zeRunningProgramCarriesArchive;
  modes->loadCarriedArchive = zeLoadRunningProgramArchive;
}
