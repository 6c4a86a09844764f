// closeConsole.cpp
// closeConsole.exe NAME: closes the console of the running Windows process NAME as Windows does,
// for the Wine tests (Wine delivers no CTRL_CLOSE_EVENT when its console window closes: the process
// just ends). Like the system, it runs the process's control routine on a new thread of that
// process with CTRL_CLOSE_EVENT, waits for the handlers to return or 5 s at most, then ends the
// process. Prints how long the handlers took. Built with MinGW by tests/wine/render.sh.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

// How long Windows lets the handlers of a closed console run.
const DWORD kCloseTimeoutMs = 5000;

DWORD findProcess(const char* name) {
    DWORD id = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (_stricmp(entry.szExeFile, name) == 0) id = entry.th32ProcessID;
    CloseHandle(snapshot);
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: closeConsole.exe PROCESS.exe\n");
        return 2;
    }
    DWORD id = findProcess(argv[1]);
    HANDLE process = id ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, id) : nullptr;
    if (!process) {
        fprintf(stderr, "closeConsole: no process %s\n", argv[1]);
        return 1;
    }
    // The routine the system starts in a process for each console event (kernelbase, at the same
    // address in every process of the prefix).
    auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
    HANDLE thread = routine ? CreateRemoteThread(process, nullptr, 0, routine,
                                                 reinterpret_cast<void*>(CTRL_CLOSE_EVENT), 0, nullptr)
                            : nullptr;
    if (!thread) {
        fprintf(stderr, "closeConsole: cannot send the event (error %lu)\n", GetLastError());
        return 1;
    }
    const DWORD start = GetTickCount();
    const bool returned = WaitForSingleObject(thread, kCloseTimeoutMs) == WAIT_OBJECT_0;
    printf("the handlers %s after %lu ms\n", returned ? "returned" : "were still running",
           GetTickCount() - start);
    TerminateProcess(process, STATUS_CONTROL_C_EXIT);
    return 0;
}
