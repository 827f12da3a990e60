#!/usr/bin/env node
// A gateway for the end-to-end tests, standing in for main.js in a copy of the bundle. What it
// does is chosen by E2E_GATEWAY (inherited from the application's environment); every event is
// appended to the file E2E_LOG, one line each, so the tests can see what the application did.
//
//   serve (default)  serve a page with the ids the application relies on; log each request
//                    with its user agent; on SIGTERM log "sigterm" and keep running
//   fail             print two lines and exit 3 before any address
//   link             like serve, but the page follows a link to a non-local https address
'use strict';

const fs = require('fs');
const http = require('http');

const mode = process.env.E2E_GATEWAY || 'serve';
const logFile = process.env.E2E_LOG || '/dev/null';
const note = (line) => fs.appendFileSync(logFile, line + '\n');
const noteTime = (what) => { if (process.env.E2E_TIMES) fs.appendFileSync(process.env.E2E_TIMES, `${what} ${Date.now()}\n`); };

note(`start ${process.argv.slice(2).join(' ')}`);

if (mode === 'fail') {
    console.log('Dralmik test gateway');
    console.error('port 1 is taken: giving up');
    process.exit(3);
}

process.on('SIGTERM', () => note('sigterm'));

const page = `<!doctype html>
<html><head><meta charset="utf-8"><title>Test gateway</title>
<style>body { background: #0b1222; color: #e8ecf4; font: 16px sans-serif; padding: 2em; }
.pill { border-radius: 1em; padding: .2em .8em; background: #14532d; }</style></head>
<body>
<h1>Test gateway</h1>
<p><span id="state" class="pill">Serving</span></p>
<p><button id="forget">Disconnect</button> <button id="stop">Stop</button></p>
<p><a id="external" href="https://example.invalid/outside?from=e2e">outside</a></p>
<script>
window.dralmikRefresh = function () { fetch('/refresh'); };
window.addEventListener('load', function () { fetch('/loaded'); });
document.getElementById('forget').onclick = function () { fetch('/forget'); };
document.getElementById('stop').onclick = function () {
    fetch('/stop').then(function () { window.location.href = 'dralmik://quit'; });
};
${mode === 'link' ? "setTimeout(function () { document.getElementById('external').click(); fetch('/clicked'); }, 300);" : ''}
</script>
</body></html>`;

const server = http.createServer((req, res) => {
    note(`request ${req.url} ${req.headers['user-agent'] || ''}`);
    noteTime(`request ${req.url}`);
    if (req.url === '/') {
        res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
        res.end(page);
        return;
    }
    res.writeHead(204);
    res.end();
});
server.listen(0, '127.0.0.1', () => {
    console.log('Test gateway ready');
    console.log(`http://localhost:${server.address().port}/`);
});
