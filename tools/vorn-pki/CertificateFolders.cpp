#include "CertificateFolders.h"

#include "toolkit/ua/security/HexText.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace vorn::pki {
namespace fs = std::filesystem;
namespace {

// A certificate (chain) file is small; larger files are not what we look for.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;
constexpr size_t kMinPrefixDigits = 6;

std::optional<std::string> readFile(const fs::path& path) {
    std::error_code ec;
    if (fs::file_size(path, ec) > kMaxFileSize || ec)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string normalised(const std::string& prefix) {
    std::string digits;
    for (char c : prefix)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        else if (c != ':' && c != ' ')
            return {};
    return digits;
}

} // namespace

const char* placeName(Place place) {
    return place == Place::rejected ? "rejected" : "trusted";
}

CertificateFolders::CertificateFolders(fs::path root) : root_(std::move(root)) {}

fs::path CertificateFolders::folderOf(Place place) const {
    return root_ / placeName(place) / "certs";
}

std::vector<StoredCertificate> CertificateFolders::list() const {
    std::vector<StoredCertificate> all;
    for (Place place : {Place::rejected, Place::trusted}) {
        std::vector<StoredCertificate> here;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folderOf(place), ec)) {
            if (!entry.is_regular_file(ec))
                continue;
            auto bytes = readFile(entry.path());
            auto certificate = bytes ? ua::security::Certificate::fromFile(*bytes) : std::nullopt;
            if (!certificate)
                continue;
            here.push_back(
                {place, entry.path(), *certificate,
                 ua::security::toHex(certificate->thumbprint(), ua::security::HexDigits::upper)});
        }
        std::sort(here.begin(), here.end(),
                  [](const auto& a, const auto& b) { return a.file < b.file; });
        all.insert(all.end(), here.begin(), here.end());
    }
    return all;
}

std::optional<StoredCertificate> CertificateFolders::find(const std::string& prefix,
                                                          std::string& error) const {
    const std::string digits = normalised(prefix);
    if (digits.size() < kMinPrefixDigits) {
        error = "a thumbprint has 40 hexadecimal digits (the first " +
                std::to_string(kMinPrefixDigits) + " or more are enough)";
        return std::nullopt;
    }
    std::vector<StoredCertificate> matches;
    for (StoredCertificate& stored : list())
        if (stored.thumbprint.compare(0, digits.size(), digits) == 0)
            matches.push_back(std::move(stored));
    if (matches.empty()) {
        error = "no certificate with the thumbprint " + digits + " in " + root_.string();
        return std::nullopt;
    }
    // The same certificate may lie in both folders; several different ones are ambiguous.
    if (std::any_of(matches.begin(), matches.end(),
                    [&](const auto& m) { return m.thumbprint != matches.front().thumbprint; })) {
        error = "several certificates have thumbprints starting with " + digits;
        return std::nullopt;
    }
    return matches.front();
}

bool CertificateFolders::moveTo(const StoredCertificate& stored, Place place,
                                std::string& error) const {
    if (stored.place == place)
        return true;
    const fs::path target = folderOf(place) / (stored.thumbprint + ".der");
    std::error_code ec;
    fs::create_directories(folderOf(place), ec);
    // Written whole under a temporary name first: the server reads the folder at every
    // connection and must never see half a certificate.
    fs::path temporary = target;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        const std::string& der = stored.certificate.der();
        out.write(der.data(), static_cast<std::streamsize>(der.size()));
        if (!out.flush()) {
            error = "cannot write " + temporary.string();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        error = "cannot write " + target.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return remove(stored, error);
}

bool CertificateFolders::remove(const StoredCertificate& stored, std::string& error) const {
    std::error_code ec;
    // Every copy of the certificate in its folder goes (a .pem beside a .der, say).
    for (const StoredCertificate& other : list())
        if (other.place == stored.place && other.thumbprint == stored.thumbprint &&
            !fs::remove(other.file, ec)) {
            error = "cannot remove " + other.file.string() + ": " + ec.message();
            return false;
        }
    return true;
}

} // namespace vorn::pki
