// What a server tells the service manager (systemd) when one runs it: "READY=1" once it serves,
// "STOPPING=1" as it ends; and whether its stderr is the journal, whose lines may then start
// with a syslog priority ("<3>" error ... "<7>" debug) so that `journalctl -p` can filter them.
// Started by hand, none of this changes anything.
#pragma once

namespace vorn {

// Sends `state` (e.g. "READY=1") when NOTIFY_SOCKET is set; false when it could not be sent.
bool notifyServiceManager(const char* state);

// True when JOURNAL_STREAM is set: stderr goes to the journal.
bool stderrIsJournal();

// Syslog priorities of the journal's line prefix.
enum class JournalPriority { error = 3, warning = 4, info = 6, debug = 7 };
// "<3>" and so on when stderr is the journal, else "".
const char* journalPrefix(JournalPriority priority);

} // namespace vorn
