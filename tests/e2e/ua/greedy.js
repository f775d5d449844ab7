// Greedy clients against the real server, each while another client must stay served:
// sessions left without a channel must not keep newcomers out, huge names must not take the
// server's memory, and one session must not take more than half of a global limit. The server's
// resident memory is printed before and after.
"use strict";

const fs = require("fs");
const { spawn } = require("child_process");
const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds } = opcua;

// Run as a child: opens sessions with an hour's timeout, named with `nameLength` bytes, until
// refused, prints how many and the revised timeout, then waits to be killed (its connection is
// reset, its sessions orphaned).
async function orphanMaker(url, nameLength) {
    const client = h.makeClient({ requestedSessionTimeout: 3600000, clientName: "n".repeat(nameLength),
        transportSettings: { maxMessageSize: 16 * 1024 * 1024 } });
    await client.connect(url);
    let made = 0;
    let timeout = 0;
    for (;;) {
        const session = await client.createSession().catch(() => null);
        if (!session) break;
        made++;
        timeout = session.timeout;
    }
    console.log(`made ${made} timeout ${timeout}`);
    setInterval(() => {}, 1000);
}

function runOrphanMaker(url, nameLength) {
    return new Promise((resolve, reject) => {
        const child = spawn(process.execPath, [__filename, "--orphan-maker", url, String(nameLength)],
            { stdio: ["ignore", "pipe", "ignore"] });
        h.children.push(child); // ended with the script, also when it never reports
        let out = "";
        const timer = setTimeout(() => reject(new Error("orphan maker did not report")), 60000);
        child.stdout.on("data", (d) => {
            out += d;
            const m = out.match(/made (\d+) timeout (\d+)/);
            if (m) {
                clearTimeout(timer);
                resolve({ child, made: Number(m[1]), timeout: Number(m[2]) });
            }
        });
    });
}

function rssKb(pid) {
    return Number(fs.readFileSync(`/proc/${pid}/status`, "utf8").match(/VmRSS:\s+(\d+)/)[1]);
}

async function timed(what) {
    const start = Date.now();
    const value = await what();
    return { value, ms: Date.now() - start };
}

async function goodClientServed(good, label) {
    const dv = await good.session.read({ nodeId: "ns=1;s=P1.T", attributeId: AttributeIds.Value }, 0);
    check(`${label}: the other client's device read is served`, dv.value.value === 42, dv.toString());
}

async function main() {
    h.limitRuntime(170000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0..9=42"]);
    let tags = "";
    for (let t = 0; t < 10; t++) tags += h.tag(t === 0 ? "T" : `T${t}`, "HREGISTER VT_I2", t);
    const config = h.writeConfig(h.device("P1", sim.port, tags));
    const server = await h.startServer(h.hostPath, config);
    const pid = server.child.pid;
    const good = await h.connect(server.url);
    await goodClientServed(good, "at start");
    const rssStart = rssKb(pid);

    // Sessions with an hour's timeout whose connection is then reset.
    const maker = await runOrphanMaker(server.url, 8);
    check("the session timeout is revised to at most 10 minutes", maker.timeout === 600000, maker.timeout);
    check("the greedy client takes every free session", maker.made === 99, maker.made);
    maker.child.kill("SIGKILL");
    await h.waitForExit(maker.child, 5000);
    await h.sleep(300);
    const newcomer = await timed(() => h.connect(server.url).catch((e) => ({ error: e.message })));
    check("a newcomer gets a session at once: the oldest session without a channel makes room",
        !!newcomer.value.session && newcomer.ms < 2000, { error: newcomer.value.error, ms: newcomer.ms });
    await goodClientServed(good, "with 98 orphaned sessions");
    if (newcomer.value.session) {
        await newcomer.value.session.close();
        await newcomer.value.client.disconnect();
    }
    const rssSessions = rssKb(pid);

    // A 6 MB endpoint URL (echoed in the response) is refused.
    const hog = h.makeClient({ transportSettings: { maxMessageSize: 16 * 1024 * 1024 } });
    await hog.connect(server.url);
    const longUrl = await new Promise((resolve) => hog.performMessageTransaction(
        new opcua.CreateSessionRequest({ clientDescription: {}, requestedSessionTimeout: 60000, sessionName: "s",
            endpointUrl: "opc.tcp://" + "u".repeat(6 * 1024 * 1024) }),
        (err, response) => resolve(err ? String(err.message) : response.responseHeader.serviceResult.toString())));
    check("a CreateSession with a 6 MB endpoint URL gets BadEncodingLimitsExceeded",
        /BadEncodingLimitsExceeded/.test(longUrl), longUrl);
    await hog.disconnect();

    // Activated sessions with 6 MB names whose connection is then reset.
    const named = await runOrphanMaker(server.url, 6 * 1024 * 1024);
    named.child.kill("SIGKILL");
    await h.waitForExit(named.child, 5000);
    check("sessions with 6 MB names are made in place of the orphans", named.made === 99, named.made);
    await goodClientServed(good, "with 99 orphaned sessions of 6 MB names");
    await h.sleep(500);
    const rssNames = rssKb(pid);
    const perSessionKb = (rssNames - rssStart) / 99;
    console.log(`     server RSS: ${rssStart} kB at start, ${rssSessions} kB with 98 orphaned sessions, ` +
        `${rssNames} kB with 99 orphaned sessions of 6 MB names (${perSessionKb.toFixed(1)} kB per session)`);
    // The sanitizer's allocator keeps freed buffers in its quarantine (16 MB) instead of giving
    // them back: that much is not the sessions'.
    const sanitized = fs.readFileSync(`/proc/${pid}/maps`, "utf8").includes("libasan");
    const quarantineKb = sanitized ? 20 * 1024 : 0;
    check("server memory per session stays under 64 kB", rssNames - rssStart < 99 * 64 + quarantineKb,
        { perSessionKb, sanitized });

    // One session takes as many monitored items as it may: half of the server's 200,000.
    const rssBeforeItems = rssKb(pid);
    const taker = await h.connect(server.url);
    const item = (handle) => ({ itemToMonitor: { nodeId: "i=2259", attributeId: AttributeIds.Value },
        monitoringMode: opcua.MonitoringMode.Disabled, requestedParameters: { clientHandle: handle, samplingInterval: 1000, queueSize: 1 } });
    const itemsOf = async (session, subscriptionId, count) => {
        const items = [];
        for (let i = 0; i < count; i++) items.push(item(i));
        const r = await session.createMonitoredItems({ subscriptionId,
            timestampsToReturn: opcua.TimestampsToReturn.Neither, itemsToCreate: items });
        return r.results.map((x) => x.statusCode.value);
    };
    const subscribe = (session) => session.createSubscription({ requestedPublishingInterval: 1000,
        requestedMaxKeepAliveCount: 10, requestedLifetimeCount: 100, publishingEnabled: false });
    let taken = 0;
    let refusedItems = [];
    for (let s = 0; s < 6; s++) {
        const sub = await subscribe(taker.session);
        const codes = await itemsOf(taker.session, sub.subscriptionId, 20000);
        taken += codes.filter((c) => c === 0).length;
        refusedItems = refusedItems.concat(codes.filter((c) => c !== 0));
    }
    check("one session takes 100,000 monitored items, half of the server's limit",
        taken === 100000 && refusedItems.length === 20000 && refusedItems.every((c) => c === 0x80db0000),
        { taken, refused: refusedItems.length });
    const goodSub = await subscribe(good.session);
    const goodCodes = await itemsOf(good.session, goodSub.subscriptionId, 1000);
    check("another session still gets its monitored items", goodCodes.every((c) => c === 0),
        goodCodes.find((c) => c !== 0));
    await goodClientServed(good, "with one session holding 100,000 monitored items");
    const rssItems = rssKb(pid);
    console.log(`     server RSS: ${rssBeforeItems} kB before and ${rssItems} kB with 101,000 monitored items`);
    await taker.session.close();
    await taker.client.disconnect();

    await good.session.close();
    await good.client.disconnect();
    // Only sessions without a channel are left: the shutdown does not wait for them.
    const stopStart = Date.now();
    server.child.kill("SIGTERM");
    const code = await h.waitForExit(server.child, 12000);
    const stopMs = Date.now() - stopStart;
    check("a server with only orphaned sessions stops at once", code === 0 && stopMs < 4000, { code, stopMs });
    h.finish();
}

if (process.argv[2] === "--orphan-maker") {
    orphanMaker(process.argv[3], Number(process.argv[4])).catch((e) => {
        console.log(`orphan maker failed: ${e.message}`);
        process.exit(1);
    });
} else {
    h.run(main);
}
