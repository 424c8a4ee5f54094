// Escaping and unescaping 1 MiB of ordinary text (few special characters), beside
// memcpy of the same bytes as the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "ziVodaRerodo/entities.hpp"

namespace {

// English-like text with an occasional & < > ' " (about one in 200 bytes).
const std::string& OrdinaryText() {
  static const std::string text = [] {
    const char* words[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "settings",
                           "window", "caf\xC3\xA9", "text", "box", "drawn", "measured"};
    const char* specials[] = {"&", "<", ">", "'", "\""};
    std::mt19937 rng(42);
    std::string s;
    while (s.size() < (1u << 20)) {
      s += words[rng() % std::size(words)];
      s += (rng() % 40 == 0) ? specials[rng() % 5] : " ";
    }
    s.resize(1u << 20);
    return s;
  }();
  return text;
}

void BM_Escape(benchmark::State& state) {
  const std::string& in = OrdinaryText();
  std::string out;
  for (auto _ : state) {
    zivoda::EscapeKesp(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Unescape(benchmark::State& state) {
  std::string in;
  zivoda::EscapeKesp(OrdinaryText(), in);
  in.resize(1u << 20);
  std::string out;
  for (auto _ : state) {
    zivoda::UnescapeKesp(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& in = OrdinaryText();
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK(BM_Escape)->Name("escape/text/ours");
BENCHMARK(BM_Unescape)->Name("unescape/text/ours");
BENCHMARK(BM_Memcpy)->Name("copy/text/memcpy");

}  // namespace
