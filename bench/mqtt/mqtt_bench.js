// MQTT benchmark: 100 simulated devices x 1,000 tags, every tag a counter that changes every
// second, Tarnvale publishing Sparkplug B to a local Mosquitto. Three runs side by side:
//   opcua       every tag monitored by a node-opcua client at 1,000 ms, no MQTT
//   opcua+mqtt  the same client, and every tag published (MqttUpdateRate 1000)
//   mqtt        publishing only
// Each prints what a subscriber receives (messages and metrics per second), the server's CPU
// per second (user + system) and its resident and peak memory, and the broker's CPU.
//   NODE_PATH=node_modules node bench/mqtt/mqtt_bench.js build/apps/Tarnvale build/tools/modbus-sim \
//       [devices=100] [tags-per-device=1000] [seconds=20]
"use strict";

const fs = require("fs");
const path = require("path");
const p = require(path.join(__dirname, "..", "scale", "plant.js"));
const b = require(path.join(__dirname, "..", "..", "tests", "e2e", "mqtt", "broker.js"));
const { h } = p;

const DEVICES = Number(process.argv[4] || 100);
const TAGS = Number(process.argv[5] || 1000);
const SECONDS = Number(process.argv[6] || 20);
const WARM_UP_MS = 15000;

// One simulator process, a port and unit per device, every register of the tags counting.
async function startCounters() {
    const log = path.join(h.scratch, `devices-${Date.now()}.log`);
    const args = ["--tcp", "127.0.0.1:" + Array(DEVICES).fill("0").join(","), "--log", "/dev/null"];
    for (let d = 1; d <= DEVICES; d++) args.push("--unit", String(d));
    for (let t = 0; t < TAGS; t++) args.push("--counter", `hr:${t}`);
    const [child, where] = await h.startListening(h.simPath, args, 30000);
    return { child, ports: where.split(":")[1].split(",").map(Number), log };
}

function config(ports) {
    let tags = "";
    for (let t = 0; t < TAGS; t++) {
        if (t % 100 === 0) tags += `<Area${t / 100}>`;
        tags += h.tag(`Tag${t}`, "HREGISTER VT_I2", t);
        if (t % 100 === 99 || t + 1 === TAGS) tags += `</Area${Math.floor(t / 100)}>`;
    }
    let devices = "";
    ports.forEach((port, d) => {
        devices += `\t\t<PLC name="PLC${d}" address = "127.0.0.1" port="${port}" id="${d + 1}" ` +
            `timeout="1000">\r\n\t\t\t<tags>\r\n${tags}\t\t\t</tags>\r\n\t\t</PLC>\r\n`;
    });
    return h.writeConfig(devices);
}

async function startTarnvale(configFile, registryLines) {
    const registry = path.join(h.scratch, `registry-${Date.now()}.ini`);
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=${configFile}\n` +
        `OpcUaPort=0\nPollingMode=perConnection\n${registryLines}`);
    const env = { ...process.env, VORN_REGISTRY: registry, VORN_HEADLESS: "1" };
    const [child, where] = await h.startListening(h.hostPath, [], 60000, env);
    return { child, url: `opc.tcp://127.0.0.1:${Number(where.split(":").pop())}` };
}

async function measure(label, plant, configFile, broker, { opcua, mqtt }) {
    const registry = mqtt ? `MqttBroker=mqtt://127.0.0.1:${broker.port}\nMqttGroupId=Bench\n` +
        "MqttEdgeNodeId=gw\nMqttUpdateRate=1000\nMqttQos=1\n" : "";
    const server = await startTarnvale(configFile, registry);
    const pid = server.child.pid;
    const monitor = opcua ? await p.monitorAll(server.url, p.nodeIds(DEVICES, TAGS).map((id) =>
        id), 1000) : null;
    const received = { messages: 0, metrics: 0 };
    const sub = await b.subscribe(broker.port, ["spBv1.0/Bench/DDATA/#"]);
    sub.client.removeAllListeners("message");
    sub.client.on("message", (topic, payload) => {
        received.messages++;
        received.metrics += b.sparkplug.decodePayload(payload).metrics.length;
    });
    await h.sleep(WARM_UP_MS);
    received.messages = received.metrics = 0;
    const cpuBefore = p.cpuSeconds(pid);
    const brokerBefore = p.cpuSeconds(broker.child.pid);
    const from = Date.now();
    await h.sleep(SECONDS * 1000);
    const seconds = (Date.now() - from) / 1000;
    const result = {
        messages: received.messages / seconds,
        metrics: received.metrics / seconds,
        cpu: (p.cpuSeconds(pid) - cpuBefore) / seconds,
        brokerCpu: (p.cpuSeconds(broker.child.pid) - brokerBefore) / seconds,
        memory: p.memoryMb(pid),
        notifications: monitor ? monitor.withValue.size : 0,
    };
    sub.client.end(true);
    if (monitor) {
        await monitor.session.close();
        await monitor.client.disconnect();
    }
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 20000);
    console.log(`${label.padEnd(11)} | ${result.messages.toFixed(0).padStart(6)} messages/s | ` +
        `${result.metrics.toFixed(0).padStart(7)} metrics/s | server CPU ${(result.cpu * 100).toFixed(1).padStart(5)} % ` +
        `of a core | RSS ${result.memory.rss.toFixed(0)} MB, peak ${result.memory.peak.toFixed(0)} MB | ` +
        `broker CPU ${(result.brokerCpu * 100).toFixed(1)} %` +
        (monitor ? ` | OPC UA tags with a value ${result.notifications}` : ""));
    return result;
}

async function main() {
    const plant = await startCounters();
    const configFile = config(plant.ports);
    const broker = await b.startBroker();
    console.log(`${DEVICES} devices x ${TAGS} tags, every tag changing every second; ` +
        `${SECONDS} s measured after ${WARM_UP_MS / 1000} s; load ${fs.readFileSync("/proc/loadavg", "utf8").trim()}`);
    await measure("opcua", plant, configFile, broker, { opcua: true, mqtt: false });
    await measure("opcua+mqtt", plant, configFile, broker, { opcua: true, mqtt: true });
    await measure("mqtt", plant, configFile, broker, { opcua: false, mqtt: true });
    await broker.stop();
    h.finishQuietly(0);
}

main().catch((e) => {
    console.error(e);
    h.finishQuietly(1);
});
