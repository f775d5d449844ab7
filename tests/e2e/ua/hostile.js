// Hostile clients against the real server while a well-behaved client keeps reading: cut
// chunks, a chunk trickled byte by byte, absurd lengths, sequence gaps, answers larger than a
// client takes, 1,000 half-open connections and a client that never reads its responses. The
// good client must be served throughout and the server's memory must stay bounded.
"use strict";

const fs = require("fs");
const net = require("net");
const h = require("./harness");
const rawua = require("./rawua");
const { opcua, check } = h;

function u32(v) {
    const b = Buffer.alloc(4);
    b.writeUInt32LE(v >>> 0);
    return b;
}
function str(s) {
    return s === null ? u32(0xffffffff) : Buffer.concat([u32(Buffer.byteLength(s)), Buffer.from(s)]);
}
function frame(type, body) {
    return Buffer.concat([Buffer.from(type), u32(8 + body.length), body]);
}
const hello = (maxMessage = 0) => frame("HELF", Buffer.concat([u32(0), u32(65536), u32(65536), u32(maxMessage), u32(0), str("opc.tcp://127.0.0.1")]));
const requestHeader = () => Buffer.concat([Buffer.from([0, 0]), Buffer.alloc(8), u32(1), u32(0), str(null), u32(0), Buffer.from([0, 0, 0])]);
function open(sequence) {
    return frame("OPNF", Buffer.concat([u32(0), str("http://opcfoundation.org/UA/SecurityPolicy#None"), str(null), str(null),
        u32(sequence), u32(1), Buffer.from([1, 0, 0xbe, 0x01]), requestHeader(), u32(0), u32(0), u32(1), str(null), u32(600000)]));
}
function message(channelId, sequence, requestId, typeId, body) {
    return frame("MSGF", Buffer.concat([u32(channelId), u32(1), u32(sequence), u32(requestId),
        Buffer.from([1, 0, typeId & 0xff, typeId >> 8]), body]));
}
const getEndpoints = () => Buffer.concat([requestHeader(), str("opc.tcp://x"), u32(0), u32(0)]);

// A raw connection that records the chunks it receives and whether the server closed it.
const raw = (port) => rawua.connect(port);

const errorCode = (state) => {
    const err = state.chunks.find((c) => c.type === "ERR");
    return err ? err.body.readUInt32LE(0) : null;
};

function rssKb(pid) {
    const status = fs.readFileSync(`/proc/${pid}/status`, "utf8");
    return Number(status.match(/VmRSS:\s+(\d+)/)[1]);
}

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)));
    const server = await h.startServer(h.hostPath, config);
    const pid = server.child.pid;
    const { client, session } = await h.connect(server.url);

    // The well-behaved client reads all along.
    const good = { reads: 0, failures: [], slowest: 0, running: true };
    const reader = (async () => {
        while (good.running) {
            const start = Date.now();
            try {
                const dv = await session.read({ nodeId: "ns=1;s=P1.T", attributeId: opcua.AttributeIds.Value }, 0);
                if (dv.statusCode.value !== 0 || dv.value.value !== 42) good.failures.push(dv.toString());
            } catch (e) {
                good.failures.push(e.message);
            }
            good.slowest = Math.max(good.slowest, Date.now() - start);
            good.reads++;
            await h.sleep(100);
        }
    })();
    await h.sleep(500);
    const rssStart = rssKb(pid);

    // A chunk trickled at one byte a second on an open channel.
    const trickle = await raw(server.port);
    trickle.socket.write(Buffer.concat([hello(), open(1)]));
    await h.eventually(() => trickle.chunks.some((c) => c.type === "OPN"), 3000);
    const trickleChannel = trickle.chunks.find((c) => c.type === "OPN").body.readUInt32LE(0);
    const trickled = message(trickleChannel, 2, 2, 428, Buffer.concat([getEndpoints(), Buffer.alloc(200)]));
    const trickleStart = Date.now();
    let trickleClosedAfter = null;
    trickle.socket.on("close", () => (trickleClosedAfter = Date.now() - trickleStart));
    let trickledBytes = 0;
    const trickler = setInterval(() => {
        if (trickle.closed || trickledBytes >= trickled.length) return clearInterval(trickler);
        trickle.socket.write(trickled.subarray(trickledBytes, trickledBytes + 1));
        trickledBytes++;
    }, 1000);

    // A chunk cut short and never finished, and a Hello cut short.
    const cut = await raw(server.port);
    cut.socket.write(Buffer.concat([hello(), Buffer.from("MSGF"), u32(100), Buffer.alloc(20)]));
    const halfHello = await raw(server.port);
    halfHello.socket.write(hello().subarray(0, 10));
    // An absurd length.
    const absurd = await raw(server.port);
    absurd.socket.write(Buffer.concat([hello(), Buffer.from("MSGF"), u32(0xffffffff), Buffer.alloc(16)]));
    await h.eventually(() => absurd.closed, 3000);
    check("an absurd length gets BadTcpMessageTooLarge and a close",
        errorCode(absurd) === 0x80800000 && absurd.closed, { code: errorCode(absurd), closed: absurd.closed });
    // A sequence gap.
    const gap = await raw(server.port);
    gap.socket.write(Buffer.concat([hello(), open(1)]));
    await h.eventually(() => gap.chunks.some((c) => c.type === "OPN"), 3000);
    const opened = gap.chunks.find((c) => c.type === "OPN");
    const channelId = opened ? opened.body.readUInt32LE(0) : 0;
    gap.socket.write(message(channelId, 2, 2, 428, getEndpoints()));
    await h.eventually(() => gap.chunks.some((c) => c.type === "MSG"), 3000);
    check("a valid request on a raw channel is answered", gap.chunks.some((c) => c.type === "MSG"));
    gap.socket.write(message(channelId, 9, 3, 428, getEndpoints()));
    await h.eventually(() => gap.closed, 3000);
    check("a sequence gap gets BadSequenceNumberInvalid and a close",
        errorCode(gap) === 0x80880000 && gap.closed, errorCode(gap));

    // A client that takes only small messages: a fault says the answer is too large, or, where
    // even that does not fit, an Error message and a close; never silence.
    for (const maxMessage of [100, 20]) {
        const small = await raw(server.port);
        small.socket.write(Buffer.concat([hello(maxMessage), open(1)]));
        await h.eventually(() => small.chunks.some((c) => c.type === "OPN"), 3000);
        const smallChannel = small.chunks.find((c) => c.type === "OPN").body.readUInt32LE(0);
        small.socket.write(message(smallChannel, 2, 2, 428, getEndpoints()));
        await h.eventually(() => small.chunks.some((c) => c.type === "MSG" || c.type === "ERR"), 3000);
        const msg = small.chunks.find((c) => c.type === "MSG");
        if (maxMessage === 100) {
            // After the security header (16 bytes): ServiceFault 397, then time, handle, status.
            check("a response beyond MaxMessageSize 100 becomes a ServiceFault BadResponseTooLarge",
                !!msg && msg.body.readUInt16LE(18) === 397 && msg.body.readUInt32LE(32) === 0x80b90000,
                msg && msg.body.toString("hex"));
        } else {
            await h.eventually(() => small.closed, 3000);
            check("where not even the fault fits (MaxMessageSize 20), an Error BadResponseTooLarge and a close",
                errorCode(small) === 0x80b90000 && small.closed, { code: errorCode(small), closed: small.closed });
        }
        small.socket.destroy();
    }

    // 1,000 half-open connections.
    const halfOpen = [];
    for (let i = 0; i < 1000; i++) {
        const s = net.connect(server.port, "127.0.0.1");
        s.on("error", () => {});
        const entry = { socket: s, closed: false };
        s.on("close", () => (entry.closed = true));
        halfOpen.push(entry);
        if (i % 100 === 99) await h.sleep(20);
    }
    await h.sleep(2000);
    const refused = halfOpen.filter((e) => e.closed).length;
    check("connections beyond the limit are closed at once", refused >= 700, refused);
    const rssHalfOpen = rssKb(pid);
    check("1,000 half-open connections cost little memory", rssHalfOpen - rssStart < 64 * 1024,
        { before: rssStart, after: rssHalfOpen });
    const allGone = await h.eventually(() => halfOpen.every((e) => e.closed) && cut.closed && halfHello.closed, 15000, 200);
    check("half-open connections and unfinished chunks are closed after the handshake time",
        allGone, halfOpen.filter((e) => !e.closed).length);
    const newcomer = await h.connect(server.url).catch((e) => ({ error: e.message }));
    check("a new client connects once they are gone", !!newcomer.session, newcomer.error);
    if (newcomer.session) {
        await newcomer.session.close();
        await newcomer.client.disconnect();
    }

    // A client that never reads: requests keep coming, responses pile up at the server.
    const sink = await raw(server.port);
    sink.socket.write(Buffer.concat([hello(), open(1)]));
    await h.eventually(() => sink.chunks.some((c) => c.type === "OPN"), 3000);
    const sinkChannel = sink.chunks.find((c) => c.type === "OPN").body.readUInt32LE(0);
    sink.socket.pause();
    let sequence = 2;
    let rssPeak = 0;
    for (let batch = 0; batch < 200 && !sink.closed; batch++) {
        const parts = [];
        for (let i = 0; i < 500; i++) parts.push(message(sinkChannel, sequence++, sequence, 428, getEndpoints()));
        sink.socket.write(Buffer.concat(parts));
        await h.sleep(20);
        rssPeak = Math.max(rssPeak, rssKb(pid));
    }
    await h.eventually(() => sink.closed, 20000, 200);
    check("a client that never reads is disconnected", sink.closed);
    console.log(`     server RSS: ${rssStart} kB at start, ${rssHalfOpen} kB with 1,000 half-open, ${rssPeak} kB peak with a non-reader`);
    check("memory stays bounded while it does not read", rssPeak - rssStart < 128 * 1024,
        { before: rssStart, peak: rssPeak });
    sink.socket.destroy();

    await h.eventually(() => trickle.closed, Math.max(0, 45000 - (Date.now() - trickleStart)), 500);
    clearInterval(trickler);
    check("a chunk trickled at one byte a second closes its connection after about 30 s",
        trickle.closed && trickleClosedAfter >= 29000 && trickleClosedAfter < 40000,
        { closedAfterMs: trickleClosedAfter, bytes: trickledBytes });

    good.running = false;
    await reader;
    check("the well-behaved client was served throughout", good.failures.length === 0 && good.reads > 50,
        { reads: good.reads, failures: good.failures.slice(0, 3) });
    check("its reads stayed prompt", good.slowest < 3000, good.slowest);
    check("the server is still running", server.child.exitCode === null);

    await h.closeAndFinish(client, session, server);
}

h.run(main);
