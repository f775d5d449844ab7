// The plant of the scale benchmarks: devices of mixed tags on the ports of one simulator
// process, the Tarnvale server over it in a chosen polling mode, and what the server and the
// devices show: the simulator's request log, the server's CPU time and resident memory.
"use strict";

const fs = require("fs");
const path = require("path");
const h = require(path.join(__dirname, "..", "..", "tests", "e2e", "ua", "harness.js"));

// The tag layouts of a device: name, "datatype" and address of each tag, the Modbus table it
// is read from, the registers or bits it takes, and how its value is decoded (for the peer's
// flow). Both mix every width of register, floats, strings, bits in registers, coils and
// discrete inputs; they differ in how many poll blocks they need.
// - interleaved: one tag of each kind in turn at every second address, every eighth tag an
//   array of four VT_I4; each array has a poll block of its own, so 1,000 tags take about 160
//   blocks (16,100 Modbus requests per second for 100 devices at 1,000 ms).
// - registerMap: the kinds in ranges of their own, the way PLC register maps are usually laid
//   out, no arrays: 1,000 tags take 13 blocks.
const KINDS = {
    i2: { datatype: "HREGISTER VT_I2", table: "hr", units: 1, ua: "Int16" },
    r4: { datatype: "HREGISTER VT_R4", table: "hr", units: 2, ua: "Float" },
    i4: { datatype: "HREGISTER VT_I4", table: "hr", units: 2, ua: "Int32" },
    ui2: { datatype: "IREGISTER VT_UI2", table: "ir", units: 1, ua: "UInt16" },
    coil: { datatype: "COIL", table: "coil", units: 1, ua: "Boolean" },
    input: { datatype: "INPUTSTATUS", table: "di", units: 1, ua: "Boolean" },
    i4x4: { datatype: "HREGISTER VT_I4 ARRAY", table: "hr", units: 8, ua: "Int32Array[4]",
        more: "<elements>4</elements>" },
    str4: { datatype: "HREGISTER VT_BSTR", table: "hr", units: 2, ua: "String",
        more: "<elements>4</elements>" },
    bit3: { datatype: "HREGISTER VT_BOOL", table: "hr", units: 1, ua: "Boolean",
        more: "<databit>3</databit>" },
};

const INTERLEAVED = ["i2", "r4", "ui2", "coil", "input", "i4x4", "str4", "bit3"];

// [kind, share of the tags] in address order per table; the last kind takes what is left.
const REGISTER_MAP = [["i2", 0.4], ["r4", 0.2], ["i4", 0.1], ["str4", 0.05], ["bit3", 0.05],
    ["ui2", 0.1], ["coil", 0.05], ["input", 0.05]];

function layout(name, count) {
    const tags = [];
    if (name === "interleaved") {
        for (let t = 0; t < count; t++)
            tags.push({ kind: INTERLEAVED[t % INTERLEAVED.length], address: t * 2 });
    } else if (name === "registerMap") {
        const next = {}; // the next free address of each table
        REGISTER_MAP.forEach(([kind, share], k) => {
            const { table, units } = KINDS[kind];
            const last = k === REGISTER_MAP.length - 1;
            const left = count - tags.length;
            const n = last ? left : Math.min(Math.round(count * share), left);
            for (let i = 0; i < n; i++) {
                tags.push({ kind, address: next[table] || 0 });
                next[table] = (next[table] || 0) + units;
            }
        });
    } else {
        throw new Error(`unknown plant layout ${name}: interleaved or registerMap`);
    }
    return tags.map((t, i) => ({ name: `Tag${i}`, ...KINDS[t.kind], kind: t.kind,
        address: t.address }));
}

function tagsOf(layoutName, count) {
    let xml = "";
    layout(layoutName, count).forEach((tag, t) => {
        if (t % 100 === 0) xml += `<Area${t / 100}>`;
        xml += h.tag(tag.name, tag.datatype, tag.address, "READWRITE", tag.more || "");
        if (t % 100 === 99 || t + 1 === count) xml += `</Area${Math.floor(t / 100)}>`;
    });
    return xml;
}

function nodeIds(devices, tagsPerDevice) {
    const ids = [];
    for (let d = 0; d < devices; d++)
        for (let t = 0; t < tagsPerDevice; t++)
            ids.push(`ns=1;s=PLC${d}.Area${Math.floor(t / 100)}.Tag${t}`);
    return ids;
}

// Starts one simulator serving `devices` devices (device d: its own port, unit d + 1) with some
// registers counting, so that values change; `silent` lists units that never answer.
async function startDevices(devices, silent = []) {
    const log = path.join(h.scratch, `devices-${Date.now()}.log`);
    const args = ["--tcp", "127.0.0.1:" + Array(devices).fill("0").join(","), "--log", log];
    for (let d = 1; d <= devices; d++) args.push("--unit", String(d));
    for (const unit of silent) args.push("--silent", String(unit));
    for (let t = 0; t < 100; t += 8) args.push("--counter", `hr:${t * 2}`);
    const [child, where] = await h.startListening(h.simPath, args, 30000);
    const ports = where.split(":")[1].split(",").map(Number);
    return { child, ports, log };
}

function configFor(ports, tagsPerDevice, timeoutMs, layoutName = "interleaved") {
    const tags = tagsOf(layoutName, tagsPerDevice);
    let devices = "";
    ports.forEach((port, d) => {
        devices += `\t\t<PLC name="PLC${d}" address = "127.0.0.1" port="${port}" id="${d + 1}" ` +
            `timeout="${timeoutMs}">\r\n\t\t\t<tags>\r\n${tags}\t\t\t</tags>\r\n\t\t</PLC>\r\n`;
    });
    return h.writeConfig(devices);
}

async function startTarnvale(config, pollingMode) {
    const registry = path.join(h.scratch, `registry-${Date.now()}.ini`);
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=${config}\n` +
        `OpcUaPort=0\nPollingMode=${pollingMode}\n`);
    const env = { ...process.env, VORN_REGISTRY: registry, VORN_HEADLESS: "1" };
    const [child, where] = await h.startListening(h.hostPath, [], 60000, env);
    return { child, url: `opc.tcp://127.0.0.1:${Number(where.split(":").pop())}` };
}

// CPU seconds (user + system) a process has used so far.
function cpuSeconds(pid) {
    const fields = fs.readFileSync(`/proc/${pid}/stat`, "utf8").split(") ")[1].split(" ");
    return (Number(fields[11]) + Number(fields[12])) / 100; // utime, stime in ticks of 1/100 s
}

// Resident and peak resident memory of a process, in MB.
function memoryMb(pid) {
    const status = fs.readFileSync(`/proc/${pid}/status`, "utf8");
    const field = (name) => Number(status.match(new RegExp(`${name}:\\s+(\\d+)`))[1]) / 1024;
    return { rss: field("VmRSS"), peak: field("VmHWM") };
}

// The requests of the simulator's request log logged between `from` and `to` (ms since the
// epoch), with the seconds between them.
function requestsBetween(log, from, to) {
    const requests = [];
    for (const line of fs.readFileSync(log, "utf8").split("\n")) {
        const m = line.match(/^(\S+) unit=(\d+) fc=(\d+) start=(\d+) count=(\d+)/);
        if (!m) continue;
        const time = Date.parse(m[1] + "Z");
        if (time < from || time > to) continue;
        requests.push({ time, unit: Number(m[2]), fc: Number(m[3]),
            block: `${m[3]}/${m[4]}/${m[5]}` });
    }
    return { requests, seconds: (to - from) / 1000 };
}

// Modbus requests per second of requestsBetween()'s result.
function requestsPerSecond({ requests, seconds }) {
    return requests.length / seconds;
}

// Full-pass time per device of `units` from requestsBetween()'s result: the time between two
// reads of the device's first poll block.
function passTimes({ requests }, units) {
    const byUnit = new Map();
    for (const { time, unit, fc, block } of requests) {
        if (!units.includes(unit) || fc > 4) continue;
        if (!byUnit.has(unit)) byUnit.set(unit, { block, times: [] });
        const entry = byUnit.get(unit);
        if (block === entry.block) entry.times.push(time);
    }
    const medians = [];
    let longest = 0;
    for (const unit of units) {
        const entry = byUnit.get(unit);
        if (!entry || entry.times.length < 2) {
            medians.push(Infinity);
            continue;
        }
        const gaps = entry.times.slice(1).map((t, i) => t - entry.times[i]).sort((a, b) => a - b);
        medians.push(gaps[Math.floor(gaps.length / 2)]);
        longest = Math.max(longest, gaps[gaps.length - 1]);
    }
    medians.sort((a, b) => a - b);
    return { median: medians[Math.floor(medians.length / 2)], maxMedian: medians[medians.length - 1],
             longest };
}

// Monitors every node at `intervalMs` through one session, 10,000 items per subscription;
// returns a counter of the DataChangeNotifications received.
async function monitorAll(url, ids, intervalMs) {
    const { opcua } = h;
    const { client, session } = await h.connect(url, { requestedSessionTimeout: 600000 });
    const counter = { notifications: 0, withValue: new Set(), client, session };
    for (let i = 0; i < ids.length; i += 10000) {
        const sub = await session.createSubscription2({ requestedPublishingInterval: intervalMs,
            requestedLifetimeCount: 600, requestedMaxKeepAliveCount: 20,
            maxNotificationsPerPublish: 0, publishingEnabled: true });
        for (let j = i; j < Math.min(i + 10000, ids.length); j += 2000) {
            const group = await opcua.ClientMonitoredItemGroup.create(sub,
                ids.slice(j, Math.min(j + 2000, i + 10000, ids.length))
                    .map((nodeId) => ({ nodeId, attributeId: opcua.AttributeIds.Value })),
                { samplingInterval: intervalMs, queueSize: 1, discardOldest: true },
                opcua.TimestampsToReturn.Both);
            const offset = j;
            group.on("changed", (item, dataValue, index) => {
                counter.notifications++;
                if (dataValue.statusCode.isGood()) counter.withValue.add(offset + index);
            });
        }
    }
    return counter;
}

module.exports = { h, layout, startDevices, configFor, startTarnvale, cpuSeconds, memoryMb,
                   requestsBetween, requestsPerSecond, passTimes, monitorAll, nodeIds };
