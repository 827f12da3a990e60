#!/usr/bin/env node
// The already running gateway both windows load their page from. It serves a small status page
// with the ids the probe reads, answers /api/state with its pid as the gateway service does, and
// writes <DRALMIK_HOME>/gateway-service.json, so the application's own `main.js open --print`
// finds it running and prints its address. The page fetches /loaded at its load event; each
// such request is appended to $BENCH_TIMES as "loaded <ms since the epoch>", any other as
// "request <path> <ms>". While the file $BENCH_FLOOD_FILE exists, the page's state text is made
// 20 MB long at its load (words between runs of white space; the pill hidden by style, which
// the probe still reads, so that the engine does not spend a minute laying it out).
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const page = `<!doctype html>
<html><head><meta charset="utf-8"><title>Bench gateway</title>
<style>body { background: #0b1222; color: #e8ecf4; font: 16px sans-serif; padding: 2em; }
.pill { border-radius: 1em; padding: .2em .8em; background: #14532d; }</style></head>
<body>
<h1>Dralmik Gateway</h1>
<p><span id="state" class="pill">Running</span></p>
<p><button id="forget">Disconnect</button> <button id="stop">Stop</button></p>
<script>
if (FLOOD) {
    var pill = document.getElementById('state');
    pill.style.display = 'none';
    pill.textContent = '\\n    ' + 'flood  of\\n\\tstate\\u00a0'.repeat(1300000);
}
window.dralmikRefresh = function () {};
window.addEventListener('load', function () { fetch('/loaded', { cache: 'no-store' }); });
</script>
</body></html>`;

const server = http.createServer((req, res) => {
    if (process.env.BENCH_TIMES && req.url !== '/loaded') fs.appendFileSync(process.env.BENCH_TIMES, `request ${req.url} ${Date.now()}\n`);
    if (req.url === '/') {
        res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' });
        const flood = !!process.env.BENCH_FLOOD_FILE && fs.existsSync(process.env.BENCH_FLOOD_FILE);
        return res.end(page.replace('FLOOD', flood ? 'true' : 'false'));
    }
    if (req.url === '/api/state') {
        res.writeHead(200, { 'Content-Type': 'application/json' });
        return res.end(JSON.stringify({ pid: process.pid, state: 'Running' }));
    }
    if (req.url === '/loaded' && process.env.BENCH_TIMES) fs.appendFileSync(process.env.BENCH_TIMES, `loaded ${Date.now()}\n`);
    res.writeHead(204);
    res.end();
});
server.listen(0, '127.0.0.1', () => {
    const port = server.address().port;
    const home = process.env.DRALMIK_HOME;
    if (home) {
        fs.mkdirSync(path.join(home, 'logs'), { recursive: true });
        fs.writeFileSync(path.join(home, 'gateway-service.json'),
            JSON.stringify({ pid: process.pid, port, mode: 'local', url: `http://localhost:${port}/` }) + '\n');
    }
    console.log(`http://localhost:${port}/`);
});
process.on('SIGTERM', () => process.exit(0));
