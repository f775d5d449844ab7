// A small OPC UA client for the process tests: runs the steps given on its command line
// against one server and prints one JSON line per step.
//   node opcua_probe.js opc.tcp://127.0.0.1:4841 read:R1.T wait-good:R1.T:5000 write:R1.T:Int16:77
//   datatype:R1.T (the DataType's name), eurange:R1.T and units:R1.T (a scaled tag's properties)
"use strict";
const {
    OPCUAClient, MessageSecurityMode, SecurityPolicy, AttributeIds, DataType, StatusCodes,
} = require("node-opcua-client");

const [endpoint, ...steps] = process.argv.slice(2);

async function readValue(session, id, maxAge) {
    const value = await session.read({ nodeId: `ns=1;s=${id}`, attributeId: AttributeIds.Value },
                                     maxAge);
    return { status: value.statusCode.name, value: value.value.value };
}

async function run() {
    const client = OPCUAClient.create({
        endpointMustExist: false, securityMode: MessageSecurityMode.None,
        securityPolicy: SecurityPolicy.None, connectionStrategy: { maxRetry: 0 },
    });
    await client.connect(endpoint);
    const session = await client.createSession();
    for (const step of steps) {
        const [verb, id, a, b] = step.split(":");
        let result;
        if (verb === "read") {
            result = await readValue(session, id, 0);
        } else if (verb === "wait-good") {
            // Reads from the device until the tag is Good, at most `a` milliseconds.
            const deadline = Date.now() + Number(a);
            do {
                result = await readValue(session, id, 0);
                if (result.status === "Good") break;
                await new Promise((r) => setTimeout(r, 200));
            } while (Date.now() < deadline);
        } else if (verb === "datatype") {
            const read = await session.read({ nodeId: `ns=1;s=${id}`, attributeId: AttributeIds.DataType });
            result = { status: read.statusCode.name, datatype: DataType[read.value.value.value] };
        } else if (verb === "eurange" || verb === "units") {
            const property = verb === "eurange" ? "EURange" : "EngineeringUnits";
            const read = await session.read({ nodeId: `ns=1;s=${id}.${property}`,
                                              attributeId: AttributeIds.Value });
            const v = read.value.value;
            result = { status: read.statusCode.name, ...(verb === "eurange"
                ? { low: v && v.low, high: v && v.high }
                : { units: v && v.displayName.text, unitId: v && v.unitId }) };
        } else if (verb === "write") {
            const status = await session.write({
                nodeId: `ns=1;s=${id}`, attributeId: AttributeIds.Value,
                value: { value: { dataType: DataType[a], value: Number(b) } },
            });
            result = { status: status.name };
        }
        console.log(JSON.stringify({ step, ...result }));
    }
    await session.close();
    await client.disconnect();
}

run().then(() => process.exit(0), (error) => {
    console.log(JSON.stringify({ error: error.message }));
    process.exit(1);
});
