// Raw opc.tcp messages as a client puts them on the wire, for tests that talk to the channel.
#pragma once

#include "toolkit/ua/UaBinary.h"

#include <cstdint>
#include <string>

namespace vorn::ua::test {

// One message chunk: three-letter type, chunk flag ('F', 'C' or 'A'), size, then the body.
inline std::string frame(const char* type, char chunk, const std::string& body) {
    Encoder e;
    e.raw(std::string(type, 3));
    e.u8(static_cast<uint8_t>(chunk));
    e.u32(static_cast<uint32_t>(8 + body.size()));
    e.raw(body);
    return e.bytes();
}

// A request header: the session's authentication token, the request handle and the timeout
// hint (0: none).
inline void requestHeader(Encoder& e, const NodeId& token, uint32_t handle,
                          uint32_t timeoutHint = 0) {
    e.nodeId(token);
    e.dateTime(0);
    e.u32(handle);
    e.u32(0);
    e.nullString();
    e.u32(timeoutHint);
    e.extensionObject({});
}

// A CreateSession body after its header: a client of `applicationUri` with its nonce and
// certificate (each null when empty), a session timeout of a minute.
inline void createSessionBody(Encoder& e, const std::string& applicationUri = {},
                              const std::string& clientNonce = {},
                              const std::string& clientCertificate = {}) {
    auto stringOrNull = [&e](const std::string& text) {
        if (text.empty())
            e.nullString();
        else
            e.string(text);
    };
    stringOrNull(applicationUri);
    e.nullString();
    e.localizedText({});
    e.u32(1);
    e.nullString();
    e.nullString();
    e.arrayLength(0);
    e.nullString();
    e.string("opc.tcp://x");
    e.string("s");
    stringOrNull(clientNonce);
    stringOrNull(clientCertificate);
    e.f64(60000);
    e.u32(0);
}

// A Hello with 64 KiB buffers both ways, no message or chunk limits, for a loopback endpoint.
inline std::string helloMessage() {
    Encoder e;
    for (uint32_t v : {0u, 65536u, 65536u, 0u, 0u})
        e.u32(v);
    e.string("opc.tcp://127.0.0.1:4840");
    return frame("HEL", 'F', e.bytes());
}

} // namespace vorn::ua::test
