// Values and statuses as OPC UA clients get them: string tags end at their first zero byte,
// writes that do not fit a tag are refused with BadOutOfRange and send nothing, and names with
// "." are served under their joined item ID.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, DataType, StatusCodes } = opcua;

const id = (itemId) => `ns=1;s=${itemId}`;

async function writeString(session, itemId, text) {
    return session.write({ nodeId: id(itemId), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.String, value: text } } });
}

async function strings(session, sim) {
    const padded = await session.read({ nodeId: id("P1.Valve"), attributeId: AttributeIds.Value }, 0);
    check("a string padded with zero bytes reads without them", padded.value.value === "VALVE",
        JSON.stringify(padded.value.value));

    const before = sim.requests().filter((r) => r.data).length;
    const long = await writeString(session, "P1.Code", "A".repeat(60000));
    check("a string longer than its tag is refused with BadOutOfRange",
        long === StatusCodes.BadOutOfRange, long.toString());
    const euro = await writeString(session, "P1.Code", "5\u20AC");
    check("a character above U+00FF is refused with BadOutOfRange",
        euro === StatusCodes.BadOutOfRange, euro.toString());
    const arr = await session.write({ nodeId: id("P1.Trio"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, arrayType: 1, value: new Int16Array([1, 2, 3, 4, 5]) } } });
    check("an array of another length is refused with BadOutOfRange",
        arr === StatusCodes.BadOutOfRange, arr.toString());
    check("nothing of the refused writes reached the device",
        sim.requests().filter((r) => r.data).length === before, sim.requests());

    const shorter = await writeString(session, "P1.Valve", "OPEN");
    check("a shorter string is written", shorter === StatusCodes.Good, shorter.toString());
    const write = sim.requests().filter((r) => r.data && r.start === 10).pop();
    check("it is zero-padded to the tag's eight characters",
        write && write.count === 4 && write.data === "4f50454e00000000", write);
}

async function dottedNames(session) {
    const level = await session.read({ nodeId: id("Line1.PLC.Pumps.Level"), attributeId: AttributeIds.Value }, 0);
    check("a tag of a device named \"Line1.PLC\" reads from the device by its joined ID",
        level.statusCode === StatusCodes.Good && level.value.value === 5, level.toString());
    const browsed = await session.browse(id("Line1.PLC"));
    check("the device folder is browsable", browsed.statusCode === StatusCodes.Good &&
        browsed.references.some((r) => r.browseName.name === "Pumps"), browsed.toString());
}

async function main() {
    h.limitRuntime(90000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", 'hr:10="VALVE"', "--set", "hr:40=5"]);
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Valve", "HREGISTER VT_BSTR", 10, "READWRITE", "<elements>8</elements>") +
        h.tag("Code", "HREGISTER VT_BSTR", 20, "READWRITE", "<elements>4</elements>") +
        h.tag("Trio", "HREGISTER VT_I2 ARRAY", 30, "READWRITE", "<elements>3</elements>")) +
        h.device("Line1.PLC", sim.port, `<Pumps>${h.tag("Level", "HREGISTER VT_I2", 40)}</Pumps>`));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);
    await strings(session, sim);
    await dottedNames(session);
    await h.closeAndFinish(client, session, server);
}

h.run(main);
