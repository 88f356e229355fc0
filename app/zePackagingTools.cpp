#include "app/zePackagingTools.h"

#include <cstring>

const SZePackagingToolName kZePackagingTools[] = {
    {"-demoexe", ZePackagingTool::DemoExe, true},       {"-demodat", ZePackagingTool::DemoDat, true},
    {"-direxe", ZePackagingTool::DirExe, true},         {"-dirdat", ZePackagingTool::DirDat, true},
    {"-dirlistexe", ZePackagingTool::DirListExe, true}, {"-dirlistdat", ZePackagingTool::DirListDat, true},
    {"-exersc", ZePackagingTool::EngineResources, false},
};
const int kZePackagingToolCount = int(sizeof kZePackagingTools / sizeof kZePackagingTools[0]);

const SZePackagingToolName* zeFindPackagingTool(const char* option) {
  if (!option) return nullptr;
  for (const SZePackagingToolName& t : kZePackagingTools)
    if (std::strcmp(t.option, option) == 0) return &t;
  return nullptr;
}
