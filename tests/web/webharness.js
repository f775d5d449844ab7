// Shared pieces of the web front's end-to-end scripts, over the OPC UA scripts' harness: the
// Tarnvale program with its web page, accounts made with vorn-users, HTTP(S) requests that
// keep the raw answer, and a client that keeps tags polled.
"use strict";

const { spawn, spawnSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const https = require("https");
const path = require("path");
const h = require("../e2e/ua/harness");

const usersPath = process.argv[4];
let registryCount = 0;

// Tarnvale headless with its own registry (ConfigFile, OpcUaPort 0, HttpListen on a free
// port, and `lines`); resolves with the OPC UA URL, the web URL and the process.
function startTarnvale(config, lines = "") {
    const registry = path.join(h.scratch, `registry-${++registryCount}.ini`);
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=${config}\nOpcUaPort=0\n` +
        (lines.includes("HttpListen=") ? "" : "HttpListen=127.0.0.1:0\n") + lines);
    // Under the sanitizer build a small quarantine keeps the memory figures meaningful.
    const asan = (process.env.ASAN_OPTIONS ? process.env.ASAN_OPTIONS + ":" : "") + "quarantine_size_mb=16";
    const env = { ...process.env, VORN_REGISTRY: registry, VORN_HEADLESS: "1", ASAN_OPTIONS: asan };
    const child = spawn(h.hostPath, [], { stdio: ["ignore", "pipe", "pipe"], env });
    const server = { child, registry, env, stderr: "" };
    child.stderr.on("data", (d) => { server.stderr += d; });
    process.on("exit", () => { if (child.exitCode === null) child.kill("SIGKILL"); });
    return new Promise((resolve, reject) => {
        let out = "";
        const timer = setTimeout(() => reject(new Error("Tarnvale not ready: " + server.stderr)), 20000);
        child.stdout.on("data", (d) => {
            out += d;
            const ua = out.match(/listening \S+:(\d+)/);
            const web = out.match(/web page (\S+)/);
            if (ua && web) {
                clearTimeout(timer);
                server.url = `opc.tcp://127.0.0.1:${ua[1]}`;
                server.web = web[1];
                resolve(server);
            }
        });
        child.on("exit", (code) => reject(new Error(`Tarnvale ended with ${code}: ${server.stderr}`)));
    });
}

// An account in the registry file, as an administrator makes it.
function addUser(registry, name, role, password) {
    const result = spawnSync(usersPath, ["add", name, "--role", role, "--server", "Tarnvale"], {
        input: password + "\n", env: { ...process.env, VORN_REGISTRY: registry }, encoding: "utf8" });
    if (result.status !== 0) throw new Error(`vorn-users add ${name}: ${result.stderr}`);
}

// One request; resolves with status, headers, body and the time it took (ms).
function request(url, { method = "GET", body, headers = {}, timeoutMs = 10000 } = {}) {
    return new Promise((resolve, reject) => {
        const started = process.hrtime.bigint();
        const lib = url.startsWith("https:") ? https : http;
        const req = lib.request(url, { method, headers, rejectUnauthorized: false, agent: false }, (res) => {
            let data = "";
            res.setEncoding("utf8");
            res.on("data", (d) => { data += d; });
            res.on("end", () => resolve({ status: res.statusCode, headers: res.headers, body: data,
                ms: Number(process.hrtime.bigint() - started) / 1e6 }));
        });
        req.setTimeout(timeoutMs, () => req.destroy(new Error(`${url}: no answer in ${timeoutMs} ms`)));
        req.on("error", reject);
        if (body) req.write(body);
        req.end();
    });
}

function logIn(web, user, password) {
    const body = `user=${encodeURIComponent(user)}&password=${encodeURIComponent(password)}`;
    return request(`${web}/login`, { method: "POST", body,
        headers: { "Content-Type": "application/x-www-form-urlencoded", "Content-Length": Buffer.byteLength(body) } });
}

// The cookie a login set: "name=value" for requests, and its attributes.
function sessionCookie(response) {
    const line = (response.headers["set-cookie"] || [])[0] || "";
    const [pair, ...attributes] = line.split(";").map((s) => s.trim());
    return { pair, attributes, line };
}

// A client subscribed to `nodeIds`, so that the server polls their devices; `user` as
// { userName, password } when anonymous sessions are off.
async function keepPolled(url, nodeIds, intervalMs = 250, user = null) {
    const client = h.makeClient();
    await client.connect(url);
    const session = await client.createSession(user ? { type: h.opcua.UserTokenType.UserName, ...user } : undefined);
    const sub = await session.createSubscription2({ requestedPublishingInterval: intervalMs,
        requestedLifetimeCount: 600, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    for (const nodeId of nodeIds)
        await sub.monitor({ nodeId, attributeId: h.opcua.AttributeIds.Value },
            { samplingInterval: intervalMs, queueSize: 1 }, h.opcua.TimestampsToReturn.Both);
    return { client, session, sub };
}

// Writes one holding register straight to a Modbus TCP device (function 6), as a plant's
// other master might; resolves once the device answered.
function writeRegister(port, unit, address, value) {
    return new Promise((resolve, reject) => {
        const socket = require("net").connect(port, "127.0.0.1");
        const frame = Buffer.from([0, 1, 0, 0, 0, 6, unit, 6, address >> 8, address & 0xff, value >> 8, value & 0xff]);
        socket.setTimeout(5000, () => socket.destroy(new Error("no answer to the write")));
        socket.on("connect", () => socket.write(frame));
        socket.on("data", (reply) => {
            socket.end();
            reply[7] === 6 ? resolve() : reject(new Error("write refused: " + reply.toString("hex")));
        });
        socket.on("error", reject);
    });
}

module.exports = { ...h, startTarnvale, writeRegister, addUser, request, logIn, sessionCookie, keepPolled };
