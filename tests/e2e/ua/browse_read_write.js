// Browse, Read and Write through the real server against device simulators: the tree with
// every native type, reads from device and cache, writes and their failures.
"use strict";

const h = require("./harness");
const { opcua, check } = h;
const { AttributeIds, DataType, StatusCodes, BrowseDirection } = opcua;

// Native type of each tag: item ID, datatype text, address, extra elements, DataType id,
// ValueRank, ArrayDimensions, access.
const TAGS = [
    ["P1.Pumps.Level", "HREGISTER VT_I2", 0, "", 4, -1, null, "READWRITE"],
    ["P1.Pumps.Count", "HREGISTER VT_UI2", 2, "", 5, -1, null, "READWRITE"],
    ["P1.Pumps.Total", "HREGISTER VT_I4", 4, "", 6, -1, null, "READWRITE"],
    ["P1.Pumps.Big", "HREGISTER VT_UI4", 6, "", 7, -1, null, "READWRITE"],
    ["P1.Pumps.Flow", "HREGISTER VT_R4", 10, "", 10, -1, null, "READWRITE"],
    ["P1.Run", "COIL VT_BOOL", 0, "", 1, -1, null, "READWRITE"],
    ["P1.Name", "HREGISTER VT_BSTR", 20, "<elements>5</elements>", 12, -1, null, "READWRITE"],
    ["P1.Arr", "HREGISTER VT_I2 ARRAY", 30, "<elements>10</elements>", 4, 1, [10], "READWRITE"],
    ["P1.Bytes", "HREGISTER VT_UI1 ARRAY", 40, "<elements>4</elements>", 3, 1, [4], "READWRITE"],
    ["P1.SBytes", "HREGISTER VT_I1 ARRAY", 44, "<elements>4</elements>", 2, 1, [4], "READWRITE"],
    ["P1.Flags", "COIL ARRAY", 10, "<elements>8</elements>", 1, 1, [8], "READWRITE"],
    ["P1.RO", "HREGISTER VT_I2", 50, "", 4, -1, null, "READ"],
    ["P1.Other", "HREGISTER VT_I2", 0, "", 4, -1, null, "READWRITE"],
    ["Dead.T", "HREGISTER VT_I2", 0, "", 4, -1, null, "READWRITE"],
];

const id = (itemId) => `ns=1;s=${itemId}`;
const leaf = (t) => h.tag(t[0].split(".").pop(), t[1], t[2], t[7], t[3]);

async function browseNames(session, nodeId) {
    const result = await session.browse({
        nodeId, browseDirection: BrowseDirection.Forward, referenceTypeId: "HierarchicalReferences",
        includeSubtypes: true, nodeClassMask: 0, resultMask: 63,
    });
    return result.references.map((r) => r.browseName.name);
}

async function main() {
    h.limitRuntime(120000);
    const sim1 = await h.startSimulator(h.simPath, "sim1", ["--set", "hr:0=1234", "--set", "hr:50=9",
        "--set", 'hr:20="ABCDE"', "--set", "coil:0=1"]);
    const sim2 = await h.startSimulator(h.simPath, "sim2", ["--set", "hr:0=77"]);
    const dead = await h.freePort();
    const p1Tags = TAGS.filter((t) => t[0].startsWith("P1.") && t[0] !== "P1.Other");
    const pumps = p1Tags.filter((t) => t[0].startsWith("P1.Pumps.")).map(leaf).join("");
    const direct = p1Tags.filter((t) => !t[0].startsWith("P1.Pumps.")).map(leaf).join("");
    const config = h.writeConfig(
        h.device("P1", sim1.port, `<Pumps>\r\n${pumps}</Pumps>\r\n${direct}`) +
        h.device("P1", sim2.port, leaf(TAGS.find((t) => t[0] === "P1.Other"))) +
        h.device("Dead", dead, leaf(TAGS.find((t) => t[0] === "Dead.T")), 300));
    const server = await h.startServer(h.hostPath, config);
    const { client, session } = await h.connect(server.url);

    // The tree: one P1 folder holding the tags of both devices named P1.
    const objects = await browseNames(session, "i=85");
    check("Objects holds the device folders and the Server object",
        ["P1", "Dead", "Server"].every((n) => objects.includes(n)), objects);
    check("two devices named P1 are one folder", objects.filter((n) => n === "P1").length === 1, objects);
    const p1 = await browseNames(session, id("P1"));
    check("the P1 folder holds its branch and the tags of both devices",
        ["Pumps", "Run", "Name", "Arr", "Other"].every((n) => p1.includes(n)), p1);
    const pumpNames = await browseNames(session, id("P1.Pumps"));
    check("the branch folder holds its tags", pumpNames.length === 5, pumpNames);

    // Attributes of every tag, as configured.
    for (const t of TAGS) {
        const attrs = [AttributeIds.DataType, AttributeIds.ValueRank, AttributeIds.ArrayDimensions,
            AttributeIds.AccessLevel, AttributeIds.UserAccessLevel, AttributeIds.Description,
            AttributeIds.BrowseName, AttributeIds.NodeClass];
        const dvs = await session.read(attrs.map((a) => ({ nodeId: id(t[0]), attributeId: a })));
        const dims = dvs[2].value.value ? Array.from(dvs[2].value.value) : null;
        const access = t[7] === "READ" ? 1 : 3;
        const ok = dvs[0].value.value.value === t[4] && dvs[1].value.value === t[5] &&
            JSON.stringify(dims) === JSON.stringify(t[6]) && dvs[3].value.value === access &&
            dvs[4].value.value === access && dvs[5].value.value.text === `about ${t[0].split(".").pop()}` &&
            dvs[6].value.value.name === t[0].split(".").pop() && dvs[7].value.value === 2;
        check(`attributes of ${t[0]} (${t[1]})`, ok, dvs.map((d) => d.value && d.value.value));
    }

    // Before the first poll a tag reads Uncertain, from the cache, without touching the device.
    const before = sim1.requests().length;
    const cached = await session.read({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value }, 60000);
    check("before the first poll the tag reads Uncertain", cached.statusCode.value === 0x40000000,
        cached.statusCode.toString());
    // Read with maxAge 0 reaches the device.
    const fromDevice = await session.read({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value }, 0);
    check("read with maxAge 0 returns the device's value with Good",
        fromDevice.statusCode === StatusCodes.Good && fromDevice.value.value === 1234, fromDevice.toString());
    const reads = sim1.requests().filter((r) => r.fc === 3 && r.start === 0);
    check("read with maxAge 0 is seen in the device's request log", reads.length >= 1 && sim1.requests().length > before);
    const afterDevice = sim1.requests().length;
    const again = await session.read({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value }, 100000);
    check("read with a large maxAge answers from the cache",
        again.statusCode === StatusCodes.Good && again.value.value === 1234, again.toString());
    await h.sleep(300);
    check("read with a large maxAge does not touch the device", sim1.requests().length === afterDevice,
        sim1.requests().length - afterDevice);

    // Several types from the device.
    const many = await session.read(["P1.Name", "P1.Arr", "P1.Run", "P1.Other", "P1.RO"].map((n) =>
        ({ nodeId: id(n), attributeId: AttributeIds.Value })), 0);
    check("a string tag reads as String", many[0].value.dataType === DataType.String &&
        many[0].value.value.startsWith("ABCDE"), many[0].toString());
    check("an array tag reads as an array of its length", many[1].value.arrayType === 1 &&
        many[1].value.value.length === 10, many[1].toString());
    check("a coil reads as Boolean", many[2].value.dataType === DataType.Boolean && many[2].value.value === true, many[2].toString());
    check("the second device named P1 is read", many[3].value.value === 77, many[3].toString());
    check("a read-only tag reads", many[4].value.value === 9, many[4].toString());

    // Writes.
    const written = await session.write({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, value: 4321 } } });
    check("a write succeeds", written === StatusCodes.Good, written.toString());
    const writes = sim1.requests().filter((r) => (r.fc === 6 || r.fc === 16) && r.start === 0);
    check("the write reaches the device", writes.some((r) => r.data === "10e1"), writes);
    const readBack = await session.read({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value }, 0);
    check("the written value reads back from the device", readBack.value.value === 4321, readBack.toString());
    const arrWrite = await session.write({ nodeId: id("P1.Arr"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, arrayType: 1, value: new Int16Array([1, 2, 3, 4, 5, 6, 7, 8, 9, 10]) } } });
    check("an array write succeeds", arrWrite === StatusCodes.Good, arrWrite.toString());
    const slice = await session.read({ nodeId: id("P1.Arr"), attributeId: AttributeIds.Value, indexRange: "2:4" }, 0);
    check("an index range reads a slice of the written array",
        JSON.stringify(Array.from(slice.value.value || [])) === "[3,4,5]", slice.toString());
    const deadWrite = await session.write({ nodeId: id("Dead.T"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, value: 1 } } });
    check("a write to a device that refuses connections gives BadNoCommunication",
        deadWrite.value === 0x80310000, deadWrite.toString());
    const roWrite = await session.write({ nodeId: id("P1.RO"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.Int16, value: 1 } } });
    check("a write to a read-only tag gives BadNotWritable", roWrite.value === 0x803B0000, roWrite.toString());
    const typeWrite = await session.write({ nodeId: id("P1.Pumps.Level"), attributeId: AttributeIds.Value,
        value: { value: { dataType: DataType.String, value: "abc" } } });
    check("a value of another type gives BadTypeMismatch", typeWrite.value === 0x80740000, typeWrite.toString());
    const deadRead = await session.read({ nodeId: id("Dead.T"), attributeId: AttributeIds.Value }, 0);
    check("a read from an unreachable device gives its bad quality", deadRead.statusCode.value === 0x80310000,
        deadRead.statusCode.toString());

    // The Server object.
    const status = await session.read(["i=2259", "i=2264", "i=2265", "i=2262", "i=2255", "i=11705"].map((n) =>
        ({ nodeId: n, attributeId: AttributeIds.Value })));
    check("ServerStatus State is Running", status[0].value.value === 0);
    check("BuildInfo carries version 1.10 and build 100",
        status[1].value.value === "1.10" && status[2].value.value === "100", [status[1].value.value, status[2].value.value]);
    check("BuildInfo carries the vendor text", /Vorn/.test(status[3].value.value), status[3].value.value);
    check("NamespaceArray has the standard namespace, the tags' and the device health's",
        status[4].value.value.length === 3 && status[4].value.value[0] === "http://opcfoundation.org/UA/" &&
        status[4].value.value[2].endsWith(":health"), status[4].value.value);
    check("MaxNodesPerRead is announced", status[5].value.value > 0);
    const whole = await session.read({ nodeId: "i=2256", attributeId: AttributeIds.Value });
    const serverStatus = whole.value.value || {};
    check("ServerStatus decodes as a structure with its build information",
        serverStatus.state === 0 && serverStatus.buildInfo && serverStatus.buildInfo.softwareVersion === "1.10" &&
        serverStatus.buildInfo.buildNumber === "100" && serverStatus.currentTime instanceof Date,
        whole.toString());
    const unknown = await session.read({ nodeId: "ns=1;s=P1.Nope", attributeId: AttributeIds.Value });
    check("an unknown node gives BadNodeIdUnknown", unknown.statusCode.value === 0x80340000);

    // TranslateBrowsePathsToNodeIds and BrowseNext.
    const translated = await session.translateBrowsePath(
        opcua.makeBrowsePath("i=85", "/1:P1/1:Pumps/1:Level"));
    check("a browse path leads to the tag", translated.statusCode === StatusCodes.Good &&
        translated.targets[0].targetId.toString() === "ns=1;s=P1.Pumps.Level", translated.toString());
    const paged = await session.browse({ nodeId: id("P1.Pumps"), browseDirection: BrowseDirection.Forward,
        referenceTypeId: "Organizes", includeSubtypes: true, resultMask: 63 });
    session.requestedMaxReferencesPerNode = 2;
    const first = await session.browse({ nodeId: id("P1.Pumps"), browseDirection: BrowseDirection.Forward,
        referenceTypeId: "Organizes", includeSubtypes: true, resultMask: 63 });
    let names = first.references.map((r) => r.browseName.name);
    let cp = first.continuationPoint;
    check("a browse limited to 2 references gives a continuation point", names.length === 2 && cp && cp.length > 0);
    while (cp && cp.length) {
        const next = await session.browseNext(cp, false);
        names = names.concat(next.references.map((r) => r.browseName.name));
        cp = next.continuationPoint;
    }
    check("BrowseNext hands out the rest", JSON.stringify(names) ===
        JSON.stringify(paged.references.map((r) => r.browseName.name)), names);

    // RegisterNodes gives back ids that read the same tag; FindServers describes the server.
    const registered = await session.registerNodes([id("P1.Pumps.Level")]);
    const viaRegistered = await session.read({ nodeId: registered[0], attributeId: AttributeIds.Value }, 100000);
    check("a registered node id reads the tag", viaRegistered.value.value === 4321, viaRegistered.toString());
    await session.unregisterNodes(registered);
    const servers = await client.findServers();
    check("FindServers describes this server", servers.length === 1 && servers[0].applicationType === 0 &&
        servers[0].discoveryUrls.length === 1, servers.map((s) => s.applicationUri));
    const unsupported = await session.call({ objectId: "i=2253", methodId: "i=11492", inputArguments: [] })
        .then((r) => r.statusCode, (e) => e.message);
    check("a service outside the subset answers BadServiceUnsupported", /BadServiceUnsupported/.test(String(unsupported)),
        String(unsupported));

    await session.close();
    await client.disconnect();
    h.finish();
}

h.run(main);
