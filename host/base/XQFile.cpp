#include "host/base/XQFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/base/internal/XQFileSeam.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;

int s_faultCountdown = 0;

// True when the armed fault strikes this call.
bool FaultStrikes() {
    if (s_faultCountdown <= 0) return false;
    if (--s_faultCountdown > 0) return false;
    errno = EIO;
    return true;
}

CString SystemReason(int error) {
    return Utf8ToCp1252(std::strerror(error));
}

bool Matches(const char* name, const char* pattern) {
    // Iterative wildcard match with one back-track point for the last '*'.
    const char *star = nullptr, *resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                          std::tolower(static_cast<unsigned char>(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

}  // namespace

void XQSetFileFault(int n) {
    s_faultCountdown = n > 0 ? n : 0;
}

CXQFile::~CXQFile() {
    Close();
    delete[] m_buffer;
}

bool CXQFile::Open(const CString& path, bool forWriting) {
    Close();
    m_path = path;
    m_error.Empty();
    m_failed = false;
    m_writing = forWriting;
    m_pos = m_end = 0;
    m_consumed = 0;
    if (FaultStrikes()) {
        Fail(forWriting ? "angelegt"
                        : "ge\xF6"
                          "ffnet");
        return false;
    }
    m_file = std::fopen(NativePath(path).c_str(), forWriting ? "wb" : "rb");
    if (!m_file) {
        Fail(forWriting ? "angelegt"
                        : "ge\xF6"
                          "ffnet");
        return false;
    }
    if (!forWriting && !m_buffer) m_buffer = new char[kBufferSize];
    return true;
}

bool CXQFile::Close() {
    if (!m_file) return true;
    bool ok = true;
    if (std::fclose(m_file) != 0 && m_writing && !m_failed) {
        Fail("geschrieben");
        ok = false;
    }
    m_file = nullptr;
    m_pos = m_end = 0;
    return ok && !(m_writing && m_failed);
}

bool CXQFile::Refill(char& c) {
    if (!m_file || m_writing || m_failed) return false;
    m_consumed += static_cast<long long>(m_end);
    m_pos = m_end = 0;
    if (FaultStrikes()) {
        Fail("gelesen");
        return false;
    }
    const size_t got = std::fread(m_buffer, 1, kBufferSize, m_file);
    if (got == 0) {
        if (std::ferror(m_file)) Fail("gelesen");
        return false;
    }
    m_end = got;
    c = m_buffer[m_pos++];
    return true;
}

bool CXQFile::Write(const char* data, size_t size) {
    if (!m_file || !m_writing || m_failed) return false;
    if (FaultStrikes() || std::fwrite(data, 1, size, m_file) != size) {
        Fail("geschrieben");
        return false;
    }
    return true;
}

void CXQFile::Fail(const char* what) {
    const int error = errno;
    m_failed = true;
    m_error = "Die Datei \x84" + m_path + "\x93 kann nicht " + what +
              " werden: " + SystemReason(error) + ".";
}

std::vector<CString> XQListFiles(const CString& folder, const CString& pattern) {
    std::vector<CString> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(NativePath(folder), ec), end;
    if (ec) {
        XQLog("Ordner", "Der Ordner \x84" + folder +
                            "\x93 kann nicht gelesen werden: " + Utf8ToCp1252(ec.message()) + ".");
        return names;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file(ec)) continue;
        const CString name = Utf8ToCp1252(it->path().filename().string());
        if (Matches(name, pattern)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}
