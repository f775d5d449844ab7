// Scale benchmark: 100 simulated devices x 1,000 tags of mixed types, every tag monitored by a
// node-opcua client at 1,000 ms, in both polling modes; then the dead-device case: 10 devices,
// one silent with a 1,000 ms timeout, against the same 10 devices all answering.
//   NODE_PATH=node_modules node bench/scale/scale_bench.js build/apps/Tarnvale \
//       build/tools/modbus-sim [devices] [tags-per-device] [seconds] [interleaved|registerMap]
// Without a layout it measures the 100 devices in both layouts, registerMap first.
// Prints per run: full-pass time per device (median over devices of each device's median, the
// slowest device's median, the longest single pass), DataChangeNotifications per second, the
// server's CPU per second of polling, its resident and peak resident memory.
"use strict";

const p = require("./plant.js");
const { h } = p;

const DEVICES = Number(process.argv[4] || 100);
const TAGS = Number(process.argv[5] || 1000);
const SECONDS = Number(process.argv[6] || 20);
// Both layouts of plant.js unless one is named.
const LAYOUTS = process.argv[7] ? [process.argv[7]] : ["registerMap", "interleaved"];
// Long enough for the first values of every tag and two full passes in single mode.
const WARM_UP_MS = 15000;

async function measure({ devices, tags, layout, mode, silent = [], timeoutMs = 1000 }) {
    const plant = await p.startDevices(devices, silent);
    const config = p.configFor(plant.ports, tags, timeoutMs, layout);
    const server = await p.startTarnvale(config, mode);
    const pid = server.child.pid;
    const monitor = await p.monitorAll(server.url, p.nodeIds(devices, tags), 1000);
    await h.sleep(WARM_UP_MS);
    monitor.notifications = 0;
    const cpuBefore = p.cpuSeconds(pid);
    const from = Date.now();
    await h.sleep(SECONDS * 1000);
    const to = Date.now();
    const cpu = (p.cpuSeconds(pid) - cpuBefore) / ((to - from) / 1000);
    const notificationsPerSecond = monitor.notifications / ((to - from) / 1000);
    const memory = p.memoryMb(pid);
    const units = [];
    for (let d = 1; d <= devices; d++) if (!silent.includes(d)) units.push(d);
    const logged = p.requestsBetween(plant.log, from, to);
    const pass = p.passTimes(logged, units);
    const requestsPerSecond = p.requestsPerSecond(logged);
    await monitor.session.close();
    await monitor.client.disconnect();
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 15000);
    plant.child.kill("SIGTERM");
    await h.waitForExit(plant.child, 5000);
    return { pass, notificationsPerSecond, requestsPerSecond, cpu, memory };
}

// A device read only once while measuring has no pass time: its pass is longer than that.
const passText = (ms) => (Number.isFinite(ms) ? `${ms} ms` : `> ${SECONDS} s`).padStart(9);

function show(label, r) {
    const longest = r.pass.longest ? `${r.pass.longest} ms` : "-";
    console.log(`${label.padEnd(34)} pass median ${passText(r.pass.median)}, ` +
        `slowest device ${passText(r.pass.maxMedian)}, longest ${longest.padStart(9)} | ` +
        `${r.notificationsPerSecond.toFixed(0).padStart(7)} notifications/s | ` +
        `${r.requestsPerSecond.toFixed(0).padStart(6)} Modbus requests/s | ` +
        `CPU ${(r.cpu * 100).toFixed(1).padStart(5)} % of a core | ` +
        `RSS ${r.memory.rss.toFixed(0)} MB, peak ${r.memory.peak.toFixed(0)} MB`);
}

async function main() {
    for (const layout of LAYOUTS) {
        console.log(`${DEVICES} devices x ${TAGS} tags laid out ${layout}, all monitored at ` +
            `1,000 ms, ${SECONDS} s measured`);
        for (const mode of ["single", "perConnection"])
            show(`${mode}`, await measure({ devices: DEVICES, tags: TAGS, layout, mode }));
    }
    const layout = LAYOUTS[0];
    console.log(`dead device: 10 devices x 1,000 tags laid out ${layout}, device 10 silent, ` +
        "timeout 1,000 ms");
    for (const mode of ["single", "perConnection"]) {
        show(`${mode}, all answering`, await measure({ devices: 10, tags: 1000, layout, mode }));
        show(`${mode}, one silent (9 healthy)`,
            await measure({ devices: 10, tags: 1000, layout, mode, silent: [10] }));
    }
    h.finishQuietly();
}

main().catch((e) => {
    console.error(e);
    h.finishQuietly(1);
});
