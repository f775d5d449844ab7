// What the MQTT end-to-end scripts share: a real Mosquitto broker on a loopback port (plain or
// TLS with a test CA, anonymous or with a password file), an MQTT.js subscriber that decodes
// Sparkplug B with the npm sparkplug-payload package, and Tarnvale started with MQTT settings in
// its own registry file, its stderr kept for the status lines.
"use strict";

const { spawn, execFileSync } = require("child_process");
const fs = require("fs");
const net = require("net");
const os = require("os");
const path = require("path");
const mqtt = require("mqtt");
const sparkplug = require("sparkplug-payload").get("spBv1.0");
const h = require("../ua/harness");

const MOSQUITTO = ["/usr/sbin/mosquitto", "/usr/bin/mosquitto"].find((p) => fs.existsSync(p));

function portOpen(port) {
    return new Promise((resolve) => {
        const socket = net.connect(port, "127.0.0.1");
        socket.on("connect", () => { socket.destroy(); resolve(true); });
        socket.on("error", () => resolve(false));
    });
}

// A broker on `port` (a free one when not given); `options.passwords` {user: password},
// `options.tls` {ca, cert, key} file paths. stop() and start() again keep the port.
async function startBroker(options = {}) {
    const port = options.port || (await h.freePort());
    const dir = fs.mkdtempSync(path.join(h.scratch, "broker-"));
    const log = path.join(dir, "mosquitto.log");
    // With persistence a restarted broker still has its subscribers' sessions and their messages.
    const persistence = options.persistence ? `persistence true\npersistence_location ${dir}/\n` : "persistence false\n";
    // Started as root the broker would become the user "mosquitto", who cannot read the scratch
    // folder: it stays whoever runs the test.
    let conf = `user ${os.userInfo().username}\nlistener ${port} 127.0.0.1\n${persistence}log_dest file ${log}\n` +
        "log_type error\nlog_type warning\nlog_type notice\nlog_type information\nlog_timestamp_format %s\n" +
        // A subscriber's session keeps everything that comes while it is away (a historian would).
        "max_queued_messages 0\n";
    const passwordFile = path.join(dir, "passwords");
    if (options.passwords) {
        const file = passwordFile;
        fs.writeFileSync(file, "");
        for (const [user, password] of Object.entries(options.passwords))
            execFileSync("mosquitto_passwd", ["-b", file, user, password]);
        fs.chmodSync(file, 0o600);
        conf += `allow_anonymous false\npassword_file ${file}\n`;
    } else {
        conf += "allow_anonymous true\n";
    }
    if (options.tls)
        conf += `cafile ${options.tls.ca}\ncertfile ${options.tls.cert}\nkeyfile ${options.tls.key}\n` +
            "tls_version tlsv1.2\n";
    // A configuration given whole (docs/mqtt.md's) keeps only the user and log lines above.
    if (options.conf)
        conf = `user ${os.userInfo().username}\nlog_dest file ${log}\nlog_type all\n` + options.conf(port, dir);
    const confFile = path.join(dir, "mosquitto.conf");
    fs.writeFileSync(confFile, conf);
    const broker = { port, log, dir, passwordFile, child: null };
    broker.start = async () => {
        const child = spawn(MOSQUITTO, ["-c", confFile], { stdio: ["ignore", "ignore", "pipe"] });
        let err = "";
        child.stderr.on("data", (d) => { err += d; });
        h.children.push(child);
        broker.child = child;
        if (!(await h.eventually(() => portOpen(port), 10000, 50)))
            throw new Error(`mosquitto did not listen on ${port}: ${err}`);
    };
    broker.stop = async () => {
        if (!broker.child) return;
        broker.child.kill("SIGTERM");
        await h.waitForExit(broker.child, 10000);
        broker.child = null;
    };
    broker.logText = () => (fs.existsSync(log) ? fs.readFileSync(log, "utf8") : "");
    await broker.start();
    return broker;
}

// A test CA and a broker certificate for 127.0.0.1 / localhost signed by it (openssl).
function makeCertificates() {
    const dir = fs.mkdtempSync(path.join(h.scratch, "tls-"));
    const f = (name) => path.join(dir, name);
    const run = (...args) => execFileSync("openssl", args, { stdio: "ignore" });
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Vorn test CA",
        "-keyout", f("ca.key"), "-out", f("ca.crt"));
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", f("broker.key"),
        "-out", f("broker.csr"));
    fs.writeFileSync(f("ext.cnf"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    run("x509", "-req", "-in", f("broker.csr"), "-CA", f("ca.crt"), "-CAkey", f("ca.key"),
        "-CAcreateserial", "-days", "2", "-extfile", f("ext.cnf"), "-out", f("broker.crt"));
    return { ca: f("ca.crt"), cert: f("broker.crt"), key: f("broker.key"), dir };
}

// An MQTT.js client subscribed to `topics`; every message kept as {topic, type, payload, at}
// with Sparkplug payloads decoded (type: NBIRTH, DDATA, ... or "other").
async function subscribe(port, topics, options = {}) {
    const client = mqtt.connect(`${options.tls ? "mqtts" : "mqtt"}://127.0.0.1:${port}`,
        { reconnectPeriod: 200, connectTimeout: 5000, ...options.connect });
    const messages = [];
    client.on("message", (topic, payload) => {
        const parts = topic.split("/");
        const type = parts[0] === "spBv1.0" ? parts[2] : "other";
        let decoded = payload;
        if (type !== "other") decoded = sparkplug.decodePayload(payload);
        else {
            try { decoded = JSON.parse(payload.toString()); } catch { decoded = payload.toString(); }
        }
        messages.push({ topic, type, device: parts[4], payload: decoded, at: Date.now() });
    });
    await new Promise((resolve, reject) => {
        client.once("connect", resolve);
        client.once("error", reject);
    });
    await client.subscribeAsync(topics, { qos: 1 });
    return { client, messages, of: (type, device) => messages.filter((m) => m.type === type &&
        (device === undefined || m.device === device)) };
}

// What an OPC UA client saw of a tag ([time, value] in order) that MQTT did not carry: MQTT
// holds each change once with the time of the poll that first saw it, while OPC UA reports the
// time of the latest poll, so each value the client saw must come, in the same order, in the
// MQTT series ([{time, value}]) no later than the client's time.
function notCarried(mqttSeries, uaSeries) {
    const missing = [];
    let at = 0;
    for (const [time, value] of uaSeries) {
        let found = -1;
        for (let i = at; i < mqttSeries.length && mqttSeries[i].time <= time; i++)
            if (mqttSeries[i].value === value) found = i;
        if (found < 0) missing.push([time, value]);
        else at = found;
    }
    return missing;
}

// Ends a script: the server stopped (SIGTERM, as a service manager would), the subscriber and
// the broker closed, the tally printed.
async function finish({ server, sub, broker }) {
    if (server && server.child.exitCode === null && server.child.signalCode === null) {
        server.child.kill("SIGTERM");
        await h.waitForExit(server.child, 15000);
    }
    if (sub) sub.client.end(true);
    if (broker) await broker.stop();
    h.finish();
}

// Runs a script's main(); an exception counts as a failure.
// Metrics of a Sparkplug payload by name (births) or alias (data).
const byName = (payload) => Object.fromEntries(payload.metrics.map((m) => [m.name, m]));
const num = (v) => (v && typeof v === "object" && "low" in v ? Number(v.toString()) : v);

module.exports = { startBroker, makeCertificates, subscribe, startTarnvale: h.startTarnvale, byName, num, notCarried, finish, run: h.run, mqtt,
    sparkplug, h };
