// TLS and a password against a Mosquitto broker that requires both: the broker's certificate is
// signed by a test CA the server is given (MqttCaFile), the password is set with
// `vorn-users mqtt-password` into a file only its owner reads. A password file others may read is
// refused; a wrong password gives a clear status line and retries that back off, with the server
// alive and idle meanwhile.
"use strict";

const { execFileSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const b = require("./broker");
const { h } = b;
const { check } = h;

const usersPath = process.argv[4];

function setPassword(file, password) {
    const registry = path.join(h.scratch, `users-${Date.now()}.ini`);
    fs.writeFileSync(registry, `[SOFTWARE\\VornAutomation\\Tarnvale]\nMqttPasswordFile=${file}\n`);
    return execFileSync(usersPath, ["mqtt-password", "--server", "Tarnvale"],
        { input: password + "\n", env: { ...process.env, VORN_REGISTRY: registry } }).toString();
}

function cpuTicks(pid) {
    const fields = fs.readFileSync(`/proc/${pid}/stat`, "utf8").split(") ")[1].split(" ");
    return Number(fields[11]) + Number(fields[12]); // utime + stime
}

async function main() {
    h.limitRuntime(150000);
    const certs = b.makeCertificates();
    const broker = await b.startBroker({ tls: certs, passwords: { gateway: "s3cret-Gate", probe: "probe-Pass" } });
    const sub = await b.subscribe(broker.port, ["spBv1.0/#"], { tls: true,
        connect: { ca: fs.readFileSync(certs.ca), username: "probe", password: "probe-Pass" } });
    const sim = await h.startSimulator(h.simPath, "P1", ["--set", "hr:0=77"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("Level", "HREGISTER VT_I2", "0"), 500));
    const settings = (passwordFile) => `MqttBroker=mqtts://127.0.0.1:${broker.port}\nMqttCaFile=${certs.ca}\n` +
        `MqttUser=gateway\nMqttPasswordFile=${passwordFile}\nMqttGroupId=Plant\nMqttEdgeNodeId=gw1\n`;

    const good = path.join(h.scratch, "secrets", "good.password");
    const printed = setPassword(good, "s3cret-Gate");
    check("vorn-users writes the password file and names it", printed.trim() === good, printed);
    check("only its owner may read it", (fs.statSync(good).mode & 0o777) === 0o600,
        (fs.statSync(good).mode & 0o777).toString(8));
    check("the password is not in the registry", !fs.readFileSync(path.join(h.scratch,
        fs.readdirSync(h.scratch).find((f) => f.startsWith("users-"))), "utf8").includes("s3cret"));

    let server = await b.startTarnvale(config, settings(good));
    check("with the CA and the password the server connects over TLS",
        await h.eventually(() => /MQTT: connected to mqtts:\/\/127\.0\.0\.1:\d+ as Plant-gw1/.test(server.stderr), 15000),
        server.stderr);
    check("and its births arrive", await h.eventually(() => sub.of("NBIRTH").length === 1 && sub.of("DBIRTH").length === 1, 10000));
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 15000);
    check("a clean stop says NDEATH itself", await h.eventually(() => sub.of("NDEATH").length === 1, 5000));

    // A password file others may read is not used.
    const loose = path.join(h.scratch, "secrets", "loose.password");
    fs.writeFileSync(loose, "s3cret-Gate\n", { mode: 0o644 });
    fs.chmodSync(loose, 0o644);
    server = await b.startTarnvale(config, settings(loose));
    await h.sleep(1500);
    check("a password file others may read is refused with the reason, and nothing is published",
        /MqttUser "gateway" has no password: .*loose\.password may be read or changed by other users/.test(server.stderr) &&
        /nothing is published to MQTT/.test(server.stderr) && !/MQTT: connected/.test(server.stderr), server.stderr);
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 15000);

    // A wrong password: refused, said, retried later and later; the server keeps serving.
    const wrong = path.join(h.scratch, "secrets", "wrong.password");
    setPassword(wrong, "not-the-password");
    const attemptsBefore = (broker.logText().match(/New connection from/g) || []).length;
    server = await b.startTarnvale(config, settings(wrong));
    const startedAt = Date.now();
    const ticksAtStart = cpuTicks(server.child.pid);
    check("a wrong password gives a clear status line",
        await h.eventually(() => /MQTT: mqtts:\/\/127\.0\.0\.1:\d+: the broker refused the connection \((not authorised|bad user name or password), code \d\); next try in 1 s/.test(server.stderr), 10000),
        server.stderr);
    await h.sleep(16000 - (Date.now() - startedAt));
    const ticks = cpuTicks(server.child.pid) - ticksAtStart;
    const times = broker.logText().split("\n").filter((l) => /New connection from/.test(l)).slice(attemptsBefore)
        .map((l) => Number(l.split(":")[0]));
    const gaps = times.slice(1).map((t, i) => t - times[i]);
    console.log(`     ${times.length} attempts in 16 s, ${gaps.join(", ")} s apart; ${ticks} CPU ticks`);
    check("it retries, waiting longer each time (1, 2, 4, 8 s)", times.length >= 3 && times.length <= 6 &&
        gaps.every((g, i) => i === 0 || g >= gaps[i - 1]) && gaps[gaps.length - 1] >= 4, { times, gaps });
    check("no busy loop: the server used under 1 s of CPU in 16 s", ticks < 100, ticks);
    check("the server is still running", server.child.exitCode === null && server.child.signalCode === null);
    check("nothing was published with the wrong password", sub.of("NBIRTH").length === 1);
    await b.finish({ server, sub, broker });
}

b.run(main);
