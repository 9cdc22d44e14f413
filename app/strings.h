// The main window's own texts (code page 936).
#pragma once

namespace app {
inline constexpr char kBrowserFailed[] =
    "Internet Explorer\xB5\xF7\xD3\xC3\xCA\xA7\xB0\xDC\xA3\xA1";  // 调用失败！
inline constexpr char kErrorCaption[] = "\xB4\xED\xCE\xF3";       // 错误
}  // namespace app
