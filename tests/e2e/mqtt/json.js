// JSON payloads through the site broker configuration of docs/mqtt.md (taken from the page, with
// this test's port, files and test CA): the node's retained status, a device's values with
// quality and poll time, only the changed tags afterwards, a device's status when it fails, the
// will when the server is killed.
"use strict";

const fs = require("fs");
const path = require("path");
const b = require("./broker");
const { h } = b;
const { check } = h;

// The ```conf block of docs/mqtt.md, pointed at this test's port and files.
function siteConfiguration(certs) {
    const page = fs.readFileSync(path.join(__dirname, "..", "..", "..", "docs", "mqtt.md"), "utf8");
    const block = page.match(/```conf\n([\s\S]*?)```/)[1];
    return (port, dir) => block
        .replace(/^listener 8883$/m, `listener ${port} 127.0.0.1`)
        .replace(/^cafile .*$/m, `cafile ${certs.ca}`)
        .replace(/^certfile .*$/m, `certfile ${certs.cert}`)
        .replace(/^keyfile .*$/m, `keyfile ${certs.key}`)
        .replace(/^password_file .*$/m, `password_file ${dir}/passwords`)
        .replace(/^persistence_location .*$/m, `persistence_location ${dir}/`);
}

async function main() {
    h.limitRuntime(120000);
    const certs = b.makeCertificates();
    const broker = await b.startBroker({ tls: certs, passwords: { gateway: "g-Pass", probe: "p-Pass" },
        conf: siteConfiguration(certs) });
    const sub = await b.subscribe(broker.port, ["site/#"], { tls: true,
        connect: { ca: fs.readFileSync(certs.ca), username: "probe", password: "p-Pass" } });
    const sim = await h.startSimulator(h.simPath, "P1", ["--set", "hr:0=7", "--set", "hr:1=0x4148",
        "--counter", "hr:5", "--set", "coil:3=1"]);
    const config = h.writeConfig(h.device("P1", sim.port, "<Pumps>\r\n" + h.tag("Level", "HREGISTER VT_I2", "0") +
        h.tag("Speed", "HREGISTER VT_R4", "1") + "</Pumps>\r\n" + h.tag("Count", "HREGISTER VT_I2", "5") +
        h.tag("Run", "COIL VT_BOOL", "3"), 500));
    const passwordFile = path.join(h.scratch, "gw.password");
    fs.writeFileSync(passwordFile, "g-Pass\n", { mode: 0o600 });
    const server = await b.startTarnvale(config, `MqttBroker=mqtts://localhost:${broker.port}\n` +
        `MqttCaFile=${certs.ca}\nMqttUser=gateway\nMqttPasswordFile=${passwordFile}\n` +
        "MqttPayload=json\nMqttTopicPrefix=site/line3\nMqttUpdateRate=200\n");

    const on = (topic) => sub.messages.filter((m) => m.topic === topic);
    check("the node's status says online", await h.eventually(() => on("site/line3").some((m) => m.payload.online === true), 10000),
        sub.messages.map((m) => m.topic));
    check("every tag arrives good, named by its branch path", await h.eventually(() => {
        const all = {};
        for (const m of on("site/line3/P1")) Object.assign(all, m.payload.values);
        return ["Pumps.Level", "Pumps.Speed", "Count", "Run"].every((n) => all[n] && all[n].q === "good");
    }, 10000), on("site/line3/P1").map((m) => m.payload));
    const all = {};
    for (const m of on("site/line3/P1")) Object.assign(all, m.payload.values);
    check("values keep their JSON types", all["Pumps.Level"].v === 7 && Math.abs(all["Pumps.Speed"].v - 12.5) < 1e-6 &&
        all.Run.v === true, all);
    check("each value has the poll's time", Object.values(all).every((e) => Math.abs(e.t - Date.now()) < 60000), all);
    await h.sleep(2500);
    const later = on("site/line3/P1").slice(-2);
    check("afterwards only the changing tag is sent", later.length === 2 &&
        later.every((m) => Object.keys(m.payload.values).join() === "Count"), later.map((m) => m.payload));

    sim.child.kill("SIGTERM");
    check("a failed device's status goes offline", await h.eventually(() =>
        on("site/line3/P1/status").some((m) => m.payload.online === false), 15000));
    server.child.kill("SIGKILL");
    check("the will marks the node offline", await h.eventually(() =>
        on("site/line3").some((m) => m.payload.online === false), 10000));
    await b.finish({ sub, broker });
}

b.run(main);
