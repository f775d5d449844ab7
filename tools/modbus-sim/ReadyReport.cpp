#include "ReadyReport.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace modbus_sim {

void reportReady(const std::string& where, const std::string& readyFile) {
    const std::string line = "listening " + where + "\n";
    if (!readyFile.empty()) {
        // Written aside and renamed, so a reader polling for the file never sees half a line.
        const std::string temporary = readyFile + ".tmp";
        {
            std::ofstream file(temporary, std::ios::trunc);
            file << line;
            if (!file.flush())
                throw std::runtime_error("cannot write the ready file " + temporary);
        }
        if (std::rename(temporary.c_str(), readyFile.c_str()) != 0)
            throw std::runtime_error("cannot rename " + temporary + " to " + readyFile);
    }
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace modbus_sim
