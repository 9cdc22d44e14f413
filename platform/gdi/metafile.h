// Metafile handles: enhanced metafiles (HENHMETAFILE) and Windows metafiles (HMETAFILE) as
// the clipboard and the picture container exchange them.
//
// A handle holds the metafile's bytes; nothing here plays records. The calls keep the Windows
// contract: bits are validated when a handle is made, copies are independent, and deleting a
// handle that is not live fails with ERROR_INVALID_HANDLE.
#pragma once

#include "platform/gdi/gdi.h"

namespace win {

struct HENHMETAFILE__;
struct HMETAFILE__;
using HENHMETAFILE = HENHMETAFILE__*;
using HMETAFILE = HMETAFILE__*;

struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
struct SIZEL {
  LONG cx;
  LONG cy;
};

constexpr DWORD EMR_HEADER = 1;
constexpr DWORD ENHMETA_SIGNATURE = 0x464D4520;  // " EMF"

// The first record of every enhanced metafile. rclFrame is in hundredths of a millimetre;
// szlDevice and szlMillimeters describe the reference device it was recorded for.
struct ENHMETAHEADER {
  DWORD iType;
  DWORD nSize;
  RECTL rclBounds;
  RECTL rclFrame;
  DWORD dSignature;
  DWORD nVersion;
  DWORD nBytes;
  DWORD nRecords;
  WORD nHandles;
  WORD sReserved;
  DWORD nDescription;
  DWORD offDescription;
  DWORD nPalEntries;
  SIZEL szlDevice;
  SIZEL szlMillimeters;
};
static_assert(sizeof(ENHMETAHEADER) == 88);

// CF_METAFILEPICT data: an HGLOBAL holding this, with extents in the mapping mode's units
// (hundredths of a millimetre for MM_ANISOTROPIC and MM_ISOTROPIC).
constexpr LONG MM_ISOTROPIC = 7;
constexpr LONG MM_ANISOTROPIC = 8;
struct METAFILEPICT {
  LONG mm;
  LONG xExt;
  LONG yExt;
  HMETAFILE hMF;
};

// Enhanced metafiles. SetEnhMetaFileBits takes nBytes of the header from `data` (which must
// hold at least that many) and fails on a malformed header.
HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data);
// Size of the metafile when buffer is null; else copies it when `size` is large enough and
// returns its size; 0 on failure.
UINT GetEnhMetaFileBits(HENHMETAFILE metafile, UINT size, BYTE* buffer);
// Copies up to `size` bytes of the header record; with header null returns the record's size.
UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header);
// A copy in memory (fileName null) or written to the file and read back from it.
HENHMETAFILE CopyEnhMetaFileA(HENHMETAFILE metafile, LPCSTR fileName);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);

// Windows metafiles (the standard 18-byte header first, no placeable header).
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);
UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, void* buffer);
BOOL DeleteMetaFile(HMETAFILE metafile);

}  // namespace win
