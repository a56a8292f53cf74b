// Exports shaped like a deliverable's entry points: stdcall functions named
// by a .def file. The bodies use the C++ runtime (strings, a thread) and a
// component library, so a DLL linked against the shared MinGW runtime would
// import it and a missing component object would fail the link.
#include <windows.h>

#include <string>
#include <thread>

#include "support/Convert.h"

extern "C" int WINAPI ProbeAdd(int a, int b) {
    int sum = 0;
    std::thread worker([&] { sum = a + b; });
    worker.join();
    return sum;
}

extern "C" int WINAPI ProbeVersion() {
    return static_cast<int>(UrlEncode(std::string("1 0")).size());
}
