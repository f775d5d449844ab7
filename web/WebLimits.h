// Every limit of the web front: what one browser, or many, may hold of the server. A request
// beyond a limit is answered with its status and the connection closed; nothing here waits on
// the engine or the OPC UA front.
#pragma once

#include <chrono>
#include <cstddef>

namespace vorn::web {

namespace Limits {
// Connections open at once; more are closed as soon as they are accepted.
inline constexpr size_t kMaxConnections = 256;
// Request line and headers together (431 beyond), and a request's body (413 beyond): only the
// login form has one.
inline constexpr size_t kMaxHeaderBytes = 16 * 1024;
inline constexpr size_t kMaxBodyBytes = 4 * 1024;
// A request must arrive whole within this time from when the server starts waiting for it,
// also on a connection kept alive; a TLS handshake as well. Slow senders are closed then.
inline constexpr std::chrono::seconds kRequestDeadline{10};
// After a refusal (431, 413, 400) the rest of the request is read and dropped for at most this
// long and this many bytes, so that the browser sees the refusal before the close.
inline constexpr std::chrono::seconds kRefusalDrainTime{2};
inline constexpr size_t kRefusalDrainBytes = 1024 * 1024;
// A response must be taken by the browser within this time.
inline constexpr std::chrono::seconds kWriteDeadline{30};
// Threads that serve every connection (none of them ever waits for a device).
inline constexpr unsigned kThreads = 2;
// Logged-in browsers remembered at once; the longest unused one makes room.
inline constexpr size_t kMaxLoginSessions = 1000;
// A login lasts this long without use (the cookie's Max-Age is the same).
inline constexpr std::chrono::hours kLoginLifetime{8};
// A refused login is answered this long after it arrived, whoever the user, without holding a
// thread meanwhile.
inline constexpr std::chrono::milliseconds kRefusedLoginDelay{500};
// Tags one answer of /api/tags carries at most (a branch with more says so).
inline constexpr size_t kMaxTagsPerAnswer = 2000;
} // namespace Limits

} // namespace vorn::web
