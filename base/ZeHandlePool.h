// Generation-counted pools of engine-owned objects, as sokol keeps its
// resources: a handle is a slot index and the generation the slot had when
// the object was put there. When the object goes the slot's generation moves
// on, so a handle kept after that (a stale handle) no longer matches: looking
// it up is an ordinary, reported miss, never a dangling pointer, even after
// another object took the slot.
//
// Handles are typed by a tag: a texture handle does not compile where a
// render target is asked for. The empty handle (id 0) names nothing.
//
// Objects are held through shared_ptr: a holder that copied the pointer (a
// queued draw) keeps the object alive after remove() until it lets go; the
// pool itself forgets it at once.
//
// Layout of an id: generation in the high 16 bits (1..65535, never 0), slot
// index + 1 in the low 16 bits, so a pool holds at most 65535 objects.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/zeMessage.h"

template <typename Tag>
struct ZeHandle {
  uint32_t id = 0;
  bool empty() const { return id == 0; }
  explicit operator bool() const { return id != 0; }
  friend bool operator==(ZeHandle a, ZeHandle b) { return a.id == b.id; }
  friend bool operator!=(ZeHandle a, ZeHandle b) { return a.id != b.id; }
};

// The engine's GPU objects (made by render/gl/ZeGLRegistry), named here so
// layers without OpenGL (the shell's frame, the renderers, the 2D images)
// can carry them.
struct ZeTextureTag;
struct ZeRenderTargetTag;
using ZeTextureHandle = ZeHandle<ZeTextureTag>;
using ZeRenderTargetHandle = ZeHandle<ZeRenderTargetTag>;

constexpr uint32_t kZeHandlePoolMaxCapacity = 0xFFFF;

template <typename T, typename Tag>
class ZeHandlePool {
 public:
  using Handle = ZeHandle<Tag>;

  // Capacities above kZeHandlePoolMaxCapacity are lowered to it.
  explicit ZeHandlePool(uint32_t capacity = kZeHandlePoolMaxCapacity)
      : capacity_(capacity < kZeHandlePoolMaxCapacity ? capacity : kZeHandlePoolMaxCapacity) {}
  ZeHandlePool(const ZeHandlePool&) = delete;
  ZeHandlePool& operator=(const ZeHandlePool&) = delete;

  uint32_t capacity() const { return capacity_; }
  uint32_t count() const { return count_; }

  // A handle for `object` (not null); the empty handle, with the reason
  // written, when the pool is full.
  Handle add(std::shared_ptr<T> object) {
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else if (slots_.size() < capacity_) {
      index = static_cast<uint32_t>(slots_.size());
      slots_.push_back(Slot{});
    } else {
      zeFormatText(reason_, "all %u slots are taken", capacity_);
      return Handle{};
    }
    Slot& slot = slots_[index];
    slot.object = std::move(object);
    ++count_;
    return Handle{(uint32_t(slot.generation) << 16) | (index + 1)};
  }

  // The object of a live handle; nullptr for the empty handle (no reason)
  // and for a stale or foreign one (reason written).
  T* find(Handle handle) const {
    const Slot* slot = live(handle);
    return slot ? slot->object.get() : nullptr;
  }
  std::shared_ptr<T> shared(Handle handle) const {
    const Slot* slot = live(handle);
    return slot ? slot->object : nullptr;
  }

  // Forgets the object and moves the slot's generation on; false (reason
  // written unless the handle is empty) when the handle is not live.
  bool remove(Handle handle) {
    const Slot* found = live(handle);
    if (!found) return false;
    const uint32_t index = (handle.id & 0xFFFF) - 1;
    Slot& slot = slots_[index];
    slot.object.reset();
    slot.generation = slot.generation == 0xFFFF ? 1 : uint16_t(slot.generation + 1);
    free_.push_back(index);
    --count_;
    return true;
  }

  // Forgets every object; every handle made so far becomes stale.
  void clear() {
    for (uint32_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].object) remove(Handle{(uint32_t(slots_[i].generation) << 16) | (i + 1)});
  }

  // Calls f(handle, object) for every live object, in slot order.
  template <typename F>
  void forEach(F&& f) const {
    for (uint32_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].object) f(Handle{(uint32_t(slots_[i].generation) << 16) | (i + 1)}, slots_[i].object.get());
  }

  // Why the last add, lookup or removal failed.
  const char* reason() const { return reason_; }

 private:
  struct Slot {
    uint16_t generation = 1;
    std::shared_ptr<T> object;
  };

  const Slot* live(Handle handle) const {
    if (handle.empty()) return nullptr;
    const uint32_t index = (handle.id & 0xFFFF);
    const uint32_t generation = handle.id >> 16;
    if (index == 0 || index > slots_.size()) {
      zeFormatText(reason_, "handle %08x was never made", handle.id);
      return nullptr;
    }
    const Slot& slot = slots_[index - 1];
    if (slot.generation != generation || !slot.object) {
      zeFormatText(reason_, "handle %08x is stale: its object is gone", handle.id);
      return nullptr;
    }
    return &slot;
  }

  uint32_t capacity_;
  uint32_t count_ = 0;
  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;
  mutable char reason_[ZE_TEXT_SIZE] = "";
};
