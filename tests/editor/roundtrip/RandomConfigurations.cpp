#include "RandomConfigurations.h"

#include "editor/ByteOrderChoices.h"
#include "editor/DeviceForm.h"
#include "editor/ItemEdits.h"
#include "editor/ItemForm.h"
#include "editor/ModelInsert.h"
#include "editor/StructureEdits.h"

#include <algorithm>
#include <random>
#include <vector>

namespace vorn::test {
namespace {

class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    int between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine_);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <class T> const T& pick(const std::vector<T>& choices) {
        return choices[static_cast<size_t>(between(0, static_cast<int>(choices.size()) - 1))];
    }

private:
    std::mt19937 engine_;
};

// Characters as ISO-8859-1 bytes, the file's declared encoding.
const std::string kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC\xE4\xF6\xFC\xDF\xE9\xFF";
const std::string kNameChars = kLetters + "0123456789_-#()+!?&<>'\"%$[]{}=~^@*";
const std::string kCommentChars = kNameChars + " .,:;/|\\\xB0\xB5";

std::string escaped(const std::string& text, bool attribute) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"' && attribute)
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string randomText(Random& random, const std::string& chars, int low, int high) {
    std::string text;
    const int length = random.between(low, high);
    for (int i = 0; i < length; ++i)
        text += chars[static_cast<size_t>(random.between(0, static_cast<int>(chars.size()) - 1))];
    return text;
}

// A branch name: an XML name of the file's encoding, never "tag".
std::string branchName(Random& random, int index) {
    return randomText(random, kLetters + "_", 1, 1) +
           randomText(random, kLetters + "0123456789_-", 0, 8) + "_" + std::to_string(index);
}

std::string element(const char* name, const std::string& text) {
    return std::string("<") + name + ">" + text + "</" + name + ">";
}

struct ItemShape {
    std::string kind; // the file's kind token
    std::string type; // the file's type token, may be empty
    int registers;    // registers or bits one element takes
    bool array;
    bool string;
    bool registerBit; // a bit inside a register
    bool numeric;     // byte order and scaling apply
};

const std::vector<ItemShape>& shapes() {
    static const std::vector<ItemShape> all = [] {
        std::vector<ItemShape> list;
        for (const char* kind : {"HREGISTER", "IREGISTER"}) {
            list.push_back({kind, "VT_BOOL", 1, false, false, true, false});
            list.push_back({kind, "VT_BSTR", 1, false, true, false, false});
            list.push_back({kind, "VT_BOOL ARRAY", 1, true, false, false, false});
            for (auto [type, registers] : std::vector<std::pair<const char*, int>>{{"VT_UI2", 1},
                                                                                   {"VT_I2", 1},
                                                                                   {"VT_UI4", 2},
                                                                                   {"VT_I4", 2},
                                                                                   {"VT_R4", 2},
                                                                                   {"VT_UI8", 4},
                                                                                   {"VT_I8", 4},
                                                                                   {"VT_R8", 4}})
                list.push_back({kind, type, registers, false, false, false, true});
            for (auto [type, registers] :
                 std::vector<std::pair<const char*, int>>{{"VT_UI1 ARRAY", 1},
                                                          {"VT_I1 ARRAY", 1},
                                                          {"VT_UI2 ARRAY", 1},
                                                          {"VT_I2 ARRAY", 1},
                                                          {"VT_UI4 ARRAY", 2},
                                                          {"VT_I4 ARRAY", 2},
                                                          {"VT_R4 ARRAY", 2},
                                                          {"VT_UI8 ARRAY", 4},
                                                          {"VT_I8 ARRAY", 4},
                                                          {"VT_R8 ARRAY", 4}})
                list.push_back({kind, type, registers, true, false, false, true});
        }
        for (const char* kind : {"COIL", "INPUTSTATUS"}) {
            list.push_back({kind, "", 1, false, false, false, false});
            list.push_back({kind, "VT_BOOL", 1, false, false, false, false});
            list.push_back({kind, "VT_BOOL ARRAY", 1, true, false, false, false});
            list.push_back({kind, "ARRAY", 1, true, false, false, false});
        }
        return list;
    }();
    return all;
}

std::string randomTag(Random& random, int index) {
    const ItemShape& shape = random.pick(shapes());
    const int elements = shape.array || shape.string ? random.between(1, 40) : 0;
    // A string of n characters takes (n + 1) / 2 registers at most.
    const int span = shape.string ? elements : shape.registers * std::max(elements, 1);
    const int address = random.between(0, 65535 - span);
    std::string blanks = random.chance(20) ? "  " : " ";
    std::string datatype = shape.type.empty() ? shape.kind : shape.kind + blanks + shape.type;
    if (random.chance(15))
        datatype += " ";
    const bool readOnly = shape.kind == "IREGISTER" || shape.kind == "INPUTSTATUS";
    const std::string access =
        readOnly ? "READ" : random.pick(std::vector<std::string>{"READ", "WRITE", "READWRITE"});

    std::vector<std::string> fields;
    fields.push_back(element("name", escaped(randomText(random, kNameChars, 1, 10), false) + "_" +
                                         std::to_string(index)));
    fields.push_back(element("comment", escaped(randomText(random, kCommentChars, 0, 30), false)));
    fields.push_back(element("address", std::to_string(address)));
    fields.push_back(element("datatype", datatype));
    fields.push_back(element("accessrights", access));
    if (shape.registerBit)
        fields.push_back(element("databit", std::to_string(random.between(0, 15))));
    if (elements > 0)
        fields.push_back(element("elements", std::to_string(elements)));
    if (shape.numeric && random.chance(30))
        fields.push_back(element(
            "byteorder", random.pick(std::vector<std::string>{"ABCD", "CDAB", "BADC", "DCBA"})));
    if (shape.numeric && random.chance(25)) {
        const int rawLow = random.between(-100, 100);
        fields.push_back(element("rawlow", std::to_string(rawLow)));
        fields.push_back(element("rawhigh", std::to_string(rawLow + random.between(1, 30000))));
        fields.push_back(element("eulow", random.chance(50) ? "0" : "-12.5"));
        fields.push_back(element("euhigh", random.chance(50) ? "100" : "1.5e3"));
        if (random.chance(60))
            fields.push_back(
                element("units", escaped(randomText(random, kCommentChars, 1, 6), false)));
    }
    // The order of a tag's elements does not matter to any reader.
    if (random.chance(20))
        std::shuffle(fields.begin(), fields.end(), std::mt19937(static_cast<uint32_t>(index)));
    std::string tag = "<tag>";
    for (const std::string& field : fields)
        tag += field;
    return tag + "</tag>\r\n";
}

std::string randomContent(Random& random, int depth, int& counter) {
    std::string content;
    const int children = random.between(depth == 0 ? 1 : 0, 5);
    for (int i = 0; i < children; ++i) {
        if (depth < 4 && random.chance(25)) {
            const std::string name = branchName(random, counter++);
            content += "<" + name + ">\r\n" + randomContent(random, depth + 1, counter) + "</" +
                       name + ">\r\n";
        } else {
            content += randomTag(random, counter++);
        }
    }
    return content;
}

std::string optionalSetting(Random& random, const char* name, const std::string& value) {
    return random.chance(50) ? element(name, value) : std::string();
}

std::string randomDevice(Random& random, format::ServerKind kind, int index) {
    int counter = 0;
    const std::string tags = "<tags>\r\n" + randomContent(random, 0, counter) + "</tags>\r\n";
    const std::string name =
        randomText(random, kNameChars + " ", 1, 10) + "_" + std::to_string(index);
    if (kind == format::ServerKind::tarnvale) {
        std::string plc = "<PLC name=\"" + escaped(name, true) + "\" address=\"10." +
                          std::to_string(random.between(0, 255)) + "." +
                          std::to_string(random.between(0, 255)) + "." +
                          std::to_string(random.between(1, 254)) + "\"";
        if (random.chance(50))
            plc += " id=\"" + std::to_string(random.between(0, 255)) + "\"";
        if (random.chance(50))
            plc += " timeout=\"" + std::to_string(random.between(0, 600000)) + "\"";
        if (random.chance(30))
            plc += " port=\"" + std::to_string(random.between(1, 65535)) + "\"";
        if (random.chance(30))
            plc += " byteorder=\"" +
                   random.pick(std::vector<std::string>{"ABCD", "CDAB", "BADC", "DCBA"}) + "\"";
        return plc + ">\r\n" + tags + "</PLC>\r\n";
    }
    std::string plc =
        "<PLC>" + element("name", escaped(name, false)) +
        element("com", "COM" + std::to_string(random.between(1, 255))) +
        optionalSetting(random, "id", std::to_string(random.between(0, 255))) +
        optionalSetting(random, "baudrate",
                        random.pick(std::vector<std::string>{"1200", "4800", "9600", "19200",
                                                             "115200", "250000"})) +
        optionalSetting(random, "parity",
                        random.pick(std::vector<std::string>{"NO", "EVEN", "ODD"})) +
        optionalSetting(random, "stopbits", std::to_string(random.between(1, 2))) +
        optionalSetting(random, "databits", std::to_string(random.between(5, 8))) +
        optionalSetting(random, "flowcontrol",
                        random.pick(std::vector<std::string>{"NONE", "HARDWARE"})) +
        optionalSetting(random, "timeout", std::to_string(random.between(0, 600000))) +
        optionalSetting(random, "silent", std::to_string(random.between(0, 1000))) +
        optionalSetting(random, "byteorder",
                        random.pick(std::vector<std::string>{"ABCD", "CDAB", "BADC", "DCBA"}));
    return plc + "\r\n" + tags + "</PLC>\r\n";
}

// Characters as the editor holds them (UTF-8) for the dialogs' fields.
const std::vector<std::string> kItemNameChars = {"a", "Z", "k", "0", "7", "_", "-"};
const std::vector<std::string> kUnitNameChars = {
    "P", "u", "m", "p", " ", "3", "_", "#", "&", "<", "\u00E4", "\u00DF", "\u03A9", "\u20AC"};
const std::vector<std::string> kBranchNameChars = {"T", "a", "n",      "k",      "_",
                                                   "-", "9", "\u00C4", "\u00F6", "\u00E9"};
const std::vector<std::string> kCommentTexts = {
    "", "Pump & motor", "<level> \"max\"", "\u00B0C", "50 \u20AC/h", "tab\there", "a;b,c:d"};

std::string randomOf(Random& random, const std::vector<std::string>& chars, int low, int high) {
    std::string text;
    const int length = random.between(low, high);
    for (int i = 0; i < length; ++i)
        text += random.pick(chars);
    return text;
}

} // namespace

std::string randomConfigurationFile(format::ServerKind kind, uint32_t seed) {
    Random random(seed);
    std::string text =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<" +
        std::string(format::rootElementOf(kind)) +
        ">\r\n<MODBUS>\r\n"
        "<DATATYPE name=\"INPUTSTATUS\" readcode=\"2\" writecode=\"0\" singlewrcode=\"0\"/>\r\n"
        "<DATATYPE name=\"IREGISTER\" readcode=\"4\" writecode=\"0\" singlewrcode=\"0\"/>\r\n"
        "<DATATYPE name=\"COIL\" readcode=\"1\" writecode=\"15\" singlewrcode=\"5\"/>\r\n"
        "<DATATYPE name=\"HREGISTER\" readcode=\"3\" writecode=\"16\" singlewrcode=\"6\"/>\r\n"
        "</MODBUS>\r\n<OPC_DA>\r\n";
    const int devices = random.between(1, 3);
    for (int i = 0; i < devices; ++i)
        text += randomDevice(random, kind, i);
    return text + "</OPC_DA>\r\n</" + format::rootElementOf(kind) + ">\r\n";
}

size_t buildRandomConfiguration(editor::EditorState& state, format::ServerKind kind,
                                uint32_t seed) {
    using namespace editor;
    Random random(seed);
    const std::string kindName = format::nameOf(kind);
    state.reset();
    state.serverKind = kindName;
    state.startConfiguration("/plant/" + kindName + ".xml");
    state.configOpen = true;
    struct Row {
        const char* name;
        int read, write, single;
    };
    for (const Row& row : {Row{"input status", 2, 0, 0}, Row{"input register", 4, 0, 0},
                           Row{"coil", 1, 15, 5}, Row{"holding register", 3, 16, 6}}) {
        auto type = std::make_shared<clsModBusType>();
        type->setName(row.name);
        type->setReadCode(static_cast<uint8_t>(row.read));
        type->setWriteCode(static_cast<uint8_t>(row.write));
        type->setSingleWrCode(static_cast<uint8_t>(row.single));
        addNewModbusType(state, type);
    }

    const int devices = random.between(1, 4);
    for (int i = 0; i < devices; ++i) {
        DeviceFields fields = newDeviceFields(kindName, state.deviceCounter);
        fields.name = randomOf(random, kUnitNameChars, 0, 6) + "U" + std::to_string(i);
        fields.ui = std::to_string(random.between(0, 254));
        fields.timeout = std::to_string(random.between(0, 100000));
        fields.byteOrder = random.pick(byteOrderChoices(false));
        if (kind == format::ServerKind::tarnvale) {
            fields.address = "10.0." + std::to_string(random.between(0, 2)) + "." +
                             std::to_string(random.between(1, 3));
            fields.tcpPort = random.pick(std::vector<std::string>{"502", "1502", "65535"});
        } else {
            fields.com = random.pick(std::vector<std::string>{"COM1", "COM2", "COM01", "COM255"});
            fields.baud = random.pick(baudChoices());
            fields.parity = random.pick(parityChoices());
            fields.dataBits = random.pick(dataBitsChoices());
            fields.stopBits = random.pick(stopBitsChoices());
            fields.flow = random.pick(flowChoices());
            fields.silent = std::to_string(random.between(0, 500));
        }
        if (!deviceFieldsProblem(fields, kindName, state, nullptr))
            addNewDevice(state, deviceFromFields(fields, kindName));
    }

    size_t items = 0;
    std::vector<TreeNode*> places;
    for (const auto& [key, device] : state.devices)
        places.push_back(state.tree.find(key));
    const int branches = random.between(0, 6);
    for (int i = 0; i < branches && !places.empty(); ++i) {
        TreeNode& parent =
            *places[static_cast<size_t>(random.between(0, static_cast<int>(places.size()) - 1))];
        const std::string name = randomOf(random, kBranchNameChars, 1, 6);
        if (!branchNameProblem(state, parent, name, nullptr))
            places.push_back(&addNewBranch(state, parent, name));
    }
    const int attempts = random.between(1, 40);
    for (int i = 0; i < attempts && !places.empty(); ++i) {
        TreeNode* place =
            places[static_cast<size_t>(random.between(0, static_cast<int>(places.size()) - 1))];
        state.tree.select(place);
        ItemEdits edits(state);
        ItemFields fields = edits.initialFields();
        fields.name = randomOf(random, kItemNameChars, 1, 8) + std::to_string(i);
        fields.comment = random.pick(kCommentTexts);
        pickModbusType(fields, random.pick(std::vector<std::string>{
                                   "input status", "input register", "coil", "holding register"}));
        pickDataType(fields, random.pick(fields.dataTypeChoices));
        fields.accessRight = random.pick(fields.accessRightChoices);
        fields.address = std::to_string(random.chance(10) ? random.between(65500, 65535)
                                                          : random.between(0, 65535));
        if (fields.bitEnabled)
            fields.bit = std::to_string(random.between(0, 15));
        if (fields.elementsEnabled)
            fields.elements = std::to_string(random.between(0, 50));
        if (fields.byteOrderEnabled && random.chance(40))
            fields.byteOrder = random.pick(byteOrderChoices(true));
        if (fields.scalingEnabled && random.chance(40)) {
            fields.rawLow = std::to_string(random.between(-50, 50));
            fields.rawHigh = std::to_string(random.between(51, 4000));
            fields.euLow = "0";
            fields.euHigh = random.pick(std::vector<std::string>{"100", "2.5e2", "-10"});
            fields.units = random.pick(std::vector<std::string>{"", "\u00B0C", "m\u00B3/h"});
        }
        if (edits.AddItemToColl(fields))
            ++items;
    }
    return items;
}

} // namespace vorn::test
