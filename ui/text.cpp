#include "ui/text.h"

#include <algorithm>
#include <climits>

namespace ui {

namespace {

int Length(const AnsiString& text) {
  return int(std::min<std::size_t>(text.size(), std::size_t(INT_MAX)));
}

win::UINT DrawTextFormat(std::uint32_t format) {
  win::UINT f = 0;
  if (format & tfCenter)
    f |= win::DT_CENTER;
  else if (format & tfRight)
    f |= win::DT_RIGHT;
  if (format & tfSingleLine) {
    f |= win::DT_SINGLELINE;
    if (format & tfVCenter)
      f |= win::DT_VCENTER;
    else if (format & tfBottom)
      f |= win::DT_BOTTOM;
  } else if (format & tfWordBreak) {
    f |= win::DT_WORDBREAK;
  }
  if (format & tfExpandTabs) f |= win::DT_EXPANDTABS;
  if (format & tfEndEllipsis) f |= win::DT_END_ELLIPSIS;
  if (format & tfNoPrefix) f |= win::DT_NOPREFIX;
  return f;
}

// A memory DC with the font selected, for measuring without a canvas.
class MeasuringDC {
 public:
  explicit MeasuringDC(TFont& font) : dc_(win::CreateCompatibleDC(nullptr)) {
    if (dc_ != nullptr) old_ = win::SelectObject(dc_, font.Handle());
  }
  ~MeasuringDC() {
    if (dc_ == nullptr) return;
    win::SelectObject(dc_, old_);
    win::DeleteDC(dc_);
  }
  MeasuringDC(const MeasuringDC&) = delete;
  MeasuringDC& operator=(const MeasuringDC&) = delete;
  win::HDC Get() const { return dc_; }

 private:
  win::HDC dc_;
  win::HGDIOBJ old_ = nullptr;
};

// The bounds DrawText gives the text with the format (the width limits word breaking).
win::SIZE Measure(win::HDC dc, const AnsiString& text, int width, std::uint32_t format) {
  if (dc == nullptr) return {0, 0};
  win::TEXTMETRICA metrics{};
  win::GetTextMetricsA(dc, &metrics);
  if (text.empty()) return {0, metrics.tmHeight};
  win::RECT r{0, 0, std::max(width, 1), 0};
  win::DrawTextA(dc, text.data(), Length(text), &r, DrawTextFormat(format) | win::DT_CALCRECT);
  return {r.right - r.left, std::max<int>(r.bottom - r.top, metrics.tmHeight)};
}

}  // namespace

void DrawCaption(TCanvas& canvas, const AnsiString& text, const win::RECT& rect,
                 std::uint32_t format) {
  if (text.empty()) return;
  canvas.RequiredState(csHandleValid | csFontValid);
  const win::HDC dc = canvas.CurrentHandle();
  win::RECT r = rect;
  // DrawText centres single lines only; several lines are placed as a block here.
  if (!(format & tfSingleLine) && (format & (tfVCenter | tfBottom))) {
    const int height = Measure(dc, text, r.right - r.left, format).cy;
    const int room = (r.bottom - r.top) - height;
    r.top += (format & tfVCenter) ? room / 2 : room;
  }
  const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
  const win::COLORREF oldColor = win::SetTextColor(dc, ColorToRGB(canvas.Font().Color()));
  win::DrawTextA(dc, text.data(), Length(text), &r, DrawTextFormat(format));
  win::SetTextColor(dc, oldColor);
  win::SetBkMode(dc, oldMode);
}

win::SIZE CaptionExtent(TFont& font, const AnsiString& text, std::uint32_t format) {
  const MeasuringDC dc(font);
  return Measure(dc.Get(), text, INT_MAX / 2, (format & ~std::uint32_t(tfWordBreak)));
}

int CaptionHeight(TFont& font, const AnsiString& text, int width, std::uint32_t format) {
  const MeasuringDC dc(font);
  return Measure(dc.Get(), text, width, (format | tfWordBreak) & ~std::uint32_t(tfSingleLine)).cy;
}

}  // namespace ui
