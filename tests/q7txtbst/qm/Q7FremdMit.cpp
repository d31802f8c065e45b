// A quality management that shows nothing: it writes the code it was given
// to the file Q7FREMD_PROTOKOLL names, so a test sees what arrived.
#include <cstdlib>
#include <fstream>

#include "host/base/CString.h"

extern "C" __attribute__((visibility("default"))) void Q7QMShowICD(CString code) {
    if (const char* path = std::getenv("Q7FREMD_PROTOKOLL")) std::ofstream(path) << code.str();
}
