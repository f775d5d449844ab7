// An energy meter and a drive as plant engineers meet them, through the real Tarnvale to the
// device simulator: values in each byte order, 64-bit counters above 2^53, the DataTypes a client
// sees, and a scaled set point: its EURange and EngineeringUnits, a write of 42.5 % as the raw
// register the device receives, and a write beyond the register's range refused before the
// wire.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, DataType, StatusCodes } = opcua;

const id = (itemId) => `ns=1;s=${itemId}`;

// The device's registers: what each value looks like on the wire in its order.
const REGISTERS = [
    "hr:0=0", "hr:1=0x4148",                        // Power: 12.5, CDAB (the device's order)
    "hr:2=0x7856", "hr:3=0x3412",                   // Counter: 0x12345678, DCBA
    "hr:10=3", "hr:11..12=0", "hr:13=0x20",          // Energy: 2^53 + 3, CDAB
    "hr:14..16=0xFFFF", "hr:17=0xFFFB",              // Balance: -5, ABCD
    "hr:20=0x4093", "hr:21=0x4A00", "hr:22..23=0",   // Total: 1234.5 as a double, ABCD
    'hr:30="EMET1R32"',                              // Serial: "METER123", BADC
    "hr:40=8192",                                    // Speed: 50 % of 16384
];

const tags =
    h.tag("Power", "HREGISTER VT_R4", 0, "READ") +
    h.tag("Counter", "HREGISTER VT_UI4", 2, "READ", "<byteorder>DCBA</byteorder>") +
    h.tag("Energy", "HREGISTER VT_UI8", 10, "READ") +
    h.tag("Balance", "HREGISTER VT_I8", 14, "READ", "<byteorder>ABCD</byteorder>") +
    h.tag("Total", "HREGISTER VT_R8", 20, "READ", "<byteorder>ABCD</byteorder>") +
    h.tag("Serial", "HREGISTER VT_BSTR", 30, "READ", "<elements>8</elements><byteorder>BADC</byteorder>") +
    h.tag("Speed", "HREGISTER VT_UI2", 40, "READWRITE",
        "<rawlow>0</rawlow><rawhigh>16384</rawhigh><eulow>0</eulow><euhigh>100</euhigh><units>%</units>");

// node-opcua shows a 64-bit integer as its high and low 32 bits.
const wide = (parts, signed) => {
    const value = (BigInt(parts[0] >>> 0) << 32n) | BigInt(parts[1] >>> 0);
    return signed ? BigInt.asIntN(64, value) : value;
};

async function values(session) {
    const read = async (itemId) =>
        session.read({ nodeId: id(itemId), attributeId: AttributeIds.Value }, 0);
    const power = await read("Meter.Power");
    check("a CDAB float reads 12.5", power.statusCode === StatusCodes.Good && power.value.value === 12.5,
        power.toString());
    const counter = await read("Meter.Counter");
    check("a DCBA counter reads 0x12345678", counter.value.value === 0x12345678, counter.toString());
    const energy = await read("Meter.Energy");
    check("a 64-bit counter above 2^53 keeps its last digit",
        wide(energy.value.value, false) === 9007199254740995n, energy.toString());
    const balance = await read("Meter.Balance");
    check("a signed 64-bit value reads -5", wide(balance.value.value, true) === -5n, balance.toString());
    const total = await read("Meter.Total");
    check("a double reads 1234.5", total.value.value === 1234.5, total.toString());
    const serial = await read("Meter.Serial");
    check("a BADC string reads METER123", serial.value.value === "METER123", serial.toString());
    const speed = await read("Meter.Speed");
    check("the scaled speed reads 50 as a Double",
        speed.value.value === 50 && speed.value.dataType === DataType.Double, speed.toString());
}

async function dataTypes(session) {
    const expected = { Power: "Float", Counter: "UInt32", Energy: "UInt64", Balance: "Int64",
        Total: "Double", Serial: "String", Speed: "Double" };
    for (const [name, type] of Object.entries(expected)) {
        const read = await session.read({ nodeId: id(`Meter.${name}`), attributeId: AttributeIds.DataType });
        const dataType = read.value.value;
        check(`${name} has the DataType ${type}`,
            dataType && dataType.namespace === 0 && dataType.value === DataType[type], read.toString());
    }
}

async function engineeringUnits(session) {
    const browsed = await session.browse({ nodeId: id("Meter.Speed"), referenceTypeId: "HasProperty",
        includeSubtypes: true, browseDirection: opcua.BrowseDirection.Forward, resultMask: 63 });
    const names = browsed.references.map((r) => r.browseName.name).sort();
    check("the scaled tag has the properties EURange and EngineeringUnits",
        JSON.stringify(names) === '["EURange","EngineeringUnits"]', names);
    const typed = await session.browse({ nodeId: id("Meter.Speed"), referenceTypeId: "HasTypeDefinition",
        browseDirection: opcua.BrowseDirection.Forward, resultMask: 63 });
    check("the scaled tag is an AnalogItemType",
        typed.references.length === 1 && typed.references[0].nodeId.value === 2368, typed.toString());

    const property = (name) => browsed.references.find((r) => r.browseName.name === name).nodeId;
    const range = await session.read({ nodeId: property("EURange"), attributeId: AttributeIds.Value });
    check("EURange is 0 to 100", range.statusCode === StatusCodes.Good &&
        range.value.value.low === 0 && range.value.value.high === 100, range.toString());
    const units = await session.read({ nodeId: property("EngineeringUnits"), attributeId: AttributeIds.Value });
    const eu = units.value.value;
    check("EngineeringUnits names % with its UNECE code",
        eu && eu.displayName.text === "%" && eu.unitId === 0x5031 &&
        eu.namespaceUri === "http://www.opcfoundation.org/UA/units/un/cefact", units.toString());

    const plain = await session.browse({ nodeId: id("Meter.Power"), referenceTypeId: "HasProperty",
        includeSubtypes: true, browseDirection: opcua.BrowseDirection.Forward, resultMask: 63 });
    check("an unscaled tag has no such properties", plain.references.length === 0, plain.toString());
}

async function scaledWrites(session, sim) {
    const write = (value) => session.write({ nodeId: id("Meter.Speed"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Double, value } } });
    const writes = () => sim.requests().filter((r) => r.data && r.start === 40);

    const status = await write(42.5);
    check("42.5 % is written", status === StatusCodes.Good, status.toString());
    check("the device receives 6963 (0x1B33), 42.5 % of 16384 rounded",
        await h.eventually(() => writes().some((r) => r.data === "1b33"), 3000), writes());

    const before = writes().length;
    const tooMuch = await write(400);
    check("400 % (raw 65536) is refused with BadOutOfRange", tooMuch === StatusCodes.BadOutOfRange,
        tooMuch.toString());
    const negative = await write(-1);
    check("-1 % is refused with BadOutOfRange", negative === StatusCodes.BadOutOfRange, negative.toString());
    await h.sleep(500);
    check("nothing of the refused writes reached the device", writes().length === before, writes());

    const back = await session.read({ nodeId: id("Meter.Speed"), attributeId: AttributeIds.Value }, 0);
    check("the speed reads back 6963 / 16384 of 100 %",
        Math.abs(back.value.value - 42.498779296875) < 1e-9, back.toString());
}

async function main() {
    h.limitRuntime(90000);
    const sim = await h.startSimulator(h.simPath, "meter", REGISTERS.flatMap((r) => ["--set", r]));
    const config = h.writeConfig(h.device("Meter", sim.port, tags, 1000, ' byteorder="CDAB"'));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);
    await values(session);
    await dataTypes(session);
    await engineeringUnits(session);
    await scaledWrites(session, sim);
    await h.closeAndFinish(client, session, server);
}

h.run(main);
