// The C interface of vaRodurod: canvases and textures behind handles, compositing,
// PNG files, counters and the call log. Every call may come from any thread: one
// mutex guards the table (see Registry).
#include "vaRodurod.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "call_log.hpp"
#include "canvas.hpp"
#include "composite.hpp"
#include "handle_table.hpp"
#include "png_file.hpp"
#include "text_contrast.hpp"
#include "texture.hpp"

namespace varodurod {
namespace {

#if defined(__SSE2__)
constexpr bool kHaveVectorKernels = true;
#else
constexpr bool kHaveVectorKernels = false;
#endif

// The mutex is held for the whole of a call's work on an object (compositing and
// PNG encoding included), so a call never sees an object that another call is
// deleting. PNG decoding and log functions run outside it. Texel memory handed
// out by LockTextureBits is the caller's to write until the unlock, without it.
struct Registry {
  std::mutex mutex;
  HandleTable<Canvas, Texture> objects;
  int32_t locks = 0;
  // The source pixels of the last coverage draw's modulation: text is mostly drawn
  // in few colours, so most draws reuse them.
  std::optional<uint32_t> sourceModulation;
  CoverageSource source{};
  std::atomic<bool> vector{kHaveVectorKernels};
};

Registry& Tables() {
  static Registry* registry = new Registry;  // never destroyed: hosts may call during exit
  return *registry;
}

bool Vector() { return Tables().vector.load(std::memory_order_relaxed); }

// ---- Call log ----------------------------------------------------------------------

using zivoda::component::Hex;
using zivoda::component::Returns;

struct RectArg {
  const Rect* rect;
};

// Found by argument-dependent lookup from the shared Log.
void AppendPart(std::string& line, RectArg r) {
  if (r.rect == nullptr) {
    line += "(null)";
    return;
  }
  line += std::to_string(r.rect->left) + ' ' + std::to_string(r.rect->top) + ' ' + std::to_string(r.rect->right) +
          ' ' + std::to_string(r.rect->bottom);
}

// Adds a new object to the table; 0 when it is null, the table is full or memory is refused.
template <class T>
uint32_t Register(std::unique_ptr<T> object) {
  if (object == nullptr) return 0;
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  try {
    return r.objects.Add(std::move(object));
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace
}  // namespace varodurod

using varodurod::Canvas;
using varodurod::Hex;
using zivoda::component::Log;
using varodurod::RectArg;
using varodurod::Registry;
using varodurod::Returns;
using varodurod::Tables;
using varodurod::Texture;

// ---- Canvases --------------------------------------------------------------------------

extern "C" CanvasHandle CreateCanvas(int32_t width, int32_t height) {
  const CanvasHandle handle = varodurod::Register(Canvas::Create(width, height));
  Log("CreateCanvas", width, height, Returns{handle});
  return handle;
}

extern "C" void DeleteCanvas(CanvasHandle canvas) {
  std::unique_ptr<Canvas> released;  // freed after the mutex is let go
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    released = r.objects.Remove<Canvas>(canvas);
  }
  Log("DeleteCanvas", canvas);
}

extern "C" int32_t GetCanvasSize(CanvasHandle canvas, int32_t* width, int32_t* height) {
  int32_t result = 0;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (const Canvas* c = r.objects.Find<Canvas>(canvas)) {
      if (width != nullptr) *width = c->width();
      if (height != nullptr) *height = c->height();
      result = 1;
    }
  }
  Log("GetCanvasSize", canvas, Returns{result});
  return result;
}

extern "C" void SetCanvasClip(CanvasHandle canvas, const Rect* clip) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (Canvas* c = r.objects.Find<Canvas>(canvas)) c->SetClip(clip);
  }
  Log("SetCanvasClip", canvas, RectArg{clip});
}

extern "C" void GetCanvasClip(CanvasHandle canvas, Rect* clip) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    const Canvas* c = r.objects.Find<Canvas>(canvas);
    if (c != nullptr && clip != nullptr) *clip = c->clip();
  }
  Log("GetCanvasClip", canvas);
}

extern "C" void ClearCanvas(CanvasHandle canvas, uint32_t color) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (Canvas* c = r.objects.Find<Canvas>(canvas)) c->Clear(color);
  }
  Log("ClearCanvas", canvas, Hex{color});
}

extern "C" uint32_t ReadCanvasPixels(CanvasHandle canvas, void* out, uint32_t capacity) {
  uint32_t bytes = 0;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (const Canvas* c = r.objects.Find<Canvas>(canvas)) {
      bytes = c->imageBytes();
      if (out != nullptr && capacity >= bytes) c->CopyOut(out);
    }
  }
  Log("ReadCanvasPixels", canvas, capacity, Returns{bytes});
  return bytes;
}

extern "C" int32_t SaveCanvasPng(CanvasHandle canvas, const char* path) {
  int32_t result = 0;
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (const Canvas* c = r.objects.Find<Canvas>(canvas)) result = varodurod::SavePng(*c, path) ? 1 : 0;
  }
  Log("SaveCanvasPng", canvas, path, Returns{result});
  return result;
}

extern "C" int32_t LoadCanvasPng(CanvasHandle canvas, const char* path) {
  int32_t result = 0;
  // Decoded before the mutex is taken: a slow file holds up no other call.
  if (const std::optional<varodurod::PngPixels> image = varodurod::ReadPng(path)) {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (Canvas* c = r.objects.Find<Canvas>(canvas)) {
      varodurod::PlacePng(*c, *image);
      result = 1;
    }
  }
  Log("LoadCanvasPng", canvas, path, Returns{result});
  return result;
}

// ---- Textures --------------------------------------------------------------------------

extern "C" TextureHandle CreateTexture(int32_t width, int32_t height) {
  const TextureHandle handle = varodurod::Register(Texture::Create(width, height));
  Log("CreateTexture", width, height, Returns{handle});
  return handle;
}

extern "C" int32_t LockTextureBits(TextureHandle texture, TextureLock* lock, int32_t flags) {
  int32_t result = 0;
  {
    Registry& r = Tables();
    std::lock_guard guard(r.mutex);
    Texture* t = r.objects.Find<Texture>(texture);
    if (t != nullptr && lock != nullptr && flags == 0 && t->Lock(*lock)) {
      ++r.locks;
      result = 1;
    }
  }
  Log("LockTextureBits", texture, flags, Returns{result});
  return result;
}

extern "C" void UnlockTextureBits(TextureHandle texture, int32_t flags) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    Texture* t = r.objects.Find<Texture>(texture);
    if (t != nullptr && t->Unlock()) --r.locks;
  }
  Log("UnlockTextureBits", texture, flags);
}

extern "C" void SetTextureFilter(TextureHandle texture, TextureFilter filter) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (Texture* t = r.objects.Find<Texture>(texture)) t->SetFilter(filter);
  }
  Log("SetTextureFilter", texture, filter.minFilter, filter.magFilter, filter.wrap, filter.blend);
}

extern "C" void ShuffleTexture(TextureHandle texture, int32_t mode) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    if (Texture* t = r.objects.Find<Texture>(texture)) t->Shuffle(mode, varodurod::Vector());
  }
  Log("ShuffleTexture", texture, mode);
}

extern "C" void DrawModulation(CanvasHandle canvas, int32_t x, int32_t y, TextureHandle texture,
                               uint32_t modulation) {
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    Canvas* c = r.objects.Find<Canvas>(canvas);
    Texture* t = r.objects.Find<Texture>(texture);
    if (c != nullptr && t != nullptr && !t->locked() && !t->empty()) {
      const int blend = t->filter().blend;
      const bool invisible = blend == VR_BLEND_OVER && (modulation >> 24) == 0;  // over: changes nothing
      const std::optional<varodurod::Placement> at = varodurod::PlaceTexture(c->clip(), x, y, t->width(), t->height());
      const bool vector = varodurod::Vector();
      if (at && !invisible) {
        if (t->mode() == VR_SHUFFLE_COVERAGE) {
          if (const varodurod::CoverageMask* mask = t->Coverage(vector)) {
            if (r.sourceModulation != modulation) {
              varodurod::BuildCoverageSource(modulation, r.source);
              r.sourceModulation = modulation;
            }
            varodurod::DrawCoverage(*c, *at, *mask, r.source, blend, vector);
          }
        } else {
          varodurod::DrawTexels(*c, *at, t->texels(), t->width(), t->mode(), modulation, blend, vector);
        }
      }
    }
  }
  Log("DrawModulation", canvas, x, y, texture, Hex{modulation});
}

extern "C" void DeleteTexture(TextureHandle texture) {
  std::unique_ptr<Texture> released;  // freed after the mutex is let go
  {
    Registry& r = Tables();
    std::lock_guard lock(r.mutex);
    released = r.objects.Remove<Texture>(texture);
    if (released != nullptr && released->locked()) --r.locks;
  }
  Log("DeleteTexture", texture);
}

// ---- Coverage table, counters, settings ----------------------------------------------------

extern "C" void vrGetTextCoverageTable(uint32_t modulation, uint8_t table[256]) {
  if (table == nullptr) return;
  const uint8_t* source = varodurod::TextCoverageTable(modulation);
  for (int i = 0; i < 256; ++i) table[i] = source[i];
}

extern "C" int32_t vrLiveCanvases(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.objects.Count<Canvas>();
}

extern "C" int32_t vrLiveTextures(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.objects.Count<Texture>();
}

extern "C" int32_t vrLiveLocks(void) {
  Registry& r = Tables();
  std::lock_guard lock(r.mutex);
  return r.locks;
}

extern "C" int32_t vrUseVectorKernels(int32_t enable) {
  return Tables().vector.exchange(enable != 0 && varodurod::kHaveVectorKernels) ? 1 : 0;
}

extern "C" void vrSetCallLog(vrLogFn fn, void* context) { zivoda::component::SetCallLog(fn, context); }
