// The one table behind every GDI handle. A handle packs a slot index with the
// slot's generation, which changes whenever the slot is freed, so a stale,
// deleted or foreign handle finds nothing and never reaches freed memory.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "platform/gdi_bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_font.h"

namespace zivoda::gdi {

class HandleTable {
 public:
  // Low bits: slot index + 1 (0 never names a slot); high bits: generation.
  static constexpr int kIndexBits = 20;
  static constexpr uint32_t kMaxSlots = (uint32_t{1} << kIndexBits) - 1;

  // Enters object and returns its handle; null when the table is full.
  template <class T>
  void* Add(std::unique_ptr<T> object, bool stock = false) {
    return Insert(Object(std::move(object)), stock);
  }

  // The live object of type T behind handle, or null.
  template <class T>
  T* Find(const void* handle) const {
    const Slot* slot = Decode(handle);
    if (slot == nullptr) return nullptr;
    const auto* held = std::get_if<std::unique_ptr<T>>(&slot->object);
    return held != nullptr ? held->get() : nullptr;
  }

  bool IsLive(const void* handle) const { return Decode(handle) != nullptr; }
  // Whether handle names a live object shared by all DCs (never deleted).
  bool IsStock(const void* handle) const;
  // Destroys the object behind handle and retires the handle. False when dead.
  bool Remove(const void* handle);

  struct Counts {
    int dcs = 0;
    int bitmaps = 0;
    int fonts = 0;
    int selections = 0;
  };
  Counts Count() const;

 private:
  using Object =
      std::variant<std::monostate, std::unique_ptr<DeviceContext>, std::unique_ptr<Bitmap>, std::unique_ptr<Font>>;
  struct Slot {
    uintptr_t generation = 1;
    bool stock = false;
    Object object;
  };

  void* Insert(Object object, bool stock);
  const Slot* Decode(const void* handle) const;
  Slot* Decode(const void* handle) {
    return const_cast<Slot*>(static_cast<const HandleTable*>(this)->Decode(handle));
  }

  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;
};

// The process's handle table (never destroyed, so handles stay checkable while
// other static objects are torn down).
HandleTable& Handles();

// A handle value that no slot can decode to: the desktop window.
inline constexpr uintptr_t kDesktopWindowValue = uintptr_t{1} << HandleTable::kIndexBits;

}  // namespace zivoda::gdi
