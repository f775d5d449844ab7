// Shows the demo tags read through OPC UA as a live table until Ctrl-C.
//   node live-table.js opc.tcp://localhost:4840 Demo.Process.Counter Demo.Pump ...
// DEMO_ADVERTISED, when set, is the endpoint shown for other clients.
const {
    OPCUAClient, MessageSecurityMode, SecurityPolicy, AttributeIds, TimestampsToReturn,
} = require("node-opcua-client");

const [endpoint, ...itemIds] = process.argv.slice(2);

function cell(text, width) {
    text = String(text);
    return text.length > width ? text.slice(0, width - 1) + "~" : text.padEnd(width);
}

function render(rows) {
    const advertised = process.env.DEMO_ADVERTISED || endpoint;
    const lines = [`Tarnvale serves OPC UA at ${advertised} (security None, anonymous)`,
                   `Live values read through OPC UA from ${endpoint}   (Ctrl-C ends the demo)`, "",
                   cell("Item ID", 26) + cell("Value", 16) + cell("Quality", 28) + "Timestamp",
                   "-".repeat(96)];
    for (const id of itemIds) {
        const row = rows.get(id) || {};
        lines.push(cell(id, 26) + cell(row.value ?? "", 16) + cell(row.quality ?? "waiting", 28) +
                   (row.timestamp ?? ""));
    }
    process.stdout.write("\x1b[H\x1b[2J" + lines.join("\n") + "\n");
}

async function main() {
    const client = OPCUAClient.create({
        endpointMustExist: false, securityMode: MessageSecurityMode.None,
        securityPolicy: SecurityPolicy.None, connectionStrategy: { maxRetry: 3 },
    });
    await client.connect(endpoint);
    const session = await client.createSession();
    const subscription = await session.createSubscription2({
        requestedPublishingInterval: 500, requestedMaxKeepAliveCount: 10,
        requestedLifetimeCount: 100, publishingEnabled: true,
    });
    const rows = new Map();
    for (const id of itemIds) {
        const item = await subscription.monitor(
            { nodeId: `ns=1;s=${id}`, attributeId: AttributeIds.Value },
            { samplingInterval: 500, queueSize: 1, discardOldest: true },
            TimestampsToReturn.Both);
        item.on("changed", (dataValue) => {
            const v = dataValue.value.value;
            rows.set(id, {
                value: typeof v === "number" && !Number.isInteger(v) ? v.toFixed(3) : v,
                quality: dataValue.statusCode.name,
                timestamp: dataValue.sourceTimestamp ? dataValue.sourceTimestamp.toISOString() : "",
            });
        });
    }
    const timer = setInterval(() => render(rows), 1000);
    const stop = async () => {
        clearInterval(timer);
        await session.close().catch(() => {});
        await client.disconnect().catch(() => {});
        process.exit(0);
    };
    process.on("SIGINT", stop);
    process.on("SIGTERM", stop);
}

main().catch((error) => {
    console.error(`live table: ${error.message}`);
    process.exit(1);
});
