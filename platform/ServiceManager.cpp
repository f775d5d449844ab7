#include "ServiceManager.h"

#include <cstdlib>

#ifdef VORN_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace vorn {

bool notifyServiceManager(const char* state) {
    if (!std::getenv("NOTIFY_SOCKET"))
        return true;
#ifdef VORN_HAVE_SYSTEMD
    return sd_notify(0, state) > 0;
#else
    (void)state;
    return false;
#endif
}

bool stderrIsJournal() {
    static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
    return journal;
}

const char* journalPrefix(JournalPriority priority) {
    if (!stderrIsJournal())
        return "";
    switch (priority) {
    case JournalPriority::error:
        return "<3>";
    case JournalPriority::warning:
        return "<4>";
    case JournalPriority::info:
        return "<6>";
    default:
        return "<7>";
    }
}

} // namespace vorn
