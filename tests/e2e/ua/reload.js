// A changed configuration applied with SIGHUP while a client stays connected: a device and 50
// tags added, 10 tags removed, one tag moved to another address. The session and subscription
// go on, the unchanged tags miss none of the device's values, the removed ones are reported
// unknown, the new ones browse and read. A broken file then changes nothing and says where it
// is broken; the mended file reloads.
"use strict";

const fs = require("fs");
const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn, StatusCodes } = opcua;

const WATCHED = 100; // counters hr:0..99, one tag each
const REMOVED = 10;  // the last ten of them
const ADDED = 50;

function plant(p1Port, p2Port, { movedTo, withP2, removeLast }) {
    let p1 = "";
    for (let i = 0; i < WATCHED - (removeLast ? REMOVED : 0); i++) p1 += h.tag(`C${i}`, "HREGISTER VT_I2", i);
    p1 += h.tag("Moved", "HREGISTER VT_I2", movedTo);
    let p2 = "";
    for (let i = 0; i < ADDED; i++) p2 += h.tag(`N${i}`, "HREGISTER VT_I2", i);
    return h.device("P1", p1Port, p1) + (withP2 ? h.device("P2", p2Port, p2) : "");
}

// Resolves with the server's next stderr line that matches `pattern`, or null after `ms`.
function nextLine(child, pattern, ms) {
    const from = child.stderrText.length;
    return h.eventually(() => pattern.test(child.stderrText.slice(from)), ms).then((seen) => {
        if (!seen) return null;
        return child.stderrText.slice(from).split("\n").find((l) => pattern.test(l));
    });
}

// Values that skip one of the device's counts: the counter goes up by 1 a second.
function gapsIn(values) {
    const gaps = [];
    for (let i = 1; i < values.length; i++)
        if (values[i] !== values[i - 1] + 1) gaps.push([values[i - 1], values[i]]);
    return gaps;
}

async function main() {
    h.limitRuntime(150000);
    const counterArgs = [];
    for (let i = 0; i < WATCHED; i++) counterArgs.push("--counter", `hr:${i}`);
    const sim = await h.startSimulator(h.simPath, "p1", [...counterArgs, "--set", "hr:150=1111", "--set", "hr:200=4242"]);
    const sim2 = await h.startSimulator(h.simPath, "p2", ["--set", "hr:0..49=77"]);
    const config = h.writeConfig(plant(sim.port, sim2.port, { movedTo: 150 }));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    const sub = await session.createSubscription2({ requestedPublishingInterval: 250,
        requestedLifetimeCount: 240, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    const ids = [];
    for (let i = 0; i < WATCHED; i++) ids.push(`ns=1;s=P1.C${i}`);
    const group = await sub.monitorItems(ids.map((nodeId) => ({ nodeId, attributeId: AttributeIds.Value })),
        { samplingInterval: 250, discardOldest: true, queueSize: 10 }, TimestampsToReturn.Both);
    const values = ids.map(() => []);
    const statuses = ids.map(() => []);
    group.on("changed", (item, dv, index) => {
        statuses[index].push(dv.statusCode.value);
        if (dv.statusCode.value === 0) values[index].push(dv.value.value);
    });
    // The tag that moves is watched too: its monitored item follows it to the new address.
    const movedValues = [];
    const movedItem = await sub.monitor({ nodeId: "ns=1;s=P1.Moved", attributeId: AttributeIds.Value },
        { samplingInterval: 250, discardOldest: true, queueSize: 10 }, TimestampsToReturn.Both);
    movedItem.on("changed", (dv) => movedValues.push([dv.statusCode.value, dv.value.value]));
    let subscriptionEnded = false;
    sub.on("terminated", () => (subscriptionEnded = true));
    await h.eventually(() => values.every((v) => v.length >= 3), 20000);
    const before = await session.read({ nodeId: "ns=1;s=P1.Moved", attributeId: AttributeIds.Value }, 0);
    check("the tag to be moved reads its old address first", before.value.value === 1111, before.value.value);

    // The new file: P2 with 50 tags, the last 10 counters gone, Moved at another address.
    fs.writeFileSync(config + ".new", fs.readFileSync(h.writeConfig(
        plant(sim.port, sim2.port, { movedTo: 200, withP2: true, removeLast: true }))));
    fs.renameSync(config + ".new", config);
    const countsAtReload = values.map((v) => v.length);
    const logBefore = sim.requests().length;
    server.child.kill("SIGHUP");
    const line = await nextLine(server.child, /reload/, 20000);
    check("the status line says what the reload changed",
        line && /reloaded .*Tarnvale\.xml: 1 device added, 50 tags added, 10 tags removed, 1 tag changed/.test(line), line);

    await h.sleep(5000);
    const unchanged = values.slice(0, WATCHED - REMOVED);
    const after = unchanged.map((v, i) => v.length - countsAtReload[i]);
    check("the session and its subscription go on", !subscriptionEnded &&
        (await session.read({ nodeId: "ns=1;s=P1.C0", attributeId: AttributeIds.Value })).statusCode === StatusCodes.Good);
    const lastValues = await session.read(ids.slice(0, WATCHED - REMOVED).map((nodeId) => ({ nodeId, attributeId: AttributeIds.Value })), 0);
    check("every unchanged tag is reported up to the device's present count",
        unchanged.every((v, i) => v[v.length - 1] >= lastValues[i].value.value - 1),
        unchanged.map((v, i) => [v[v.length - 1], lastValues[i].value.value]).slice(0, 5));
    const missed = unchanged.map((v, i) => [i, gapsIn(v)]).filter(([, g]) => g.length > 0);
    check("the 90 unchanged tags miss none of the device's values across the reload", missed.length === 0 &&
        after.every((n) => n >= 3), { missed: missed.slice(0, 5), after: after.slice(0, 10) });
    const removedStatuses = statuses.slice(WATCHED - REMOVED).map((s) => s[s.length - 1]);
    check("the 10 removed tags report BadNodeIdUnknown",
        removedStatuses.every((s) => s === StatusCodes.BadNodeIdUnknown.value), removedStatuses.map((s) => s.toString(16)));
    const readRemoved = await session.read({ nodeId: `ns=1;s=P1.C${WATCHED - 1}`, attributeId: AttributeIds.Value });
    check("a removed tag reads BadNodeIdUnknown", readRemoved.statusCode === StatusCodes.BadNodeIdUnknown, readRemoved.statusCode.toString());

    const objects = await session.browse("ns=0;i=85");
    check("the new device folder is browsable", objects.references.some((r) => r.nodeId.toString() === "ns=1;s=P2"),
        objects.references.map((r) => r.nodeId.toString()));
    const p2 = await session.browse("ns=1;s=P2");
    const newTags = p2.references.filter((r) => r.isForward && /P2\.N\d+$/.test(r.nodeId.toString()));
    check("its 50 tags are browsable", newTags.length === ADDED, newTags.length);
    const newValues = await session.read(newTags.map((r) => ({ nodeId: r.nodeId, attributeId: AttributeIds.Value })), 0);
    check("and readable from the new device", newValues.every((dv) => dv.statusCode === StatusCodes.Good && dv.value.value === 77),
        newValues.slice(0, 3).map((dv) => [dv.statusCode.toString(), dv.value.value]));
    const p1 = await session.browse("ns=1;s=P1");
    check("the removed tags are gone from the browse", !p1.references.some((r) => /P1\.C9\d$/.test(r.nodeId.toString())) &&
        p1.references.some((r) => r.nodeId.toString() === "ns=1;s=P1.C89"));
    const moved = await session.read({ nodeId: "ns=1;s=P1.Moved", attributeId: AttributeIds.Value }, 0);
    const movedReads = sim.requests().slice(logBefore).filter((r) => r.fc === 3 && r.start <= 200 && r.start + r.count > 200);
    const lastMoved = movedValues[movedValues.length - 1];
    check("a monitored item of the moved tag follows it", lastMoved && lastMoved[0] === 0 && lastMoved[1] === 4242 &&
        movedValues.some(([, v]) => v === 1111), movedValues);
    check("the moved tag reads its new address (device log)", moved.value.value === 4242 && movedReads.length > 0,
        [moved.value.value, movedReads.length]);

    // A broken file: nothing changes, the status line names the line, the server goes on.
    const good = fs.readFileSync(config, "utf8");
    const lines = good.split("\r\n");
    const broken = lines.findIndex((l) => l.includes("<PLC name=\"P2\""));
    lines[broken] = lines[broken].replace("<PLC ", "<PLC <");
    fs.writeFileSync(config, lines.join("\r\n"));
    server.child.kill("SIGHUP");
    const refused = await nextLine(server.child, /reload/, 20000);
    check("a broken file is refused, naming its line", refused &&
        new RegExp(`refused: .*line ${broken + 1}\\b.*the running configuration stays`).test(refused), [refused, broken + 1]);
    const stillServing = await session.read([{ nodeId: "ns=1;s=P2.N0", attributeId: AttributeIds.Value },
        { nodeId: "ns=1;s=P1.C0", attributeId: AttributeIds.Value }], 0);
    check("the running configuration keeps serving", stillServing.every((dv) => dv.statusCode === StatusCodes.Good) &&
        server.child.exitCode === null, stillServing.map((dv) => dv.statusCode.toString()));

    // The mended file: the 10 removed tags come back.
    fs.writeFileSync(config, good.replace("\t\t\t</tags>", h.tag("C95", "HREGISTER VT_I2", 95) + "\t\t\t</tags>"));
    server.child.kill("SIGHUP");
    const mended = await nextLine(server.child, /reload/, 20000);
    check("the mended file reloads", mended && /reloaded .*1 tag added/.test(mended), mended);
    const back = await session.read({ nodeId: "ns=1;s=P1.C95", attributeId: AttributeIds.Value }, 0);
    check("its new tag reads", back.statusCode === StatusCodes.Good, back.statusCode.toString());

    await sub.terminate();
    await session.close();
    await client.disconnect();
    server.child.kill("SIGTERM");
    check("the server ends as usual after its reloads", (await h.waitForExit(server.child, 30000)) === 0);
    h.finish();
}

h.run(main);
