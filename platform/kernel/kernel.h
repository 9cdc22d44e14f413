// Windows kernel stand-in: files, paths, drives, errors, code page, tick count.
//
// The system's code calls these exactly as it would call the Windows API: ANSI (code page
// 936) paths with "\" separators and drive letters, BOOL results, and error numbers read
// back with GetLastError. Host paths and UTF-8 appear only inside this layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using BOOL = int;
using HANDLE = void*;
using LPCSTR = const char*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
constexpr DWORD MAX_PATH = 260;

// --- Error numbers (winerror.h values) ---------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_NO_ASSOCIATION = 1155;
constexpr DWORD ERROR_CANCELLED = 1223;

DWORD GetLastError();
void SetLastError(DWORD code);

// The system's message text for an error number, in Simplified Chinese as a Chinese Windows
// words it, code page 936, without a trailing line break. Unknown numbers give "".
std::string SystemErrorText(DWORD code);

// Windows error number for a POSIX errno value.
DWORD ErrorFromErrno(int err);

// --- Code page 936 at the host boundary --------------------------------------------------
// Host strings are UTF-8; ANSI strings are code page 936, converted through GB18030 so that
// every Unicode character survives the round trip.
std::optional<std::string> AnsiToUtf8(const std::string& ansi);
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);
// UTF-8 and UTF-16 (wide strings as Windows has them); a malformed byte or a lone surrogate
// becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& wide);
// One file name across the boundary. Characters Windows forbids in names ("\ : * ? " < > |)
// are ordinary on the host; in ANSI names they are private-use characters (U+F000 plus the
// character's code, four bytes in code page 936, none of them "\" or ":"), so such a host
// file stays reachable and its name never splits a path. nullopt when the host name is not
// UTF-8 or already holds one of those private-use characters (it would read back as another
// file's name), or when the ANSI name is no code page 936 text or holds a forbidden character.
std::optional<std::string> HostNameToAnsi(const std::string& hostName);
std::optional<std::string> AnsiNameToHost(const std::string& ansiName);
// True for a byte that starts a double-byte character in code page 936.
bool IsDBCSLeadByte(BYTE b);
// Equal when ASCII letters are ignored for case; double-byte (and four-byte) characters compare
// exactly, so a trail byte is never folded.
bool AnsiEqualNoCase(const std::string& a, const std::string& b);

// --- Drives ------------------------------------------------------------------------------
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

struct DriveMapping {
  char letter;           // 'C'
  std::string hostRoot;  // "/" or "/media/usb0"
  UINT type;             // DRIVE_FIXED, ...
  bool operator==(const DriveMapping&) const = default;
};

// The drive table: read from SUOTU_DRIVES when set, else built from the host's mounts.
std::vector<DriveMapping> DriveTable();
// Replaces the table for this process (tests); an empty vector restores the default.
void SetDriveTable(std::vector<DriveMapping> table);
// Parses a SUOTU_DRIVES value: "C=/tmp/t/c;D=/tmp/t/usb:removable", types fixed, removable,
// cdrom, remote, ramdisk (fixed when left out). Malformed entries are left out; a letter
// given twice keeps its first entry. Sorted by letter.
std::vector<DriveMapping> ParseDriveList(const std::string& drives);
DWORD GetLogicalDrives();
UINT GetDriveTypeA(LPCSTR rootPath);

// --- Paths -------------------------------------------------------------------------------
// Host path for a Windows path ("C:\dir\x.jpg" -> "/dir/x.jpg"). Components that do not
// exist with their exact case are matched without case. Relative paths resolve against the
// current directory (C:\ unless changed). Fails (nullopt, last error set) when the drive is
// unknown or the name cannot be represented on the host.
std::optional<std::string> HostPathFromWindows(const std::string& path);
// Windows path for a host path, or nullopt when no drive covers it or it is not UTF-8.
std::optional<std::string> WindowsPathFromHost(const std::string& hostPath);
DWORD GetFullPathNameA(LPCSTR fileName, std::string& fullPath);
BOOL SetCurrentDirectoryA(LPCSTR path);
DWORD GetCurrentDirectoryA(std::string& path);

// --- Files -------------------------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD FILE_SHARE_DELETE = 4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

// CREATE_ALWAYS and CREATE_NEW write into an unnamed (else hidden) temporary file in the
// target's folder; CloseHandle puts it in place, DiscardFile drops it. So a file is written
// whole or not at all, even when the process is killed, and never lands on a file whose name
// differs only in case. A replaced file keeps its permissions; a new one gets the umask's.
// Share modes hold between this process's handles (ERROR_SHARING_VIOLATION); read-only files
// refuse writes and replacement, and only regular files open for reading (ERROR_ACCESS_DENIED).
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, void* security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod);
BOOL GetFileSizeEx(HANDLE file, LONGLONG* size);
BOOL SetEndOfFile(HANDLE file);
// Closes a handle. For a file opened with CREATE_ALWAYS / CREATE_NEW this commits it: the
// temporary file replaces the target. FALSE (and no target change) when that fails.
BOOL CloseHandle(HANDLE handle);
// Closes a file opened for creation without committing it: the target stays as it was.
BOOL DiscardFile(HANDLE file);

BOOL DeleteFileA(LPCSTR fileName);
BOOL CreateDirectoryA(LPCSTR path, void* security);
BOOL RemoveDirectoryA(LPCSTR path);
BOOL MoveFileA(LPCSTR existing, LPCSTR newName);
DWORD GetFileAttributesA(LPCSTR fileName);
BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes);

// --- Wildcard search ----------------------------------------------------------------------
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};
// "C:\dir\*.jpg": entries of the folder whose names match the pattern without case, in the
// host's enumeration order, "." and ".." included as Windows lists them for non-root folders.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
// Windows wildcard match ("*" and "?"), ASCII letters compared without case.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// --- Global memory (clipboard data) ------------------------------------------------------
using HGLOBAL = void*;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
std::size_t GlobalSize(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory);  // 0 on success

// --- Time --------------------------------------------------------------------------------
DWORD GetTickCount();

}  // namespace win
