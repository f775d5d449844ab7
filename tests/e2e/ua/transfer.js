// TransferSubscriptions through the real server: a client whose TCP connection is cut (the
// socket, not the session) takes its subscription over from a new session of the same user and
// misses no value its queue could hold; another user and an anonymous client are refused
// (BadUserAccessDenied); a session whose subscription is taken over while it is connected learns
// it in a Publish (GoodSubscriptionTransferred).
"use strict";

const fs = require("fs");
const net = require("net");
const path = require("path");
const util = require("util");
const { spawnSync } = require("child_process");
const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn, MonitoringMode, DataType, StatusCodes, UserTokenType } = opcua;

const user = (userName, password) => ({ type: UserTokenType.UserName, userName, password });
const alice = user("alice", "alice-Secret-1");
const bob = user("bob", "bob-Secret-2");

function addUser(registry, name, password) {
    const tool = path.join(path.dirname(h.simPath), "vorn-users");
    const r = spawnSync(tool, ["add", name, "--role", "readwrite", "--server", "Tarnvale"],
        { input: `${password}\n`, env: { ...process.env, VORN_REGISTRY: registry }, timeout: 20000 });
    if (r.status !== 0) throw new Error(`vorn-users add ${name}: ${r.stdout}${r.stderr}`);
}

// A TCP relay to the server whose connections the test can cut, as a network break would.
async function startRelay(port) {
    const sockets = [];
    const relay = net.createServer((inbound) => {
        const outbound = net.connect(port, "127.0.0.1");
        sockets.push(inbound, outbound);
        inbound.pipe(outbound).pipe(inbound);
        inbound.on("error", () => outbound.destroy());
        outbound.on("error", () => inbound.destroy());
    });
    await new Promise((resolve) => relay.listen(0, "127.0.0.1", resolve));
    return {
        url: `opc.tcp://127.0.0.1:${relay.address().port}`,
        cut() {
            relay.close();
            for (const s of sockets) s.destroy();
        },
    };
}

async function open(url, identity) {
    const client = h.makeClient({ connectionStrategy: { maxRetry: 0, initialDelay: 100, maxDelay: 200 } });
    await client.connect(url);
    const session = await client.createSession(identity);
    return { client, session, publish: util.promisify(session.publish.bind(session)) };
}

const dataChanges = (response) => response.notificationMessage.notificationData.flatMap((n) => n.monitoredItems || [])
    .map((n) => n.value.value.value);

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", []);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("Queued", "HREGISTER VT_I2", 0)));
    const server = await h.startServer(h.hostPath, config, [], "AllowAnonymous=1\nAnonymousRole=readwrite\n");
    const registry = path.join(h.scratch, fs.readdirSync(h.scratch).find((f) => f.startsWith("registry-")));
    addUser(registry, "alice", alice.password);
    addUser(registry, "bob", bob.password);
    const nodeId = "ns=1;s=P1.Queued";

    const writer = await open(server.url, alice);
    // Each value is polled and sampled (every 100 ms) before the next is written.
    const write = async (v) => {
        await writer.session.write({ nodeId, attributeId: AttributeIds.Value, value: { value: { dataType: DataType.Int16, value: v } } });
        await h.eventually(async () => (await writer.session.read({ nodeId, attributeId: AttributeIds.Value })).value.value === v, 5000);
        await h.sleep(400);
    };

    // The first client, through a relay that will break.
    const relay = await startRelay(server.port);
    const first = await open(relay.url, alice);
    const created = await first.session.createSubscription({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 3000, requestedMaxKeepAliveCount: 50, maxNotificationsPerPublish: 0,
        publishingEnabled: true, priority: 0 });
    const subscriptionId = created.subscriptionId;
    await first.session.createMonitoredItems({ subscriptionId, timestampsToReturn: TimestampsToReturn.Both,
        itemsToCreate: [{ itemToMonitor: { nodeId, attributeId: AttributeIds.Value }, monitoringMode: MonitoringMode.Reporting,
            requestedParameters: { clientHandle: 1, samplingInterval: -1, queueSize: 100, discardOldest: true } }] });
    await write(0);
    const received = [];
    let response = await first.publish({ subscriptionAcknowledgements: [] });
    received.push(...dataChanges(response));
    for (const v of [1, 2, 3]) await write(v);
    response = await first.publish({ subscriptionAcknowledgements: [{ subscriptionId,
        sequenceNumber: response.notificationMessage.sequenceNumber }] });
    received.push(...dataChanges(response));
    check("before the break the first client has 1, 2 and 3", [1, 2, 3].every((v) => received.includes(v)), received);
    const lastSequence = response.notificationMessage.sequenceNumber;

    relay.cut();
    for (const v of [4, 5, 6, 7, 8]) await write(v);

    // Others may not take it.
    const thief = await open(server.url, bob);
    const stolen = await thief.session.transferSubscriptions({ subscriptionIds: [subscriptionId], sendInitialValues: true });
    check("another user's TransferSubscriptions is refused with BadUserAccessDenied",
        stolen.results[0].statusCode.value === StatusCodes.BadUserAccessDenied.value, stolen.results[0].statusCode.toString());
    const anonymous = await open(server.url, undefined);
    const anonymousTry = await anonymous.session.transferSubscriptions({ subscriptionIds: [subscriptionId], sendInitialValues: true });
    check("an anonymous client's TransferSubscriptions of a user's subscription is refused with BadUserAccessDenied",
        anonymousTry.results[0].statusCode.value === StatusCodes.BadUserAccessDenied.value,
        anonymousTry.results[0].statusCode.toString());
    const unknown = await thief.session.transferSubscriptions({ subscriptionIds: [subscriptionId + 1000], sendInitialValues: false });
    check("an unknown subscription gives BadSubscriptionIdInvalid",
        unknown.results[0].statusCode.value === StatusCodes.BadSubscriptionIdInvalid.value, unknown.results[0].statusCode.toString());

    // The same user from a new session takes it over and gets what was queued meanwhile.
    const second = await open(server.url, alice);
    const transferred = await second.session.transferSubscriptions({ subscriptionIds: [subscriptionId], sendInitialValues: false });
    check("the same user's new session takes the subscription over", transferred.results[0].statusCode.value === 0,
        transferred.results[0].statusCode.toString());
    const after = [];
    for (let i = 0; i < 10 && !after.includes(8); i++) {
        const r = await second.publish({ subscriptionAcknowledgements: [] });
        check("the Publish answers for the transferred subscription", r.subscriptionId === subscriptionId, r.subscriptionId);
        if (r.notificationMessage.sequenceNumber > lastSequence) after.push(...dataChanges(r));
    }
    check("after the transfer the values written during the break arrive, none missing: 4 to 8",
        JSON.stringify(after) === "[4,5,6,7,8]", after);
    await write(9);
    const later = dataChanges(await second.publish({ subscriptionAcknowledgements: [] }));
    check("the subscription carries on in its new session", later.includes(9), later);

    // A session still connected learns that its subscription went elsewhere.
    const owner = await open(server.url, alice);
    const created2 = await owner.session.createSubscription({ requestedPublishingInterval: 100,
        requestedLifetimeCount: 3000, requestedMaxKeepAliveCount: 1000, maxNotificationsPerPublish: 0,
        publishingEnabled: true, priority: 0 });
    await owner.publish({ subscriptionAcknowledgements: [] }); // the first keep-alive
    const parked = owner.publish({ subscriptionAcknowledgements: [] });
    const told = h.sleep(300).then(() => writer.session.transferSubscriptions({
        subscriptionIds: [created2.subscriptionId], sendInitialValues: true }));
    const [message, taken] = await Promise.all([parked, told]);
    const notes = message.notificationMessage.notificationData || [];
    check("the old session's Publish carries GoodSubscriptionTransferred", message.subscriptionId === created2.subscriptionId &&
        notes.length === 1 && notes[0].status && notes[0].status.value === StatusCodes.GoodSubscriptionTransferred.value,
        `${taken.results[0].statusCode.toString()} ${JSON.stringify(notes)}`);

    for (const c of [writer, thief, anonymous, second, owner]) {
        await c.session.close();
        await c.client.disconnect();
    }
    await Promise.race([first.client.disconnect(), h.sleep(2000)]);
    h.finish();
}

h.run(main);
