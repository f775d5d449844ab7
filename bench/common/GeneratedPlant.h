// A generated plant configuration for the benchmarks: devices of 1,000-odd tags of mixed types
// (registers of every width, floats, strings, bits, arrays, coils and inputs) in branches of
// 100 tags, the way a large installation's file looks.
#pragma once

#include <string>

namespace vorn::bench {

struct PlantShape {
    int devices = 100;
    int tagsPerDevice = 1000;
    // Device d is at 127.0.0.(d % 250 + 1) on port 502 unless ports are given: then device d is
    // at `address`:firstPort + d with unit identifier d + 1.
    int firstPort = 0;
    std::string address = "127.0.0.1";
    int timeoutMs = 1000;
};

std::string generatePlant(const PlantShape& shape);

} // namespace vorn::bench
