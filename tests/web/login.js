// Who may look at the status page, over real HTTP and HTTPS: a wrong password is refused and
// takes as long for an unknown user as for a known one, the session cookie carries its
// attributes, the page is refused without a login when anonymous users are off, a read-only
// user sees it, and HTTPS with the server's own certificate marks the cookie Secure.
"use strict";

const path = require("path");
const w = require("./webharness");
const { check } = w;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function refusedLogins(web, user, times) {
    const ms = [];
    for (let i = 0; i < times; i++) {
        const r = await w.logIn(web, user, "not the password");
        if (r.status !== 401) throw new Error(`login of ${user} gave ${r.status}`);
        ms.push(r.ms);
    }
    return ms;
}

async function main() {
    w.limitRuntime(170000);
    const sim = await w.startSimulator(w.simPath, "P1", ["--set", "hr:1=7"]);
    const config = w.writeConfig(w.device("P1", sim.port, w.tag("T", "HREGISTER VT_I2", "1")));

    // Anonymous users off: only accounts get in.
    const server = await w.startTarnvale(config, "AllowAnonymous=0\n");
    w.addUser(server.registry, "operator", "read", "op-pass-1");
    w.addUser(server.registry, "engineer", "readwrite", "eng-pass-2");
    const web = server.web;

    const page = await w.request(`${web}/`);
    check("without a login the page sends the browser to the login form",
        page.status === 303 && page.headers.location === "/login", [page.status, page.headers.location]);
    const api = await w.request(`${web}/api/devices`);
    check("without a login the API answers 401", api.status === 401, api.status);
    const form = await w.request(`${web}/login`);
    check("the login form itself is served", form.status === 200 && form.body.includes('name="password"'));

    const wrong = await w.logIn(web, "operator", "wrong");
    check("a wrong password is refused with the form and no cookie",
        wrong.status === 401 && wrong.body.includes("Wrong user name or password") && !wrong.headers["set-cookie"],
        [wrong.status, wrong.headers["set-cookie"]]);

    // Alternating, so that the machine's load falls on both alike.
    const known = [], unknown = [];
    for (let round = 0; round < 4; round++) {
        known.push(...await refusedLogins(web, "operator", 1));
        unknown.push(...await refusedLogins(web, "nobody-here", 1));
    }
    console.log(`refused logins, ms: known user ${known.map(Math.round)}, unknown user ${unknown.map(Math.round)}`);
    check("a refused login waits at least half a second", Math.min(...known, ...unknown) >= 490,
        Math.min(...known, ...unknown));
    check("a known and an unknown user are refused in the same time (medians within 100 ms)",
        Math.abs(median(known) - median(unknown)) < 100, [median(known), median(unknown)]);

    const good = await w.logIn(web, "operator", "op-pass-1");
    const cookie = w.sessionCookie(good);
    check("the read-only user's login goes to the page", good.status === 303 && good.headers.location === "/",
        [good.status, good.headers.location]);
    check("the cookie is a 64-digit random session value", /^vorn_session=[0-9a-f]{64}$/.test(cookie.pair), cookie.line);
    for (const attribute of ["HttpOnly", "SameSite=Strict", "Path=/", "Max-Age=28800"])
        check(`the cookie has ${attribute}`, cookie.attributes.includes(attribute), cookie.line);
    check("the cookie is not Secure over plain HTTP on loopback", !cookie.attributes.includes("Secure"), cookie.line);

    const seen = await w.request(`${web}/`, { headers: { Cookie: cookie.pair } });
    check("a read-only user sees the page", seen.status === 200 && seen.body.includes('id="devices"'), seen.status);
    const facts = JSON.parse((await w.request(`${web}/api/server`, { headers: { Cookie: cookie.pair } })).body);
    check("the page knows who looks", facts.user === "operator" && facts.role === "read", facts);
    const devices = await w.request(`${web}/api/devices`, { headers: { Cookie: cookie.pair } });
    check("a read-only user reads the API", devices.status === 200 && JSON.parse(devices.body)[0].name === "P1");

    const second = w.sessionCookie(await w.logIn(web, "engineer", "eng-pass-2"));
    check("two logins get two different cookies", second.pair !== cookie.pair && second.pair.length === cookie.pair.length);
    const out = await w.request(`${web}/logout`, { method: "POST", headers: { Cookie: cookie.pair } });
    check("logging out clears the cookie", out.status === 303 && w.sessionCookie(out).attributes.includes("Max-Age=0"));
    const after = await w.request(`${web}/api/devices`, { headers: { Cookie: cookie.pair } });
    check("a cookie is worthless after its logout", after.status === 401, after.status);
    const other = await w.request(`${web}/api/devices`, { headers: { Cookie: second.pair } });
    check("the other login goes on", other.status === 200, other.status);
    const metrics = await w.request(`${web}/metrics`);
    check("/metrics answers loopback without a login", metrics.status === 200 && metrics.body.includes("vorn_device_requests_total"));
    server.child.kill("SIGTERM");

    // Anonymous users allowed (the default): the page opens without a login. The file has a
    // tag with an access right the server does not know: a warning with its line.
    const warned = w.writeConfig(w.device("P1", sim.port,
        w.tag("T", "HREGISTER VT_I2", "1") + w.tag("Odd", "HREGISTER VT_I2", "2", "R")));
    const open = await w.startTarnvale(warned);
    const anonymous = await w.request(`${open.web}/`);
    check("with anonymous users allowed the page opens without a login", anonymous.status === 200, anonymous.status);
    const about = JSON.parse((await w.request(`${open.web}/api/server`)).body);
    check("the server's facts: file, polling mode, start, endpoint, sessions",
        about.configFile === warned && about.pollingMode === "single" && Math.abs(about.startTimeMs - Date.now()) < 60000 &&
        /^opc\.tcp:\/\/.+:\d+$/.test(about.endpointUrl) && about.endpointSecurity.includes("None") &&
        about.sessions === 0 && about.user === "", about);
    check("the configuration's warnings are shown with their line numbers",
        about.configWarnings.length === 1 && /^line \d+: tag "P1\.Odd"/.test(about.configWarnings[0]),
        about.configWarnings);
    open.child.kill("SIGTERM");

    // HTTPS with the server's own certificate from its PKI folder; the cookie is Secure.
    const pki = path.join(w.scratch, "pki");
    const secure = await w.startTarnvale(config, `HttpTls=1\nPkiFolder=${pki}\nAllowAnonymous=0\n`);
    w.addUser(secure.registry, "operator", "read", "op-pass-1");
    check("the web page is announced as https", secure.web.startsWith("https://127.0.0.1:"), secure.web);
    const tlsLogin = await w.logIn(secure.web, "operator", "op-pass-1");
    const tlsCookie = w.sessionCookie(tlsLogin);
    check("over HTTPS the cookie is Secure too", tlsLogin.status === 303 && tlsCookie.attributes.includes("Secure"), tlsCookie.line);
    const plain = await w.request(secure.web.replace("https:", "http:") + "/login").catch((e) => ({ error: e.message }));
    check("the HTTPS port speaks no plain HTTP", plain.error !== undefined || plain.status >= 400, plain);
    const certificate = require("fs").existsSync(path.join(pki, "own", "certs", "Tarnvale.der"));
    check("the certificate is the server's own, in its PKI folder", certificate);
    secure.child.kill("SIGTERM");
    w.finish();
}

main().catch((e) => { check("the script runs to its end", false, e.stack); w.finish(); });
