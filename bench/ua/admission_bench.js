// What clients without an account cost the others: another client's cache Read (median and
// slowest over 10 s) and a new client's time to a session, with the server quiet and under
// each attack (attackers on loopback addresses of their own):
//   - 4 connections keeping 16 wrong logins queued each (a password that decrypts to nothing);
//   - the same with a wrong password of a real account (each costs the slow hash);
//   - 50 connections from 50 addresses each sending one wrong login after another;
//   - 6 connections sending 64 KiB OpenSecureChannel chunks of RSA blocks.
//   node bench/ua/admission_bench.js PATH/TO/Tarnvale PATH/TO/modbus-sim
// The attackers run in a process of their own (tests/e2e/ua/attacker_process.js).
// Targets: median under 50 ms, slowest under 200 ms, a session within 1 s.
"use strict";

const fs = require("fs");
const path = require("path");
const { spawnSync } = require("child_process");
const e2e = path.join(__dirname, "..", "..", "tests", "e2e", "ua");
const h = require(path.join(e2e, "harness.js"));
const a = require(path.join(e2e, "attackers.js"));
const certs = require(path.join(e2e, "certificates.js"));
const { opcua } = h;

const kMeasureMs = 10000;
const user = { type: opcua.UserTokenType.UserName, userName: "reader", password: "reader-Secret-1" };

async function measure(name, reader, url, spec) {
    const attacker = spec ? a.attackFromProcess(spec) : { stop: async () => ({}) };
    await a.sleep(2000);
    const reads = await a.readLatencies(reader, "ns=1;s=P1.T", kMeasureMs);
    const { ms: session, error } = await a.timeToSession(url, user);
    const stats = await attacker.stop();
    const f = a.summary(reads.latencies);
    console.log(`${name.padEnd(58)} read median ${String(f.median).padStart(6)} ms, slowest ` +
        `${String(f.slowest).padStart(7)} ms (${f.count} reads${reads.failures.length ? `, ${reads.failures.length} failed` : ""}), ` +
        `new session ${error ? `failed (${error})` : `${session} ms`}; attackers ${JSON.stringify(stats)}`);
}

async function main() {
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)));
    const pki = path.join(h.scratch, "pki");
    const server = await h.startServer(h.hostPath, config, [], `PkiFolder=${pki}\nAllowAnonymous=0\n`);
    const registry = path.join(h.scratch, fs.readdirSync(h.scratch).find((f) => f.startsWith("registry-")));
    spawnSync(path.join(path.dirname(h.simPath), "vorn-users"), ["add", "reader", "--role", "read", "--server",
        "Tarnvale"], { input: `${user.password}\n`, env: { ...process.env, VORN_REGISTRY: registry } });
    const client = h.makeClient();
    await client.connect(server.url);
    const reader = await client.createSession(user);
    await reader.read({ nodeId: "ns=1;s=P1.T", attributeId: 13 }, 0);
    const serverCertificate = path.join(pki, "own/certs/Tarnvale.der");
    const noise = await certs.create(h.scratch, "noise", "urn:noise");
    const noiseDer = path.join(h.scratch, "noise.der");
    fs.writeFileSync(noiseDer, noise.der);
    const blocks = Math.floor((65536 - 4096) / 256);
    const addresses = (prefix, count) => Array.from({ length: count }, (_, i) => `${prefix}${i + 2}`);
    const port = server.port;

    await measure("quiet", reader, server.url, null);
    await measure("4 connections x 16 wrong logins (password decrypts to nothing)", reader, server.url,
        { kind: "login", port, addresses: addresses("127.0.0.", 4), outstanding: 16, serverCertificate: null });
    await measure("4 connections x 16 wrong logins (wrong password, real account)", reader, server.url,
        { kind: "login", port, addresses: addresses("127.0.0.", 4), outstanding: 16, serverCertificate });
    await measure("50 concurrent wrong logins (50 addresses, real account)", reader, server.url,
        { kind: "login", port, addresses: addresses("127.0.3.", 50), outstanding: 1, serverCertificate });
    await measure("6 connections of 64 KiB OpenSecureChannel chunks", reader, server.url,
        { kind: "open", port, addresses: addresses("127.0.0.", 6), certificate: noiseDer, serverCertificate, blocks });
    await reader.close();
    await client.disconnect();
    h.finishQuietly();
}

main().catch((e) => {
    console.error(e.stack);
    h.finishQuietly(1);
});
