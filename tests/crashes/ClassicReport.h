#pragma once

#include <QString>

// A classic macOS report as the system wrote them before .ips, cut short.
inline const QString kClassic = QStringLiteral(
    "Process:               Preview [4121]\n"
    "Path:                  /System/Applications/Preview.app/Contents/MacOS/Preview\n"
    "Identifier:            com.apple.Preview\n"
    "Version:               11.0 (1033.3.3)\n"
    "Code Type:             X86-64 (Native)\n"
    "Parent Process:        launchd [1]\n"
    "User ID:               501\n\n"
    "Date/Time:             2023-03-14 09:26:53.412 +0100\n"
    "OS Version:            macOS 13.2.1 (22D68)\n"
    "Report Version:        12\n\n"
    "Time Awake Since Boot: 51000 seconds\n\n"
    "System Integrity Protection: enabled\n\n"
    "Crashed Thread:        0  Dispatch queue: com.apple.main-thread\n\n"
    "Exception Type:        EXC_CRASH (SIGABRT)\n"
    "Exception Codes:       0x0000000000000000, 0x0000000000000000\n\n"
    "Application Specific Information:\n"
    "*** Terminating app due to uncaught exception 'NSRangeException', reason: '*** -[__NSArrayM objectAtIndex:]: "
    "index 4 beyond bounds [0 .. 3]'\n"
    "abort() called\n\n"
    "Thread 0 Crashed:: Dispatch queue: com.apple.main-thread\n"
    "0   libsystem_kernel.dylib        \t0x00007ff80a1b31f2 __pthread_kill + 10\n"
    "1   libsystem_pthread.dylib       \t0x00007ff80a1eaee6 pthread_kill + 263\n"
    "2   libsystem_c.dylib             \t0x00007ff80a111b45 abort + 123\n"
    "3   Preview                       \t0x000000010f2c3a10 0x10f200000 + 801296\n\n"
    "Thread 1:\n"
    "0   libsystem_pthread.dylib       \t0x00007ff80a1e6f48 start_wqthread + 0\n\n"
    "Thread 0 crashed with X86 Thread State (64-bit):\n"
    "  rax: 0x0000000000000000  rbx: 0x00007ff8551c4e80\n");
