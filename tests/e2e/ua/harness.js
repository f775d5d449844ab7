// Shared pieces of the OPC UA end-to-end scripts: the device simulator and the server as
// child processes (killed when the script ends), configuration files, node-opcua clients,
// the simulator's request log, and the "N passed, N failed" tally with its exit code.
"use strict";

const { spawn } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const net = require("net");
const opcua = require("node-opcua-client");

const children = [];
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "ua-e2e-"));
// node-opcua keeps its certificates under HOME; each run gets its own.
process.env.HOME = scratch;

let passed = 0;
let failed = 0;

function check(name, condition, detail) {
    if (condition) {
        passed++;
        console.log(`ok   ${name}`);
    } else {
        failed++;
        console.log(`FAIL ${name}${detail !== undefined ? ": " + JSON.stringify(detail) : ""}`);
    }
}

function cleanup() {
    for (const child of children)
        if (child.exitCode === null && child.signalCode === null) child.kill("SIGKILL");
    fs.rmSync(scratch, { recursive: true, force: true });
}

function finish() {
    console.log(`${passed} passed, ${failed} failed`);
    cleanup();
    process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

// Ends a script that is not a test (benchmarks): children killed, scratch removed.
function finishQuietly(code = 0) {
    cleanup();
    process.exit(code);
}

// The whole script is bounded: a hang counts as a failure.
function limitRuntime(ms) {
    setTimeout(() => {
        failed++;
        console.log(`FAIL script did not finish within ${ms} ms`);
        finish();
    }, ms).unref();
}

process.on("exit", () => {
    for (const child of children)
        if (child.exitCode === null && child.signalCode === null) child.kill("SIGKILL");
});

// Starts a program and waits for its "listening ..." line; resolves with [child, rest of line].
function startListening(program, args, timeoutMs = 10000, env = process.env) {
    return new Promise((resolve, reject) => {
        const child = spawn(program, args, { stdio: ["ignore", "pipe", "pipe"], env });
        children.push(child);
        let out = "";
        let err = "";
        // All a program printed, for scripts that look at its trace or its start lines.
        child.stdoutText = "";
        child.stderrText = "";
        child.stdout.on("data", (d) => (child.stdoutText += d));
        child.stderr.on("data", (d) => (child.stderrText += d));
        const timer = setTimeout(() => reject(new Error(`${program} not ready: ${err}`)), timeoutMs);
        child.stdout.on("data", (d) => {
            out += d;
            const m = out.match(/listening (\S+)/);
            if (m) {
                clearTimeout(timer);
                resolve([child, m[1]]);
            }
        });
        child.stderr.on("data", (d) => {
            err += d;
            // Sanitizer reports of the programs under test, when asked for.
            if (process.env.VORN_UA_STDERR) fs.appendFileSync(process.env.VORN_UA_STDERR, d);
        });
        child.on("exit", (code) => {
            clearTimeout(timer);
            reject(new Error(`${program} ended with ${code}: ${err}`));
        });
    });
}

async function startSimulator(simPath, name, extra = []) {
    const log = path.join(scratch, `${name}.log`);
    const [child, where] = await startListening(simPath, ["--tcp", "127.0.0.1:0", "--log", log, ...extra]);
    const port = Number(where.split(":")[1]);
    return { child, port, log, requests: () => readRequestLog(log) };
}

function readRequestLog(file) {
    if (!fs.existsSync(file)) return [];
    return fs
        .readFileSync(file, "utf8")
        .split("\n")
        .filter((l) => l.trim())
        .map((line) => {
            const fields = {};
            for (const part of line.split(" ").slice(1)) {
                const [k, v] = part.split("=");
                fields[k] = v;
            }
            return { time: Date.parse(line.split(" ")[0] + "Z"), fc: Number(fields.fc),
                     start: Number(fields.start), count: Number(fields.count), data: fields.data };
        });
}

// A port nobody listens on now: connections to it are refused, and a server may take it.
function freePort() {
    return new Promise((resolve) => {
        const server = net.createServer();
        server.listen(0, "127.0.0.1", () => {
            const port = server.address().port;
            server.close(() => resolve(port));
        });
    });
}

function tag(name, datatype, address, access = "READWRITE", more = "") {
    return `<tag><name>${name}</name><comment>about ${name}</comment><address>${address}</address>` +
        `<datatype>${datatype}</datatype><accessrights>${access}</accessrights>${more}</tag>\r\n`;
}

// `attributes`: more settings of the device, e.g. ' byteorder="CDAB"'.
function device(name, port, content, timeout = 1000, attributes = "") {
    return `\t\t<PLC name="${name}" address = "127.0.0.1" port="${port}" id="1" timeout="${timeout}"${attributes}>\r\n` +
        `\t\t\t<tags>\r\n${content}\t\t\t</tags>\r\n\t\t</PLC>\r\n`;
}

// The function codes of each register kind, as the editor writes them.
const DATATYPES = [["INPUTSTATUS", 2, 0, 0], ["IREGISTER", 4, 0, 0], ["COIL", 1, 15, 5], ["HREGISTER", 3, 16, 6]]
    .map(([n, r, w, s]) => `\t\t<DATATYPE name="${n}" readcode = "${r}" writecode="${w}" singlewrcode="${s}"/>\r\n`)
    .join("");

function writeConfig(devices) {
    const file = path.join(scratch, "Tarnvale.xml");
    fs.writeFileSync(file, `<?xml version="1.0" encoding="ISO-8859-1"?>\r\n<VornModBusTcpIpCfg>\r\n` +
        `\t<MODBUS>\r\n${DATATYPES}\t</MODBUS>\r\n\t<OPC_DA>\r\n${devices}\t</OPC_DA>\r\n</VornModBusTcpIpCfg>\r\n`);
    return file;
}

// Environment for a program under test: under the sanitizer build a small quarantine keeps the
// memory figures meaningful.
function programEnv(more = {}) {
    const asan = (process.env.ASAN_OPTIONS ? process.env.ASAN_OPTIONS + ":" : "") + "quarantine_size_mb=16";
    return { ...process.env, ASAN_OPTIONS: asan, ...more };
}

// Tarnvale headless, configured through its own registry file ("ConfigFile", "OpcUaPort" 0 and
// `registryLines` more); resolves once it listens. `stderr` is all it has printed so far.
async function startTarnvale(config, registryLines = "", env = {}, args = [], program = process.argv[2]) {
    const registry = path.join(scratch, `registry-${Date.now()}-${Math.random()}.ini`);
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=${config}\nOpcUaPort=0\n${registryLines}`);
    const [child, where] = await startListening(program, args, 20000,
        programEnv({ VORN_REGISTRY: registry, VORN_HEADLESS: "1", ...env }));
    const port = Number(where.split(":").pop());
    return { child, port, url: `opc.tcp://127.0.0.1:${port}`, registry, get stderr() { return child.stderrText; } };
}

// The server under test: the Tarnvale program, or the test host program where it is not built.
async function startServer(serverPath, config, extra = [], registryLines = "") {
    if (path.basename(serverPath) === "Tarnvale")
        return startTarnvale(config, registryLines, {}, extra, serverPath);
    const [child, where] = await startListening(serverPath, [config, "0", ...extra], 10000, programEnv());
    const port = Number(where.split(":").pop());
    return { child, port, url: `opc.tcp://127.0.0.1:${port}` };
}

function makeClient(extra = {}) {
    return opcua.OPCUAClient.create({
        endpointMustExist: false,
        securityMode: opcua.MessageSecurityMode.None,
        securityPolicy: opcua.SecurityPolicy.None,
        connectionStrategy: { maxRetry: 0, initialDelay: 100, maxDelay: 500 },
        requestedSessionTimeout: 60000,
        ...extra,
    });
}

async function connect(url, extra = {}) {
    const client = makeClient(extra);
    await client.connect(url);
    const session = await client.createSession();
    return { client, session };
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Waits until `predicate()` holds, at most `ms`.
async function eventually(predicate, ms, step = 50) {
    const end = Date.now() + ms;
    while (Date.now() < end) {
        if (await predicate()) return true;
        await sleep(step);
    }
    return !!(await predicate());
}

// The usual end of a script: the client's session closed, the server ended with SIGTERM, the
// tally printed.
async function closeAndFinish(client, session, server) {
    await session.close();
    await client.disconnect();
    server.child.kill("SIGTERM");
    await waitForExit(server.child, 12000);
    finish();
}

// Runs a script's main; an exception thrown anywhere in it is a failure, not a crash.
function run(main) {
    main().catch((e) => {
        console.log(`FAIL ${e.stack || e}`);
        check("script ran to its end", false);
        finish();
    });
}

function waitForExit(child, ms) {
    return new Promise((resolve) => {
        if (child.exitCode !== null) return resolve(child.exitCode);
        const timer = setTimeout(() => resolve(null), ms);
        child.on("exit", (code) => {
            clearTimeout(timer);
            resolve(code);
        });
    });
}

module.exports = {
    opcua, check, finish, finishQuietly, limitRuntime, startListening, startSimulator, freePort, tag, device,
    children,
    writeConfig, DATATYPES,
    startServer, startTarnvale, makeClient, connect, sleep, eventually, waitForExit, closeAndFinish, run, scratch,
    hostPath: process.argv[2], simPath: process.argv[3],
};
