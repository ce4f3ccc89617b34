// Running a function on a thread with a stack large enough for deep script recursion.
//
// Script runs, evaluations and calls nest by plain recursion with no depth
// limit, so the interpreter runs on a thread whose stack it chooses instead of
// the main thread's few megabytes.
#include "platform/Platform.h"

#include <exception>
#include <utility>

#ifdef _WIN32
#include <float.h>
#include <process.h>
#include <windows.h>
#include <climits>
#else
#include <limits.h>
#include <pthread.h>
#include <signal.h>
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

// The sizes tried in turn when the one asked for cannot be reserved.
constexpr std::size_t kSmallestFallbackStack = std::size_t(16) << 20;

}  // namespace

int runWithLargeStack(std::size_t stackBytes, int (*entry)(void*), void* argument) {
    Job job;
    job.entry = entry;
    job.argument = argument;
    bool ran = runOnThread(stackBytes, job);
    // Under a limit on address space the large reservation fails; a smaller
    // stack still beats the calling thread's few megabytes.
    for (std::size_t size = stackBytes / 4; !ran && size >= kSmallestFallbackStack; size /= 4)
        ran = runOnThread(size, job);
    if (!ran) runJob(job);
    if (job.failure) std::rethrow_exception(job.failure);
    return job.result;
}

std::uintptr_t stackFloor() {
    const auto [low, size] = stackExtent();
    if (low == 0 || size == 0) return 0;
    // A small stack keeps three quarters of itself usable.
    const std::size_t margin = kStackMargin < size / 4 ? kStackMargin : size / 4;
    return low + margin;
}

}  // namespace vorn::platform
