// Locks shared by many small objects: an object's lock is one of a fixed set, chosen by its
// address. Only for locks held for a copy or an assignment, never while taking another lock,
// so two objects sharing one cannot deadlock; saves a mutex apiece where a server holds
// 100,000s of them (tags, caches).
#pragma once

#include <mutex>

namespace vorn {

std::mutex& stripedLock(const void* object);

} // namespace vorn
