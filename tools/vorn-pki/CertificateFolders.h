// The client certificates of a server's PKI folder as an administrator handles them: those the
// server refused (rejected/certs) and those it trusts (trusted/certs), each found by its SHA-1
// thumbprint, moved from one to the other or removed.
#pragma once

#include "toolkit/ua/security/Crypto.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn::pki {

enum class Place { rejected, trusted };
const char* placeName(Place place);

struct StoredCertificate {
    Place place;
    std::filesystem::path file;
    ua::security::Certificate certificate;
    std::string thumbprint; // hex, upper case
};

class CertificateFolders {
public:
    explicit CertificateFolders(std::filesystem::path root);

    // Every readable certificate of both folders, rejected first, by file name.
    std::vector<StoredCertificate> list() const;
    // The one certificate whose thumbprint starts with `prefix` (hex, any case, colons and
    // blanks ignored, at least 6 digits). Nothing, with `error`, when none or several match.
    std::optional<StoredCertificate> find(const std::string& prefix, std::string& error) const;
    // Moves a certificate to `place` as <thumbprint>.der (nothing to do when it is there
    // already); every copy of it in its old folder goes.
    [[nodiscard]] bool moveTo(const StoredCertificate& stored, Place place,
                              std::string& error) const;
    [[nodiscard]] bool remove(const StoredCertificate& stored, std::string& error) const;

    std::filesystem::path folderOf(Place place) const;

private:
    std::filesystem::path root_;
};

} // namespace vorn::pki
