// The status page: polls the JSON API (devices and open branches every second, the server
// every five) and redraws the tables; a refused request (401) goes to the login form.
"use strict";

const state = { device: null, open: new Set([""]), branches: new Map(), filter: "" };

function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === "class") node.className = value;
    else node.setAttribute(name, value);
  }
  for (const child of children) node.append(child);
  return node;
}

async function api(path) {
  const response = await fetch(path, { credentials: "same-origin", cache: "no-store" });
  if (response.status === 401) {
    location.href = "/login";
    throw new Error("login needed");
  }
  if (!response.ok) throw new Error(path + ": " + response.status);
  document.getElementById("offline").hidden = true;
  return response.json();
}

function timeText(ms) {
  return ms ? new Date(ms).toLocaleString() : "never";
}

function msText(ms) {
  return ms ? (ms < 100 ? ms.toFixed(1) : Math.round(ms)) + " ms" : "-";
}

async function showServer() {
  const s = await api("/api/server");
  document.getElementById("title").textContent = `${s.program} ${s.version}`;
  document.getElementById("user").textContent = s.user ? `${s.user} (${s.role})` : "anonymous";
  document.getElementById("logout").hidden = !s.user;
  const facts = [
    ["Configuration", s.configFile || "none"],
    ["Polling mode", s.pollingMode],
    ["Started", timeText(s.startTimeMs)],
    ["OPC UA endpoint", s.endpointUrl],
    ["Security", s.endpointSecurity.join(", ")],
    ["OPC UA sessions", `${s.sessions} (${s.subscriptions} subscriptions, ${s.monitoredItems} monitored items)`],
  ];
  document.getElementById("facts").replaceChildren(...facts.flatMap(([k, v]) => [el("dt", {}, k), el("dd", {}, v)]));
  const warnings = document.getElementById("warnings");
  warnings.hidden = s.configWarnings.length === 0;
  warnings.querySelector("summary").textContent = `${s.configWarnings.length} configuration warning(s)`;
  warnings.querySelector("ul").replaceChildren(...s.configWarnings.map((w) => el("li", {}, w)));
}

function deviceState(d) {
  if (!d.polled) return ["state-idle", "not polled"];
  if (d.connected) return ["state-good", "connected"];
  return ["state-bad", d.reducedRate ? "failing, reduced rate" : "failing"];
}

async function showDevices() {
  const devices = await api("/api/devices");
  const rows = devices.map((d, i) => {
    const [cls, text] = deviceState(d);
    const row = el("tr", { class: `device ${cls}${state.device === i ? " selected" : ""}`, "data-device": d.name },
      el("td", {}, d.name, el("br"), el("small", {}, d.activeAddress && d.activeAddress !== d.connection ? `${d.connection} (using ${d.activeAddress})` : d.connection)),
      el("td", {}, el("span", { class: "state" }, text)),
      el("td", { class: "error" }, d.lastErrorCode ? `${d.lastErrorCode}: ${d.lastErrorText}` : ""),
      el("td", {}, timeText(d.sinceMs)),
      el("td", { class: "num" }, String(d.requests)),
      el("td", { class: "num" }, String(d.errors)),
      el("td", { class: "num" }, msText(d.roundTripMs)),
      el("td", { class: "num" }, `${msText(d.readIntervalP50Ms)} / ${msText(d.readIntervalP95Ms)}`),
      el("td", { class: "num split", title: "poll blocks the device refused as a whole, read tag by tag" }, String(d.splitBlocks)),
      el("td", { class: "num" }, d.busLoad === null ? "-" : (100 * d.busLoad).toFixed(1) + " %"));
    row.addEventListener("click", () => { state.device = i; showBlocks(devices); showDevices(); });
    return row;
  });
  document.querySelector("#devices tbody").replaceChildren(...rows);
  showBlocks(devices);
}

function showBlocks(devices) {
  const section = document.getElementById("blocks");
  const device = devices[state.device];
  section.hidden = !device;
  if (!device) return;
  document.getElementById("blocks-device").textContent = device.name;
  section.querySelector("tbody").replaceChildren(...device.blocks.map((b) => el("tr", {},
    el("td", {}, b.range), el("td", { class: "num" }, String(b.functionCode)),
    el("td", { class: "num" }, `${b.updateRateMs} ms`), el("td", { class: "num" }, String(b.tags)),
    el("td", {}, b.lastReadMs ? (b.lastResult ? `error ${b.lastResult}` : "good") : "-"),
    el("td", {}, timeText(b.lastReadMs)))));
}

function tagRow(t) {
  return el("li", { class: `tag${t.good ? "" : " bad"}`, "data-item": t.itemId, title: `${t.itemId} (${t.type})` },
    el("span", { class: "name" }, t.name), el("span", { class: "value" }, t.value || "(none)"),
    el("span", { class: "quality" }, t.quality), el("span", { class: "time" }, t.timestampMs ? new Date(t.timestampMs).toLocaleTimeString() : ""));
}

function branchNode(itemId) {
  const view = state.branches.get(itemId);
  const list = el("ul");
  if (!view) return list;
  for (const name of view.branches) {
    const child = itemId ? `${itemId}.${name}` : name;
    const open = state.open.has(child);
    const label = el("span", {}, name);
    label.addEventListener("click", () => toggle(child));
    const node = el("li", { class: `branch${open ? " open" : ""}`, "data-branch": child }, label);
    if (open) node.append(branchNode(child));
    list.append(node);
  }
  const filter = state.filter.toLowerCase();
  for (const t of view.tags)
    if (!filter || t.itemId.toLowerCase().includes(filter)) list.append(tagRow(t));
  if (view.cut) list.append(el("li", { class: "hint" }, "More tags than one page shows."));
  return list;
}

function drawTree() {
  const root = branchNode("");
  document.getElementById("tree").replaceChildren(...root.childNodes);
}

async function toggle(itemId) {
  if (state.open.has(itemId)) state.open.delete(itemId);
  else state.open.add(itemId);
  await refreshTags();
}

async function refreshTags() {
  for (const itemId of [...state.open]) {
    try {
      state.branches.set(itemId, await api("/api/tags?branch=" + encodeURIComponent(itemId)));
    } catch (e) {
      if (e.message.endsWith(": 404")) state.open.delete(itemId);
      else throw e;
    }
  }
  drawTree();
}

function every(ms, task) {
  const run = async () => {
    try { await task(); } catch (e) { document.getElementById("offline").hidden = false; }
    setTimeout(run, ms);
  };
  run();
}

document.getElementById("filter").addEventListener("input", (e) => { state.filter = e.target.value; drawTree(); });
every(5000, showServer);
every(1000, showDevices);
every(1000, refreshTags);
