// Creating many monitored items in Tarnvale: 200,000 tags (200 simulated devices of 1,000
// registers), monitored by two sessions of 100,000 items each (the per-session limit), first in
// the largest requests the server takes (20,000 items), then in requests of 100 (2,000 in all).
// Reports the seconds each way takes, the server's memory per monitored item (resident memory
// before and after), and the slowest Read of another client meanwhile (a stall would show
// there).
//   node bench/ua/many_items.js PATH/TO/Tarnvale PATH/TO/modbus-sim
"use strict";

const fs = require("fs");
const path = require("path");
const e2e = path.join(__dirname, "..", "..", "tests", "e2e", "ua", "harness.js");
const h = require(e2e);
const { opcua } = h;
const { AttributeIds, TimestampsToReturn, MonitoringMode } = opcua;

const DEVICES = 200;
const TAGS = 1000;
const SESSIONS = 2;

const residentKiB = (pid) => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, "utf8"))[1]);

// Another client reading one tag from the cache, one Read after the other; the slowest answer.
function watchReads(session) {
    let stop = false;
    let slowest = 0;
    let reads = 0;
    const done = (async () => {
        while (!stop) {
            const start = Date.now();
            await session.read({ nodeId: "ns=1;s=D0.T0", attributeId: AttributeIds.Value }, 1000000);
            slowest = Math.max(slowest, Date.now() - start);
            reads++;
            await h.sleep(20);
        }
    })();
    return async () => {
        stop = true;
        await done;
        return { slowest, reads };
    };
}

async function createAll(sessions, perRequest) {
    const subscriptions = [];
    const start = Date.now();
    for (let s = 0; s < sessions.length; s++) {
        const created = await sessions[s].createSubscription({ requestedPublishingInterval: 10000,
            requestedLifetimeCount: 1000, requestedMaxKeepAliveCount: 10, maxNotificationsPerPublish: 0,
            publishingEnabled: true, priority: 0 });
        subscriptions.push(created.subscriptionId);
    }
    // Each session's subscription holds at most 20,000 items: five subscriptions a session.
    const perSubscription = 20000;
    let handle = 0;
    for (let s = 0; s < sessions.length; s++) {
        const subs = [subscriptions[s]];
        for (let k = 1; k < 100000 / perSubscription; k++)
            subs.push((await sessions[s].createSubscription({ requestedPublishingInterval: 10000,
                requestedLifetimeCount: 1000, requestedMaxKeepAliveCount: 10, maxNotificationsPerPublish: 0,
                publishingEnabled: true, priority: 0 })).subscriptionId);
        for (let i = 0; i < 100000; i += perRequest) {
            const items = [];
            for (let k = i; k < i + perRequest; k++) {
                const tag = s * 100000 + k;
                items.push({ itemToMonitor: { nodeId: `ns=1;s=D${Math.floor(tag / TAGS)}.T${tag % TAGS}`,
                    attributeId: AttributeIds.Value }, monitoringMode: MonitoringMode.Reporting,
                requestedParameters: { clientHandle: ++handle, samplingInterval: -1, queueSize: 1, discardOldest: true } });
            }
            const r = await sessions[s].createMonitoredItems({ subscriptionId: subs[Math.floor(i / perSubscription)],
                timestampsToReturn: TimestampsToReturn.Both, itemsToCreate: items });
            const bad = r.results.filter((x) => x.statusCode.value !== 0);
            if (bad.length) throw new Error(`${bad.length} items refused: ${bad[0].statusCode.toString()}`);
        }
        subscriptions[s] = subs;
    }
    return { seconds: (Date.now() - start) / 1000, subscriptions };
}

async function main() {
    const ports = Array(DEVICES).fill(0).join(",");
    const [sim, where] = await h.startListening(h.simPath, ["--tcp", `127.0.0.1:${ports}`], 30000);
    const simPorts = where.split(":")[1].split(",").map(Number);
    let devices = "";
    let tags = "";
    for (let t = 0; t < TAGS; t++) tags += h.tag(`T${t}`, "HREGISTER VT_I2", t);
    for (let d = 0; d < DEVICES; d++) devices += h.device(`D${d}`, simPorts[d], tags);
    const server = await h.startServer(h.hostPath, h.writeConfig(devices));
    const pid = server.child.pid;
    const reader = await h.connect(server.url, { requestedSessionTimeout: 600000 });
    const clients = [];
    for (let s = 0; s < SESSIONS; s++)
        clients.push(await h.connect(server.url, { requestedSessionTimeout: 600000, transportTimeout: 600000 }));
    const sessions = clients.map((c) => c.session);

    for (const perRequest of [20000, 100]) {
        await h.sleep(2000);
        const before = residentKiB(pid);
        const stopReads = watchReads(reader.session);
        const { seconds, subscriptions } = await createAll(sessions, perRequest);
        const reads = await stopReads();
        await h.sleep(3000); // the first polls and samples settle
        const after = residentKiB(pid);
        const requests = (SESSIONS * 100000) / perRequest;
        console.log(`${SESSIONS * 100000} items in ${requests} requests of ${perRequest}: ${seconds.toFixed(1)} s, ` +
            `${(((after - before) * 1024) / (SESSIONS * 100000)).toFixed(0)} bytes per item (RSS ${before} -> ${after} KiB), ` +
            `another client's slowest Read ${reads.slowest} ms of ${reads.reads}`);
        for (let s = 0; s < SESSIONS; s++)
            await sessions[s].deleteSubscriptions({ subscriptionIds: subscriptions[s] });
    }
    for (const c of [reader, ...clients]) {
        await c.session.close();
        await c.client.disconnect();
    }
    sim.kill("SIGTERM");
    h.finishQuietly();
}

main().catch((e) => {
    console.error(e);
    h.finishQuietly(1);
});
