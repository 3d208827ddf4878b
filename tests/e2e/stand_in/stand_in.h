// Shared by the two stand-in libraries that the end-to-end driver puts in the
// system directory in place of the password verifier and the network provider.
//
// They talk to the driver through two files named by environment variables that
// the driver sets before it starts the saver (the saver inherits them):
//   PENDRAL_E2E_LOG     every call is appended to it as one line of text;
//   PENDRAL_E2E_ANSWER  "<answer> <milliseconds>": the value to return, and how
//                       long to keep the caller's messages flowing first, as a
//                       real password dialog would. Read afresh at every call.
//                       A time below zero keeps them flowing until the file
//                       names another time; the answer is the one named then.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace stand_in {

inline void AppendLine(const char* line) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("PENDRAL_E2E_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

struct Answer {
    long value = 0;
    long pumpMs = 0;
    bool whole = true;  // false: a file caught half written
};

inline Answer ReadAnswer() {
    Answer answer;
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("PENDRAL_E2E_ANSWER", path, sizeof path);
    if (n == 0 || n >= sizeof path) return answer;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return answer;
    long value = 0;
    long pumpMs = 0;
    int got = std::fscanf(file, "%ld %ld", &value, &pumpMs);
    std::fclose(file);
    if (got >= 1) answer.value = value;
    if (got >= 2) answer.pumpMs = pumpMs;
    answer.whole = got >= 2;  // the driver writes both
    return answer;
}

// Dispatches the calling thread's messages for the given time, as the modal
// loop of a dialog owned by the caller's window would.
inline void DispatchQueued() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

inline void PumpMessages(long ms) {
    DWORD start = GetTickCount();
    while (static_cast<long>(GetTickCount() - start) < ms) {
        DispatchQueued();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The answer, once the caller's messages flowed as long as it asks. A held
// answer (a time below zero, or a file caught half written) is read again until
// released; the messages are dispatched after each reading, so that whatever
// reached the caller before the release is handled within the call.
inline Answer AnswerAfterPumping() {
    Answer answer = ReadAnswer();
    while (!answer.whole || answer.pumpMs < 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        answer = ReadAnswer();
        DispatchQueued();
    }
    PumpMessages(answer.pumpMs);
    return answer;
}

// "load <library> by <program file name> from <folder of this library>".
inline void LogLoad(const char* library, HINSTANCE self) {
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    char own[MAX_PATH] = "";
    GetModuleFileNameA(self, own, sizeof own);
    char* ownEnd = own;
    for (char* p = own; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') ownEnd = p;
    }
    *ownEnd = '\0';
    const char* base = exe;
    for (const char* p = exe; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') base = p + 1;
    }
    char line[2 * MAX_PATH + 64];
    std::snprintf(line, sizeof line, "load %s by %s from %s", library, base, own);
    AppendLine(line);
}

}  // namespace stand_in
