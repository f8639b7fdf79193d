// The settings page in a real browser, served by the stand-in host in its
// browser mode with the real plug-in behind it.
"use strict";

const { test, before, after, beforeEach, afterEach } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const h = require("./garvento_host");

const ARTIFACTS = process.env.BROWSER_ARTIFACTS || path.join(__dirname, "..", "artifacts");
const STORED = h.preferencesFile("true", "/tmp/stored-textures");

let browser;
let host;
let page;
let dialogs;

before(async () => {
  h.installOrvella();
  fs.mkdirSync("/tmp/stored-textures", { recursive: true });
  fs.mkdirSync("/tmp/new-textures", { recursive: true });
  browser = await h.launchBrowser();
});

after(async () => { if (browser) await browser.close(); });

beforeEach(async () => {
  fs.writeFileSync(h.PREFERENCES, STORED);
  host = await h.startHost();
  page = await browser.context.newPage();
  // The host's message boxes show as browser alerts; note and dismiss them.
  dialogs = [];
  page.on("dialog", async (dialog) => { dialogs.push(dialog.message()); await dialog.accept(); });
  await page.goto(host.url);
  await page.locator("#ok:enabled").waitFor();
});

afterEach(async () => {
  if (page) await page.close();
  await h.stopHost(host);
});

const closedText = () => page.locator("#status").textContent();
async function expectClosed() {
  await page.getByText("The settings window is closed.").waitFor();
  assert.equal(await host.exited, 0, "the host ends once its only window closed:\n" + host.output);
}

test("the page shows the stored values, labelled", async () => {
  assert.equal(await page.title(), "Orvella Settings");
  assert.equal(await page.getByLabel("Include avatar").isChecked(), true);
  assert.equal(await page.getByLabel("Textures directory").inputValue(), "/tmp/stored-textures");
  assert.ok(await page.getByRole("button", { name: "OK" }).isEnabled());
  assert.ok(await page.getByRole("button", { name: "Cancel" }).isEnabled());
  fs.mkdirSync(ARTIFACTS, { recursive: true });
  await page.screenshot({ path: path.join(ARTIFACTS, "settings-window.png") });
});

test("OK with an existing folder writes the preferences file exactly", async () => {
  await page.getByLabel("Include avatar").uncheck();
  await page.getByLabel("Textures directory").fill("/tmp/new-textures");
  await page.getByRole("button", { name: "OK" }).click();
  await expectClosed();
  assert.equal(h.readPreferences(), h.preferencesFile("false", "/tmp/new-textures"));
});

// The page's side of a refused OK; why the plug-in refuses is its own
// (test_settings_window.cpp).
for (const refusal of [
  { what: "a missing folder", dir: "/tmp/no-such-folder",
    notice: "Textures directory must be an exisiting directory" },
  { what: "a save that fails", dir: "/tmp/new-textures", readOnly: true,
    notice: "Settings could not be saved to " + h.PREFERENCES },
]) {
  test(`${refusal.what} shows the host's message and keeps the page open`, async () => {
    const folder = path.dirname(h.PREFERENCES);
    if (refusal.readOnly) { fs.chmodSync(h.PREFERENCES, 0o444); fs.chmodSync(folder, 0o555); }
    try {
      await page.getByLabel("Textures directory").fill(refusal.dir);
      await page.getByRole("button", { name: "OK" }).click();
      await h.waitFor(() => dialogs.length > 0, "the host's message box");
    } finally {
      fs.chmodSync(folder, 0o755);
      fs.chmodSync(h.PREFERENCES, 0o644);
    }
    assert.deepEqual(dialogs, [refusal.notice]);
    assert.equal(await page.getByLabel("Textures directory").inputValue(), refusal.dir);
    assert.ok(await page.getByRole("button", { name: "OK" }).isEnabled());
    assert.notEqual(await closedText(), "The settings window is closed.");
    assert.equal(host.child.exitCode, null, "the window is still open in the host");
    assert.equal(h.readPreferences(), STORED);

    // Once the cause is gone, the same window saves.
    await page.getByLabel("Textures directory").fill("/tmp/new-textures");
    await page.getByRole("button", { name: "OK" }).click();
    await expectClosed();
    assert.equal(h.readPreferences(), h.preferencesFile("true", "/tmp/new-textures"));
  });
}

test("the keyboard alone confirms, with a visible focus", async () => {
  // The directory field has the focus when the values arrive.
  assert.equal(await page.evaluate(() => document.activeElement.id), "textures-dir");
  await page.keyboard.press("Shift+Tab");
  assert.equal(await page.evaluate(() => document.activeElement.id), "include-avatar");
  const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
  assert.notEqual(outline, "none", "the focused checkbox shows its focus");
  await page.keyboard.press("Space");
  await page.keyboard.press("Tab");
  await page.keyboard.press("ControlOrMeta+A");
  await page.keyboard.type("/tmp/new-textures");
  await page.keyboard.press("Enter");
  await expectClosed();
  assert.equal(h.readPreferences(), h.preferencesFile("false", "/tmp/new-textures"));
});

// Every way to cancel leaves the preferences file as it was.
for (const cancel of [
  { how: "the Cancel button", act: async () => {
    await page.getByLabel("Textures directory").fill("/tmp/new-textures");
    await page.getByLabel("Include avatar").uncheck();
    await page.getByRole("button", { name: "Cancel" }).click();
  } },
  { how: "Escape", act: async () => {
    await page.keyboard.type("/tmp/new-textures");
    await page.keyboard.press("Escape");
  } },
  { how: "Enter on the focused Cancel button", act: async () => {
    await page.keyboard.press("Tab");  // from the directory field to Cancel
    assert.equal(await page.evaluate(() => document.activeElement.id), "cancel");
    await page.keyboard.press("Enter");
  } },
]) {
  test(`${cancel.how} cancels`, async () => {
    await cancel.act();
    await expectClosed();
    assert.equal(h.readPreferences(), STORED);
  });
}
