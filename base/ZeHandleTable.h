// Fixed-capacity handle tables: identifiers 0..capacity-1, chosen by the caller,
// map to engine objects of one type. Scripts and scenes address every engine
// object through such an identifier, so a stale or wrong one is an ordinary,
// reported error.
//
// Each table keeps the reason of its own last failure, written by every
// operation that fails (a lookup of a free identifier included), so a message
// built from it never shows the reason of an earlier, unrelated failure:
//
//   "invalid negative ID %d"                      add, remove, find: id < 0
//   "invalid ID %d greater or equals than %d"     add, remove, find: id >= capacity
//   "id %d already exist"                         add: the slot is taken
//   "id %d does not exist"                        remove, find: the slot is free
//
// The table never owns what it points at: the layer that adds an entry frees
// it after removing it. T may be an incomplete type where the table is only
// held (the engine context declares the tables of layers it cannot see).
//
// A new kind of engine object (a scene, an effect, an image, an emitter):
//
//   struct ZeEffectCell { ... };                       // the layer's entry
//   ZeHandleTable<ZeEffectCell>* table = ...;          // created once (create())
//   if (!table->add(id, cell))                         // failed creation
//     zeReportArgError(2, "invalid Effect ID %d : %s", id, table->reason());
//   ZeEffectCell* cell = table->find(id);              // failed lookup
//   if (!cell) zeReportArgError(1, "Effect ID %d does not exist. %s", id, table->reason());
//   table->forEach([](int id, ZeEffectCell*) { ... }); // every occupied slot
//
// `has` and `peek` ask without touching the reason (existence queries).
#pragma once

#include <memory>
#include <new>

#include "base/zeMessage.h"

template <typename T>
class ZeHandleTable {
 public:
  // nullptr when memory runs out (the caller reports it in its own words).
  static std::unique_ptr<ZeHandleTable> create(int capacity) {
    if (capacity < 0) return nullptr;
    std::unique_ptr<ZeHandleTable> table(new (std::nothrow) ZeHandleTable);
    if (!table) return nullptr;
    table->entries_.reset(new (std::nothrow) T*[capacity > 0 ? capacity : 1]());
    if (!table->entries_) return nullptr;
    table->capacity_ = capacity;
    return table;
  }

  ZeHandleTable(const ZeHandleTable&) = delete;
  ZeHandleTable& operator=(const ZeHandleTable&) = delete;

  int capacity() const { return capacity_; }
  // The highest identifier ever added; removal never lowers it (0 when none).
  int highest() const { return highest_; }

  // Stores `entry` (not null) under `id`; false with the reason written.
  bool add(int id, T* entry) {
    if (!inRange(id)) return false;
    if (entries_[id]) {
      zeFormatText(reason_, "id %d already exist", id);
      return false;
    }
    entries_[id] = entry;
    if (id > highest_) highest_ = id;
    return true;
  }

  // Frees the slot and returns what it held, for the caller to release;
  // nullptr with the reason written.
  T* remove(int id) {
    T* entry = find(id);
    if (entry) entries_[id] = nullptr;
    return entry;
  }

  // The entry under `id`; nullptr with the reason written.
  T* find(int id) {
    if (!inRange(id)) return nullptr;
    if (!entries_[id]) zeFormatText(reason_, "id %d does not exist", id);
    return entries_[id];
  }

  // The entry under `id` or nullptr, leaving the reason alone.
  T* peek(int id) const { return id >= 0 && id < capacity_ ? entries_[id] : nullptr; }
  bool has(int id) const { return peek(id) != nullptr; }

  // Calls f(id, entry) for each occupied slot in rising order; f may remove
  // the entry it is given.
  template <typename F>
  void forEach(F&& f) {
    for (int id = 0; id <= highest_ && id < capacity_; ++id)
      if (T* entry = entries_[id]) f(id, entry);
  }

  // Why this table's last failing operation failed.
  const char* reason() const { return reason_; }

 private:
  ZeHandleTable() = default;

  bool inRange(int id) {
    if (id < 0) {
      zeFormatText(reason_, "invalid negative ID %d", id);
      return false;
    }
    if (id >= capacity_) {
      zeFormatText(reason_, "invalid ID %d greater or equals than %d", id, capacity_);
      return false;
    }
    return true;
  }

  std::unique_ptr<T*[]> entries_;
  int capacity_ = 0;
  int highest_ = 0;
  char reason_[ZE_TEXT_SIZE] = {};
};
