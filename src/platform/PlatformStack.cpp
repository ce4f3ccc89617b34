// Running a function on a thread with a stack large enough for deep script recursion.
//
// Script runs, evaluations and calls nest by plain recursion with no depth
// limit, so the interpreter runs on a thread whose stack it chooses instead of
// the main thread's few megabytes.
#include "platform/Platform.h"

#include <exception>

#ifdef _WIN32
#include <float.h>
#include <process.h>
#include <windows.h>
#include <climits>
#else
#include <limits.h>
#include <pthread.h>
#include <unistd.h>
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

void* threadStart(void* raw) {
    runJob(*static_cast<Job*>(raw));
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
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, usableStackSize(stackBytes)) == 0 &&
                         pthread_create(&thread, &attributes, threadStart, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) return false;
    pthread_join(thread, nullptr);
    return true;
}

#endif

}  // namespace

int runWithLargeStack(std::size_t stackBytes, int (*entry)(void*), void* argument) {
    Job job;
    job.entry = entry;
    job.argument = argument;
    if (!runOnThread(stackBytes, job)) runJob(job);
    if (job.failure) std::rethrow_exception(job.failure);
    return job.result;
}

}  // namespace vorn::platform
