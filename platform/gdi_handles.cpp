// The handle table shared by DCs, bitmaps and fonts, and the live-object counts
// built on it. Slots are reused through a free list; each reuse bumps the slot's
// generation so the old handle stays dead.
#include "platform/gdi_handles.h"

#include "platform/gdi_debug.h"

namespace zivoda::gdi {
namespace {

constexpr uintptr_t kIndexMask = (uintptr_t{1} << HandleTable::kIndexBits) - 1;
constexpr uintptr_t kGenerationMask = ~uintptr_t{0} >> HandleTable::kIndexBits;

}  // namespace

void* HandleTable::Insert(Object object, bool stock) {
  uint32_t index;
  if (!free_.empty()) {
    index = free_.back();
    free_.pop_back();
  } else {
    if (slots_.size() >= kMaxSlots) return nullptr;
    slots_.emplace_back();
    index = static_cast<uint32_t>(slots_.size() - 1);
  }
  Slot& slot = slots_[index];
  slot.object = std::move(object);
  slot.stock = stock;
  return reinterpret_cast<void*>((slot.generation << kIndexBits) | (uintptr_t{index} + 1));
}

const HandleTable::Slot* HandleTable::Decode(const void* handle) const {
  const auto value = reinterpret_cast<uintptr_t>(handle);
  const uintptr_t indexPlusOne = value & kIndexMask;
  if (indexPlusOne == 0 || indexPlusOne > slots_.size()) return nullptr;
  const Slot& slot = slots_[indexPlusOne - 1];
  if ((value >> kIndexBits) != slot.generation) return nullptr;
  if (std::holds_alternative<std::monostate>(slot.object)) return nullptr;
  return &slot;
}

bool HandleTable::IsStock(const void* handle) const {
  const Slot* slot = Decode(handle);
  return slot != nullptr && slot->stock;
}

bool HandleTable::Remove(const void* handle) {
  Slot* slot = Decode(handle);
  if (slot == nullptr) return false;
  // Retire the handle before the object goes, so nothing can reach it mid-way.
  slot->generation = (slot->generation + 1) & kGenerationMask;
  if (slot->generation == 0) slot->generation = 1;
  Object dying = std::move(slot->object);
  slot->object = std::monostate{};
  slot->stock = false;
  free_.push_back(static_cast<uint32_t>(slot - slots_.data()));
  return true;
}

HandleTable::Counts HandleTable::Count() const {
  Counts counts;
  const auto countedSelection = [this](const void* handle) { return IsLive(handle) && !IsStock(handle); };
  for (const Slot& slot : slots_) {
    if (slot.stock) continue;
    if (const auto* dc = std::get_if<std::unique_ptr<DeviceContext>>(&slot.object)) {
      ++counts.dcs;
      counts.selections += countedSelection((*dc)->bitmap) ? 1 : 0;
      counts.selections += countedSelection((*dc)->font) ? 1 : 0;
    } else if (std::holds_alternative<std::unique_ptr<Bitmap>>(slot.object)) {
      ++counts.bitmaps;
    } else if (std::holds_alternative<std::unique_ptr<Font>>(slot.object)) {
      ++counts.fonts;
    }
  }
  return counts;
}

HandleTable& Handles() {
  static HandleTable* const table = new HandleTable;
  return *table;
}

}  // namespace zivoda::gdi

int GdiLiveDCs() { return zivoda::gdi::Handles().Count().dcs; }
int GdiLiveBitmaps() { return zivoda::gdi::Handles().Count().bitmaps; }
int GdiLiveFonts() { return zivoda::gdi::Handles().Count().fonts; }
int GdiLiveSelections() { return zivoda::gdi::Handles().Count().selections; }
int GdiLiveObjects() {
  const auto counts = zivoda::gdi::Handles().Count();
  return counts.dcs + counts.bitmaps + counts.fonts;
}
