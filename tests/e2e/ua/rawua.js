// OPC UA conversations written by hand, for scripts that play clients no library would be:
// Hello, OpenSecureChannel with policy None or Basic256Sha256 (signed with the client's key,
// encrypted for the server's, as any client with a certificate can), CreateSession and
// ActivateSession with a user name token, on connections from a chosen loopback address.
"use strict";

const crypto = require("crypto");
const net = require("net");

const POLICY_NONE = "http://opcfoundation.org/UA/SecurityPolicy#None";
const POLICY_BASIC256SHA256 = "http://opcfoundation.org/UA/SecurityPolicy#Basic256Sha256";
const RSA_OAEP = "http://www.w3.org/2001/04/xmlenc#rsa-oaep";

const u8 = (v) => Buffer.from([v & 0xff]);
function u32(v) {
    const b = Buffer.alloc(4);
    b.writeUInt32LE(v >>> 0);
    return b;
}
function f64(v) {
    const b = Buffer.alloc(8);
    b.writeDoubleLE(v);
    return b;
}
// String or ByteString; null is the null string.
function str(s) {
    if (s === null || s === undefined) return u32(0xffffffff);
    const bytes = Buffer.isBuffer(s) ? s : Buffer.from(s);
    return Buffer.concat([u32(bytes.length), bytes]);
}
// A four-byte numeric NodeId of namespace 0.
const typeNode = (id) => Buffer.from([1, 0, id & 0xff, id >> 8]);
function frame(type, body) {
    return Buffer.concat([Buffer.from(type), u32(8 + body.length), body]);
}

function hello(url = "opc.tcp://127.0.0.1", buffer = 65536) {
    return frame("HELF", Buffer.concat([u32(0), u32(buffer), u32(buffer), u32(0), u32(0), str(url)]));
}

// `token` is the encoded authentication token NodeId (two zero bytes: none).
function requestHeader(token = Buffer.from([0, 0]), handle = 1) {
    return Buffer.concat([token, Buffer.alloc(8), u32(handle), u32(0), str(null), u32(0), Buffer.from([0, 0, 0])]);
}

function openRequest(sequence, requestId, mode, nonce) {
    return Buffer.concat([u32(sequence), u32(requestId), typeNode(446), requestHeader(), u32(0), u32(0),
        u32(mode), str(nonce), u32(600000)]);
}

function openNone(sequence = 1) {
    return frame("OPNF", Buffer.concat([u32(0), str(POLICY_NONE), str(null), str(null),
        openRequest(sequence, 1, 1, null)]));
}

const thumbprint = (der) => crypto.createHash("sha1").update(der).digest();

// The clear header of a Basic256Sha256 OpenSecureChannel; its size field patched later.
function secureOpenHeader(senderCertificate, serverCertificate) {
    return Buffer.concat([Buffer.from("OPNF"), u32(0), u32(0), str(POLICY_BASIC256SHA256),
        str(senderCertificate), str(thumbprint(serverCertificate))]);
}

// A Basic256Sha256 OpenSecureChannel as a client sends it: padded, signed with `clientKey`
// (PKCS#1 v1.5, SHA-256) and encrypted for the server's key (RSA-OAEP, SHA-1).
function openSecure({ senderCertificate, clientKey, serverCertificate, mode = 3, sequence = 1 }) {
    const serverKey = new crypto.X509Certificate(serverCertificate).publicKey;
    const cipherBlock = serverKey.asymmetricKeyDetails.modulusLength / 8;
    const plainBlock = cipherBlock - 42;
    const signatureSize = clientKey.asymmetricKeyDetails.modulusLength / 8;
    const header = secureOpenHeader(senderCertificate, serverCertificate);
    const plain = openRequest(sequence, 1, mode, crypto.randomBytes(32));
    const extra = cipherBlock > 256;
    const fixed = plain.length + 1 + (extra ? 1 : 0) + signatureSize;
    const count = (plainBlock - (fixed % plainBlock)) % plainBlock;
    const padding = Buffer.alloc(count + 1, count & 0xff);
    const body = Buffer.concat([plain, padding, extra ? u8(count >> 8) : Buffer.alloc(0)]);
    const blocks = (body.length + signatureSize) / plainBlock;
    header.writeUInt32LE(header.length + blocks * cipherBlock, 4);
    const signature = crypto.sign("sha256", Buffer.concat([header, body]), clientKey);
    const signed = Buffer.concat([body, signature]);
    const encrypted = [];
    for (let at = 0; at < signed.length; at += plainBlock)
        encrypted.push(crypto.publicEncrypt({ key: serverKey, padding: crypto.constants.RSA_PKCS1_OAEP_PADDING,
            oaepHash: "sha1" }, signed.subarray(at, at + plainBlock)));
    return Buffer.concat([header, ...encrypted]);
}

// An OpenSecureChannel whose protected part is `blocks` blocks that each decrypt (anyone can
// encrypt for the server's public key) to noise: the server finds the signature wrong only
// once it has decrypted them all.
function openNoise({ senderCertificate, serverCertificate, blocks }) {
    const header = secureOpenHeader(senderCertificate, serverCertificate);
    const serverKey = new crypto.X509Certificate(serverCertificate).publicKey;
    const cipherBlock = serverKey.asymmetricKeyDetails.modulusLength / 8;
    header.writeUInt32LE(header.length + blocks * cipherBlock, 4);
    const encrypted = [];
    for (let i = 0; i < blocks; i++)
        encrypted.push(crypto.publicEncrypt({ key: serverKey, padding: crypto.constants.RSA_PKCS1_OAEP_PADDING,
            oaepHash: "sha1" }, crypto.randomBytes(cipherBlock - 42)));
    return Buffer.concat([header, ...encrypted]);
}

function message(channelId, tokenId, sequence, requestId, typeId, body) {
    return frame("MSGF", Buffer.concat([u32(channelId), u32(tokenId), u32(sequence), u32(requestId),
        typeNode(typeId), body]));
}

function createSession(name = "raw") {
    return Buffer.concat([requestHeader(), str("urn:raw:client"), str(null), Buffer.from([0]), u32(1), str(null),
        str(null), u32(0), str(null), str("opc.tcp://127.0.0.1"), str(name), str(null), str(null), f64(60000), u32(0)]);
}

// ActivateSession with a user name whose "password" is `encrypted` as it stands.
function activateWithUser(token, user, encrypted) {
    const identity = Buffer.concat([str("username"), str(user), str(encrypted), str(RSA_OAEP)]);
    return Buffer.concat([requestHeader(token), str(null), str(null), u32(0), u32(0),
        typeNode(324), u8(1), str(identity), str(null), str(null)]);
}

// A connection that collects the chunks it receives.
function connect(port, localAddress = "127.0.0.1") {
    return new Promise((resolve, reject) => {
        const socket = net.connect({ port, host: "127.0.0.1", localAddress });
        const state = { socket, chunks: [], closed: false, buffer: Buffer.alloc(0), waiters: [] };
        const notify = () => {
            for (const w of state.waiters.splice(0)) w();
        };
        socket.on("data", (d) => {
            state.buffer = Buffer.concat([state.buffer, d]);
            while (state.buffer.length >= 8) {
                const size = state.buffer.readUInt32LE(4);
                if (state.buffer.length < size) break;
                const bytes = state.buffer.subarray(0, size);
                state.chunks.push({ type: state.buffer.toString("latin1", 0, 3), bytes, body: bytes.subarray(8) });
                state.buffer = state.buffer.subarray(size);
            }
            notify();
        });
        socket.on("close", () => {
            state.closed = true;
            notify();
        });
        socket.on("error", () => {});
        socket.on("connect", () => resolve(state));
        socket.setTimeout(60000, () => reject(new Error("raw connect timed out")));
    });
}

// Waits until `predicate(state)` holds or the connection closes, at most `ms`.
function waitFor(state, predicate, ms = 10000) {
    return new Promise((resolve) => {
        const timer = setTimeout(() => resolve(predicate(state)), ms);
        const look = () => {
            if (predicate(state) || state.closed) {
                clearTimeout(timer);
                resolve(predicate(state));
            } else {
                state.waiters.push(look);
            }
        };
        look();
    });
}

// The status of the connection's Error message, null without one.
function errorStatus(state) {
    const err = state.chunks.find((c) => c.type === "ERR");
    return err ? err.bytes.readUInt32LE(8) : null;
}

// A None channel: Hello and OpenSecureChannel answered; the channel's id and token.
async function openNoneChannel(port, localAddress) {
    const c = await connect(port, localAddress);
    c.socket.write(Buffer.concat([hello(), openNone()]));
    await waitFor(c, (s) => s.chunks.some((x) => x.type === "OPN"));
    const opn = c.chunks.find((x) => x.type === "OPN");
    if (!opn) throw new Error(`no OpenSecureChannel answer: ${errorStatus(c)}`);
    // Clear header: size, channel id, policy, certificate, thumbprint; then the sequence header.
    let at = 12;
    for (let i = 0; i < 3; i++) {
        const n = opn.bytes.readInt32LE(at);
        at += 4 + Math.max(n, 0);
    }
    at += 8 + 4; // sequence header, response type
    at += 8 + 4 + 4 + 1 + 4 + 3; // response header: time, handle, result, diagnostics, strings, additional
    at += 4; // protocol version
    c.channelId = opn.bytes.readUInt32LE(at);
    c.tokenId = opn.bytes.readUInt32LE(at + 4);
    c.sequence = 1;
    c.requestId = 1;
    return c;
}

function send(c, typeId, body) {
    c.socket.write(message(c.channelId, c.tokenId, ++c.sequence, ++c.requestId, typeId, body));
    return c.requestId;
}

module.exports = { POLICY_BASIC256SHA256, u32, str, frame, hello, openNone, openSecure, openNoise, message,
    createSession, activateWithUser, connect, waitFor, errorStatus, openNoneChannel, send, thumbprint };
