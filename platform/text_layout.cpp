// DrawTextW's line model (the documented behaviour of the DT_* flags): paragraphs
// at hard breaks (CR, LF, CR LF, LF CR), & prefixes resolved, each paragraph
// itemized, shaped, broken by the Windows rule, shortened by an ellipsis style
// when asked, and emitted as glyph runs in visual order.
#include "platform/text_layout.h"

#include <hb.h>
#include <unicode/ubidi.h>

#include <algorithm>

#include "platform/line_breaker.h"
#include "platform/text_shaper.h"

namespace zivoda::gdi {
namespace {

constexpr std::u16string_view kEllipsis = u"...";

// ---- Paragraph text -----------------------------------------------------------

// The displayed text of a paragraph: & prefixes resolved. map[k] is the source
// index (within the paragraph) of display unit k.
struct DisplayText {
  std::u16string text;
  std::vector<uint32_t> map;
  std::vector<uint32_t> prefixes;  // display indices of underlined characters
};

// "&x" shows x underlined, "&&" shows "&". Not documented, chosen: a lone "&" at
// the end of a paragraph shows nothing ("&" before CR or LF is at such an end);
// "&" before a space or TAB underlines that white space; with DT_MODIFYSTRING
// the text written back keeps its "&"s, so it draws the same again.
void ResolvePrefixes(std::u16string_view source, DisplayText& out) {
  out.text.clear();
  out.map.clear();
  out.prefixes.clear();
  out.text.reserve(source.size());
  out.map.reserve(source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == u'&') {
      if (i + 1 >= source.size()) break;
      if (source[i + 1] != u'&') out.prefixes.push_back(static_cast<uint32_t>(out.text.size()));
      ++i;
    }
    out.text.push_back(source[i]);
    out.map.push_back(static_cast<uint32_t>(i));
  }
}

// ---- One paragraph ----------------------------------------------------------------

struct Piece {
  uint32_t start = 0;
  uint32_t end = 0;
  bool ellipsis = false;
};

struct GlyphPixels {
  int32_t advance;
  int32_t x;
  int32_t y;
  uint16_t font;
};

// Working arrays of one paragraph, kept between calls so that laying out a
// short text allocates (almost) nothing. Layout is for one thread at a time.
struct Scratch {
  std::vector<uint8_t> levels;
  std::vector<Segment> segments;
  std::vector<uint32_t> segmentGlyphs;
  std::vector<ShapedGlyph> glyphs;
  std::vector<GlyphPixels> glyphPixels;
  std::vector<int32_t> advances;
  std::vector<uint8_t> starts;
  std::vector<LineSpan> spans;
  std::vector<Piece> pieces;
  DisplayText display;
};

Scratch& SharedScratch() {
  static auto* const scratch = new Scratch;
  return *scratch;
}

class ParagraphLayout {
 public:
  ParagraphLayout(TextLayout& layout, const LayoutRequest& request, std::u16string_view display,
                  const std::vector<uint32_t>* prefixes, Scratch& scratch)
      : layout_(layout), request_(request), text_(display), prefixes_(prefixes), levels_(scratch.levels),
        segments_(scratch.segments), segmentGlyphs_(scratch.segmentGlyphs), glyphs_(scratch.glyphs),
        glyphPixels_(scratch.glyphPixels), advances_(scratch.advances), starts_(scratch.starts) {
    segments_.clear();
    segmentGlyphs_.clear();
    glyphs_.clear();
    glyphPixels_.clear();
  }

  void Shape() {
    ResolveLevels(text_, (request_.format & DT_RTLREADING) != 0, levels_);
    Itemize(text_, levels_, layout_.fonts, segments_);
    advances_.assign(text_.size(), 0);
    segmentGlyphs_.reserve(segments_.size() + 1);
    for (const Segment& segment : segments_) {
      segmentGlyphs_.push_back(static_cast<uint32_t>(glyphs_.size()));
      if (segment.control) continue;
      RunFont& font = layout_.fonts.fonts[segment.font];
      ShapeSegment(*font.face, text_.substr(segment.start, segment.end - segment.start), segment.script,
                   (segment.level & 1) != 0, font.scale, segment.start, glyphs_);
      for (size_t g = glyphPixels_.size(); g < glyphs_.size(); ++g) {
        const ShapedGlyph& shaped = glyphs_[g];
        const int32_t advance = shaped.advancePixels;
        glyphPixels_.push_back(GlyphPixels{advance, shaped.xPixels, shaped.yPixels, segment.font});
        const uint32_t cluster = std::min<uint32_t>(glyphs_[g].cluster, static_cast<uint32_t>(text_.size() - 1));
        advances_[cluster] += advance;
      }
    }
    segmentGlyphs_.push_back(static_cast<uint32_t>(glyphs_.size()));
    GraphemeStarts(text_, starts_);
  }

  void Break(std::vector<LineSpan>& lines) const {
    BreakOptions options;
    options.width = request_.width;
    options.wordBreak = (request_.format & DT_WORDBREAK) != 0 && (request_.format & DT_SINGLELINE) == 0;
    options.fullWidthBreaks = (request_.format & DT_NOFULLWIDTHCHARBREAK) == 0;
    options.editControl = (request_.format & DT_EDITCONTROL) != 0;
    options.tabInterval = request_.tabInterval;
    BreakLines(text_, advances_.data(), starts_.data(), options, lines);
  }

  // The line's content end: white space hanging at a soft break is left out.
  uint32_t ContentEnd(const LineSpan& line, bool lastOfParagraph) const {
    uint32_t end = line.end;
    if (!lastOfParagraph) {
      while (end > line.start && IsBreakSpace(text_[end - 1])) --end;
    }
    return end;
  }

  int64_t Width(uint32_t a, uint32_t b) const {
    int64_t width = 0;
    for (uint32_t i = a; i < b; ++i) width += advances_[i];
    return width;
  }

  // The largest grapheme boundary c in [a, b] with Width(a, c) <= room.
  uint32_t FitPrefix(uint32_t a, uint32_t b, int64_t room) const {
    uint32_t best = a;
    int64_t width = 0;
    for (uint32_t i = a; i < b; ++i) {
      if (starts_[i] != 0 && i > a) {
        if (width > room) break;
        best = i;
      }
      width += advances_[i];
    }
    if (width <= room) best = b;
    return best;
  }

  // Emits pieces as the line's glyphs; returns the pen position at the end.
  int64_t Emit(const std::vector<Piece>& pieces, LayoutLine& line) {
    int64_t pen = 0;
    int32_t prefix = -1;
    if (prefixes_ != nullptr && (request_.format & DT_HIDEPREFIX) == 0) {
      for (const Piece& piece : pieces) {
        if (piece.ellipsis) continue;
        for (uint32_t p : *prefixes_) {
          if (p >= piece.start && p < piece.end) prefix = static_cast<int32_t>(p);
        }
      }
    }
    prefix_ = prefix;
    line.runBegin = static_cast<uint32_t>(layout_.runs.size());
    prefixLeft_ = INT64_MAX;
    prefixRight_ = INT64_MIN;
    const bool rtlBase = (request_.format & DT_RTLREADING) != 0;
    for (size_t k = 0; k < pieces.size(); ++k) {
      const Piece& piece = pieces[rtlBase ? pieces.size() - 1 - k : k];
      if (piece.ellipsis) {
        EmitEllipsis(line, pen);
      } else {
        EmitRange(piece.start, piece.end, line, pen);
      }
    }
    line.runEnd = static_cast<uint32_t>(layout_.runs.size());
    if (prefix_ >= 0 && prefixLeft_ < prefixRight_) {
      line.hasPrefix = true;
      line.prefixLeft = static_cast<int32_t>(std::clamp<int64_t>(prefixLeft_, INT32_MIN, INT32_MAX));
      line.prefixRight = static_cast<int32_t>(std::clamp<int64_t>(prefixRight_, INT32_MIN, INT32_MAX));
    }
    return pen;
  }

  int64_t EllipsisWidth() {
    if (ellipsisGlyphs_.empty()) {
      RunFont& font = layout_.fonts.fonts.front();
      std::vector<ShapedGlyph> shaped;
      ShapeSegment(*font.face, kEllipsis, HB_SCRIPT_LATIN, false, font.scale, 0, shaped);
      ellipsisWidth_ = 0;
      for (const ShapedGlyph& g : shaped) {
        const int32_t advance = g.advancePixels;
        ellipsisGlyphs_.push_back(GlyphPixels{advance, g.xPixels, g.yPixels, 0});
        ellipsisIds_.push_back(g.glyph);
        ellipsisWidth_ += advance;
      }
    }
    return ellipsisWidth_;
  }

  std::u16string_view Text() const { return text_; }

 private:
  // The line's last run, a new one when it is not in font.
  GlyphRun& RunOf(LayoutLine& line, uint16_t font) {
    std::vector<GlyphRun>& runs = layout_.runs;
    const auto at = static_cast<uint32_t>(layout_.glyphs.size());
    if (runs.size() == line.runBegin || runs.back().font != font) runs.push_back(GlyphRun{font, at, at});
    return runs.back();
  }

  // Appends a glyph at the pen (plus its offset) and moves the pen past it.
  [[gnu::always_inline]] void Append(uint32_t glyph, const GlyphPixels& pixels, int64_t& pen) {
    layout_.glyphs.push_back(
        PlacedGlyph{glyph, static_cast<int32_t>(std::clamp<int64_t>(pen + pixels.x, INT32_MIN, INT32_MAX)), pixels.y});
    pen += pixels.advance;
  }

  // Inlined: called once per glyph on the paths that place glyphs one by one.
  [[gnu::always_inline]] void Place(LayoutLine& line, uint16_t font, uint32_t glyph, const GlyphPixels& pixels,
                                    int64_t& pen) {
    GlyphRun& run = RunOf(line, font);
    Append(glyph, pixels, pen);
    run.end = static_cast<uint32_t>(layout_.glyphs.size());
  }

  // Place() for glyphs [from, to) of one font in logical order, in one pass.
  void PlaceAll(LayoutLine& line, uint16_t font, size_t from, size_t to, int64_t& pen) {
    if (from >= to) return;
    GlyphRun& run = RunOf(line, font);
    layout_.glyphs.reserve(layout_.glyphs.size() + (to - from));
    for (size_t g = from; g < to; ++g) Append(glyphs_[g].glyph, glyphPixels_[g], pen);
    run.end = static_cast<uint32_t>(layout_.glyphs.size());
  }

  void EmitEllipsis(LayoutLine& line, int64_t& pen) {
    EllipsisWidth();
    for (size_t i = 0; i < ellipsisGlyphs_.size(); ++i) Place(line, 0, ellipsisIds_[i], ellipsisGlyphs_[i], pen);
  }

  void EmitUnits(uint32_t a, uint32_t b, bool rtl, LayoutLine& line, int64_t& pen) {
    // Segments overlapping [a, b), in logical order for LTR, reversed for RTL.
    const auto first = std::upper_bound(segments_.begin(), segments_.end(), a,
                                        [](uint32_t value, const Segment& s) { return value < s.end; });
    size_t lo = static_cast<size_t>(first - segments_.begin());
    size_t hi = lo;
    while (hi < segments_.size() && segments_[hi].start < b) ++hi;
    for (size_t step = 0; step < hi - lo; ++step) {
      const size_t s = rtl ? hi - 1 - step : lo + step;
      const Segment& segment = segments_[s];
      if (segment.control) {
        const uint32_t unit = segment.start;
        if (unit < a || unit >= b) continue;
        const int64_t before = pen;
        if (text_[unit] == u'\t') pen += TabWidth(pen, request_.tabInterval);
        NotePrefix(unit, before, pen);
        continue;
      }
      // Clusters run up (left to right) or down (right to left) within a
      // segment: find the glyphs of [a, b) by binary search, so a long
      // segment cut into many lines costs no more than its glyphs.
      const auto begin = glyphs_.begin() + segmentGlyphs_[s];
      const auto end = glyphs_.begin() + segmentGlyphs_[s + 1];
      const bool down = (segment.level & 1) != 0;
      const auto first = down ? std::partition_point(begin, end, [b](const ShapedGlyph& x) { return x.cluster >= b; })
                              : std::partition_point(begin, end, [a](const ShapedGlyph& x) { return x.cluster < a; });
      if (!down && prefix_ < 0) {
        const auto last = std::partition_point(first, end, [b](const ShapedGlyph& x) { return x.cluster < b; });
        PlaceAll(line, segment.font, static_cast<size_t>(first - glyphs_.begin()),
                 static_cast<size_t>(last - glyphs_.begin()), pen);
        continue;
      }
      for (auto it = first; it != end; ++it) {
        const uint32_t cluster = it->cluster;
        if (down ? cluster < a : cluster >= b) break;
        if (cluster < a || cluster >= b) continue;
        const auto g = static_cast<size_t>(it - glyphs_.begin());
        const int64_t before = pen;
        Place(line, glyphPixels_[g].font, glyphs_[g].glyph, glyphPixels_[g], pen);
        NotePrefix(cluster, before, pen);
      }
    }
  }

  [[gnu::always_inline]] void NotePrefix(uint32_t unit, int64_t left, int64_t right) {
    if (prefix_ < 0 || unit != static_cast<uint32_t>(prefix_) || right <= left) return;
    prefixLeft_ = std::min(prefixLeft_, left);
    prefixRight_ = std::max(prefixRight_, right);
  }

  // [a, b) in visual order: runs of one bidi level, reordered by UAX #9 rule L2.
  void EmitRange(uint32_t a, uint32_t b, LayoutLine& line, int64_t& pen) {
    if (a >= b) return;
    if (levels_.empty()) {
      EmitUnits(a, b, false, line, pen);
      return;
    }
    struct Run {
      uint32_t start, end;
      UBiDiLevel level;
    };
    std::vector<Run> runs;
    for (uint32_t i = a; i < b;) {
      uint32_t j = i + 1;
      while (j < b && levels_[j] == levels_[i]) ++j;
      runs.push_back(Run{i, j, levels_[i]});
      i = j;
    }
    std::vector<UBiDiLevel> runLevels;
    for (const Run& run : runs) runLevels.push_back(run.level);
    std::vector<int32_t> order(runs.size());
    ubidi_reorderVisual(runLevels.data(), static_cast<int32_t>(runs.size()), order.data());
    for (int32_t index : order) {
      const Run& run = runs[static_cast<size_t>(index)];
      EmitUnits(run.start, run.end, (run.level & 1) != 0, line, pen);
    }
  }

  TextLayout& layout_;
  const LayoutRequest& request_;
  std::u16string_view text_;
  const std::vector<uint32_t>* prefixes_;
  std::vector<uint8_t>& levels_;
  std::vector<Segment>& segments_;
  std::vector<uint32_t>& segmentGlyphs_;  // first glyph of each segment, plus the end
  std::vector<ShapedGlyph>& glyphs_;
  std::vector<GlyphPixels>& glyphPixels_;
  std::vector<int32_t>& advances_;
  std::vector<uint8_t>& starts_;
  std::vector<GlyphPixels> ellipsisGlyphs_;
  std::vector<uint32_t> ellipsisIds_;
  int64_t ellipsisWidth_ = 0;
  int32_t prefix_ = -1;
  int64_t prefixLeft_ = 0;
  int64_t prefixRight_ = 0;
};

struct Replacement {
  size_t start;  // source range replaced by "..."
  size_t end;
};

// ---- The whole text ---------------------------------------------------------------

class Layouter {
 public:
  Layouter(TextLayout& layout, std::u16string_view source, const LayoutRequest& request)
      : layout_(layout), source_(source), request_(request) {}

  void Run() {
    layout_.glyphs.reserve(source_.size() + 4);
    struct Paragraph {
      size_t start, end, next;
    };
    std::vector<Paragraph> paragraphs;
    // A break at the very end of the text adds no empty line (not documented;
    // chosen so that "text\r\n" measures as "text").
    if ((request_.format & DT_SINGLELINE) != 0) {
      paragraphs.push_back(Paragraph{0, source_.size(), source_.size()});
    } else {
      size_t start = 0;
      for (size_t i = 0; i < source_.size();) {
        const char16_t u = source_[i];
        if (u != u'\r' && u != u'\n') {
          ++i;
          continue;
        }
        size_t length = 1;
        if (i + 1 < source_.size() && (source_[i + 1] == u'\r' || source_[i + 1] == u'\n') && source_[i + 1] != u) {
          length = 2;  // CR LF or LF CR: one break
        }
        paragraphs.push_back(Paragraph{start, i, i + length});
        i += length;
        start = i;
      }
      if (start < source_.size()) paragraphs.push_back(Paragraph{start, source_.size(), source_.size()});
    }
    for (size_t p = 0; p < paragraphs.size(); ++p) {
      const Paragraph& paragraph = paragraphs[p];
      LayOutParagraph(paragraph.start, paragraph.end, paragraph.next, p + 1 == paragraphs.size());
    }
    if (!replacements_.empty()) BuildModifiedText();
  }

 private:
  void LayOutParagraph(size_t start, size_t end, size_t next, bool last) {
    const std::u16string_view source = source_.substr(start, end - start);
    Scratch& scratch = SharedScratch();
    DisplayText& display = scratch.display;
    // Text without "&" shows as it is: no display copy to make.
    const bool prefixes = (request_.format & DT_NOPREFIX) == 0 && source.find(u'&') != std::u16string_view::npos;
    if (prefixes) ResolvePrefixes(source, display);
    const std::u16string_view text = prefixes ? std::u16string_view(display.text) : source;
    const auto sourceOf = [&](uint32_t k) -> size_t {
      if (k >= text.size()) return end;
      return start + (prefixes ? display.map[k] : k);
    };

    ParagraphLayout paragraph(layout_, request_, text, prefixes ? &display.prefixes : nullptr, scratch);
    paragraph.Shape();
    std::vector<LineSpan>& spans = scratch.spans;
    spans.clear();
    paragraph.Break(spans);

    const UINT format = request_.format;
    std::vector<Piece>& pieces = scratch.pieces;
    for (size_t l = 0; l < spans.size(); ++l) {
      const LineSpan& span = spans[l];
      const bool lastOfParagraph = l + 1 == spans.size();
      const uint32_t contentEnd = paragraph.ContentEnd(span, lastOfParagraph);
      pieces.assign(1, Piece{span.start, contentEnd, false});
      // Ellipses. Choices where Windows' behaviour is not documented: one style
      // applies, DT_PATH_ELLIPSIS before DT_END_ELLIPSIS before DT_WORD_ELLIPSIS;
      // a line cut off at the bottom of the box gets no ellipsis (only a line
      // too wide for it does); cuts fall between grapheme clusters.
      const bool overflows = span.width > request_.width;
      if (overflows && (format & DT_PATH_ELLIPSIS) != 0) {
        // Keep the text from the last backslash on and cut the front, character
        // by character, until "front...\tail" fits. A tail too wide even alone
        // stays whole after "..." (and is clipped); without a backslash the cut
        // falls at the end, as DT_END_ELLIPSIS does.
        uint32_t tail = contentEnd;
        for (uint32_t i = contentEnd; i > span.start; --i) {
          if (text[i - 1] == u'\\') {
            tail = i - 1;
            break;
          }
        }
        const int64_t room = request_.width - paragraph.EllipsisWidth() - paragraph.Width(tail, contentEnd);
        const uint32_t cut = paragraph.FitPrefix(span.start, tail, room);
        pieces = {Piece{span.start, cut, false}, Piece{0, 0, true}, Piece{tail, contentEnd, false}};
        replacements_.push_back(Replacement{sourceOf(cut), sourceOf(tail)});
      } else if (overflows && (format & DT_END_ELLIPSIS) != 0 && last && lastOfParagraph) {
        const int64_t room = request_.width - paragraph.EllipsisWidth();
        const uint32_t cut = paragraph.FitPrefix(span.start, contentEnd, room);
        pieces = {Piece{span.start, cut, false}, Piece{0, 0, true}};
        replacements_.push_back(Replacement{sourceOf(cut), end});
      } else if (overflows && (format & (DT_PATH_ELLIPSIS | DT_END_ELLIPSIS)) == 0 &&
                 (format & DT_WORD_ELLIPSIS) != 0) {
        const int64_t room = request_.width - paragraph.EllipsisWidth();
        const uint32_t cut = paragraph.FitPrefix(span.start, contentEnd, room);
        pieces = {Piece{span.start, cut, false}, Piece{0, 0, true}};
      }
      LayoutLine line;
      const int64_t width = paragraph.Emit(pieces, line);
      line.width = static_cast<int32_t>(std::clamp<int64_t>(pieces.size() == 1 ? span.width : width, 0, INT32_MAX));
      line.sourceEnd = span.end >= text.size() ? next : sourceOf(span.end);
      layout_.maxWidth = std::max<int64_t>(layout_.maxWidth, line.width);
      layout_.lines.push_back(line);
    }
  }

  void BuildModifiedText() {
    std::sort(replacements_.begin(), replacements_.end(),
              [](const Replacement& x, const Replacement& y) { return x.start < y.start; });
    std::u16string out;
    size_t at = 0;
    for (const Replacement& r : replacements_) {
      if (r.start < at) continue;
      out.append(source_.substr(at, r.start - at));
      out.append(kEllipsis);
      at = std::max(r.start, r.end);
    }
    out.append(source_.substr(std::min(at, source_.size())));
    layout_.modified = true;
    layout_.modifiedText = std::move(out);
  }

  TextLayout& layout_;
  std::u16string_view source_;
  const LayoutRequest& request_;
  std::vector<Replacement> replacements_;
};

}  // namespace

std::shared_ptr<const TextLayout> LayOutText(const Font& font, std::u16string_view text, const LayoutRequest& request) {
  return LayOutText(font, text, request, nullptr);
}

std::shared_ptr<const TextLayout> LayOutText(const Font& font, std::u16string_view text, const LayoutRequest& request,
                                             std::shared_ptr<TextLayout> reuse) {
  std::shared_ptr<TextLayout> layout = std::move(reuse);
  if (layout) {
    // Keep the arrays' capacity, reset everything else.
    std::vector<LayoutLine> lines = std::move(layout->lines);
    std::vector<GlyphRun> runs = std::move(layout->runs);
    std::vector<PlacedGlyph> glyphs = std::move(layout->glyphs);
    std::vector<RunFont> fonts = std::move(layout->fonts.fonts);
    lines.clear();
    runs.clear();
    glyphs.clear();
    fonts.clear();
    *layout = TextLayout{};
    layout->lines = std::move(lines);
    layout->runs = std::move(runs);
    layout->glyphs = std::move(glyphs);
    layout->fonts.fonts = std::move(fonts);
  } else {
    layout = std::make_shared<TextLayout>();
  }
  static uint64_t nextSerial = 1;
  layout->serial = nextSerial++;
  layout->fonts.weight = font.syntheticBold ? std::max<int>(font.metrics.tm.tmWeight, FW_SEMIBOLD)
                                            : static_cast<int>(font.metrics.tm.tmWeight);
  layout->fonts.italic = font.metrics.tm.tmItalic != 0;
  layout->fonts.fonts.push_back(RunFont{font.face, font.metrics.scale, font.syntheticBold, font.syntheticOblique});
  const TEXTMETRICW& tm = font.metrics.tm;
  layout->lineHeight = tm.tmHeight + ((request.format & DT_EXTERNALLEADING) != 0 ? tm.tmExternalLeading : 0);
  layout->ascent = tm.tmAscent;
  layout->underline = font.metrics.underline;
  layout->strikeout = font.metrics.strikeout;
  layout->underlined = font.logfont.lfUnderline != 0;
  layout->struckOut = font.logfont.lfStrikeOut != 0;
  layout->bytes = sizeof(TextLayout) + text.size() * 2;
  if (font.face) Layouter(*layout, text, request).Run();
  layout->bytes += layout->modifiedText.size() * 2 + layout->lines.size() * sizeof(LayoutLine) +
                   layout->runs.size() * sizeof(GlyphRun) + layout->glyphs.size() * sizeof(PlacedGlyph);
  return layout;
}

}  // namespace zivoda::gdi
