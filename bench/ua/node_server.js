// The reference for the OPC UA benchmark: a node-opcua server exposing the same variables as
// the gateway under test (ns=1;s=D<d>.T<t>, Int16), each ramping one step every 100 ms: the
// values are set every 100 ms (a value getter would only be read when the server samples it).
//   node node_server.js PORT DEVICES TAGS_PER_DEVICE [secure|none]
// "secure": Basic256Sha256 SignAndEncrypt only, every client certificate accepted.
"use strict";

const { OPCUAServer } = require("node-opcua-server");
const { MessageSecurityMode, SecurityPolicy, DataType, Variant } = require("node-opcua-client");

async function main() {
    const [port, devices, tags] = process.argv.slice(2, 5).map(Number);
    const secure = process.argv[5] === "secure";
    const { OPCUACertificateManager } = require("node-opcua-certificate-manager");
    const server = new OPCUAServer({
        port,
        securityModes: [secure ? MessageSecurityMode.SignAndEncrypt : MessageSecurityMode.None],
        securityPolicies: [secure ? SecurityPolicy.Basic256Sha256 : SecurityPolicy.None],
        serverCertificateManager: new OPCUACertificateManager({ automaticallyAcceptUnknownCertificate: true,
            rootFolder: require("path").join(require("os").homedir(), "server-pki") }),
        allowAnonymous: true, serverCapabilities: { maxSessions: 10 },
    });
    await server.initialize();
    const namespace = server.engine.addressSpace.getOwnNamespace();
    const objects = server.engine.addressSpace.rootFolder.objects;
    const variables = [];
    for (let d = 0; d < devices; d++) {
        const folder = namespace.addFolder(objects, { browseName: `D${d}`, nodeId: `s=D${d}` });
        for (let t = 0; t < tags; t++)
            variables.push([t, namespace.addVariable({ organizedBy: folder, browseName: `T${t}`,
                nodeId: `s=D${d}.T${t}`, dataType: "Int16", minimumSamplingInterval: 100 })]);
    }
    const step = () => {
        const now = Math.floor(Date.now() / 100);
        for (const [t, variable] of variables)
            variable.setValueFromSource(new Variant({ dataType: DataType.Int16, value: (now + t) % 101 }));
    };
    step();
    setInterval(step, 100);
    await server.start();
    console.log(`listening ${port}`);
}

main().catch((e) => {
    console.error(e);
    process.exit(1);
});
