// The whole address space as a generic client walks it: every node reachable from Root over
// forward references of any type (standard nodes, type trees, the Server object, device and
// branch folders, tags, DeviceHealth) carries the attributes its node class makes mandatory,
// and every object and variable exactly one type definition (others none).
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, BrowseDirection, NodeClass } = opcua;

const kHasTypeDefinition = "ns=0;i=40";
const common = [AttributeIds.NodeId, AttributeIds.NodeClass, AttributeIds.BrowseName, AttributeIds.DisplayName];
const mandatory = {
    [NodeClass.Object]: [AttributeIds.EventNotifier],
    [NodeClass.Variable]: [AttributeIds.Value, AttributeIds.DataType, AttributeIds.ValueRank, AttributeIds.AccessLevel,
        AttributeIds.UserAccessLevel, AttributeIds.Historizing],
    [NodeClass.ObjectType]: [AttributeIds.IsAbstract],
    [NodeClass.VariableType]: [AttributeIds.DataType, AttributeIds.ValueRank, AttributeIds.IsAbstract],
    [NodeClass.ReferenceType]: [AttributeIds.IsAbstract, AttributeIds.Symmetric],
    [NodeClass.DataType]: [AttributeIds.IsAbstract],
    [NodeClass.View]: [AttributeIds.ContainsNoLoops, AttributeIds.EventNotifier],
};

async function browseAll(session, nodeId) {
    let result = await session.browse({ nodeId, browseDirection: BrowseDirection.Forward,
        referenceTypeId: "ns=0;i=31", includeSubtypes: true, nodeClassMask: 0, resultMask: 63 });
    const references = [...(result.references || [])];
    while (result.continuationPoint && result.continuationPoint.length) {
        result = await session.browseNext(result.continuationPoint, false);
        references.push(...(result.references || []));
    }
    return { status: result.statusCode.name, references };
}

async function main() {
    h.limitRuntime(150000);
    const sim = await h.startSimulator(h.simPath, "sim", ["--set", "hr:0..9=7"]);
    const config = h.writeConfig(
        h.device("P1", sim.port, h.tag("Level", "HREGISTER VT_I2", 0) +
            "<Pumps>" + h.tag("Speed", "HREGISTER VT_R4", 2) + h.tag("Hours", "IREGISTER VT_I4", 4, "READ") +
            h.tag("Flags", "HREGISTER VT_BOOL", 6, "READWRITE", "<elements>4</elements>") + "</Pumps>") +
        h.device("P2", sim.port, h.tag("Name", "HREGISTER VT_BSTR", 10, "READ", "<elements>8</elements>")));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    const seen = new Map(); // node id text -> node class
    const problems = [];
    const queue = ["ns=0;i=84"];
    const classes = {};
    while (queue.length) {
        const nodeId = queue.shift();
        if (seen.has(nodeId)) continue;
        seen.set(nodeId, null);
        const { status, references } = await browseAll(session, nodeId);
        if (status !== "Good") problems.push(`${nodeId}: browse ${status}`);
        const typeDefinitions = references.filter((r) => r.referenceTypeId.toString() === kHasTypeDefinition);
        for (const r of references) {
            const target = r.nodeId.toString();
            if (!seen.has(target) && r.nodeId.namespace !== undefined) queue.push(target);
        }
        const values = await session.read(common.map((attributeId) => ({ nodeId, attributeId })));
        const nodeClass = values[1].value.value;
        classes[nodeClass] = (classes[nodeClass] || 0) + 1;
        seen.set(nodeId, nodeClass);
        common.forEach((attributeId, i) => {
            if (values[i].statusCode.name !== "Good")
                problems.push(`${nodeId}: ${AttributeIds[attributeId]} ${values[i].statusCode.name}`);
        });
        if (values[0].value.value && values[0].value.value.toString() !== nodeId)
            problems.push(`${nodeId}: NodeId attribute ${values[0].value.value.toString()}`);
        const more = mandatory[nodeClass];
        if (!more) {
            problems.push(`${nodeId}: unknown node class ${nodeClass}`);
            continue;
        }
        const extra = await session.read(more.map((attributeId) => ({ nodeId, attributeId })), 60000);
        more.forEach((attributeId, i) => {
            const name = extra[i].statusCode.name;
            // A tag's value may be Bad or Uncertain (its device); the attribute is there all the same.
            const fine = attributeId === AttributeIds.Value ? name !== "BadAttributeIdInvalid" : name === "Good";
            if (!fine) problems.push(`${nodeId}: ${AttributeIds[attributeId]} ${name}`);
        });
        const typed = nodeClass === NodeClass.Object || nodeClass === NodeClass.Variable;
        if (typeDefinitions.length !== (typed ? 1 : 0))
            problems.push(`${nodeId}: ${typeDefinitions.length} type definitions ` +
                `(${typeDefinitions.map((r) => r.nodeId.toString()).join(", ")})`);
    }
    console.log(`     walked ${seen.size} nodes: ${JSON.stringify(classes)}`);
    const ids = [...seen.keys()];
    check("the walk reaches standard nodes, tags of every kind and DeviceHealth",
        ["ns=0;i=2256", "ns=0;i=24", "ns=1;s=P1.Pumps.Flags", "ns=1;s=P2.Name"].every((id) => ids.includes(id)) &&
        ids.some((id) => /DeviceHealth\.P1\.Connected/.test(id)), ids.filter((id) => !id.startsWith("ns=0")).slice(0, 20));
    check("every node has its mandatory attributes and objects and variables one type definition each",
        problems.length === 0, problems.slice(0, 10));

    await session.close();
    await client.disconnect();
}

main().then(h.finish, (e) => {
    check("script ran to the end", false, e.stack);
    h.finish();
});
