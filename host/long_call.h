// What a long call needs from the host while its kernel runs: whether the
// user has asked to stop (Ctrl-C), polled between steps of work, and progress
// lines that reach the console at once. The host's own flags are found at run time,
// so that one module binary serves either host:
// - GNU Octave: octave_interrupt_state (> 0: an interrupt is pending) and
//   octave_signal_caught (some signal is waiting for the interpreter), from
//   liboctave. A pending signal other than an interrupt (SIGTERM from a batch
//   scheduler, say) is handed to Octave's own handler at once; what that
//   raises (the exit for SIGTERM) is kept and raised again once the kernel has
//   returned, so the call ends as promptly as an idle session does.
// - MATLAB: utIsInterruptPending and utSetInterruptPending, from libut.
// In a host that has neither, nothing is ever pending: calls run to the end.
#pragma once

#include <exception>

#include "mex.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <psapi.h>
#else
#include <dlfcn.h>
#endif

namespace host {

namespace interrupt_detail {

// The address of a symbol exported by any module of the host process, or null.
inline void* find_host_symbol(const char* name)
{
#if defined(_WIN32)
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return nullptr;
    const DWORD count = bytes / sizeof(HMODULE) < 1024 ? bytes / sizeof(HMODULE) : 1024;
    for (DWORD k = 0; k < count; ++k) {
        if (FARPROC address = GetProcAddress(modules[k], name)) return reinterpret_cast<void*>(address);
    }
    return nullptr;
#else
    return dlsym(RTLD_DEFAULT, name);
#endif
}

struct HostFlags {
    // Octave: sig_atomic_t (an int) in every version; octave_signal_caught is
    // read and cleared through its first byte, which holds its 0 or 1 whether
    // Octave declares it int or bool (little-endian targets).
    volatile int* octave_interrupt_state = nullptr;
    volatile unsigned char* octave_signal_caught = nullptr;
    void (*octave_handle_signal)() = nullptr;
    // MATLAB.
    bool (*is_interrupt_pending)() = nullptr;
    void (*set_interrupt_pending)(bool) = nullptr;

    HostFlags()
    {
        octave_interrupt_state = static_cast<volatile int*>(find_host_symbol("octave_interrupt_state"));
        octave_signal_caught = static_cast<volatile unsigned char*>(find_host_symbol("octave_signal_caught"));
        octave_handle_signal = reinterpret_cast<void (*)()>(find_host_symbol("octave_handle_signal"));
        if (octave_interrupt_state == nullptr) {
            is_interrupt_pending = reinterpret_cast<bool (*)()>(find_host_symbol("utIsInterruptPending"));
            set_interrupt_pending = reinterpret_cast<void (*)(bool)>(find_host_symbol("utSetInterruptPending"));
        }
    }
};

inline HostFlags& flags()
{
    static HostFlags found;
    return found;
}

// What the host raised while handling a signal during the call, to be raised
// again when the kernel has returned.
inline std::exception_ptr& deferred()
{
    static std::exception_ptr raised;
    return raised;
}

// Keeps what the host raised while the module called into it. Octave
// raises an interrupt that way when Ctrl-C arrives just then (its handler
// marks the interrupt as being handled, -1): that one is made pending again,
// for the caller to report as its own interrupted error, as it does for an
// interrupt it sees itself. Call only from a catch block.
inline void keep_host_exception()
{
    HostFlags& host = flags();
    if (host.octave_interrupt_state != nullptr && *host.octave_interrupt_state < 0) {
        *host.octave_interrupt_state = 1;
    } else {
        deferred() = std::current_exception();
    }
}

}  // namespace interrupt_detail

// Raises again what the host raised while a kernel polled stop_requested or
// while print_now ran, if anything.
inline void raise_deferred_if_any()
{
    std::exception_ptr raised = interrupt_detail::deferred();
    interrupt_detail::deferred() = nullptr;
    if (raised) std::rethrow_exception(raised);
}

// Looks the host's flags up (once per module load). Call before a kernel
// that polls stop_requested.
inline void watch_for_interrupts()
{
    interrupt_detail::flags();
    interrupt_detail::deferred() = nullptr;
}

// True when the call should stop: an interrupt is pending, or the host raised
// something while handling another signal (see raise_deferred). Cheap enough
// to poll every millisecond; never throws.
inline bool stop_requested() noexcept
{
    interrupt_detail::HostFlags& host = interrupt_detail::flags();
    if (host.octave_interrupt_state != nullptr) {
        if (*host.octave_interrupt_state > 0) return true;
        if (host.octave_signal_caught == nullptr || *host.octave_signal_caught == 0) return false;
        if (host.octave_handle_signal == nullptr) return false;
        // As Octave's own octave_quit does: clear the flag, then respond.
        *host.octave_signal_caught = 0;
        try {
            host.octave_handle_signal();
        } catch (...) {
            interrupt_detail::keep_host_exception();
            return true;
        }
        return *host.octave_interrupt_state > 0;
    }
    return host.is_interrupt_pending != nullptr && host.is_interrupt_pending();
}

// After a kernel stopped on stop_requested: raises again what the host raised
// while handling a signal (Octave's exit on SIGTERM), if anything. Otherwise
// the stop was an interrupt; it is marked handled, so that it does not also
// stop the next command, and the caller raises its own error.
inline void raise_deferred()
{
    raise_deferred_if_any();
    interrupt_detail::HostFlags& host = interrupt_detail::flags();
    if (host.octave_interrupt_state != nullptr) {
        *host.octave_interrupt_state = 0;
        if (host.octave_signal_caught != nullptr) *host.octave_signal_caught = 0;
    } else if (host.set_interrupt_pending != nullptr) {
        host.set_interrupt_pending(false);
    }
}

// Prints text and flushes the console, so that it shows while the call runs.
// Called between steps of a kernel (and so never throws): should the host
// raise anything meanwhile (an interrupt arriving just then), it is kept for
// raise_deferred and false is returned, and the kernel should stop.
inline bool print_now(const char* text) noexcept
{
    try {
        mexPrintf("%s", text);
        // Octave's fflush(stdout); MATLAB flushes its command window on drawnow.
        mexEvalString(interrupt_detail::flags().octave_interrupt_state != nullptr ? "fflush(stdout);" : "drawnow;");
    } catch (...) {
        interrupt_detail::keep_host_exception();
        return false;
    }
    return true;
}

}  // namespace host
