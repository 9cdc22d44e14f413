// The texts of the batch commands (code page 936).
#pragma once

// "操作完成!"
inline constexpr char kBatchDone[] = "\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9!";
