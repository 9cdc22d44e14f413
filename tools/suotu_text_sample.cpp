// suotu-text-sample OUT.bmp: draws the window's kinds of text (labels, the link label, the bold
// title, a wrapped button caption, an ellipsis, a selected list row, sizes) with GDI text into a
// 32-bit BMP file, so the look of the text can be checked by eye.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/gdi/gdi.h"

namespace {

using namespace win;

constexpr int kWidth = 420;
constexpr int kHeight = 270;

std::string Ansi(const char* utf8) {
  return Utf8ToAnsi(utf8).value_or("?");
}

HFONT MakeFont(LONG height, LONG weight, bool underline) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(lf.lfFaceName, "MS Sans Serif");
  return CreateFontIndirectA(&lf);
}

void Fill(HDC dc, RECT r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Text(HDC dc, int x, int y, const std::string& s) {
  TextOutA(dc, x, y, s.data(), int(s.size()));
}

void Draw(HDC dc) {
  Fill(dc, RECT{0, 0, kWidth, kHeight}, RGB(0xD4, 0xD0, 0xC8));
  HFONT ui = MakeFont(-11, FW_NORMAL, false);
  HFONT link = MakeFont(-11, FW_NORMAL, true);
  HFONT bold = MakeFont(-11, FW_BOLD, false);
  HGDIOBJ old = SelectObject(dc, ui);
  SetBkMode(dc, TRANSPARENT);
  Text(dc, 8, 8, Ansi("选择目录  文件  设置选项  缩略图宽度  操作完成!"));
  Text(dc, 8, 26, "The quick brown fox jumps over the lazy dog 0123456789");

  SelectObject(dc, link);
  SetTextColor(dc, RGB(0x0A, 0x24, 0x6A));
  Text(dc, 8, 44, Ansi("欢迎访问官方网站:http://www.suotu.example/"));

  SelectObject(dc, bold);
  SetTextColor(dc, RGB(0xF4, 0xFA, 0xFF));
  RECT title{0, 62, kWidth, 82};
  Fill(dc, title, RGB(0x2F, 0x88, 0xA2));
  const std::string titleText = Ansi("   缩图 Thumbnail maker [title panel]");
  DrawTextA(dc, titleText.data(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

  SelectObject(dc, ui);
  SetTextColor(dc, RGB(0, 0, 0));
  Fill(dc, RECT{10, 90, 144, 139}, RGB(0xA2, 0xE0, 0xFF));
  const std::string caption = Ansi("批量生成缩略图 [到当前文件夹] 带后缀 缩图");
  RECT inner{15, 95, 139, 134};
  RECT measured = inner;
  const int h =
      DrawTextA(dc, caption.data(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  inner.top = (inner.top + inner.bottom - h) / 2;
  inner.bottom = inner.top + h;
  DrawTextA(dc, caption.data(), -1, &inner, DT_WORDBREAK | DT_CENTER | DT_EXPANDTABS);

  RECT path{160, 90, 300, 104};
  Fill(dc, path, RGB(0xFF, 0xFF, 0xFF));
  const std::string longPath = "C:\\Documents and Settings\\photos\\a very long name.jpg";
  DrawTextA(dc, longPath.data(), -1, &path, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(0x0A, 0x24, 0x6A));
  SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
  Text(dc, 160, 110, Ansi("C:\\照片\\选中的条目.jpg"));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const std::string menu = Ansi("&File  文件(&F)\tTab\tstops");
  RECT menuRect{160, 130, 410, 146};
  DrawTextA(dc, menu.data(), -1, &menuRect, DT_SINGLELINE | DT_EXPANDTABS);

  int y = 152;
  for (LONG size : {-9, -12, -13, -14, -16, -20, -24}) {
    HFONT f = MakeFont(size, FW_NORMAL, false);
    SelectObject(dc, f);
    Text(dc, 8, y, Ansi("中文字号 Size ") + std::to_string(-size));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    y += tm.tmHeight;
    SelectObject(dc, ui);
    DeleteObject(f);
  }
  SelectObject(dc, old);
  DeleteObject(ui);
  DeleteObject(link);
  DeleteObject(bold);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: suotu-text-sample OUT.bmp\n");
    return 2;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!bitmap || !dc) return 1;
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  Draw(dc);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);

  const std::uint32_t imageBytes = std::uint32_t(kWidth) * kHeight * 4;
  unsigned char file[14] = {'B', 'M'};
  const std::uint32_t fileBytes = 14 + 40 + imageBytes, offset = 14 + 40;
  std::memcpy(file + 2, &fileBytes, 4);
  std::memcpy(file + 10, &offset, 4);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), imageBytes);
  DeleteObject(bitmap);
  if (!out) {
    std::fprintf(stderr, "suotu-text-sample: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
