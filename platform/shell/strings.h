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

// The context menus' commands.
inline constexpr const char* kMenuOpen = "打开(&O)";
inline constexpr const char* kMenuExplore = "资源管理器(&X)";
inline constexpr const char* kMenuCut = "剪切(&T)";
inline constexpr const char* kMenuCopy = "复制(&C)";
inline constexpr const char* kMenuPaste = "粘贴(&P)";
inline constexpr const char* kMenuDelete = "删除(&D)";
inline constexpr const char* kMenuRename = "重命名(&M)";
inline constexpr const char* kMenuProperties = "属性(&R)";
inline constexpr const char* kMenuSendTo = "发送到(&N)";
inline constexpr const char* kMenuEmptyRecycleBin = "清空回收站(&B)";
inline constexpr const char* kSendToDesktop = "桌面快捷方式";

// What the status line says about the highlighted command.
inline constexpr const char* kHelpOpen = "打开选定的项目。";
inline constexpr const char* kHelpExplore = "用资源管理器浏览选定的文件夹。";
inline constexpr const char* kHelpCut = "将选定的项目移动到剪贴板。";
inline constexpr const char* kHelpCopy = "将选定的项目复制到剪贴板。";
inline constexpr const char* kHelpPaste = "将剪贴板上的项目粘贴到选定的文件夹。";
inline constexpr const char* kHelpDelete = "删除选定的项目。";
inline constexpr const char* kHelpRename = "重命名选定的项目。";
inline constexpr const char* kHelpProperties = "显示选定项目的属性。";
inline constexpr const char* kHelpEmptyRecycleBin = "永久删除回收站中的所有项目。";
inline constexpr const char* kHelpSendToDesktop = "在桌面上创建指向选定项目的快捷方式。";
inline constexpr const char* kHelpSendToDocuments = "将选定的项目复制到“我的文档”。";
inline constexpr const char* kHelpSendToDrive = "将选定的项目复制到 %s。";

// Renaming.
inline constexpr const char* kRenameErrorCaption = "重命名文件或文件夹时出错";
inline constexpr const char* kRenameEmpty = "必须键入文件名。";
inline constexpr const char* kRenameBadCharacters =
    "文件名不能包含下列任何字符之一:\n\\ / : * ? \" < > |";
inline constexpr const char* kRenameExists =
    "无法重命名 %s: 指定的文件名与现有文件重名。请指定另一文件名。";
inline constexpr const char* kRenameFailed = "无法重命名 %s: %s";

// Deleting, copying, moving, the properties.
inline constexpr const char* kDeleteFolderCaption = "确认删除文件夹";
inline constexpr const char* kDeleteFileCaption = "确认删除文件";
inline constexpr const char* kDeleteForGood = "确实要永久删除“%s”和它的所有内容吗？";
inline constexpr const char* kDeleteErrorCaption = "删除文件或文件夹时出错";
inline constexpr const char* kDeleteFailed = "无法删除 %s: %s";
inline constexpr const char* kCopyErrorCaption = "复制文件或文件夹时出错";
inline constexpr const char* kCopyFailed = "无法复制 %s: %s";
inline constexpr const char* kMoveErrorCaption = "移动文件或文件夹时出错";
inline constexpr const char* kMoveFailed = "无法移动 %s: %s";
inline constexpr const char* kOpenErrorCaption = "打开文件夹时出错";
inline constexpr const char* kOpenFailed = "无法打开 %s: %s";
inline constexpr const char* kCopyPrefix = "复件 ";
inline constexpr const char* kCopyNumberedPrefix = "复件 (%d) ";
inline constexpr const char* kLinkErrorCaption = "创建快捷方式时出错";
inline constexpr const char* kLinkFailed = "无法创建快捷方式 %s: %s";
inline constexpr const char* kLinkPrefix = "快捷方式 到 ";
inline constexpr const char* kLinkNumberedPrefix = "快捷方式 (%d) 到 ";
inline constexpr const char* kPropertiesCaption = "%s 属性";
inline constexpr const char* kPropertiesText =
    "位置: %s\n大小: %s 字节\n包含: %d 个文件，%d 个文件夹";
inline constexpr const char* kPropertiesFileText = "位置: %s\n大小: %s 字节";
inline constexpr const char* kDrivePropertiesText =
    "卷标: %s\n类型: %s\n已用空间: %s 字节\n可用空间: %s 字节\n容量: %s 字节";
inline constexpr const char* kComputerPropertiesCaption = "系统属性";
inline constexpr const char* kComputerPropertiesName = "计算机名: %s";
inline constexpr const char* kComputerDriveLine = "%s: 可用 %s 字节，共 %s 字节";
inline constexpr const char* kComputerDriveNotReady = "%s: 设备未就绪";
inline constexpr const char* kRecycleBinPropertiesText = "位置: %s\n包含: %d 个项目\n大小: %s 字节";

// Shortcuts and the recycle bin.
inline constexpr const char* kShortcutPrefix = "快捷方式 到 ";
inline constexpr const char* kShortcutNumberedPrefix = "快捷方式 (%d) 到 ";
inline constexpr const char* kShortcutErrorCaption = "创建快捷方式时出错";
inline constexpr const char* kShortcutFailed = "无法创建快捷方式 %s: %s";
inline constexpr const char* kEmptyRecycleBinCaption = "确认删除多个文件";
inline constexpr const char* kEmptyRecycleBinOne = "确实要永久删除回收站中的这 1 项吗？";
inline constexpr const char* kEmptyRecycleBinMany = "确实要永久删除回收站中的这 %d 项吗？";
inline constexpr const char* kEmptyRecycleBinFailed = "无法删除回收站中的 %d 项: %s";

// The drop menu after a right drag.
inline constexpr const char* kDropMenuMove = "移动到当前位置(&M)";
inline constexpr const char* kDropMenuCopy = "复制到当前位置(&C)";
inline constexpr const char* kDropMenuLink = "在当前位置创建快捷方式(&S)";
inline constexpr const char* kDropMenuCancel = "取消";

}  // namespace win::strings
