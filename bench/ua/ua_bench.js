// OPC UA benchmark: the same node-opcua client load against the gateway (Tarnvale over
// simulated devices) and against a node-opcua server with the same variables.
//   node bench/ua/ua_bench.js PATH/TO/Tarnvale PATH/TO/modbus-sim [--secure]
// With --secure both servers are measured over Basic256Sha256 SignAndEncrypt channels (the
// client's certificate trusted by each).
// Both sources change at the sampling interval: the gateway's devices (polled in
// perConnection mode) ramp every 100 ms, and so do the reference server's variables.
// Figures: Read throughput (nodes per second, 1,000 cached nodes per request), delivered
// DataChangeNotifications per second (10,000 monitored items sampled every 100 ms, queues of
// 10), the server process's CPU (seconds per second) and resident memory over that time, the
// notifications per CPU second, values the servers flagged lost (the Overflow bit), and the
// ratios.
"use strict";

const path = require("path");
const e2e = path.join(__dirname, "..", "..", "tests", "e2e", "ua", "harness.js");
const h = require(e2e);
const { opcua } = h;
const { AttributeIds, TimestampsToReturn, ClientMonitoredItemGroup } = opcua;

const DEVICES = 10;
const TAGS = 1000;
const SECURE = process.argv.includes("--secure");
const READ_SECONDS = 5;
const NOTIFY_SECONDS = 10;

const nodeIds = () => {
    const ids = [];
    for (let d = 0; d < DEVICES; d++) for (let t = 0; t < TAGS; t++) ids.push(`ns=1;s=D${d}.T${t}`);
    return ids;
};

let clientCertificate = null;
const securityOptions = () => SECURE ? { securityPolicy: opcua.SecurityPolicy.Basic256Sha256,
    securityMode: opcua.MessageSecurityMode.SignAndEncrypt, certificateFile: clientCertificate.certFile,
    privateKeyFile: clientCertificate.keyFile } : {};

// CPU seconds the process has used so far (user and system), and its resident memory in KiB.
function processUsage(pid) {
    const fs = require("fs");
    const stat = fs.readFileSync(`/proc/${pid}/stat`, "utf8");
    const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
    const cpu = (Number(fields[11]) + Number(fields[12])) / 100; // utime and stime, in ticks of 10 ms
    const rss = Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, "utf8"))[1]);
    return { cpu, rss };
}

async function measure(url, pid) {
    const { client, session } = await h.connect(url, { requestedSessionTimeout: 120000, ...securityOptions() });
    const ids = nodeIds();
    // Read: 1,000 nodes per request from the cache, one request after the other.
    const batch = ids.slice(0, 1000).map((nodeId) => ({ nodeId, attributeId: AttributeIds.Value }));
    await session.read(batch, 60000);
    let requests = 0;
    const readEnd = Date.now() + READ_SECONDS * 1000;
    const readStart = Date.now();
    while (Date.now() < readEnd) {
        await session.read(batch, 60000);
        requests++;
    }
    const readsPerSecond = (requests * 1000) / ((Date.now() - readStart) / 1000);

    // Notifications: one subscription at 100 ms with every variable.
    const sub = await session.createSubscription2({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 600, requestedMaxKeepAliveCount: 20, maxNotificationsPerPublish: 0,
        publishingEnabled: true });
    let notifications = 0;
    const group = await ClientMonitoredItemGroup.create(sub,
        ids.map((nodeId) => ({ nodeId, attributeId: AttributeIds.Value })),
        { samplingInterval: 100, queueSize: 10, discardOldest: true }, TimestampsToReturn.Both);
    let overflows = 0;
    group.on("changed", (item, dv) => {
        notifications++;
        if ((dv.statusCode.value & 0x480) === 0x480) overflows++;
    });
    await h.sleep(3000); // warm-up: initial values, polling settles
    notifications = 0;
    overflows = 0;
    const notifyStart = Date.now();
    const usageBefore = processUsage(pid);
    await h.sleep(NOTIFY_SECONDS * 1000);
    const usageAfter = processUsage(pid);
    const seconds = (Date.now() - notifyStart) / 1000;
    const notificationsPerSecond = notifications / seconds;
    const cpuPerSecond = (usageAfter.cpu - usageBefore.cpu) / seconds;
    await sub.terminate();
    await session.close();
    await client.disconnect();
    return { readsPerSecond, notificationsPerSecond, cpuPerSecond, rssMiB: usageAfter.rss / 1024,
        perCpuSecond: notificationsPerSecond / Math.max(cpuPerSecond, 0.01), overflows };
}

async function main() {
    // The gateway: ten simulated devices of 1,000 ramping registers each.
    let devices = "";
    for (let d = 0; d < DEVICES; d++) {
        const ramps = [];
        for (let t = 0; t < TAGS; t++) ramps.push("--ramp", `hr:${t}`);
        const sim = await h.startSimulator(h.simPath, `sim${d}`, ramps);
        let tags = "";
        for (let t = 0; t < TAGS; t++) tags += h.tag(`T${t}`, "HREGISTER VT_I2", t);
        devices += h.device(`D${d}`, sim.port, tags);
    }
    const pki = path.join(h.scratch, "pki");
    const gateway = await h.startServer(h.hostPath, h.writeConfig(devices), [],
        `PkiFolder=${pki}\nPollingMode=perConnection\n`);
    if (SECURE) {
        const certs = require(path.join(__dirname, "..", "..", "tests", "e2e", "ua", "certificates.js"));
        clientCertificate = await certs.create(h.scratch, "bench", `urn:${require("os").hostname()}:Bench`);
        require("fs").writeFileSync(path.join(pki, "trusted/certs/bench.der"), clientCertificate.der);
    }
    const ours = await measure(gateway.url, gateway.child.pid);
    console.log(`gateway: ${JSON.stringify(ours)}`);
    gateway.child.kill("SIGTERM");
    await h.waitForExit(gateway.child, 12000);

    const port = await h.freePort();
    const { spawn } = require("child_process");
    const reference = spawn(process.execPath, [path.join(__dirname, "node_server.js"), String(port),
        String(DEVICES), String(TAGS), SECURE ? "secure" : "none"], { stdio: ["ignore", "pipe", "inherit"], env: { ...process.env, NODE_PATH: process.env.NODE_PATH || "" } });
    await new Promise((resolve, reject) => {
        reference.stdout.on("data", (d) => /listening/.test(String(d)) && resolve());
        reference.on("exit", (code) => reject(new Error(`node-opcua-server ended with ${code}`)));
    });
    const theirs = await measure(`opc.tcp://127.0.0.1:${port}`, reference.pid);
    reference.kill("SIGKILL");

    const row = (name, a, b, digits = 0) => console.log(`${name.padEnd(44)} ${a.toFixed(digits).padStart(10)} ${b.toFixed(digits).padStart(12)} ${(a / b).toFixed(2).padStart(7)}`);
    console.log(SECURE ? "Basic256Sha256 SignAndEncrypt" : "security policy None");
    console.log(`${"".padEnd(44)} ${"gateway".padStart(10)} ${"node-opcua".padStart(12)} ${"ratio".padStart(7)}`);
    row("Read, nodes/s (1,000 cached nodes/request)", ours.readsPerSecond, theirs.readsPerSecond);
    row("DataChangeNotifications/s (10,000 at 100 ms)", ours.notificationsPerSecond, theirs.notificationsPerSecond);
    row("server CPU, seconds per second", ours.cpuPerSecond, theirs.cpuPerSecond, 2);
    row("notifications per CPU second", ours.perCpuSecond, theirs.perCpuSecond);
    row("server resident memory, MiB", ours.rssMiB, theirs.rssMiB);
    console.log(`values flagged lost (Overflow bit): gateway ${ours.overflows}, node-opcua ${theirs.overflows}`);
    h.finishQuietly();
}

main().catch((e) => {
    console.error(e);
    h.finishQuietly(1);
});
