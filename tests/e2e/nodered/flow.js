// Node-RED as a user runs it: its OPC UA nodes (node-red-contrib-opcua) in a flow that reads
// one tag from Tarnvale and writes a number to another, headless, against the device
// simulator. The read must give the device's value, the write must reach the device.
"use strict";

const fs = require("fs");
const path = require("path");
const { spawn } = require("child_process");
const h = require("../ua/harness");
const { check } = h;

const noderedDir = path.join(__dirname, "node_modules", "node-red");

// The flow: inject -> OPC UA item -> OPC UA client (read or write) -> a function that keeps
// what came out -> a file node; the test reads the files.
function flowFor(endpoint, outDir) {
    const keep = (name) => ({
        type: "function",
        func: "msg.payload = JSON.stringify({ payload: msg.payload, status: msg.statusCode " +
              "&& (msg.statusCode.name || String(msg.statusCode)) }); return msg;",
        outputs: 1, wires: [[`${name}-file`]], id: `${name}-keep`, z: "tab",
    });
    const file = (name) => ({
        id: `${name}-file`, z: "tab", type: "file", filename: path.join(outDir, `${name}.json`),
        filenameType: "str", appendNewline: true, createDir: true, overwriteFile: "false",
        encoding: "none", wires: [[]],
    });
    // Each inject repeats until the test has seen its result: a client node may still be
    // connecting when the first message comes.
    const chain = (name, item, datatype, payload, payloadType, delay, action) => [
        { id: `${name}-inject`, z: "tab", type: "inject", props: [{ p: "payload" }], repeat: "2", once: true,
          onceDelay: delay, payload, payloadType, wires: [[`${name}-item`]] },
        { id: `${name}-item`, z: "tab", type: "OpcUa-Item", item, datatype, value: "", name: name,
          wires: [[`${name}-client`]] },
        { id: `${name}-client`, z: "tab", type: "OpcUa-Client", endpoint: "endpoint", action, deadbandtype: "a",
          deadbandvalue: 1, time: 10, timeUnit: "s", certificate: "n", localfile: "", localkeyfile: "",
          securitymode: "None", securitypolicy: "None", useTransport: false, maxChunkCount: 1,
          maxMessageSize: 8192, receiveBufferSize: 8192, sendBufferSize: 8192, setstatusandtime: false,
          keepsessionalive: false, name: `${name} client`, wires: [[`${name}-keep`], [], []] },
        keep(name), file(name),
    ];
    return [
        { id: "tab", type: "tab", label: "gateway" },
        { id: "endpoint", type: "OpcUa-Endpoint", endpoint, secpol: "None", secmode: "None", none: true,
          login: false, usercert: false, usercertificate: "", userprivatekey: "" },
        // What users pick in the item node for a number: Double, whatever the tag's type.
        ...chain("read", "ns=1;s=P1.Level", "Int16", "", "date", 2, "read"),
        ...chain("write", "ns=1;s=P1.Setpoint", "Double", "42", "num", 4, "write"),
    ];
}

function lastRecord(file) {
    if (!fs.existsSync(file)) return null;
    const lines = fs.readFileSync(file, "utf8").split("\n").filter((l) => l.trim());
    return lines.length ? JSON.parse(lines[lines.length - 1]) : null;
}

async function main() {
    h.limitRuntime(150000);
    check("Node-RED is installed (scripts/setup)", fs.existsSync(path.join(noderedDir, "red.js")), noderedDir);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=1234"]);
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Level", "HREGISTER VT_I2", 0, "READ") + h.tag("Setpoint", "HREGISTER VT_UI2", 1)));
    const server = await h.startServer(h.hostPath, config);

    const userDir = path.join(h.scratch, "nodered");
    const outDir = path.join(h.scratch, "out");
    fs.mkdirSync(userDir, { recursive: true });
    fs.writeFileSync(path.join(userDir, "flows.json"), JSON.stringify(flowFor(server.url, outDir), null, 1));
    const uiPort = await h.freePort(); // for Node-RED's own HTTP server
    fs.writeFileSync(path.join(userDir, "settings.js"), `module.exports = {
        uiPort: ${uiPort}, uiHost: "127.0.0.1", flowFile: "flows.json", credentialSecret: false,
        disableEditor: true, httpAdminRoot: false, httpNodeRoot: false,
        logging: { console: { level: "warn" } }, functionExternalModules: false,
        externalModules: { autoInstall: false, palette: { allowInstall: false } },
    };\n`);

    const log = [];
    const nodered = spawn(process.execPath, [path.join(noderedDir, "red.js"), "--userDir", userDir,
        "--settings", path.join(userDir, "settings.js")],
    { env: { ...process.env, HOME: h.scratch, NODE_PATH: "" }, stdio: ["ignore", "pipe", "pipe"] });
    nodered.stdout.on("data", (d) => log.push(String(d)));
    nodered.stderr.on("data", (d) => log.push(String(d)));
    process.on("exit", () => nodered.exitCode === null && nodered.kill("SIGKILL"));

    const readFile = path.join(outDir, "read.json");
    const writeFile = path.join(outDir, "write.json");
    const gotRead = await h.eventually(() => lastRecord(readFile) !== null, 60000, 200);
    const read = lastRecord(readFile);
    check("the flow reads the tag from Tarnvale", gotRead && read.payload === 1234, { read, log: log.join("").slice(-2000) });
    // A write's result comes out as the payload: the StatusCode, { value: 0 } when Good.
    const writeStatus = () => ((lastRecord(writeFile) || {}).payload || {}).value;
    const gotWrite = await h.eventually(() => writeStatus() === 0, 60000, 200);
    check("the flow's write is answered Good", gotWrite,
        { written: lastRecord(writeFile), log: log.join("").slice(-2000) });
    const onWire = () => sim.requests().filter((r) => (r.fc === 6 || r.fc === 16) && r.start === 1 && r.data === "002a");
    check("the number Node-RED wrote (a Double) reaches the device as 42",
        await h.eventually(() => onWire().length >= 1, 10000), sim.requests().slice(-5));

    nodered.kill("SIGTERM");
    await h.waitForExit(nodered, 10000);
    h.finish();
}

main().catch((e) => {
    check("script ran without exception", false, e.message);
    h.finish();
});
