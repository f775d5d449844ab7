// Monitored items as SCADA clients set them up, through the real server: absolute and percent
// deadbands (and the refusal of a percent deadband where a tag has no EURange), the Status
// trigger, queues of 10 filled with 25 changes between two Publish requests in both discard
// policies with the Overflow bit, and an item sampled every 100 ms in a subscription publishing
// every 1,000 ms.
"use strict";

const util = require("util");
const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn, MonitoringMode, DataType, DataChangeFilter, DataChangeTrigger,
    DeadbandType, StatusCodes } = opcua;

const OVERFLOW = 0x480; // InfoType DataValue and the Overflow bit
const statusBits = (dv) => dv.statusCode.value >>> 0;
const scaled = "<rawlow>0</rawlow><rawhigh>16384</rawhigh><eulow>0</eulow><euhigh>100</euhigh><units>%</units>";

function filter(deadbandType, deadbandValue, trigger = DataChangeTrigger.StatusValue) {
    return new DataChangeFilter({ trigger, deadbandType, deadbandValue });
}

async function monitor(sub, nodeId, parameters = {}) {
    const item = await sub.monitor({ nodeId, attributeId: AttributeIds.Value },
        { samplingInterval: -1, discardOldest: true, queueSize: 10, ...parameters }, TimestampsToReturn.Both);
    const values = [];
    item.on("changed", (dv) => values.push(dv));
    return { item, values, numbers: () => values.map((dv) => dv.value.value) };
}

async function write(session, nodeId, value, dataType) {
    const status = await session.write({ nodeId, attributeId: AttributeIds.Value,
        value: { value: { dataType, value } } });
    if (status.value !== 0) throw new Error(`write ${nodeId}=${value}: ${status.toString()}`);
}

// Writes `value` and waits until an item without a filter in the same subscription reports
// it: the filtered items were sampled with it then.
async function writeAndSee(session, nodeId, value, dataType, control) {
    await write(session, nodeId, value, dataType);
    const seen = await h.eventually(() => control.values.some((dv) =>
        dv.value.value !== null && Math.abs(dv.value.value - value) < 0.01 &&
        dv === control.values[control.values.length - 1]), 10000);
    if (!seen) throw new Error(`${nodeId}=${value} never reported: ${control.numbers()}`);
}

async function deadbands(session) {
    const sub = await session.createSubscription2({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 600, requestedMaxKeepAliveCount: 20, publishingEnabled: true });
    const level = "ns=1;s=P1.Level", percent = "ns=1;s=P1.Percent";
    const levelControl = await monitor(sub, level);
    const absolute = await monitor(sub, level, { filter: filter(DeadbandType.Absolute, 5) });
    const percentControl = await monitor(sub, percent);
    const tenPercent = await monitor(sub, percent, { filter: filter(DeadbandType.Percent, 10) });
    // Before the first poll the tags are Uncertain without a value; the first Good value is 0.
    const good = (m) => m.values.some((dv) => dv.statusCode.value === 0);
    await h.eventually(() => good(absolute) && good(tenPercent), 10000);
    absolute.values.length = 0;
    tenPercent.values.length = 0;

    for (const v of [1, 3, 6]) await writeAndSee(session, level, v, DataType.Int16, levelControl);
    await h.sleep(300);
    check("absolute deadband 5: of 1, 3 and 6 after 0 only the 6 is reported",
        JSON.stringify(absolute.numbers()) === "[6]", absolute.numbers());

    for (const v of [5, 9, 12, 20, 23]) await writeAndSee(session, percent, v, DataType.Double, percentControl);
    await h.sleep(300);
    const reported = tenPercent.numbers();
    check("percent deadband 10 of EURange 0..100: 5, 9 and 20 stay within 10 of the last reported, 12 and 23 pass",
        reported.length === 2 && Math.abs(reported[0] - 12) < 0.01 && Math.abs(reported[1] - 23) < 0.01, reported);

    // A percent deadband needs an EURange (the tag without one refuses it) and 0..100.
    for (const [what, nodeId, percentage] of [["on a tag without EURange", level, 10], ["beyond 100", percent, 150]]) {
        const created = await session.createMonitoredItems({ subscriptionId: sub.subscriptionId,
            timestampsToReturn: TimestampsToReturn.Both, itemsToCreate: [{
                itemToMonitor: { nodeId, attributeId: AttributeIds.Value }, monitoringMode: MonitoringMode.Reporting,
                requestedParameters: { clientHandle: 777, samplingInterval: -1, queueSize: 1, discardOldest: true,
                    filter: filter(DeadbandType.Percent, percentage) } }] });
        check(`a percent deadband ${what} is refused with BadDeadbandFilterInvalid`,
            created.results[0].statusCode.value === StatusCodes.BadDeadbandFilterInvalid.value,
            created.results[0].statusCode.toString());
    }

    // ModifyMonitoredItems changes the filter: deadband 5 becomes none, and 7 is reported.
    await absolute.item.modify({ samplingInterval: -1, queueSize: 10, discardOldest: true,
        filter: filter(DeadbandType.None, 0) });
    await writeAndSee(session, level, 7, DataType.Int16, levelControl);
    await h.eventually(() => absolute.numbers().includes(7), 3000);
    check("after ModifyMonitoredItems without a deadband a move of 1 is reported", absolute.numbers().includes(7),
        absolute.numbers());
    await sub.terminate();
}

async function statusTrigger(session, device) {
    const sub = await session.createSubscription2({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 600, requestedMaxKeepAliveCount: 20, publishingEnabled: true });
    const nodeId = "ns=1;s=P2.Value";
    const control = await monitor(sub, nodeId);
    const statusOnly = await monitor(sub, nodeId,
        { filter: filter(DeadbandType.None, 0, DataChangeTrigger.Status) });
    await h.eventually(() => control.values.some((dv) => dv.statusCode.value === 0), 10000);
    await h.eventually(() => statusOnly.values.some((dv) => dv.statusCode.value === 0), 3000);
    const before = statusOnly.values.length;
    await writeAndSee(session, nodeId, 42, DataType.Int16, control);
    await writeAndSee(session, nodeId, 43, DataType.Int16, control);
    await h.sleep(300);
    check("trigger Status: a value change is not reported", statusOnly.values.length === before,
        statusOnly.values.map((dv) => `${dv.value.value} ${dv.statusCode.toString()}`));
    device.child.kill("SIGKILL");
    const bad = await h.eventually(() => statusOnly.values.length > before &&
        statusOnly.values[statusOnly.values.length - 1].statusCode.value !== 0, 15000);
    check("trigger Status: the device's loss is reported as a status change", bad,
        statusOnly.values.map((dv) => dv.statusCode.toString()));
    await sub.terminate();
}

// Queues of 10 in both discard policies, filled with 25 changes while the client sends no
// Publish, then read with one Publish.
async function queues(url, readSession) {
    const { client, session } = await h.connect(url);
    const publish = util.promisify(session.publish.bind(session));
    const created = await session.createSubscription({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 3000, requestedMaxKeepAliveCount: 100, maxNotificationsPerPublish: 0,
        publishingEnabled: true, priority: 0 });
    const subscriptionId = created.subscriptionId;
    const nodeId = "ns=1;s=P1.Queued";
    const items = await session.createMonitoredItems({ subscriptionId, timestampsToReturn: TimestampsToReturn.Both,
        itemsToCreate: [true, false].map((discardOldest, i) => ({
            itemToMonitor: { nodeId, attributeId: AttributeIds.Value }, monitoringMode: MonitoringMode.Reporting,
            requestedParameters: { clientHandle: i + 1, samplingInterval: -1, queueSize: 10, discardOldest } })) });
    check("queue size 10 is granted", items.results.every((r) => r.statusCode.value === 0 && r.revisedQueueSize === 10),
        items.results.map((r) => `${r.statusCode.toString()} ${r.revisedQueueSize}`));
    const large = await session.createMonitoredItems({ subscriptionId, timestampsToReturn: TimestampsToReturn.Both,
        itemsToCreate: [{ itemToMonitor: { nodeId, attributeId: AttributeIds.Value }, monitoringMode: MonitoringMode.Disabled,
            requestedParameters: { clientHandle: 9, samplingInterval: -1, queueSize: 1000000, discardOldest: true } }] });
    check("a queue size beyond the maximum is revised to 1,000", large.results[0].revisedQueueSize === 1000,
        large.results[0].revisedQueueSize);

    const notifications = (response) => response.notificationMessage.notificationData
        .flatMap((n) => n.monitoredItems || []);
    // The first values, then 25 changes with no Publish in between.
    await h.eventually(async () => (await readSession.read({ nodeId, attributeId: AttributeIds.Value })).value.value === 0, 5000);
    await h.sleep(500);
    const first = notifications(await publish({ subscriptionAcknowledgements: [] }));
    const last = (handle) => first.filter((n) => n.clientHandle === handle).pop();
    check("the first Publish ends with both items' first Good value, 0", [1, 2].every((handle) =>
        last(handle) && last(handle).value.value.value === 0 && last(handle).value.statusCode.value === 0),
    first.map((n) => `${n.clientHandle}:${n.value.value.value}/${n.value.statusCode.toString()}`));
    for (let v = 1; v <= 25; v++) {
        await write(readSession, nodeId, v, DataType.Int16);
        // Polled and sampled every 100 ms: a few periods more, so that each change is sampled.
        await h.eventually(async () => (await readSession.read({ nodeId, attributeId: AttributeIds.Value,
        }, 1000000)).value.value === v, 5000);
        await h.sleep(400);
    }
    const response = await publish({ subscriptionAcknowledgements: [] });
    const all = notifications(response);
    const oldest = all.filter((n) => n.clientHandle === 1).map((n) => n.value);
    const newest = all.filter((n) => n.clientHandle === 2).map((n) => n.value);
    const show = (dvs) => dvs.map((dv) => `${dv.value.value}/${statusBits(dv).toString(16)}`).join(" ");
    check("DiscardOldest: the last 10 values, 16 to 25", JSON.stringify(oldest.map((dv) => dv.value.value)) ===
        JSON.stringify([16, 17, 18, 19, 20, 21, 22, 23, 24, 25]), show(oldest));
    check("DiscardOldest: the Overflow bit on the first value only",
        oldest.length === 10 && oldest.every((dv, i) => (statusBits(dv) === OVERFLOW) === (i === 0)), show(oldest));
    check("not DiscardOldest: the first 9 values and the last, 25",
        JSON.stringify(newest.map((dv) => dv.value.value)) === JSON.stringify([1, 2, 3, 4, 5, 6, 7, 8, 9, 25]),
        show(newest));
    check("not DiscardOldest: the Overflow bit on the last value only",
        newest.length === 10 && newest.every((dv, i) => (statusBits(dv) === OVERFLOW) === (i === 9)), show(newest));
    await session.close();
    await client.disconnect();
}

// An item sampled every 100 ms in a subscription publishing every 1,000 ms, on a register
// stepping every 100 ms.
async function fastSampling(session) {
    const sub = await session.createSubscription2({ requestedPublishingInterval: 1000,
        requestedLifetimeCount: 60, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    const perMessage = [];
    sub.on("received_notifications", (message) => {
        const counts = {};
        for (const data of message.notificationData || [])
            for (const n of data.monitoredItems || []) counts[n.clientHandle] = (counts[n.clientHandle] || 0) + 1;
        perMessage.push(counts);
    });
    const fast = await monitor(sub, "ns=1;s=P1.Ramp", { samplingInterval: 100, queueSize: 20 });
    const slow = await monitor(sub, "ns=1;s=P1.Ramp", { samplingInterval: -1, queueSize: 20 });
    check("the 100 ms sampling interval is granted", fast.item.monitoringParameters.samplingInterval === 100,
        fast.item.monitoringParameters.samplingInterval);
    check("without one the item samples at the publishing interval",
        slow.item.monitoringParameters.samplingInterval === 1000, slow.item.monitoringParameters.samplingInterval);
    await h.sleep(7500);
    const fastHandle = fast.item.monitoringParameters.clientHandle;
    const slowHandle = slow.item.monitoringParameters.clientHandle;
    // The first two messages hold the start; the rest are steady.
    const steady = perMessage.slice(2).map((c) => [c[fastHandle] || 0, c[slowHandle] || 0]);
    const fastCounts = steady.map((c) => c[0]).sort((a, b) => a - b);
    const median = fastCounts[Math.floor(fastCounts.length / 2)];
    check("about 10 values of the 100 ms item in each publish of 1,000 ms", steady.length >= 3 && median >= 8 &&
        median <= 12, JSON.stringify(steady));
    check("the item at the publishing interval gives one value a publish", steady.every((c) => c[1] <= 1),
        JSON.stringify(steady));
    await sub.terminate();
}

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--ramp", "ir:40"]);
    const sim2 = await h.startSimulator(h.simPath, "sim2", []);
    const config = h.writeConfig(
        h.device("P1", sim.port, h.tag("Level", "HREGISTER VT_I2", 0) + h.tag("Percent", "HREGISTER VT_UI2", 10,
            "READWRITE", scaled) + h.tag("Queued", "HREGISTER VT_I2", 20) + h.tag("Ramp", "IREGISTER VT_I2", 40, "READ")) +
        h.device("P2", sim2.port, h.tag("Value", "HREGISTER VT_I2", 0), 500));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    await deadbands(session);
    await queues(server.url, session);
    await fastSampling(session);
    await statusTrigger(session, sim2);

    await session.close();
    await client.disconnect();
    h.finish();
}

h.run(main);
