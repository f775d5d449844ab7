// The Node-RED flow of the peer benchmark, generated: per device a Modbus client, reads of its
// register and bit ranges each second, and a function that turns each read into the values of
// its tags; one OPC UA server node holding every tag as a variable ns=1;s=PLC<d>.Tag<t>. Values
// reach the server only when they change, as a gateway's subscription would see them.
"use strict";

// The tag kinds of bench/scale's plant, in the same order: [Modbus table, OPC UA data type].
const KINDS = [["hr", "Int16"], ["hr", "Float"], ["ir", "UInt16"], ["coil", "Boolean"],
    ["di", "Boolean"], ["hr", "Int32Array[4]"], ["hr", "String"], ["hr", "Boolean"]];
// Register reads of 112 registers (56 tags) plus room for the last array's 8 registers.
const CHUNK = 112;
const CHUNK_READ = 120;

// Decodes the tags of one read; runs inside Node-RED's function node (no closures over this file).
function decodeBody() {
    const [table, start] = msg.topic.split(":");
    const first = Number(start);
    const data = msg.payload;
    const last = context.get("last") || {};
    const out = [];
    for (let t = 0; t < TAGS; t++) {
        const kind = t % 8;
        const address = t * 2;
        const isBits = table === "coil" || table === "di";
        if (KIND_TABLE[kind] !== table) continue;
        if (!isBits && (address < first || address >= first + CHUNK)) continue;
        const at = address - first;
        let value;
        if (kind === 0) value = (data[at] << 16) >> 16;
        else if (kind === 1) {
            const b = Buffer.alloc(4);
            b.writeUInt16BE(data[at], 0);
            b.writeUInt16BE(data[at + 1], 2);
            value = b.readFloatBE(0);
        } else if (kind === 2) value = data[at];
        else if (kind === 3 || kind === 4) value = !!data[address];
        else if (kind === 5) {
            value = [];
            for (let e = 0; e < 4; e++) value.push((data[at + 2 * e] << 16) | data[at + 2 * e + 1]);
        } else if (kind === 6) {
            value = String.fromCharCode(data[at] >> 8, data[at] & 255, data[at + 1] >> 8,
                data[at + 1] & 255).replace(/\0+$/, "");
        } else value = !!(data[at] & 8);
        const key = "Tag" + t;
        const text = JSON.stringify(value);
        if (last[key] === text) continue;
        last[key] = text;
        out.push({ messageType: "Variable", namespace: 1, variableName: DEVICE + ".Tag" + t,
            datatype: KIND_TYPE[kind], variableValue: value });
    }
    context.set("last", last);
    if (out.length === 0) return null;
    return { payload: out };
}

function functionSource(device, tags) {
    const body = decodeBody.toString();
    return `const TAGS = ${tags}; const CHUNK = ${CHUNK}; const DEVICE = ${JSON.stringify(device)};\n` +
        `const KIND_TABLE = ${JSON.stringify(KINDS.map((k) => k[0]))};\n` +
        `const KIND_TYPE = ${JSON.stringify(KINDS.map((k) => k[1]))};\n` +
        body.slice(body.indexOf("{") + 1, body.lastIndexOf("}"));
}

function addVariablesSource(devices, tags) {
    return `const KIND_TYPE = ${JSON.stringify(KINDS.map((k) => k[1]))};\nconst out = [];\n` +
        `for (let d = 0; d < ${devices}; d++) for (let t = 0; t < ${tags}; t++)\n` +
        `  out.push({ topic: "ns=1;s=PLC" + d + ".Tag" + t + ";datatype=" + KIND_TYPE[t % 8],\n` +
        `             payload: { opcuaCommand: "addVariable" } });\nreturn [out];`;
}

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
    const lastRegister = tags * 2;
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
        nodes.push({ id: decode, type: "function", z: "tab", func: functionSource(`PLC${d}`, tags),
            outputs: 1, wires: [["ua"]] });
        const reads = [];
        for (let start = 0; start < lastRegister; start += CHUNK) {
            reads.push(["HoldingRegister", "hr", start, CHUNK_READ]);
            reads.push(["InputRegister", "ir", start, CHUNK_READ]);
        }
        reads.push(["Coil", "coil", 0, Math.min(2000, lastRegister)]);
        reads.push(["Input", "di", 0, Math.min(2000, lastRegister)]);
        reads.forEach(([dataType, table, start, quantity], r) => {
            nodes.push({ id: `read${d}_${r}`, type: "modbus-read", z: "tab", name: "",
                topic: `${table}:${start}`, showStatusActivities: false, logIOActivities: false,
                showErrors: false, unitid: "", dataType, adr: String(start), quantity: String(quantity),
                rate: "1", rateUnit: "s", delayOnStart: true, startDelayTime: "55", server: client,
                useIOFile: false, ioFile: "", useIOForPayload: false, emptyMsgOnFail: false,
                wires: [[decode], []] });
        });
    });
    return nodes;
}

module.exports = { flow };
