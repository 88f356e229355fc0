#include "base/zeIdTable.h"

#include <new>

#include "base/zeMessage.h"

struct ZeIdTable {
  int capacity = 0;
  int highest = 0;
  void** entries = nullptr;
};

namespace {
char reason[ZE_TEXT_SIZE];

bool inRange(const ZeIdTable* table, int id) {
  if (!table) return false;
  if (id < 0) {
    zeFormatText(reason, "invalid negative ID %d", id);
    return false;
  }
  if (id >= table->capacity) {
    zeFormatText(reason, "invalid ID %d greater or equals than %d", id, table->capacity);
    return false;
  }
  return true;
}
}  // namespace

ZeIdTable* zeIdTableCreate(int capacity) {
  if (capacity < 0) return nullptr;
  ZeIdTable* table = new (std::nothrow) ZeIdTable;
  if (!table) return nullptr;
  table->capacity = capacity;
  table->entries = new (std::nothrow) void*[capacity > 0 ? capacity : 1]();
  if (!table->entries) {
    delete table;
    return nullptr;
  }
  return table;
}

void zeIdTableFree(ZeIdTable* table) {
  if (!table) return;
  delete[] table->entries;
  delete table;
}

int zeIdTableAdd(ZeIdTable* table, int id, void* object) {
  if (!inRange(table, id)) return -1;
  if (table->entries[id]) {
    zeFormatText(reason, "id %d already exist", id);
    return -1;
  }
  table->entries[id] = object;
  if (id > table->highest) table->highest = id;
  return 0;
}

int zeIdTableRemove(ZeIdTable* table, int id) {
  if (!inRange(table, id)) return -1;
  if (!table->entries[id]) {
    zeFormatText(reason, "id %d does not exist", id);
    return -1;
  }
  table->entries[id] = nullptr;
  return 0;
}

void* zeIdTableGet(ZeIdTable* table, int id) {
  if (!inRange(table, id)) return nullptr;
  return table->entries[id];
}

int zeIdTableCapacity(const ZeIdTable* table) { return table ? table->capacity : 0; }
int zeIdTableHighest(const ZeIdTable* table) { return table ? table->highest : 0; }
const char* zeIdTableReason() { return reason; }
