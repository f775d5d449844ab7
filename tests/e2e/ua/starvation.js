// A greedy client against the real server: it keeps 30 Reads with maxAge 0 of a silent
// device outstanding, then fires a burst of them at once, while another client's cache read,
// browse and new session must each complete within 200 ms. What one session may keep waiting
// for devices is bounded (BadTooManyOperations), and its calls still end in time.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds } = opcua;

const kPrompt = 200;

// The other client's three requests, each timed; the slowest of each kind after `rounds`.
async function measureOthers(good, url, rounds) {
    const slowest = { cacheRead: 0, browse: 0, newSession: 0 };
    const failures = [];
    for (let i = 0; i < rounds; i++) {
        let start = Date.now();
        const dv = await good.session.read({ nodeId: "ns=1;s=P1.T", attributeId: AttributeIds.Value }, 60000);
        slowest.cacheRead = Math.max(slowest.cacheRead, Date.now() - start);
        if (dv.statusCode.value !== 0 || dv.value.value !== 42) failures.push(dv.toString());
        start = Date.now();
        const browsed = await good.session.browse("ns=0;i=85");
        slowest.browse = Math.max(slowest.browse, Date.now() - start);
        if (!browsed.references.some((r) => r.browseName.name === "S")) failures.push("browse without S");
        start = Date.now();
        const extra = await good.client.createSession();
        slowest.newSession = Math.max(slowest.newSession, Date.now() - start);
        await extra.close();
        await h.sleep(100);
    }
    return { slowest, failures };
}

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0=42"]);
    const silent = await h.startSimulator(h.simPath, "silent", ["--silent", "1"]);
    const config = h.writeConfig(h.device("P1", sim.port, h.tag("T", "HREGISTER VT_I2", 0)) +
        h.device("S", silent.port, h.tag("T", "HREGISTER VT_I2", 0), 3000));
    const server = await h.startServer(h.hostPath, config);
    const good = await h.connect(server.url);
    const greedy = await h.connect(server.url, { requestedSessionTimeout: 600000 });
    // A device read fills the cache of P1.T.
    const first = await good.session.read({ nodeId: "ns=1;s=P1.T", attributeId: AttributeIds.Value }, 0);
    check("the good device answers", first.value.value === 42, first.toString());

    // 30 device reads kept outstanding: each is sent again as soon as it ends.
    const silentRead = () => greedy.session.read({ nodeId: "ns=1;s=S.T", attributeId: AttributeIds.Value }, 0)
        .then((dv) => dv.statusCode.name, (e) => String(e.message));
    let keeping = true;
    const outcomes = [];
    const workers = [];
    for (let w = 0; w < 30; w++)
        workers.push((async () => {
            while (keeping) outcomes.push(await silentRead());
        })());
    await h.sleep(500);
    const kept = await measureOthers(good, server.url, 10);
    console.log(`     with 30 outstanding: slowest cache read ${kept.slowest.cacheRead} ms, browse ` +
        `${kept.slowest.browse} ms, new session ${kept.slowest.newSession} ms`);
    check("with 30 device reads outstanding the other client's cache read is prompt",
        kept.slowest.cacheRead < kPrompt, kept.slowest);
    check("its browse is prompt", kept.slowest.browse < kPrompt, kept.slowest);
    check("its new session is prompt", kept.slowest.newSession < kPrompt, kept.slowest);
    check("and its answers are right", kept.failures.length === 0, kept.failures.slice(0, 3));
    keeping = false;
    await Promise.all(workers);
    // The engine gives up on the silent device after its timeout; the server's own deadline
    // would end the calls otherwise.
    const gaveUp = (o) => o === "BadNoCommunication" || o === "BadTimeout";
    check("the silent device's reads end with BadNoCommunication",
        outcomes.length >= 30 && outcomes.every(gaveUp), [...new Set(outcomes)]);

    // A burst: 100 reads sent at once; what is beyond the session's bound is refused at once.
    const start = Date.now();
    const burst = [];
    for (let i = 0; i < 100; i++) burst.push(silentRead().then((o) => ({ o, ms: Date.now() - start })));
    const pipelined = await measureOthers(good, server.url, 10);
    console.log(`     with 100 pipelined: slowest cache read ${pipelined.slowest.cacheRead} ms, browse ` +
        `${pipelined.slowest.browse} ms, new session ${pipelined.slowest.newSession} ms`);
    check("with 100 device reads pipelined the other client's cache read is prompt",
        pipelined.slowest.cacheRead < kPrompt, pipelined.slowest);
    check("its browse is prompt", pipelined.slowest.browse < kPrompt, pipelined.slowest);
    check("its new session is prompt", pipelined.slowest.newSession < kPrompt, pipelined.slowest);
    const ended = await Promise.all(burst);
    const refused = ended.filter((e) => /BadTooManyOperations/.test(e.o));
    const waited = ended.filter((e) => gaveUp(e.o));
    check("a session keeps at most 50 calls waiting for devices; the others get BadTooManyOperations at once",
        waited.length === 50 && refused.length === 50 && refused.every((e) => e.ms < 2000),
        { waited: waited.length, refused: refused.length, slowestRefusal: Math.max(...refused.map((e) => e.ms)) });

    // The greedy session itself is still served, from the cache and from the good device.
    const own = await greedy.session.read({ nodeId: "ns=1;s=P1.T", attributeId: AttributeIds.Value }, 0);
    check("the greedy session's own device read of a good device works afterwards", own.value.value === 42, own.toString());

    await greedy.session.close();
    await greedy.client.disconnect();
    await good.session.close();
    await good.client.disconnect();
    h.finish();
}

h.run(main);
