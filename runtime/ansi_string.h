// AnsiString and its helpers. An AnsiString is a string of bytes in the ANSI code page 936:
// a byte from 0x81 to 0xFE starts a double-byte character whose second byte may be any value
// from 0x40 up, including "\" (0x5C). Helpers that look for separators never take such a
// second byte for one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

using AnsiString = std::string;

// printf-style formatting into an AnsiString (%s takes const char*, %d int).
AnsiString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True when the byte starts a double-byte character of code page 936.
inline bool IsLeadByte(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}

// Index of the last byte of s that is one of the single-byte delimiters and not the second
// byte of a double-byte character; npos when there is none.
std::size_t LastDelimiter(const AnsiString& delimiters, const AnsiString& s);

// Path splitting. The file name is everything after the last "\" or ":"; the extension is the
// text from the last "." to the end when that "." comes after every "\" and ":".
AnsiString ExtractFilePath(const AnsiString& path);  // folder with its trailing "\" or ":"
AnsiString ExtractFileDir(const AnsiString& path);   // folder without a trailing "\" (C:\ kept)
AnsiString ExtractFileName(const AnsiString& path);
AnsiString ExtractFileExt(const AnsiString& path);  // with the dot; "" when none
// Extension without its dot, as the picture container looks it up ("" when none).
AnsiString ExtractExtensionWithoutDot(const AnsiString& path);
// The path with its extension replaced (ext includes the dot, or is empty).
AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext);
// The absolute Windows form of a path, resolved against the current directory.
AnsiString ExpandFileName(const AnsiString& path);

// ASCII-only case mapping that leaves double-byte characters alone.
AnsiString AnsiLowerCase(const AnsiString& s);
AnsiString AnsiUpperCase(const AnsiString& s);

// Integer parsing as the width box is read: leading blanks, an optional "+" or "-", then
// decimal digits, or hexadecimal digits after "$", "x", "X" or "0x" (not "0X"); nothing may follow
// the digits; the value must fit a signed 32-bit integer.
std::optional<std::int32_t> TryStrToInt(const AnsiString& s);
// As TryStrToInt; raises EConvertError "'%s' is not a valid integer value" on failure.
std::int32_t StrToInt(const AnsiString& s);
AnsiString IntToStr(std::int64_t value);

// The application title: the program file's name without its folder and without everything
// from its first "." on, every character after the first in lower case ("PROJECT1.EXE" gives
// "Project1"; "suotu" gives "suotu").
AnsiString ApplicationTitleFrom(const AnsiString& programPath);

// The text the failure display shows for an exception's message: a full stop is appended when
// the text is not empty and its last byte is greater than "." (0x2E).
AnsiString FailureDisplayText(const AnsiString& message);
