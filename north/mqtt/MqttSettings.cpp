#include "MqttSettings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::north::mqtt {
namespace fs = std::filesystem;
namespace {

// Reads one registry value; absent values leave `out` as it is.
class ValueReader {
public:
    ValueReader(const Registry& registry, const std::string& key, std::vector<std::string>& errors)
        : registry_(registry), key_(key), errors_(errors) {}

    std::optional<std::string> text(const char* name) const {
        return registry_.readString(key_, name);
    }
    void text(const char* name, std::string& out) const {
        if (auto value = text(name); value && !value->empty())
            out = *value;
    }
    void number(const char* name, uint32_t low, uint32_t high, uint32_t& out) {
        auto value = text(name);
        if (!value)
            return;
        char* end = nullptr;
        errno = 0;
        const unsigned long long n = std::strtoull(value->c_str(), &end, 10);
        if (value->empty() || *end != '\0' || errno != 0 || (*value)[0] == '-' || n < low ||
            n > high) {
            errors_.push_back(std::string(name) + " \"" + *value +
                              "\" is not a whole number from " + std::to_string(low) + " to " +
                              std::to_string(high));
            return;
        }
        out = static_cast<uint32_t>(n);
    }
    // One of `choices` (compared exactly); the index of the one found.
    template <size_t N>
    std::optional<size_t> choice(const char* name, const char* const (&choices)[N]) {
        auto value = text(name);
        if (!value)
            return std::nullopt;
        for (size_t i = 0; i < N; ++i)
            if (*value == choices[i])
                return i;
        std::string allowed;
        for (size_t i = 0; i < N; ++i)
            allowed += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(choices[i]);
        errors_.push_back(std::string(name) + " \"" + *value + "\" is not " + allowed);
        return std::nullopt;
    }

private:
    const Registry& registry_;
    const std::string& key_;
    std::vector<std::string>& errors_;
};

} // namespace

std::optional<BrokerUrl> parseBrokerUrl(const std::string& text) {
    BrokerUrl url;
    url.text = text;
    std::string rest;
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
    } else if (text.rfind("mqtts://", 0) == 0) {
        rest = text.substr(8);
        url.tls = true;
        url.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    const size_t colon = rest.rfind(':');
    url.host = rest.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        char* end = nullptr;
        const long n = std::strtol(port.c_str(), &end, 10);
        if (port.empty() || *end != '\0' || n < 1 || n > 65535)
            return std::nullopt;
        url.port = static_cast<uint16_t>(n);
    }
    if (url.host.empty() || url.host.find_first_of("/@ ") != std::string::npos)
        return std::nullopt;
    return url;
}

fs::path defaultStateFolder(const std::string& serverName) {
    fs::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        base = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".local" / "share";
    else
        base = "/var/lib";
    return base / "VornAutomation" / "mqtt" / serverName;
}

namespace {

fs::path stateFolderOf(const Registry& registry, const std::string& key,
                       const std::string& serverName) {
    auto folder = registry.readString(key, "MqttStateFolder");
    return folder && !folder->empty() ? fs::path(*folder) : defaultStateFolder(serverName);
}

} // namespace

fs::path passwordFilePath(const Registry& registry, const std::string& key,
                          const std::string& serverName) {
    auto file = registry.readString(key, "MqttPasswordFile");
    if (file && !file->empty())
        return *file;
    return stateFolderOf(registry, key, serverName) / "broker.password";
}

MqttSettingsRead readMqttSettings(const Registry& registry, const std::string& key,
                                  const std::string& serverName, const std::string& hostName) {
    MqttSettingsRead read;
    auto brokerText = registry.readString(key, "MqttBroker");
    if (!brokerText || brokerText->empty())
        return read;
    std::vector<std::string>& errors = read.errors;
    ValueReader values(registry, key, errors);
    MqttSettings s;
    if (auto url = parseBrokerUrl(*brokerText))
        s.broker = *url;
    else
        errors.push_back("MqttBroker \"" + *brokerText +
                         "\" is not mqtt://host:port or mqtts://host:port");

    static const char* const kPayloads[] = {"sparkplugb", "json"};
    if (auto payload = values.choice("MqttPayload", kPayloads))
        s.payload = *payload == 0 ? PayloadKind::sparkplugB : PayloadKind::json;
    s.groupId = serverName;
    s.edgeNodeId = hostName;
    values.text("MqttGroupId", s.groupId);
    values.text("MqttEdgeNodeId", s.edgeNodeId);
    // Sparkplug ids are topic levels: no separators or wildcards in them.
    for (auto [name, id] :
         {std::pair{"MqttGroupId", &s.groupId}, {"MqttEdgeNodeId", &s.edgeNodeId}})
        if (id->find_first_of("/+#") != std::string::npos)
            errors.push_back(std::string(name) + " \"" + *id + "\" holds one of / + #");
    s.topicPrefix = s.groupId + "/" + s.edgeNodeId;
    values.text("MqttTopicPrefix", s.topicPrefix);
    if (s.topicPrefix.find_first_of("+#") != std::string::npos)
        errors.push_back("MqttTopicPrefix \"" + s.topicPrefix + "\" holds a wildcard + or #");
    s.clientId = s.groupId + "-" + s.edgeNodeId;
    values.text("MqttClientId", s.clientId);
    values.text("MqttUser", s.user);
    values.text("MqttCaFile", s.caFile);
    values.text("MqttCertFile", s.certFile);
    values.text("MqttKeyFile", s.keyFile);
    if (s.certFile.empty() != s.keyFile.empty())
        errors.push_back("MqttCertFile and MqttKeyFile go together: give both or neither");

    static const char* const kQos[] = {"0", "1"};
    if (auto qos = values.choice("MqttQos", kQos))
        s.qos = static_cast<int>(*qos);
    values.number("MqttUpdateRate", MqttSettings::kMinUpdateRateMs, MqttSettings::kMaxRateMs,
                  s.updateRateMs);
    static const char* const kModes[] = {"change", "interval"};
    if (auto mode = values.choice("MqttPublishMode", kModes))
        s.mode = *mode == 0 ? PublishMode::onChange : PublishMode::interval;
    values.number("MqttPublishInterval", MqttSettings::kMinPublishIntervalMs,
                  MqttSettings::kMaxRateMs, s.publishIntervalMs);
    values.number("MqttBufferMB", MqttSettings::kMinBufferMb, MqttSettings::kMaxBufferMb,
                  s.bufferMb);
    static const char* const kSwitch[] = {"0", "1"};
    if (auto writes = values.choice("MqttWrites", kSwitch))
        s.writes = *writes == 1;

    s.stateFolder = stateFolderOf(registry, key, serverName);
    s.passwordFile = passwordFilePath(registry, key, serverName);
    if (!s.user.empty()) {
        std::string why;
        if (auto password = readPasswordFile(s.passwordFile, why))
            s.password = *password;
        else
            errors.push_back("MqttUser \"" + s.user + "\" has no password: " + why);
    }
    if (errors.empty())
        read.settings = std::move(s);
    return read;
}

std::optional<std::string> readPasswordFile(const fs::path& file, std::string& error) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        error =
            file.string() + ": " + std::strerror(errno) + " (set it with vorn-users mqtt-password)";
        return std::nullopt;
    }
    if (info.st_mode & (S_IRWXG | S_IRWXO)) {
        error = file.string() + " may be read or changed by other users (chmod 600 it)";
        return std::nullopt;
    }
    std::ifstream in(file);
    std::string password;
    if (!in || !std::getline(in, password)) {
        error = file.string() + ": cannot be read";
        return std::nullopt;
    }
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return password;
}

bool writePasswordFile(const fs::path& file, const std::string& password, std::string& error) {
    std::error_code ec;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    fs::create_directories(folder, ec);
    const fs::path temporary = file.string() + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = temporary.string() + ": " + std::strerror(errno);
        return false;
    }
    const std::string line = password + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    // The server reads the file as the owner of its folder (the service's account).
    struct stat owner {};
    if (::geteuid() == 0 && ::stat(folder.c_str(), &owner) == 0)
        (void)::fchown(fd, owner.st_uid, owner.st_gid);
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        error = file.string() + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace vorn::north::mqtt
