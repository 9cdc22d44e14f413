// Kernel objects that threads wait on: events, threads and directory change notifications,
// the waits themselves, and the network-use query of a mapped drive.
//
// Every object here may be used from any thread. A wait pins the objects it waits on, so
// another thread may close a handle meanwhile: the wait then ends with WAIT_ABANDONED_0 + i
// instead of touching a freed object.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/kernel/kernel.h"

namespace win {

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD STILL_ACTIVE = 259;

// --- Events ------------------------------------------------------------------------------
// An auto-reset event lets one wait through per SetEvent and falls back to unsignalled; a
// manual-reset event stays signalled until ResetEvent. Names (shared between processes) are
// not supported here (0, ERROR_NOT_SUPPORTED). 0 on failure.
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// --- Waits -------------------------------------------------------------------------------
// WAIT_OBJECT_0 + i for the first signalled object in the order given (an auto-reset event
// is reset by the wait that takes it), WAIT_ABANDONED_0 + i when handle i was closed while
// waited on, WAIT_TIMEOUT after `milliseconds` (INFINITE: never), WAIT_FAILED with the last
// error set for 0 or more than 64 handles (ERROR_INVALID_PARAMETER), a handle that is not a
// live event, thread or change notification (ERROR_INVALID_HANDLE), or waitAll TRUE, which
// nothing here needs (ERROR_NOT_SUPPORTED).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// --- Threads -----------------------------------------------------------------------------
// A thread handle is signalled once the thread has ended; closing the handle does not end the
// thread. Creation flags are not supported (0, ERROR_INVALID_PARAMETER); neither is a null
// start routine. The new thread's id goes to *threadId when given. 0 on failure.
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD creationFlags, DWORD* threadId);
// STILL_ACTIVE while the thread runs, then what its start routine returned.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();

// --- Directory change notifications -------------------------------------------------------
constexpr DWORD FILE_NOTIFY_CHANGE_FILE_NAME = 0x001;
constexpr DWORD FILE_NOTIFY_CHANGE_DIR_NAME = 0x002;
constexpr DWORD FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x004;
constexpr DWORD FILE_NOTIFY_CHANGE_SIZE = 0x008;
constexpr DWORD FILE_NOTIFY_CHANGE_LAST_WRITE = 0x010;
constexpr DWORD FILE_NOTIFY_CHANGE_LAST_ACCESS = 0x020;
constexpr DWORD FILE_NOTIFY_CHANGE_CREATION = 0x040;
constexpr DWORD FILE_NOTIFY_CHANGE_SECURITY = 0x100;

// A handle that is signalled when something the filter names changes in the folder (with
// watchSubtree, also below it) and stays signalled until FindNextChangeNotification. A
// subtree is watched in the folder itself and in every folder below it that the shell has
// listed (NoteFolderListed), before or after this call: those are the folders a program can
// show, and no host can watch a whole disk. INVALID_HANDLE_VALUE on failure: the folder's
// lookup error, ERROR_DIRECTORY for a file, ERROR_INVALID_PARAMETER for an empty or unknown
// filter.
HANDLE FindFirstChangeNotificationA(LPCSTR path, BOOL watchSubtree, DWORD filter);
// Re-arms the handle. Changes made since it was signalled are kept and signal it again at
// once, as on Windows.
BOOL FindNextChangeNotification(HANDLE change);
BOOL FindCloseChangeNotification(HANDLE change);

// Not a Windows call: the shell announces each host folder it has listed, so that subtree
// notifications covering it start watching it.
void NoteFolderListed(const std::string& hostFolder);

// --- Drive table changes (not Windows calls) ----------------------------------------------
// Calls `listener` whenever the drive table may have changed: SetDriveTable, or the host's
// mount list changing (a helper thread watches /proc/self/mounts while any listener is
// registered). Listeners run on whichever thread noticed the change and must be quick
// (post a message). Returns an id for RemoveDriveTableListener, 0 for an empty listener.
int AddDriveTableListener(std::function<void()> listener);
// Once it returns, the listener is not running and will not run again.
void RemoveDriveTableListener(int id);

// --- Network use -------------------------------------------------------------------------
using LMSTR = char16_t*;
using NET_API_STATUS = DWORD;
constexpr NET_API_STATUS NERR_Success = 0;
constexpr NET_API_STATUS ERROR_INVALID_LEVEL = 124;
constexpr NET_API_STATUS NERR_UseNotFound = 2250;
constexpr DWORD USE_OK = 0;
constexpr DWORD USE_PAUSED = 1;
constexpr DWORD USE_SESSLOST = 2;
constexpr DWORD USE_NETERR = 3;
constexpr DWORD USE_CONN = 4;
constexpr DWORD USE_RECONN = 5;
constexpr DWORD USE_WILDCARD = ~DWORD{0};
constexpr DWORD USE_DISKDEV = 0;

struct USE_INFO_1 {
  LMSTR ui1_local;   // "X:"
  LMSTR ui1_remote;  // what the drive is mounted from (its host folder here)
  LMSTR ui1_password;
  DWORD ui1_status;  // USE_OK when the remote answers, USE_NETERR when it does not
  DWORD ui1_asg_type;
  DWORD ui1_refcount;
  DWORD ui1_usecount;
};

// The connection of a remote drive ("X:"): level 1 only (ERROR_INVALID_LEVEL otherwise), on
// this computer only (server null or empty, else ERROR_NOT_SUPPORTED). A drive that is not a
// remote one is NERR_UseNotFound. The remote counts as answering when its folder can be read
// within the probe time (1.5 s, SetNetworkProbeTimeout); a mount that hangs is USE_NETERR and
// the caller is not held up longer. The buffer is freed with NetApiBufferFree.
NET_API_STATUS NetUseGetInfo(const char16_t* serverName, const char16_t* useName, DWORD level,
                             BYTE** buffer);
NET_API_STATUS NetApiBufferFree(void* buffer);
// Not a Windows call: how long NetUseGetInfo waits for a remote to answer (tests).
void SetNetworkProbeTimeout(DWORD milliseconds);

}  // namespace win
