#!/usr/bin/env node
// A gateway for the end-to-end tests, standing in for main.js in a copy of the bundle. What it
// does is chosen by E2E_GATEWAY (inherited from the application's environment); every event is
// appended to the file E2E_LOG, one line each, so the tests can see what the application did.
//
//   serve (default)  serve a page with the ids the application relies on (its state pill holds
//                    "Serving" between line breaks and indentation, as markup often does); log
//                    each request with its user agent; on SIGTERM log "sigterm" and keep running
//   fail             print two lines and exit 3 before any address
//   link             like serve, but the page follows a link to a non-local https address
//   frames           like serve, with 30 frames at dralmik://retryN and 100 at external addresses
//   hostile          a page whose state is "ready_to_serve", without forget or stop buttons; it
//                    opens frames at an address with "|" in its query, at an attachment and at
//                    a type no view shows; after 6 s its state (hidden by style) becomes 20 MB
//                    of words between runs of white space, and its JSON.stringify returns 20 MB
//   silent           announce the address, then never answer the page's request
//   redirect         like serve, but the page goes once to /passwd, which redirects to file:
//   dataredirect     like serve, but the page goes once to /data, which redirects to data:
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

const hostile = mode === 'hostile';
const frames = `
for (var i = 0; i < 30; ++i) addFrame('dralmik://retry' + i);
for (var j = 0; j < 100; ++j) addFrame('https://example.invalid/frame/' + j);`;
const hostileScript = `
addFrame('/logs?f=a|b^c');
addFrame('/download');
addFrame('/octet');
setTimeout(function () {
    // Out of layout (a pill hidden by style still counts), or the engine spends a minute laying
    // the text out before it answers anything.
    var pill = document.getElementById('state');
    pill.style.display = 'none';
    pill.textContent = '\\n    ' + 'flood  of\\n\\tstate\\u00a0'.repeat(1300000);
    var big = new Array(20 * 1024 * 1024 + 1).join('x');
    JSON.stringify = function () { return '{"state":"' + big + '","disconnect":false,"stop":false}'; };
    fetch('/big');
}, 6000);`;
const redirectScript = `
if (!sessionStorage.getItem('went')) {
    sessionStorage.setItem('went', '1');
    setTimeout(function () { location.href = '${mode === 'redirect' ? '/passwd' : '/data'}'; }, 1000);
}`;

const page = `<!doctype html>
<html><head><meta charset="utf-8"><title>Test gateway</title>
<style>body { background: #0b1222; color: #e8ecf4; font: 16px sans-serif; padding: 2em; }
.pill { border-radius: 1em; padding: .2em .8em; background: #14532d; }</style></head>
<body>
<h1>Test gateway</h1>
<p><span id="state" class="pill">${hostile ? 'ready_to_serve' : '\n      Serving\n    '}</span></p>
${hostile ? '' : '<p><button id="forget">Disconnect</button> <button id="stop">Stop</button></p>'}
<p><a id="external" href="https://example.invalid/outside?from=e2e">outside</a></p>
<script>
function addFrame(src) { var f = document.createElement('iframe'); f.src = src; document.body.appendChild(f); }
window.dralmikRefresh = function () { fetch('/refresh'); };
window.addEventListener('load', function () { fetch('/loaded'); });
function onClick(id, fn) { var e = document.getElementById(id); if (e) e.onclick = fn; }
onClick('forget', function () { fetch('/forget'); });
onClick('stop', function () {
    fetch('/stop').then(function () { window.location.href = 'dralmik://quit'; });
});
${mode === 'link' ? "setTimeout(function () { document.getElementById('external').click(); fetch('/clicked'); }, 300);" : ''}
${mode === 'frames' ? frames : ''}${hostile ? hostileScript : ''}${mode.endsWith('redirect') ? redirectScript : ''}
</script>
</body></html>`;

const server = http.createServer((req, res) => {
    note(`request ${req.url} ${req.headers['user-agent'] || ''}`);
    noteTime(`request ${req.url}`);
    if (req.url === '/') {
        if (mode === 'silent') {
            req.socket.on('close', () => note('aborted /'));
            return;  // never answered
        }
        res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
        res.end(page);
        return;
    }
    if (req.url === '/passwd' || req.url === '/data') {
        res.writeHead(302, { Location: req.url === '/data' ? 'data:text/html,<p>elsewhere</p>' : 'file:///etc/passwd' });
        res.end();
        return;
    }
    if (req.url === '/download') {
        res.writeHead(200, { 'Content-Type': 'text/plain', 'Content-Disposition': 'attachment; filename="saved.txt"' });
        res.end('downloaded');
        return;
    }
    if (req.url === '/octet') {
        res.writeHead(200, { 'Content-Type': 'application/x-dralmik-unknown' });
        res.end('downloaded too');
        return;
    }
    res.writeHead(204);
    res.end();
});
server.listen(0, '127.0.0.1', () => {
    console.log('Test gateway ready');
    console.log(`http://localhost:${server.address().port}/`);
});
