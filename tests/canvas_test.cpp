// vaRodurod canvases: creation limits, clip semantics, clearing, reading pixels,
// and PNG files. PNG fixtures are written here byte by byte (stored deflate
// blocks, CRC-32, Adler-32 per RFC 1950/1951 and the PNG format of RFC 2083), so the
// loader is checked against files that do not come from the component itself.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/canvas_object.hpp"
#include "vaRodurod.h"

namespace {

// ---- Helpers ------------------------------------------------------------------------

using zivoda::test::CanvasObject;

// Sets canvas pixels from (0, 0) to premultiplied values, through a premultiplied
// texture copied with a white modulation (which leaves every texel as it is).
void PutPixels(CanvasHandle canvas, int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  const TextureHandle t = CreateTexture(width, height);
  TextureLock lock{};
  ASSERT_EQ(LockTextureBits(t, &lock, 0), 1);
  std::memcpy(lock.bits, pixels.data(), pixels.size() * 4);
  UnlockTextureBits(t, 0);
  SetTextureFilter(t, TextureFilter{0, 0, 0, VR_BLEND_COPY});
  ShuffleTexture(t, VR_SHUFFLE_PREMULTIPLIED);
  DrawModulation(canvas, 0, 0, t, 0xFFFFFFFF);
  DeleteTexture(t);
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

std::string RectText(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

// A directory under /tmp, removed with everything in it.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char name[] = "/tmp/varodurod_test_XXXXXX";
    path = ::mkdtemp(name) != nullptr ? name : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string File(const char* name) const { return (path / name).string(); }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path), {}));
  }
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// ---- A minimal PNG writer for fixtures ---------------------------------------------------

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char type[5], const std::vector<uint8_t>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBig32(png, Crc32(body.data(), body.size()));
}

// An 8-bit PNG of colour type 0 (grey), 2 (RGB) or 6 (RGBA); samples row by row.
std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, uint8_t colourType, const std::vector<uint8_t>& samples) {
  const size_t channels = colourType == 0 ? 1 : colourType == 2 ? 3 : 4;
  std::vector<uint8_t> raw;  // each row: filter type 0, then its samples
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto row = samples.begin() + static_cast<std::ptrdiff_t>(y * width * channels);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(width * channels));
  }
  std::vector<uint8_t> z = {0x78, 0x01};  // zlib header, then stored deflate blocks
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    if (raw.empty()) break;
  }
  uint32_t a = 1, b = 0;  // Adler-32
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBig32(ihdr, width);
  PutBig32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, colourType, 0, 0, 0});
  PutChunk(png, "IHDR", ihdr);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  return png;
}

// ---- Creation, clip, clear, read --------------------------------------------------------

TEST(Canvas, CreationSizes) {
  struct Row {
    int32_t width, height;
    bool created;
  };
  const Row rows[] = {
      {1, 1, true},
      {640, 480, true},
      {VR_MAX_DIMENSION, 1, true},
      {1, VR_MAX_DIMENSION, true},
      {0, 0, false},
      {0, 10, false},
      {10, 0, false},
      {-1, 10, false},
      {10, -5, false},
      {INT32_MIN, INT32_MIN, false},
      {VR_MAX_DIMENSION + 1, 1, false},
      {1, VR_MAX_DIMENSION + 1, false},
      {INT32_MAX, INT32_MAX, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
    const int32_t before = vrLiveCanvases();
    const CanvasHandle c = CreateCanvas(row.width, row.height);
    EXPECT_EQ(c != 0, row.created);
    EXPECT_EQ(vrLiveCanvases(), before + (row.created ? 1 : 0));
    int32_t w = -7, h = -7;
    EXPECT_EQ(GetCanvasSize(c, &w, &h), row.created ? 1 : 0);
    if (row.created) {
      EXPECT_EQ(w, row.width);
      EXPECT_EQ(h, row.height);
      Rect clip{};
      GetCanvasClip(c, &clip);
      EXPECT_EQ(RectText(clip), RectText(Rect{0, 0, row.width, row.height}));
      const uint32_t bytes = ReadCanvasPixels(c, nullptr, 0);
      EXPECT_EQ(bytes, 4u * static_cast<uint32_t>(row.width) * static_cast<uint32_t>(row.height));
      std::vector<uint32_t> pixels(bytes / 4, 0xDEADBEEF);
      ReadCanvasPixels(c, pixels.data(), bytes);
      EXPECT_EQ(pixels, std::vector<uint32_t>(bytes / 4, 0u)) << "a new canvas is transparent";
    } else {
      EXPECT_EQ(w, -7);
    }
    DeleteCanvas(c);
    EXPECT_EQ(vrLiveCanvases(), before);
  }
}

TEST(Canvas, ClipSemantics) {
  struct Row {
    const char* what;
    Rect set;
    bool null;
    Rect expected;
  };
  const Rect whole{0, 0, 100, 50};
  const Rect none{0, 0, 0, 0};
  const Row rows[] = {
      {"inside", {10, 5, 20, 15}, false, {10, 5, 20, 15}},
      {"overlapping the left and top", {-10, -10, 20, 15}, false, {0, 0, 20, 15}},
      {"overlapping the right and bottom", {90, 40, 200, 80}, false, {90, 40, 100, 50}},
      {"the whole canvas and more", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, false, whole},
      {"one pixel", {99, 49, 100, 50}, false, {99, 49, 100, 50}},
      {"outside", {100, 0, 200, 50}, false, none},
      {"above", {0, -20, 100, 0}, false, none},
      {"zero width", {10, 10, 10, 20}, false, none},
      {"inverted", {20, 20, 10, 10}, false, none},
      {"null resets to the whole canvas", {}, true, whole},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CanvasObject canvas(100, 50);
    const Rect start{1, 1, 2, 2};
    SetCanvasClip(canvas.handle, &start);
    SetCanvasClip(canvas.handle, row.null ? nullptr : &row.set);
    Rect got{-1, -1, -1, -1};
    GetCanvasClip(canvas.handle, &got);
    EXPECT_EQ(RectText(got), RectText(row.expected));
  }
}

TEST(Canvas, BadHandlesAreNoOps) {
  const CanvasHandle dead = CreateCanvas(4, 4);
  DeleteCanvas(dead);
  const TextureHandle texture = CreateTexture(4, 4);
  CanvasObject live(4, 4, 0xFF102030);
  struct Row {
    const char* what;
    CanvasHandle handle;
  };
  const Row rows[] = {
      {"zero", 0}, {"deleted", dead}, {"a texture handle", texture}, {"never handed out", 0x7FFF1234u},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Rect clip{7, 7, 7, 7};
    GetCanvasClip(row.handle, &clip);
    EXPECT_EQ(RectText(clip), "7,7,7,7");
    SetCanvasClip(row.handle, &clip);
    ClearCanvas(row.handle, 0xFFFFFFFF);
    int32_t w = -1;
    EXPECT_EQ(GetCanvasSize(row.handle, &w, nullptr), 0);
    EXPECT_EQ(w, -1);
    uint32_t sentinel = 0xDEADBEEF;
    EXPECT_EQ(ReadCanvasPixels(row.handle, &sentinel, 4), 0u);
    EXPECT_EQ(sentinel, 0xDEADBEEFu);
    EXPECT_EQ(SaveCanvasPng(row.handle, "/tmp/never-written.png"), 0);
    EXPECT_EQ(LoadCanvasPng(row.handle, "/nonexistent.png"), 0);
    DrawModulation(row.handle, 0, 0, texture, 0xFFFFFFFF);
    DeleteCanvas(row.handle);
  }
  GetCanvasClip(live.handle, nullptr);  // null output: no-op
  EXPECT_EQ(live.Pixels(), std::vector<uint32_t>(16, 0xFF102030));
  DeleteTexture(texture);
}

TEST(Canvas, ClearPremultipliesAndIgnoresTheClip) {
  struct Row {
    uint32_t color;
    uint32_t expected;
  };
  const Row rows[] = {
      {0xFFFFFFFF, 0xFFFFFFFF},
      {0xFF123456, 0xFF123456},
      {0x80FF0000, 0x80800000},  // 255 * 128/255
      {0x40FF8000, 0x40402000},  // 255 * 64/255 = 64, 128 * 64/255 = 32.1
      {0x00FFFFFF, 0x00000000},  // transparent is transparent whatever its colour
      {0x01FFFFFF, 0x01010101},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Hex(row.color));
    CanvasObject canvas(3, 2);
    const Rect clip{1, 1, 2, 2};
    SetCanvasClip(canvas.handle, &clip);
    ClearCanvas(canvas.handle, row.color);
    EXPECT_EQ(canvas.Pixels(), std::vector<uint32_t>(6, row.expected));
  }
}

TEST(Canvas, ReadPixelsNeedsRoomForTheWholeImage) {
  CanvasObject canvas(3, 2, 0xFF010203);
  std::vector<uint32_t> out(6, 0xDEADBEEF);
  EXPECT_EQ(ReadCanvasPixels(canvas.handle, out.data(), 23), 24u);  // one byte short: nothing copied
  EXPECT_EQ(out, std::vector<uint32_t>(6, 0xDEADBEEF));
  EXPECT_EQ(ReadCanvasPixels(canvas.handle, nullptr, 1000), 24u);
  EXPECT_EQ(ReadCanvasPixels(canvas.handle, out.data(), 24), 24u);
  EXPECT_EQ(out, std::vector<uint32_t>(6, 0xFF010203));
}

// ---- PNG files --------------------------------------------------------------------------

TEST(CanvasPng, LoadPlacesTheImageAtTheOrigin) {
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  constexpr uint32_t kBackground = 0xFF0000FF;
  struct Row {
    const char* what;
    std::vector<uint8_t> png;
    int32_t canvasWidth, canvasHeight;
    std::vector<uint32_t> expected;  // premultiplied, row by row
  };
  const uint32_t B = kBackground;
  const Row rows[] = {
      // RGBA, straight alpha: (255, 0, 0, 128) premultiplies to 0x80800000.
      {"RGBA, smaller than the canvas",
       MakePng(2, 1, 6, {255, 0, 0, 128, 10, 20, 30, 255}), 3, 2,
       {0x80800000, 0xFF0A141E, B, B, B, B}},
      {"RGBA, transparent pixel",
       MakePng(1, 1, 6, {200, 100, 50, 0}), 2, 1, {0x00000000, B}},
      {"grey", MakePng(2, 2, 0, {0x00, 0x80, 0xFF, 0x40}), 2, 2,
       {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF404040}},
      {"RGB", MakePng(1, 1, 2, {1, 2, 3}), 1, 1, {0xFF010203}},
      {"larger than the canvas: cut",
       MakePng(3, 3, 2, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9}), 2, 2,
       {0xFF010101, 0xFF020202, 0xFF040404, 0xFF050505}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = dir.File("fixture.png");
    WriteFile(path, row.png);
    CanvasObject canvas(row.canvasWidth, row.canvasHeight, kBackground);
    const Rect clip{0, 0, 0, 0};  // the clip plays no part
    SetCanvasClip(canvas.handle, &clip);
    EXPECT_EQ(LoadCanvasPng(canvas.handle, path.c_str()), 1);
    const std::vector<uint32_t> pixels = canvas.Pixels();
    ASSERT_EQ(pixels.size(), row.expected.size());
    for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(Hex(pixels[i]), Hex(row.expected[i])) << "pixel " << i;
  }
}

TEST(CanvasPng, SaveAndLoadRoundTrip) {
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  // Premultiplied pixels of every kind: opaque, partly and fully transparent, colour equal to alpha.
  const std::vector<uint32_t> pixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0x80800000, 0x80402010,
                                        0x01010000, 0x00000000, 0x7F7F7F7F, 0xC0010203, 0x02000001, 0xFEFDFCFB};
  CanvasObject source(4, 3);
  PutPixels(source.handle, 4, 3, pixels);
  ASSERT_EQ(source.Pixels(), pixels);

  const std::string path = dir.File("round.png");
  ASSERT_EQ(SaveCanvasPng(source.handle, path.c_str()), 1);
  const std::vector<uint8_t> file = ReadFile(path);
  ASSERT_GE(file.size(), 33u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 8),
            (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "IHDR");
  EXPECT_EQ(file[19], 4);   // width 4
  EXPECT_EQ(file[23], 3);   // height 3
  EXPECT_EQ(file[24], 8);   // 8 bits a sample
  EXPECT_EQ(file[25], 6);   // RGBA
  EXPECT_EQ(dir.Entries(), 1u) << "no temporary file left beside it";

  CanvasObject loaded(4, 3, 0xFFFFFFFF);
  ASSERT_EQ(LoadCanvasPng(loaded.handle, path.c_str()), 1);
  EXPECT_EQ(loaded.Pixels(), pixels);

  // Saving again replaces the file.
  ClearCanvas(source.handle, 0xFF00FF00);
  ASSERT_EQ(SaveCanvasPng(source.handle, path.c_str()), 1);
  ASSERT_EQ(LoadCanvasPng(loaded.handle, path.c_str()), 1);
  EXPECT_EQ(loaded.Pixels(), std::vector<uint32_t>(12, 0xFF00FF00));
  EXPECT_EQ(dir.Entries(), 1u);
}

TEST(CanvasPng, LoadFailuresLeaveTheCanvasAlone) {
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  const std::vector<uint8_t> good = MakePng(2, 2, 6, std::vector<uint8_t>(16, 0xFF));
  std::vector<uint8_t> badCrc = good;
  badCrc[29] ^= 0x01;  // last byte of IHDR's CRC
  std::vector<uint8_t> wide(4 * (VR_MAX_DIMENSION + 1), 0x80);
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;  // written to the file, unless absent
    bool absent;
  };
  const Row rows[] = {
      {"missing file", {}, true},
      {"empty file", {}, false},
      {"not a PNG", {'h', 'e', 'l', 'l', 'o'}, false},
      {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 20)),
       false},
      {"bad CRC in the header", badCrc, false},
      {"wider than the cap", MakePng(VR_MAX_DIMENSION + 1, 1, 6, wide), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = dir.File("bad.png");
    std::filesystem::remove(path);
    if (!row.absent) WriteFile(path, row.bytes);
    CanvasObject canvas(3, 3, 0xFF445566);
    EXPECT_EQ(LoadCanvasPng(canvas.handle, path.c_str()), 0);
    EXPECT_EQ(canvas.Pixels(), std::vector<uint32_t>(9, 0xFF445566));
  }
  CanvasObject canvas(3, 3, 0xFF445566);
  EXPECT_EQ(LoadCanvasPng(canvas.handle, nullptr), 0);
  // At the cap, the same kind of file loads (cut to the canvas).
  wide.resize(4 * VR_MAX_DIMENSION);
  const std::string path = dir.File("wide.png");
  WriteFile(path, MakePng(VR_MAX_DIMENSION, 1, 6, wide));
  EXPECT_EQ(LoadCanvasPng(canvas.handle, path.c_str()), 1);
  EXPECT_EQ(Hex(canvas.Pixels()[0]), Hex(0x80404040));
  EXPECT_EQ(Hex(canvas.Pixels()[3]), Hex(0xFF445566));
}

TEST(CanvasPng, SaveFailures) {
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  std::filesystem::create_directory(dir.path / "sub");
  CanvasObject canvas(2, 2, 0xFF000000);
  struct Row {
    const char* what;
    std::string path;
    bool null;
  };
  const Row rows[] = {
      {"null path", "", true},
      {"empty path", "", false},
      {"missing directory", dir.File("missing/out.png"), false},
      {"a directory", (dir.path / "sub").string(), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(SaveCanvasPng(canvas.handle, row.null ? nullptr : row.path.c_str()), 0);
    EXPECT_EQ(dir.Entries(), 1u) << "only the sub-directory: no file, no temporary";
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.path / "sub"));
}

}  // namespace
