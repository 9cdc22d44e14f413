// The shell's own names, as a Chinese Windows shows them. Written here in UTF-8 and converted
// to code page 936 where they are used.
#pragma once

namespace win::strings {

inline constexpr const char* kDesktopName = "桌面";
inline constexpr const char* kDocumentsName = "我的文档";
inline constexpr const char* kComputerName = "我的电脑";
inline constexpr const char* kNetworkName = "网上邻居";
inline constexpr const char* kRecycleBinName = "回收站";
inline constexpr const char* kControlPanelName = "控制面板";

// Drive captions: the kind's name, a blank, then "(C:)".
inline constexpr const char* kFixedDriveName = "本地磁盘";
inline constexpr const char* kRemovableDriveName = "可移动磁盘";
inline constexpr const char* kCdDriveName = "CD 驱动器";
inline constexpr const char* kRemoteDriveName = "网络驱动器";
inline constexpr const char* kRamDiskName = "RAM 磁盘";

}  // namespace win::strings
