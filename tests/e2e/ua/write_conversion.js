// Writes as real clients send them (numbers as Double or Int32, or text) to tags of another
// type, through the real server to the device simulator: what reaches the wire, and what is
// refused before anything is sent.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, DataType, StatusCodes } = opcua;

const id = (itemId) => `ns=1;s=${itemId}`;

async function main() {
    h.limitRuntime(90000);
    const sim = await h.startSimulator(h.simPath, "sim");
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Count", "HREGISTER VT_UI2", 0) + h.tag("Level", "HREGISTER VT_I2", 1)));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    const writesTo = (address, data) =>
        sim.requests().filter((r) => (r.fc === 6 || r.fc === 16) && r.start === address && r.data === data).length;
    const write = (itemId, dataType, value) =>
        session.write({ nodeId: id(itemId), attributeId: AttributeIds.Value, value: { value: { dataType, value } } });

    for (const [dataType, value, label] of [[DataType.Double, 99.0, "Double 99.0"],
        [DataType.Int32, 99, "Int32 99"], [DataType.String, "99", 'String "99"']]) {
        const before = writesTo(0, "0063");
        const status = await write("P1.Count", dataType, value);
        check(`${label} to a UInt16 tag is written`, status === StatusCodes.Good, status.toString());
        check(`${label} puts 99 on the wire`, await h.eventually(() => writesTo(0, "0063") === before + 1, 3000),
            sim.requests().slice(-3));
    }

    const requestsBefore = sim.requests().filter((r) => r.fc === 6 || r.fc === 16).length;
    const tooBig = await write("P1.Count", DataType.Double, 70000);
    check("Double 70000 to a UInt16 tag gives BadOutOfRange", tooBig.value === 0x803C0000, tooBig.toString());
    await h.sleep(500);
    const requestsAfter = sim.requests().filter((r) => r.fc === 6 || r.fc === 16).length;
    check("nothing is written for a value out of range", requestsAfter === requestsBefore,
        requestsAfter - requestsBefore);

    const half = await write("P1.Level", DataType.Double, 1.5);
    check("Double 1.5 to an Int16 tag is written", half === StatusCodes.Good, half.toString());
    check("Double 1.5 arrives as 2 (half to even)", await h.eventually(() => writesTo(1, "0002") === 1, 3000),
        sim.requests().slice(-3));

    const text = await write("P1.Level", DataType.String, "abc");
    check('String "abc" gives BadTypeMismatch', text.value === 0x80740000, text.toString());

    const readBack = await session.read({ nodeId: id("P1.Count"), attributeId: AttributeIds.Value }, 0);
    check("the tag reads back 99 as UInt16", readBack.value.value === 99 && readBack.value.dataType === DataType.UInt16,
        readBack.value.toString());

    await session.close();
    await client.disconnect();
    h.finish();
}

h.run(main);
