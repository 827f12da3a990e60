#!/usr/bin/env node
// Dralmik Gateway: the local gateway service and its page.
//
//   main.js open [--print]   make sure the service runs for this home, then print its address
//   main.js start            serve in the foreground (local mode)
//   main.js remote           serve in the foreground, connected to the remote gateway
//
// The home directory is $DRALMIK_HOME, or "Library/Application Support/Dralmik Gateway" under
// $HOME. A running service announces itself in <home>/gateway-service.json (pid, port, mode);
// `open` trusts that file only after the service behind it has answered over HTTP with the
// same pid, so a file left behind by a killed service is simply replaced.
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const { spawn } = require('child_process');

const STATE_FILE = 'gateway-service.json';
const OPEN_TIMEOUT_MS = 10000;
const POLL_INTERVAL_MS = 100;
const ALIVE_TIMEOUT_MS = 1500;
const PAGE_POLL_MS = 5000;
const DEFAULT_REMOTE = 'Dralmik Cloud';
const USAGE = 'usage: main.js open [--print] | start | remote';

// ---------------------------------------------------------------------------------------------
// Home directory and state file

function homeDirectory(env = process.env) {
    // Made absolute, so that the service started from another working directory agrees.
    if (env.DRALMIK_HOME !== undefined) return path.resolve(env.DRALMIK_HOME);
    return (env.HOME || require('os').homedir()) + '/Library/Application Support/Dralmik Gateway';
}

function statePath(home) {
    return path.join(home, STATE_FILE);
}

// The state file's content when it is well formed, else null (missing, unreadable, not JSON,
// or without a usable pid and port: all of these mean "no service known").
function readState(home) {
    let text;
    try {
        text = fs.readFileSync(statePath(home), 'utf8');
    } catch {
        return null;
    }
    try {
        const state = JSON.parse(text);
        if (state && Number.isInteger(state.pid) && state.pid > 0 &&
            Number.isInteger(state.port) && state.port > 0 && state.port < 65536) {
            state.raw = text;
            return state;
        }
    } catch {
        // fall through: a torn or foreign file is as good as none
    }
    return { raw: text, invalid: true };
}

function localUrl(port) {
    return `http://localhost:${port}/`;
}

// Resolves to the service's own state when a gateway answers on the file's port with the
// file's pid; to null for anything else (nothing listening, another program on the port, a
// service of another home that reused the port, no answer in time).
function probeService(state) {
    return new Promise((resolve) => {
        if (!state || state.invalid) return resolve(null);
        const req = http.get({
            host: '127.0.0.1',
            port: state.port,
            path: '/api/state',
            headers: { Host: `localhost:${state.port}`, Accept: 'application/json' },
            timeout: ALIVE_TIMEOUT_MS,
        }, (res) => {
            let body = '';
            res.setEncoding('utf8');
            res.on('data', (chunk) => {
                body += chunk;
                if (body.length > 65536) req.destroy();
            });
            res.on('end', () => {
                if (res.statusCode !== 200) return resolve(null);
                try {
                    const answer = JSON.parse(body);
                    resolve(answer && answer.pid === state.pid ? answer : null);
                } catch {
                    resolve(null);
                }
            });
            res.on('error', () => resolve(null));
        });
        req.on('timeout', () => req.destroy());
        req.on('error', () => resolve(null));
    });
}

function processExists(pid) {
    try {
        process.kill(pid, 0);
        return true;
    } catch (error) {
        return error.code === 'EPERM';
    }
}

// Like probeService, but patient with a service whose process still exists: on a loaded
// machine one answer can be late, and taking a live service for a stale one would replace its
// state file and leave it running unknown.
async function findService(state) {
    for (let attempt = 0; attempt < 3; attempt++) {
        const answer = await probeService(state);
        if (answer) return answer;
        if (!state || state.invalid || !processExists(state.pid)) return null;
    }
    return null;
}

// ---------------------------------------------------------------------------------------------
// The service

function escapeHtml(text) {
    return String(text).replace(/[&<>"']/g, (c) => ({
        '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;',
    })[c]);
}

// Drawn from the same coordinates as the status-bar icon (22 x 17 points, y flipped for SVG).
const ICON_GLYPH =
    '<g fill="none" stroke="currentColor" stroke-width="1.3" stroke-linecap="round">' +
    '<path d="M1.6 15.6V1.6"/>' +
    '<rect x="3.2" y="2.6" width="17.6" height="10.2" rx="1.8" ry="1.8"/>' +
    '<path d="M6.2 14.8H13.2"/>' +
    '<path d="M6 9.1H9.2M6 6.3H9.2"/>' +
    '<circle cx="15.3" cy="7.7" r="3.6"/>' +
    '</g><circle cx="15.3" cy="7.7" r="1.2" fill="currentColor"/>';

const PAGE_STYLE = `
:root { color-scheme: dark; }
* { box-sizing: border-box; }
[hidden] { display: none !important; }
html, body { margin: 0; min-height: 100%; }
body {
  background: #0b1222;
  background-image: radial-gradient(60rem 30rem at 15% -10%, rgba(56, 97, 251, 0.16), transparent 70%);
  color: #e6ebf5;
  font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Cantarell, Ubuntu, "Helvetica Neue", sans-serif;
  -webkit-font-smoothing: antialiased;
}
.wrap { max-width: 44rem; margin: 0 auto; padding: 2.5rem 1.5rem 3rem; }
.top { display: flex; align-items: center; gap: 1rem; margin-bottom: 1.75rem; }
.logo { width: 3rem; height: 3rem; flex: none; padding: 0.55rem; border-radius: 0.8rem;
  color: #9db7ff; background: #15203a; box-shadow: inset 0 0 0 1px #24314f; }
.title { flex: 1; min-width: 0; }
h1 { margin: 0; font-size: 1.35rem; font-weight: 650; letter-spacing: -0.01em; }
.sub { margin: 0.1rem 0 0; color: #8d99b3; font-size: 0.92rem; }
.pill { display: inline-flex; align-items: center; gap: 0.45rem; padding: 0.3rem 0.8rem;
  border-radius: 999px; font-size: 0.88rem; font-weight: 600; white-space: nowrap;
  background: #12301f; color: #6ee7a8; box-shadow: inset 0 0 0 1px #1f4d33; }
.pill::before { content: ""; width: 0.5rem; height: 0.5rem; border-radius: 50%; background: currentColor; }
.pill[data-tone="idle"] { background: #33290f; color: #f5c460; box-shadow: inset 0 0 0 1px #5a4718; }
.pill[data-tone="busy"] { background: #142546; color: #8fb1ff; box-shadow: inset 0 0 0 1px #24407a; }
.pill[data-tone="off"] { background: #1c2233; color: #98a2b8; box-shadow: inset 0 0 0 1px #2c3550; }
.card { background: #111a2e; border-radius: 0.9rem; box-shadow: inset 0 0 0 1px #1f2a44;
  padding: 0.4rem 1.25rem; }
.facts { margin: 0; }
.facts div { display: flex; gap: 1rem; padding: 0.7rem 0; border-top: 1px solid #1a243b; }
.facts div:first-child { border-top: 0; }
dt { width: 7rem; flex: none; color: #8d99b3; }
dd { margin: 0; min-width: 0; overflow-wrap: anywhere; }
code { font: 0.9em ui-monospace, "SF Mono", "DejaVu Sans Mono", Menlo, monospace; color: #c9d5f0; }
.actions { display: flex; gap: 0.75rem; justify-content: flex-end; margin-top: 1.5rem; }
.btn { font: inherit; font-weight: 600; border: 0; border-radius: 0.6rem; padding: 0.55rem 1.1rem;
  cursor: pointer; color: #e6ebf5; background: #1b2640; box-shadow: inset 0 0 0 1px #2b3a5e; }
.btn:hover { background: #223050; }
.btn:disabled { opacity: 0.55; cursor: default; }
.btn.danger { background: #5b1d2a; box-shadow: inset 0 0 0 1px #86293c; }
.btn.danger:hover { background: #70233a; }
.msg { min-height: 1.5em; margin: 1rem 0 0; color: #f2a7a7; text-align: right; font-size: 0.9rem; }
`;

// Runs in the page. The state pill's text is the service's state and nothing else (no child
// elements), the buttons are hidden with the hidden attribute, so that what the page shows and
// what a script reading the DOM sees are the same.
const PAGE_SCRIPT = `
(function () {
  var pill = document.getElementById("state");
  var forget = document.getElementById("forget");
  var stop = document.getElementById("stop");
  var remoteRow = document.getElementById("remote-row");
  var remote = document.getElementById("remote");
  var message = document.getElementById("message");
  var stopping = false;

  function tone(s) {
    if (s.mode === "remote" && !s.connected) return "idle";
    return "ok";
  }
  function apply(s) {
    if (stopping) return;
    pill.textContent = s.state;
    pill.setAttribute("data-tone", tone(s));
    forget.hidden = !s.canForget;
    stop.hidden = !s.canStop;
    remoteRow.hidden = s.mode !== "remote";
    remote.textContent = s.connected ? s.remote : "Not connected";
  }
  function stopped() {
    pill.textContent = "Stopped";
    pill.setAttribute("data-tone", "off");
    forget.hidden = true;
    stop.hidden = true;
  }
  function say(text) { message.textContent = text || ""; }
  function answer(r) {
    return r.json().catch(function () { return {}; }).then(function (body) {
      if (!r.ok) throw new Error(body.error || ("The gateway answered " + r.status + "."));
      return body;
    });
  }
  function post(where) {
    return fetch(where, { method: "POST", cache: "no-store",
      headers: { "Content-Type": "application/json" }, body: "{}" });
  }

  window.dralmikRefresh = function () {
    if (stopping) return Promise.resolve();
    return fetch("/api/state", { cache: "no-store" }).then(function (r) {
      if (!r.ok) throw new Error("state " + r.status);
      return r.json();
    }).then(apply, function () { if (!stopping) stopped(); });
  };

  forget.addEventListener("click", function () {
    if (forget.hidden || forget.disabled) return;
    forget.disabled = true;
    say("");
    post("/api/forget").then(answer).then(apply, function (e) { say(e.message); })
      .then(function () { forget.disabled = false; });
  });

  stop.addEventListener("click", function () {
    if (stop.hidden || stop.disabled) return;
    stop.disabled = true;
    say("");
    pill.textContent = "Stopping";
    pill.setAttribute("data-tone", "busy");
    function quit() { stopping = true; stopped(); window.location.href = "dralmik://quit"; }
    post("/api/stop").then(function (r) {
      return answer(r).then(quit);
    }, quit).catch(function (e) {
      stop.disabled = false;
      say(e.message);
      window.dralmikRefresh();
    });
  });

  setInterval(window.dralmikRefresh, ${PAGE_POLL_MS});
})();
`;

function renderPage(service) {
    const s = service.snapshot();
    const tone = s.mode === 'remote' && !s.connected ? 'idle' : 'ok';
    const t = new Date(s.startedAt);
    const two = (n) => String(n).padStart(2, '0');
    const since = `${t.getFullYear()}-${two(t.getMonth() + 1)}-${two(t.getDate())} ` +
        `${two(t.getHours())}:${two(t.getMinutes())}:${two(t.getSeconds())}`;
    return `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Dralmik LLM Gateway</title>
<link rel="icon" href="/icon.svg" type="image/svg+xml">
<style>${PAGE_STYLE}</style>
</head>
<body>
<main class="wrap">
  <header class="top">
    <svg class="logo" viewBox="0 0 22 17" aria-hidden="true">${ICON_GLYPH}</svg>
    <div class="title">
      <h1>Dralmik LLM Gateway</h1>
      <p class="sub">Your local gateway to language models</p>
    </div>
    <span id="state" class="pill" data-tone="${tone}" role="status">${escapeHtml(s.state)}</span>
  </header>
  <section class="card">
    <dl class="facts">
      <div><dt>Address</dt><dd><code>${escapeHtml(s.url)}</code></dd></div>
      <div><dt>Mode</dt><dd>${s.mode === 'remote' ? 'Remote' : 'Local'}</dd></div>
      <div id="remote-row"${s.mode === 'remote' ? '' : ' hidden'}><dt>Remote</dt><dd id="remote">${
          escapeHtml(s.connected ? s.remote : 'Not connected')}</dd></div>
      <div><dt>Home</dt><dd><code>${escapeHtml(s.home)}</code></dd></div>
      <div><dt>Logs</dt><dd><code>${escapeHtml(path.join(s.home, 'logs'))}</code></dd></div>
      <div><dt>Process</dt><dd>pid ${s.pid}, running since ${escapeHtml(since)}</dd></div>
    </dl>
  </section>
  <section class="actions">
    <button id="forget" class="btn" type="button"${s.canForget ? '' : ' hidden'}>Disconnect</button>
    <button id="stop" class="btn danger" type="button"${s.canStop ? '' : ' hidden'}>Stop Gateway</button>
  </section>
  <p id="message" class="msg" aria-live="polite"></p>
</main>
<script>${PAGE_SCRIPT}</script>
</body>
</html>
`;
}

const ICON_SVG = `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 22 17" color="#9db7ff">${ICON_GLYPH}</svg>\n`;

const PAGE_HEADERS = {
    'Cache-Control': 'no-store',
    'X-Content-Type-Options': 'nosniff',
    'Referrer-Policy': 'no-referrer',
    'Content-Security-Policy':
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; " +
        "connect-src 'self'; img-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
};

class GatewayService {
    constructor({ mode, home, remoteName }) {
        this.mode = mode;
        this.home = home;
        this.remoteName = remoteName;
        this.connected = mode === 'remote';
        this.port = 0;
        this.pid = process.pid;
        this.startedAt = new Date().toISOString();
        this.stopping = false;
        this.server = null;
        this.wroteState = false;
    }

    stateText() {
        if (this.stopping) return 'Stopping';
        if (this.mode === 'remote') return this.connected ? `Connected to ${this.remoteName}` : 'Disconnected';
        return 'Running';
    }

    snapshot() {
        return {
            state: this.stateText(),
            mode: this.mode,
            connected: this.connected,
            remote: this.connected ? this.remoteName : null,
            canForget: this.connected && !this.stopping,
            canStop: !this.stopping,
            pid: this.pid,
            port: this.port,
            url: localUrl(this.port),
            home: this.home,
            startedAt: this.startedAt,
        };
    }

    log(line) {
        console.log(`${new Date().toISOString()} ${line}`);
    }

    // Requests are answered only when they are addressed to this service by a loopback name:
    // a page on another site that got "localhost" resolved to itself (DNS rebinding) sends its
    // own name as Host, and a cross-site form or script sends its own Origin.
    hostAllowed(host) {
        if (host === undefined) return true;
        const m = /^(localhost|127\.0\.0\.1)(?::(\d+))?$/i.exec(host);
        return !!m && (m[2] === undefined || Number(m[2]) === this.port);
    }

    originAllowed(origin) {
        if (origin === undefined) return true;
        return origin === `http://localhost:${this.port}` || origin === `http://127.0.0.1:${this.port}`;
    }

    handle(req, res) {
        const send = (status, type, body, extra = {}) => {
            res.writeHead(status, { 'Content-Type': type, 'Content-Length': Buffer.byteLength(body),
                ...PAGE_HEADERS, ...extra });
            res.end(req.method === 'HEAD' ? undefined : body);
        };
        const json = (status, value, extra) =>
            send(status, 'application/json; charset=utf-8', JSON.stringify(value) + '\n', extra);
        const refuse = (status, error, extra) => json(status, { error }, extra);

        req.resume();  // no endpoint reads a body; drain whatever came so keep-alive works
        if (!this.hostAllowed(req.headers.host)) return refuse(403, 'This service answers only on localhost.');
        let url;
        try {
            url = new URL(req.url, 'http://localhost');
        } catch {
            return refuse(400, 'Bad request.');
        }
        const route = ROUTES[url.pathname];
        if (!route) return refuse(404, 'Not found.');
        if (!route[req.method]) return refuse(405, 'Method not allowed.', { Allow: Object.keys(route).join(', ') });
        if (req.method === 'POST') {
            if (!this.originAllowed(req.headers.origin)) return refuse(403, 'Cross-site requests are not accepted.');
            const type = (req.headers['content-type'] || '').split(';')[0].trim().toLowerCase();
            if (type !== 'application/json') return refuse(415, 'Send requests as application/json.');
        }
        return route[req.method](this, { send, json, refuse, res });
    }

    forget() {
        if (!this.connected) return false;
        this.connected = false;
        this.log(`disconnected from ${this.remoteName}`);
        return true;
    }

    listen(port) {
        return new Promise((resolve, reject) => {
            this.server = http.createServer((req, res) => {
                try {
                    this.handle(req, res);
                } catch (error) {
                    this.log(`request failed: ${error.message}`);
                    if (!res.headersSent) res.writeHead(500);
                    res.end();
                }
            });
            this.server.keepAliveTimeout = 2000;
            this.server.once('error', reject);
            this.server.listen({ host: '127.0.0.1', port, exclusive: true }, () => {
                this.server.removeListener('error', reject);
                this.server.on('error', (error) => this.log(`server error: ${error.message}`));
                this.port = this.server.address().port;
                resolve(this.port);
            });
        });
    }

    // Publishes the state file without ever overwriting a live service's: the file is linked
    // into place (which fails when one exists), and an existing one is removed only when it is
    // stale and still the same file that was found stale.
    async publish() {
        const file = statePath(this.home);
        const content = JSON.stringify({ pid: this.pid, port: this.port, mode: this.mode,
            url: localUrl(this.port), startedAt: this.startedAt }, null, 2) + '\n';
        const temp = `${file}.${this.pid}.tmp`;
        fs.writeFileSync(temp, content, { mode: 0o600 });
        try {
            for (let attempt = 0; attempt < 5; attempt++) {
                try {
                    fs.linkSync(temp, file);
                    this.wroteState = true;
                    return null;
                } catch (error) {
                    if (error.code !== 'EEXIST') throw error;
                }
                const existing = readState(this.home);
                if (!existing) continue;
                const live = await findService(existing);
                if (live) return live;
                const again = readState(this.home);
                if (again && again.raw === existing.raw) {
                    try { fs.unlinkSync(file); } catch { /* someone else removed it first */ }
                }
            }
            throw new Error('could not write the state file');
        } finally {
            try { fs.unlinkSync(temp); } catch { /* already gone */ }
        }
    }

    // Removes the state file when it still names this process; a newer service's file stays.
    unpublish() {
        if (!this.wroteState) return;
        this.wroteState = false;
        const state = readState(this.home);
        if (state && state.pid === this.pid) {
            try { fs.unlinkSync(statePath(this.home)); } catch { /* already gone */ }
        }
    }

    shutdown(reason, code = 0) {
        if (this.closed) return;
        this.closed = true;
        this.stopping = true;
        this.log(`stopping (${reason})`);
        this.unpublish();
        const finish = () => process.exit(code);
        if (!this.server) return finish();
        this.server.close(finish);
        this.server.closeAllConnections();
        setTimeout(finish, 2000).unref();
    }
}

const ROUTES = {
    '/': {
        GET: (service, { send }) => send(200, 'text/html; charset=utf-8', renderPage(service)),
        HEAD: (service, { send }) => send(200, 'text/html; charset=utf-8', renderPage(service)),
    },
    '/icon.svg': {
        GET: (service, { send }) => send(200, 'image/svg+xml', ICON_SVG),
    },
    '/api/state': {
        GET: (service, { json }) => json(200, service.snapshot()),
    },
    '/api/stop': {
        POST: (service, { json, res }) => {
            if (service.stopping) return json(202, service.snapshot());
            service.stopping = true;
            res.on('finish', () => setImmediate(() => service.shutdown('stop requested from the page')));
            return json(202, service.snapshot());
        },
    },
    '/api/forget': {
        POST: (service, { json, refuse }) => {
            if (!service.forget()) return refuse(409, 'The gateway is not connected to a remote gateway.');
            return json(200, service.snapshot());
        },
    },
};

function parsePort(value) {
    if (value === undefined || value === '') return 0;
    if (!/^\d+$/.test(value) || Number(value) < 1 || Number(value) > 65535) {
        throw new Error(`DRALMIK_PORT must be a port number from 1 to 65535, not "${value}"`);
    }
    return Number(value);
}

async function serve(mode) {
    const home = homeDirectory();
    const remoteName = (process.env.DRALMIK_REMOTE || '').trim() || DEFAULT_REMOTE;
    const service = new GatewayService({ mode, home, remoteName });
    const fail = (message) => {
        console.error(`Dralmik Gateway could not start: ${message}`);
        process.exit(1);
    };

    let port;
    try {
        port = parsePort(process.env.DRALMIK_PORT);
        fs.mkdirSync(path.join(home, 'logs'), { recursive: true });
    } catch (error) {
        return fail(error.message);
    }

    const running = await findService(readState(home));
    if (running) return fail(`it is already running for this home at ${running.url} (pid ${running.pid})`);

    try {
        await service.listen(port);
    } catch (error) {
        return fail(error.code === 'EADDRINUSE' ? `port ${port} is already in use` : error.message);
    }

    for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) {
        process.on(signal, () => service.shutdown(signal));
    }
    process.on('exit', () => service.unpublish());

    let other;
    try {
        other = await service.publish();
    } catch (error) {
        service.server.close();
        return fail(error.message);
    }
    if (other) {
        service.server.close();
        return fail(`it is already running for this home at ${other.url} (pid ${other.pid})`);
    }
    const what = mode === 'remote' ? `remote mode, connected to ${remoteName}` : 'local mode';
    service.log(`Dralmik Gateway ${what}, pid ${service.pid}, home ${home}`);
    service.log(`listening on ${localUrl(service.port)}`);
}

// ---------------------------------------------------------------------------------------------
// open

// The last non-empty line of what the service wrote to its log since `from`.
function lastLogLine(logFile, from) {
    try {
        const text = fs.readFileSync(logFile).subarray(from).toString('utf8');
        const lines = text.split(/\r?\n/).map((l) => l.trim()).filter(Boolean);
        return lines.length ? lines[lines.length - 1] : '';
    } catch {
        return '';
    }
}

function openInBrowser(url) {
    const opener = process.platform === 'darwin' ? 'open' : 'xdg-open';
    try {
        const child = spawn(opener, [url], { detached: true, stdio: 'ignore' });
        child.on('error', () => console.log(`Open ${url} in your browser.`));
        child.unref();
    } catch {
        console.log(`Open ${url} in your browser.`);
    }
}

async function open(args) {
    const printOnly = args.includes('--print');
    const home = homeDirectory();
    const logFile = path.join(home, 'logs', 'gateway.log');
    const fail = (message) => {
        console.error(`Dralmik Gateway could not start: ${message}`);
        process.exit(1);
    };
    const done = (url) => {
        console.log(url);
        if (!printOnly) openInBrowser(url);
        process.exit(0);
    };

    console.log(`Dralmik Gateway, home ${home}`);
    try {
        parsePort(process.env.DRALMIK_PORT);
        fs.mkdirSync(path.join(home, 'logs'), { recursive: true });
    } catch (error) {
        return fail(error.message);
    }

    const known = readState(home);
    const live = await findService(known);
    if (live) {
        console.log(`The gateway service is already running (pid ${live.pid}).`);
        return done(localUrl(known.port));
    }
    if (known) console.log('Replacing the state of a gateway service that is no longer running.');

    let logFd;
    let logStart = 0;
    try {
        logFd = fs.openSync(logFile, 'a');
        logStart = fs.fstatSync(logFd).size;
    } catch (error) {
        return fail(`cannot open ${logFile}: ${error.message}`);
    }
    // The service gets the log for its output, never this process's own stdout or stderr: the
    // caller reads those until end of file, which must come when this process exits.
    const child = spawn(process.execPath, [__filename, 'start'], {
        cwd: home,
        env: { ...process.env, DRALMIK_HOME: home },
        detached: true,
        stdio: ['ignore', logFd, logFd],
    });
    fs.closeSync(logFd);
    let exited = null;
    child.on('exit', (code, signal) => { exited = { code, signal }; });
    child.on('error', (error) => { exited = { error }; });
    child.unref();
    console.log(`Starting the gateway service (pid ${child.pid}), logging to ${logFile}`);

    const deadline = Date.now() + OPEN_TIMEOUT_MS;
    for (;;) {
        const state = readState(home);
        const answer = await probeService(state);
        if (answer) {
            // Another `open` got its service up first: ours is redundant, and left alone it
            // would take over the moment that one stops.
            if (answer.pid !== child.pid && !exited) {
                try { process.kill(child.pid, 'SIGTERM'); } catch { /* gone already */ }
            }
            console.log('The gateway service is ready.');
            return done(localUrl(state.port));
        }
        if (exited) {
            // A service that lost a race with another `open` exits once the winner answers.
            const winner = readState(home);
            if (await probeService(winner)) {
                console.log('The gateway service is ready.');
                return done(localUrl(winner.port));
            }
            if (exited.error) return fail(exited.error.message);
            const reason = lastLogLine(logFile, logStart) ||
                `the service exited with ${exited.signal ? 'signal ' + exited.signal : 'status ' + exited.code}`;
            return fail(`${reason.replace(/^.*?Dralmik Gateway could not start: /, '')} (see ${logFile})`);
        }
        if (Date.now() >= deadline) {
            try { process.kill(child.pid, 'SIGTERM'); } catch { /* gone already */ }
            return fail(`the service did not answer within ${OPEN_TIMEOUT_MS / 1000} seconds (see ${logFile})`);
        }
        await new Promise((resolve) => setTimeout(resolve, POLL_INTERVAL_MS));
    }
}

// ---------------------------------------------------------------------------------------------

// An empty DRALMIK_HOME would resolve to the working directory, which would then get the state
// file and logs/: refused before anything is written.
function homeIsUsable() {
    if (process.env.DRALMIK_HOME !== '') return true;
    console.error('Dralmik Gateway could not start: DRALMIK_HOME is set but empty');
    process.exitCode = 1;
    return false;
}

function main(argv) {
    const [command, ...rest] = argv;
    if (command === 'open' && rest.every((a) => a === '--print')) return homeIsUsable() ? open(rest) : undefined;
    if ((command === 'start' || command === 'remote') && rest.length === 0) {
        return homeIsUsable() ? serve(command === 'remote' ? 'remote' : 'local') : undefined;
    }
    if (command === 'help' || command === '--help' || command === '-h') {
        console.log(USAGE);
        return undefined;
    }
    console.error(USAGE);
    process.exitCode = 2;
    return undefined;
}

if (require.main === module) {
    Promise.resolve(main(process.argv.slice(2))).catch((error) => {
        console.error(`Dralmik Gateway: ${error && error.stack ? error.stack : error}`);
        process.exit(1);
    });
}

module.exports = { homeDirectory, escapeHtml };
