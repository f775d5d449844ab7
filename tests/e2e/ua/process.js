// The server process as clients see it: started on demand it ends after its last session;
// stopped with a client connected it shows State Shutdown with the reason and ends within
// 10 s, also while a device with a long timeout keeps it waiting; a client that loses its
// socket reconnects and keeps its session and subscription.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, TimestampsToReturn } = opcua;

async function readStatus(session) {
    const dvs = await session.read([2259, 2992, 2993].map((n) => ({ nodeId: `i=${n}`, attributeId: AttributeIds.Value })));
    return { state: dvs[0].value.value, seconds: dvs[1].value.value, reason: dvs[2].value.value && dvs[2].value.value.text };
}

async function embedded(config) {
    const server = await h.startServer(h.hostPath, config, ["-Embedding"]);
    const { client, session } = await h.connect(server.url);
    const status = await readStatus(session);
    check("an embedded server serves its client", status.state === 0, status);
    await session.close();
    const closedAt = Date.now();
    await client.disconnect();
    const code = await h.waitForExit(server.child, 5000);
    check("an embedded server ends within a few seconds after its last session closes",
        code !== null, { code, ms: Date.now() - closedAt });
}

async function stoppedWithClient(config) {
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);
    const sub = await session.createSubscription2({ requestedPublishingInterval: 200,
        requestedLifetimeCount: 100, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    const states = [];
    const item = await sub.monitor({ nodeId: "i=2259", attributeId: AttributeIds.Value },
        { samplingInterval: 200, queueSize: 1 }, TimestampsToReturn.Both);
    item.on("changed", (dv) => states.push(dv.value.value));
    await h.eventually(() => states.length > 0, 2000);
    check("State is Running before the stop", states[0] === 0, states);
    const stoppedAt = Date.now();
    server.child.kill("SIGTERM");
    const sawShutdown = await h.eventually(() => states.includes(4), 3000);
    check("a subscribed client sees State Shutdown", sawShutdown, states);
    const status = await readStatus(session).catch((e) => ({ error: e.message }));
    check("ShutdownReason is \"Server shutdown\" with a countdown",
        status.state === 4 && status.reason === "Server shutdown" && status.seconds > 0 && status.seconds <= 10, status);
    // The client does not let go: the server still ends within 10 s.
    const code = await h.waitForExit(server.child, 13000);
    check("a stopped server ends within 10 s though its client stays", code !== null && Date.now() - stoppedAt <= 12000,
        { code, ms: Date.now() - stoppedAt });
    await client.disconnect().catch(() => {});
}

async function stoppedWhileADeviceIsSlow(sim) {
    const config = h.writeConfig(h.device("Slow", sim.port, h.tag("T", "HREGISTER VT_I2", 0), 100000));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);
    const sub = await session.createSubscription2({ requestedPublishingInterval: 200,
        requestedLifetimeCount: 100, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    await sub.monitor({ nodeId: "ns=1;s=Slow.T", attributeId: AttributeIds.Value },
        { samplingInterval: 200, queueSize: 1 }, TimestampsToReturn.Both);
    const polled = await h.eventually(() => sim.requests().length > 0, 5000);
    check("the server waits on a device that does not answer", polled);
    const stoppedAt = Date.now();
    server.child.kill("SIGTERM");
    const code = await h.waitForExit(server.child, 20000);
    check("a server waiting 100 s on a device still ends within 10 s of the grace for clients",
        code !== null && Date.now() - stoppedAt <= 12000, { code, ms: Date.now() - stoppedAt });
    await client.disconnect().catch(() => {});
}

async function reconnects(config) {
    const server = await h.startServer(h.hostPath, config);
    const client = h.makeClient({ connectionStrategy: { maxRetry: 10, initialDelay: 200, maxDelay: 1000 } });
    await client.connect(server.url);
    const session = await client.createSession();
    const sessionId = session.sessionId.toString();
    const sub = await session.createSubscription2({ requestedPublishingInterval: 200,
        requestedLifetimeCount: 300, requestedMaxKeepAliveCount: 10, publishingEnabled: true });
    const values = [];
    const item = await sub.monitor({ nodeId: "ns=1;s=P1.Counter", attributeId: AttributeIds.Value },
        { samplingInterval: 200, queueSize: 1 }, TimestampsToReturn.Both);
    item.on("changed", (dv) => values.push(dv.value.value));
    await h.eventually(() => values.filter((v) => typeof v === "number").length >= 2, 5000);
    let reestablished = false;
    client.on("connection_reestablished", () => (reestablished = true));
    // The socket goes away under the client.
    const channel = client._secureChannel;
    if (channel.forceConnectionBreak) channel.forceConnectionBreak();
    else channel.getTransport()._socket.destroy();
    const back = await h.eventually(() => reestablished, 10000);
    check("the client reconnects after losing its socket", back);
    const seen = values.length;
    const more = await h.eventually(() => values.length >= seen + 2, 8000);
    check("data changes of the same subscription resume", more, values);
    check("the session is the same one", session.sessionId.toString() === sessionId);
    const read = await session.read({ nodeId: "ns=1;s=P1.Counter", attributeId: AttributeIds.Value }, 0);
    check("the resumed session reads", read.statusCode.value === 0, read.toString());
    await session.close();
    await client.disconnect();
    server.child.kill("SIGTERM");
    await h.waitForExit(server.child, 12000);
}

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--counter", "hr:0"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("Counter", "HREGISTER VT_I2", 0)));
    await embedded(config);
    await stoppedWithClient(config);
    await reconnects(config);
    const silent = await h.startSimulator(h.simPath, "silent", ["--unit", "1", "--silent", "1"]);
    await stoppedWhileADeviceIsSlow(silent);
    h.finish();
}

h.run(main);
