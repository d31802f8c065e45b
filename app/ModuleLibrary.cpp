#include "app/ModuleLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

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
        const char* reason = dlerror();
        error = std::string(what) + " " + path +
                " konnte nicht geladen werden: " + (reason ? reason : "unbekannter Fehler");
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
