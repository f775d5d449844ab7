// /metrics scraped from the running server and parsed by Prometheus' own text-format parser
// (python3-prometheus-client): the request and error counts of each device match what the
// simulated devices logged, the histogram adds up, and the OPC UA figures follow the client.
"use strict";

const { spawnSync } = require("child_process");
const path = require("path");
const w = require("./webharness");
const { check } = w;

// Debian's Python, which python3-prometheus-client installs into (another python3 may come
// first on the PATH).
const PYTHON = process.env.VORN_PYTHON || "/usr/bin/python3";

function parse(text) {
    const result = spawnSync(PYTHON, [path.join(__dirname, "parse_metrics.py")], { input: text, encoding: "utf8" });
    if (result.status !== 0) throw new Error("the Prometheus parser refused the text: " + result.stderr);
    return JSON.parse(result.stdout);
}

function value(samples, name, labels = {}) {
    const found = samples.filter((s) => s.name === name &&
        Object.entries(labels).every(([k, v]) => s.labels[k] === v));
    return found.length === 1 ? found[0].value : undefined;
}

async function scrape(web) {
    const r = await w.request(`${web}/metrics`);
    if (r.status !== 200) throw new Error("/metrics answered " + r.status);
    return { headers: r.headers, samples: parse(r.body), text: r.body };
}

const reads = (sim) => sim.requests().filter((r) => r.fc === 3).length;

async function main() {
    w.limitRuntime(150000);
    const good = await w.startSimulator(w.simPath, "Good", ["--counter", "hr:1"]);
    const refusing = await w.startSimulator(w.simPath, "Refusing", ["--exception", "1:3:2"]);
    const deadPort = await w.freePort();
    const config = w.writeConfig(
        w.device("Good", good.port, w.tag("T", "HREGISTER VT_I2", "1")) +
        w.device("Refusing", refusing.port, w.tag("T", "HREGISTER VT_I2", "1")) +
        w.device("Dead", deadPort, w.tag("T", "HREGISTER VT_I2", "1"), 300));
    const server = await w.startTarnvale(config);
    const client = await w.keepPolled(server.url, ["ns=1;s=Good.T", "ns=1;s=Refusing.T", "ns=1;s=Dead.T"], 200);
    await w.eventually(() => reads(good) >= 10 && reads(refusing) >= 5, 20000);

    const live = await scrape(server.web);
    check("/metrics has the text format's content type",
        live.headers["content-type"].startsWith("text/plain; version=0.0.4"), live.headers["content-type"]);
    check("one OPC UA session with one subscription of three monitored items",
        value(live.samples, "vorn_opcua_sessions") === 1 && value(live.samples, "vorn_opcua_subscriptions") === 1 &&
        value(live.samples, "vorn_opcua_monitored_items") === 3,
        ["sessions", "subscriptions", "monitored_items"].map((n) => value(live.samples, `vorn_opcua_${n}`)));
    check("notifications were sent to the client", value(live.samples, "vorn_opcua_notifications_sent_total") > 0);
    const rss = value(live.samples, "process_resident_memory_bytes");
    check("the process's resident memory is reported", rss > 4e6 && rss < 2e9, rss);

    // The client leaves: polling stops, and the counts hold still to compare with the logs.
    await client.session.close();
    await client.client.disconnect();
    let before = -1;
    await w.eventually(async () => {
        const now = reads(good) + reads(refusing);
        const still = now === before;
        before = now;
        return still;
    }, 20000, 1500);
    const final = await scrape(server.web);
    const s = final.samples;
    const goodReads = reads(good), refusedReads = reads(refusing);
    console.log(`device logs: Good ${goodReads} reads, Refusing ${refusedReads} reads`);
    check("Good: requests match the device's log",
        value(s, "vorn_device_requests_total", { device: "Good" }) === goodReads,
        [value(s, "vorn_device_requests_total", { device: "Good" }), goodReads]);
    check("Good: no error, connected",
        s.filter((x) => x.name === "vorn_device_errors_total" && x.labels.device === "Good").length === 0 &&
        value(s, "vorn_device_connected", { device: "Good" }) === 1);
    check("Refusing: requests match the device's log",
        value(s, "vorn_device_requests_total", { device: "Refusing" }) === refusedReads,
        [value(s, "vorn_device_requests_total", { device: "Refusing" }), refusedReads]);
    check("Refusing: every logged request is an error with code 65 (exception 2)",
        value(s, "vorn_device_errors_total", { device: "Refusing", code: "65" }) === refusedReads,
        s.filter((x) => x.name === "vorn_device_errors_total" && x.labels.device === "Refusing"));
    const deadRequests = value(s, "vorn_device_requests_total", { device: "Dead" });
    const deadErrors = s.filter((x) => x.name === "vorn_device_errors_total" && x.labels.device === "Dead");
    check("Dead: every request failed, none reached a device",
        deadRequests > 0 && deadErrors.reduce((n, x) => n + x.value, 0) === deadRequests &&
        value(s, "vorn_device_connected", { device: "Dead" }) === 0, [deadRequests, deadErrors]);

    const buckets = s.filter((x) => x.name === "vorn_device_round_trip_seconds_bucket" && x.labels.device === "Good");
    const counts = buckets.map((b) => b.value);
    check("the round-trip histogram's buckets grow and end at +Inf with the count",
        buckets.length === 11 && counts.every((c, i) => i === 0 || c >= counts[i - 1]) &&
        buckets[buckets.length - 1].labels.le === "+Inf" &&
        counts[counts.length - 1] === value(s, "vorn_device_round_trip_seconds_count", { device: "Good" }) &&
        counts[counts.length - 1] === goodReads, counts);
    check("the read interval is known for a polled device",
        value(s, "vorn_device_read_interval_p50_seconds", { device: "Good" }) > 0.1);
    check("without a client the session figures are 0 again", value(s, "vorn_opcua_sessions") === 0 &&
        value(s, "vorn_opcua_monitored_items") === 0);
    check("no device is at a reduced rate (off unless a device sets it) and none has a split block",
        value(s, "vorn_device_reduced_rate", { device: "Dead" }) === 0 &&
        value(s, "vorn_device_split_blocks", { device: "Refusing" }) === 0);
    check("TCP devices have no bus load", !s.some((x) => x.name === "vorn_serial_line_busy_ratio"));
    server.child.kill("SIGTERM");
    w.finish();
}

main().catch((e) => { check("the script runs to its end", false, e.stack); w.finish(); });
