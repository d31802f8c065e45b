#pragma once
// Conversions at the edges between the host's Windows-1252 texts and UTF-8
// (terminal, Qt, file names, files that declare UTF-8). Every one of the 256
// bytes has a code point: the five bytes Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number, so any
// CString survives the way to UTF-8 and back unchanged.
#include <string>
#include <string_view>

#include "host/base/CString.h"
#include "host/base/Export.h"

Q7HOST_API std::string Cp1252ToUtf8(std::string_view text);
// Characters Windows-1252 lacks become "?", and so does every malformed
// sequence (one "?" per maximal ill-formed part, as decoders usually count).
Q7HOST_API CString Utf8ToCp1252(std::string_view text);
// The same conversion appended to out, for texts built in place. text is
// read as one whole: a sequence cut at its end counts as malformed.
Q7HOST_API void AppendUtf8ToCp1252(std::string& out, std::string_view text);
// ISO 8859-1 differs only in 0x80-0x9F, which there are C1 controls; those
// that Windows-1252 cannot keep become "?".
Q7HOST_API CString Latin1ToCp1252(std::string_view text);
Q7HOST_API bool IsValidUtf8(std::string_view text);
