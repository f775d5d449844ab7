// A stop never leaves a client waiting on a device: 30 reads of a silent device (timeout
// 100 s) are waiting when the server gets SIGTERM, and every one is answered BadShutdown within
// a second, in Tarnvale with either polling mode and in Rennick on a serial line where nothing
// answers. The server then ends once the client has closed its session.
//   node shutdown.js PATH/TO/Tarnvale PATH/TO/modbus-sim PATH/TO/Rennick
"use strict";

const { spawn } = require("child_process");
const fs = require("fs");
const path = require("path");
const h = require("./harness");
const { check } = h;

const kReads = 30;
const kAnswerWithinMs = 1000;
const rennickPath = process.argv[4];

// Rennick over a pseudo-terminal pair whose other end nobody serves.
async function startRennick() {
    const link = path.join(h.scratch, "line");
    const socat = spawn("socat", [`pty,raw,echo=0,link=${link}-a`, `pty,raw,echo=0,link=${link}-b`],
        { stdio: "ignore" });
    process.on("exit", () => socat.kill("SIGKILL"));
    if (!(await h.eventually(() => fs.existsSync(`${link}-a`) && fs.existsSync(`${link}-b`), 5000)))
        throw new Error("socat made no pseudo-terminals");
    const tags = [0, 1, 2].map((i) => h.tag(`T${i}`, "HREGISTER VT_I2", i)).join("");
    const config = path.join(h.scratch, "Rennick.xml");
    fs.writeFileSync(config, `<?xml version="1.0" encoding="ISO-8859-1"?>\r\n<VornModBusRTUCfg>\r\n` +
        `\t<MODBUS>\r\n${h.DATATYPES}\t</MODBUS>\r\n\t<OPC_DA>\r\n\t\t<PLC>\r\n\t\t\t<name>S</name>\r\n` +
        "\t\t\t<id>1</id>\r\n\t\t\t<com>COM1</com>\r\n\t\t\t<baudrate>9600</baudrate>\r\n" +
        "\t\t\t<parity>NO</parity>\r\n\t\t\t<timeout>100000</timeout>\r\n" +
        `\t\t\t<tags>\r\n${tags}\t\t\t</tags>\r\n\t\t</PLC>\r\n\t</OPC_DA>\r\n</VornModBusRTUCfg>\r\n`);
    const registry = path.join(h.scratch, "rennick-registry.ini");
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Rennick]\nConfigFile=${config}\nOpcUaPort=0\n\n` +
        `[SOFTWARE\\VornAutomation\\Rennick\\Ports]\nCOM1=${link}-a\n`);
    const [child, where] = await h.startListening(rennickPath, [], 15000,
        { ...process.env, VORN_REGISTRY: registry, VORN_HEADLESS: "1" });
    return { child, url: `opc.tcp://127.0.0.1:${where.split(":").pop()}` };
}

async function startTarnvale(pollingMode) {
    const silent = await h.startSimulator(h.simPath, `silent-${pollingMode}`, ["--silent", "1"]);
    const tags = [0, 1, 2].map((i) => h.tag(`T${i}`, "HREGISTER VT_I2", i)).join("");
    const config = h.writeConfig(h.device("S", silent.port, tags, 100000));
    return h.startServer(h.hostPath, config, [], `PollingMode=${pollingMode}\n`);
}

async function stopWithReadsWaiting(name, server) {
    const { client, session } = await h.connect(server.url);
    const reads = [];
    for (let i = 0; i < kReads; i++)
        reads.push(session.read({ nodeId: `ns=1;s=S.T${i % 3}`, attributeId: h.opcua.AttributeIds.Value }, 0)
            .then((dv) => ({ status: dv.statusCode.name, at: Date.now() }),
                (e) => ({ status: `error ${e.message}`, at: Date.now() })));
    // The reads reach the server and wait there; the device never answers.
    await h.sleep(1500);
    const signalled = Date.now();
    server.child.kill("SIGTERM");
    const answered = await Promise.race([Promise.all(reads), h.sleep(15000).then(() => null)]);
    const late = answered ? answered.filter((r) => r.status !== "BadShutdown" || r.at - signalled > kAnswerWithinMs) : [];
    const slowest = answered ? Math.max(...answered.map((r) => r.at - signalled)) : null;
    console.log(`     ${name}: ${answered ? answered.length : 0} answered, the last ${slowest} ms after SIGTERM`);
    check(`${name}: all ${kReads} waiting reads answered BadShutdown within ${kAnswerWithinMs} ms of SIGTERM`,
        answered && late.length === 0, answered ? late.slice(0, 3) : "not all answered within 15 s");
    await session.close().catch(() => {});
    await client.disconnect();
    const code = await h.waitForExit(server.child, 20000);
    check(`${name}: the server ends once the client has gone`, code === 0, code);
}

async function main() {
    h.limitRuntime(170000);
    await stopWithReadsWaiting("Tarnvale, single polling", await startTarnvale("single"));
    await stopWithReadsWaiting("Tarnvale, polling per connection", await startTarnvale("perConnection"));
    await stopWithReadsWaiting("Rennick", await startRennick());
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
