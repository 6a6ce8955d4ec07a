// Small free functions several subsystems share: UTF-16 code points and display
// widths, ASCII upper-casing, code-page conversion, whole-file loading, path parts, the program's
// locked pseudo-random source, a rectangle hit test and a memory swap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/text.h"

// --- Text ---------------------------------------------------------------------

// Reads one code point from `text` with `available` units (-1: unlimited) and
// returns the position after it, or null when no unit is available. A high
// surrogate followed by a low one gives the joined code point; a high surrogate
// that is last or not followed by a low one is returned alone, one unit consumed.
const char16_t* NextCodePoint(const char16_t* text, int available, char32_t* codePoint);

// Writes the code point as one or two units; returns the units written.
int EncodeUtf16(char16_t* out, char32_t codePoint);

// Display cells of a NUL-terminated text: 2 for each code point from U+0100 up
// except half-width katakana (U+FF61-U+FF9F), 1 for the others.
int CountDisplayCells(const char16_t* text);

// CP932 bytes to UTF-16, as the system's ANSI code page conversion. `length` -1
// converts up to and including the NUL. With `capacity` 0 returns the units the
// result needs and writes nothing; a result that does not fit writes nothing and
// returns 0. Otherwise returns the units written (no terminator added beyond the
// input's own).
int AnsiToWide(char16_t* out, int capacity, const char* in, int length);

// ASCII-only upper-casing, shared with the settings file's reader.
using platform::AsciiUpper;

// A NUL-terminated heap copy of `text`.
std::unique_ptr<char16_t[]> DuplicateText(std::u16string_view text);

// --- Files and paths ------------------------------------------------------------

// Reads a whole file into a new malloc'ed buffer of exactly its size (the caller
// frees it; nothing is appended). Null when the file cannot be opened or read
// whole; `size` is then left untouched.
void* LoadFile(std::u16string_view path, std::size_t* size);

// Reads a whole file into `buffer` of `capacity` bytes. Null when the file cannot
// be opened, is larger than the buffer or cannot be read whole; `size` is then
// left untouched.
void* LoadFile(std::u16string_view path, void* buffer, std::size_t capacity, std::size_t* size);

// Creates (or truncates) a file for writing; check IsOpen().
platform::File CreateFileForWrite(std::u16string_view path);

// Moves the file position; returns the new position, or -1 on failure.
int64_t SeekFile64(platform::File& file, int64_t offset, platform::File::Origin origin);

// Splits `path` into drive ("C:"), folder (ending with a separator), name and
// extension (starting with '.'), replaces each part that is given (non-null),
// and joins them again. A given folder gains a trailing '\' when it lacks one, a
// given extension a leading '.'. Drive, folder and extension as "" with a null
// name give the file's title.
std::u16string ReplacePathParts(std::u16string_view path, const char16_t* drive,
                                const char16_t* folder, const char16_t* name,
                                const char16_t* extension);

// --- Others -------------------------------------------------------------------

// 0-32767 from a linear congruential sequence seeded with 1 and never reseeded,
// so every run draws the same values. Safe from any thread.
int LockedRand();

// Index of the first rectangle (right and bottom exclusive) holding (x, y), or
// -1. Rect: any record with left, top, right and bottom.
template <class Rect>
int HitTestRects(const Rect* rects, int count, int x, int y) {
  for (int i = 0; i < count; ++i) {
    const Rect& r = rects[i];
    if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return i;
  }
  return -1;
}

// Exchanges two blocks of `bytes` bytes.
void SwapMemory(void* a, void* b, std::size_t bytes);

// Does nothing; for slots and callbacks that must exist but have nothing to do.
void EmptyFunction();
