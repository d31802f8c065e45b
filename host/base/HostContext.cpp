#include "host/base/HostContext.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "host/base/Cp1252.h"
#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"

namespace {

struct Context {
    std::string home;
    CString today;
    int workstation = 1;
    long long millis = 0;
    std::function<void()> beep;
};

Context& Ctx() {
    static Context context;
    return context;
}

CString SystemDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    if (std::strftime(text, sizeof text, "%Y%m%d", &local) != 8) return CString("19800101");
    return CString(text);
}

// The home as the host's own text, separators as the module expects them.
CString HomeText() {
    return Utf8ToCp1252(Ctx().home);
}

}  // namespace

void Q7SetHome(const std::string& dir) {
    if (dir.empty()) {
        Ctx().home.clear();
        return;
    }
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(dir, error);
    std::string home = error ? dir : path.lexically_normal().string();
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    Ctx().home = home;
}

const std::string& Q7GetHome() {
    return Ctx().home;
}

void Q7SetToday(const CString& yyyymmdd) {
    Ctx().today = NumStr(yyyymmdd, 8, 8) ? yyyymmdd : CString();
}

void Q7SetWorkstation(int number) {
    Ctx().workstation = number;
}
int Q7GetWorkstation() {
    return Ctx().workstation;
}

long long Q7HostMillis() {
    return Ctx().millis;
}

void Q7AdvanceHostMillis(long long ms) {
    if (ms > 0) Ctx().millis += ms;
}

CString GetXQDate() {
    return Ctx().today.IsEmpty() ? SystemDate() : Ctx().today;
}

CString Db2Date(const CString& yyyymmdd) {
    if (!NumStr(yyyymmdd, 8, 8)) return yyyymmdd;
    return yyyymmdd.Mid(6, 2) + "." + yyyymmdd.Mid(4, 2) + "." + yyyymmdd.Left(4);
}

CString StrToExt(const CString& s, int type, int length) {
    if (type != 5) return length < 1 ? s : s.Left(length);
    CString shown = Db2Date(s);
    return length < 1 ? shown : LeftFix(shown, length);
}

CString GetQ7DataROPath() {
    if (Ctx().home.empty()) return CString();
    CString path = HomeText();
    if (path != "/") path += '/';
    return path + "data/";
}

CString GetDatFilePath(const CString& name) {
    CString folder = Ctx().home.empty() ? CString("dat") : HomeText() + "/dat";
    if (folder.Left(2) == "//") folder.Delete(0);  // home is the root
    std::error_code error;
    std::filesystem::create_directories(NativePath(folder), error);
    return folder + "/" + name;
}

std::string NativePath(const CString& path) {
    CString slashed(path);
    slashed.Replace('\\', '/');
    return Cp1252ToUtf8(slashed.str());
}

void Q7Beep(int /*kind*/) {
    if (!Ctx().beep) return;
    // A front end that cannot beep leaves the dialog going.
    XQGuardVoid("Signalton", [] { Ctx().beep(); });
}

void Q7SetBeepSink(std::function<void()> sink) {
    Ctx().beep = std::move(sink);
}
