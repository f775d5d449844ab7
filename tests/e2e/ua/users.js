// User accounts through a real client: accounts made with the vorn-users tool while the server
// runs (passwords never in clear in the registry file or the tool's output), a read-write user
// writes, a read-only user reads and subscribes but its writes are refused and never reach the
// device, each user sees its own rights in UserAccessLevel, wrong passwords and unknown users get
// BadUserAccessDenied after a delay, user names ignore case in the server and in vorn-users,
// password changes and removals count at the next login, and AllowAnonymous=0 refuses anonymous
// users. The trace tells who logged in, who was refused and who wrote what (never a password).
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");
const h = require("./harness");
const certs = require("./certificates");
const { opcua, check } = h;
const { AttributeIds, DataType, MessageSecurityMode, SecurityPolicy, UserTokenType } = opcua;

const statusOf = (promise) => promise.then(() => "Good", (e) => String(e.message));
const usersTool = path.join(path.dirname(h.simPath), "vorn-users");

function vornUsers(registry, args, input) {
    const r = spawnSync(usersTool, args, { input, env: { ...process.env, VORN_REGISTRY: registry },
        timeout: 20000 });
    return { code: r.status, out: String(r.stdout) + String(r.stderr) };
}

async function session(url, identity, secure) {
    const client = h.makeClient(secure ? { securityPolicy: SecurityPolicy.Basic256Sha256,
        securityMode: MessageSecurityMode.SignAndEncrypt, certificateFile: secure.certFile,
        privateKeyFile: secure.keyFile } : {});
    await client.connect(url);
    try {
        return { client, session: await client.createSession(identity) };
    } catch (e) {
        await client.disconnect();
        throw e;
    }
}

const user = (userName, password) => ({ type: UserTokenType.UserName, userName, password });

async function writeLevel(s, value) {
    return s.write({ nodeId: "ns=1;s=P1.Setpoint", attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, value } } });
}

async function main() {
    h.limitRuntime(170000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0..9=7"]);
    const config = h.writeConfig(h.device("P1", sim.port,
        h.tag("Level", "HREGISTER VT_I2", 0) + h.tag("Setpoint", "HREGISTER VT_I2", 1)));
    const pki = path.join(h.scratch, "pki");
    process.env.VORN_TRACE = "info"; // the write audit is at info
    const server = await h.startServer(h.hostPath, config, [],
        `PkiFolder=${pki}\nAllowAnonymous=1\nAnonymousRole=read\n`);
    const registry = path.join(h.scratch, fs.readdirSync(h.scratch).find((f) => f.startsWith("registry-")));
    const wroteValue = (v) => sim.requests().some((r) => (r.fc === 6 || r.fc === 16) && r.start === 1 &&
        Number.parseInt(r.data, 16) === v);

    // Accounts made while the server runs.
    const added = [vornUsers(registry, ["add", "alice", "--role", "readwrite", "--server", "Tarnvale"], "alice-Secret-1\n"),
        vornUsers(registry, ["add", "bob", "--role", "read", "--server", "Tarnvale"], "bob-Secret-2\n")];
    const listed = vornUsers(registry, ["list", "--server", "Tarnvale"]);
    const text = fs.readFileSync(registry, "utf8");
    check("vorn-users adds and lists accounts with their roles", added.every((r) => r.code === 0) &&
        listed.out === "alice readwrite\nbob read\n", { added, listed });
    check("no password in clear in the registry file or the tool's output",
        !/Secret/.test(text + listed.out + added.map((r) => r.out).join()) &&
        /alice=readwrite:pbkdf2-sha256\$\d+\$[0-9a-f]{32}\$[0-9a-f]{64}/.test(text), text);
    check("vorn-users refuses a second account of the same name, whatever its case",
        vornUsers(registry, ["add", "alice", "--role", "read", "--server", "Tarnvale"], "x\n").code === 1 &&
        vornUsers(registry, ["add", "ALICE", "--role", "read", "--server", "Tarnvale"], "x\n").code === 1);

    // GetEndpoints: user names where the password travels encrypted, also on the None endpoint.
    const discovery = h.makeClient();
    await discovery.connect(server.url);
    const endpoints = await discovery.getEndpoints();
    await discovery.disconnect();
    check("every endpoint offers Anonymous and UserName, the password always encrypted", endpoints.every((e) => {
        const name = e.userIdentityTokens.find((t) => t.tokenType === UserTokenType.UserName);
        const policy = name && (name.securityPolicyUri || e.securityPolicyUri);
        return e.userIdentityTokens.some((t) => t.tokenType === UserTokenType.Anonymous) &&
            policy && !policy.endsWith("#None");
    }));

    // A read-write user over the None endpoint (its password encrypted by the token policy).
    try {
        const a = await session(server.url, user("alice", "alice-Secret-1"));
        const wrote = await writeLevel(a.session, 4321);
        check("a read-write user writes, and the value reaches the device",
            wrote.value === 0 && (await h.eventually(() => wroteValue(4321), 3000)), wrote.toString());
        const levels = await a.session.read([AttributeIds.AccessLevel, AttributeIds.UserAccessLevel]
            .map((attributeId) => ({ nodeId: "ns=1;s=P1.Setpoint", attributeId })));
        check("a read-write user's UserAccessLevel lets it write", levels[0].value.value === 3 &&
            levels[1].value.value === 3, levels.map((l) => l.value.value));
        check("the write is in the trace at info with its user, item and value",
            await h.eventually(() => /\[info\] AUD: write by user "alice": P1\.Setpoint = 4321 \(Good\): application URI urn:.*, certificate thumbprint \(none\), from 127\.0\.0\.1:\d+/
                .test(server.child.stderrText), 3000) &&
            /\[info\] AUD: session activated for user "alice" \(readwrite\)/.test(server.child.stderrText),
            server.child.stderrText.split("\n").filter((l) => /AUD|SEC/.test(l)).slice(0, 5));
        await a.session.close();
        await a.client.disconnect();
    } catch (e) {
        check("a read-write user writes, and the value reaches the device", false, String(e.message));
    }

    // A read-only user on an encrypted channel: reads and subscribes, cannot write.
    const good = await certs.create(h.scratch, "good", `urn:${os.hostname()}:Tests:good`);
    fs.writeFileSync(path.join(pki, "trusted/certs/good.der"), good.der);
    try {
        const b = await session(server.url, user("bob", "bob-Secret-2"), good);
        const read = await b.session.read({ nodeId: "ns=1;s=P1.Level", attributeId: AttributeIds.Value }, 0);
        const sub = await b.session.createSubscription2({ requestedPublishingInterval: 200,
            requestedMaxKeepAliveCount: 10, requestedLifetimeCount: 100, publishingEnabled: true });
        const item = await sub.monitor({ nodeId: "ns=1;s=P1.Level", attributeId: AttributeIds.Value },
            { samplingInterval: 200, queueSize: 1 }, opcua.TimestampsToReturn.Both);
        const values = [];
        item.on("changed", (dv) => values.push(dv.value.value));
        const delivered = await h.eventually(() => values.length > 0, 5000);
        check("a read-only user reads and subscribes", read.value.value === 7 && delivered, read.toString());
        const wrote = await writeLevel(b.session, 1234);
        await h.sleep(1000);
        check("a read-only user's write gives BadUserAccessDenied and nothing reaches the device",
            wrote.name === "BadUserAccessDenied" && !wroteValue(1234), wrote.toString());
        const levels = await b.session.read([AttributeIds.AccessLevel, AttributeIds.UserAccessLevel]
            .map((attributeId) => ({ nodeId: "ns=1;s=P1.Setpoint", attributeId })));
        check("a read-only user's UserAccessLevel shows reading only (AccessLevel the tag's rights)",
            levels[0].value.value === 3 && levels[1].value.value === 1, levels.map((l) => l.value.value));
        const thumbprint = crypto.createHash("sha1").update(good.der).digest("hex").toUpperCase();
        check("the refused write is in the trace with the user, item, certificate and address",
            new RegExp(`\\[warning\\] SEC: write refused for lack of rights: user "bob" \\(read\\), item P1\\.Setpoint: ` +
                `application URI urn:.*, certificate thumbprint ${thumbprint}, from 127\\.0\\.0\\.1:\\d+`)
                .test(server.child.stderrText), server.child.stderrText.split("\n").filter((l) => /refused/.test(l)));
        await b.session.close();
        await b.client.disconnect();
    } catch (e) {
        check("a read-only user reads and subscribes", false, String(e.message));
    }

    // Wrong credentials: the same answer for a wrong password and an unknown user, late.
    for (const [what, identity] of [["a wrong password", user("alice", "wrong")], ["an unknown user", user("mallory", "x")]]) {
        const started = Date.now();
        const status = await statusOf(session(server.url, identity));
        const took = Date.now() - started;
        check(`${what} gives BadUserAccessDenied after a delay`, /BadUserAccessDenied/.test(status) && took >= 450,
            { status, took });
    }

    check("each refused login is in the trace with its user name, never its password",
        /\[warning\] SEC: login refused \(BadUserAccessDenied\) for user "alice": application URI urn:.*, from 127\.0\.0\.1:\d+/
            .test(server.child.stderrText) && /login refused \(BadUserAccessDenied\) for user "mallory"/
            .test(server.child.stderrText) && !/wrong|Secret/.test(server.child.stderrText));

    // User names ignore case, as the registry they are kept in does.
    const upper = await statusOf(session(server.url, user("ALICE", "alice-Secret-1")).then((s) => s.client.disconnect()));
    check("a user name matches its account whatever its case", upper === "Good", upper);

    // Account changes count at the next login, without a restart.
    vornUsers(registry, ["passwd", "Alice", "--server", "Tarnvale"], "alice-Secret-3\n");
    vornUsers(registry, ["remove", "BOB", "--server", "Tarnvale"]);
    const oldPassword = await statusOf(session(server.url, user("alice", "alice-Secret-1")).then((s) => s.client.disconnect()));
    const newPassword = await statusOf(session(server.url, user("alice", "alice-Secret-3")).then((s) => s.client.disconnect()));
    const removed = await statusOf(session(server.url, user("bob", "bob-Secret-2")).then((s) => s.client.disconnect()));
    check("a changed password and a removed account count without a restart",
        /BadUserAccessDenied/.test(oldPassword) && newPassword === "Good" && /BadUserAccessDenied/.test(removed),
        { oldPassword, newPassword, removed });

    // Anonymous users: the role of AnonymousRole, then refused with AllowAnonymous=0.
    const anonymous = await session(server.url, undefined);
    const anonymousWrite = await writeLevel(anonymous.session, 999);
    check("anonymous users get the AnonymousRole (read)", anonymousWrite.name === "BadUserAccessDenied",
        anonymousWrite.toString());
    await anonymous.session.close();
    await anonymous.client.disconnect();
    fs.writeFileSync(registry, fs.readFileSync(registry, "utf8").replace("AllowAnonymous=1", "AllowAnonymous=0"));
    const refused = await statusOf(session(server.url, undefined).then((s) => s.client.disconnect()));
    check("with AllowAnonymous=0 anonymous sessions are refused", refused !== "Good", refused);
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
