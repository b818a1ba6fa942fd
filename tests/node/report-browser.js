// The report page of a cluster in a real browser (Debian's Chromium, driven by playwright-core):
// the marks on each server's map and its legend against what the inputs hold, counted here from
// the inputs themselves; nothing loaded from elsewhere; and the page on a phone in the dark
// scheme. Screenshots of both stay in OUT_DIR.
//
//   node report-browser.js QUORVANE_CONFIG OUT_DIR CONFIG MAP_DATA HISTORY...
//
// The inputs must give each server at most 100 runs with a position, so that each run is a mark.
"use strict";

const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const test = require("node:test");
const { pathToFileURL } = require("node:url");
const { chromium } = require("playwright-core");

const [tool, outDir, config, mapData, ...histories] = process.argv.slice(2);
const chromiumPath = "/usr/bin/chromium";
// Without the networking switches Chromium's own connections are refused on a closed network
// and slow it down; root needs --no-sandbox.
const chromiumArgs = [
    "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
];

// What the page must show, from the inputs: per server the events (id and label), the
// coordinates and the runs with a position.
function expected() {
    const document = JSON.parse(fs.readFileSync(config, "utf8"));
    const servers = new Map();
    const server = (key) => {
        if (!servers.has(key)) {
            servers.set(key, { events: new Map(), coordinates: 0, runs: 0 });
        }
        return servers.get(key);
    };
    for (const [key, section] of Object.entries(document)) {
        if (section === null || typeof section !== "object" || Array.isArray(section)) {
            continue;
        }
        const s = server(key);
        for (const [id, event] of Object.entries(section.RandomEvents ?? {})) {
            s.events.set(id, event.Eventlabel);
            s.coordinates += event.RandomCCCs.length;
        }
    }
    for (const file of histories) {
        for (const line of fs.readFileSync(file, "utf8").split("\n")) {
            let record;
            try {
                record = JSON.parse(line);
            } catch {
                continue;
            }
            const s = server(record.server);
            if (record.outcome === "started" && typeof record.lat === "number" &&
                typeof record.lon === "number") {
                s.runs += 1;
            }
            if (record.outcome === "started" && !s.events.has(record.event)) {
                s.events.set(record.event, record.label);
            }
        }
    }
    return servers;
}

// Each server section as the browser laid it out.
function sections(page) {
    return page.$$eval("section.server", (all) => all.map((section) => {
        const map = section.querySelector("svg.map");
        const box = map.getBoundingClientRect();
        const marks = [...map.querySelectorAll(".point")];
        const inside = (mark) => {
            const r = mark.getBoundingClientRect();
            return r.width > 0 && r.left >= box.left && r.right <= box.right &&
                r.top >= box.top && r.bottom <= box.bottom;
        };
        const legend = [...section.querySelectorAll(".legend li")].map((item) => {
            const mark = item.querySelector("svg *");
            return {
                id: item.dataset.event,
                text: item.textContent,
                look: `${mark.tagName} ${getComputedStyle(mark).fill}`,
            };
        });
        return {
            key: section.dataset.server,
            ran: map.querySelectorAll(".point.ran").length,
            configured: map.querySelectorAll(".point.cfg").length,
            outside: marks.filter((mark) => !inside(mark)).length,
            legend,
        };
    }));
}

test("the report of the cluster in Chromium", async (t) => {
    fs.mkdirSync(outDir, { recursive: true });
    const html = path.join(outDir, "example-report.html");
    execFileSync(tool, ["report", config, ...histories, "--map-data", mapData, "--out", html]);
    const want = expected();
    const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), "report-browser-"));
    const browser = await chromium.launchPersistentContext(userDataDir, {
        executablePath: chromiumPath, headless: true, args: chromiumArgs,
        viewport: { width: 1280, height: 900 }, colorScheme: "light",
    });
    t.after(async () => {
        await browser.close();
        fs.rmSync(userDataDir, { recursive: true, force: true });
    });
    const requests = [];
    await browser.route("**/*", (route) => {
        requests.push(route.request().url());
        return route.request().url() === pathToFileURL(html).href ? route.continue() : route.abort();
    });
    const page = await browser.newPage();
    await page.goto(pathToFileURL(html).href);
    const shown = await sections(page);
    await page.screenshot({ path: path.join(outDir, "example-report.png"), fullPage: true });

    await t.test("it loads nothing but itself and runs no script", async () => {
        assert.deepEqual(requests, [pathToFileURL(html).href]);
        assert.equal(await page.$$eval("script", (s) => s.length), 0);
    });

    await t.test("each map marks every run and every coordinate, inside the map", () => {
        assert.deepEqual(shown.map((s) => s.key).sort(), [...want.keys()].sort());
        for (const s of shown) {
            const w = want.get(s.key);
            assert.deepEqual({ key: s.key, ran: s.ran, configured: s.configured, outside: s.outside },
                { key: s.key, ran: w.runs, configured: w.coordinates, outside: 0 });
        }
    });

    await t.test("each legend names every event, each in a look of its own", () => {
        for (const s of shown) {
            const w = want.get(s.key);
            assert.deepEqual(s.legend.map((item) => item.id).sort(), [...w.events.keys()].sort(),
                s.key);
            for (const item of s.legend) {
                assert.ok(item.text.includes(w.events.get(item.id)), `${s.key}: ${item.text}`);
            }
            assert.equal(new Set(s.legend.map((item) => item.look)).size, s.legend.length,
                `${s.key}: ${JSON.stringify(s.legend)}`);
        }
    });

    await t.test("on a phone in the dark scheme it fits the width and turns dark", async () => {
        const light = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
        await page.setViewportSize({ width: 390, height: 844 });
        await page.emulateMedia({ colorScheme: "dark" });
        const phone = await page.evaluate(() => ({
            overflow: document.documentElement.scrollWidth - window.innerWidth,
            background: getComputedStyle(document.body).backgroundColor,
            text: getComputedStyle(document.body).color,
        }));
        await page.screenshot({ path: path.join(outDir, "example-report-phone-dark.png") });
        const luminance = (colour) => {
            const [r, g, b] = colour.match(/\d+/g).map(Number);
            return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
        };
        assert.equal(phone.overflow, 0);
        assert.ok(luminance(light) > 0.8, light);
        assert.ok(luminance(phone.background) < 0.2, phone.background);
        assert.ok(luminance(phone.text) > 0.8, phone.text);
    });
});
