// Protected chunks changed in flight: a small proxy between a real client and the server
// flips one byte of an encrypted or a signed request, or sends a request chunk twice (its
// sequence number replayed). The server must close that channel, and go on serving a
// well-behaved client.
"use strict";

const fs = require("fs");
const net = require("net");
const os = require("os");
const path = require("path");
const h = require("./harness");
const certs = require("./certificates");
const { opcua, check } = h;
const { AttributeIds, MessageSecurityMode, SecurityPolicy } = opcua;

// Forwards both ways; the client's chunks are cut at their size fields so that `alter` (set by
// the test) can change the next MSG chunk once. Records when the server closed its side.
function startProxy(serverPort) {
    const proxy = { alter: null, serverClosed: 0 };
    proxy.server = net.createServer((client) => {
        const upstream = net.connect(serverPort, "127.0.0.1");
        let pending = Buffer.alloc(0);
        client.on("data", (data) => {
            pending = Buffer.concat([pending, data]);
            while (pending.length >= 8 && pending.length >= pending.readUInt32LE(4)) {
                const size = pending.readUInt32LE(4);
                let chunk = pending.subarray(0, size);
                pending = pending.subarray(size);
                if (proxy.alter && chunk.subarray(0, 3).toString() === "MSG") {
                    const alter = proxy.alter;
                    proxy.alter = null;
                    for (const piece of alter(Buffer.from(chunk))) upstream.write(piece);
                    continue;
                }
                upstream.write(chunk);
            }
        });
        upstream.on("data", (data) => client.write(data));
        // Counted only when the server closed first (not after the client went).
        let clientGone = false;
        upstream.on("close", () => { if (!clientGone) proxy.serverClosed++; client.destroy(); });
        client.on("close", () => { clientGone = true; upstream.destroy(); });
        upstream.on("error", () => client.destroy());
        client.on("error", () => upstream.destroy());
    });
    return new Promise((resolve) => proxy.server.listen(0, "127.0.0.1", () => {
        proxy.url = `opc.tcp://127.0.0.1:${proxy.server.address().port}`;
        resolve(proxy);
    }));
}

const withTimeout = (promise, ms) => Promise.race([promise.catch(() => {}), h.sleep(ms)]);

async function main() {
    h.limitRuntime(120000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0..9=7"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("Level", "HREGISTER VT_I2", 0)));
    const pki = path.join(h.scratch, "pki");
    const server = await h.startServer(h.hostPath, config, [], `PkiFolder=${pki}\n`);
    const good = await certs.create(h.scratch, "good", `urn:${os.hostname()}:Tests:good`);
    fs.writeFileSync(path.join(pki, "trusted/certs/good.der"), good.der);
    const proxy = await startProxy(server.port);
    const read = (s) => s.read({ nodeId: "ns=1;s=P1.Level", attributeId: AttributeIds.Value });

    const cases = [
        ["a flipped byte in an encrypted chunk", MessageSecurityMode.SignAndEncrypt, (c) => { c[40] ^= 0x10; return [c]; }],
        ["a flipped byte in a signed chunk", MessageSecurityMode.Sign, (c) => { c[c.length - 40] ^= 0x01; return [c]; }],
        ["a flipped byte in a chunk's signature", MessageSecurityMode.Sign, (c) => { c[c.length - 1] ^= 0x80; return [c]; }],
        ["a replayed chunk (repeated sequence number)", MessageSecurityMode.SignAndEncrypt, (c) => [c, c]],
    ];
    for (const [what, mode, alter] of cases) {
        const client = h.makeClient({ securityPolicy: SecurityPolicy.Basic256Sha256, securityMode: mode,
            certificateFile: good.certFile, privateKeyFile: good.keyFile });
        try {
            await client.connect(proxy.url);
            const session = await client.createSession();
            const before = await read(session);
            const closedBefore = proxy.serverClosed;
            proxy.alter = alter;
            await withTimeout(read(session), 3000);
            const closed = await h.eventually(() => proxy.serverClosed > closedBefore, 5000);
            check(`${what} closes the channel`, before.value.value === 7 && closed,
                { before: before.toString(), closed });
        } catch (e) {
            check(`${what} closes the channel`, false, String(e.message));
        }
        proxy.alter = null;
        await withTimeout(client.disconnect(), 3000);
    }

    // A well-behaved client, directly and through the proxy, is served as before.
    for (const url of [server.url, proxy.url]) {
        const { client, session } = await h.connect(url, { securityPolicy: SecurityPolicy.Basic256Sha256,
            securityMode: MessageSecurityMode.SignAndEncrypt, certificateFile: good.certFile,
            privateKeyFile: good.keyFile });
        const dv = await read(session);
        check(`a well-behaved client is served afterwards (${url === server.url ? "direct" : "proxy"})`,
            dv.value.value === 7, dv.toString());
        await session.close();
        await client.disconnect();
    }
    proxy.server.close();
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
