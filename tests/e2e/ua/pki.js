// The trust step with vorn-pki: the server says where its PKI folder is and which certificate
// it has; a client with an unknown certificate is refused (and named in the trace), vorn-pki
// lists it with subject, application URI, validity and thumbprint, trusts it by thumbprint, and
// the client connects; reject and remove undo it. Without PkiFolder the tool and the server
// find the same default folder.
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");
const h = require("./harness");
const certs = require("./certificates");
const { opcua, check } = h;

const tool = path.join(path.dirname(h.simPath), "vorn-pki");

function vornPki(env, ...args) {
    const r = spawnSync(tool, args, { env: { ...process.env, ...env }, timeout: 20000 });
    return { code: r.status, out: String(r.stdout), err: String(r.stderr) };
}

async function tryConnect(url, client) {
    try {
        const c = await h.connect(url, { securityPolicy: opcua.SecurityPolicy.Basic256Sha256,
            securityMode: opcua.MessageSecurityMode.SignAndEncrypt, certificateFile: client.certFile,
            privateKeyFile: client.keyFile });
        const dv = await c.session.read({ nodeId: "ns=1;s=P1.T", attributeId: opcua.AttributeIds.Value }, 0);
        await c.session.close();
        await c.client.disconnect();
        return dv.value.value === 42 ? "read" : dv.toString();
    } catch (e) {
        return `refused: ${e.message.split("\n")[0]}`;
    }
}

async function main() {
    h.limitRuntime(150000);
    const help = vornPki({}, "--help");
    const version = vornPki({}, "--version");
    check("vorn-pki --help and --version answer and exit 0", help.code === 0 && /usage: vorn-pki list/.test(help.out) &&
        version.code === 0 && /^vorn-pki \d+\.\d+ build \d+/.test(version.out), { help, version });

    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)));
    const pki = path.join(h.scratch, "pki");
    const server = await h.startServer(h.hostPath, config, [], `PkiFolder=${pki}\n`);
    const registry = path.join(h.scratch, fs.readdirSync(h.scratch).find((f) => f.startsWith("registry-")));
    const env = { VORN_REGISTRY: registry };
    const own = crypto.createHash("sha1").update(fs.readFileSync(path.join(pki, "own/certs/Tarnvale.der")))
        .digest("hex").toUpperCase();
    await h.eventually(() => /PKI folder/.test(server.child.stdoutText), 2000);
    check("at start the server prints its PKI folder and its certificate's thumbprint",
        server.child.stdoutText.includes(`Tarnvale: PKI folder ${pki}, certificate thumbprint ${own}`),
        server.child.stdoutText);

    const panel = await certs.create(h.scratch, "panel", `urn:${os.hostname()}:Tests:panel`);
    const thumbprint = crypto.createHash("sha1").update(panel.der).digest("hex").toUpperCase();
    const refused = await tryConnect(server.url, panel);
    check("a client with an unknown certificate is refused", refused.startsWith("refused"), refused);
    await h.eventually(() => server.child.stderrText.includes(thumbprint), 3000);
    check("the trace names the refused certificate, its application URI and the client's address",
        new RegExp(`client certificate refused \\(not trusted\\): subject .*panel.*application URI urn:.*:Tests:panel, ` +
            `certificate thumbprint ${thumbprint}, from 127\\.0\\.0\\.1:\\d+`).test(server.child.stderrText),
        server.child.stderrText.split("\n").filter((l) => /SEC/.test(l)).slice(0, 3));

    const listed = vornPki(env, "list", "--server", "Tarnvale");
    check("vorn-pki lists it as rejected with subject, application URI, validity and thumbprint",
        listed.code === 0 && listed.out.includes(`PKI folder ${pki}`) &&
        new RegExp(`rejected +${thumbprint}\\n  subject +.*panel.*\\n  application URI +urn:.*:Tests:panel\\n` +
            "  valid +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC to \\d{4}").test(listed.out), listed);

    const trusted = vornPki(env, "trust", thumbprint.slice(0, 8).toLowerCase(), "--server", "Tarnvale");
    check("vorn-pki trusts it by (the start of) its thumbprint", trusted.code === 0 &&
        fs.existsSync(path.join(pki, "trusted/certs", `${thumbprint}.der`)) &&
        !fs.existsSync(path.join(pki, "rejected/certs", `${thumbprint}.der`)), trusted);
    const connected = await tryConnect(server.url, panel);
    check("the trusted client connects and reads, without a restart", connected === "read", connected);

    const rejected = vornPki(env, "reject", thumbprint, "--server", "Tarnvale");
    const again = await tryConnect(server.url, panel);
    check("vorn-pki rejects it again, and the client is refused", rejected.code === 0 && again.startsWith("refused"),
        { rejected, again });
    const removed = vornPki(env, "remove", thumbprint, "--server", "Tarnvale");
    const missing = vornPki(env, "trust", thumbprint, "--server", "Tarnvale");
    check("vorn-pki removes it; a thumbprint it does not know is an error",
        removed.code === 0 && !fs.readdirSync(path.join(pki, "rejected/certs")).some((f) => f.startsWith(thumbprint)) &&
        missing.code === 1 && /no certificate with the thumbprint/.test(missing.err), { removed, missing });
    const usage = vornPki(env, "list");
    check("without --server vorn-pki shows its usage (exit 2)", usage.code === 2 && /usage/.test(usage.err), usage);

    // Without PkiFolder both find the same default folder.
    const data = path.join(h.scratch, "data");
    const plain = path.join(h.scratch, "registry-plain.ini");
    fs.writeFileSync(plain, `[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=${config}\nOpcUaPort=0\n`);
    const [second] = await h.startListening(h.hostPath, [], 15000,
        { ...process.env, VORN_REGISTRY: plain, VORN_HEADLESS: "1", XDG_DATA_HOME: data });
    await h.eventually(() => /PKI folder/.test(second.stdoutText), 2000);
    const defaultList = vornPki({ VORN_REGISTRY: plain, XDG_DATA_HOME: data }, "list", "--server", "Tarnvale");
    const folder = path.join(data, "VornAutomation/pki/Tarnvale");
    check("without PkiFolder the server and vorn-pki use the same default folder",
        second.stdoutText.includes(`PKI folder ${folder},`) && defaultList.out.startsWith(`PKI folder ${folder}\n`),
        { server: second.stdoutText, tool: defaultList.out });
    second.kill("SIGTERM");
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
