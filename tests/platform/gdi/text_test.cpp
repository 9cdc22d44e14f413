// Text output: font resolution, glyph pixels, measuring and DrawText formatting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "platform/gdi/text.h"
#include "tests/platform/gdi/gdi_test_util.h"

namespace win {
namespace {

using test::Canvas;
using test::Layout;

constexpr std::uint32_t kPaper = 0x00D4D0C8;  // pixel value (0x00RRGGBB) of the button face
constexpr COLORREF kPaperRef = RGB(0xD4, 0xD0, 0xC8);

std::string Ansi(const char* utf8) {
  return Utf8ToAnsi(utf8).value();
}

LOGFONTA Describe(LONG height, LONG weight = FW_NORMAL, const char* face = "MS Sans Serif") {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

// A 32-bit top-down DIB filled with a colour, the UI font selected.
class TextCanvas {
 public:
  explicit TextCanvas(int width = 200, int height = 60, LOGFONTA font = Describe(-11),
                      std::uint32_t paper = kPaper)
      : canvas_(Layout(width, -height, 32)), width_(width), height_(height) {
    font_ = CreateFontIndirectA(&font);
    old_ = SelectObject(canvas_.Dc(), font_);
    Fill(paper);
  }
  ~TextCanvas() {
    SelectObject(canvas_.Dc(), old_);
    DeleteObject(font_);
  }
  HDC Dc() const { return canvas_.Dc(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint32_t At(int x, int y) const { return canvas_.Value(x, y) & 0xFFFFFF; }
  void Fill(std::uint32_t rgb) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) canvas_.SetValue(x, y, rgb);
  }
  // Bounding box of pixels that differ from the given colour; empty when none do.
  RECT Ink(std::uint32_t paper = kPaper) const {
    RECT r{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (At(x, y) != paper) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x + 1);
          r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    return r;
  }
  bool SamePixels(const TextCanvas& other) const {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (At(x, y) != other.At(x, y)) return false;
    return true;
  }
  SIZE Extent(const std::string& s) const {
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32A(Dc(), s.data(), int(s.size()), &size));
    return size;
  }
  TEXTMETRICA Metrics() const {
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(Dc(), &tm));
    return tm;
  }

 private:
  Canvas canvas_;
  int width_, height_;
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

bool IsEmptyRect(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

// --- Resolution ----------------------------------------------------------------------------

struct ResolutionCase {
  const char* name;
  LONG height;
  int hanPixels;
  bool hanStrike;
};

class HanResolution : public testing::TestWithParam<ResolutionCase> {};

TEST_P(HanResolution, UiSizesUseTheBitmapStrikeOthersAnAntialiasedOutline) {
  const ResolutionCase& c = GetParam();
  LOGFONTA lf = Describe(c.height);
  FontResolution r;
  ASSERT_TRUE(ResolveFontDescription(&lf, &r));
  EXPECT_EQ(r.han.pixelSize, c.hanPixels);
  EXPECT_EQ(r.han.bitmapStrike, c.hanStrike);
  // Never an outline without antialiasing, never an antialiased strike.
  EXPECT_NE(r.han.antialias, r.han.bitmapStrike);
  if (c.hanStrike) {
    EXPECT_EQ(r.han.family, "WenQuanYi Zen Hei Sharp");
  }
  EXPECT_TRUE(r.latin.antialias);
  EXPECT_FALSE(r.latin.bitmapStrike);
  EXPECT_EQ(r.latin.pixelSize, -c.height);
  EXPECT_EQ(r.height, r.ascent + r.descent);
  EXPECT_FALSE(r.han.file.empty());
  EXPECT_FALSE(r.latin.file.empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, HanResolution,
                         testing::Values(ResolutionCase{"Ui11", -11, 12, true},
                                         ResolutionCase{"Ui12", -12, 12, true},
                                         ResolutionCase{"Strike13", -13, 13, true},
                                         ResolutionCase{"Strike16", -16, 16, true},
                                         ResolutionCase{"Outline9", -9, 9, false},
                                         ResolutionCase{"Outline20", -20, 20, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FontResolution, UiFontIsALatinSansFaceThirteenPixelsHigh) {
  LOGFONTA lf = Describe(-11);
  FontResolution r;
  ASSERT_TRUE(ResolveFontDescription(&lf, &r));
  // The stored layout sizes one-line labels and list rows of this font at 13 pixels.
  EXPECT_EQ(r.height, 13);
  EXPECT_EQ(r.latin.family.find("WenQuanYi"), std::string::npos);
}

TEST(FontResolution, BoldAndUnderlineCarryOver) {
  LOGFONTA lf = Describe(-11, FW_BOLD);
  lf.lfUnderline = 1;
  FontResolution r;
  ASSERT_TRUE(ResolveFontDescription(&lf, &r));
  EXPECT_TRUE(r.underline);
  EXPECT_FALSE(r.strikeOut);
  // The Chinese strike has no bold face of its own.
  EXPECT_TRUE(r.han.syntheticBold);
  EXPECT_TRUE(r.latin.weight >= 600 || r.latin.syntheticBold);
}

TEST(FontResolution, PositiveHeightIsTheCellHeight) {
  for (LONG cell : {13, 16, 24}) {
    LOGFONTA lf = Describe(cell);
    FontResolution r;
    ASSERT_TRUE(ResolveFontDescription(&lf, &r));
    EXPECT_NEAR(r.height, cell, 1) << cell;
    EXPECT_LT(r.latin.pixelSize, cell) << cell;
  }
}

TEST(FontResolution, FontObjectsResolveLikeTheirDescriptions) {
  LOGFONTA lf = Describe(-13, FW_NORMAL, "Arial");
  HFONT font = CreateFontIndirectA(&lf);
  FontResolution fromObject, fromDescription;
  ASSERT_TRUE(GetFontResolution(font, &fromObject));
  ASSERT_TRUE(ResolveFontDescription(&lf, &fromDescription));
  EXPECT_EQ(fromObject, fromDescription);
  DeleteObject(font);
}

TEST(FontResolution, BadArgumentsFail) {
  FontResolution r;
  LOGFONTA lf = Describe(-11);
  SetLastError(0);
  EXPECT_FALSE(ResolveFontDescription(nullptr, &r));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(ResolveFontDescription(&lf, nullptr));
  HBRUSH brush = CreateSolidBrush(0);
  SetLastError(0);
  EXPECT_FALSE(GetFontResolution(reinterpret_cast<HFONT>(brush), &r));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  DeleteObject(brush);
}

TEST(FontResolution, HanCharacters) {
  struct Case {
    char32_t c;
    bool han;
  } cases[] = {{U'A', false},  {U' ', false},  {0x00E9, false}, {0x201C, false},
               {0x4E2D, true}, {0x3002, true}, {0xFF1A, true},  {0x3000, true}};
  for (const Case& c : cases)
    EXPECT_EQ(IsHanCharacter(c.c), c.han) << std::hex << std::uint32_t(c.c);
}

// --- Glyph pixels --------------------------------------------------------------------------

struct StrikeCase {
  const char* name;
  COLORREF text;
  std::uint32_t textPixel;
  std::uint32_t paper;
  int bkMode;
};

class ChineseStrike : public testing::TestWithParam<StrikeCase> {};

TEST_P(ChineseStrike, ShowsOnlyTextColourAndBackground) {
  const StrikeCase& c = GetParam();
  TextCanvas t(200, 30, Describe(-11), c.paper);
  const std::string s = Ansi("缩略图宽度 选择目录");
  SetTextColor(t.Dc(), c.text);
  SetBkMode(t.Dc(), c.bkMode);
  SetBkColor(t.Dc(), RGB(BYTE(c.paper >> 16), BYTE(c.paper >> 8), BYTE(c.paper)));
  ASSERT_TRUE(TextOutA(t.Dc(), 4, 4, s.data(), int(s.size())));
  int ink = 0;
  for (int y = 0; y < t.Height(); ++y)
    for (int x = 0; x < t.Width(); ++x) {
      const std::uint32_t p = t.At(x, y);
      ASSERT_TRUE(p == c.paper || p == c.textPixel) << x << "," << y << " " << std::hex << p;
      ink += p == c.textPixel;
    }
  EXPECT_GT(ink, 100);
  // Ten characters at 12 pixels each (the blank is the Latin face's).
  const RECT box = t.Ink(c.paper);
  EXPECT_LE(box.right - box.left, 9 * 12 + t.Extent(" ").cx);
  EXPECT_GE(box.top, 4);
  EXPECT_LE(box.bottom, 4 + t.Metrics().tmHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, ChineseStrike,
    testing::Values(StrikeCase{"BlackOnFace", RGB(0, 0, 0), 0x000000, kPaper, TRANSPARENT},
                    StrikeCase{"WhiteOnHighlight", RGB(255, 255, 255), 0xFFFFFF, 0x0A246A, OPAQUE},
                    StrikeCase{"HighlightOnWhite", RGB(0x0A, 0x24, 0x6A), 0x0A246A, 0xFFFFFF,
                               TRANSPARENT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextPixels, LatinIsAntialiasedAndBlendsWithTheDestination) {
  TextCanvas t(120, 24);
  SetBkMode(t.Dc(), TRANSPARENT);
  SetTextColor(t.Dc(), RGB(0, 0, 0xFF));
  const std::string s = "Wagon says hello";
  ASSERT_TRUE(TextOutA(t.Dc(), 2, 2, s.data(), int(s.size())));
  int shades = 0, full = 0;
  for (int y = 0; y < t.Height(); ++y)
    for (int x = 0; x < t.Width(); ++x) {
      const std::uint32_t p = t.At(x, y);
      if (p == kPaper) continue;
      if (p == 0x0000FF) {
        ++full;
        continue;
      }
      ++shades;
      // A blend of blue over the face colour: every channel between the two.
      const int r = int(p >> 16), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
      EXPECT_LE(r, 0xD4);
      EXPECT_LE(g, 0xD0);
      EXPECT_GE(b, 0xC8);
    }
  EXPECT_GT(shades, 20);
  EXPECT_GT(full, 10);
}

TEST(TextPixels, OpaqueModeFillsTheTextCell) {
  TextCanvas t(120, 30);
  SetBkMode(t.Dc(), OPAQUE);
  SetBkColor(t.Dc(), RGB(0x0A, 0x24, 0x6A));
  SetTextColor(t.Dc(), RGB(255, 255, 255));
  const std::string s = Ansi("选中 item");
  ASSERT_TRUE(TextOutA(t.Dc(), 10, 5, s.data(), int(s.size())));
  const SIZE e = t.Extent(s);
  for (int y = 0; y < t.Height(); ++y)
    for (int x = 0; x < t.Width(); ++x) {
      const bool inside = x >= 10 && x < 10 + e.cx && y >= 5 && y < 5 + e.cy;
      if (inside) {
        ASSERT_NE(t.At(x, y), kPaper) << x << "," << y;
      } else {
        ASSERT_EQ(t.At(x, y), kPaper) << x << "," << y;
      }
    }
}

TEST(TextPixels, ExtTextOutOpaqueRectangleAndClipping) {
  TextCanvas t(120, 30);
  SetBkMode(t.Dc(), TRANSPARENT);
  SetBkColor(t.Dc(), RGB(255, 255, 255));
  const std::string s = "Clipped text";
  RECT r{20, 4, 50, 20};
  ASSERT_TRUE(
      ExtTextOutA(t.Dc(), 10, 5, ETO_OPAQUE | ETO_CLIPPED, &r, s.data(), UINT(s.size()), nullptr));
  int ink = 0;
  for (int y = 0; y < t.Height(); ++y)
    for (int x = 0; x < t.Width(); ++x) {
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      if (!inside) {
        ASSERT_EQ(t.At(x, y), kPaper) << x << "," << y;
      } else {
        ASSERT_NE(t.At(x, y), kPaper) << x << "," << y;
        ink += t.At(x, y) != 0xFFFFFF;
      }
    }
  EXPECT_GT(ink, 10);
}

TEST(TextPixels, ClipRegionAndViewportOriginApply) {
  const std::string s = "Offset";
  TextCanvas plain(80, 30), moved(80, 30);
  SetBkMode(plain.Dc(), TRANSPARENT);
  SetBkMode(moved.Dc(), TRANSPARENT);
  TextOutA(plain.Dc(), 7, 6, s.data(), int(s.size()));
  SetViewportOrgEx(moved.Dc(), 5, 4, nullptr);
  TextOutA(moved.Dc(), 2, 2, s.data(), int(s.size()));
  EXPECT_TRUE(plain.SamePixels(moved));

  TextCanvas clipped(80, 30);
  SetBkMode(clipped.Dc(), TRANSPARENT);
  IntersectClipRect(clipped.Dc(), 0, 0, 12, 30);
  TextOutA(clipped.Dc(), 7, 6, s.data(), int(s.size()));
  const RECT ink = clipped.Ink();
  EXPECT_FALSE(IsEmptyRect(ink));
  EXPECT_LE(ink.right, 12);
}

TEST(TextPixels, PaletteTargetGetsPaletteColours) {
  test::DibLayout layout = Layout(60, -20, 8);
  for (int i = 0; i < 256; ++i) layout.colors.push_back(RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0});
  Canvas c(layout);
  LOGFONTA lf = Describe(-11);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(c.Dc(), font);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) c.SetValue(x, y, 255);
  SetBkMode(c.Dc(), TRANSPARENT);
  const std::string s = Ansi("灰 grey");
  ASSERT_TRUE(TextOutA(c.Dc(), 1, 1, s.data(), int(s.size())));
  std::set<std::uint32_t> values;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) values.insert(c.Value(x, y));
  EXPECT_TRUE(values.count(0));  // full coverage: black
  EXPECT_GT(values.size(), 3u);  // antialiased Latin: greys between
  SelectObject(c.Dc(), old);
  DeleteObject(font);
}

// --- Measuring -----------------------------------------------------------------------------

class LatinMeasure : public testing::TestWithParam<const char*> {};

TEST_P(LatinMeasure, ExtentAndCalcRectAgree) {
  TextCanvas t;
  const std::string s = GetParam();
  const SIZE e = t.Extent(s);
  RECT r{3, 7, 3, 7};
  const int h = DrawTextA(t.Dc(), s.data(), int(s.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.right - r.left, e.cx);
  EXPECT_EQ(r.bottom - r.top, e.cy);
  EXPECT_EQ(h, e.cy);
  EXPECT_EQ(e.cy, t.Metrics().tmHeight);
  // TextOut advances by the same width: drawn ink ends inside it.
  SetBkMode(t.Dc(), TRANSPARENT);
  TextOutA(t.Dc(), 0, 0, s.data(), int(s.size()));
  EXPECT_LE(t.Ink().right, e.cx + 1);
}

INSTANTIATE_TEST_SUITE_P(Strings, LatinMeasure,
                         testing::Values("Thumbnail", "MS Sans Serif", "200", "W", "iiiiii",
                                         "photo.jpg 1024x768"));

TEST(TextMeasure, ExtentIsTheSumOfItsParts) {
  TextCanvas t;
  const std::string a = Ansi("缩图"), b = "photo.jpg";
  EXPECT_EQ(t.Extent(a + b).cx, t.Extent(a).cx + t.Extent(b).cx);
  EXPECT_EQ(t.Extent(a).cx, 24);  // two characters of the 12-pixel strike
  EXPECT_EQ(t.Extent("").cx, 0);
}

TEST(TextMeasure, MetricsOfTheUiFont) {
  TextCanvas t;
  const TEXTMETRICA tm = t.Metrics();
  EXPECT_EQ(tm.tmHeight, 13);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_EQ(tm.tmInternalLeading, 2);
  EXPECT_GT(tm.tmAveCharWidth, 3);
  EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
}

TEST(TextMeasure, TheScreenDcMeasures) {
  HDC screen = GetDC(nullptr);
  LOGFONTA lf = Describe(-11);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(screen, font);
  SIZE e{};
  EXPECT_TRUE(GetTextExtentPoint32A(screen, "abc", 3, &e));
  EXPECT_GT(e.cx, 0);
  const std::string s = "abc";
  EXPECT_TRUE(TextOutA(screen, 0, 0, s.data(), 3));  // nothing to draw on
  SelectObject(screen, old);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
}

TEST(TextMeasure, BadArgumentsFail) {
  TextCanvas t;
  SIZE e{};
  RECT r{0, 0, 10, 10};
  TEXTMETRICA tm{};
  SetLastError(0);
  EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "a", 1, &e));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(TextOutA(nullptr, 0, 0, "a", 1));
  EXPECT_EQ(DrawTextA(nullptr, "a", 1, &r, 0), 0);
  EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
  SetLastError(0);
  EXPECT_FALSE(GetTextExtentPoint32A(t.Dc(), "a", 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(TextOutA(t.Dc(), 0, 0, "a", -1));
  EXPECT_FALSE(TextOutA(t.Dc(), 0, 0, nullptr, 3));
  EXPECT_EQ(DrawTextA(t.Dc(), "a", 1, nullptr, 0), 0);
  EXPECT_FALSE(GetTextMetricsA(t.Dc(), nullptr));
  EXPECT_EQ(SetTextAlign(nullptr, TA_RIGHT), GDI_ERROR);
}

TEST(TextMeasure, MalformedCodePageBytesDrawWithoutHarm) {
  TextCanvas t;
  // A lone lead byte, a lead byte at the end, a broken four-byte form, bytes 0x80 and 0xFF.
  const std::string s = "a\x81 \xB5\x81\x30 \x80\xFF\xB5";
  SIZE e{};
  EXPECT_TRUE(GetTextExtentPoint32A(t.Dc(), s.data(), int(s.size()), &e));
  EXPECT_GT(e.cx, 0);
  EXPECT_TRUE(TextOutA(t.Dc(), 0, 0, s.data(), int(s.size())));
  RECT r{0, 0, 50, 50};
  EXPECT_GT(DrawTextA(t.Dc(), s.data(), int(s.size()), &r, DT_WORDBREAK), 0);
}

// --- Alignment -----------------------------------------------------------------------------

TEST(TextAlign, ReferencePointAndCurrentPosition) {
  const std::string s = "Ref";
  TextCanvas left(100, 40), right(100, 40), base(100, 40);
  SetBkMode(left.Dc(), TRANSPARENT);
  SetBkMode(right.Dc(), TRANSPARENT);
  SetBkMode(base.Dc(), TRANSPARENT);
  const SIZE e = left.Extent(s);
  const TEXTMETRICA tm = left.Metrics();
  TextOutA(left.Dc(), 10, 10, s.data(), int(s.size()));
  EXPECT_EQ(SetTextAlign(right.Dc(), TA_RIGHT), TA_LEFT | TA_TOP);
  TextOutA(right.Dc(), 10 + e.cx, 10, s.data(), int(s.size()));
  EXPECT_TRUE(left.SamePixels(right));
  SetTextAlign(base.Dc(), TA_BASELINE);
  TextOutA(base.Dc(), 10, 10 + tm.tmAscent, s.data(), int(s.size()));
  EXPECT_TRUE(left.SamePixels(base));

  TextCanvas cp(100, 40);
  SetTextAlign(cp.Dc(), TA_UPDATECP);
  MoveToEx(cp.Dc(), 4, 5, nullptr);
  TextOutA(cp.Dc(), 50, 50, s.data(), int(s.size()));
  POINT p{};
  GetCurrentPositionEx(cp.Dc(), &p);
  EXPECT_EQ(p.x, 4 + e.cx);
  EXPECT_EQ(p.y, 5);
  EXPECT_EQ(cp.Ink().top, 5);
}

// --- DrawText ------------------------------------------------------------------------------

TEST(DrawText, WordBreakWrapsALongCaptionInsideItsWidth) {
  TextCanvas t(150, 80);
  SetBkMode(t.Dc(), TRANSPARENT);
  const std::string caption = Ansi("批量生成缩略图 [到当前文件夹] 带后缀 缩图");
  const int lineHeight = t.Metrics().tmHeight;
  RECT calc{5, 5, 129, 5};
  const int h = DrawTextA(t.Dc(), caption.data(), -1, &calc, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_GE(h, 2 * lineHeight);
  EXPECT_EQ(h % lineHeight, 0);
  EXPECT_EQ(calc.bottom - calc.top, h);
  EXPECT_LE(calc.right, 129);
  EXPECT_GT(calc.right, 5 + 124 / 2);  // lines are filled, not one character each
  RECT r{5, 5, 129, 75};
  EXPECT_EQ(DrawTextA(t.Dc(), caption.data(), -1, &r, DT_WORDBREAK), h);
  const RECT ink = t.Ink();
  EXPECT_GE(ink.left, 5);
  EXPECT_LE(ink.right, 129);
  EXPECT_LE(ink.bottom, 5 + h);
  // Every line has ink.
  for (int line = 0; line < h / lineHeight; ++line) {
    bool any = false;
    for (int y = 5 + line * lineHeight; y < 5 + (line + 1) * lineHeight && !any; ++y)
      for (int x = 0; x < t.Width() && !any; ++x) any = t.At(x, y) != kPaper;
    EXPECT_TRUE(any) << "line " << line;
  }
}

struct BreakCase {
  const char* name;
  const char* text;   // UTF-8
  const char* width;  // the rectangle is as wide as this text (UTF-8)
  std::vector<const char*> lines;
};

class WordBreak : public testing::TestWithParam<BreakCase> {};

// The lines the breaker makes, found by measuring each expected line on its own.
TEST_P(WordBreak, BreaksWhereExpected) {
  const BreakCase& c = GetParam();
  TextCanvas t;
  const int width = t.Extent(Ansi(c.width)).cx;
  const std::string text = Ansi(c.text);
  RECT calc{0, 0, width, 0};
  const int h = DrawTextA(t.Dc(), text.data(), -1, &calc, DT_CALCRECT | DT_WORDBREAK);
  const int lineHeight = t.Metrics().tmHeight;
  EXPECT_EQ(h, lineHeight * int(c.lines.size()));
  // Drawing the expected lines one by one gives the same pixels as the wrapped text.
  TextCanvas whole(200, 60), byLine(200, 60);
  SetBkMode(whole.Dc(), TRANSPARENT);
  SetBkMode(byLine.Dc(), TRANSPARENT);
  RECT r{0, 0, width, 60};
  DrawTextA(whole.Dc(), text.data(), -1, &r, DT_WORDBREAK | DT_NOCLIP);
  int widest = 0;
  for (std::size_t i = 0; i < c.lines.size(); ++i) {
    const std::string line = Ansi(c.lines[i]);
    TextOutA(byLine.Dc(), 0, int(i) * lineHeight, line.data(), int(line.size()));
    widest = std::max<int>(widest, byLine.Extent(line).cx);
  }
  EXPECT_TRUE(whole.SamePixels(byLine));
  EXPECT_EQ(calc.right, widest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WordBreak,
    testing::Values(
        BreakCase{"AtBlanks", "aaa bbb ccc", "aaa bbb c", {"aaa bbb", "ccc"}},
        BreakCase{"BlanksAtTheBreakAreDropped", "aaa    bbb", "aaa  ", {"aaa", "bbb"}},
        BreakCase{"LongWordKeepsItsLine", "xxxxxxxxxxxx yy", "xxxx", {"xxxxxxxxxxxx", "yy"}},
        BreakCase{"LineBreaks", "a\r\nb\nc\rd", "abcdefgh", {"a", "b", "c", "d"}},
        BreakCase{"EmptyLinesCount", "a\n\nb", "abcdefgh", {"a", "", "b"}},
        BreakCase{"BetweenChineseCharacters", "缩略图宽度", "缩略图", {"缩略图", "宽度"}},
        BreakCase{"ChineseAndLatin", "缩图photo.jpg", "缩图pho", {"缩图", "photo.jpg"}},
        BreakCase{
            "NoLineStartsWithAClosingMark", "缩略图，宽度", "缩略图", {"缩略", "图，宽", "度"}},
        BreakCase{
            "NoLineEndsWithAnOpeningMark", "缩略（宽度）", "缩略（", {"缩略", "（宽", "度）"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawText, SingleLineIgnoresLineBreaksAndWordBreaking) {
  TextCanvas t;
  const std::string s = "one two\r\nthree";
  RECT r{0, 0, 10, 0};
  const int h = DrawTextA(t.Dc(), s.data(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_WORDBREAK);
  EXPECT_EQ(h, t.Metrics().tmHeight);
  EXPECT_EQ(r.right, t.Extent("one two").cx + t.Extent("three").cx);
}

TEST(DrawText, EndEllipsisShortensTheLine) {
  const std::string s = "C:\\photos\\a very long file name.jpg";
  TextCanvas probe;
  const int width = probe.Extent(s).cx / 2;
  TextCanvas drawn(200, 20), expected(200, 20);
  SetBkMode(drawn.Dc(), TRANSPARENT);
  SetBkMode(expected.Dc(), TRANSPARENT);
  RECT r{0, 0, width, 20};
  const UINT format = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
  RECT calc = r;
  DrawTextA(drawn.Dc(), s.data(), -1, &calc, format | DT_CALCRECT);
  EXPECT_LE(calc.right, width);
  DrawTextA(drawn.Dc(), s.data(), -1, &r, format);
  // The longest start of the text that fits with "..." after it.
  std::string shown;
  for (std::size_t n = s.size(); n > 0; --n) {
    shown = s.substr(0, n) + "...";
    if (probe.Extent(shown).cx <= width) break;
  }
  TextOutA(expected.Dc(), 0, 0, shown.data(), int(shown.size()));
  EXPECT_TRUE(drawn.SamePixels(expected)) << shown;
  EXPECT_EQ(calc.right, probe.Extent(shown).cx);

  // Text that fits is left alone.
  TextCanvas fits(200, 20), plain(200, 20);
  SetBkMode(fits.Dc(), TRANSPARENT);
  SetBkMode(plain.Dc(), TRANSPARENT);
  RECT wide{0, 0, 200, 20};
  DrawTextA(fits.Dc(), "short", -1, &wide, format);
  TextOutA(plain.Dc(), 0, 0, "short", 5);
  EXPECT_TRUE(fits.SamePixels(plain));
}

struct PlaceCase {
  const char* name;
  UINT format;
  bool centreX, rightX, centreY, bottomY;
};

class Placement : public testing::TestWithParam<PlaceCase> {};

TEST_P(Placement, SingleLineLandsWhereTheFlagsSay) {
  const PlaceCase& c = GetParam();
  const std::string s = "Centred";
  TextCanvas drawn(120, 50), expected(120, 50);
  SetBkMode(drawn.Dc(), TRANSPARENT);
  SetBkMode(expected.Dc(), TRANSPARENT);
  RECT r{10, 5, 110, 45};
  const int result = DrawTextA(drawn.Dc(), s.data(), -1, &r, DT_SINGLELINE | c.format);
  const SIZE e = drawn.Extent(s);
  int x = r.left, y = r.top;
  if (c.centreX) x = r.left + (100 - e.cx) / 2;
  if (c.rightX) x = r.right - e.cx;
  if (c.centreY) y = r.top + (40 - e.cy) / 2;
  if (c.bottomY) y = r.bottom - e.cy;
  TextOutA(expected.Dc(), x, y, s.data(), int(s.size()));
  EXPECT_TRUE(drawn.SamePixels(expected));
  EXPECT_EQ(result, y - r.top + e.cy);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, Placement,
    testing::Values(PlaceCase{"TopLeft", DT_LEFT | DT_TOP, false, false, false, false},
                    PlaceCase{"Centre", DT_CENTER, true, false, false, false},
                    PlaceCase{"Right", DT_RIGHT, false, true, false, false},
                    PlaceCase{"CentreBoth", DT_CENTER | DT_VCENTER, true, false, true, false},
                    PlaceCase{"BottomRight", DT_RIGHT | DT_BOTTOM, false, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawText, CentresEachWrappedLine) {
  TextCanvas drawn(120, 50), expected(120, 50);
  SetBkMode(drawn.Dc(), TRANSPARENT);
  SetBkMode(expected.Dc(), TRANSPARENT);
  const int width = drawn.Extent("aaaa bb").cx;
  RECT r{0, 0, width, 50};
  DrawTextA(drawn.Dc(), "aaaa bb b", -1, &r, DT_WORDBREAK | DT_CENTER);
  const int lineHeight = drawn.Metrics().tmHeight;
  TextOutA(expected.Dc(), 0, 0, "aaaa bb", 7);
  TextOutA(expected.Dc(), (width - drawn.Extent("b").cx) / 2, lineHeight, "b", 1);
  EXPECT_TRUE(drawn.SamePixels(expected));
}

TEST(DrawText, ClipsToItsRectangleUnlessNoClip) {
  TextCanvas clipped(100, 30), unclipped(100, 30);
  SetBkMode(clipped.Dc(), TRANSPARENT);
  SetBkMode(unclipped.Dc(), TRANSPARENT);
  RECT r{0, 0, 15, 30};
  DrawTextA(clipped.Dc(), "Overflowing", -1, &r, DT_SINGLELINE);
  DrawTextA(unclipped.Dc(), "Overflowing", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_LE(clipped.Ink().right, 15);
  EXPECT_GT(unclipped.Ink().right, 30);
}

TEST(DrawText, OpaqueBackgroundCoversEachLine) {
  TextCanvas t(100, 40);
  SetBkMode(t.Dc(), OPAQUE);
  SetBkColor(t.Dc(), RGB(255, 255, 255));
  RECT r{2, 2, 98, 38};
  DrawTextA(t.Dc(), "wide line\nab", -1, &r, 0);
  const int lh = t.Metrics().tmHeight;
  const int w1 = t.Extent("wide line").cx, w2 = t.Extent("ab").cx;
  EXPECT_EQ(t.At(2, 2), 0xFFFFFFu);
  EXPECT_NE(t.At(2 + w1 - 1, 2 + lh - 1), kPaper);
  EXPECT_EQ(t.At(2 + w1, 2), kPaper);
  EXPECT_NE(t.At(2 + w2 - 1, 2 + lh), kPaper);
  EXPECT_EQ(t.At(2 + w2, 2 + lh), kPaper);
  EXPECT_EQ(t.At(2, 2 + 2 * lh), kPaper);
}

TEST(DrawText, PrefixesUnderlineAndDoubleAmpersandsShowOne) {
  const auto draw = [](const char* text, UINT format) {
    auto t = std::make_unique<TextCanvas>(100, 20);
    SetBkMode(t->Dc(), TRANSPARENT);
    RECT r{0, 0, 100, 20};
    DrawTextA(t->Dc(), text, -1, &r, DT_SINGLELINE | format);
    return t;
  };
  EXPECT_TRUE(draw("a&&b", 0)->SamePixels(*draw("a&b", DT_NOPREFIX)));
  EXPECT_TRUE(draw("&File", DT_HIDEPREFIX)->SamePixels(*draw("File", 0)));
  EXPECT_TRUE(draw("&File", DT_NOPREFIX)->SamePixels(*draw("&File", DT_NOPREFIX)));
  EXPECT_FALSE(draw("&File", DT_NOPREFIX)->SamePixels(*draw("File", 0)));
  // "&F" differs from "F" only by the underline below the baseline, under the F.
  auto prefixed = draw("&File", 0), plain = draw("File", 0);
  TextCanvas probe;
  const int ascent = probe.Metrics().tmAscent, fWidth = probe.Extent("F").cx;
  int differing = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x)
      if (prefixed->At(x, y) != plain->At(x, y)) {
        ++differing;
        EXPECT_GE(y, ascent) << x << "," << y;
        EXPECT_LT(x, fWidth) << x << "," << y;
      }
  EXPECT_GT(differing, 0);
  RECT calc{0, 0, 0, 0};
  DrawTextA(probe.Dc(), "&File", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(calc.right, probe.Extent("File").cx);
}

TEST(DrawText, ExpandTabsToEightAverageCharacters) {
  TextCanvas t;
  const int step = 8 * t.Metrics().tmAveCharWidth;
  RECT r{0, 0, 0, 0};
  DrawTextA(t.Dc(), "a\tb", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  EXPECT_EQ(r.right, step + t.Extent("b").cx);
  r = RECT{0, 0, 0, 0};
  DrawTextA(t.Dc(), "a\t\tb", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  EXPECT_EQ(r.right, 2 * step + t.Extent("b").cx);
  // DT_TABSTOP: bits 8-15 give the characters per stop (so it cannot go with DT_CALCRECT).
  TextCanvas drawn(100, 20), expected(100, 20);
  SetBkMode(drawn.Dc(), TRANSPARENT);
  SetBkMode(expected.Dc(), TRANSPARENT);
  RECT box{0, 0, 100, 20};
  DrawTextA(drawn.Dc(), "a\tb", -1, &box, DT_SINGLELINE | DT_EXPANDTABS | DT_TABSTOP | (4u << 8));
  TextOutA(expected.Dc(), 0, 0, "a", 1);
  TextOutA(expected.Dc(), 4 * t.Metrics().tmAveCharWidth, 0, "b", 1);
  EXPECT_TRUE(drawn.SamePixels(expected));
}

TEST(DrawText, EmptyTextAndCountLimits) {
  TextCanvas t;
  RECT r{4, 4, 50, 50};
  EXPECT_EQ(DrawTextA(t.Dc(), "", -1, &r, DT_CALCRECT), 0);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 4);
  // Only count bytes are formatted.
  RECT a{0, 0, 0, 0}, b{0, 0, 0, 0};
  DrawTextA(t.Dc(), "abcdef", 3, &a, DT_CALCRECT | DT_SINGLELINE);
  DrawTextA(t.Dc(), "abc", -1, &b, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(a.right, b.right);
}

}  // namespace
}  // namespace win
