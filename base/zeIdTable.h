// Fixed-capacity handle tables: caller-chosen identifiers 0..capacity-1 map to
// engine objects. A table never owns the objects it points at.
#pragma once

struct ZeIdTable;

ZeIdTable* zeIdTableCreate(int capacity);  // nullptr when memory runs out
void zeIdTableFree(ZeIdTable* table);       // frees the table, not the objects
int zeIdTableAdd(ZeIdTable* table, int id, void* object);  // 0 or -1
int zeIdTableRemove(ZeIdTable* table, int id);             // 0 or -1
void* zeIdTableGet(ZeIdTable* table, int id);              // nullptr when out of range or free
int zeIdTableCapacity(const ZeIdTable* table);
int zeIdTableHighest(const ZeIdTable* table);  // highest identifier ever added
// Why the last failing operation failed (bounded text, kept until the next failure).
const char* zeIdTableReason();
