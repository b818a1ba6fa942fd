// The report page in a real browser (Debian's Chromium, driven by playwright-core), for the
// example cluster and for one with long labels and ids at a deep path that this test writes:
// the marks on each server's map and its legend against what the inputs hold, counted here from
// the inputs themselves; nothing loaded from elsewhere; and the page on a 360 px phone, light
// and dark, no wider than the screen with nothing cut off. Pages and screenshots stay in OUT_DIR.
//
//   node report-browser.js QUORVANE_CONFIG OUT_DIR CONFIG MAP_DATA HISTORY...
//
// The files are named as an admin would name them, relative to the working directory. The
// inputs must give each server at most 100 runs with a position, so that each run is a mark.
//
// Chromium sees only the fonts of fonts-dejavu-core (scripts/install-deps.sh), through a
// fontconfig file of its own: a machine with more fonts renders as a fresh one does. A second
// pass renders the long case with DejaVu Sans Mono for every font, wider than any usual one.
"use strict";

const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const test = require("node:test");
const { pathToFileURL } = require("node:url");
const { chromium } = require("playwright-core");

const [tool, outArgument, config, mapData, ...histories] = process.argv.slice(2);
const outDir = path.resolve(outArgument);
const chromiumPath = "/usr/bin/chromium";
// Without the networking switches Chromium's own connections are refused on a closed network
// and slow it down; root needs --no-sandbox.
const chromiumArgs = [
    "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
];
const fontDir = "/usr/share/fonts/truetype/dejavu";  // fonts-dejavu-core

// A fontconfig file with Debian's rules that lets Chromium use only the font files `names` of
// `fontDir`.
function fontConfig(dir, names) {
    const file = path.join(dir, "fonts.conf");
    const accepted = names.map((name) => `<glob>${fontDir}/${name}</glob>`).join("");
    fs.writeFileSync(file, `<?xml version="1.0"?><!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><include ignore_missing="yes">/etc/fonts/fonts.conf</include><dir>${fontDir}</dir>
<cachedir>${path.join(dir, "font-cache")}</cachedir><selectfont><acceptfont>${accepted}
</acceptfont><rejectfont><glob>*</glob></rejectfont></selectfont></fontconfig>`);
    return file;
}

// The files of fonts-dejavu-core; DejaVu Sans Mono alone, wider than any usual font.
const dejaVu = ["DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf",
    "DejaVuSansMono-Bold.ttf", "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf"];
const mono = ["DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf"];

// The example made long: server keys and event ids of one long word each, labels with one,
// every history under a folder more than 120 characters deep, named by its absolute path.
function writeLongCase(dir) {
    const deep = path.join(dir, "ArkAscended", "ShooterGame", "Binaries", "Win64", "ArkApi",
        "Plugins", "Quorvane", "AClusterFolderWhoseNameRunsOnWithoutASingleSpace".repeat(3));
    fs.mkdirSync(deep, { recursive: true });
    const document = JSON.parse(fs.readFileSync(config, "utf8"));
    const keys = new Map();
    const ids = new Map();
    const labels = new Map();
    const longKey = (key) => keys.get(key) ?? key;
    for (const [key, section] of Object.entries(document)) {
        if (section === null || typeof section !== "object" || Array.isArray(section)) {
            continue;
        }
        const newKey = `${key}_${"ServerSectionKeyWithoutSpaces".repeat(3)}`;
        keys.set(key, newKey);
        section.Serverlabel = `${section.Serverlabel ?? key} of the ` +
            `${"Northernmost".repeat(8)} archipelago in the frozen sea`;
        const events = {};
        for (const [id, event] of Object.entries(section.RandomEvents ?? {})) {
            const newId = `${id}_${"eventidwithoutanyspaceorbreak".repeat(4)}`;
            ids.set(id, newId);
            labels.set(id, `${event.Eventlabel} ${"Unstoppable".repeat(7)} across the map`);
            events[newId] = { ...event, Eventlabel: labels.get(id) };
        }
        section.RandomEvents = events;
        delete document[key];
        document[newKey] = section;
    }
    const files = { config: path.join(deep, "config.json"), map: path.join(deep, "map-data.json"),
        histories: [] };
    fs.writeFileSync(files.config, JSON.stringify(document, null, 2));
    fs.copyFileSync(mapData, files.map);
    for (const file of histories) {
        const lines = fs.readFileSync(file, "utf8").split("\n").filter((l) => l).map((line) => {
            const record = JSON.parse(line);
            record.server = longKey(record.server);
            if (ids.has(record.event)) {
                record.label = labels.get(record.event);
                record.event = ids.get(record.event);
            }
            if (record.rcon) {
                record.rcon = Object.fromEntries(
                    Object.entries(record.rcon).map(([k, v]) => [longKey(k), v]));
            }
            return JSON.stringify(record);
        });
        const name = path.join(deep, "history", longKey(path.basename(path.dirname(file))),
            "events.jsonl");
        fs.mkdirSync(path.dirname(name), { recursive: true });
        fs.writeFileSync(name, lines.join("\n") + "\n");
        files.histories.push(name);
    }
    return files;
}

// What the page must show, from the inputs: per server the events (id and label), the
// coordinates and the runs with a position.
function expected(configFile, historyFiles) {
    const document = JSON.parse(fs.readFileSync(configFile, "utf8"));
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
    for (const file of historyFiles) {
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

// What sticks out sideways: the page beyond the screen, a box whose content must be scrolled
// or is cut off, a piece of text beyond the screen or (in a picture) beyond its picture.
function sideways(page) {
    return page.evaluate(() => {
        const width = document.documentElement.clientWidth;
        const out = [];
        if (document.documentElement.scrollWidth > width) {
            out.push(`the page is ${document.documentElement.scrollWidth} px wide`);
        }
        for (const element of document.body.querySelectorAll("*")) {
            const style = getComputedStyle(element);
            if (style.overflowX !== "visible" && element.tagName !== "svg" &&
                element.scrollWidth > element.clientWidth + 1) {
                out.push(`${element.tagName}.${element.className} holds ` +
                    `${element.scrollWidth} px in ${element.clientWidth} px`);
            }
        }
        const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
        for (let text = walker.nextNode(); text; text = walker.nextNode()) {
            if (!text.textContent.trim()) {
                continue;
            }
            const svg = text.parentElement.closest("svg");
            const bounds = svg ? svg.getBoundingClientRect() : { left: 0, right: width };
            const range = document.createRange();
            range.selectNodeContents(text);
            for (const r of range.getClientRects()) {
                if (r.width > 0 && (r.left < bounds.left - 0.5 || r.right > bounds.right + 0.5)) {
                    out.push(`"${text.textContent.slice(0, 40)}" from ${Math.round(r.left)} ` +
                        `to ${Math.round(r.right)} px, not within ${Math.round(bounds.left)} ` +
                        `to ${Math.round(bounds.right)}`);
                }
            }
        }
        return out.slice(0, 20);
    });
}

// Starts Chromium with the font files `fonts` only; lets the pages load `pages` only, and
// reports every request.
async function launch(t, fonts, pages) {
    const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), "report-browser-"));
    const browser = await chromium.launchPersistentContext(userDataDir, {
        executablePath: chromiumPath, headless: true, args: chromiumArgs,
        env: { ...process.env, FONTCONFIG_FILE: fontConfig(userDataDir, fonts) },
        viewport: { width: 1280, height: 900 }, colorScheme: "light",
    });
    t.after(async () => {
        await browser.close();
        fs.rmSync(userDataDir, { recursive: true, force: true });
    });
    const requests = [];
    await browser.route("**/*", (route) => {
        requests.push(route.request().url());
        return pages.has(route.request().url()) ? route.continue() : route.abort();
    });
    return { browser, requests };
}

// The family each element's text is drawn in.
async function fontsOf(browser, page, selectors) {
    const cdp = await browser.newCDPSession(page);
    await cdp.send("DOM.enable");
    await cdp.send("CSS.enable");
    const { root } = await cdp.send("DOM.getDocument");
    const out = {};
    for (const selector of selectors) {
        const { nodeId } = await cdp.send("DOM.querySelector", { nodeId: root.nodeId, selector });
        const { fonts } = await cdp.send("CSS.getPlatformFontsForNode", { nodeId });
        out[selector] = fonts.map((f) => f.familyName).join(", ");
    }
    await cdp.detach();
    return out;
}

const luminance = (colour) => {
    const [r, g, b] = colour.match(/\d+/g).map(Number);
    return (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
};

test("the report page in Chromium", async (t) => {
    assert.ok(fs.existsSync(path.join(fontDir, "DejaVuSans.ttf")),
        `${fontDir} has no DejaVuSans.ttf: scripts/install-deps.sh installs fonts-dejavu-core`);
    fs.mkdirSync(outDir, { recursive: true });
    const longDir = path.join(outDir, "long");
    fs.rmSync(longDir, { recursive: true, force: true });
    const long = writeLongCase(longDir);
    const cases = [
        { name: "example", config, map: mapData, histories },
        { name: "long", config: long.config, map: long.map, histories: long.histories },
    ];
    for (const c of cases) {
        c.html = path.join(outDir, `${c.name}-report.html`);
        execFileSync(tool, ["report", c.config, ...c.histories, "--map-data", c.map,
            "--out", c.html]);
    }
    const pages = new Set(cases.map((c) => pathToFileURL(c.html).href));
    const { browser, requests } = await launch(t, dejaVu, pages);

    await t.test("it renders in DejaVu only", async () => {
        const page = await browser.newPage();
        await page.goto(pathToFileURL(cases[0].html).href);
        assert.deepEqual(await fontsOf(browser, page, ["h1", "header code", "td"]),
            { "h1": "DejaVu Sans", "header code": "DejaVu Sans Mono", "td": "DejaVu Sans" });
        await page.close();
    });

    for (const c of cases) {
        await t.test(c.name, async (t) => {
            const page = await browser.newPage();
            requests.length = 0;
            await page.goto(pathToFileURL(c.html).href);
            const shown = await sections(page);
            const want = expected(c.config, c.histories);

            await t.test("it loads nothing but itself and runs no script", async () => {
                assert.deepEqual(requests, [pathToFileURL(c.html).href]);
                assert.equal(await page.$$eval("script", (s) => s.length), 0);
            });

            await t.test("each map marks every run and every coordinate, inside the map", () => {
                assert.deepEqual(shown.map((s) => s.key).sort(), [...want.keys()].sort());
                for (const s of shown) {
                    const w = want.get(s.key);
                    assert.deepEqual(
                        { key: s.key, ran: s.ran, configured: s.configured, outside: s.outside },
                        { key: s.key, ran: w.runs, configured: w.coordinates, outside: 0 });
                }
            });

            await t.test("each legend names every event, each in a look of its own", () => {
                for (const s of shown) {
                    const w = want.get(s.key);
                    assert.deepEqual(s.legend.map((item) => item.id).sort(),
                        [...w.events.keys()].sort(), s.key);
                    for (const item of s.legend) {
                        assert.ok(item.text.includes(w.events.get(item.id)),
                            `${s.key}: ${item.text}`);
                    }
                    assert.equal(new Set(s.legend.map((item) => item.look)).size,
                        s.legend.length, `${s.key}: ${JSON.stringify(s.legend)}`);
                }
            });

            await t.test("the history files are named as given", async () => {
                const names = await page.$$eval("header li code", (all) =>
                    all.map((code) => code.textContent));
                assert.deepEqual(names, c.histories);
            });

            await t.test("it fits a computer, a tablet and a phone, light and dark", async () => {
                const light = await page.evaluate(() =>
                    getComputedStyle(document.body).backgroundColor);
                assert.ok(luminance(light) > 0.8, light);
                assert.deepEqual(await sideways(page), [], "1280 px");
                await page.setViewportSize({ width: 980, height: 800 });
                assert.deepEqual(await sideways(page), [], "980 px");
                if (c.name === "example") {
                    // README's picture (examples/report.png): the Island down to its charts.
                    const clip = await page.$eval("section[data-server=Island]", (section) => {
                        const top = section.getBoundingClientRect().top + window.scrollY;
                        const cols = section.querySelector(".cols").getBoundingClientRect();
                        return { x: 0, y: top, width: document.documentElement.clientWidth,
                            height: cols.bottom + window.scrollY - top + 8 };
                    });
                    await page.screenshot({ path: path.join(outDir, "example-island.png"), clip,
                        fullPage: true });
                }
                await page.setViewportSize({ width: 360, height: 780 });
                assert.deepEqual(await sideways(page), [], "360 px, light");
                await page.emulateMedia({ colorScheme: "dark" });
                const dark = await page.evaluate(() => ({
                    background: getComputedStyle(document.body).backgroundColor,
                    text: getComputedStyle(document.body).color,
                }));
                assert.ok(luminance(dark.background) < 0.2, dark.background);
                assert.ok(luminance(dark.text) > 0.8, dark.text);
                assert.deepEqual(await sideways(page), [], "360 px, dark");
                await page.screenshot({ path: path.join(outDir, `${c.name}-phone-dark.png`) });
            });
            await page.close();
        });
    }

    await t.test("long: it fits a phone in a wider font", async (t) => {
        const { browser } = await launch(t, mono, pages);
        const page = await browser.newPage();
        await page.setViewportSize({ width: 360, height: 780 });
        await page.goto(pathToFileURL(cases[1].html).href);
        assert.deepEqual(await fontsOf(browser, page, ["h1"]), { "h1": "DejaVu Sans Mono" });
        assert.deepEqual(await sideways(page), []);
    });
});
