// The text workloads the text benchmarks share: a short label, a sentence, a
// 600-character paragraph wrapped at 300 px, and a mixed-script line, all in
// DejaVu Sans at an em height of 16 px.
#pragma once

namespace zivoda::bench {

constexpr int kEm = 16;
constexpr int kWrapWidth = 300;
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

constexpr const char* kShort = "Settings";
constexpr const char* kSentence = "The quick brown fox jumps over the lazy dog.";
constexpr const char* kParagraph =
    "When the evening light settled over the harbour, the fishermen pulled their boats onto the "
    "shingle and began to mend the nets that the morning storm had torn. Children ran along the sea "
    "wall with kites that dipped and rose in the uncertain wind, while their parents talked about the "
    "price of fuel, the new school by the church and the long summer that everyone hoped would come. "
    "In the window of the bakery the last loaves cooled beside jars of honey from the farms up the "
    "valley, and the old clock above the post office struck seven as the first lamps were lit along "
    "the narrow streets that wind up the hill.";
// Latin, Arabic, Devanagari and CJK on one line.
constexpr const char* kMixed =
    "Hello \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85 "
    "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87 "
    "\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C world";

struct Workload {
  const char* name;
  const char* text;
  bool wrap;
};
constexpr Workload kWorkloads[] = {
    {"short", kShort, false}, {"sentence", kSentence, false}, {"paragraph", kParagraph, true}, {"mixed", kMixed, false}};

}  // namespace zivoda::bench
