#include "Metrics.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace vorn::web {
namespace {

// A label value with backslash, double quote and line feed escaped, as the format wants.
std::string labelValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

class Exposition {
public:
    void family(const char* name, const char* type, const char* help) {
        out_ << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
    }
    void sample(const std::string& name, const std::string& labels, double value) {
        out_ << name;
        if (!labels.empty())
            out_ << '{' << labels << '}';
        out_ << ' ' << number(value) << '\n';
    }
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
};

// Two devices may share a name (they share a branch): the later ones get "#2", "#3" so that
// every device is a series of its own.
std::vector<std::string> deviceLabels(const std::vector<DeviceRow>& devices) {
    std::map<std::string, int> seen;
    std::vector<std::string> labels;
    for (const DeviceRow& device : devices) {
        const int n = ++seen[device.name];
        labels.push_back("device=\"" +
                         labelValue(n == 1 ? device.name : device.name + "#" + std::to_string(n)) +
                         "\"");
    }
    return labels;
}

void deviceMetrics(Exposition& out, const std::vector<DeviceRow>& devices) {
    const std::vector<std::string> labels = deviceLabels(devices);
    auto each = [&](const char* name, const char* type, const char* help, auto value) {
        out.family(name, type, help);
        for (size_t i = 0; i < devices.size(); ++i)
            out.sample(name, labels[i], value(devices[i].health));
    };
    using Health = modbus::DeviceHealthSnapshot;
    each("vorn_device_requests_total", "counter", "Poll transfers sent to the device.",
         [](const Health& h) { return static_cast<double>(h.requestCount); });
    each("vorn_device_connected", "gauge", "1 when the device's last transfer worked.",
         [](const Health& h) { return h.connected ? 1.0 : 0.0; });
    each("vorn_device_read_interval_p50_seconds", "gauge",
         "Median time between two poll reads of the same block.",
         [](const Health& h) { return h.readIntervalP50Ms / 1000; });
    each("vorn_device_read_interval_p95_seconds", "gauge",
         "95th percentile of the time between two poll reads of the same block.",
         [](const Health& h) { return h.readIntervalP95Ms / 1000; });
    each("vorn_device_reduced_rate", "gauge",
         "1 while the device fails often enough in a row to be tried only at its reduced rate.",
         [](const Health& h) { return h.reducedRate ? 1.0 : 0.0; });
    each("vorn_device_split_blocks", "gauge",
         "Poll blocks the device refused as a whole, read tag by tag.",
         [](const Health& h) { return static_cast<double>(h.splitBlocks); });

    out.family("vorn_device_errors_total", "counter", "Failed poll transfers by error code.");
    for (size_t i = 0; i < devices.size(); ++i)
        for (const auto& [code, count] : devices[i].health.errorsByCode)
            out.sample("vorn_device_errors_total",
                       labels[i] + ",code=\"" + std::to_string(code) + "\"",
                       static_cast<double>(count));

    out.family("vorn_device_round_trip_seconds", "histogram",
               "Round trip of the device's good poll transfers.");
    for (size_t i = 0; i < devices.size(); ++i) {
        const Health& h = devices[i].health;
        uint64_t cumulated = 0;
        for (size_t b = 0; b < modbus::kRoundTripBucketsMs.size(); ++b) {
            cumulated += h.roundTripCounts[b];
            out.sample("vorn_device_round_trip_seconds_bucket",
                       labels[i] + ",le=\"" + number(modbus::kRoundTripBucketsMs[b] / 1000) + "\"",
                       static_cast<double>(cumulated));
        }
        cumulated += h.roundTripCounts.back();
        out.sample("vorn_device_round_trip_seconds_bucket", labels[i] + ",le=\"+Inf\"",
                   static_cast<double>(cumulated));
        out.sample("vorn_device_round_trip_seconds_sum", labels[i], h.roundTripSumMs / 1000);
        out.sample("vorn_device_round_trip_seconds_count", labels[i],
                   static_cast<double>(cumulated));
    }

    out.family("vorn_serial_line_busy_ratio", "gauge",
               "Share of the last seconds the device's serial line was busy (0 to 1).");
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].health.busLoad)
            out.sample("vorn_serial_line_busy_ratio", labels[i], *devices[i].health.busLoad);
}

} // namespace

ProcessFacts processFacts(std::chrono::system_clock::time_point startTime) {
    ProcessFacts facts;
    facts.startTimeSeconds = std::chrono::duration<double>(startTime.time_since_epoch()).count();
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned long long kb = 0;
        if (std::sscanf(line.c_str(), "VmRSS: %llu kB", &kb) == 1)
            facts.residentBytes = kb * 1024;
        else if (std::sscanf(line.c_str(), "VmSize: %llu kB", &kb) == 1)
            facts.virtualBytes = kb * 1024;
    }
    return facts;
}

std::string metricsText(const std::vector<DeviceRow>& devices, const ua::UaStatistics& ua,
                        const ProcessFacts& process) {
    Exposition out;
    deviceMetrics(out, devices);
    auto single = [&out](const char* name, const char* type, const char* help, double value) {
        out.family(name, type, help);
        out.sample(name, "", value);
    };
    single("vorn_opcua_sessions", "gauge", "OPC UA sessions open.",
           static_cast<double>(ua.sessions));
    single("vorn_opcua_subscriptions", "gauge", "OPC UA subscriptions.",
           static_cast<double>(ua.subscriptions));
    single("vorn_opcua_monitored_items", "gauge", "OPC UA monitored items.",
           static_cast<double>(ua.monitoredItems));
    single("vorn_opcua_notifications_sent_total", "counter",
           "Data changes sent to OPC UA clients in Publish responses.",
           static_cast<double>(ua.notificationsSent));
    single("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
           static_cast<double>(process.residentBytes));
    single("process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
           static_cast<double>(process.virtualBytes));
    single("process_start_time_seconds", "gauge",
           "Start time of the process since unix epoch in seconds.", process.startTimeSeconds);
    return out.text();
}

} // namespace vorn::web
