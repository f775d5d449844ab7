// Limits that protect the server from clients asking too much; each exceeded limit gives the
// Bad status named beside it, never unbounded memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::ua::Limits {

// Transport: largest chunk we take and send (the Hello may lower it), and at least the
// protocol's minimum of 8192 (ERR BadTcpMessageTooLarge).
constexpr uint32_t kBufferSize = 65536;
constexpr uint32_t kMinBufferSize = 8192;
// Largest message, all chunks together, either way (BadTcpMessageTooLarge /
// BadResponseTooLarge).
constexpr uint32_t kMaxMessageSize = 8 * 1024 * 1024;
// Most chunks of one message (BadTcpMessageTooLarge).
constexpr uint32_t kMaxChunkCount = 1024;
// Longest endpoint URL in a Hello (BadTcpEndpointUrlInvalid), and in GetEndpoints,
// FindServers and CreateSession, which echo it (BadEncodingLimitsExceeded).
constexpr uint32_t kMaxEndpointUrlLength = 4096;
// Open TCP connections, each carrying at most one secure channel; more are closed at once.
constexpr size_t kMaxOpenChannels = 256;
// A connection must finish Hello and OpenSecureChannel within this time.
constexpr uint32_t kHandshakeTimeoutMs = 10000;
// A chunk must arrive whole within this time from its first byte, or its connection closes
// (a client trickling bytes holds a connection slot no longer).
constexpr uint32_t kChunkTimeoutMs = 30000;
// Bytes waiting to go to one client that does not read; beyond it the connection closes.
constexpr size_t kMaxPendingSendBytes = 2 * kMaxMessageSize + 1024 * 1024;
// Requests of one connection waiting for a service thread; its socket is not read meanwhile.
constexpr size_t kMaxQueuedRequestsPerChannel = 16;
// Bytes of requests held by the server at once, being assembled from chunks or waiting for a
// service thread, over all connections. Beyond it no socket is read until requests are
// served, and the connection with the largest unfinished message is closed
// (BadTcpNotEnoughResources).
constexpr size_t kMaxBufferedRequestBytes = 64 * 1024 * 1024;
// One connection's share of it: its socket is not read while it holds this much.
constexpr size_t kMaxBufferedRequestBytesPerChannel = kMaxBufferedRequestBytes / 2;
static_assert(kMaxMessageSize < kMaxBufferedRequestBytesPerChannel);
// Bytes waiting to go to all clients together; beyond it connections with answers waiting are
// not read (each connection's own bound, above, is less than half of it).
constexpr size_t kMaxPendingSendBytesTotal = 128 * 1024 * 1024;
static_assert(kMaxPendingSendBytes <= kMaxPendingSendBytesTotal / 2);
// An OpenSecureChannel chunk carries a certificate chain (at most kMaxCertificateSize) and one
// request (at most kMaxOpenCipherBlocks blocks of the server's key); larger ones are refused
// as their header arrives (BadTcpMessageTooLarge), before anything is decrypted.
constexpr uint32_t kMaxOpenCipherBlocks = 8;
constexpr uint32_t kMaxOpenChunkSize = 40 * 1024;
// Security token lifetime granted, in milliseconds.
constexpr uint32_t kMinTokenLifetimeMs = 10000;
constexpr uint32_t kMaxTokenLifetimeMs = 3600000;

// Sessions (BadTooManySessions) and their timeout range in milliseconds. At the limit the
// session longest without a channel is closed to make room.
constexpr size_t kMaxSessions = 100;
constexpr double kMinSessionTimeoutMs = 10000;
constexpr double kMaxSessionTimeoutMs = 600000;
// What a session keeps of its client's CreateSession: the session name and the application
// URI (for the trace), cut to this many bytes; the client certificate is refused beyond its
// size (BadEncodingLimitsExceeded). Nothing else a client sends (the rest of the application
// description, nonces, locale ids, signatures) is kept past its request.
constexpr size_t kMaxSessionNameLength = 256;
constexpr size_t kMaxCertificateSize = 32768;
static_assert(kMaxCertificateSize + kMaxOpenCipherBlocks * 512 + 1024 <= kMaxOpenChunkSize);
// A session not activated within this time is closed, so that sessions created and left
// cannot hold the session limit for their whole timeout.
constexpr uint32_t kActivationTimeoutMs = 10000;
// Sessions of one client address not yet activated (BadTooManySessions): clients without an
// account cannot hold the session limit.
constexpr size_t kMaxUnactivatedSessionsPerAddress = 10;
// The checks that admit clients (AdmissionChecks.h): the RSA work of an OpenSecureChannel that
// issues a channel and the password of an ActivateSession, waiting, running or waiting to be
// answered, per client address and in all; beyond them a request is refused at once, unchecked
// (OpenSecureChannel: BadTcpNotEnoughResources and a close; ActivateSession:
// BadTooManyOperations).
constexpr size_t kMaxAdmissionChecksPerAddress = 4;
constexpr size_t kMaxAdmissionChecks = 256;
// An encrypted password (user name token) longer than this many blocks of the server's key is
// refused before anything is decrypted (BadIdentityTokenInvalid).
constexpr size_t kMaxUserTokenCipherBlocks = 4;
// Certificates kept in the PKI folder's rejected/certs for an administrator to look at: the
// oldest go when either bound is passed, and each client address adds at most a few a minute.
constexpr size_t kMaxRejectedCertificates = 100;
constexpr size_t kMaxRejectedCertificateBytes = 4 * 1024 * 1024;
constexpr size_t kMaxRejectedCertificatesPerAddressPerMinute = 10;

// Subscriptions per session (BadTooManySubscriptions), monitored items per subscription
// (BadTooManyMonitoredItems), parked Publish requests per session (BadTooManyPublishRequests).
constexpr size_t kMaxSubscriptionsPerSession = 50;
constexpr size_t kMaxMonitoredItemsPerSubscription = 20000;
constexpr size_t kMaxPublishRequestsPerSession = 20;
// The same over all sessions, so that many sessions cannot add up to unbounded memory or
// publishing work.
constexpr size_t kMaxSubscriptions = 1000;
constexpr size_t kMaxMonitoredItems = 200000;
// No session takes more than half of what all sessions may hold (BadTooManyMonitoredItems).
constexpr size_t kMaxMonitoredItemsPerSession = kMaxMonitoredItems / 2;
static_assert(kMaxSubscriptionsPerSession <= kMaxSubscriptions / 2);
// A monitored item's queue: requested sizes beyond this are revised down to it (0 gives 1).
constexpr uint32_t kMaxQueueSize = 1000;
// Bytes of values waiting in monitored items' queues, over all sessions and per session. A
// queued value of a number takes about 64 bytes, one of a string or an array that plus its
// encoded size. An item whose next value would pass either bound keeps what it holds, drops
// one value as a full queue does and flags the Overflow bit: the client is told, the server's
// memory stays bounded.
constexpr size_t kMaxQueuedBytes = 256 * 1024 * 1024;
constexpr size_t kMaxQueuedBytesPerSession = kMaxQueuedBytes / 2;
// The fastest sampling interval an item is granted, in milliseconds.
constexpr double kMinSamplingIntervalMs = 50;
// Sent notification messages kept per subscription for Republish until acknowledged.
constexpr size_t kMaxRetransmissionQueue = 20;
// Publishing interval range in milliseconds.
constexpr double kMinPublishingIntervalMs = 50;
constexpr double kMaxPublishingIntervalMs = 3600000;
constexpr uint32_t kMaxKeepAliveCount = 10000;

// Read and Write requests parked while they wait for devices, the toolkit requests they wait
// for and the bytes of those requests, over all sessions and per session; no session takes
// more than half of what all may hold (BadTooManyOperations).
constexpr size_t kMaxParkedCalls = 1000;
constexpr size_t kMaxParkedCallsPerSession = 50;
constexpr size_t kMaxDeviceOperations = 40000;
constexpr size_t kMaxDeviceOperationsPerSession = kMaxDeviceOperations / 2;
constexpr size_t kMaxParkedBytes = 64 * 1024 * 1024;
constexpr size_t kMaxParkedBytesPerSession = kMaxParkedBytes / 2;
static_assert(kMaxParkedCallsPerSession <= kMaxParkedCalls / 2);

// Operations per request (BadTooManyOperations).
constexpr uint32_t kMaxNodesPerRead = 10000;
constexpr uint32_t kMaxNodesPerWrite = 1000;
constexpr uint32_t kMaxNodesPerBrowse = 1000;
constexpr uint32_t kMaxNodesPerTranslate = 1000;
constexpr uint32_t kMaxNodesPerRegister = 1000;
constexpr uint32_t kMaxMonitoredItemsPerCall = 20000;
// References in one Browse result before a continuation point is needed, and continuation
// points a session may hold (BadNoContinuationPoints).
constexpr uint32_t kMaxReferencesPerNode = 1000;
constexpr size_t kMaxBrowseContinuationPoints = 20;
// Elements of a relative path in TranslateBrowsePathsToNodeIds.
constexpr size_t kMaxRelativePathElements = 64;

// Decoding: nesting of variants, diagnostic infos and the like.
constexpr int kMaxDecodingDepth = 16;

} // namespace vorn::ua::Limits
