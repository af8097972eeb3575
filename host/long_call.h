// What a long call needs from the host while its kernel runs: whether the
// user has asked to stop (Ctrl-C), polled between steps of work, and progress
// lines that reach the console at once. Written once over the back end's
// interrupt primitives (host::signals) and flush_console; host/host.h
// includes it.
//
// In GNU Octave a signal other than an interrupt (SIGTERM from a batch
// scheduler, say) is handed to Octave's own handler as soon as it is seen;
// what that raises (the exit for SIGTERM) is kept and raised again once the
// kernel has returned, so that the call ends as promptly as an idle session
// does. In a host without interrupt flags nothing is ever pending: calls run
// to the end.
#pragma once

#include <exception>

namespace host {

namespace long_call_detail {

// Clears the interrupt: its state and the caught signal together, so that
// the signal that brought it does not raise it again.
inline void clear_interrupt() noexcept
{
    signals::set_interrupt_pending(false);
    signals::clear_caught_signal();
}

// Hands the caught signals to the host, as Octave's own octave_quit does;
// may throw what the host raises in response (Octave's exit on SIGTERM).
inline void respond_to_signals()
{
    signals::clear_caught_signal();
    signals::handle_signals();
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
// marks the interrupt as being handled): that one is made pending again, for
// the caller to report as its own interrupted error, as it does for an
// interrupt it sees itself. Call only from a catch block.
inline void keep_host_exception()
{
    if (signals::interrupt_being_handled()) {
        signals::set_interrupt_pending(true);
    } else {
        deferred() = std::current_exception();
    }
}

}  // namespace long_call_detail

// Looks the host's flags up (once per module load). Call before a kernel
// that polls stop_requested.
inline void watch_for_interrupts()
{
    signals::look_up();
    long_call_detail::deferred() = nullptr;
}

// True when the call should stop: an interrupt is pending, or the host raised
// something while handling another signal (see raise_deferred). Cheap enough
// to poll every millisecond; never throws.
inline bool stop_requested() noexcept
{
    if (signals::interrupt_pending()) return true;
    if (!signals::signal_caught()) return false;
    try {
        long_call_detail::respond_to_signals();
    } catch (...) {
        long_call_detail::keep_host_exception();
        return true;
    }
    return signals::interrupt_pending();
}

// Raises again what the host raised while a kernel polled stop_requested or
// while print_now ran, if anything.
inline void raise_deferred_if_any()
{
    std::exception_ptr raised = long_call_detail::deferred();
    long_call_detail::deferred() = nullptr;
    if (raised) std::rethrow_exception(raised);
}

// After a kernel stopped on stop_requested: raises again what the host raised
// while handling a signal (Octave's exit on SIGTERM), if anything. Otherwise
// the stop was an interrupt; it is marked handled, so that it does not also
// stop the next command, and the caller raises its own error.
inline void raise_deferred()
{
    raise_deferred_if_any();
    long_call_detail::clear_interrupt();
}

// Prints text and flushes the console, so that it shows while the call runs.
// Called between steps of a kernel (and so never throws): should the host
// raise anything meanwhile (an interrupt arriving just then), it is kept for
// raise_deferred and false is returned, and the kernel should stop.
inline bool print_now(const char* text) noexcept
{
    try {
        print(text);
        flush_console();
    } catch (...) {
        long_call_detail::keep_host_exception();
        return false;
    }
    return true;
}

}  // namespace host
