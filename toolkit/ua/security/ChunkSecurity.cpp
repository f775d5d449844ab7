#include "ChunkSecurity.h"

namespace vorn::ua::security {
namespace {

void patchSize(Bytes& chunk, size_t size) {
    for (int i = 0; i < 4; ++i)
        chunk[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

// Padding: a size byte, that many bytes of the same value, and a high size byte when the
// encrypting key is longer than 2048 bits.
Bytes padding(size_t count, bool extraByte) {
    Bytes out(count + 1, static_cast<char>(count & 0xFF));
    if (extraByte)
        out.push_back(static_cast<char>((count >> 8) & 0xFF));
    return out;
}

// Removes the padding from the end of `plain` (the signature already removed).
bool stripPadding(Bytes& plain, bool extraByte) {
    size_t tail = extraByte ? 2 : 1;
    if (plain.size() < tail)
        return false;
    size_t count = static_cast<unsigned char>(plain[plain.size() - tail]);
    if (extraByte)
        count |= static_cast<size_t>(static_cast<unsigned char>(plain.back())) << 8;
    if (plain.size() < count + tail)
        return false;
    size_t start = plain.size() - tail - count;
    for (size_t i = start; i < start + count + 1; ++i)
        if (static_cast<unsigned char>(plain[i]) != (count & 0xFF))
            return false;
    plain.resize(start);
    return true;
}

} // namespace

bool unprotectAsymmetric(const SecurityPolicy& policy, const RsaKey& ownKey, const RsaKey& peerKey,
                         std::string_view header, std::string_view protectedPart, Bytes& plain) {
    if (!policy.asymmetricDecrypt(ownKey, protectedPart, plain))
        return false;
    size_t signatureSize = peerKey.sizeBytes();
    if (signatureSize == 0 || plain.size() < signatureSize)
        return false;
    std::string_view signature = std::string_view(plain).substr(plain.size() - signatureSize);
    Bytes signedData(header);
    signedData.append(plain, 0, plain.size() - signatureSize);
    if (!policy.asymmetricVerify(peerKey, signedData, signature))
        return false;
    plain.resize(plain.size() - signatureSize);
    return stripPadding(plain, ownKey.sizeBytes() > 256);
}

bool protectAsymmetric(const SecurityPolicy& policy, const RsaKey& ownKey, const RsaKey& peerKey,
                       Bytes header, std::string_view plain, Bytes& chunk) {
    size_t plainBlock = policy.asymmetricPlainBlockSize(peerKey);
    size_t cipherBlock = peerKey.sizeBytes();
    size_t signatureSize = ownKey.sizeBytes();
    if (plainBlock == 0 || signatureSize == 0 || header.size() < 8)
        return false;
    bool extraByte = cipherBlock > 256;
    size_t fixed = plain.size() + 1 + (extraByte ? 1 : 0) + signatureSize;
    size_t count = (plainBlock - fixed % plainBlock) % plainBlock;
    size_t blocks = (fixed + count) / plainBlock;
    patchSize(header, header.size() + blocks * cipherBlock);

    Bytes body(plain);
    body += padding(count, extraByte);
    Bytes signature;
    if (!policy.asymmetricSign(ownKey, header + body, signature) ||
        signature.size() != signatureSize)
        return false;
    body += signature;
    Bytes encrypted;
    if (!policy.asymmetricEncrypt(peerKey, body, encrypted))
        return false;
    chunk = std::move(header);
    chunk += encrypted;
    return true;
}

bool unprotectSymmetric(const SecurityPolicy& policy, const SymmetricKeys& peerKeys, bool encrypted,
                        std::string_view header, std::string_view protectedPart, Bytes& plain) {
    if (encrypted) {
        if (protectedPart.empty() || protectedPart.size() % SecurityPolicy::kSymmetricBlockSize)
            return false;
        if (!policy.symmetricDecrypt(peerKeys, protectedPart, plain))
            return false;
    } else {
        plain.assign(protectedPart);
    }
    constexpr size_t signatureSize = SecurityPolicy::kSymmetricSignatureSize;
    if (plain.size() < signatureSize)
        return false;
    std::string_view signature = std::string_view(plain).substr(plain.size() - signatureSize);
    Bytes signedData(header);
    signedData.append(plain, 0, plain.size() - signatureSize);
    if (!policy.symmetricVerify(peerKeys, signedData, signature))
        return false;
    plain.resize(plain.size() - signatureSize);
    return !encrypted || stripPadding(plain, false);
}

bool protectSymmetric(const SecurityPolicy& policy, const SymmetricKeys& ownKeys, bool encrypt,
                      Bytes header, std::string_view plain, Bytes& chunk) {
    constexpr size_t signatureSize = SecurityPolicy::kSymmetricSignatureSize;
    constexpr size_t block = SecurityPolicy::kSymmetricBlockSize;
    if (header.size() < 8)
        return false;
    Bytes body(plain);
    if (encrypt) {
        size_t fixed = plain.size() + 1 + signatureSize;
        body += padding((block - fixed % block) % block, false);
    }
    patchSize(header, header.size() + body.size() + signatureSize);
    Bytes signature = policy.symmetricSign(ownKeys, header + body);
    if (signature.size() != signatureSize)
        return false;
    body += signature;
    chunk = std::move(header);
    if (!encrypt) {
        chunk += body;
        return true;
    }
    Bytes encrypted;
    if (!policy.symmetricEncrypt(ownKeys, body, encrypted))
        return false;
    chunk += encrypted;
    return true;
}

size_t symmetricPlainCapacity(bool encrypt, size_t chunkSize, size_t headerSize) {
    constexpr size_t signatureSize = SecurityPolicy::kSymmetricSignatureSize;
    constexpr size_t block = SecurityPolicy::kSymmetricBlockSize;
    if (chunkSize <= headerSize + signatureSize + block)
        return 0;
    if (!encrypt)
        return chunkSize - headerSize - signatureSize;
    size_t protectedSize = (chunkSize - headerSize) / block * block;
    return protectedSize - signatureSize - 1;
}

} // namespace vorn::ua::security
