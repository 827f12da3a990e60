'use strict';
// Shared by the gateway tests: a private home per test, the service run as the application and
// dralmik-helper run it, and cleanup of every process a test started.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');

const MAIN_JS = process.env.DRALMIK_GATEWAY_MAIN ||
    path.resolve(__dirname, '../../bundle/Resources/app/dist/main.js');
const NODE = process.execPath;
const STATE_FILE = 'gateway-service.json';
// Generous bound for a step that normally takes a fraction of a second; only there so that a
// broken service fails the test instead of hanging it.
const PATIENCE_MS = 20000;

function makeHome(t, name = 'home') {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'dralmik-gateway-test-'));
    const home = path.join(root, name);
    const started = new Set();
    t.after(() => {
        for (const pid of started) killQuietly(pid);
        const state = readStateFile(home);
        if (state && Number.isInteger(state.pid) && state.pid !== process.pid) killQuietly(state.pid);
        fs.rmSync(root, { recursive: true, force: true });
    });
    return { root, home, started, statePath: path.join(home, STATE_FILE) };
}

function killQuietly(pid) {
    try { process.kill(pid, 'SIGTERM'); } catch { /* already gone */ }
}

function readStateFile(home) {
    try { return JSON.parse(fs.readFileSync(path.join(home, STATE_FILE), 'utf8')); } catch { return null; }
}

function envFor(ctx, extra = {}) {
    const env = { ...process.env, DRALMIK_HOME: ctx.home, ...extra };
    for (const [k, v] of Object.entries(env)) if (v === undefined) delete env[k];
    return env;
}

// Runs main.js to its exit with both output streams on pipes, the way the application reads
// them. Resolves once the process has exited AND both pipes reached end of file: a service that
// kept a pipe open would leave this pending and time the test out.
function run(ctx, args, extraEnv = {}, options = {}) {
    return new Promise((resolve, reject) => {
        const child = spawn(NODE, [MAIN_JS, ...args], {
            env: envFor(ctx, extraEnv), cwd: options.cwd || os.tmpdir(), stdio: ['ignore', 'pipe', 'pipe'],
        });
        let stdout = '';
        let stderr = '';
        let both = '';
        let open = 2;
        let status;
        const timer = setTimeout(() => {
            child.kill('SIGKILL');
            reject(new Error(`main.js ${args.join(' ')} did not finish; output so far:\n${both}`));
        }, PATIENCE_MS);
        const finish = () => {
            if (open === 0 && status) {
                clearTimeout(timer);
                resolve({ ...status, stdout, stderr, output: both,
                    lines: both.split(/\r?\n/).map((l) => l.trim()).filter(Boolean) });
            }
        };
        child.stdout.on('data', (d) => { stdout += d; both += d; });
        child.stderr.on('data', (d) => { stderr += d; both += d; });
        child.stdout.on('end', () => { open--; finish(); });
        child.stderr.on('end', () => { open--; finish(); });
        child.on('exit', (code, signal) => { status = { code, signal }; finish(); });
        child.on('error', reject);
    });
}

// Starts `start` or `remote` in the foreground, as dralmik-helper does, and waits for its state
// file. Output goes to a file in the test's root.
async function serve(ctx, mode, extraEnv = {}) {
    const logPath = path.join(ctx.root, `${mode}.log`);
    const log = fs.openSync(logPath, 'a');
    const child = spawn(NODE, [MAIN_JS, mode], { env: envFor(ctx, extraEnv), cwd: ctx.root,
        stdio: ['ignore', log, log] });
    fs.closeSync(log);
    ctx.started.add(child.pid);
    const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
    const state = await waitFor(() => {
        const s = readStateFile(ctx.home);
        return s && s.pid === child.pid ? s : null;
    }, () => `the ${mode} service wrote no state file; its log:\n${readText(logPath)}`, exited);
    return { child, pid: child.pid, port: state.port, state, exited, logPath };
}

function readText(file) {
    try { return fs.readFileSync(file, 'utf8'); } catch { return ''; }
}

// Polls `probe` until it returns something truthy. Gives up when `exited` settles first or the
// patience runs out, with the message `why()`.
async function waitFor(probe, why, exited) {
    let gone = false;
    if (exited) exited.then(() => { gone = true; });
    const deadline = Date.now() + PATIENCE_MS;
    for (;;) {
        const value = await probe();
        if (value) return value;
        if (gone || Date.now() > deadline) throw new Error(why());
        await new Promise((r) => setTimeout(r, 50));
    }
}

function isAlive(pid) {
    try {
        process.kill(pid, 0);
        return true;
    } catch {
        return false;
    }
}

// Waits for a process that is not our child (the detached service) to disappear.
function waitGone(pid) {
    return waitFor(() => !isAlive(pid) || isZombie(pid), () => `process ${pid} is still running`);
}

function isZombie(pid) {
    try {
        return /\)\s+Z\s/.test(fs.readFileSync(`/proc/${pid}/stat`, 'utf8'));
    } catch {
        return false;
    }
}

// A plain HTTP request to the service on 127.0.0.1, with full control over the headers (fetch
// would not let a test set Host).
function request(port, { method = 'GET', path: where = '/', headers = {}, body } = {}) {
    return new Promise((resolve, reject) => {
        const req = http.request({ host: '127.0.0.1', port, method, path: where,
            headers: { Host: `localhost:${port}`, ...headers } }, (res) => {
            let text = '';
            res.setEncoding('utf8');
            res.on('data', (d) => { text += d; });
            res.on('end', () => {
                let json;
                try { json = JSON.parse(text); } catch { /* not JSON */ }
                resolve({ status: res.statusCode, headers: res.headers, text, json });
            });
        });
        req.on('error', reject);
        if (body !== undefined) req.write(body);
        req.end();
    });
}

function post(port, where, headers = {}) {
    return request(port, { method: 'POST', path: where, body: '{}',
        headers: { 'Content-Type': 'application/json', ...headers } });
}

// The URL that `open` announced: its last line, which must be one whole local address.
function announcedPort(result) {
    const last = result.lines[result.lines.length - 1];
    const m = /^http:\/\/localhost:(\d+)\/$/.exec(last || '');
    assert.ok(m, `last line is not the local address:\n${result.output}`);
    return Number(m[1]);
}

module.exports = {
    MAIN_JS, NODE, STATE_FILE, makeHome, readStateFile, run, serve, request, post,
    announcedPort, isAlive, waitGone, waitFor, readText,
};
