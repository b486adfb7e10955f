// The lab page: draws one tile per rig from the server's snapshots. Every
// text from a rig goes into the page as text (textContent), never as HTML.
"use strict";
const query = location.search; // carries the token where one is needed
let board = { now: null, rigs: [] };
let clockOffset = 0; // the server's clock minus ours

function el(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
}

function duration(seconds) {
    seconds = Math.max(0, Math.floor(seconds));
    if (seconds < 60) return seconds + " s";
    if (seconds < 3600) return Math.floor(seconds / 60) + " min";
    if (seconds < 86400)
        return Math.floor(seconds / 3600) + " h " + Math.floor(seconds % 3600 / 60) + " min";
    return Math.floor(seconds / 86400) + " d " + Math.floor(seconds % 86400 / 3600) + " h";
}

function when(iso) {
    const date = iso ? new Date(iso) : null;
    return date && !isNaN(date) ? date.toLocaleString() : "time unknown";
}

const number = (value, digits) =>
    typeof value === "number" && isFinite(value) ? value.toFixed(digits) : "?";

function stateText(rig, now) {
    if (typeof rig.state !== "string") return "state unknown";
    const since = new Date(rig.stateSince);
    if (isNaN(since)) return rig.state;
    return rig.state + " for " + (rig.stateSinceExact ? "" : "≥ ") + duration((now - since) / 1000);
}

function row(list, label, text, className) {
    list.append(el("dt", "", label), el("dd", className || "", text));
}

function tile(rig, now) {
    const watch = rig.watch && typeof rig.watch.state === "string" ? rig.watch : null;
    const failed = watch !== null && watch.state.toLowerCase() === "failed";
    const state = ["online", "offline", "stopped"].includes(rig.state) ? rig.state : "unknown";
    const node = el("section", "tile " + state + (failed ? " failed" : ""));
    node.dataset.rig = String(rig.rig);
    node.append(el("h2", "name", String(rig.rig)), el("div", "state", stateText(rig, now)));
    node.append(el("div", "count",
                   typeof rig.count === "number" ? String(rig.count) : "?"));
    const figures = el("div", "figures");
    figures.append(el("span", "", number(rig.cyclesPerSecond, 2) + " cyc/s"),
                   el("span", "", number(rig.voltage, 3) + " V"));
    node.append(figures);
    const list = el("dl");
    const trigger = rig.trigger;
    row(list, "Trigger", trigger && typeof trigger.cycle === "number"
        ? "cycle " + trigger.cycle + ", " + when(trigger.time) : "none yet");
    if (watch) {
        const nf = typeof watch.n_f === "number" ? " at N_f " + watch.n_f : "";
        row(list, "Watch", watch.state + nf, failed ? "watch-failed" : "");
    }
    const status = rig.status;
    if (status && typeof status.text === "string")
        row(list, status.problem === false ? "Status" : "Problem",
            status.text + " (" + when(status.time) + ")",
            status.problem === false ? "" : "problem");
    node.append(list);
    const info = rig.info;
    if (info)
        node.append(el("div", "info", [info.converter, info.channel && "channel " + info.channel,
                                      info.version && "version " + info.version]
                                          .filter(part => typeof part === "string" && part)
                                          .join(" · ")));
    return node;
}

function draw() {
    const rigs = document.getElementById("rigs");
    const now = new Date(Date.now() + clockOffset);
    const list = Array.isArray(board.rigs) ? board.rigs : [];
    if (list.length === 0) {
        rigs.replaceChildren(el("p", "empty", "No rig has published yet."));
        return;
    }
    rigs.replaceChildren(...list.map(rig => tile(rig, now)));
}

function take(snapshot) {
    if (!snapshot || typeof snapshot !== "object") return;
    board = snapshot;
    const serverNow = new Date(snapshot.now);
    if (!isNaN(serverNow)) clockOffset = serverNow - Date.now();
    draw();
}

function setLink(text, lost) {
    const link = document.getElementById("link");
    link.textContent = text;
    link.classList.toggle("lost", lost);
}

function listen() {
    const events = new EventSource("events" + query);
    events.onmessage = message => {
        try {
            take(JSON.parse(message.data));
            setLink("live", false);
        } catch (error) {
            setLink("unreadable update", true);
        }
    };
    events.onerror = () => setLink("connection to the server lost, retrying…", true);
}

// The snapshot first, so the page is whole at once; the live stream opens
// a few seconds later. Until then nothing is missed that the stream would
// not send anyway (its first event is the whole board), and a browser that
// renders the page for a picture with a short virtual time budget (headless
// Chromium, whose virtual time stands still while a stream is open) finishes
// before the stream begins. The durations move on every second.
fetch("state.json" + query)
    .then(response => response.json())
    .then(snapshot => {
        take(snapshot);
        setLink("connected", false);
    })
    .catch(() => setLink("cannot read the rigs, retrying…", true))
    .finally(() => setTimeout(listen, 5000));
setInterval(draw, 1000);
