// Attackers (attackers.js) in a process of their own, so that their work does not share the
// measuring client's event loop:
//   node attacker_process.js '{"kind":"login","port":4840,"addresses":["127.0.0.2"],"outstanding":16,
//                      "serverCertificate":null}'
//   node attacker_process.js '{"kind":"open","port":4840,"addresses":[...],"certificate":"c.der",
//                      "serverCertificate":"s.der","blocks":240}'
// Runs until SIGTERM, then prints what its attackers sent and got back, as JSON.
"use strict";

const fs = require("fs");
const path = require("path");
const a = require(path.join(__dirname, "attackers.js"));

const spec = JSON.parse(process.argv[2]);
const read = (file) => (file ? fs.readFileSync(file) : null);
const attackers = spec.addresses.map((address) => spec.kind === "login"
    ? a.loginFlood(spec.port, address, spec.outstanding, read(spec.serverCertificate))
    : a.openFlood(spec.port, address, read(spec.certificate), read(spec.serverCertificate), spec.blocks));

process.on("SIGTERM", async () => {
    for (const attacker of attackers) await attacker.stop();
    const total = {};
    for (const { stats } of attackers)
        for (const [k, v] of Object.entries(stats)) total[k] = (total[k] || 0) + v;
    process.stdout.write(JSON.stringify(total) + "\n", () => process.exit(0));
});
