// PNG files for canvases. Writing streams rows through libpng's row API (one row
// of scratch memory); reading uses its simplified API (png_image), which converts
// every colour type, depth and gamma to 8-bit sRGB RGBA.
#include "png_file.hpp"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "pixel_math.hpp"
#include "vaRodurod.h"

namespace varodurod {
namespace {

// ---- Saving ------------------------------------------------------------------------

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngWriter() {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngWriter() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
};

struct File {
  std::FILE* file = nullptr;
  ~File() {
    if (file != nullptr) std::fclose(file);
  }
  // fclose's verdict: false when buffered bytes could not be written.
  bool Close() {
    std::FILE* f = file;
    file = nullptr;
    return std::fclose(f) == 0;
  }
};

// Streams the canvas as 8-bit RGBA (straight alpha, tagged sRGB). row holds
// 4 * width bytes. False when libpng reported an error: it does so by longjmp to
// here, so this function owns no object with a destructor.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, const Canvas& canvas, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()), static_cast<png_uint_32>(canvas.height()), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  for (int32_t y = 0; y < canvas.height(); ++y) {
    const uint32_t* pixels = canvas.row(y);
    for (int32_t x = 0; x < canvas.width(); ++x) {
      const uint32_t p = Unpremultiply(pixels[x]);
      png_bytep out = row + 4 * static_cast<size_t>(x);
      out[0] = static_cast<png_byte>(Channel(p, 16));
      out[1] = static_cast<png_byte>(Channel(p, 8));
      out[2] = static_cast<png_byte>(Channel(p, 0));
      out[3] = static_cast<png_byte>(Channel(p, 24));
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  return true;
}

// A new file beside path, named uniquely, created with the permissions fopen
// would give it; its name in *name. Null when it cannot be created.
std::FILE* CreateBeside(const std::string& path, std::string* name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 16; ++attempt) {
    *name = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::FILE* file = ::fdopen(fd, "wb");
      if (file == nullptr) {
        ::close(fd);
        ::unlink(name->c_str());
      }
      return file;
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

// ---- Loading -----------------------------------------------------------------------

struct PngImage {
  png_image image{};
  PngImage() { image.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
};

}  // namespace

bool SavePng(const Canvas& canvas, const char* path) {
  if (path == nullptr || *path == 0) return false;
  std::vector<png_byte> row;
  std::string temporary;
  try {
    row.resize(4 * static_cast<size_t>(canvas.width()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  File file{CreateBeside(path, &temporary)};
  if (file.file == nullptr) return false;
  bool written = false;
  {
    PngWriter writer;
    written = writer.info != nullptr && WriteRows(writer.png, writer.info, file.file, canvas, row.data());
  }
  written = written && std::fflush(file.file) == 0 && ::fsync(::fileno(file.file)) == 0;
  written = file.Close() && written;
  if (written && std::rename(temporary.c_str(), path) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

std::optional<PngPixels> ReadPng(const char* path) {
  if (path == nullptr) return std::nullopt;
  PngImage png;
  if (!png_image_begin_read_from_file(&png.image, path)) return std::nullopt;
  if (png.image.width == 0 || png.image.height == 0 || png.image.width > VR_MAX_DIMENSION ||
      png.image.height > VR_MAX_DIMENSION) {
    return std::nullopt;
  }
  png.image.format = PNG_FORMAT_RGBA;
  PngPixels image;
  image.width = static_cast<int32_t>(png.image.width);
  image.height = static_cast<int32_t>(png.image.height);
  image.rgba = PixelBuffer<uint8_t>(4 * static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  if (image.rgba.empty()) return std::nullopt;
  if (!png_image_finish_read(&png.image, nullptr, image.rgba.data(), 0, nullptr)) return std::nullopt;
  return image;
}

void PlacePng(Canvas& canvas, const PngPixels& image) {
  const int32_t columns = std::min(image.width, canvas.width());
  const int32_t rows = std::min(image.height, canvas.height());
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* src = image.rgba.data() + 4 * static_cast<size_t>(y) * static_cast<size_t>(image.width);
    uint32_t* dst = canvas.row(y);
    for (int32_t x = 0; x < columns; ++x, src += 4) {
      dst[x] = Premultiply((uint32_t{src[3]} << 24) | (uint32_t{src[0]} << 16) | (uint32_t{src[1]} << 8) | src[2]);
    }
  }
}

}  // namespace varodurod
