// The Node-RED flow of the peer benchmark, generated: per device a Modbus client, reads of its
// register and bit ranges each second, and a function that turns each read into the values of
// its tags; one OPC UA server node holding every tag as a variable ns=1;s=PLC<d>.Tag<t>. Values
// reach the server only when they change, as a gateway's subscription would see them.
"use strict";

// Longest read: 120 registers, or 2,000 bits.
const MAX_REGISTERS = 120;
const MAX_BITS = 2000;

// The reads that cover a device's tags (per table, runs of at most MAX_REGISTERS registers or
// MAX_BITS bits, a tag never split) and for each tag the read it comes from.
function readsOf(tags) {
    const reads = [];
    const readOfTag = [];
    for (const table of ["hr", "ir", "coil", "di"]) {
        const limit = table === "hr" || table === "ir" ? MAX_REGISTERS : MAX_BITS;
        const ofTable = tags.map((tag, t) => [tag, t]).filter(([tag]) => tag.table === table)
            .sort((a, b) => a[0].address - b[0].address);
        let read = null;
        for (const [tag, t] of ofTable) {
            if (!read || tag.address + tag.units - read.start > limit) {
                read = { table, start: tag.address, quantity: 0 };
                reads.push(read);
            }
            read.quantity = Math.max(read.quantity, tag.address + tag.units - read.start);
            readOfTag[t] = read;
        }
    }
    return { reads, readOfTag };
}

// Decodes the tags of one read; runs inside Node-RED's function node (no closures over this
// file). TAGS_OF_READ gives per read topic its tags: number, offset in the read, kind; a read
// looks only at its own tags.
function decodeBody() {
    const data = msg.payload;
    const last = context.get("last") || {};
    const out = [];
    const int32 = (at) => (data[at] << 16) | data[at + 1];
    for (const [t, at, kind] of TAGS_OF_READ[msg.topic] || []) {
        let value;
        if (kind === "i2") value = (data[at] << 16) >> 16;
        else if (kind === "r4") {
            const b = Buffer.alloc(4);
            b.writeUInt16BE(data[at], 0);
            b.writeUInt16BE(data[at + 1], 2);
            value = b.readFloatBE(0);
        } else if (kind === "i4") value = int32(at);
        else if (kind === "ui2") value = data[at];
        else if (kind === "coil" || kind === "input") value = !!data[at];
        else if (kind === "i4x4") value = [0, 2, 4, 6].map((e) => int32(at + e));
        else if (kind === "str4") {
            value = String.fromCharCode(data[at] >> 8, data[at] & 255, data[at + 1] >> 8,
                data[at + 1] & 255).replace(/\0+$/, "");
        } else value = !!(data[at] & 8); // bit 3 of a holding register
        const key = "Tag" + t;
        const text = JSON.stringify(value);
        if (last[key] === text) continue;
        last[key] = text;
        out.push({ messageType: "Variable", namespace: 1, variableName: DEVICE + ".Tag" + t,
            datatype: TYPES[t], variableValue: value });
    }
    context.set("last", last);
    if (out.length === 0) return null;
    return { payload: out };
}

const topicOf = (read) => `${read.table}:${read.start}`;

function functionSource(device, tags, readOfTag) {
    const body = decodeBody.toString();
    const tagsOfRead = {};
    tags.forEach((tag, t) => {
        const read = readOfTag[t];
        (tagsOfRead[topicOf(read)] ||= []).push([t, tag.address - read.start, tag.kind]);
    });
    return `const TAGS_OF_READ = ${JSON.stringify(tagsOfRead)};\n` +
        `const DEVICE = ${JSON.stringify(device)};\n` +
        `const TYPES = ${JSON.stringify(tags.map((tag) => tag.ua))};\n` +
        body.slice(body.indexOf("{") + 1, body.lastIndexOf("}"));
}

function addVariablesSource(devices, tags) {
    return `const TYPES = ${JSON.stringify(tags.map((tag) => tag.ua))};\nconst out = [];\n` +
        `for (let d = 0; d < ${devices}; d++) for (let t = 0; t < TYPES.length; t++)\n` +
        `  out.push({ topic: "ns=1;s=PLC" + d + ".Tag" + t + ";datatype=" + TYPES[t],\n` +
        `             payload: { opcuaCommand: "addVariable" } });\nreturn [out];`;
}

const DATA_TYPE = { hr: "HoldingRegister", ir: "InputRegister", coil: "Coil", di: "Input" };

// `tags`: one device's tags, as bench/scale/plant.js lays them out.
function flow(ports, tags, uaPort) {
    const nodes = [{ id: "tab", type: "tab", label: "plant" }];
    nodes.push({ id: "ua", type: "OpcUa-Server", z: "tab", port: String(uaPort), name: "",
        endpoint: "", usersFile: "", nodesetDir: "", autoAcceptUnknownCertificate: true,
        registerToDiscovery: false, constructDefaultAddressSpace: true, allowAnonymous: true,
        endpointNone: true, endpointSign: false, endpointSignEncrypt: false,
        endpointBasic128Rsa15: false, endpointBasic256: false, endpointBasic256Sha256: false,
        maxNodesPerRead: 0, maxMonitoredItemsPerCall: 0, maxConnectionsPerEndpoint: 20,
        maxMessageSize: 16777216, maxBufferSize: 65535, maxSessions: 20, wires: [[]] });
    // The server node refuses input until it has started; the reads start once the variables
    // are there, so that no first value is lost.
    nodes.push({ id: "start", type: "inject", z: "tab", once: true, onceDelay: "40", repeat: "",
        payload: "", payloadType: "date", topic: "", wires: [["addvars"]] });
    nodes.push({ id: "addvars", type: "function", z: "tab", func: addVariablesSource(ports.length, tags),
        outputs: 1, wires: [["ua"]] });
    const { reads, readOfTag } = readsOf(tags);
    ports.forEach((port, d) => {
        const client = `client${d}`;
        nodes.push({ id: client, type: "modbus-client", name: `PLC${d}`, clienttype: "tcp",
            bufferCommands: true, stateLogEnabled: false, queueLogEnabled: false, tcpHost: "127.0.0.1",
            tcpPort: String(port), tcpType: "DEFAULT", serialPort: "", serialType: "RTU-BUFFERD",
            serialBaudrate: "9600", serialDatabits: "8", serialStopbits: "1", serialParity: "none",
            serialConnectionDelay: "100", unit_id: String(d + 1), commandDelay: "1",
            clientTimeout: "1000", reconnectOnTimeout: true, reconnectTimeout: "2000",
            parallelUnitIdsAllowed: true });
        const decode = `decode${d}`;
        nodes.push({ id: decode, type: "function", z: "tab", func: functionSource(`PLC${d}`, tags, readOfTag),
            outputs: 1, wires: [["ua"]] });
        reads.forEach((read, r) => {
            nodes.push({ id: `read${d}_${r}`, type: "modbus-read", z: "tab", name: "",
                topic: topicOf(read), showStatusActivities: false, logIOActivities: false,
                showErrors: false, unitid: "", dataType: DATA_TYPE[read.table], adr: String(read.start),
                quantity: String(read.quantity),
                rate: "1", rateUnit: "s", delayOnStart: true, startDelayTime: "55", server: client,
                useIOFile: false, ioFile: "", useIOForPayload: false, emptyMsgOnFail: false,
                wires: [[decode], []] });
        });
    });
    return nodes;
}

module.exports = { flow };
