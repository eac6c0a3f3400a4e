// Linked into every program of a ThreadSanitizer build (TAVOLIN_TSAN).
//
// QProcess starts children with clone(CLONE_VM | CLONE_VFORK): the child
// borrows our memory, threads' state included, until it execs. TSan's clone
// interceptor takes any clone for a fork and, in the child, marks the runtime
// "forked while multi-threaded" - in memory the parent shares - so the parent
// dies at its next new thread, or with die_after_fork=0 stops checking its
// main thread. Such a child only execs, so it goes straight to glibc; every
// other clone still goes through TSan.

#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

extern "C" int __clone(int (*fn)(void *), void *stack, int flags, void *arg, ...);

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    // glibc reads these three only for the flags that use them; so do we.
    va_list rest;
    va_start(rest, arg);
    pid_t *parentTid = va_arg(rest, pid_t *);
    void *tls = va_arg(rest, void *);
    pid_t *childTid = va_arg(rest, pid_t *);
    va_end(rest);
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK))
        return __clone(fn, stack, flags, arg, parentTid, tls, childTid);
    using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
    static const Clone next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
