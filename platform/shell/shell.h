// Windows shell stand-in: the namespace (item_list.h, shell_folder.h) and opening a document or
// web address with the desktop's default handler.
#pragma once

#include <functional>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/item_list.h"
#include "platform/shell/shell_folder.h"

namespace win {

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

// ShellExecute's failure codes (results of 32 or less).
constexpr std::intptr_t SE_ERR_FNF = 2;
constexpr std::intptr_t SE_ERR_ACCESSDENIED = 5;
constexpr std::intptr_t SE_ERR_NOASSOC = 31;

// Opens `file` (an ANSI path or address) with the verb "open" (or none) through the desktop's
// default handler, xdg-open. The result is a value above 32 on success; otherwise SE_ERR_FNF for
// an empty or unconvertible target, SE_ERR_NOASSOC for another verb, a target that looks like a
// command-line option, or one the handler could not open. Parameters and directory are not
// used. Error dialogs are the handler's business; nothing is printed.
HINSTANCE ShellExecuteA(HWND window, const char* verb, const char* file, const char* parameters,
                        const char* directory, int show);

// Not a Windows call: replaces how a target is opened (tests). The handler gets the target in
// UTF-8 and answers whether it was opened; an empty handler restores xdg-open.
using ShellOpenHandler = std::function<bool(const std::string& utf8Target)>;
void SetShellOpenHandler(ShellOpenHandler handler);

}  // namespace win
