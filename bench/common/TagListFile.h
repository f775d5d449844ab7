// The tag list both tag list benchmarks read: `rows` rows in ten branches with sub-branches, of
// register and bit types, some with byte order and scaling, some with quoted comments; and the
// configuration they are imported into (one unit "Unit" with the four Modbus types).
#pragma once

#include "editor/EditorState.h"
#include "editor/ModelInsert.h"
#include "fileformat/ConfigFormat.h"

#include <memory>
#include <string>

namespace vorn::bench {

using namespace vorn::editor;

inline std::string tagList(int rows) {
    std::string csv = "Path,Name,Address,ModbusType,DataType,Bit,Elements,Access,Comment,"
                      "ByteOrder,RawLow,RawHigh,EuLow,EuHigh,Units\r\n";
    for (int n = 0; n < rows; ++n) {
        const std::string path = "Line" + std::to_string(n % 10) + "/Cell" + std::to_string(n % 7);
        const std::string name = "Tag" + std::to_string(n);
        const std::string address = std::to_string(n % 60000);
        switch (n % 4) {
        case 0:
            csv += path + "," + name + "," + address +
                   ",holding register,32 bit float,,,READWRITE,\"flow, line " +
                   std::to_string(n % 10) + "\",CDAB,0,27648,0,100,m3/h\r\n";
            break;
        case 1:
            csv += path + "," + name + "," + address +
                   ",holding register,boolean,7,,READ,ready bit,,,,,,\r\n";
            break;
        case 2:
            csv +=
                path + "," + name + "," + address + ",coil,boolean array,,16,READWRITE,,,,,,,\r\n";
            break;
        default:
            csv += path + "," + name + "," + address +
                   ",input register,signed 16 bit array,,4,READ,temperatures,,,,,,\r\n";
        }
    }
    return csv;
}

inline void startPlant(EditorState& state) {
    state.startConfiguration("/bench/Tarnvale.xml");
    state.serverKind = vorn::format::kTarnvaleName;
    const char* kinds[] = {"holding register", "coil", "input register", "input status"};
    for (const char* kind : kinds) {
        auto type = std::make_shared<clsModBusType>();
        type->setName(kind);
        addModbusType(state, type);
    }
    auto plc = std::make_shared<clsPLC>();
    plc->setName("Unit");
    plc->keyFromName();
    plc->setAddress("10.0.0.1");
    addDevice(state, plc);
}

} // namespace vorn::bench
