#include "ServerTexts.h"

namespace vorn::ui {

const ServerTexts& textsOf(ServerKind kind) {
    static const ServerTexts tcp{"Vorn ModBus Tcp/Ip OPC DA Server",
                                 "About ModBus Tcp/Ip OPC DA Server",
                                 "ModBus Tcp/Ip OPC DA Server - Ver. 1.1.0.0  Win32 "};
    static const ServerTexts rtu{"Vorn ModBus Serial-RTU OPC DA Server",
                                 "About ModBus-RTU OPC DA Server",
                                 "Serial-RTU ModBus OPC DA Server - Ver. 1.1.0.0  Win32 "};
    return kind == ServerKind::rennick ? rtu : tcp;
}

const MakerDetails& makerDetails() {
    static const MakerDetails maker{"Vorn Automation",      "Hollin Quay 14",
                                    "D-28197 Bremen",       "Tel. +49 421 5550 140",
                                    "Fax +49 421 5550 149", "www.vorn-automation.example"};
    return maker;
}

} // namespace vorn::ui
