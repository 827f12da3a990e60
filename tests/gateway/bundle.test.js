'use strict';
// The bundle as the build assembles it, and as `cmake --install` lays it out. Needs the paths
// that CTest passes in; run by hand without them, the tests are skipped.
const { test, describe } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const zlib = require('node:zlib');

const BUNDLE = process.env.DRALMIK_BUNDLE_DIR;
const BUILD = process.env.DRALMIK_BUILD_DIR;
const CMAKE = process.env.CMAKE_COMMAND;
const SOURCE = process.env.DRALMIK_GATEWAY_SOURCE || path.resolve(__dirname, '../../bundle');
const skip = BUNDLE ? false : 'DRALMIK_BUNDLE_DIR is not set (run through ctest)';
const APP = 'Dralmik LLM Gateway';

// The top-level keys of an XML property list with their values: strings, booleans and arrays
// of strings, which is all these files hold.
function plistKeys(text) {
    assert.match(text, /^<\?xml version="1.0" encoding="UTF-8"\?>\n<!DOCTYPE plist [^>]+>\n<plist version="1.0">\n<dict>\n/);
    assert.match(text, /<\/dict>\n<\/plist>\n$/);
    const keys = {};
    const item = /<key>([^<]+)<\/key>\s*(?:<string>([^<]*)<\/string>|<(true|false)\/>|<array>((?:\s*<string>[^<]*<\/string>)*)\s*<\/array>)/g;
    for (const m of text.matchAll(item)) {
        assert.ok(!(m[1] in keys), `duplicate key ${m[1]}`);
        keys[m[1]] = m[2] ?? (m[3] ? m[3] === 'true' : [...m[4].matchAll(/<string>([^<]*)<\/string>/g)].map((x) => x[1]));
    }
    assert.equal(Object.keys(keys).length, (text.match(/<key>/g) || []).length, 'every key has a value');
    return keys;
}

// The arguments of a desktop entry's Exec value, read the way launchers read them: first the
// general string escapes, then the quoting rules, then %%.
function execArguments(value) {
    assert.doesNotMatch(value, /[\x00-\x1f]/, 'a desktop entry value holds no control characters');
    const unescaped = value.replace(/\\(.)/g, (m, c) => ({ s: ' ', n: '\n', t: '\t', r: '\r', '\\': '\\' })[c] ?? m);
    const args = [];
    let i = 0;
    while (i < unescaped.length) {
        if (unescaped[i] === ' ') { i++; continue; }
        let arg = '';
        if (unescaped[i] === '"') {
            i++;
            for (;;) {
                assert.ok(i < unescaped.length, `unterminated quote in ${value}`);
                const c = unescaped[i++];
                if (c === '"') break;
                if (c === '\\') {
                    assert.ok('"`$\\'.includes(unescaped[i]), `stray backslash in ${value}`);
                    arg += unescaped[i++];
                } else {
                    assert.ok(!'`$'.includes(c), `unescaped ${c} in ${value}`);
                    arg += c;
                }
            }
        } else {
            while (i < unescaped.length && unescaped[i] !== ' ') arg += unescaped[i++];
            assert.ok(!/["`$\\]/.test(arg), `reserved character outside quotes in ${value}`);
        }
        args.push(arg.replace(/%%/g, '%'));
    }
    return args;
}

function desktopEntry(text) {
    const lines = text.split('\n').filter((l) => l && !l.startsWith('#'));
    assert.equal(lines[0], '[Desktop Entry]');
    const entry = {};
    for (const line of lines.slice(1)) {
        const m = /^([A-Za-z0-9-]+)=(.*)$/.exec(line);
        assert.ok(m, `not a key line: ${line}`);
        entry[m[1]] = m[2];
    }
    return entry;
}

describe('the assembled bundle', { skip }, () => {
    const contents = path.join(BUNDLE || '', 'Contents');

    test('Info.plist names the application and its version', () => {
        const info = plistKeys(fs.readFileSync(path.join(contents, 'Info.plist'), 'utf8'));
        assert.equal(info.CFBundleIdentifier, 'com.dralmik.gateway.app');
        assert.equal(info.CFBundleName, APP);
        assert.equal(info.CFBundleExecutable, APP);
        assert.equal(info.CFBundleShortVersionString, process.env.DRALMIK_VERSION);
        assert.equal(info.CFBundleVersion, process.env.DRALMIK_VERSION);
    });

    test('the login agent starts the bundle executable in the background', () => {
        const agent = plistKeys(fs.readFileSync(
            path.join(contents, 'Library/LaunchAgents/com.dralmik.gateway.app-login.plist'), 'utf8'));
        assert.equal(agent.Label, 'com.dralmik.gateway.app-login');
        assert.equal(agent.BundleProgram, `Contents/MacOS/${APP}`);
        assert.deepEqual(agent.ProgramArguments, [`Contents/MacOS/${APP}`, '--background']);
        assert.equal(agent.RunAtLoad, true);
    });

    test('the runtime runs and main.js is the current source', () => {
        const node = path.join(contents, 'Resources/runtime/node');
        const version = spawnSync(node, ['--version'], { encoding: 'utf8' });
        assert.equal(version.status, 0);
        assert.match(version.stdout, /^v\d+\./);
        assert.equal(
            fs.readFileSync(path.join(contents, 'Resources/app/dist/main.js'), 'utf8'),
            fs.readFileSync(path.join(SOURCE, 'Resources/app/dist/main.js'), 'utf8'),
            'the bundle holds a stale main.js: the build did not copy the edit');
    });
});

describe('cmake --install', { skip: skip || (!BUILD || !CMAKE ? 'no build dir or cmake' : false) }, () => {
    test('lays out the bundle, a real node, the desktop entry and the icon', (t) => {
        // A prefix with the characters that the desktop entry's Exec must quote or escape (all
        // but the backslash, which CMake takes for a path separator; see the next test).
        const root = fs.mkdtempSync(path.join(os.tmpdir(), 'dralmik-install-'));
        t.after(() => fs.rmSync(root, { recursive: true, force: true }));
        const prefix = path.join(root, 'my apps $HOME "q" `x` 100% it\'s');
        const result = spawnSync(CMAKE, ['--install', BUILD, '--prefix', prefix],
            { encoding: 'utf8' });
        assert.equal(result.status, 0, result.stdout + result.stderr);

        const contents = path.join(prefix, 'lib/dralmik', `${APP}.app`, 'Contents');
        for (const file of ['Info.plist', 'Resources/app/dist/main.js',
            'Library/LaunchAgents/com.dralmik.gateway.app-login.plist']) {
            assert.ok(fs.statSync(path.join(contents, file)).isFile(), file);
        }
        const node = path.join(contents, 'Resources/runtime/node');
        const stat = fs.lstatSync(node);
        assert.ok(stat.isFile() && !stat.isSymbolicLink(), 'node is installed as a real file');
        assert.ok(stat.mode & 0o111, 'node is executable');
        assert.equal(spawnSync(node, ['-e', 'process.stdout.write("ok")'], { encoding: 'utf8' }).stdout, 'ok');
        // What the build put in Contents/MacOS comes along with its permissions.
        const built = path.join(BUNDLE, 'Contents/MacOS');
        for (const name of fs.existsSync(built) ? fs.readdirSync(built) : []) {
            const installed = fs.statSync(path.join(contents, 'MacOS', name));
            assert.equal(installed.mode, fs.statSync(path.join(built, name)).mode, name);
        }

        const entryPath = path.join(prefix, 'share/applications/com.dralmik.gateway.app.desktop');
        const entry = desktopEntry(fs.readFileSync(entryPath, 'utf8'));
        assert.equal(entry.Type, 'Application');
        assert.equal(entry.Name, APP);
        assert.deepEqual(execArguments(entry.Exec), [path.join(contents, 'MacOS', APP)]);
        assert.ok(fs.statSync(path.join(prefix, 'share/icons/hicolor/scalable/apps', `${entry.Icon}.svg`)).isFile());

        // On PATH: relative links to the executables, each with its compressed manual page.
        for (const [name, executable] of [['dralmik-helper', 'dralmik-helper'], ['dralmik-gateway', APP]]) {
            const link = path.join(prefix, 'bin', name);
            assert.ok(!path.isAbsolute(fs.readlinkSync(link)), `${name} is a relative link`);
            assert.equal(fs.realpathSync(link), path.join(contents, 'MacOS', executable));
            const page = path.join(prefix, 'share/man/man1', `${name}.1.gz`);
            const text = zlib.gunzipSync(fs.readFileSync(page)).toString();
            assert.ok(text.includes(`.SH NAME\n${name.replace('-', '\\-')} \\- `), `${name}(1) names ${name}`);
        }
        // systemd cannot run a program from this prefix (it holds quotes): the install goes on
        // without the user units.
        assert.ok(!fs.existsSync(path.join(prefix, 'lib/systemd')), 'no units for a path systemd cannot run');
        assert.match(result.stderr, /the systemd user units are not installed/);
    });

    test('the Exec quoting reads back as the same path, backslashes and all', (t) => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dralmik-exec-'));
        t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
        const script = path.join(dir, 'quote.cmake');
        fs.writeFileSync(script, [
            `include("${path.join(SOURCE, 'desktop_entry.cmake')}")`,
            'dralmik_desktop_exec_argument(quoted "${PATH_TO_QUOTE}")',
            `file(WRITE "${path.join(dir, 'out')}" "\${quoted}")`, ''].join('\n'));
        for (const sample of ['/opt/Dralmik LLM Gateway', '/a\\b\\\\c/d', '/x/$HOME/`id`/"q"/100%/%u',
            '/tab\there', "/it's/~/#/;/&/*"]) {
            const run = spawnSync(CMAKE, [`-DPATH_TO_QUOTE=${sample}`, '-P', script], { encoding: 'utf8' });
            assert.equal(run.status, 0, run.stderr);
            const quoted = fs.readFileSync(path.join(dir, 'out'), 'utf8');
            assert.deepEqual(execArguments(quoted), [sample], quoted);
        }
        const bad = spawnSync(CMAKE, ['-DPATH_TO_QUOTE=/a\nb', '-P', script], { encoding: 'utf8' });
        assert.notEqual(bad.status, 0, 'a path with a line break cannot be written as one argument');
    });

    // systemd-analyze reads each unit back and checks that its command is an executable file,
    // which only the very path it was written for is.
    test('the units\' ExecStart reads back as the same path, or is refused', (t) => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'dralmik-unit-'));
        t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
        const script = path.join(dir, 'quote.cmake');
        fs.writeFileSync(script, [
            `include("${path.join(SOURCE, 'user_units.cmake')}")`,
            'dralmik_unit_exec_path(quoted "${PATH_TO_QUOTE}")',
            `file(WRITE "${path.join(dir, 'out')}" "\${quoted}")`, ''].join('\n'));
        const quote = (sample) => {
            const run = spawnSync(CMAKE, [`-DPATH_TO_QUOTE=${sample}`, '-P', script], { encoding: 'utf8' });
            assert.equal(run.status, 0, run.stderr);
            return fs.readFileSync(path.join(dir, 'out'), 'utf8');
        };
        for (const sample of ['/it\'s', '/say "q"', '/a\\b', '/tab\there']) assert.equal(quote(sample), '', sample);

        const runtime = fs.mkdtempSync(path.join(dir, 'runtime-'));
        for (const sample of ['/usr/bin', '/opt/Dralmik LLM Gateway', '/x/$HOME/`id`/100%/%u', '/;/#/&/*/~']) {
            const program = path.join(dir, 'root', sample, 'dralmik-helper');
            fs.mkdirSync(path.dirname(program), { recursive: true });
            fs.writeFileSync(program, '#!/bin/sh\n', { mode: 0o755 });
            const unit = path.join(dir, 'check.service');
            fs.writeFileSync(unit, `[Service]\nType=exec\nExecStart=${quote(program)} run gateway\n`);
            const verify = spawnSync('systemd-analyze', ['--user', 'verify', '--man=no', unit],
                { encoding: 'utf8', env: { ...process.env, XDG_RUNTIME_DIR: runtime } });
            if (verify.error) return t.skip('systemd-analyze is not installed');
            assert.equal(verify.status + verify.stdout + verify.stderr, '0', `${sample}: ${quote(program)}`);
        }
    });
});
