'use strict';
// The service in its foreground modes: its page, the page's own script, and the JSON API.
const { test, describe } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const vm = require('node:vm');
const { makeHome, readStateFile, serve, request, post, readText, waitFor } = require('./support');

// The element with the given id as the page serves it: its attributes and its text.
function element(html, id) {
    const m = new RegExp(`<(\\w+)\\s+id="${id}"([^>]*)>([^<]*)<`).exec(html);
    assert.ok(m, `the page has no element with id "${id}"`);
    return { tag: m[1], hidden: /\shidden(\s|$|=)/.test(m[2] + ' '), text: m[3] };
}

// Runs the page's script against a minimal DOM made of the served elements, with fetch going
// to the service. Enough to see what the script does with the page; layout is not modelled.
function loadPage(html, port) {
    const script = /<script>([\s\S]*?)<\/script>/.exec(html);
    assert.ok(script, 'the page has a script');
    const ids = ['state', 'forget', 'stop', 'remote-row', 'remote', 'message'];
    const elements = {};
    for (const id of ids) {
        const served = element(html.replace(/<div id="remote-row"([^>]*)>/, '<div id="remote-row"$1><'), id);
        const listeners = [];
        elements[id] = {
            hidden: served.hidden, disabled: false, textContent: served.text, attributes: {},
            setAttribute(name, value) { this.attributes[name] = String(value); },
            addEventListener(type, fn) { if (type === 'click') listeners.push(fn); },
            click() { if (!this.disabled) for (const fn of listeners) fn.call(this, {}); },
        };
    }
    const requests = [];
    const window = {
        location: { href: `http://localhost:${port}/` },
        document: { getElementById: (id) => elements[id] || null },
        fetch: (where, options = {}) => {
            requests.push({ where, method: options.method || 'GET' });
            return fetch(`http://127.0.0.1:${port}${where}`, options);
        },
        setInterval: () => 0,
    };
    window.window = window;
    vm.runInNewContext(script[1], window);
    return { window, elements, requests };
}

async function page(port) {
    const answer = await request(port, { path: '/' });
    assert.equal(answer.status, 200);
    assert.match(answer.headers['content-type'], /^text\/html/);
    return answer.text;
}

describe('the page', () => {
    test('local mode: the state pill, stop offered, forget not', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'start');
        const html = await page(svc.port);
        assert.deepEqual(element(html, 'state'), { tag: 'span', hidden: false, text: 'Running' });
        assert.equal(element(html, 'forget').hidden, true);
        assert.equal(element(html, 'stop').hidden, false);
        assert.equal(element(html, 'forget').tag, 'button');
        assert.equal(element(html, 'stop').tag, 'button');
        // Buttons get a display of their own from the style sheet; the hidden attribute must
        // still take them out of layout, which is what tells a reader of the DOM "not offered".
        assert.match(html, /\[hidden\]\s*\{\s*display:\s*none\s*!important;?\s*\}/);
    });

    test('texts from the environment are escaped', async (t) => {
        const ctx = makeHome(t, 'a<b>&"c\'');
        const svc = await serve(ctx, 'remote', { DRALMIK_REMOTE: '<img src=x onerror=alert(1)>' });
        const html = await page(svc.port);
        assert.ok(!html.includes('<img src=x'), 'markup from DRALMIK_REMOTE reached the page');
        assert.ok(!html.includes('a<b>'), 'markup from the home path reached the page');
        assert.ok(html.includes('a&lt;b&gt;&amp;&quot;c&#39;'));
        assert.equal(element(html, 'state').text, 'Connected to &lt;img src=x onerror=alert(1)&gt;');
    });

    test('dralmikRefresh brings the page up to date with the service', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'remote');
        const { window, elements } = loadPage(await page(svc.port), svc.port);
        assert.equal(typeof window.dralmikRefresh, 'function');
        assert.equal(elements.forget.hidden, false);

        assert.equal((await post(svc.port, '/api/forget')).status, 200);
        await window.dralmikRefresh();
        assert.equal(elements.state.textContent, 'Disconnected');
        assert.equal(elements.forget.hidden, true);
        assert.equal(elements.stop.hidden, false);
    });

    test('the forget button disconnects; hidden, it does nothing', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'remote', { DRALMIK_REMOTE: 'lab' });
        const { elements, requests } = loadPage(await page(svc.port), svc.port);
        elements.forget.click();
        await waitFor(() => elements.state.textContent === 'Disconnected', () => 'forget had no effect');
        assert.equal(elements.forget.hidden, true);
        assert.equal((await request(svc.port, { path: '/api/state' })).json.connected, false);

        const before = requests.length;
        elements.forget.click();
        assert.equal(requests.length, before, 'a hidden forget button sent a request');
    });

    test('the stop button stops the service, then leads to the quit link', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'start');
        const { window, elements, requests } = loadPage(await page(svc.port), svc.port);
        elements.stop.click();
        await waitFor(() => window.location.href === 'dralmik://quit', () => 'no navigation to dralmik://quit');
        assert.deepEqual(requests.map((r) => `${r.method} ${r.where}`), ['POST /api/stop']);
        assert.equal(elements.state.textContent, 'Stopped');
        assert.equal(elements.stop.hidden, true);
        assert.deepEqual(await svc.exited, { code: 0, signal: null });
        assert.equal(fs.existsSync(ctx.statePath), false);
    });
});

describe('the JSON API', () => {
    test('state, unknown paths and methods', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'start');
        const state = await request(svc.port, { path: '/api/state' });
        assert.equal(state.status, 200);
        assert.match(state.headers['content-type'], /^application\/json/);
        assert.equal(state.headers['cache-control'], 'no-store');
        assert.equal(state.json.pid, svc.pid);
        assert.equal(state.json.url, `http://localhost:${svc.port}/`);
        assert.equal(state.json.canStop, true);
        assert.equal(state.json.canForget, false);

        assert.equal((await request(svc.port, { path: '/nothing' })).status, 404);
        const wrong = await request(svc.port, { path: '/api/stop' });
        assert.equal(wrong.status, 405);
        assert.equal(wrong.headers.allow, 'POST');
        assert.equal((await request(svc.port, { method: 'DELETE', path: '/api/state' })).status, 405);
        assert.equal((await request(svc.port, { path: '/api/state?x=1' })).status, 200);
    });

    test('answers only requests addressed to localhost, POSTs only from its own page', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'start');
        const port = svc.port;
        for (const host of ['evil.example', `evil.example:${port}`, `localhost:${port + 1}`, 'localhost.evil.example']) {
            assert.equal((await request(port, { path: '/api/state', headers: { Host: host } })).status, 403, host);
        }
        assert.equal((await request(port, { path: '/', headers: { Host: `127.0.0.1:${port}` } })).status, 200);

        assert.equal((await post(port, '/api/stop', { Origin: 'http://evil.example' })).status, 403);
        assert.equal((await post(port, '/api/stop', { Origin: 'null' })).status, 403);
        assert.equal((await post(port, '/api/stop', { Origin: `http://localhost:${port + 1}` })).status, 403);
        // A form posted from another site can send text/plain without asking first.
        assert.equal((await request(port, { method: 'POST', path: '/api/stop', body: 'x',
            headers: { 'Content-Type': 'text/plain' } })).status, 415);
        assert.equal((await request(port, { path: '/api/state' })).json.state, 'Running');

        const ok = await post(port, '/api/stop', { Origin: `http://localhost:${port}` });
        assert.equal(ok.status, 202);
        assert.equal(ok.json.state, 'Stopping');
        assert.equal(ok.json.canStop, false);
        assert.deepEqual(await svc.exited, { code: 0, signal: null });
    });

    test('honours DRALMIK_PORT and refuses to start twice for one home', async (t) => {
        const ctx = makeHome(t);
        const free = await new Promise((resolve) => {
            const s = http.createServer().listen(0, '127.0.0.1', () => {
                const { port } = s.address();
                s.close(() => resolve(port));
            });
        });
        const first = await serve(ctx, 'start', { DRALMIK_PORT: String(free) });
        assert.equal(first.port, free);

        const logPath = path.join(ctx.root, 'second.log');
        const second = require('node:child_process').spawnSync(process.execPath,
            [require('./support').MAIN_JS, 'remote'],
            { env: { ...process.env, DRALMIK_HOME: ctx.home }, encoding: 'utf8' });
        fs.writeFileSync(logPath, second.stdout + second.stderr);
        assert.equal(second.status, 1, readText(logPath));
        assert.match(second.stderr, new RegExp(`already running for this home at http://localhost:${free}/`));
        assert.equal(readStateFile(ctx.home).pid, first.pid);
    });
});

describe('remote mode', () => {
    test('shows the remote connection until forget disconnects it', async (t) => {
        const ctx = makeHome(t);
        const svc = await serve(ctx, 'remote', { DRALMIK_REMOTE: 'lab-gateway' });
        const html = await page(svc.port);
        assert.equal(element(html, 'state').text, 'Connected to lab-gateway');
        assert.equal(element(html, 'forget').hidden, false);
        assert.equal(element(html, 'stop').hidden, false);
        assert.equal(readStateFile(ctx.home).mode, 'remote');

        const forgot = await post(svc.port, '/api/forget');
        assert.equal(forgot.status, 200);
        assert.equal(forgot.json.state, 'Disconnected');
        assert.equal(forgot.json.canForget, false);
        assert.equal(forgot.json.canStop, true);

        const after = await page(svc.port);
        assert.equal(element(after, 'state').text, 'Disconnected');
        assert.equal(element(after, 'forget').hidden, true);
        assert.equal(element(after, 'stop').hidden, false);
        assert.equal((await post(svc.port, '/api/forget')).status, 409);
    });

    test('the default remote; SIGINT stops it; local mode has nothing to forget', async (t) => {
        const ctx = makeHome(t);
        const remote = await serve(ctx, 'remote');
        assert.equal((await request(remote.port, { path: '/api/state' })).json.state, 'Connected to Dralmik Cloud');
        remote.child.kill('SIGINT');
        assert.deepEqual(await remote.exited, { code: 0, signal: null });
        assert.equal(fs.existsSync(ctx.statePath), false);

        const local = await serve(ctx, 'start');
        const refused = await post(local.port, '/api/forget');
        assert.equal(refused.status, 409);
        assert.equal((await request(local.port, { path: '/api/state' })).json.state, 'Running');
    });
});
