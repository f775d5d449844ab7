// The status page in a real browser (headless Chromium from Debian, driven by puppeteer-core):
// a read-only user logs in, sees three devices, the stopped one red with its error text and
// its reduced rate, the one with a hole in its map with its block read tag by tag, opens
// the tag browser and sees a value the simulated device takes within 2 s. Screenshots of
// the device table and the tag browser go to $VORN_WEB_SHOTS (build/screenshots).
"use strict";

const fs = require("fs");
const path = require("path");
const puppeteer = require("puppeteer-core");
const w = require("./webharness");
const { check } = w;

const CHROMIUM = process.env.VORN_CHROMIUM || "/usr/bin/chromium";

async function main() {
    w.limitRuntime(170000);
    const running = await w.startSimulator(w.simPath, "Line1", ["--counter", "hr:1", "--set", "hr:2=1234"]);
    const stoppedPort = await w.freePort(); // nobody listens: connections are refused
    // Register 2 is not mapped: the block of registers 1 to 3 is refused and read tag by tag.
    const holed = await w.startSimulator(w.simPath, "Line3", ["--unmapped", "hr:2", "--set", "hr:1=5"]);
    const config = w.writeConfig(
        w.device("Line1", running.port,
            w.tag("Counter", "HREGISTER VT_I2", "1") + w.tag("Setpoint", "HREGISTER VT_I2", "2")) +
        w.device("Line2", stoppedPort, w.tag("Level", "HREGISTER VT_I2", "1"), 500,
            ' reducedafter="2" reducedinterval="60"') +
        w.device("Line3", holed.port, w.tag("Low", "HREGISTER VT_I2", "1") + w.tag("High", "HREGISTER VT_I2", "3")));
    const server = await w.startTarnvale(config, "AllowAnonymous=0\n");
    w.addUser(server.registry, "operator", "read", "op-pass-1");
    w.addUser(server.registry, "scada", "read", "scada-pass-3");
    await w.keepPolled(server.url, ["ns=1;s=Line1.Counter", "ns=1;s=Line1.Setpoint", "ns=1;s=Line2.Level",
        "ns=1;s=Line3.Low", "ns=1;s=Line3.High"], 250,
        { userName: "scada", password: "scada-pass-3" });

    const profile = fs.mkdtempSync(path.join(w.scratch, "chromium-"));
    const browser = await puppeteer.launch({
        executablePath: CHROMIUM, headless: true, userDataDir: profile,
        args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
    try {
        const page = await browser.newPage();
        await page.setViewport({ width: 1100, height: 800 });
        await page.goto(`${server.web}/`, { waitUntil: "domcontentloaded" });
        check("the browser is sent to the login form", page.url().endsWith("/login"), page.url());
        await page.type("input[name=user]", "operator");
        await page.type("input[name=password]", "op-pass-1");
        await Promise.all([page.waitForNavigation(), page.click("button[type=submit]")]);
        check("after the login the browser is on the status page", page.url() === `${server.web}/`, page.url());

        // Both devices, the stopped one failing with its error text.
        await page.waitForFunction(() => {
            const bad = document.querySelector('tr[data-device="Line2"]');
            const good = document.querySelector('tr[data-device="Line1"]');
            return bad && good && bad.classList.contains("state-bad") && good.classList.contains("state-good");
        }, { timeout: 15000 });
        const rows = await page.$$eval("#devices tbody tr", (trs) => trs.map((tr) => ({
            name: tr.dataset.device, cls: tr.className, error: tr.querySelector("td.error").textContent,
            colour: getComputedStyle(tr.querySelector(".state")).backgroundColor })));
        check("three devices, one row each", rows.length === 3, rows);
        const line2 = rows.find((r) => r.name === "Line2");
        check("the stopped device is red", line2 && line2.colour === "rgb(198, 40, 40)", line2);
        check("the stopped device shows its error code and text",
            line2 && /^\d+: \S/.test(line2.error) && !/^\d+: Error \d+$/.test(line2.error), line2);
        const line1 = rows.find((r) => r.name === "Line1");
        check("the running device is green and without error",
            line1 && line1.colour === "rgb(31, 138, 59)" && line1.error === "", line1);

        // The stopped device is tried only at its reduced rate; the holed one reads tag by tag.
        const cells = () => page.$$eval("#devices tbody tr", (trs) => Object.fromEntries(trs.map((tr) =>
            [tr.dataset.device, [tr.querySelector(".state").textContent, tr.querySelector("td.split").textContent]])));
        const shownInTime = await page.waitForFunction(() => {
            const state = (name, cell) => document.querySelector(`tr[data-device="${name}"] ${cell}`)?.textContent;
            return state("Line2", ".state") === "failing, reduced rate" && state("Line3", "td.split") === "1";
        }, { timeout: 15000 }).then(() => true, () => false);
        const states = await cells();
        check("the stopped device shows its reduced rate", shownInTime && states.Line2[0] === "failing, reduced rate", states);
        check("the holed device shows one block read tag by tag, the others none",
            states.Line3[1] === "1" && states.Line3[0] === "connected" && states.Line1[1] === "0", states);
        const shots = process.env.VORN_WEB_SHOTS || path.join(w.scratch, "shots");
        fs.mkdirSync(shots, { recursive: true });
        await (await page.$("#devices")).screenshot({ path: path.join(shots, "web-devices.png") });

        // A device's poll blocks.
        await page.click('tr[data-device="Line1"]');
        await page.waitForFunction(() => !document.getElementById("blocks").hidden &&
            document.querySelector("#blocks tbody tr td") !== null, { timeout: 5000 });
        const block = await page.$eval("#blocks tbody tr", (tr) => [...tr.cells].map((c) => c.textContent));
        check("the device's poll block is shown as in the status dialog", block[0] === "HREG1-LEN2" && block[1] === "3", block);

        // The tag browser: open the device's branch, watch the counter.
        await page.click('li[data-branch="Line1"] > span');
        await page.waitForSelector('li[data-item="Line1.Counter"] .value', { timeout: 5000 });
        await page.waitForFunction(() => /^\d+$/.test(document.querySelector('li[data-item="Line1.Setpoint"] .value').textContent), { timeout: 5000 });
        const setpoint = await page.$eval('li[data-item="Line1.Setpoint"]', (e) => e.textContent);
        check("a tag shows its value and quality", setpoint.includes("1234") && setpoint.includes("Good"), setpoint);
        // The device's value changes (a Modbus write straight to the simulator): the page shows
        // it without a reload within 2 s.
        const changed = Date.now();
        await w.writeRegister(running.port, 1, 2, 4321);
        const shown = await page.waitForFunction(() => document.querySelector('li[data-item="Line1.Setpoint"] .value').textContent === "4321",
            { timeout: 5000, polling: 50 }).then(() => Date.now() - changed, () => null);
        console.log(`the device's new value showed after ${shown} ms`);
        check("the device's new value shows within 2 s", shown !== null && shown <= 2000, shown);
        const counter = () => page.$eval('li[data-item="Line1.Counter"] .value', (e) => e.textContent);
        const before = await counter();
        await w.sleep(2500);
        check("the counter the device counts on goes on changing on the page", (await counter()) !== before, before);

        await page.type("#filter", "setp");
        const filtered = await page.$$eval("li.tag", (tags) => tags.map((t) => t.dataset.item));
        check("the filter box keeps only matching tags", filtered.length === 1 && filtered[0] === "Line1.Setpoint", filtered);
        await page.click("#filter", { clickCount: 3 });
        await page.keyboard.press("Backspace");
        await page.click('li[data-branch="Line2"] > span');
        await page.waitForSelector('li[data-item="Line2.Level"]', { timeout: 5000 });
        const level = await page.$eval('li[data-item="Line2.Level"]', (e) => [e.className, e.textContent]);
        check("the stopped device's tag is bad", level[0].includes("bad") && /Bad/.test(level[1]), level);
        await (await page.$("#tags")).screenshot({ path: path.join(shots, "web-tags.png") });

        // A phone: nothing wider than the screen but the scrolling tables.
        await page.setViewport({ width: 390, height: 844 });
        const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
        check("the page fits a phone's width", overflow <= 0, overflow);
        await page.screenshot({ path: path.join(shots, "web-phone.png"), fullPage: true });
        console.log(`screenshots in ${shots}`);
    } finally {
        await browser.close();
    }
    server.child.kill("SIGTERM");
    w.finish();
}

main().catch((e) => { check("the script runs to its end", false, e.stack); w.finish(); });
