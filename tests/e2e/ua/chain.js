// Certificate chains: a client whose certificate an intermediate CA issued sends both; with
// only the root CA trusted (the intermediate in no folder of the server) it connects, and once
// the root's revocation list names the intermediate it is refused with BadCertificateRevoked.
"use strict";

const crypto = require("crypto");
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const h = require("./harness");
const raw = require("./rawua");
const { opcua, check } = h;

const kRevoked = 0x801d0000;

function openssl(dir, args, input) {
    return execFileSync("openssl", args, { cwd: dir, input, stdio: ["pipe", "pipe", "pipe"] });
}

// Root CA, intermediate CA, client certificate (application URI `uri`), and a root revocation
// list naming the intermediate.
function makeChain(dir, uri) {
    fs.mkdirSync(dir, { recursive: true });
    const ca = "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n";
    fs.writeFileSync(path.join(dir, "ca.ext"), ca);
    fs.writeFileSync(path.join(dir, "leaf.ext"), `basicConstraints=CA:FALSE\nsubjectAltName=URI:${uri},DNS:${os.hostname()}\n` +
        "keyUsage=critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment\n" +
        "extendedKeyUsage=clientAuth,serverAuth\n");
    openssl(dir, ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key", "-out", "root.pem",
        "-days", "30", "-subj", "/CN=Plant Root CA", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign"]);
    openssl(dir, ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", "int.key", "-out", "int.csr",
        "-subj", "/CN=Plant Intermediate CA"]);
    openssl(dir, ["x509", "-req", "-in", "int.csr", "-CA", "root.pem", "-CAkey", "root.key", "-set_serial", "2",
        "-out", "int.pem", "-days", "30", "-extfile", "ca.ext"]);
    openssl(dir, ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", "leaf.key", "-out", "leaf.csr",
        "-subj", "/CN=chain client/O=Tests"]);
    openssl(dir, ["x509", "-req", "-in", "leaf.csr", "-CA", "int.pem", "-CAkey", "int.key", "-set_serial", "3",
        "-out", "leaf.pem", "-days", "30", "-extfile", "leaf.ext"]);
    // The root revokes the intermediate.
    fs.writeFileSync(path.join(dir, "index.txt"), "");
    fs.writeFileSync(path.join(dir, "crlnumber"), "01\n");
    fs.writeFileSync(path.join(dir, "ca.cnf"), "[ca]\ndefault_ca=root\n[root]\ndatabase=index.txt\n" +
        "crlnumber=crlnumber\ndefault_md=sha256\ndefault_crl_days=30\n");
    openssl(dir, ["ca", "-config", "ca.cnf", "-keyfile", "root.key", "-cert", "root.pem", "-revoke", "int.pem"]);
    openssl(dir, ["ca", "-config", "ca.cnf", "-keyfile", "root.key", "-cert", "root.pem", "-gencrl", "-out", "root.crl"]);
    const der = (file) => new crypto.X509Certificate(fs.readFileSync(path.join(dir, file))).raw;
    fs.writeFileSync(path.join(dir, "chain.pem"),
        fs.readFileSync(path.join(dir, "leaf.pem"), "utf8") + fs.readFileSync(path.join(dir, "int.pem"), "utf8"));
    return { root: der("root.pem"), chain: Buffer.concat([der("leaf.pem"), der("int.pem")]),
        key: crypto.createPrivateKey(fs.readFileSync(path.join(dir, "leaf.key"))),
        certFile: path.join(dir, "chain.pem"), keyFile: path.join(dir, "leaf.key"), crl: path.join(dir, "root.crl") };
}

async function main() {
    h.limitRuntime(120000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)));
    const pki = path.join(h.scratch, "pki");
    const server = await h.startServer(h.hostPath, config, [], `PkiFolder=${pki}\n`);
    const uri = `urn:${os.hostname()}:Tests:chain`;
    const chain = makeChain(path.join(h.scratch, "ca"), uri);
    fs.writeFileSync(path.join(pki, "trusted/certs/root.der"), chain.root);
    const serverCertificate = fs.readFileSync(path.join(pki, "own/certs/Tarnvale.der"));

    // Only the root is trusted; the intermediate comes with the client's certificate.
    try {
        const { client, session } = await h.connect(server.url, { securityPolicy: opcua.SecurityPolicy.Basic256Sha256,
            securityMode: opcua.MessageSecurityMode.SignAndEncrypt, certificateFile: chain.certFile,
            privateKeyFile: chain.keyFile });
        const dv = await session.read({ nodeId: "ns=1;s=P1.T", attributeId: opcua.AttributeIds.Value }, 0);
        check("a certificate sent with its intermediate, only the root trusted, connects", dv.value.value === 42,
            dv.toString());
        await session.close();
        await client.disconnect();
    } catch (e) {
        check("a certificate sent with its intermediate, only the root trusted, connects", false, String(e.message));
    }
    const offer = async () => {
        const c = await raw.connect(server.port);
        c.socket.write(Buffer.concat([raw.hello(), raw.openSecure({ senderCertificate: chain.chain, clientKey: chain.key,
            serverCertificate })]));
        await raw.waitFor(c, (s) => raw.errorStatus(s) !== null || s.chunks.some((x) => x.type === "OPN"), 10000);
        c.socket.destroy();
        return c.chunks.some((x) => x.type === "OPN") ? "opened" : raw.errorStatus(c);
    };
    check("the same chain opens a channel written by hand", (await offer()) === "opened");
    check("without its intermediate the certificate is not trusted", await (async () => {
        const c = await raw.connect(server.port);
        c.socket.write(Buffer.concat([raw.hello(), raw.openSecure({ senderCertificate: chain.chain.subarray(0,
            new crypto.X509Certificate(fs.readFileSync(path.join(h.scratch, "ca/leaf.pem"))).raw.length),
        clientKey: chain.key, serverCertificate })]));
        await raw.waitFor(c, (s) => raw.errorStatus(s) !== null, 10000);
        c.socket.destroy();
        return raw.errorStatus(c) === 0x80130000;
    })());

    // The root revokes the intermediate.
    fs.copyFileSync(chain.crl, path.join(pki, "trusted/crl/root.crl"));
    const status = await offer();
    check("with the intermediate revoked the client is refused with BadCertificateRevoked", status === kRevoked,
        typeof status === "number" ? `0x${status.toString(16)}` : status);
    check("the trace names the revoked client", /client certificate refused \(revoked\): subject .*chain client/
        .test(server.child.stderrText));
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
