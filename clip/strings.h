// Texts the clipboard commands show, as ANSI (code page 936) bytes.
#pragma once

namespace clip_strings {

// 保存成功!
inline constexpr char kSaved[] = "\xB1\xA3\xB4\xE6\xB3\xC9\xB9\xA6!";

}  // namespace clip_strings
