// The plant of the scale benchmarks: devices of mixed tags on the ports of one simulator
// process, the Tarnvale server over it in a chosen polling mode, and what the server and the
// devices show: the simulator's request log, the server's CPU time and resident memory.
"use strict";

const fs = require("fs");
const path = require("path");
const h = require(path.join(__dirname, "..", "..", "tests", "e2e", "ua", "harness.js"));

// One tag of each kind in turn: registers of every width, floats, strings, bits, arrays,
// coils and discrete inputs, every second address.
const KINDS = [
    ["HREGISTER VT_I2", ""], ["HREGISTER VT_R4", ""], ["IREGISTER VT_UI2", ""], ["COIL", ""],
    ["INPUTSTATUS", ""], ["HREGISTER VT_I4 ARRAY", "<elements>4</elements>"],
    ["HREGISTER VT_BSTR", "<elements>4</elements>"], ["HREGISTER VT_BOOL", "<databit>3</databit>"],
];

function tagsOf(count) {
    let tags = "";
    for (let t = 0; t < count; t++) {
        if (t % 100 === 0) tags += `<Area${t / 100}>`;
        const [datatype, more] = KINDS[t % KINDS.length];
        tags += h.tag(`Tag${t}`, datatype, t * 2, "READWRITE", more);
        if (t % 100 === 99 || t + 1 === count) tags += `</Area${Math.floor(t / 100)}>`;
    }
    return tags;
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

function configFor(ports, tagsPerDevice, timeoutMs) {
    const tags = tagsOf(tagsPerDevice);
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

// Full-pass time per device from the request log: the time between two reads of the device's
// first poll block, over the requests logged between `from` and `to` (ms since the epoch).
function passTimes(log, from, to, units) {
    const byUnit = new Map();
    for (const line of fs.readFileSync(log, "utf8").split("\n")) {
        const m = line.match(/^(\S+) unit=(\d+) fc=(\d+) start=(\d+) count=(\d+)/);
        if (!m) continue;
        const time = Date.parse(m[1] + "Z");
        if (time < from || time > to) continue;
        const unit = Number(m[2]);
        if (!units.includes(unit) || m[3] > 4) continue;
        if (!byUnit.has(unit)) byUnit.set(unit, { key: `${m[3]}/${m[4]}/${m[5]}`, times: [] });
        const entry = byUnit.get(unit);
        if (`${m[3]}/${m[4]}/${m[5]}` === entry.key) entry.times.push(time);
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

module.exports = { h, startDevices, configFor, startTarnvale, cpuSeconds, memoryMb, passTimes,
                   monitorAll, nodeIds };
