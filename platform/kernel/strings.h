// The kernel's own texts: the system's error messages as a Chinese Windows words them.
// Written here in UTF-8 and converted to code page 936 once, on first use.
#pragma once

#include <cstdint>

namespace win::strings {

struct ErrorText {
  std::uint32_t code;
  const char* text;
};

// Sorted by error number.
inline constexpr ErrorText kErrorTexts[] = {
    {0, "操作成功完成。"},
    {1, "函数不正确。"},
    {2, "系统找不到指定的文件。"},
    {3, "系统找不到指定的路径。"},
    {4, "系统无法打开文件。"},
    {5, "拒绝访问。"},
    {6, "句柄无效。"},
    {8, "存储空间不足，无法处理此命令。"},
    {14, "存储空间不足，无法完成此操作。"},
    {15, "系统找不到指定的驱动器。"},
    {17, "系统无法将文件移到不同的磁盘驱动器。"},
    {18, "没有更多文件。"},
    {19, "介质受写入保护。"},
    {21, "设备未就绪。"},
    {31, "连到系统上的设备没有发挥作用。"},
    {32, "另一个程序正在使用此文件，进程无法访问。"},
    {38, "已到文件结尾。"},
    {39, "磁盘已满。"},
    {50, "不支持该请求。"},
    {80, "文件存在。"},
    {87, "参数错误。"},
    {112, "磁盘空间不足。"},
    {123, "文件名、目录名或卷标语法不正确。"},
    {131, "试图将文件指针移至文件开头之前。"},
    {145, "目录不是空的。"},
    {183, "当文件已存在时，无法创建该文件。"},
    {206, "文件名或扩展名太长。"},
    {267, "目录名无效。"},
    {1113, "在多字节的目标代码页中，没有此 Unicode 字符可以映射到。"},
    {1117, "由于 I/O 设备错误，无法运行此项请求。"},
    {1155, "没有应用程序与此操作的指定文件有关联。"},
    {1223, "操作已被用户取消。"},
};

}  // namespace win::strings
