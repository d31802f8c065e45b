#pragma once
// The module library, opened the way the practice system opens it: by file
// name from the program's own folder, every function looked up by its plain
// exported name.
#include <string>

// Opens a library of the program's folder by its file name (with dlopen); the
// handle, or null with the German reason (UTF-8). what names the library in
// that reason ("Das Modul").
void* OpenProgramLibrary(const char* fileName, const char* what, std::string& error);

class ModuleLibrary {
  public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Opens libq7txtbst.so next to the running program. False with a German
    // reason (UTF-8) when it cannot be opened; loading it registers the
    // module's dialogs with the framework.
    bool Open(std::string& error);
    // The exported function of that name, or nullptr when the module lacks it
    // (or is not open).
    void* Find(const char* name) const;
    template <class Function>
    Function FindAs(const char* name) const {
        return reinterpret_cast<Function>(Find(name));
    }
    // Unloads the module; every dialog object of the module must be gone.
    void Close();

  private:
    void* m_handle = nullptr;
};
