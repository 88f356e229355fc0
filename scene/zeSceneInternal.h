// Shared by the object and light layers.
#pragma once

#include "base/zeIdTable.h"

class CZeSceneManager;

// Why `id` does not resolve in `table`. The table writes no reason for a free
// identifier in range, so one is made here rather than showing a stale one.
const char* zeTableMissReason(ZeIdTable* table, int id);
// The engine manager's scene manager, or nullptr when the engine is stopped.
CZeSceneManager* zeCurrentSceneManager();
