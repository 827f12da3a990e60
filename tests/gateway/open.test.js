'use strict';
// `open --print` as the application runs it: one pipe for both streams, read to end of file.
const { test, describe } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const {
    makeHome, readStateFile, run, serve, request, announcedPort, isAlive, waitGone,
} = require('./support');

describe('open --print', () => {
    test('starts a detached service, announces its address last, and exits', async (t) => {
        const ctx = makeHome(t);
        const result = await run(ctx, ['open', '--print']);
        assert.equal(result.code, 0, result.output);
        const port = announcedPort(result);
        assert.ok(result.lines.length > 1, 'start-up lines come before the address');
        for (const line of result.lines.slice(0, -1)) {
            assert.doesNotMatch(line, /^https?:\/\/localhost:/, 'only the last line is an address');
        }

        const state = readStateFile(ctx.home);
        assert.equal(state.port, port);
        assert.ok(isAlive(state.pid), 'the service outlives open');
        const answer = await request(port, { path: '/api/state' });
        assert.equal(answer.status, 200);
        assert.equal(answer.json.pid, state.pid);
        assert.equal(answer.json.state, 'Running');
        assert.equal(answer.json.home, ctx.home);
        // The service writes to its log, never to the pipe that open was given.
        const log = fs.readFileSync(path.join(ctx.home, 'logs', 'gateway.log'), 'utf8');
        assert.match(log, new RegExp(`listening on http://localhost:${port}/`));
        assert.doesNotMatch(result.output, /listening on/);
    });

    test('a second open reuses the running service', async (t) => {
        const ctx = makeHome(t);
        const first = await run(ctx, ['open', '--print']);
        const { pid } = readStateFile(ctx.home);
        const second = await run(ctx, ['open', '--print']);
        assert.equal(second.code, 0, second.output);
        assert.equal(announcedPort(second), announcedPort(first));
        assert.equal(readStateFile(ctx.home).pid, pid);
        const log = fs.readFileSync(path.join(ctx.home, 'logs', 'gateway.log'), 'utf8');
        assert.equal(log.match(/listening on/g).length, 1, 'only one service was started');
    });

    test('opens started together agree on one service', async (t) => {
        const ctx = makeHome(t);
        const results = await Promise.all([1, 2, 3].map(() => run(ctx, ['open', '--print'])));
        for (const result of results) assert.equal(result.code, 0, result.output);
        const ports = new Set(results.map(announcedPort));
        assert.equal(ports.size, 1, `different services announced: ${[...ports]}`);
        const state = readStateFile(ctx.home);
        assert.equal(state.port, [...ports][0]);
        assert.equal((await request(state.port, { path: '/api/state' })).json.pid, state.pid);
        // The services that lost the race end; none is left running unknown.
        const spawned = results.flatMap((r) => [...r.output.matchAll(/service \(pid (\d+)\)/g)].map((m) => Number(m[1])));
        for (const pid of spawned) if (pid !== state.pid) await waitGone(pid);
        const log = fs.readFileSync(path.join(ctx.home, 'logs', 'gateway.log'), 'utf8');
        assert.equal(log.match(/listening on/g).length, 1, log);
    });

    test('reuses a service that dralmik-helper runs in remote mode', async (t) => {
        const ctx = makeHome(t);
        const remote = await serve(ctx, 'remote');
        const result = await run(ctx, ['open', '--print']);
        assert.equal(result.code, 0, result.output);
        assert.equal(announcedPort(result), remote.port);
    });

    test('creates a missing home directory, relative DRALMIK_HOME made absolute', async (t) => {
        const ctx = makeHome(t);
        const result = await run(ctx, ['open', '--print'], { DRALMIK_HOME: 'nested/home' }, { cwd: ctx.root });
        assert.equal(result.code, 0, result.output);
        const home = path.join(ctx.root, 'nested', 'home');
        const state = readStateFile(home);
        t.after(() => { try { process.kill(state.pid, 'SIGTERM'); } catch { /* gone */ } });
        const answer = await request(announcedPort(result), { path: '/api/state' });
        assert.equal(answer.json.home, home);
        assert.ok(fs.existsSync(path.join(home, 'logs', 'gateway.log')));
    });

    test('the default home is under $HOME when DRALMIK_HOME is unset', async (t) => {
        const ctx = makeHome(t);
        const home = path.join(ctx.root, 'Library', 'Application Support', 'Dralmik Gateway');
        const result = await run(ctx, ['open', '--print'], { DRALMIK_HOME: undefined, HOME: ctx.root });
        const state = readStateFile(home);
        t.after(() => { if (state) try { process.kill(state.pid, 'SIGTERM'); } catch { /* gone */ } });
        assert.equal(result.code, 0, result.output);
        assert.equal(state.port, announcedPort(result));
    });
});

test('a stale state file is replaced', async (t) => {
    const free = await new Promise((resolve) => {
        const s = http.createServer().listen(0, '127.0.0.1', () => {
            const { port } = s.address();
            s.close(() => resolve(port));
        });
    });
    const foreign = http.createServer((req, res) => {
        res.writeHead(200, { 'Content-Type': 'application/json' });
        res.end(JSON.stringify({ state: 'Running', pid: 1 }));
    });
    await new Promise((r) => foreign.listen(0, '127.0.0.1', r));
    t.after(() => foreign.close());
    const { pid: deadPid } = require('node:child_process').spawnSync(process.execPath, ['-e', '']);
    const cases = {
        'a dead pid, nothing on the port': { pid: deadPid, port: free },
        'another program answering on the port': { pid: deadPid, port: foreign.address().port },
        'a torn file': '{"pid": 12',
    };
    for (const [what, stale] of Object.entries(cases)) {
        const ctx = makeHome(t, what.replace(/\W+/g, '-'));
        fs.mkdirSync(ctx.home, { recursive: true });
        fs.writeFileSync(ctx.statePath, typeof stale === 'string' ? stale : JSON.stringify(stale));
        const result = await run(ctx, ['open', '--print']);
        assert.equal(result.code, 0, `${what}: ${result.output}`);
        const state = readStateFile(ctx.home);
        assert.equal(state.port, announcedPort(result), what);
        assert.notEqual(state.port, foreign.address().port, what);
        assert.equal((await request(state.port, { path: '/api/state' })).json.pid, state.pid, what);
    }
});

describe('failures', () => {
    test('a service that cannot start: a clear last line and exit 1', async (t) => {
        const ctx = makeHome(t);
        const busy = http.createServer();
        await new Promise((r) => busy.listen(0, '127.0.0.1', r));
        t.after(() => busy.close());
        const { port } = busy.address();

        const result = await run(ctx, ['open', '--print'], { DRALMIK_PORT: String(port) });
        assert.equal(result.code, 1, result.output);
        const last = result.lines[result.lines.length - 1];
        assert.match(last, new RegExp(`could not start: port ${port} is already in use`));
        assert.doesNotMatch(result.output, /^https?:\/\/localhost:/m);
        assert.equal(readStateFile(ctx.home), null);
    });

    test('an unusable DRALMIK_PORT is refused before anything starts', async (t) => {
        const ctx = makeHome(t);
        for (const value of ['http', '0', '70000', '-1']) {
            const result = await run(ctx, ['open', '--print'], { DRALMIK_PORT: value });
            assert.equal(result.code, 1, result.output);
            assert.match(result.lines.at(-1), /DRALMIK_PORT must be a port number/);
        }
        assert.equal(readStateFile(ctx.home), null);
    });

    test('an empty DRALMIK_HOME is refused, and nothing lands in the working directory', async (t) => {
        const ctx = makeHome(t);
        fs.mkdirSync(ctx.home);
        for (const args of [['open', '--print'], ['start'], ['remote']]) {
            const result = await run(ctx, args, { DRALMIK_HOME: '' }, { cwd: ctx.home });
            assert.equal(result.code, 1, `${args.join(' ')}: ${result.output}`);
            assert.equal(result.stdout, '');
            assert.match(result.lines.at(-1), /could not start: DRALMIK_HOME is set but empty$/);
        }
        assert.deepEqual(fs.readdirSync(ctx.home), []);
    });

    test('an unknown command or option: usage on stderr, exit 2', async (t) => {
        const ctx = makeHome(t);
        for (const args of [['bogus'], [], ['open', '--bogus'], ['start', 'extra']]) {
            const result = await run(ctx, args);
            assert.equal(result.code, 2, `${args.join(' ')}: ${result.output}`);
            assert.equal(result.stdout, '');
            assert.match(result.stderr, /^usage: /);
        }
        assert.equal(fs.existsSync(ctx.home), false, 'nothing was created');
    });
});

describe('the service started by open', () => {
    test('stops on SIGTERM and removes its state file', async (t) => {
        const ctx = makeHome(t);
        const result = await run(ctx, ['open', '--print']);
        assert.equal(result.code, 0, result.output);
        const { pid } = readStateFile(ctx.home);
        process.kill(pid, 'SIGTERM');
        await waitGone(pid);
        assert.equal(fs.existsSync(ctx.statePath), false);
        const again = await run(ctx, ['open', '--print']);
        assert.equal(again.code, 0, again.output);
        assert.notEqual(readStateFile(ctx.home).pid, pid);
    });
});
