#include "platform/files/MappedWindow.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace files {
namespace {

// The windows open now, for the handler to tell their pages from any other
// address. Only lock-free atomics: the handler may read nothing else.
struct OpenWindow {
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> begin{0};  // 0 while the window is not mapped
    std::atomic<size_t> length{0};
    std::atomic<bool> lost{false};
};
constexpr int kOpenWindows = 16;
OpenWindow g_open[kOpenWindows];
struct sigaction g_before = {};  // written once, before the handler is put in place
uintptr_t g_page = 4096;

// A SIGBUS raised by touching a page of an open window that the file no
// longer holds: the page becomes one of NUL bytes and the access is made
// again. Any other goes where it went before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (OpenWindow& window : g_open) {
        const uintptr_t begin = window.begin.load(std::memory_order_acquire);
        if (info->si_code <= 0 || begin == 0 || at < begin || at - begin >= window.length.load()) continue;
        void* page = reinterpret_cast<void*>(at & ~(g_page - 1));
        if (::mmap(page, g_page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == page) {
            window.lost.store(true);
            return;
        }
    }
    if ((g_before.sa_flags & SA_SIGINFO) != 0) {
        g_before.sa_sigaction(signal, info, context);
        return;
    }
    if (g_before.sa_handler != SIG_DFL && g_before.sa_handler != SIG_IGN) {
        g_before.sa_handler(signal);
        return;
    }
    // As without this handler: a fault ends the program when the access is
    // made again; a signal another program sent is delivered again.
    ::signal(signal, SIG_DFL);
    if (info->si_code <= 0) ::raise(signal);
}

void HandleBusErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action = {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, nullptr, &g_before);
        ::sigaction(SIGBUS, &action, nullptr);
    });
}

}  // namespace

MappedWindow::MappedWindow(int fd, off_t offset, size_t size) {
    if (size == 0 || offset < 0) return;
    HandleBusErrors();
    for (int s = 0; s < kOpenWindows && slot_ < 0; ++s)
        if (!g_open[s].taken.exchange(true)) slot_ = s;
    if (slot_ < 0) return;
    lead_ = static_cast<size_t>(offset) % g_page;
    const size_t length = lead_ + size;
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, offset - static_cast<off_t>(lead_));
    if (map == MAP_FAILED) {
        g_open[slot_].taken.store(false);
        slot_ = -1;
        return;
    }
    ::madvise(map, length, MADV_SEQUENTIAL);
    map_ = static_cast<char*>(map);
    size_ = size;
    OpenWindow& open = g_open[slot_];
    open.lost.store(false);
    open.length.store(length);
    open.begin.store(reinterpret_cast<uintptr_t>(map_), std::memory_order_release);
}

MappedWindow::~MappedWindow() {
    if (slot_ < 0) return;
    OpenWindow& open = g_open[slot_];
    if (map_) {
        open.begin.store(0, std::memory_order_release);
        ::munmap(map_, lead_ + size_);
    }
    open.taken.store(false);
}

bool MappedWindow::Lost() const { return slot_ >= 0 && g_open[slot_].lost.load(); }

}  // namespace files
