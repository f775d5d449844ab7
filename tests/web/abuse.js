// Hostile browsers against the web front while a client reads over OPC UA and the engine polls:
// 200 idle connections, a request with a 10 MB header, slow-loris headers (a line a second),
// then more connections than the limit. Measured before and during: OPC UA read times, the
// device's requests per second, the server's resident memory. The front refuses or closes each
// abuser within its limits and keeps answering the page.
"use strict";

const fs = require("fs");
const net = require("net");
const w = require("./webharness");
const { check } = w;

const IDLE = 200;
const SLOW = 20;
const BIG_HEADER = 10 * 1024 * 1024;

const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const p95 = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length * 0.95)];
const rssMb = (pid) => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, "utf8"))[1]) / 1024;

// Reads the tag from the device (maxAge 0) back to back for `ms`; the time of each read.
async function readPace(session, ms) {
    const times = [];
    const end = Date.now() + ms;
    while (Date.now() < end) {
        const started = process.hrtime.bigint();
        await session.read({ nodeId: "ns=1;s=P1.T", attributeId: w.opcua.AttributeIds.Value }, 0);
        times.push(Number(process.hrtime.bigint() - started) / 1e6);
        await w.sleep(20);
    }
    return times;
}

// Device requests per second over `ms`, from the simulator's log, and the peak memory meanwhile.
async function measure(sim, pid, session, ms) {
    const from = Date.now();
    let peak = rssMb(pid);
    const sampler = setInterval(() => { peak = Math.max(peak, rssMb(pid)); }, 200);
    const reads = await readPace(session, ms);
    clearInterval(sampler);
    const to = Date.now();
    const requests = sim.requests().filter((r) => r.time >= from && r.time < to).length;
    return { reads, rate: (requests * 1000) / (to - from), peak };
}

function openSocket(port) {
    return new Promise((resolve) => {
        const socket = net.connect(port, "127.0.0.1");
        socket.opened = Date.now();
        socket.on("error", () => {});
        socket.on("close", () => { socket.closedAt = Date.now(); });
        socket.on("connect", () => resolve(socket));
        socket.on("close", () => resolve(socket));
    });
}

async function main() {
    w.limitRuntime(170000);
    const sim = await w.startSimulator(w.simPath, "P1", ["--counter", "hr:1"]);
    const config = w.writeConfig(w.device("P1", sim.port, w.tag("T", "HREGISTER VT_I2", "1")));
    const server = await w.startTarnvale(config);
    const port = Number(new URL(server.web).port);
    const pid = server.child.pid;
    const polled = await w.keepPolled(server.url, ["ns=1;s=P1.T"], 100);
    const { session } = await w.connect(server.url);
    await w.sleep(2000);

    const quiet = await measure(sim, pid, session, 6000);

    // The abuse starts.
    const idle = await Promise.all(Array.from({ length: IDLE }, () => openSocket(port)));
    const slow = await Promise.all(Array.from({ length: SLOW }, () => openSocket(port)));
    for (const s of slow) s.write("GET / HTTP/1.1\r\nHost: x\r\n");
    const dripper = setInterval(() => { for (const s of slow) if (!s.closedAt) s.write(`X-Slow-${Date.now()}: a\r\n`); }, 1000);
    const big = await openSocket(port);
    let bigAnswer = "";
    big.on("data", (d) => { bigAnswer += d; });
    big.write("GET / HTTP/1.1\r\nHost: x\r\nX-Big: ");
    const chunk = Buffer.alloc(64 * 1024, "a");
    for (let sent = 0; sent < BIG_HEADER && !big.closedAt; sent += chunk.length) {
        if (!big.write(chunk)) await Promise.race([new Promise((r) => big.once("drain", r)), w.sleep(2000)]);
        await w.sleep(1); // node writes before it reads: let the answer in between chunks
    }
    await w.eventually(() => big.closedAt !== undefined, 5000);
    const held = await w.request(`${server.web}/api/devices`, { timeoutMs: 5000 }).catch((e) => ({ error: e.message }));

    const abused = await measure(sim, pid, session, 6000);
    await w.eventually(() => slow.every((s) => s.closedAt) && idle.every((s) => s.closedAt), 15000, 200);
    clearInterval(dripper);

    const summary = (m) => `reads median ${median(m.reads).toFixed(1)} ms, p95 ${p95(m.reads).toFixed(1)} ms ` +
        `(${m.reads.length}), device ${m.rate.toFixed(1)} requests/s, peak RSS ${m.peak.toFixed(1)} MB`;
    console.log(`quiet:  ${summary(quiet)}`);
    console.log(`abused: ${summary(abused)}`);
    check("OPC UA reads keep their pace (median within twice the quiet one + 20 ms)",
        median(abused.reads) <= 2 * median(quiet.reads) + 20, [median(quiet.reads), median(abused.reads)]);
    check("OPC UA reads keep their pace (p95 within three times the quiet one + 50 ms)",
        p95(abused.reads) <= 3 * p95(quiet.reads) + 50, [p95(quiet.reads), p95(abused.reads)]);
    check("polling keeps its pace (device requests per second at least 80 % of the quiet rate)",
        abused.rate >= 0.8 * quiet.rate, [quiet.rate, abused.rate]);
    check("memory stays bounded (peak under 20 MB above the quiet peak)", abused.peak - quiet.peak < 20,
        [quiet.peak, abused.peak]);
    console.log(`10 MB header: ${big.bytesWritten} bytes taken before the close, answer "${bigAnswer.split("\r\n")[0]}"`);
    check("the 10 MB header is refused with 431 and its connection closed before it is through",
        bigAnswer.startsWith("HTTP/1.1 431") && big.closedAt !== undefined && big.bytesWritten < BIG_HEADER,
        [big.bytesWritten, bigAnswer.slice(0, 40)]);
    check("the page answers while the abusers hold their connections", held.status === 200, held);
    const slowLife = Math.max(...slow.map((s) => s.closedAt - s.opened));
    const idleLife = Math.max(...idle.map((s) => s.closedAt - s.opened));
    console.log(`slow-loris connections closed after ${slowLife} ms at most, idle ones after ${idleLife} ms`);
    check("slow-loris connections are closed within the request deadline (10 s, +3 s)",
        slow.every((s) => s.closedAt) && slowLife <= 13000, slowLife);
    check("idle connections are closed within the request deadline (10 s, +3 s)",
        idle.every((s) => s.closedAt) && idleLife <= 13000, idleLife);

    // More connections than the limit (256): the surplus is closed at once.
    const flood = await Promise.all(Array.from({ length: 300 }, () => openSocket(port)));
    await w.sleep(1000);
    const closedAtOnce = flood.filter((s) => s.closedAt).length;
    console.log(`of 300 connections at once, ${closedAtOnce} were closed at once`);
    check("connections beyond the limit of 256 are closed at once", closedAtOnce >= 300 - 256 && closedAtOnce < 300,
        closedAtOnce);
    for (const s of flood) s.destroy();
    await w.sleep(500);
    const after = await w.request(`${server.web}/api/devices`).catch((e) => ({ error: e.message }));
    check("the page answers again once the flood is gone", after.status === 200, after);
    check("the engine is still polling", JSON.parse(after.body)[0].connected === true);
    await polled.client.disconnect();
    server.child.kill("SIGTERM");
    w.finish();
}

main().catch((e) => { check("the script runs to its end", false, e.stack); w.finish(); });
