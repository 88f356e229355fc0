// The command reference (docs/lua-reference.md), written from the command table.
#pragma once

#include <string>

#include "script/zeScriptCommand.h"

std::string zeScriptReference(const ZeScriptCommand* commands, int count);
