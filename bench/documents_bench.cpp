// Loading and serializing a generated 5 MiB document, beside pugixml doing the
// same on the same bytes; and serializing a 10,000-deep document beside a flat
// one, per output byte.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <random>
#include <string>

#include "voZuzu.h"
#include "ziVodaRerodo/documents.hpp"

namespace {

// Nested sections of items with attributes and text, about 5 MiB.
const std::string& Document5MiB() {
  static const std::string doc = [] {
    std::mt19937 rng(7);
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Library name=\"bench\">\n";
    int section = 0;
    while (s.size() < (5u << 20)) {
      s += "  <Section id=\"s" + std::to_string(section++) + "\" kind=\"list\">\n";
      for (int g = 0; g < 4; ++g) {
        s += "    <Group n=\"" + std::to_string(g) + "\">\n";
        for (int i = 0; i < 8; ++i) {
          s += "      <Item id=\"i" + std::to_string(rng() % 100000) + "\" face=\"DejaVu Sans\" size=\"" +
               std::to_string(8 + rng() % 20) + "\" note=\"a &amp; b\">Item text number " +
               std::to_string(i) + " with caf\xC3\xA9</Item>\n";
        }
        s += "    </Group>\n";
      }
      s += "  </Section>\n";
    }
    s += "</Library>\n";
    return s;
  }();
  return doc;
}

std::string Deep(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<d k=\"v\">";
  for (int i = 0; i < depth; ++i) s += "</d>";
  return s;
}

std::string Flat(int count) {
  std::string s = "<f>";
  for (int i = 0; i < count; ++i) s += "<d k=\"v\"/>";
  return s + "</f>";
}

void BM_LoadOurs(benchmark::State& state) {
  const std::string& doc = Document5MiB();
  for (auto _ : state) {
    const KespTag root = zivoda::LoadKespFromString(doc.c_str());
    benchmark::DoNotOptimize(root);
    vxReleaseKespTree(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_LoadPugixml(benchmark::State& state) {
  const std::string& doc = Document5MiB();
  for (auto _ : state) {
    pugi::xml_document d;
    benchmark::DoNotOptimize(d.load_buffer(doc.data(), doc.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void SerializeOurs(benchmark::State& state, const std::string& doc) {
  const KespTag root = zivoda::LoadKespFromString(doc.c_str());
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = zivoda::KespDocumentToText(root);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  vxReleaseKespTree(root);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_SerializeOurs(benchmark::State& state) { SerializeOurs(state, Document5MiB()); }
void BM_SerializeDeep(benchmark::State& state) {
  static const std::string doc = Deep(10000);
  SerializeOurs(state, doc);
}
void BM_SerializeFlat(benchmark::State& state) {
  static const std::string doc = Flat(10000);
  SerializeOurs(state, doc);
}

void BM_SerializePugixml(benchmark::State& state) {
  const std::string& doc = Document5MiB();
  pugi::xml_document d;
  d.load_buffer(doc.data(), doc.size());
  struct Writer : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  };
  size_t bytes = 0;
  for (auto _ : state) {
    Writer w;
    d.save(w, "\t", pugi::format_default, pugi::encoding_utf8);
    bytes = w.out.size();
    benchmark::DoNotOptimize(w.out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_LoadOurs)->Name("load/5mib/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPugixml)->Name("load/5mib/pugixml")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializeOurs)->Name("serialize/5mib/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializePugixml)->Name("serialize/5mib/pugixml")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializeDeep)->Name("serialize/deep10000/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SerializeFlat)->Name("serialize/flat10000/ours")->Unit(benchmark::kMicrosecond);

}  // namespace
