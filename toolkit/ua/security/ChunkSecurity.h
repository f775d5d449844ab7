// Protecting and checking one message chunk. A chunk is its clear header (message header and
// security header) followed by the protected part: sequence header and body, then padding when
// encrypted, then the signature, the whole protected part encrypted when the mode says so.
// The signature covers the clear header (with the chunk's final size) and everything before
// the signature. OpenSecureChannel chunks use the RSA keys, all others the symmetric ones.
#pragma once

#include "toolkit/ua/security/SecurityPolicy.h"

#include <string>
#include <string_view>

namespace vorn::ua::security {

// Each returns false when the chunk's protection does not hold (or the bytes cannot be
// protected); `plain` is then undefined. `header` has its size field (bytes 4-7) patched.
[[nodiscard]] bool unprotectAsymmetric(const SecurityPolicy& policy, const RsaKey& ownKey,
                                       const RsaKey& peerKey, std::string_view header,
                                       std::string_view protectedPart, Bytes& plain);
[[nodiscard]] bool protectAsymmetric(const SecurityPolicy& policy, const RsaKey& ownKey,
                                     const RsaKey& peerKey, Bytes header, std::string_view plain,
                                     Bytes& chunk);

[[nodiscard]] bool unprotectSymmetric(const SecurityPolicy& policy, const SymmetricKeys& peerKeys,
                                      bool encrypted, std::string_view header,
                                      std::string_view protectedPart, Bytes& plain);
[[nodiscard]] bool protectSymmetric(const SecurityPolicy& policy, const SymmetricKeys& ownKeys,
                                    bool encrypt, Bytes header, std::string_view plain,
                                    Bytes& chunk);

// The most plain bytes (sequence header and body) one symmetric chunk of `chunkSize` carries
// after a clear header of `headerSize` bytes.
size_t symmetricPlainCapacity(bool encrypt, size_t chunkSize, size_t headerSize);

} // namespace vorn::ua::security
