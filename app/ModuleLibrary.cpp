#include "app/ModuleLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "host/base/Cp1252.h"
#include "host/base/XQGuard.h"

namespace {

// The folder of the running program; the module is installed beside it.
std::string ProgramFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return ".";
    std::string path(buffer, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

void* OpenProgramLibrary(const char* fileName, const char* what, std::string& error) {
    const std::string path = ProgramFolder() + "/" + fileName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // The loader's own text is English: it goes to the host log, the
        // user reads the German reason.
        const char* reason = dlerror();
        if (reason) XQLog(path.c_str(), Utf8ToCp1252(reason));
        error = std::string(what) + " " + path + " konnte nicht geladen werden: " +
                (access(path.c_str(), F_OK) != 0
                     ? "die Datei fehlt neben dem Programm."
                     : "die Datei ist beschädigt oder passt nicht zu diesem Programm.");
    }
    return handle;
}

ModuleLibrary::~ModuleLibrary() {
    Close();
}

bool ModuleLibrary::Open(std::string& error) {
    if (m_handle) return true;
    m_handle = OpenProgramLibrary("libq7txtbst.so", "Das Modul", error);
    return m_handle != nullptr;
}

void* ModuleLibrary::Find(const char* name) const {
    if (!m_handle) return nullptr;
    return dlsym(m_handle, name);
}

void ModuleLibrary::Close() {
    if (m_handle) dlclose(m_handle);
    m_handle = nullptr;
}
