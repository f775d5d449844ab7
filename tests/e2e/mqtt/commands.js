// Commands from MQTT. NCMD Node Control/Rebirth gives a new NBIRTH and DBIRTH. DCMD writes:
// refused while MqttWrites is off (the default), refused for a READ tag, done for a writable tag
// when allowed, answered by DDATA with the device's new value; every one logged with the topic it
// came on. The device's request log shows the one allowed write and no other.
"use strict";

const b = require("./broker");
const { h } = b;
const { check } = h;

async function main() {
    h.limitRuntime(120000);
    const broker = await b.startBroker();
    const sub = await b.subscribe(broker.port, ["spBv1.0/#"]);
    const sim = await h.startSimulator(h.simPath, "P1", ["--set", "hr:10=5", "--set", "hr:11=9"]);
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Setpoint", "HREGISTER VT_I2", "10") + h.tag("Limit", "HREGISTER VT_I2", "11", "READ"), 500));
    const base = `MqttBroker=mqtt://127.0.0.1:${broker.port}\nMqttGroupId=Plant\nMqttEdgeNodeId=gw1\nMqttUpdateRate=200\n`;
    const dcmd = (name, type, value) => sub.client.publishAsync("spBv1.0/Plant/DCMD/gw1/P1",
        b.sparkplug.encodePayload({ timestamp: Date.now(), metrics: [{ name, type, value }] }), { qos: 1 });
    const writes = () => sim.requests().filter((r) => r.fc === 6 || r.fc === 16);

    // Writes off (no MqttWrites).
    let server = await b.startTarnvale(config, base);
    await h.eventually(() => sub.of("DBIRTH").length === 1, 10000);
    await sub.client.publishAsync("spBv1.0/Plant/NCMD/gw1",
        b.sparkplug.encodePayload({ timestamp: Date.now(), metrics: [{ name: "Node Control/Rebirth", type: "Boolean", value: true }] }),
        { qos: 1 });
    check("NCMD Node Control/Rebirth gives a new NBIRTH and DBIRTH",
        await h.eventually(() => sub.of("NBIRTH").length === 2 && sub.of("DBIRTH").length === 2, 10000),
        sub.messages.map((m) => m.topic));
    check("the rebirth starts seq from 0 again", b.num(sub.of("NBIRTH")[1].payload.seq) === 0);
    await dcmd("Setpoint", "Int16", 42);
    check("with writes off a DCMD is refused and logged with its topic",
        await h.eventually(() => /MQTT: write P1\.Setpoint = 42 from spBv1\.0\/Plant\/DCMD\/gw1\/P1 refused: writes from MQTT are off \(MqttWrites\)/
            .test(server.stderr), 10000), server.stderr);
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 15000);

    // Writes on.
    server = await b.startTarnvale(config, base + "MqttWrites=1\n");
    await h.eventually(() => sub.of("DBIRTH").length === 3, 10000);
    const dataBefore = sub.of("DDATA").length;
    await dcmd("Limit", "Int16", 7);
    await dcmd("Setpoint", "Int16", 43);
    check("a DCMD to a READ tag is refused and logged",
        await h.eventually(() => /MQTT: write P1\.Limit = 7 from spBv1\.0\/Plant\/DCMD\/gw1\/P1 refused: the tag is read-only/
            .test(server.stderr), 10000), server.stderr);
    check("a DCMD to a writable tag is written and logged",
        await h.eventually(() => /MQTT: write P1\.Setpoint = 43 from spBv1\.0\/Plant\/DCMD\/gw1\/P1 done/.test(server.stderr), 10000),
        server.stderr);
    const answered = await h.eventually(() => sub.of("DDATA").slice(dataBefore).some((m) =>
        m.payload.metrics.some((x) => x.value === 43)), 10000);
    check("the write is answered by DDATA with the new value", answered);
    await h.sleep(500);
    const written = writes();
    check("the device saw exactly the one allowed write", written.length === 1 &&
        written[0].start === 10 && /002b$/.test(written[0].data), written);
    await b.finish({ server, sub, broker });
}

b.run(main);
