// UTF-8 <-> UTF-16 conversion speed: the public helpers zivoda::Utf8ToUtf16 and
// Utf16ToUtf8 against glibc iconv ("UTF-8" <-> "UTF-16LE") in the same run, on
// 1 MiB of ASCII and 1 MiB of mixed text (accents, CJK, emoji, Latin). Each
// output buffer is reused across iterations, as a caller converting often would.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ziVodaRerodo/utf.hpp"

namespace {

constexpr size_t kInputBytes = 1 << 20;

// Text made of whole pieces drawn at random (fixed seed) until it holds at least
// `bytes` bytes of UTF-8.
std::string MakeUtf8(bool mixed, size_t bytes) {
  static const char* const kAscii[] = {"The quick brown fox jumps over the lazy dog. ",
                                       "Pack my box with five dozen liquor jugs; ",
                                       "0123456789 (a, b, c) [x] {y} <z>\n"};
  static const char* const kMixed[] = {
      "The quick brown fox jumps over the lazy dog. ",     // Latin
      "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln, na\xC3\xAFve caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9. ",  // accents
      "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE3\x81\xAE\xE5\xA4\xA9\xE6\xB0\x97\xE3\x81\xAF"
      "\xE6\x99\xB4\xE3\x82\x8C\xE3\x80\x82",              // CJK
      "\xF0\x9F\x98\x80\xF0\x9F\x8E\x89 \xF0\x9F\x9A\x80 ",  // emoji
      "Fa\xC3\xA7" "ade, \xC3\xA5ngstr\xC3\xB6m, se\xC3\xB1or ",
  };
  std::mt19937 rng(42);
  std::string s;
  while (s.size() < bytes) {
    s += mixed ? kMixed[rng() % std::size(kMixed)] : kAscii[rng() % std::size(kAscii)];
  }
  return s;
}

std::vector<char> Iconv(iconv_t cd, const char* in, size_t n, size_t room) {
  std::vector<char> out(room);
  char* ip = const_cast<char*>(in);
  char* op = out.data();
  size_t il = n, ol = room;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return {};
  out.resize(room - ol);
  return out;
}

struct Inputs {
  std::string utf8;      // 1 MiB of UTF-8
  std::u16string utf16;  // 1 MiB of UTF-16, the same kind of text
};

const Inputs& Input(bool mixed) {
  static const Inputs kInputs[2] = {
      [] {
        Inputs in;
        in.utf8 = MakeUtf8(false, kInputBytes).substr(0, kInputBytes);
        in.utf16.assign(in.utf8.begin(), in.utf8.begin() + kInputBytes / 2);
        return in;
      }(),
      [] {
        Inputs in;
        // Cut at a character boundary at or below 1 MiB.
        std::string text = MakeUtf8(true, 2 * kInputBytes);
        size_t cut = kInputBytes;
        while ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        in.utf8 = text.substr(0, cut);
        // The UTF-16 text comes from iconv, as the independent codec here.
        iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
        const std::vector<char> wide = Iconv(cd, text.data(), text.size(), 2 * text.size());
        iconv_close(cd);
        size_t units = kInputBytes / 2;
        if ((static_cast<unsigned char>(wide[2 * units - 1]) & 0xFC) == 0xD8) --units;  // keep pairs whole
        in.utf16.resize(units);
        std::memcpy(in.utf16.data(), wide.data(), 2 * units);
        return in;
      }(),
  };
  return kInputs[mixed ? 1 : 0];
}

void Utf8ToUtf16Ours(benchmark::State& st, bool mixed) {
  const std::string& in = Input(mixed).utf8;
  std::u16string out;
  // Same result as iconv, or the figure means nothing.
  zivoda::Utf8ToUtf16(in.data(), static_cast<int32_t>(in.size()), out);
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  const std::vector<char> ref = Iconv(cd, in.data(), in.size(), 2 * in.size());
  iconv_close(cd);
  if (ref.size() != 2 * out.size() || std::memcmp(ref.data(), out.data(), ref.size()) != 0) {
    st.SkipWithError("result differs from iconv");
    return;
  }
  for (auto _ : st) {
    zivoda::Utf8ToUtf16(in.data(), static_cast<int32_t>(in.size()), out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(in.size()));
}

void Utf16ToUtf8Ours(benchmark::State& st, bool mixed) {
  const std::u16string& in = Input(mixed).utf16;
  std::string out;
  zivoda::Utf16ToUtf8(in, out);
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  const std::vector<char> ref =
      Iconv(cd, reinterpret_cast<const char*>(in.data()), 2 * in.size(), 3 * in.size());
  iconv_close(cd);
  if (ref.size() != out.size() || std::memcmp(ref.data(), out.data(), ref.size()) != 0) {
    st.SkipWithError("result differs from iconv");
    return;
  }
  for (auto _ : st) {
    zivoda::Utf16ToUtf8(in, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(2 * in.size()));
}

void ConvertIconv(benchmark::State& st, const char* to, const char* from, const char* in, size_t n,
                  size_t room) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    st.SkipWithError("iconv_open failed");
    return;
  }
  std::vector<char> out(room);
  for (auto _ : st) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* ip = const_cast<char*>(in);
    char* op = out.data();
    size_t il = n, ol = room;
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
      st.SkipWithError("iconv failed");
      break;
    }
    benchmark::DoNotOptimize(op);
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(n));
}

void Utf8ToUtf16Iconv(benchmark::State& st, bool mixed) {
  const std::string& in = Input(mixed).utf8;
  ConvertIconv(st, "UTF-16LE", "UTF-8", in.data(), in.size(), 2 * in.size());
}

void Utf16ToUtf8Iconv(benchmark::State& st, bool mixed) {
  const std::u16string& in = Input(mixed).utf16;
  ConvertIconv(st, "UTF-8", "UTF-16LE", reinterpret_cast<const char*>(in.data()), 2 * in.size(),
               3 * in.size());
}

[[maybe_unused]] const bool kRegistered = [] {
  for (bool mixed : {false, true}) {
    const std::string kind = mixed ? "mixed" : "ascii";
    benchmark::RegisterBenchmark(("utf8_to_utf16/" + kind + "/ours").c_str(), Utf8ToUtf16Ours, mixed);
    benchmark::RegisterBenchmark(("utf8_to_utf16/" + kind + "/iconv").c_str(), Utf8ToUtf16Iconv, mixed);
    benchmark::RegisterBenchmark(("utf16_to_utf8/" + kind + "/ours").c_str(), Utf16ToUtf8Ours, mixed);
    benchmark::RegisterBenchmark(("utf16_to_utf8/" + kind + "/iconv").c_str(), Utf16ToUtf8Iconv, mixed);
  }
  return true;
}();

}  // namespace
