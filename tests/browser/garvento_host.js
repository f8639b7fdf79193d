// The stand-in host with the real plug-in, as the browser tests use it: the
// host runs in its browser mode, and the tests drive the served page in
// headless Chromium. Runs inside tools/sandbox, so the preferences file and
// Orvella's installation are written at their real paths.
"use strict";

const { spawn } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { chromium } = require("playwright-core");

const HOME = os.homedir();
const PREFERENCES = path.join(HOME, "Library/Preferences/com.qorvane.orvella.garvento.plist");
const ORVELLA_TEXTURES = "/tmp/orvella-textures";

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} must name the ${name === "GARVENTO" ? "host program" : "plug-in"}`);
  return value;
}

// The preferences file exactly as the plug-in writes it from nothing.
function preferencesFile(avatar, dir) {
  return '<?xml version="1.0" encoding="UTF-8" ?>\n' +
    "<orvella_garvento_settings>\n" +
    `    <IncludeAvatar>${avatar}</IncludeAvatar>\n` +
    `    <TexturesDir>${dir}</TexturesDir>\n` +
    "</orvella_garvento_settings>\n";
}

// Orvella 9, whose settings name ORVELLA_TEXTURES, from which the plug-in
// derives its default directory.
function installOrvella() {
  fs.mkdirSync("/Applications/Orvella9.app/Contents/MacOS", { recursive: true });
  const support = "/Library/Application Support/Orvella9";
  fs.mkdirSync(support, { recursive: true });
  fs.writeFileSync(path.join(support, "OV9Settings.xml"),
    `<settings><folders><textures_default>${ORVELLA_TEXTURES}</textures_default></folders></settings>\n`);
  fs.mkdirSync(path.dirname(PREFERENCES), { recursive: true });
}

function readPreferences() {
  try { return fs.readFileSync(PREFERENCES, "utf8"); } catch { return null; }
}

// Polls `condition` until it holds or `ms` pass; rejects with `what`.
async function waitFor(condition, what, ms = 10000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Starts `garvento --browser` with the plug-in and picks "Settings".
// Resolves once the host printed the window's address.
function startHost() {
  const child = spawn(required("GARVENTO"),
    ["--plugin", required("ORVELLA_PLUGIN"), "--browser", "--deadline", "120", "settings"],
    { stdio: ["ignore", "pipe", "pipe"] });
  const host = { child, output: "", exited: null, url: null };
  host.exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  child.stdout.setEncoding("utf8");
  child.stderr.setEncoding("utf8");
  child.stderr.on("data", (text) => { host.output += text; });
  const url = new Promise((resolve, reject) => {
    child.stdout.on("data", (text) => {
      host.output += text;
      const match = /window \d+ .* at (http:\/\/127\.0\.0\.1:\d+\/window\/\d+\/settings\.html)/.exec(host.output);
      if (match) resolve(match[1]);
    });
    host.exited.then((code) => reject(new Error(`host exited (${code}) before showing a window:\n${host.output}`)));
  });
  return url.then((u) => { host.url = u; return host; });
}

async function stopHost(host) {
  if (host && host.child.exitCode === null && host.child.signalCode === null) {
    host.child.kill("SIGTERM");
    await host.exited;
  }
}

async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "chromium-profile-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    viewport: { width: 500, height: 200 },
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--disable-dev-shm-usage",
    ],
  });
  return { context, close: async () => { await context.close(); fs.rmSync(profile, { recursive: true, force: true }); } };
}

module.exports = {
  PREFERENCES, preferencesFile, installOrvella, readPreferences, waitFor,
  startHost, stopHost, launchBrowser,
};
