// POSIX: the claim is an advisory lock on the file, held for the whole build
// (a lock of flock() survives the build's own reopening of the file), and the
// interrupt is a signal handler that knows the claimed path.
#include "platform/partial_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace ql::platform {

namespace {

int g_claim = -1;
// What the handler may read: the path is complete whenever the flag is set.
volatile sig_atomic_t g_claimed = 0;
char g_path[PATH_MAX];

void OnInterrupt(int signal) {
    if (g_claimed) unlink(g_path);
    _exit(128 + signal);
}

void InstallHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace

void ClaimPartialFile(const std::string& path) {
    ReleasePartialFile();
    if (path.size() >= sizeof g_path) return;
    std::memcpy(g_path, path.c_str(), path.size() + 1);
    g_claimed = 1;
    InstallHandlers();
    g_claim = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (g_claim >= 0) flock(g_claim, LOCK_EX | LOCK_NB);
}

void ReleasePartialFile() {
    g_claimed = 0;
    if (g_claim >= 0) close(g_claim);
    g_claim = -1;
}

bool RemoveLeftover(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    const bool unclaimed = flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool removed = unclaimed && unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}

}  // namespace ql::platform
