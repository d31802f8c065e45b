#pragma once
// Byte files and folder listings on the host's paths. Paths are given as the
// module writes them (Windows separators, Windows-1252) and converted by
// NativePath. Reading is buffered, so a reader that takes one byte at a time
// pays a function call per buffer, not per byte.
#include <cstddef>
#include <cstdio>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API CXQFile {
  public:
    CXQFile() = default;
    ~CXQFile();  // closes
    CXQFile(const CXQFile&) = delete;
    CXQFile& operator=(const CXQFile&) = delete;

    // Opens path for reading, or for writing (created, or truncated when it
    // exists). False when it cannot: ErrorText then names the file and the
    // system's reason (German). An open file is closed first.
    bool Open(const CString& path, bool forWriting = false);
    // Closes; for a written file false when the last bytes could not be
    // written (ErrorText says why). Closing a closed file returns true.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }

    // The next byte of a file opened for reading. False at the end of the
    // file, and when reading failed (Failed() then tells, ErrorText why).
    bool GetByte(char& c) {
        if (m_pos < m_end) {
            c = m_buffer[m_pos++];
            return true;
        }
        return Refill(c);
    }
    // Appends bytes to a file opened for writing; false on failure.
    bool Write(const char* data, size_t size);
    bool Write(const CString& text) { return Write(text.GetString(), text.str().size()); }

    bool Failed() const { return m_failed; }
    const CString& ErrorText() const { return m_error; }
    // Bytes taken by GetByte since Open.
    long long Position() const { return m_consumed + static_cast<long long>(m_pos); }

  private:
    bool Refill(char& c);
    void Fail(const char* what);

    std::FILE* m_file = nullptr;
    CString m_path, m_error;
    bool m_failed = false, m_writing = false;
    char* m_buffer = nullptr;
    size_t m_pos = 0, m_end = 0;
    long long m_consumed = 0;  // bytes of the buffers before the current one
};

// The names (without folder) of the plain files in folder whose names match
// pattern: '?' stands for one character, '*' for any run, letters compared
// case-blind (ASCII). Sorted byte-wise. Empty when nothing matches or the
// folder cannot be listed (the reason then goes to the host log).
Q7HOST_API std::vector<CString> XQListFiles(const CString& folder, const CString& pattern);
