// One table of the live canvases and textures, so a handle of either kind names
// one object: slot index + 1 in the low 16 bits, the slot's generation in the high
// 16 bits. Not thread-safe by itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <variant>
#include <vector>

namespace varodurod {

// Removing an object bumps its slot's generation, so its handle no longer resolves,
// and a handle resolves only to its own kind. Freed slots wait in a queue behind
// kQuarantine others before reuse, so a stale handle stays dead for a long time.
template <class... Kinds>
class HandleTable {
 public:
  static constexpr size_t kMaxSlots = 0xFFFF;
  static constexpr size_t kQuarantine = 1024;

  // The new object's handle; 0 (and the object dropped) when the table is full.
  template <class T>
  uint32_t Add(std::unique_ptr<T> object) {
    size_t index;
    if (!free_.empty() && (free_.size() > kQuarantine || slots_.size() >= kMaxSlots)) {
      index = free_.front();
      free_.pop_front();
    } else if (slots_.size() < kMaxSlots) {
      index = slots_.size();
      slots_.emplace_back();
    } else {
      return 0;
    }
    slots_[index].object = std::move(object);
    return Handle(index);
  }

  // The live object of kind T under handle; null for anything else.
  template <class T>
  T* Find(uint32_t handle) const {
    const Slot* slot = SlotOf(handle);
    if (slot == nullptr) return nullptr;
    const auto* held = std::get_if<std::unique_ptr<T>>(&slot->object);
    return held != nullptr ? held->get() : nullptr;
  }

  // Takes the object of kind T out; null (nothing changed) for anything else.
  template <class T>
  std::unique_ptr<T> Remove(uint32_t handle) {
    if (Find<T>(handle) == nullptr) return nullptr;
    const size_t index = (handle & 0xFFFF) - 1;
    Slot& slot = slots_[index];
    std::unique_ptr<T> object = std::move(*std::get_if<std::unique_ptr<T>>(&slot.object));
    slot.object = std::monostate{};
    ++slot.generation;
    free_.push_back(index);
    return object;
  }

  // The number of live objects of kind T.
  template <class T>
  int32_t Count() const {
    int32_t n = 0;
    for (const Slot& slot : slots_) n += std::holds_alternative<std::unique_ptr<T>>(slot.object) ? 1 : 0;
    return n;
  }

 private:
  struct Slot {
    uint16_t generation = 0;
    std::variant<std::monostate, std::unique_ptr<Kinds>...> object;
  };

  uint32_t Handle(size_t index) const {
    return (uint32_t{slots_[index].generation} << 16) | static_cast<uint32_t>(index + 1);
  }
  const Slot* SlotOf(uint32_t handle) const {
    const uint32_t low = handle & 0xFFFF;
    if (low == 0 || low > slots_.size()) return nullptr;
    const Slot& slot = slots_[low - 1];
    return slot.generation == (handle >> 16) ? &slot : nullptr;
  }

  std::vector<Slot> slots_;
  std::deque<size_t> free_;  // freed slots, oldest first
};

}  // namespace varodurod
