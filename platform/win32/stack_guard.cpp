// The stack protector's canary and its failure, for the Windows launcher.
//
// The code is compiled with -fstack-protector-strong: a function that holds
// an array puts __stack_chk_guard below its return address and calls
// __stack_chk_fail when the value has changed by the time it returns.  GCC's
// own libssp would set the value with CryptAcquireContext, which loads a
// cryptographic provider's DLL at every start of a launcher whose whole run
// takes less.  The value is mixed here instead from what Visual C++'s
// __security_init_cookie mixes (the time, the process and thread ids, the
// tick count and the performance counter), with the stack's address, which
// ASLR places anew at every start; its low byte is zero, so that a string
// copied past an array stops at it.  Defined here, neither symbol is taken
// from libssp.
//
// Built without the stack protector itself: these run before the canary is
// set, or after it has been found changed.
#include <windows.h>

#include <stdint.h>

extern "C" {

uintptr_t __stack_chk_guard = 0xff0a0000u;  // until set: a terminator canary

__attribute__((constructor(101))) static void setStackGuard(void) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t value = now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentProcessId() ^
                    GetCurrentThreadId() ^ GetTickCount() ^ counter.LowPart ^ counter.HighPart ^
                    (uintptr_t)&now;
  __stack_chk_guard = value << 8;
}

// A frame's canary was overwritten: nothing of this process can be trusted
// any longer, not even to show a message.  It ends at once, with the status
// Windows gives a stack buffer overrun.
void __stack_chk_fail(void) {
  TerminateProcess(GetCurrentProcess(), 0xC0000409u);
  ExitProcess(0xC0000409u);
}

}  // extern "C"
