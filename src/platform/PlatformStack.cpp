// Running a function on a thread with a stack large enough for deep script recursion.
//
// Script runs, evaluations and calls nest by plain recursion with no depth
// limit, so the interpreter runs on a thread whose stack it chooses instead of
// the main thread's few megabytes.
#include "platform/Platform.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "values/Error.h"

#ifdef _WIN32
#include <float.h>
#include <process.h>
#include <windows.h>
#include <climits>
#else
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/TerminalRestore.h"
#endif

namespace vorn::platform {

namespace {

struct Job {
    int (*entry)(void*) = nullptr;
    void* argument = nullptr;
    int result = 0;
    std::exception_ptr failure;
};

// An exception must not leave a thread's start routine; it is carried back
// to the waiting thread instead.
void runJob(Job& job) {
    try {
        job.result = job.entry(job.argument);
    } catch (...) {
        job.failure = std::current_exception();
    }
}

#ifdef _WIN32

unsigned __stdcall threadStart(void* raw) {
    // Windows starts every new thread with the x87 unit rounding to a 53-bit
    // significand; only the main thread is switched to the full 64 bits by
    // the MinGW-w64 start-up code. Without this a long double sum such as
    // 0.1 + 0.2 would be rounded like a double on the interpreter's thread.
    _fpreset();
    runJob(*static_cast<Job*>(raw));
    return 0;
}

bool runOnThread(std::size_t stackBytes, Job& job) {
    const unsigned size = stackBytes > UINT_MAX ? UINT_MAX : static_cast<unsigned>(stackBytes);
    // A reservation: address space is set aside, memory is committed only as
    // the recursion actually reaches it.
    const auto handle = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, size, threadStart, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (handle == nullptr) return false;
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    return true;
}

#else

// What the new thread starts with: the job, and the signal mask the caller
// had before it blocked the signals that restore the terminal.
struct ThreadStart {
    Job* job = nullptr;
    sigset_t mask{};
};

void* threadStart(void* raw) {
    const auto* start = static_cast<ThreadStart*>(raw);
    pthread_sigmask(SIG_SETMASK, &start->mask, nullptr);
    runJob(*start->job);
    return nullptr;
}

std::size_t usableStackSize(std::size_t requested) {
    const auto smallest = static_cast<std::size_t>(PTHREAD_STACK_MIN);
    std::size_t size = requested < smallest ? smallest : requested;
    // Some systems (macOS) accept only whole pages.
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) {
        const auto pageSize = static_cast<std::size_t>(page);
        if (size % pageSize != 0) size += pageSize - size % pageSize;
    }
    return size;
}

bool runOnThread(std::size_t stackBytes, Job& job) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    // The interpreter, and with it the terminal's mode, lives on the new
    // thread; this one only waits. Blocked here from before the thread
    // exists, the signals that restore the terminal go to the new thread,
    // which takes over the mask this one had.
    ThreadStart start{&job, {}};
    const sigset_t restoring = detail::terminalRestoringSignals();
    pthread_sigmask(SIG_BLOCK, &restoring, &start.mask);
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, usableStackSize(stackBytes)) == 0 &&
                         pthread_create(&thread, &attributes, threadStart, &start) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    pthread_sigmask(SIG_SETMASK, &start.mask, nullptr);
    return started;
}

#endif

#if defined(__SANITIZE_ADDRESS__)
#define VORN_STACK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_STACK_SANITIZED 1
#endif
#endif

#ifdef VORN_STACK_SANITIZED
constexpr std::size_t kStackMargin = std::size_t(4) << 20;
#else
// Room for what runs between two depth checks: a builtin's own frames, the
// C++ runtime's unwinding of an error, a signal handler.
constexpr std::size_t kStackMargin = std::size_t(1) << 20;
#endif

// The lowest address and the size of the current thread's stack; {0, 0}
// when the system cannot tell.
std::pair<std::uintptr_t, std::size_t> stackExtent() {
#ifdef _WIN32
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(&info, &info, sizeof info) == 0) return {0, 0};
    const auto low = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
    const auto here = reinterpret_cast<std::uintptr_t>(&info);
    return {low, here - low};
#elif defined(__APPLE__)
    const pthread_t self = pthread_self();
    const auto high = reinterpret_cast<std::uintptr_t>(pthread_get_stackaddr_np(self));
    const std::size_t size = pthread_get_stacksize_np(self);
    return {high - size, size};
#else
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return {0, 0};
    void* low = nullptr;
    std::size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    if (!known) return {0, 0};
    return {reinterpret_cast<std::uintptr_t>(low), size};
#endif
}

// The sizes tried in turn when the one asked for cannot be reserved. A
// thread's stack is reserved whole when the thread is made, so whatever size
// is granted can really be used, however tight the address space.
constexpr std::size_t kSmallestFallbackStack = std::size_t(1) << 20;
// Less than this on the calling thread is too little to run at all.
constexpr std::size_t kSmallestUsableStack = std::size_t(256) << 10;

// On the calling thread, the lowest address the stack was made to reach;
// the stack below it may not be there to grow into. 0: the system's word
// on the stack's extent holds.
thread_local std::uintptr_t tGrownLow = 0;

// Bytes of address space a limit (ulimit -v) still leaves the process;
// SIZE_MAX when there is no limit or it cannot be told.
#ifdef _WIN32
std::size_t addressSpaceLeft() { return SIZE_MAX; }
#else
std::size_t addressSpaceLeft() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return SIZE_MAX;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    const long page = sysconf(_SC_PAGESIZE);
    if (!read || page <= 0) return SIZE_MAX;
    const std::size_t used = pages * static_cast<std::size_t>(page);
    return limit.rlim_cur > used ? static_cast<std::size_t>(limit.rlim_cur - used) : 0;
}
#endif

#ifndef _WIN32

// Makes the calling thread's stack reach `bytes` below here now, while the
// address space has room for it, so that no later allocation can take that
// room and turn deep recursion into a crash.
[[gnu::noinline]] void growStack(std::size_t bytes) {
    auto* area = static_cast<volatile char*>(__builtin_alloca(bytes));
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t step = page > 0 ? static_cast<std::size_t>(page) : 4096;
    for (std::size_t offset = bytes; offset >= step; offset -= step) area[offset - step] = 0;
    tGrownLow = reinterpret_cast<std::uintptr_t>(area);
}
#endif

// Prepares the calling thread to run the interpreter when no thread of its
// own could be made: under a limit on address space the stack the system
// reports cannot all be had, so the part the limit leaves is claimed up
// front and the depth checks stop there.
void prepareCallingThread() {
#ifndef _WIN32
    const std::size_t left = addressSpaceLeft();
    if (left == SIZE_MAX) return;
    const auto [low, size] = stackExtent();
    const auto here = reinterpret_cast<std::uintptr_t>(&left);
    std::size_t want = low != 0 && here > low ? here - low : 0;
    // Half of what is left, the other half for the heap.
    if (want > left / 2) want = left / 2;
    if (want < kSmallestUsableStack)
        throw ScriptError("out of memory", "the limit on address space (ulimit -v) leaves no room for a stack");
    growStack(want - std::size_t(16 << 10));
#endif
}

}  // namespace

int runWithLargeStack(std::size_t stackBytes, int (*entry)(void*), void* argument) {
    Job job;
    job.entry = entry;
    job.argument = argument;
    // Under a limit on address space the large reservation fails; a smaller
    // stack still beats the calling thread's, which may not be able to grow.
    // A stack that would take more than half of what the limit leaves would
    // starve the heap, so such sizes are not tried.
    const std::size_t left = addressSpaceLeft();
    bool ran = false;
    for (std::size_t size = stackBytes; !ran && (size == stackBytes || size >= kSmallestFallbackStack); size /= 4) {
        if (size <= left / 2 || size <= kSmallestFallbackStack) ran = runOnThread(size, job);
    }
    if (!ran) {
        prepareCallingThread();
        runJob(job);
    }
    if (job.failure) std::rethrow_exception(job.failure);
    return job.result;
}

std::uintptr_t stackFloor() {
    auto [low, size] = stackExtent();
    if (low == 0 || size == 0) return 0;
    if (tGrownLow > low) {
        size -= tGrownLow - low;
        low = tGrownLow;
    }
    // A small stack keeps three quarters of itself usable.
    const std::size_t margin = kStackMargin < size / 4 ? kStackMargin : size / 4;
    return low + margin;
}

}  // namespace vorn::platform
