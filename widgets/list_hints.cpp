#include "widgets/list_hints.h"

namespace {

AnsiString Trim(const AnsiString& s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

}  // namespace

win::RECT ItemHintRect(const win::RECT& itemRect, win::SIZE hintSize) {
  const int itemHeight = itemRect.bottom - itemRect.top;
  const int left = itemRect.left - 1;
  const int top = itemRect.top + (itemHeight - hintSize.cy) / 2 - 2;
  return {left, top, left + hintSize.cx, top + hintSize.cy};
}

AnsiString ExpandTabs(const AnsiString& text) {
  AnsiString out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\t')
      out.append(8, ' ');
    else
      out.push_back(c);
  }
  return out;
}

AnsiString LinkTarget(const AnsiString& url, const AnsiString& caption) {
  const AnsiString trimmedUrl = Trim(url);
  return trimmedUrl.empty() ? Trim(caption) : trimmedUrl;
}
