// Font resolution (fontconfig), faces and glyphs (FreeType), and the caches that keep a repaint
// from opening or rasterising anything again.
#include "platform/gdi/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

constexpr int kDefaultEm = 12;
// Em heights drawn from the Chinese bitmap strikes; below 12 the 12-pixel strike stands in, as
// the 9-point Song face does for the 8-point UI font on a Chinese desktop.
constexpr int kStrikeMinEm = 10;
constexpr int kStrikeMaxEm = 16;
constexpr int kStrikeSmallest = 12;
constexpr const char* kHanBitmapFamily = "WenQuanYi Zen Hei Sharp";
constexpr const char* kHanOutlineFamily = "WenQuanYi Zen Hei";
// Past these the caches start again (at the start of a call, when nothing points into them).
constexpr std::size_t kMaxGlyphs = 20000;
constexpr std::size_t kMaxFonts = 256;
constexpr int kMaxEm = 1000;

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

int RoundDiv(long long n, long long d) {
  return int(n >= 0 ? (n + d / 2) / d : (n - d / 2) / d);
}

struct FaceKey {
  std::string file;
  int index = 0;
  int pixelSize = 0;
  bool strike = false;
  bool bold = false;
  bool italic = false;
  auto operator<=>(const FaceKey&) const = default;
};

}  // namespace

class FontFace {
 public:
  FontFace(FT_Face face, const FaceKey& key) : face_(face), key_(key) {}
  ~FontFace() { FT_Done_Face(face_); }
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  FT_Face Face() const { return face_; }
  bool Has(char32_t c) const { return FT_Get_Char_Index(face_, FT_ULong(c)) != 0; }
  const GlyphImage& Glyph(char32_t c);
  std::size_t GlyphCount() const { return glyphs_.size(); }

 private:
  GlyphImage Render(FT_UInt index) const;

  FT_Face face_;
  FaceKey key_;
  std::unordered_map<FT_UInt, GlyphImage> glyphs_;
};

namespace {

struct Engine {
  FT_Library library = nullptr;
  bool fontconfigReady = false;
  std::map<FaceKey, std::unique_ptr<FontFace>> faces;
  std::map<std::string, std::unique_ptr<ResolvedFont>> fonts;  // by description bytes

  Engine() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
    fontconfigReady = FcInit() == FcTrue;
  }

  std::size_t GlyphCount() const {
    std::size_t n = 0;
    for (const auto& [key, face] : faces) n += face->GlyphCount();
    return n;
  }
};

Engine& TheEngine() {
  static auto* engine = new Engine();  // lives as long as the process
  return *engine;
}

// Opens (once) a face at a pixel size. For a strike the exact strike must exist.
FontFace* OpenFace(const FaceKey& key) {
  Engine& e = TheEngine();
  if (auto it = e.faces.find(key); it != e.faces.end()) return it->second.get();
  if (!e.library) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(e.library, key.file.c_str(), key.index, &face) != 0) return nullptr;
  bool ok = false;
  if (key.strike) {
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
      if (((face->available_sizes[i].y_ppem + 32) >> 6) == key.pixelSize) {
        ok = FT_Select_Size(face, i) == 0;
        break;
      }
    }
  } else if (FT_IS_SCALABLE(face)) {
    ok = FT_Set_Pixel_Sizes(face, 0, FT_UInt(key.pixelSize)) == 0;
  } else if (face->num_fixed_sizes > 0) {
    // A bitmap-only face: its strike nearest to the size.
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
      if (std::abs(face->available_sizes[i].height - key.pixelSize) <
          std::abs(face->available_sizes[best].height - key.pixelSize)) {
        best = i;
      }
    }
    ok = FT_Select_Size(face, best) == 0;
  }
  if (!ok) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto owned = std::make_unique<FontFace>(face, key);
  FontFace* raw = owned.get();
  e.faces.emplace(key, std::move(owned));
  return raw;
}

struct Match {
  std::string family;
  std::string file;
  int index = 0;
  int weight = FW_NORMAL;
  bool italic = false;
};

std::string StringOf(FcPattern* p, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(p, object, 0, &value) != FcResultMatch || !value) return {};
  return reinterpret_cast<const char*>(value);
}

// fontconfig's best match for the pattern, after its configured substitutions.
std::optional<Match> FontMatch(FcPattern* pattern) {
  if (!TheEngine().fontconfigReady) return std::nullopt;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  Pattern found(FcFontMatch(nullptr, pattern, &result));
  if (!found) return std::nullopt;
  Match m;
  m.file = StringOf(found.get(), FC_FILE);
  if (m.file.empty()) return std::nullopt;
  m.family = StringOf(found.get(), FC_FAMILY);
  FcPatternGetInteger(found.get(), FC_INDEX, 0, &m.index);
  int weight = FC_WEIGHT_REGULAR;
  if (FcPatternGetInteger(found.get(), FC_WEIGHT, 0, &weight) == FcResultMatch) {
    m.weight = FcWeightToOpenType(weight);
  }
  int slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(found.get(), FC_SLANT, 0, &slant);
  m.italic = slant != FC_SLANT_ROMAN;
  // A face that fontconfig emboldens reports the weight asked for; it is a regular face.
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(found.get(), FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden) {
    m.weight = FW_NORMAL;
  }
  return m;
}

Pattern BasePattern(const std::string& family, const char* lang, int weight, bool italic,
                    int pixelSize) {
  Pattern p(FcPatternCreate());
  if (!family.empty()) {
    FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  if (lang) FcPatternAddString(p.get(), FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcPatternAddInteger(p.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(p.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddDouble(p.get(), FC_PIXEL_SIZE, double(pixelSize));
  return p;
}

bool SameFamily(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

FontFaceChoice ChoiceFrom(const Match& m, int pixelSize, bool strike, int weight, bool italic) {
  FontFaceChoice c;
  c.family = m.family;
  c.file = m.file;
  c.faceIndex = m.index;
  c.pixelSize = pixelSize;
  c.bitmapStrike = strike;
  c.antialias = !strike;
  c.weight = m.weight;
  c.italic = m.italic;
  c.syntheticBold = weight >= 600 && m.weight < 600;
  c.syntheticItalic = italic && !m.italic && !strike;
  return c;
}

FaceKey KeyOf(const FontFaceChoice& c) {
  return FaceKey{c.file,         c.faceIndex,     c.pixelSize,
                 c.bitmapStrike, c.syntheticBold, c.syntheticItalic};
}

// The face's ascent and descent at em pixels, as the Windows metrics of its OS/2 table give
// them (the hhea values for fonts without one).
void CellOf(FT_Face face, int em, int& ascent, int& descent) {
  if (!FT_IS_SCALABLE(face)) {
    ascent = int((face->size->metrics.ascender + 32) >> 6);
    descent = int((-face->size->metrics.descender + 32) >> 6);
    return;
  }
  long long up = face->ascender, down = -face->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    up = os2->usWinAscent;
    down = os2->usWinDescent;
  }
  const long long units = std::max<long long>(face->units_per_EM, 1);
  ascent = RoundDiv(up * em, units);
  descent = RoundDiv(down * em, units);
}

// The em height for a cell height, from the face's cell proportions.
int EmForCell(const Match& m, int cell) {
  Engine& e = TheEngine();
  FT_Face face = nullptr;
  if (!e.library || FT_New_Face(e.library, m.file.c_str(), m.index, &face) != 0) return cell;
  int em = cell;
  if (FT_IS_SCALABLE(face)) {
    long long up = face->ascender, down = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      up = os2->usWinAscent;
      down = os2->usWinDescent;
    }
    if (up + down > 0) em = std::max(1, RoundDiv(cell * (long long)face->units_per_EM, up + down));
  }
  FT_Done_Face(face);
  return em;
}

struct Resolved {
  FontResolution resolution;
  FontFace* latin = nullptr;
  FontFace* han = nullptr;
  FontMetrics metrics;
};

std::optional<Resolved> Resolve(const LOGFONTA& lf) {
  const int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 1, 1000);
  const bool italic = lf.lfItalic != 0;
  std::string family;
  {
    char name[LF_FACESIZE + 1] = {};
    std::memcpy(name, lf.lfFaceName, LF_FACESIZE);
    if (auto utf8 = AnsiToUtf8(name)) family = *utf8;
  }
  const LONG height = lf.lfHeight == std::numeric_limits<LONG>::min() ? -kMaxEm : lf.lfHeight;
  int request = height == 0 ? kDefaultEm : std::min(std::abs(height), kMaxEm);

  Pattern latinPattern = BasePattern(family, "en", weight, italic, request);
  std::optional<Match> latinMatch = FontMatch(latinPattern.get());
  if (!latinMatch) return std::nullopt;
  const int em = height > 0 ? std::clamp(EmForCell(*latinMatch, request), 1, kMaxEm) : request;

  Resolved r;
  r.resolution.latin = ChoiceFrom(*latinMatch, em, false, weight, italic);
  r.latin = OpenFace(KeyOf(r.resolution.latin));
  if (!r.latin) return std::nullopt;
  if (!FT_IS_SCALABLE(r.latin->Face())) {
    r.resolution.latin.bitmapStrike = true;
    r.resolution.latin.antialias = false;
  }

  // Chinese: the bitmap strike at UI sizes, else the outline face, antialiased.
  if (em >= kStrikeMinEm && em <= kStrikeMaxEm) {
    const int strike = std::max(em, kStrikeSmallest);
    Pattern p = BasePattern(kHanBitmapFamily, "zh-cn", weight, false, strike);
    if (auto m = FontMatch(p.get()); m && SameFamily(m->family, kHanBitmapFamily)) {
      FontFaceChoice c = ChoiceFrom(*m, strike, true, weight, italic);
      if (FontFace* face = OpenFace(KeyOf(c))) {
        r.resolution.han = c;
        r.han = face;
      }
    }
  }
  if (!r.han) {
    Pattern p = BasePattern(kHanOutlineFamily, "zh-cn", weight, italic, em);
    if (auto m = FontMatch(p.get())) {
      FontFaceChoice c = ChoiceFrom(*m, em, false, weight, italic);
      if (FontFace* face = OpenFace(KeyOf(c))) {
        r.resolution.han = c;
        r.han = face;
      }
    }
  }
  if (!r.han) {
    r.resolution.han = r.resolution.latin;
    r.han = r.latin;
  }

  FT_Face face = r.latin->Face();
  FontMetrics& m = r.metrics;
  m.emPixels = em;
  CellOf(face, em, m.ascent, m.descent);
  m.height = m.ascent + m.descent;
  const long long units = std::max<long long>(face->units_per_EM, 1);
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->version != 0xFFFF) {
    m.aveCharWidth = RoundDiv((long long)os2->xAvgCharWidth * em, units);
    if (os2->yStrikeoutSize > 0) {
      m.strikeOutOffset = RoundDiv((long long)os2->yStrikeoutPosition * em, units);
      m.strikeOutThickness = std::max(1, RoundDiv((long long)os2->yStrikeoutSize * em, units));
    }
  }
  if (FT_IS_SCALABLE(face)) {
    m.underlineOffset = std::max(1, RoundDiv(-(long long)face->underline_position * em, units));
    m.underlineThickness = std::max(1, RoundDiv((long long)face->underline_thickness * em, units));
    m.maxCharWidth = RoundDiv((long long)face->max_advance_width * em, units);
  } else {
    m.underlineOffset = 1;
  }
  if (m.strikeOutOffset <= 0) m.strikeOutOffset = std::max(1, m.ascent / 3);
  m.underlineOffset = std::min(m.underlineOffset, std::max(0, m.descent - m.underlineThickness));
  if (m.aveCharWidth <= 0) m.aveCharWidth = std::max(1, r.latin->Glyph(U'x').advance);
  if (m.maxCharWidth <= 0) m.maxCharWidth = m.aveCharWidth * 2;
  if (r.resolution.latin.syntheticBold) {
    ++m.aveCharWidth;
    ++m.maxCharWidth;
  }
  r.resolution.underline = lf.lfUnderline != 0;
  r.resolution.strikeOut = lf.lfStrikeOut != 0;
  r.resolution.ascent = m.ascent;
  r.resolution.descent = m.descent;
  r.resolution.height = m.height;
  return r;
}

std::string KeyBytes(const LOGFONTA& lf) {
  LOGFONTA k{};
  k.lfHeight = lf.lfHeight;
  k.lfWeight = lf.lfWeight;
  k.lfItalic = lf.lfItalic;
  k.lfUnderline = lf.lfUnderline;
  k.lfStrikeOut = lf.lfStrikeOut;
  k.lfCharSet = lf.lfCharSet;
  // The face name up to its terminator; the last byte stays 0 even for an unterminated name.
  for (std::size_t i = 0; i + 1 < LF_FACESIZE && lf.lfFaceName[i] != 0; ++i)
    k.lfFaceName[i] = lf.lfFaceName[i];
  return std::string(reinterpret_cast<const char*>(&k), sizeof k);
}

void Trim() {
  Engine& e = TheEngine();
  if (e.fonts.size() < kMaxFonts && e.GlyphCount() < kMaxGlyphs) return;
  e.fonts.clear();
  e.faces.clear();
}

}  // namespace

std::mutex& TextLock() {
  static std::mutex lock;
  return lock;
}

// --- Glyphs --------------------------------------------------------------------------------

const GlyphImage& FontFace::Glyph(char32_t c) {
  const FT_UInt index = FT_Get_Char_Index(face_, FT_ULong(c));
  if (auto it = glyphs_.find(index); it != glyphs_.end()) return it->second;
  return glyphs_.emplace(index, Render(index)).first->second;
}

GlyphImage FontFace::Render(FT_UInt index) const {
  GlyphImage g;
  // A strike draws its own bitmaps; outlines are antialiased with light (vertical) hinting,
  // which keeps stems crisp at small sizes without distorting the shapes.
  const FT_Int32 flags = key_.strike ? FT_LOAD_DEFAULT : FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;
  if (FT_Load_Glyph(face_, index, flags) != 0) return g;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (key_.italic) FT_GlyphSlot_Oblique(slot);
    // An outline is never drawn without antialiasing, even in a strike whose bitmap lacks it.
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return g;
  }
  g.advance = int((slot->advance.x + 32) >> 6);
  const FT_Bitmap& b = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = int(b.width);
  g.rows = int(b.rows);
  g.coverage.assign(std::size_t(g.width) * std::size_t(g.rows), 0);
  for (int y = 0; y < g.rows; ++y) {
    const unsigned char* row = b.buffer + std::ptrdiff_t(y) * b.pitch;
    std::uint8_t* out = g.coverage.data() + std::size_t(y) * std::size_t(g.width);
    for (int x = 0; x < g.width; ++x) {
      switch (b.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
          out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
          break;
        case FT_PIXEL_MODE_GRAY:
          out[x] = b.num_grays == 256 ? row[x] : std::uint8_t(row[x] * 255 / (b.num_grays - 1));
          break;
        case FT_PIXEL_MODE_BGRA:
          out[x] = row[x * 4 + 3];
          break;
        default:
          break;
      }
    }
  }
  if (key_.bold) {
    // Simulated bold widens every stem by one pixel, as the platform's simulation does.
    GlyphImage wide = g;
    wide.width = g.width + 1;
    wide.coverage.assign(std::size_t(wide.width) * std::size_t(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
      const std::uint8_t* in = g.coverage.data() + std::size_t(y) * std::size_t(g.width);
      std::uint8_t* out = wide.coverage.data() + std::size_t(y) * std::size_t(wide.width);
      for (int x = 0; x < wide.width; ++x) {
        const std::uint8_t a = x < g.width ? in[x] : 0;
        const std::uint8_t b2 = x > 0 ? in[x - 1] : 0;
        out[x] = std::max(a, b2);
      }
    }
    if (g.width == 0) wide.width = 0, wide.coverage.clear();
    wide.advance = g.advance + 1;
    return wide;
  }
  return g;
}

// --- Resolved fonts ------------------------------------------------------------------------

ResolvedFont::ResolvedFont(const LOGFONTA& description, FontResolution resolution,
                           FontMetrics metrics, FontFace* latin, FontFace* han)
    : description_(description),
      resolution_(std::move(resolution)),
      metrics_(metrics),
      latin_(latin),
      han_(han) {}

FontFace* ResolvedFont::FaceFor(char32_t c) {
  FontFace* first = IsHanCharacter(c) ? han_ : latin_;
  FontFace* second = first == han_ ? latin_ : han_;
  if (first->Has(c)) return first;
  if (second->Has(c)) return second;
  if (auto it = fallback_.find(c); it != fallback_.end()) return it->second;
  // Any installed face that has the character, antialiased at the em size.
  FontFace* found = nullptr;
  if (FcCharSet* set = FcCharSetCreate()) {
    FcCharSetAddChar(set, FcChar32(c));
    Pattern p = BasePattern({}, nullptr, resolution_.latin.weight, false, metrics_.emPixels);
    FcPatternAddCharSet(p.get(), FC_CHARSET, set);
    FcCharSetDestroy(set);
    if (auto m = FontMatch(p.get())) {
      FontFaceChoice choice = ChoiceFrom(*m, metrics_.emPixels, false, FW_NORMAL, false);
      FontFace* face = OpenFace(KeyOf(choice));
      if (face && face->Has(c)) found = face;
    }
  }
  fallback_.emplace(c, found ? found : latin_);
  return found ? found : latin_;
}

const GlyphImage& ResolvedFont::Glyph(char32_t c) {
  static const GlyphImage kNothing;
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return kNothing;
  return FaceFor(c)->Glyph(c);
}

ResolvedFont* FontFor(const LOGFONTA& description) {
  Engine& e = TheEngine();
  Trim();
  const std::string key = KeyBytes(description);
  if (auto it = e.fonts.find(key); it != e.fonts.end()) return it->second.get();
  std::optional<Resolved> r = Resolve(description);
  if (!r) {
    SetError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto font = std::make_unique<ResolvedFont>(description, std::move(r->resolution), r->metrics,
                                             r->latin, r->han);
  ResolvedFont* raw = font.get();
  e.fonts.emplace(key, std::move(font));
  return raw;
}

// --- Code page -----------------------------------------------------------------------------

std::vector<AnsiChar> SplitAnsi(const char* text, std::size_t count) {
  std::vector<AnsiChar> out;
  if (!text) return out;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  // Decoding goes through the kernel's converter one character at a time, so one bad byte
  // spoils only itself; the results are remembered.
  thread_local std::unordered_map<std::uint32_t, char32_t> decoded;
  const auto isLead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
  const auto isDigit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
  for (std::size_t i = 0; i < count;) {
    AnsiChar c;
    c.offset = i;
    const unsigned char b = s[i];
    if (b < 0x80) {
      c.code = b;
    } else if (b == 0x80) {
      c.code = 0x20AC;  // the euro sign of code page 936
    } else {
      std::size_t n = 1;
      if (isLead(b) && i + 1 < count) {
        if (isDigit(s[i + 1])) {
          if (i + 3 < count && isLead(s[i + 2]) && isDigit(s[i + 3])) n = 4;
        } else if (s[i + 1] >= 0x40 && s[i + 1] != 0x7F && s[i + 1] != 0xFF) {
          n = 2;
        }
      }
      c.length = n;
      c.code = U'?';
      if (n > 1) {
        std::uint32_t packed = 0;
        for (std::size_t k = 0; k < n; ++k) packed = (packed << 8) | s[i + k];
        if (auto it = decoded.find(packed); it != decoded.end()) {
          c.code = it->second;
        } else {
          char32_t code = U'?';
          if (auto utf8 = AnsiToUtf8(std::string(text + i, n))) {
            // One character of UTF-8 back to its code point.
            const auto* u = reinterpret_cast<const unsigned char*>(utf8->data());
            const std::size_t len = utf8->size();
            if (len == 2 && (u[0] & 0xE0) == 0xC0) {
              code = char32_t(((u[0] & 0x1F) << 6) | (u[1] & 0x3F));
            } else if (len == 3 && (u[0] & 0xF0) == 0xE0) {
              code = char32_t(((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F));
            } else if (len == 4 && (u[0] & 0xF8) == 0xF0) {
              code = char32_t(((u[0] & 0x07) << 18) | ((u[1] & 0x3F) << 12) | ((u[2] & 0x3F) << 6) |
                              (u[3] & 0x3F));
            }
          }
          decoded.emplace(packed, code);
          c.code = code;
        }
      }
    }
    i += c.length;
    out.push_back(c);
  }
  return out;
}

}  // namespace win::gdi

#if defined(__SANITIZE_ADDRESS__)
#define SUOTU_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SUOTU_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(SUOTU_ADDRESS_SANITIZER)
// fontconfig loses a few bytes while it parses its configuration files, once per process; that
// is not ours to mend, and a sanitized run that draws text must still end cleanly.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

namespace win {

bool IsHanCharacter(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) ||  // Hangul jamo
         (c >= 0x2E80 && c <= 0x9FFF) ||  // radicals, CJK symbols, kana, bopomofo, ideographs
         (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||  // Hangul
         (c >= 0xF900 && c <= 0xFAFF) ||  // compatibility ideographs
         (c >= 0xFE30 && c <= 0xFE4F) ||  // CJK compatibility forms
         (c >= 0xFF00 && c <= 0xFFEF) ||  // full-width and half-width forms
         (c >= 0x20000 && c <= 0x3FFFF);  // supplementary ideographs
}

BOOL ResolveFontDescription(const LOGFONTA* font, FontResolution* out) {
  if (!font || !out) {
    gdi::SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(gdi::TextLock());
  gdi::ResolvedFont* f = gdi::FontFor(*font);
  if (!f) return FALSE;
  *out = f->Resolution();
  return TRUE;
}

BOOL GetFontResolution(HFONT font, FontResolution* out) {
  LOGFONTA lf{};
  if (GetObjectType(font) != OBJ_FONT || GetObjectA(font, sizeof lf, &lf) != sizeof lf) {
    gdi::SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ResolveFontDescription(&lf, out);
}

}  // namespace win
