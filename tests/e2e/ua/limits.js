// Limits and the channel's mechanics through a real client: messages in chunks both ways at
// the smallest buffer size, a token renewed on the same channel, and each limit exceeded
// answered with its Bad status while the server keeps serving.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, BrowseDirection } = opcua;

const statusOf = (promise) => promise.then(() => "Good", (e) => String(e.message));

async function main() {
    h.limitRuntime(120000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0..199=3"]);
    let tags = "";
    for (let t = 0; t < 200; t++) tags += h.tag(`T${t}`, "HREGISTER VT_I2", t);
    const config = h.writeConfig(h.device("P1", sim.port, tags));
    const server = await h.startServer(h.hostPath, config);

    // Chunks both ways: 8192-byte buffers, a request and a response far larger than that.
    const small = h.makeClient({ transportSettings: { receiveBufferSize: 8192, sendBufferSize: 8192,
        maxMessageSize: 0, maxChunkCount: 0 }, defaultSecureTokenLifetime: 10000 });
    let renewed = 0;
    small.on("security_token_renewed", () => renewed++);
    await small.connect(server.url);
    const session = await small.createSession();
    const many = [];
    for (let round = 0; round < 10; round++)
        for (let t = 0; t < 200; t++) many.push({ nodeId: `ns=1;s=P1.T${t}`, attributeId: AttributeIds.Description });
    const descriptions = await session.read(many);
    check("a request and a response of many chunks go through at 8192-byte buffers",
        descriptions.length === 2000 && descriptions.every((dv, i) => dv.value.value.text === `about T${i % 200}`));
    const values = await session.read(many.slice(0, 200).map((r) => ({ ...r, attributeId: AttributeIds.Value })), 0);
    check("200 device reads in one request are answered together", values.every((dv) => dv.value.value === 3),
        values.slice(0, 3).map((dv) => dv.toString()));

    // The token is renewed on the same channel (at 75 % of 10 s) and the session goes on.
    await h.eventually(() => renewed > 0, 12000, 200);
    check("the security token is renewed on the same channel", renewed > 0, renewed);
    const after = await session.read({ nodeId: "ns=1;s=P1.T0", attributeId: AttributeIds.Value });
    check("requests go on with the renewed token", after.statusCode.value === 0, after.toString());

    // Operations per request.
    const tooMany = [];
    for (let i = 0; i < 10001; i++) tooMany.push({ nodeId: "ns=1;s=P1.T0", attributeId: AttributeIds.Value });
    check("a Read beyond MaxNodesPerRead gives BadTooManyOperations",
        /BadTooManyOperations/.test(await statusOf(session.read(tooMany))));
    const browses = [];
    for (let i = 0; i < 1001; i++) browses.push({ nodeId: "i=85", browseDirection: BrowseDirection.Forward });
    check("a Browse beyond MaxNodesPerBrowse gives BadTooManyOperations",
        /BadTooManyOperations/.test(await statusOf(session.browse(browses))));

    // Subscriptions per session.
    const subs = [];
    let refusedSub = "";
    for (let i = 0; i < 51 && !refusedSub; i++) {
        const result = await session.createSubscription({ requestedPublishingInterval: 1000,
            requestedMaxKeepAliveCount: 10, requestedLifetimeCount: 100, publishingEnabled: false })
            .then((r) => subs.push(r.subscriptionId), (e) => (refusedSub = String(e.message)));
        void result;
    }
    check("the 51st subscription of a session gives BadTooManySubscriptions",
        subs.length === 50 && /BadTooManySubscriptions/.test(refusedSub), { made: subs.length, refusedSub });
    await session.deleteSubscriptions({ subscriptionIds: subs });

    // Monitored items per subscription.
    const holder = await session.createSubscription({ requestedPublishingInterval: 1000,
        requestedMaxKeepAliveCount: 10, requestedLifetimeCount: 100, publishingEnabled: false });
    const item = (handle) => ({ itemToMonitor: { nodeId: "i=2259", attributeId: AttributeIds.Value },
        monitoringMode: opcua.MonitoringMode.Disabled, requestedParameters: { clientHandle: handle, samplingInterval: 1000, queueSize: 1 } });
    const batch = [];
    for (let i = 0; i < 20000; i++) batch.push(item(i));
    const full = await session.createMonitoredItems({ subscriptionId: holder.subscriptionId,
        timestampsToReturn: opcua.TimestampsToReturn.Both, itemsToCreate: batch });
    const extra = await session.createMonitoredItems({ subscriptionId: holder.subscriptionId,
        timestampsToReturn: opcua.TimestampsToReturn.Both, itemsToCreate: [item(20000)] });
    check("a subscription takes 20,000 monitored items and refuses the next with BadTooManyMonitoredItems",
        full.results.every((r) => r.statusCode.value === 0) && extra.results[0].statusCode.value === 0x80db0000,
        extra.results[0].statusCode.toString());
    await session.deleteSubscriptions({ subscriptionIds: [holder.subscriptionId] });

    // Sessions.
    const client = h.makeClient();
    await client.connect(server.url);
    const sessions = [];
    let refusedSession = "";
    for (let i = 0; i < 101 && !refusedSession; i++)
        await client.createSession().then((s) => sessions.push(s), (e) => (refusedSession = String(e.message)));
    check("the 101st session gives BadTooManySessions", sessions.length === 99 &&
        /BadTooManySessions/.test(refusedSession), { made: sessions.length, refusedSession });
    for (const s of sessions) await s.close();
    const still = await session.read({ nodeId: "ns=1;s=P1.T1", attributeId: AttributeIds.Value });
    check("the server keeps serving after its limits were hit", still.statusCode.value === 0);
    const another = await client.createSession().catch(() => null);
    check("closed sessions make room for new ones", !!another);

    // Sessions created and never activated are closed after 10 s and make room again.
    for (const s of [another].filter((x) => x && x.close)) await s.close();
    const raw = h.makeClient();
    await raw.connect(server.url);
    const create = () => new Promise((resolve) => raw.performMessageTransaction(
        new opcua.CreateSessionRequest({ clientDescription: {}, sessionName: "left", requestedSessionTimeout: 3600000,
            endpointUrl: server.url }), (err, response) => resolve(err ? String(err.message) : response)));
    let created = 0;
    let refusal = "";
    while (created < 150 && !refusal) {
        const r = await create();
        if (typeof r === "string" || r.responseHeader.serviceResult.value !== 0)
            refusal = typeof r === "string" ? r : r.responseHeader.serviceResult.toString();
        else created++;
    }
    check("sessions created and not activated count against the limit", /BadTooManySessions/.test(refusal),
        { created, refusal });
    const freed = await h.eventually(async () => {
        const r = await create();
        return typeof r !== "string" && r.responseHeader.serviceResult.value === 0;
    }, 15000, 1000);
    check("sessions never activated are closed after 10 s", freed);

    await raw.disconnect();
    await client.disconnect();
    await session.close();
    await small.disconnect();
    h.finish();
}

h.run(main);
