// Shared by the object and light layers.
#pragma once

#include "base/ZeHandleTable.h"

class CZeSceneManager;

// The reason a lookup or add in `table` failed, or why there is no table.
template <typename T>
const char* zeTableMissReason(const ZeHandleTable<T>* table) {
  return table ? table->reason() : "the engine is not running";
}
// The engine manager's scene manager, or nullptr when the engine is stopped.
CZeSceneManager* zeCurrentSceneManager();
