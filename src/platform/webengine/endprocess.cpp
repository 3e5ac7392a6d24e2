#include "endprocess.h"

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <signal.h>
#include <sys/types.h>
#endif

namespace brackenly {

bool endProcess(qint64 pid)
{
    // Never 0 or -1: on POSIX those would signal a whole process group or every process.
    if (pid <= 0)
        return false;
#if defined(Q_OS_WIN)
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(pid));
    if (!process)
        return false;
    const bool ended = ::TerminateProcess(process, 1) != 0;
    ::CloseHandle(process);
    return ended;
#elif defined(Q_OS_UNIX)
    return ::kill(pid_t(pid), SIGKILL) == 0;
#else
    return false;
#endif
}

} // namespace brackenly
