#include "lockwait.h"

#include <algorithm>
#include <atomic>

namespace db {

namespace {
std::atomic<LockWaitHost *> g_host{nullptr};
std::atomic<int> g_limit{30};
std::atomic<int> g_step{1};
} // namespace

void setLockWaitHost(LockWaitHost *host) { g_host = host; }
LockWaitHost *lockWaitHost() { return g_host; }
void setLockWaitLimit(int seconds) { g_limit = std::max(1, seconds); }
int lockWaitLimit() { return g_limit; }
void setLockWaitStep(int seconds) { g_step = std::clamp(seconds, 1, 3600); }
int lockWaitStep() { return g_step; }

} // namespace db
