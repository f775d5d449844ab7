#include "TestConfigs.h"

#include "editor/ItemForm.h"
#include "editor/ModelInsert.h"
#include "fileformat/ConfigFormat.h"

#include <fstream>
#include <sstream>

namespace vorn::editor::test {
namespace {

// One item per register data type of 16 and 32 bits at rising addresses: booleans get bit 5,
// arrays 4 elements, the string 10 characters. The round-trip files were written before the
// 64-bit types existed and stay as they were: they show that older files re-save unchanged.
void addEveryRegisterType(EditorState& state, TreeNode& parent, const std::string& kind,
                          const std::string& access, int firstAddress) {
    int address = firstAddress;
    int n = 0;
    for (const std::string& dataType : dataTypesFor("holding register")) {
        if (dataType.find("64 bit") != std::string::npos)
            continue;
        bool isBool = dataType.find("boolean") != std::string::npos;
        bool counted = dataType.find("array") != std::string::npos || dataType == "string";
        std::string name = "T" + std::to_string(++n);
        addItem(state, parent,
                item(parent.key, name, kind + ":" + dataType, address, access, isBool ? 5 : 0,
                     counted ? (dataType == "string" ? 10 : 4) : 0, kind + " " + dataType));
        address += 10;
    }
}

std::shared_ptr<clsPLC> serialDevice(const std::string& name, int id, const std::string& com) {
    auto plc = std::make_shared<clsPLC>();
    plc->setName(name);
    plc->keyFromName();
    plc->setUI(static_cast<uint8_t>(id));
    plc->setCom(com);
    plc->setBaud(19200);
    plc->setParity("NO");
    plc->setStopBits(1);
    plc->setDataBits(8);
    plc->setFlowCtl("NONE");
    plc->setTimeout(500);
    plc->setSilent(20);
    return plc;
}

} // namespace

std::shared_ptr<clsPLC> tcpDevice(const std::string& name, const std::string& address, int id,
                                  int timeout, int port) {
    auto plc = std::make_shared<clsPLC>();
    plc->setName(name);
    plc->keyFromName();
    plc->setAddress(address);
    plc->setUI(static_cast<uint8_t>(id));
    plc->setTimeout(timeout);
    plc->setPort(static_cast<uint16_t>(port));
    return plc;
}

void startNew(EditorState& state, const std::string& serverKind) {
    state.reset();
    state.serverKind = serverKind;
    state.startConfiguration("/plant/" + serverKind + ".xml");
    state.configOpen = true;
}

std::shared_ptr<clsModBusType> modbusType(const std::string& name, int read, int write,
                                          int single) {
    auto type = std::make_shared<clsModBusType>();
    type->setName(name);
    type->setReadCode(static_cast<uint8_t>(read));
    type->setWriteCode(static_cast<uint8_t>(write));
    type->setSingleWrCode(static_cast<uint8_t>(single));
    return type;
}

std::shared_ptr<clsItem> item(const std::string& parentKey, const std::string& name,
                              const std::string& dataType, int address, const std::string& access,
                              int bit, int elements, const std::string& comment) {
    auto it = std::make_shared<clsItem>();
    it->sName = name;
    it->sKey = parentKey + "." + name;
    it->sDataType = dataType;
    it->nAddress = address;
    it->sAccessRight = access;
    it->nBitNumber = static_cast<int16_t>(bit);
    it->nElements = static_cast<int16_t>(elements);
    it->sComment = comment;
    return it;
}

TreeNode& branch(EditorState& state, TreeNode& parent, const std::string& name) {
    auto b = std::make_shared<clsBranch>();
    b->sName = name;
    b->sKey = parent.key + "." + name;
    return addBranch(state, parent, b);
}

void buildTarnvaleRoundTrip(EditorState& state) {
    startNew(state, format::kTarnvaleName);
    addModbusType(state, modbusType("holding register", 3, 16, 6));
    addModbusType(state, modbusType("coil", 1, 15, 5));
    addModbusType(state, modbusType("input register", 4, 0, 0));
    addModbusType(state, modbusType("input status", 2, 0, 0));

    TreeNode& p1 = addDevice(state, tcpDevice("P1", "127.0.0.1", 1, 1000, 502));
    TreeNode& pumps = branch(state, p1, "Pumps");
    addEveryRegisterType(state, pumps, "holding register", "READWRITE", 100);
    TreeNode& valves = branch(state, pumps, "Valves");
    addItem(state, valves, item(valves.key, "Open", "coil:boolean", 0, "READWRITE"));
    addItem(state, valves,
            item(valves.key, "States", "coil:boolean array", 8, "READ", 0, 16,
                 "valve states & <alarms>"));
    addItem(state, p1,
            item(p1.key, "Level", "holding register:32 bit float", 0, "READ", 0, 0, "tank level"));

    TreeNode& p2 = addDevice(state, tcpDevice("P2", "127.0.0.2", 7, 2500, 5020));
    addItem(state, p2, item(p2.key, "Counter", "holding register:unsigned 32 bit", 40, "WRITE"));
}

void buildRennickRoundTrip(EditorState& state) {
    startNew(state, format::kRennickName);
    addModbusType(state, modbusType("input register", 4, 0, 0));
    addModbusType(state, modbusType("input status", 2, 0, 0));
    addModbusType(state, modbusType("coil", 1, 15, 5));

    TreeNode& r1 = addDevice(state, serialDevice("R1", 1, "COM1"));
    TreeNode& inputs = branch(state, r1, "Inputs");
    addEveryRegisterType(state, inputs, "input register", "READ", 200);
    TreeNode& bits = branch(state, r1, "Bits");
    addItem(state, bits, item(bits.key, "Door", "input status:boolean", 3, "READ"));
    addItem(state, bits, item(bits.key, "Doors", "input status:array", 16, "READ", 0, 8));
    addItem(state, bits, item(bits.key, "Lamps", "coil:array", 32, "READWRITE", 0, 12));

    TreeNode& r2 = addDevice(state, serialDevice("R2", 2, "COM1"));
    addItem(state, r2, item(r2.key, "Fan", "coil:boolean", 9, "READWRITE", 0, 0, "fan on"));
}

void buildLargeConfiguration(EditorState& state, int itemsPerBranch) {
    startNew(state, format::kTarnvaleName);
    const char* types[] = {"holding register:signed 16 bit", "holding register:32 bit float",
                           "coil:boolean", "input register:unsigned 16 bit array",
                           "holding register:string"};
    for (int d = 0; d < 10; ++d) {
        TreeNode& device =
            addDevice(state, tcpDevice("Unit" + std::to_string(d),
                                       "10.0.0." + std::to_string(d + 1), d + 1, 1000, 502));
        for (int b = 0; b < 10; ++b) {
            TreeNode& line = branch(state, device, "Line" + std::to_string(b));
            for (int s = 0; s < 10; ++s) {
                TreeNode& cell = branch(state, line, "Cell" + std::to_string(s));
                for (int i = 0; i < itemsPerBranch; ++i)
                    addItem(state, cell,
                            item(cell.key, "Tag" + std::to_string(i), types[i % 5], i * 2,
                                 "READWRITE", 0, 4, "generated tag " + std::to_string(i)));
            }
        }
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string dataPath(const std::string& name) {
    return std::string(EDITOR_TEST_DATA) + "/" + name;
}

} // namespace vorn::editor::test
