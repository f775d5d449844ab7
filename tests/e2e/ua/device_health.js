// DeviceHealth as an operator sees it: three devices polled for a subscribing client, one of
// them stopped for 5 s and started again. Its health variables go disconnected and back with
// ErrorCount grown, the other two stay untouched, and the headless stderr carries exactly one
// failure line and one recovery line, both naming that device; while it is down, the last
// stderr line about it names the code and text its health shows. A fourth device that nobody
// subscribes to counts the reads from the device and the writes clients make.
"use strict";

const { spawn } = require("child_process");
const fs = require("fs");
const path = require("path");
const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn, StatusCodes, DataType } = opcua;

const NAMES = ["P1", "P2", "P3"];
const UNPOLLED = "P4"; // only read from the device and written, never subscribed to
// UInt64 values arrive as [high, low].
const u64 = (v) => (Array.isArray(v) ? v[0] * 4294967296 + v[1] : Number(v));
const FIELDS = ["Connected", "LastErrorCode", "LastErrorText", "ErrorCount", "RequestCount",
    "LastGoodTime", "RoundTripMs", "ReadIntervalP50Ms", "ReadIntervalP95Ms", "ReducedRate",
    "SplitBlocks", "ActiveAddress"];

async function healthNamespace(session) {
    const dv = await session.read({ nodeId: "i=2255", attributeId: AttributeIds.Value });
    return dv.value.value.findIndex((uri) => uri.endsWith(":health"));
}

async function main() {
    h.limitRuntime(150000);
    const sims = [];
    for (const name of [...NAMES, UNPOLLED]) sims.push(await h.startSimulator(h.simPath, name));
    const config = h.writeConfig([...NAMES, UNPOLLED].map((name, i) =>
        h.device(name, sims[i].port, h.tag("T", "HREGISTER VT_I2", "1"), 500)).join(""));
    const server = await h.startTarnvale(config);
    const { client, session } = await h.connect(server.url);

    const ns = await healthNamespace(session);
    check("the health nodes have a namespace of their own", ns >= 2, ns);
    const id = (device, field) => `ns=${ns};s=DeviceHealth.${device}.${field}`;
    const browse = await session.browse(`ns=${ns};s=DeviceHealth`);
    check("DeviceHealth holds one object per device",
        browse.references.map((r) => r.browseName.name).sort().join() === [...NAMES, UNPOLLED].join(),
        browse.references.map((r) => r.browseName.toString()));
    const objects = await session.browse("i=85");
    check("DeviceHealth sits under Objects",
        objects.references.some((r) => r.browseName.name === "DeviceHealth" && r.browseName.namespaceIndex === ns));

    const sub = await session.createSubscription2({ requestedPublishingInterval: 200,
        requestedLifetimeCount: 300, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    for (const name of NAMES)
        await sub.monitor({ nodeId: `ns=1;s=${name}.T`, attributeId: AttributeIds.Value },
            { samplingInterval: 200, queueSize: 1 }, TimestampsToReturn.Both);
    const seen = {};
    for (const name of NAMES) {
        seen[name] = [];
        const item = await sub.monitor({ nodeId: id(name, "Connected"), attributeId: AttributeIds.Value },
            { samplingInterval: 200, queueSize: 1 }, TimestampsToReturn.Both);
        item.on("changed", (dv) => seen[name].push(dv.value.value));
    }
    const readAll = async (name) => {
        const dvs = await session.read(FIELDS.map((f) => ({ nodeId: id(name, f), attributeId: AttributeIds.Value })));
        const v = {};
        FIELDS.forEach((f, i) => { v[f] = dvs[i].value.value; v[f + "Type"] = dvs[i].value.dataType; });
        return v;
    };
    const allConnected = await h.eventually(async () =>
        NAMES.every((n) => seen[n].length && seen[n][seen[n].length - 1] === true), 10000);
    check("all three devices show Connected through a subscription", allConnected, seen);
    const before = {};
    for (const name of NAMES) before[name] = await readAll(name);
    check("the variables carry their data types",
        before.P1.ConnectedType === DataType.Boolean && before.P1.LastErrorCodeType === DataType.UInt32 &&
        before.P1.LastErrorTextType === DataType.String && before.P1.ErrorCountType === DataType.UInt64 &&
        before.P1.RequestCountType === DataType.UInt64 && before.P1.LastGoodTimeType === DataType.DateTime &&
        before.P1.RoundTripMsType === DataType.Double, before.P1);
    check("the read intervals, reduced rate, split blocks and address in use are shown",
        before.P1.ReadIntervalP95MsType === DataType.Double && before.P1.ReducedRate === false &&
        before.P1.SplitBlocks === 0 && before.P1.ActiveAddress === `127.0.0.1:${sims[0].port}`,
        before.P1);
    check("polling counts requests and a round trip", u64(before.P1.RequestCount) > 0 &&
        before.P1.RoundTripMs > 0 && before.P1.LastGoodTime instanceof Date, before.P1);
    const write = await session.write({ nodeId: id("P1", "RoundTripMs"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Double, value: 0 } } });
    check("health variables are read-only", write === StatusCodes.BadNotWritable, write.toString());
    const access = await session.read({ nodeId: id("P1", "Connected"), attributeId: AttributeIds.AccessLevel });
    check("AccessLevel says read only", access.value.value === 1, access.value.value);

    // Transfers for clients count as polls do: a read from the device and a write.
    const untouched = await readAll(UNPOLLED);
    check(`${UNPOLLED} shows nothing before a transfer`, untouched.Connected === false &&
        u64(untouched.RequestCount) === 0, untouched);
    const startedAt = Date.now();
    const fresh = await session.read({ nodeId: `ns=1;s=${UNPOLLED}.T`, attributeId: AttributeIds.Value }, 0);
    const written = await session.write({ nodeId: `ns=1;s=${UNPOLLED}.T`, attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, value: 7 } } });
    check(`${UNPOLLED}: the read from the device and the write worked`,
        fresh.statusCode === StatusCodes.Good && written === StatusCodes.Good,
        { read: fresh.statusCode.toString(), write: written.toString() });
    const counted = await readAll(UNPOLLED);
    check(`${UNPOLLED}'s health counts both transfers`, counted.Connected === true &&
        u64(counted.RequestCount) >= 2 && u64(counted.ErrorCount) === 0 && counted.RoundTripMs > 0 &&
        counted.LastGoodTime instanceof Date && counted.LastGoodTime.getTime() >= startedAt - 1000, counted);

    // P2 stops for 5 s, then comes back on its port.
    // Changes seen from here on; before it each device went from false (no poll yet) to true.
    const mark = {};
    for (const name of NAMES) mark[name] = seen[name].length;
    const since = (name) => seen[name].slice(mark[name]);
    const p2 = sims[1];
    p2.child.kill("SIGTERM");
    await h.waitForExit(p2.child, 5000);
    const stoppedAt = Date.now();
    const wentDown = await h.eventually(() => since("P2").includes(false), 4000);
    check("P2 shows disconnected while stopped", wentDown, since("P2"));
    // Polls after the lost connection fail with another code (the connection cannot be made
    // again): the status lines follow it.
    await h.sleep(2000);
    const during = await readAll("P2");
    check("P2's last error is named, with the error text", during.LastErrorCode > 0 &&
        during.LastErrorText.length > 0 && !during.LastErrorText.startsWith("Error "), during);
    const aboutP2 = server.stderr.split("\n").filter((l) => /^P2: (communication failed|still failing)/.test(l));
    const lastSaid = aboutP2.length ? aboutP2[aboutP2.length - 1] : "";
    check("the last stderr line about P2 names the code and text its health shows",
        lastSaid.includes(`: ${during.LastErrorCode} ${during.LastErrorText} (`), { lastSaid, during });
    await h.sleep(Math.max(0, 5000 - (Date.now() - stoppedAt)));
    const again = spawn(h.simPath, ["--tcp", `127.0.0.1:${p2.port}`], { stdio: ["ignore", "pipe", "pipe"] });
    const backUp = await h.eventually(() => seen.P2[seen.P2.length - 1] === true, 15000);
    check("P2 shows connected again after its restart", backUp, seen.P2);

    const after = {};
    for (const name of NAMES) after[name] = await readAll(name);
    check("P2's ErrorCount grew", u64(after.P2.ErrorCount) > u64(before.P2.ErrorCount),
        { before: before.P2.ErrorCount, after: after.P2.ErrorCount });
    for (const name of ["P1", "P3"]) {
        check(`${name} kept its ErrorCount and never showed disconnected`,
            u64(after[name].ErrorCount) === u64(before[name].ErrorCount) && !since(name).includes(false),
            { before: before[name].ErrorCount, after: after[name].ErrorCount, seen: since(name) });
        check(`${name} kept polling`, u64(after[name].RequestCount) > u64(before[name].RequestCount));
    }

    const lines = server.stderr.split("\n");
    const failures = lines.filter((l) => l.includes("communication failed"));
    const recoveries = lines.filter((l) => l.includes("communication restored"));
    check("stderr holds exactly one failure line, for P2", failures.length === 1 && failures[0].startsWith("P2: "), failures);
    check("stderr holds exactly one recovery line, for P2, with the outage's length",
        recoveries.length === 1 && /^P2: communication restored after [4-9] s$/.test(recoveries[0]), recoveries);
    check("no other status lines", !/cleared|Comm\. status/.test(server.stderr), server.stderr);

    await session.close();
    await client.disconnect();
    server.child.kill("SIGTERM");
    const code = await h.waitForExit(server.child, 12000);
    check("the server ends cleanly", code === 0, code);
    again.kill("SIGTERM");
    h.finish();
}

h.run(main);
