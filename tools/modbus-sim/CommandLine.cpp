#include "CommandLine.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <functional>
#include <iterator>
#include <map>
#include <modbus/modbus.h>

namespace modbus_sim {
namespace {

constexpr int kMaxDelayMs = 600000;
// One process stands in for a plant of devices, but not for more than it has descriptors for.
constexpr std::size_t kMaxTcpPorts = 1000;
// Addresses a device on a serial line may have; 0 is the broadcast address.
constexpr int kFirstRtuUnit = 1;
constexpr int kLastRtuUnit = 247;

int parseNumber(std::string_view text, int low, int high, const std::string& what) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        throw SyntaxError("bad " + what + " '" + std::string(text) + "' (expected " +
                          std::to_string(low) + ".." + std::to_string(high) + ")");
    return value;
}

// libmodbus falls back to 9600 baud, silently, for a rate it does not know; refuse those.
int parseBaudRate(std::string_view text) {
    static constexpr int kRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,
                                     19200, 38400, 57600, 115200, 230400, 460800, 921600};
    int baud = parseNumber(text, kRates[0], kRates[std::size(kRates) - 1], "baud rate");
    if (std::find(std::begin(kRates), std::end(kRates), baud) == std::end(kRates))
        throw SyntaxError("unsupported baud rate " + std::string(text) +
                          " (use a standard one, e.g. 9600, 19200, 115200)");
    return baud;
}

// "PORT", "FIRST-LAST" or a comma-separated list of either.
std::vector<int> parsePorts(std::string_view text) {
    std::vector<int> ports;
    while (true) {
        auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        auto dash = item.find('-');
        if (dash == std::string_view::npos) {
            ports.push_back(parseNumber(item, 0, 65535, "TCP port"));
        } else {
            int first = parseNumber(item.substr(0, dash), 1, 65535, "first TCP port");
            int last = parseNumber(item.substr(dash + 1), first, 65535, "last TCP port");
            for (int port = first; port <= last; ++port)
                ports.push_back(port);
        }
        if (ports.size() > kMaxTcpPorts)
            throw SyntaxError("more than " + std::to_string(kMaxTcpPorts) + " TCP ports");
        if (comma == std::string_view::npos)
            return ports;
        text = text.substr(comma + 1);
    }
}

TcpEndpoint parseTcpEndpoint(std::string_view text) {
    auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        throw SyntaxError("bad --tcp '" + std::string(text) + "' (expected ADDRESS:PORT)");
    TcpEndpoint endpoint{std::string(text.substr(0, colon)), parsePorts(text.substr(colon + 1))};
    in_addr ignored{};
    if (inet_pton(AF_INET, endpoint.address.c_str(), &ignored) != 1)
        throw SyntaxError("bad IPv4 address '" + endpoint.address + "' (expected e.g. 127.0.0.1)");
    return endpoint;
}

void parseSerialFormat(std::string_view text, SerialSettings& serial) {
    if (text.size() != 3 || (text[1] != 'N' && text[1] != 'E' && text[1] != 'O'))
        throw SyntaxError("bad --format '" + std::string(text) + "' (expected e.g. 8N1 or 8E1)");
    serial.dataBits = parseNumber(text.substr(0, 1), 5, 8, "data bits");
    serial.parity = text[1];
    serial.stopBits = parseNumber(text.substr(2, 1), 1, 2, "stop bits");
}

// "unit:function:code"
void parseException(std::string_view text, FaultSwitches& faults) {
    auto first = text.find(':');
    auto second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        throw SyntaxError("bad --exception '" + std::string(text) +
                          "' (expected UNIT:FUNCTION:CODE)");
    int unit = parseUnit(text.substr(0, first));
    int function = parseNumber(text.substr(first + 1, second - first - 1), 1, 127, "function code");
    int code = parseNumber(text.substr(second + 1), 1, MODBUS_EXCEPTION_MAX - 1, "exception code");
    faults.exceptions[{unit, function}] = code;
}

// "N" (every unit) or "UNIT:N"
void parseDelay(std::string_view text, FaultSwitches& faults) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        faults.delayMs = parseNumber(text, 0, kMaxDelayMs, "delay");
        return;
    }
    faults.unitDelayMs[parseUnit(text.substr(0, colon))] =
        parseNumber(text.substr(colon + 1), 0, kMaxDelayMs, "delay");
}

void checkUnitsServed(const SimOptions& options) {
    auto served = [&](int unit) {
        return std::find(options.units.begin(), options.units.end(), unit) != options.units.end();
    };
    auto require = [&](int unit, const char* option) {
        if (!served(unit))
            throw SyntaxError(std::string(option) + " names unit " + std::to_string(unit) +
                              ", which is not served (add --unit " + std::to_string(unit) + ")");
    };
    for (const auto& entry : options.faults.exceptions)
        require(entry.first.first, "--exception");
    for (int unit : options.faults.silentUnits)
        require(unit, "--silent");
    for (const auto& entry : options.faults.unitDelayMs)
        require(entry.first, "--delay-ms");
    for (const Point& hole : options.faults.unmapped)
        if (hole.unit)
            require(*hole.unit, "--unmapped");
    for (const Assignment& assignment : options.assignments)
        if (assignment.point.unit)
            require(*assignment.point.unit, "--set");
    for (const Generator& generator : options.generators)
        if (generator.point.unit)
            require(*generator.point.unit, "a changing value");
}

} // namespace

SimOptions parseCommandLine(int argc, char** argv) {
    SimOptions options;
    using Handler = std::function<void(std::string_view)>;
    auto generator = [&](Pattern pattern) {
        return [&options, pattern](std::string_view value) {
            options.generators.push_back(makeGenerator(pattern, parsePoint(value)));
        };
    };
    const std::map<std::string, Handler, std::less<>> handlers = {
        {"--tcp", [&](std::string_view v) { options.tcp = parseTcpEndpoint(v); }},
        {"--rtu",
         [&](std::string_view v) {
             if (!options.rtu)
                 options.rtu.emplace();
             options.rtu->device = v;
         }},
        {"--baud",
         [&](std::string_view v) {
             if (!options.rtu)
                 options.rtu.emplace();
             options.rtu->baud = parseBaudRate(v);
         }},
        {"--format",
         [&](std::string_view v) {
             if (!options.rtu)
                 options.rtu.emplace();
             parseSerialFormat(v, *options.rtu);
         }},
        {"--unit", [&](std::string_view v) { options.units.push_back(parseUnit(v)); }},
        {"--values", [&](std::string_view v) { options.valuesFiles.emplace_back(v); }},
        {"--set", [&](std::string_view v) { options.assignments.push_back(parseSetOption(v)); }},
        {"--counter", generator(Pattern::Counter)},
        {"--ramp", generator(Pattern::Ramp)},
        {"--sine", generator(Pattern::Sine)},
        {"--toggle", generator(Pattern::Toggle)},
        {"--exception", [&](std::string_view v) { parseException(v, options.faults); }},
        {"--silent", [&](std::string_view v) { options.faults.silentUnits.insert(parseUnit(v)); }},
        {"--delay-ms", [&](std::string_view v) { parseDelay(v, options.faults); }},
        {"--unmapped",
         [&](std::string_view v) { options.faults.unmapped.push_back(parsePoint(v)); }},
        {"--log", [&](std::string_view v) { options.logPath = v; }},
        {"--ready-file", [&](std::string_view v) { options.readyFile = v; }},
    };

    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        }
        if (argument == "--version") {
            options.version = true;
            return options;
        }
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (auto equals = argument.find('=');
            argument.starts_with("--") && equals != argument.npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        auto handler = handlers.find(name);
        if (handler == handlers.end())
            throw SyntaxError("unknown option '" + std::string(argument) + "' (see --help)");
        if (!value) {
            if (i + 1 >= argc)
                throw SyntaxError("option " + std::string(name) + " needs a value");
            value = argv[++i];
        }
        try {
            handler->second(*value);
        } catch (const SyntaxError& error) {
            throw SyntaxError(std::string(name) + ": " + error.what());
        }
    }

    if (options.tcp.has_value() == options.rtu.has_value())
        throw SyntaxError("give exactly one of --tcp ADDRESS:PORT or --rtu DEVICE");
    if (options.rtu && options.rtu->device.empty())
        throw SyntaxError("--baud and --format need --rtu DEVICE");
    if (options.units.empty())
        options.units.push_back(1);
    if (options.rtu) {
        for (int unit : options.units)
            if (unit < kFirstRtuUnit || unit > kLastRtuUnit)
                throw SyntaxError("RTU unit identifiers are " + std::to_string(kFirstRtuUnit) +
                                  ".." + std::to_string(kLastRtuUnit) + ", not " +
                                  std::to_string(unit));
    }
    checkUnitsServed(options);
    return options;
}

const char* usageText() {
    return R"(usage: modbus-sim (--tcp ADDRESS:PORTS | --rtu DEVICE [--baud N] [--format 8N1])
                  [--unit N]... [--values FILE]... [--set [UNIT:]TABLE:ADDR[..LAST]=VALUE]...
                  [--counter|--ramp|--sine|--toggle [UNIT:]TABLE:ADDR]...
                  [--exception UNIT:FUNCTION:CODE]... [--silent UNIT]... [--delay-ms [UNIT:]MS]...
                  [--unmapped [UNIT:]TABLE:ADDR[..LAST]]...
                  [--log FILE] [--ready-file FILE]
       modbus-sim --help | --version
Tables: hr (holding registers), ir (input registers), coil, di (discrete inputs).
PORTS: a port, a range FIRST-LAST, or a comma-separated list of them, one device per port.
Port 0 picks a free port; the line "listening ADDRESS:PORT[,PORT...]" on stdout gives the ports
in use, in the order given.
See tools/modbus-sim/README.md for the values file, the request log and the exit codes.
)";
}

} // namespace modbus_sim
