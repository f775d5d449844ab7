// Client certificates the tests make for themselves (RSA 2048, self-signed, SHA-256), written
// as PEM files for node-opcua, and what a certificate says about itself.
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const os = require("os");
const path = require("path");
const pki = require("node-opcua-crypto");

async function create(folder, name, uri, notBefore = new Date(Date.now() - 3600000),
    notAfter = new Date(Date.now() + 365 * 24 * 3600000)) {
    const key = await pki.generatePrivateKey(2048);
    const { privPem } = await pki.privateKeyToPEM(key);
    const { cert } = await pki.createSelfSignedCertificate({ privateKey: key, notBefore, notAfter,
        subject: `/CN=${name}/O=Tests`, dns: [os.hostname()], applicationUri: uri,
        purpose: pki.CertificatePurpose.ForApplication });
    const certFile = path.join(folder, `${name}.pem`);
    const keyFile = path.join(folder, `${name}-key.pem`);
    fs.writeFileSync(certFile, cert);
    fs.writeFileSync(keyFile, privPem, { mode: 0o600 });
    const der = new crypto.X509Certificate(cert).raw;
    return { certFile, keyFile, uri, der, pem: cert };
}

function describe(der) {
    const x = new crypto.X509Certificate(der);
    const alt = x.subjectAltName || "";
    return {
        bits: x.publicKey.asymmetricKeyDetails.modulusLength,
        signature: x.toLegacyObject().asn1Curve || signatureAlgorithm(der),
        selfSigned: x.verify(x.publicKey) && x.issuer === x.subject,
        uri: (alt.match(/URI:([^,]+)/) || [])[1],
        dns: [...alt.matchAll(/DNS:([^,]+)/g)].map((m) => m[1]),
    };
}

// The signature algorithm's name as the openssl tool prints it.
function signatureAlgorithm(der) {
    const text = require("child_process").execFileSync("openssl", ["x509", "-inform", "DER", "-noout", "-text"],
        { input: der }).toString();
    return (text.match(/Signature Algorithm: (\S+)/) || [])[1];
}

module.exports = { create, describe };
