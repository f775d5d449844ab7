// Sparkplug B end to end: Tarnvale with two devices publishes to a real Mosquitto broker; an
// MQTT.js subscriber decodes with the npm sparkplug-payload package. NBIRTH and a DBIRTH per
// device carry every tag; DDATA values and timestamps equal what an OPC UA client sees of the
// same tags; a device whose simulator stops gets its DDEATH and, once it is back, a new DBIRTH;
// SIGKILL of the server makes the broker publish the NDEATH will with the birth's bdSeq.
"use strict";

const b = require("./broker");
const { h } = b;
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn } = opcua;

// Every kind of tag the configuration loads, over two devices and a branch.
const P1_TAGS = [
    ["Ramp", "HREGISTER VT_I2", "0"],
    ["Speed", "HREGISTER VT_R4", "10"],
    ["Count", "HREGISTER VT_I4", "12"],
    ["Word", "HREGISTER VT_UI2", "14"],
    ["Big", "HREGISTER VT_UI4", "16"],
    ["Name", "HREGISTER VT_BSTR", "20", "<elements>6</elements>"],
    ["Run", "COIL VT_BOOL", "3"],
];
const P2_TAGS = [
    ["Level", "IREGISTER VT_I2", "5"],
    ["Alarm", "INPUTSTATUS VT_BOOL", "2"],
];
const EXPECTED_TYPES = { Ramp: "Int16", "Pumps/Speed": "Float", "Pumps/Count": "Int32", "Pumps/Word": "UInt16",
    "Pumps/Big": "UInt32", "Pumps/Name": "String", Run: "Boolean", Level: "Int16", Alarm: "Boolean" };

function tags(list) {
    return list.map(([name, type, address, more]) => h.tag(name, type, address,
        type.startsWith("IREGISTER") || type.startsWith("INPUT") ? "READ" : "READWRITE", more || "")).join("");
}

// P1 keeps Ramp at its top level and the rest in the branch Pumps.
function p1Content() {
    return tags(P1_TAGS.slice(0, 1)) + "<Pumps>\r\n" + tags(P1_TAGS.slice(1, 6)) + "</Pumps>\r\n" +
        tags(P1_TAGS.slice(6));
}

async function main() {
    h.limitRuntime(170000);
    const broker = await b.startBroker();
    const sub = await b.subscribe(broker.port, ["spBv1.0/#"]);
    const sim1 = await h.startSimulator(h.simPath, "P1", ["--ramp", "hr:0", "--set", "hr:10..11=0x4148",
        "--set", "hr:12..13=0x0001", "--set", "hr:14=65000", "--set", "hr:16..17=0xFFFF", "--set",
        "hr:20=\"PUMP-7\"", "--set", "coil:3=1"]);
    const p2Port = await h.freePort();
    const p2Args = ["--set", "ir:5=-12", "--set", "di:2=1"];
    let sim2 = await h.startSimulator(h.simPath, "P2", p2Args.concat(["--tcp", `127.0.0.1:${p2Port}`]));
    // P3 never answers: nothing listens on its port.
    const config = h.writeConfig(h.device("P1", sim1.port, p1Content(), 500) +
        h.device("P2", p2Port, tags(P2_TAGS), 500) +
        h.device("P3", await h.freePort(), h.tag("Dead", "HREGISTER VT_I2", "0"), 500));
    const server = await b.startTarnvale(config, `MqttBroker=mqtt://127.0.0.1:${broker.port}\n` +
        "MqttGroupId=Plant\nMqttEdgeNodeId=gw1\nMqttUpdateRate=100\n");

    check("the server says it is connected to the broker",
        await h.eventually(() => /MQTT: connected to mqtt:\/\/127\.0\.0\.1/.test(server.stderr), 10000), server.stderr);
    check("NBIRTH and a DBIRTH per device arrive", await h.eventually(() =>
        sub.of("NBIRTH").length === 1 && sub.of("DBIRTH", "P1").length === 1 && sub.of("DBIRTH", "P2").length === 1, 10000),
    sub.messages.map((m) => m.topic));
    const nbirth = sub.of("NBIRTH")[0];
    check("NBIRTH is on the node's topic", nbirth.topic === "spBv1.0/Plant/NBIRTH/gw1", nbirth.topic);
    const node = b.byName(nbirth.payload);
    check("NBIRTH has bdSeq, Node Control/Rebirth and the server's metrics",
        "bdSeq" in node && node["Node Control/Rebirth"].value === false &&
        node["Server/State"].value === "running" && b.num(node["Server/Configuration Warnings"].value) === 0,
        Object.values(node).map((m) => [m.name, m.type, m.value]));
    check("NBIRTH has seq 0", b.num(nbirth.payload.seq) === 0, nbirth.payload.seq);

    check("a device that never answers is born and then declared dead",
        await h.eventually(() => sub.of("DBIRTH", "P3").length === 1 && sub.of("DDEATH", "P3").length === 1, 10000),
        sub.messages.map((m) => m.topic));
    const births = { P1: b.byName(sub.of("DBIRTH", "P1")[0].payload), P2: b.byName(sub.of("DBIRTH", "P2")[0].payload) };
    const metricNames = [...Object.keys(births.P1), ...Object.keys(births.P2)].sort();
    check("the DBIRTHs name every tag by its branch path",
        metricNames.join() === Object.keys(EXPECTED_TYPES).sort().join(), metricNames);
    const all = { ...births.P1, ...births.P2 };
    check("each metric has its tag's datatype",
        Object.entries(EXPECTED_TYPES).every(([name, type]) => all[name] && all[name].type === type),
        Object.values(all).map((m) => [m.name, m.type]));
    const aliases = Object.values(all).map((m) => b.num(m.alias));
    check("aliases are unique across the node", new Set(aliases).size === aliases.length && !aliases.includes(0), aliases);
    check("each metric carries its quality",
        Object.values(all).every((m) => m.properties && m.properties.Quality && m.properties.Quality.type === "Int32"),
        all.Ramp.properties);

    // The latest state of every metric, from births and data, by alias.
    const nameOfAlias = {};
    for (const [device, metrics] of Object.entries(births))
        for (const m of Object.values(metrics)) nameOfAlias[b.num(m.alias)] = `${device}.${m.name.replaceAll("/", ".")}`;
    const latest = () => {
        const state = {};
        for (const msg of sub.messages) {
            if (msg.type !== "DBIRTH" && msg.type !== "DDATA") continue;
            for (const m of msg.payload.metrics) {
                const id = nameOfAlias[b.num(m.alias)];
                if (!id) continue; // P3's
                const s = state[id] || (state[id] = {});
                s.value = m.value;
                s.time = b.num(m.timestamp);
                if (m.properties && m.properties.Quality) s.quality = m.properties.Quality.value;
            }
        }
        return state;
    };
    check("every tag reaches quality good over MQTT", await h.eventually(() =>
        Object.values(latest()).length === 9 && Object.values(latest()).every((s) => s.quality === 192), 10000), latest());

    // OPC UA reads the same tags from the cache; the ramp is compared by its timestamps below.
    const { session } = await h.connect(server.url);
    const ids = Object.values(nameOfAlias).filter((id) => id !== "P1.Ramp");
    const reads = await session.read(ids.map((id) => ({ nodeId: `ns=1;s=${id}`, attributeId: AttributeIds.Value })), 10000);
    const state = latest();
    const same = (a, c) => (typeof a === "number" && typeof c === "number" ? Math.abs(a - c) < 1e-6 : a === c);
    const mismatches = ids.filter((id, i) => !same(reads[i].value.value, b.num(state[id].value)))
        .map((id, i) => [id, reads[ids.indexOf(id)].value.value, state[id].value]);
    check("every steady tag's MQTT value equals the OPC UA read", mismatches.length === 0, mismatches);

    const sub2 = await session.createSubscription2({ requestedPublishingInterval: 100, requestedLifetimeCount: 600,
        requestedMaxKeepAliveCount: 20, publishingEnabled: true });
    const uaRamp = [];
    const item = await sub2.monitor({ nodeId: "ns=1;s=P1.Ramp", attributeId: AttributeIds.Value },
        { samplingInterval: 100, queueSize: 100 }, TimestampsToReturn.Both);
    item.on("changed", (dv) => uaRamp.push([dv.sourceTimestamp.getTime(), dv.value.value]));
    await h.sleep(3000);
    const rampAlias = Number(Object.keys(nameOfAlias).find((a) => nameOfAlias[a] === "P1.Ramp"));
    const mqttRamp = [];
    for (const msg of sub.of("DDATA", "P1"))
        for (const m of msg.payload.metrics)
            if (b.num(m.alias) === rampAlias) mqttRamp.push({ time: b.num(m.timestamp), value: m.value });
    const compared = uaRamp.slice(1).filter(([t]) => t < Date.now() - 1000);
    const unequal = b.notCarried(mqttRamp, compared);
    check("the ramp's DDATA carries each value an OPC UA client saw, in order, polled no later",
        compared.length >= 10 && unequal.length === 0, { compared: compared.length, unequal: unequal.slice(0, 5) });
    const seqs = sub.messages.filter((m) => m.type !== "NDEATH").map((m) => b.num(m.payload.seq));
    check("seq counts up by one from the NBIRTH, wrapping at 256",
        seqs.every((s, i) => i === 0 || s === (seqs[i - 1] + 1) % 256), seqs.slice(0, 20));
    await session.close();

    // P2 stops answering: DDEATH; it comes back on the same port: DBIRTH again.
    sim2.child.kill("SIGTERM");
    check("a stopped device gets its DDEATH", await h.eventually(() => sub.of("DDEATH", "P2").length === 1, 15000),
        sub.messages.map((m) => m.topic).slice(-5));
    check("the other device stays alive", sub.of("DDEATH", "P1").length === 0);
    await h.sleep(1000);
    sim2 = await h.startSimulator(h.simPath, "P2b", p2Args.concat(["--tcp", `127.0.0.1:${p2Port}`]));
    check("the device gets a new DBIRTH when it answers again",
        await h.eventually(() => sub.of("DBIRTH", "P2").length === 2, 20000), sub.messages.map((m) => m.topic).slice(-5));
    const reborn = b.byName(sub.of("DBIRTH", "P2")[1].payload);
    check("the new DBIRTH carries the device's values", reborn.Level.value === -12 && reborn.Alarm.value === true, reborn);

    // SIGKILL: no goodbye; the broker sends the will.
    server.child.kill("SIGKILL");
    check("the broker publishes NDEATH once the server is killed",
        await h.eventually(() => sub.of("NDEATH").length === 1, 10000));
    const death = sub.of("NDEATH")[0];
    check("NDEATH carries the birth's bdSeq",
        death && b.num(b.byName(death.payload).bdSeq.value) === b.num(node.bdSeq.value),
        death && [b.byName(death.payload).bdSeq.value, node.bdSeq.value]);
    await b.finish({ sub, broker });
}

b.run(main);
