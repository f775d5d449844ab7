// Clients that have no account and try to take the server's time anyway, and what the other
// clients see meanwhile: wrong logins kept queued, OpenSecureChannel chunks full of RSA blocks,
// fresh certificates by the hundred. Each attacker connects from a loopback address of its
// own (127.0.0.2, ...), as hosts other than the honest clients' would.
"use strict";

const { spawn } = require("child_process");
const crypto = require("crypto");
const path = require("path");
const opcua = require("node-opcua-client");
const raw = require("./rawua");

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// A NodeId in the binary encoding at `at`: its bytes and where the next field starts.
function nodeIdAt(buf, at) {
    const kind = buf[at] & 0x3f;
    const sizes = { 0: 2, 1: 4, 2: 7, 4: 19 };
    let end;
    if (kind in sizes) end = at + sizes[kind];
    else end = at + 3 + 4 + Math.max(buf.readInt32LE(at + 3), 0); // string or opaque
    return { bytes: buf.subarray(at, end), next: end };
}

// The authentication token and server nonce of a CreateSession response chunk (policy None),
// or null.
function sessionReply(chunk) {
    const at = 8 + 8 + 8 + 4; // header, channel and token, sequence header, response type
    const result = chunk.readUInt32LE(at + 8 + 4);
    if (result !== 0) return null;
    const sessionId = nodeIdAt(chunk, at + 24);
    const token = nodeIdAt(chunk, sessionId.next);
    const nonceAt = token.next + 8; // after the revised timeout
    const nonce = chunk.subarray(nonceAt + 4, nonceAt + 4 + chunk.readInt32LE(nonceAt));
    return { token: token.bytes, nonce };
}

// A password as clients send it: its length, the password and the server's nonce, encrypted
// with the server's key (RSA-OAEP, SHA-1) block by block.
function encryptedPassword(password, nonce, serverCertificate) {
    const key = new crypto.X509Certificate(serverCertificate).publicKey;
    const plainBlock = key.asymmetricKeyDetails.modulusLength / 8 - 42;
    const plain = Buffer.concat([raw.u32(Buffer.byteLength(password) + nonce.length), Buffer.from(password), nonce]);
    const out = [];
    for (let at = 0; at < plain.length; at += plainBlock)
        out.push(crypto.publicEncrypt({ key, padding: crypto.constants.RSA_PKCS1_OAEP_PADDING, oaepHash: "sha1" },
            plain.subarray(at, at + plainBlock)));
    return Buffer.concat(out);
}

const requestIdOf = (chunk) => chunk.readUInt32LE(8 + 8 + 4);
const responseType = (chunk) => chunk.readUInt16LE(8 + 8 + 8 + 2);

// One connection that keeps `outstanding` ActivateSessions with a wrong password queued on
// sessions it creates, for as long as it runs. The password decrypts to nothing, or with
// `serverCertificate` it is a wrong password of a real account, properly encrypted, so that
// the server spends its slow hash on it. Counts what came back.
function loginFlood(port, localAddress, outstanding = 16, serverCertificate = null) {
    // Refused late: BadUserAccessDenied; at once: BadTooManyOperations; other: a session gone.
    const stats = { sent: 0, answered: 0, accepted: 0, refusedLate: 0, refusedAtOnce: 0, other: 0, sessions: 0 };
    let running = true;
    const run = (async () => {
        while (running) {
            let c;
            try {
                c = await raw.openNoneChannel(port, localAddress);
            } catch (e) {
                await sleep(50);
                continue;
            }
            const tokens = [];
            const pending = new Map();
            const sessionOf = new Map(); // request id of an activation -> its session
            let seen = 0;
            const handle = () => {
                for (; seen < c.chunks.length; seen++) {
                    const chunk = c.chunks[seen].bytes;
                    if (c.chunks[seen].type !== "MSG") continue;
                    const id = requestIdOf(chunk);
                    const what = pending.get(id);
                    pending.delete(id);
                    const session = sessionOf.get(id);
                    sessionOf.delete(id);
                    if (what === "create") {
                        const reply = sessionReply(chunk);
                        if (reply) {
                            tokens.push(reply);
                            stats.sessions++;
                        }
                    } else if (what === "activate") {
                        stats.answered++;
                        const status = chunk.readUInt32LE(8 + 8 + 8 + 4 + 8 + 4);
                        if (status === 0x80100000) stats.refusedAtOnce++;
                        else if (status === 0x801f0000) stats.refusedLate++;
                        else if (status === 0) stats.accepted++;
                        else {
                            // The session has gone (never activated in time): make another.
                            stats.other++;
                            const at = tokens.indexOf(session);
                            if (at >= 0) tokens.splice(at, 1);
                        }
                    }
                }
            };
            let next = 0;
            while (running && !c.closed) {
                handle();
                if (tokens.length < outstanding && [...pending.values()].filter((v) => v === "create").length < 2)
                    pending.set(raw.send(c, 461, raw.createSession()), "create");
                const activating = [...pending.values()].filter((v) => v === "activate").length;
                for (let i = activating; i < outstanding && tokens.length > 0; i++) {
                    const session = tokens[next++ % tokens.length];
                    const password = serverCertificate
                        ? encryptedPassword("wrong-guess", session.nonce, serverCertificate) : crypto.randomBytes(256);
                    const id = raw.send(c, 467, raw.activateWithUser(session.token, "reader", password));
                    pending.set(id, "activate");
                    sessionOf.set(id, session);
                    stats.sent++;
                }
                await raw.waitFor(c, () => c.chunks.length > seen, 200);
            }
            c.socket.destroy();
        }
    })();
    return { stats, stop: async () => { running = false; await run; } };
}

// One connection after another, each sending one OpenSecureChannel of `blocks` RSA blocks of
// noise with a real certificate, until stopped.
function openFlood(port, localAddress, senderCertificate, serverCertificate, blocks) {
    const stats = { sent: 0, refused: 0 };
    let running = true;
    const chunk = raw.openNoise({ senderCertificate, serverCertificate, blocks });
    const run = (async () => {
        while (running) {
            let c;
            try {
                c = await raw.connect(port, localAddress);
            } catch (e) {
                await sleep(50);
                continue;
            }
            c.socket.write(Buffer.concat([raw.hello(), chunk]));
            stats.sent++;
            await raw.waitFor(c, (s) => s.closed || raw.errorStatus(s) !== null, 5000);
            if (raw.errorStatus(c) !== null) stats.refused++;
            c.socket.destroy();
        }
    })();
    return { stats, stop: async () => { running = false; await run; } };
}

// The element of a DER structure at `at`: tag, where its value starts and where it ends.
function der(buf, at) {
    let length = buf[at + 1];
    let header = 2;
    if (length & 0x80) {
        const n = length & 0x7f;
        length = 0;
        for (let i = 0; i < n; i++) length = length * 256 + buf[at + 2 + i];
        header += n;
    }
    return { tag: buf[at], start: at, value: at + header, end: at + header + length };
}

// `count` certificates like `base` (DER, signed by `key`) with serial numbers of their own,
// each signed again: correctly signed, and each with a thumbprint never seen before.
function freshCertificates(base, key, count) {
    const certificate = der(base, 0);
    const tbs = der(base, certificate.value);
    let at = tbs.value;
    const first = der(base, at);
    if (first.tag === 0xa0) at = first.end; // the version
    const serial = der(base, at);
    const algorithm = der(base, tbs.end);
    const signature = der(base, algorithm.end);
    const out = [];
    for (let i = 0; i < count; i++) {
        const copy = Buffer.from(base);
        crypto.randomBytes(serial.end - serial.value).copy(copy, serial.value);
        copy[serial.value] = (copy[serial.value] & 0x7f) | 0x01;
        const signed = crypto.sign("sha256", copy.subarray(tbs.start, tbs.end), key);
        signed.copy(copy, signature.value + 1);
        out.push(copy);
    }
    return out;
}

// Starts the attackers of `spec` (see attacker_process.js) in a process of their own; stop()
// ends it and gives what they sent and got back.
function attackFromProcess(spec) {
    const child = spawn(process.execPath, [path.join(__dirname, "attacker_process.js"), JSON.stringify(spec)],
        { stdio: ["ignore", "pipe", "inherit"] });
    let out = "";
    child.stdout.on("data", (d) => (out += d));
    process.on("exit", () => child.kill("SIGKILL"));
    return {
        stop: () => new Promise((resolve) => {
            // The figures are the last line; libraries may have printed remarks before. An
            // attacker process that does not end in time is killed and has no figures.
            const killer = setTimeout(() => child.kill("SIGKILL"), 15000);
            child.on("exit", () => {
                clearTimeout(killer);
                const last = out.trim().split("\n").filter((l) => l.startsWith("{")).pop();
                resolve(last ? JSON.parse(last) : {});
            });
            child.kill("SIGTERM");
        }),
    };
}

// Reads `nodeId` from the cache again and again for `ms`; the latencies in milliseconds.
async function readLatencies(session, nodeId, ms) {
    const latencies = [];
    const failures = [];
    const end = Date.now() + ms;
    while (Date.now() < end) {
        const started = process.hrtime.bigint();
        try {
            const dv = await session.read({ nodeId, attributeId: 13 }, 60000);
            if (dv.statusCode.value !== 0) failures.push(dv.statusCode.name);
        } catch (e) {
            failures.push(String(e.message));
        }
        latencies.push(Number(process.hrtime.bigint() - started) / 1e6);
        await sleep(20);
    }
    return { latencies, failures };
}

// How long a new client takes from connecting to an activated session as `identity`.
async function timeToSession(url, identity) {
    const started = Date.now();
    try {
        const client = opcua.OPCUAClient.create({ endpointMustExist: false, connectionStrategy: { maxRetry: 0 },
            securityMode: opcua.MessageSecurityMode.None, securityPolicy: opcua.SecurityPolicy.None });
        await client.connect(url);
        const session = await client.createSession(identity);
        const ms = Date.now() - started;
        await session.close();
        await client.disconnect();
        return { ms };
    } catch (e) {
        return { ms: Infinity, error: String(e.message).split("\n")[0] };
    }
}

function summary(latencies) {
    const sorted = [...latencies].sort((a, b) => a - b);
    const median = sorted.length ? sorted[Math.floor(sorted.length / 2)] : Infinity;
    const slowest = sorted.length ? sorted[sorted.length - 1] : Infinity;
    return { count: sorted.length, median: Math.round(median * 10) / 10, slowest: Math.round(slowest * 10) / 10 };
}

module.exports = { loginFlood, openFlood, attackFromProcess, freshCertificates, readLatencies, timeToSession,
    summary, sleep };
