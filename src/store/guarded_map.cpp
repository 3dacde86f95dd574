#include "store/guarded_map.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace pelorin::guarded_map {
namespace {

// The live mappings, as [begin, end) pairs; a free slot has begin 0. A slot is claimed by
// setting its begin, then published by setting its end; it is released end first.
constexpr std::size_t kSlots = 1024;
std::atomic<std::uintptr_t> g_begin[kSlots];
std::atomic<std::uintptr_t> g_end[kSlots];
std::atomic<std::size_t> g_lost{0};
std::uintptr_t g_pageSize = 4096;
struct sigaction g_previous {};

bool Guarded(std::uintptr_t addr) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        const std::uintptr_t end = g_end[i].load(std::memory_order_acquire);
        const std::uintptr_t begin = g_begin[i].load(std::memory_order_acquire);
        if (begin != 0 && addr >= begin && addr < end)
            return true;
    }
    return false;
}

void PassOn(int sig, siginfo_t* info, void* context) {
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(sig, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
        return;
    }
    // No handler before ours: restore the default action. Returning runs the faulting
    // instruction again, and the program stops there as it would have without us; a signal
    // sent by another process is raised again.
    ::signal(sig, SIG_DFL);
    if (info->si_code <= 0)
        ::raise(sig);
}

void OnSigbus(int sig, siginfo_t* info, void* context) {
    const int saved = errno;
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    // si_code > 0: raised by a fault, so si_addr is meaningful.
    if (info->si_code > 0 && Guarded(addr)) {
        void* page = reinterpret_cast<void*>(addr & ~(g_pageSize - 1));
        if (::mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            g_lost.fetch_add(1, std::memory_order_relaxed);
            errno = saved;
            return;
        }
    }
    errno = saved;
    PassOn(sig, info, context);
}

bool Install() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnSigbus;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        sigemptyset(&action.sa_mask);
        installed = ::sigaction(SIGBUS, &action, &g_previous) == 0;
    });
    return installed;
}

}  // namespace

const char* Map(int fd, std::size_t length) {
    if (length == 0 || !Install())
        return nullptr;
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED)
        return nullptr;
    const auto begin = reinterpret_cast<std::uintptr_t>(map);
    for (std::size_t i = 0; i < kSlots; ++i) {
        std::uintptr_t free = 0;
        if (g_begin[i].compare_exchange_strong(free, begin, std::memory_order_acq_rel)) {
            g_end[i].store(begin + length, std::memory_order_release);
            return static_cast<const char*>(map);
        }
    }
    ::munmap(map, length);  // no slot left: unguarded mappings are never handed out
    return nullptr;
}

void Unmap(const char* at, std::size_t length) {
    if (!at)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(at);
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (g_begin[i].load(std::memory_order_acquire) == begin) {
            g_end[i].store(0, std::memory_order_release);
            g_begin[i].store(0, std::memory_order_release);
            break;
        }
    }
    ::munmap(const_cast<char*>(at), length);
}

std::size_t PagesLost() {
    return g_lost.load(std::memory_order_relaxed);
}

}  // namespace pelorin::guarded_map
