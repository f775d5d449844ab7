// The PKI folder's rejected/certs cannot fill the disk: 1,000 correctly signed OpenSecureChannel
// requests, each with a certificate never seen before, sent from 100 client addresses, leave at
// most 100 files and 4 MiB there (the oldest go first); one address adds at most 10 a minute;
// the trace says when a bound is reached; a trusted client still connects.
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const os = require("os");
const path = require("path");
const h = require("./harness");
const a = require("./attackers");
const certs = require("./certificates");
const raw = require("./rawua");
const { opcua, check } = h;

const kFiles = 100;
const kBytes = 4 * 1024 * 1024;
const kPerAddressPerMinute = 10;

function folderFigures(folder) {
    const files = fs.readdirSync(folder).filter((f) => f.endsWith(".der"));
    const bytes = files.reduce((sum, f) => sum + fs.statSync(path.join(folder, f)).size, 0);
    return { files: files.length, bytes };
}

// Sends one OpenSecureChannel with `certificate` from `address`; the Error status it gets.
async function offer(port, address, certificate, key, serverCertificate) {
    const c = await raw.connect(port, address);
    c.socket.write(Buffer.concat([raw.hello(),
        raw.openSecure({ senderCertificate: certificate, clientKey: key, serverCertificate })]));
    await raw.waitFor(c, (s) => raw.errorStatus(s) !== null || s.chunks.some((x) => x.type === "OPN"), 20000);
    c.socket.destroy();
    return raw.errorStatus(c);
}

async function main() {
    h.limitRuntime(170000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)));
    const pki = path.join(h.scratch, "pki");
    const server = await h.startServer(h.hostPath, config, [], `PkiFolder=${pki}\n`);
    const rejected = path.join(pki, "rejected/certs");
    const serverCertificate = fs.readFileSync(path.join(pki, "own/certs/Tarnvale.der"));
    const base = await certs.create(h.scratch, "flood", "urn:flood");
    const key = crypto.createPrivateKey(fs.readFileSync(base.keyFile));

    // One address: at most its share a minute.
    const few = a.freshCertificates(base.der, key, kPerAddressPerMinute + 5);
    const statuses = [];
    for (const certificate of few) statuses.push(await offer(server.port, "127.0.2.1", certificate, key, serverCertificate));
    const afterOne = folderFigures(rejected);
    check(`one address gets at most ${kPerAddressPerMinute} new certificates a minute kept`,
        afterOne.files === kPerAddressPerMinute && statuses.every((s) => s === 0x80130000), { afterOne, statuses });

    // 1,000 from 100 addresses, 20 at a time.
    const flood = a.freshCertificates(base.der, key, 1000);
    const started = Date.now();
    let next = 0;
    const refusedAs = {};
    const worker = async () => {
        while (next < flood.length) {
            const i = next++;
            const status = await offer(server.port, `127.0.1.${1 + (i % 100)}`, flood[i], key, serverCertificate);
            refusedAs[status] = (refusedAs[status] || 0) + 1;
        }
    };
    await Promise.all(Array.from({ length: 20 }, worker));
    const after = folderFigures(rejected);
    console.log(`     1,000 certificates offered in ${Date.now() - started} ms: ${after.files} files, ${after.bytes} bytes ` +
        `kept; refusals ${JSON.stringify(refusedAs)}`);
    check(`after 1,000 fresh certificates rejected/certs holds at most ${kFiles} files and ${kBytes} bytes`,
        after.files > 0 && after.files <= kFiles && after.bytes <= kBytes, after);
    check("every one was refused as not trusted", refusedAs[0x80130000] === 1000, refusedAs);
    check("the trace says that the oldest rejected certificates make room",
        /rejected certificates: .* holds at most 100 files/.test(server.child.stderrText) &&
        /client address 127\.0\.2\.1 refused more than 10 new certificates/.test(server.child.stderrText),
        server.child.stderrText.split("\n").filter((l) => /rejected certificates/.test(l)).slice(0, 3));
    check("each refusal names the client's certificate and address in the trace",
        /client certificate refused \(not trusted\): subject .*flood.*application URI urn:flood, certificate thumbprint [0-9A-F]{40}, from 127\.0\.1\.\d+:\d+/
            .test(server.child.stderrText));

    // A trusted client still connects.
    const good = await certs.create(h.scratch, "good", `urn:${os.hostname()}:Tests:good`);
    fs.writeFileSync(path.join(pki, "trusted/certs/good.der"), good.der);
    try {
        const { client, session } = await h.connect(server.url, { securityPolicy: opcua.SecurityPolicy.Basic256Sha256,
            securityMode: opcua.MessageSecurityMode.SignAndEncrypt, certificateFile: good.certFile,
            privateKeyFile: good.keyFile });
        const dv = await session.read({ nodeId: "ns=1;s=P1.T", attributeId: opcua.AttributeIds.Value }, 0);
        check("a trusted client still connects and reads", dv.value.value === 42, dv.toString());
        await session.close();
        await client.disconnect();
    } catch (e) {
        check("a trusted client still connects and reads", false, String(e.message));
    }
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
