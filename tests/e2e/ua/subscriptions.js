// Subscriptions through the real server: the publishing interval is the device's polling
// rate, data changes and keep-alives arrive, ModifySubscription and SetMonitoringMode reach
// the engine, and deleting subscriptions answers the Publish requests the server holds.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn, MonitoringMode } = opcua;

// Gaps between the device's reads of one register, over the last `windowMs`.
function readGaps(sim, start, windowMs) {
    const since = Date.now() - windowMs;
    const times = sim.requests().filter((r) => r.fc === 3 && r.start === start && r.time >= since)
        .map((r) => r.time);
    const gaps = [];
    for (let i = 1; i < times.length; i++) gaps.push(times[i] - times[i - 1]);
    return gaps;
}

const median = (xs) => (xs.length ? [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)] : NaN);

async function monitor(sub, nodeId) {
    return sub.monitor({ nodeId, attributeId: AttributeIds.Value },
        { samplingInterval: 0, discardOldest: true, queueSize: 1 }, TimestampsToReturn.Both);
}

async function main() {
    h.limitRuntime(120000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--counter", "hr:0", "--set", "hr:100=5"]);
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Counter", "HREGISTER VT_I2", 0) + h.tag("Still", "HREGISTER VT_I2", 100)));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    // A subscription at 500 ms on a changing value.
    const sub = await session.createSubscription2({ requestedPublishingInterval: 500,
        requestedLifetimeCount: 60, requestedMaxKeepAliveCount: 10, maxNotificationsPerPublish: 0,
        publishingEnabled: true, priority: 1 });
    check("the publishing interval is granted", sub.publishingInterval === 500, sub.publishingInterval);
    const values = [];
    const counter = await monitor(sub, "ns=1;s=P1.Counter");
    counter.on("changed", (dv) => values.push(dv));
    await h.sleep(3500);
    const gaps = readGaps(sim, 0, 2500);
    check("the device is read about every 500 ms", gaps.length >= 3 && median(gaps) >= 350 && median(gaps) <= 750, gaps);
    // Before the first poll the tag is Uncertain without a value; then the device's values.
    const good = values.filter((dv) => dv.statusCode.value === 0);
    check("the first notification may precede the first poll, Uncertain",
        values.length > 0 && (values[0].statusCode.value === 0 || values[0].statusCode.value === 0x40000000),
        values.map((v) => v.statusCode.toString()));
    check("data changes arrive for a changing value", good.length >= 2 &&
        good[good.length - 1].value.value > good[0].value.value, values.map((v) => v.value.value));

    // Keep-alives when nothing changes.
    const quiet = await session.createSubscription2({ requestedPublishingInterval: 500,
        requestedLifetimeCount: 60, requestedMaxKeepAliveCount: 2, publishingEnabled: true });
    let keepAlives = 0;
    const stillValues = [];
    quiet.on("keepalive", () => keepAlives++);
    const still = await monitor(quiet, "ns=1;s=P1.Still");
    still.on("changed", (dv) => stillValues.push(dv.value.value));
    await h.sleep(5000);
    check("the unchanging value is reported once", stillValues.filter((v) => v === 5).length === 1 &&
        stillValues[stillValues.length - 1] === 5, stillValues);
    check("keep-alives arrive when nothing changes (about every 1 s)", keepAlives >= 2 && keepAlives <= 6, keepAlives);

    // ModifySubscription changes the polling rate.
    const modified = await sub.modify({ requestedPublishingInterval: 2000, requestedLifetimeCount: 60,
        requestedMaxKeepAliveCount: 10, maxNotificationsPerPublish: 0, priority: 1 });
    check("ModifySubscription grants 2000 ms", modified.revisedPublishingInterval === 2000, modified);
    await h.sleep(7000);
    const slowGaps = readGaps(sim, 0, 5000);
    check("after ModifySubscription to 2000 ms the device is read about every 2 s",
        slowGaps.length >= 1 && median(slowGaps) >= 1600 && median(slowGaps) <= 2600, slowGaps);

    // SetMonitoringMode Disabled stops the polling of that tag.
    await counter.setMonitoringMode(MonitoringMode.Disabled);
    await h.sleep(1500);
    const before = sim.requests().filter((r) => r.fc === 3 && r.start === 0).length;
    await h.sleep(4500);
    const after = sim.requests().filter((r) => r.fc === 3 && r.start === 0).length;
    check("SetMonitoringMode Disabled stops the polling of the tag", after === before, after - before);
    const stillPolled = readGaps(sim, 100, 3000);
    check("the other subscription's tag is still polled", stillPolled.length >= 3, stillPolled);
    await counter.setMonitoringMode(MonitoringMode.Reporting);
    await h.sleep(4500);
    check("Reporting again resumes the polling",
        sim.requests().filter((r) => r.fc === 3 && r.start === 0).length > after);

    // Deleting the subscriptions answers the Publish requests the server holds.
    const engine = session.getPublishEngine();
    check("the client keeps Publish requests parked", engine.nbPendingPublishRequests > 0,
        engine.nbPendingPublishRequests);
    await sub.terminate();
    await quiet.terminate();
    const answered = await h.eventually(() => engine.nbPendingPublishRequests === 0, 3000);
    check("DeleteSubscriptions answers the parked Publishes", answered, engine.nbPendingPublishRequests);
    await h.sleep(1500);
    const idle = sim.requests().length;
    await h.sleep(2000);
    check("with no subscription left nothing is polled", sim.requests().length === idle);

    await session.close();
    await client.disconnect();
    h.finish();
}

h.run(main);
