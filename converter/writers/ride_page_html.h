// The ride page's document: styles and script inline, no outside library and
// no network access, so the file works from a card or a folder in any
// browser. The writer puts the ride's data (JSON) in place of the marker
// /*RIDE_DATA*/. The script plays the chapters as one time line (log time:
// ms since the recording started), draws the plot and the map on canvases
// and exposes window.ridePage for scripts and tests.
#pragma once

namespace tarvex {

inline constexpr char RIDE_PAGE_HTML[] = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<link rel="icon" href="data:,">
<title>Ride</title>
<style>
*{box-sizing:border-box}
body{margin:0;font:14px/1.4 system-ui,sans-serif;color:#222;background:#f3f4f6}
header{padding:10px 16px;background:#1f2937;color:#fff}
header h1{margin:0;font-size:18px}
header p{margin:2px 0 0;color:#cbd5e1;font-size:13px}
main{display:grid;grid-template-columns:minmax(0,3fr) minmax(0,2fr);gap:12px;padding:12px}
section{background:#fff;border-radius:6px;padding:10px;box-shadow:0 1px 2px #0002;min-width:0}
section h2{margin:0 0 6px;font-size:14px;color:#444}
.wide{grid-column:1/-1}
.screen{position:relative;background:#000;aspect-ratio:16/9;display:flex;align-items:center;justify-content:center}
.screen video{width:100%;height:100%;object-fit:contain}
#novideo{position:absolute;inset:0;display:none;align-items:center;justify-content:center;color:#ddd;
  font-size:18px;background:repeating-linear-gradient(45deg,#222 0 12px,#2a2a2a 12px 24px)}
.controls{display:flex;align-items:center;gap:8px;margin-top:6px}
.controls button{width:44px;height:32px;font-size:16px;cursor:pointer}
.controls input{flex:1}
#clock{font-variant-numeric:tabular-nums;min-width:9em;text-align:right}
#where{font-size:13px;color:#555;margin-top:2px}
#live{display:grid;grid-template-columns:repeat(5,1fr);gap:6px;margin-top:8px}
#live div{background:#f3f4f6;border-radius:4px;padding:4px 6px;text-align:center}
#live b{display:block;font-size:18px;font-variant-numeric:tabular-nums}
#live span{font-size:11px;color:#666}
.canvasbox{position:relative;width:100%}
.canvasbox canvas{position:absolute;left:0;top:0;width:100%;height:100%;cursor:crosshair}
#mapbox .canvasbox{height:360px}
#nomap{color:#777;padding:40px 0;text-align:center}
table{border-collapse:collapse;width:100%}
td{padding:3px 6px;border-bottom:1px solid #eee}
td:last-child{text-align:right;font-variant-numeric:tabular-nums}
tr[data-log-time],li[data-log-time]{cursor:pointer}
tr[data-log-time]:hover,li[data-log-time]:hover{background:#eef4ff}
ol{margin:0;padding-left:22px}
li{padding:3px 4px;border-bottom:1px solid #eee}
li small{color:#666}
li.now{background:#fff3c4}
@media (max-width:800px){main{grid-template-columns:1fr;padding:6px;gap:8px}
  #live{grid-template-columns:repeat(3,1fr)}#mapbox .canvasbox{height:300px}}
</style>
</head>
<body>
<header><h1 id="title">Ride</h1><p id="sub"></p></header>
<main>
<section id="player"><div class="screen"><video id="video" muted playsinline preload="auto"></video>
<div id="novideo">no video at this time</div></div>
<div class="controls"><button id="play" title="play / pause (space)">&#9654;</button>
<input id="timeline" type="range" min="0" max="1" step="0.1" value="0"><span id="clock"></span></div>
<div id="where"></div>
<div id="live"></div></section>
<section id="mapbox"><h2>Track</h2><div class="canvasbox"><canvas id="map"></canvas><canvas id="mapTop"></canvas></div>
<div id="nomap">no GPS in this log</div></section>
<section id="plotbox" class="wide"><div class="canvasbox" id="plotArea"><canvas id="plot"></canvas><canvas id="plotTop"></canvas></div></section>
<section id="statsbox"><h2>Statistics</h2><table id="stats"></table></section>
<section id="hlbox"><h2>Highlights</h2><ol id="highlights"></ol></section>
</main>
<script type="application/json" id="ride-data">/*RIDE_DATA*/</script>
<script>
(function () {
'use strict';
const t_start = performance.now();
const D = JSON.parse(document.getElementById('ride-data').textContent);
const $ = (id) => document.getElementById(id);

// Series: base64 of varints; 0 is "no value" (NaN here), else the zigzag
// of the change since the last value, plus one.
function decode(b64) {
  const s = atob(b64), out = [];
  let prev = 0, i = 0;
  while (i < s.length) {
    let u = 0, mul = 1, b;
    do { b = s.charCodeAt(i++); u += (b & 127) * mul; mul *= 128; } while (b & 128);
    if (u === 0) { out.push(NaN); continue; }
    u -= 1;
    prev += (u % 2) ? -(u + 1) / 2 : u / 2;
    out.push(prev);
  }
  return Float64Array.from(out);
}
const S = D.samples;
const T = decode(S.t);
for (let i = 1; i < T.length; i++) T[i] += T[i - 1];
const ALT = decode(S.alt), TEMP = decode(S.temp), G = decode(S.g), CLIMB = decode(S.climb), SPEED = decode(S.speed);
const COLS = D.columns.n, ALT_S = decode(D.columns.alt), G_S = decode(D.columns.g);
const TRACK = D.track && { t: decode(D.track.t), x: decode(D.track.x), y: decode(D.track.y) };
const CH = D.chapters;
const HL = D.report.highlights, ST = D.report.ride;

// ---- units ----
const FT = 0.3048, MI = 1.609344;
const metric = D.units.alt === 'm';
const altText = (ft) => metric ? (ft * FT).toFixed(1) : ft.toFixed(0);
const climbText = (cm) => metric ? (cm / 100).toFixed(1) : (cm / 100 / FT).toFixed(1);
const speedText = (kmh) => D.units.speed === 'km/h' ? kmh.toFixed(1) : (kmh / MI).toFixed(1);
const tempText = (c) => D.units.temp === 'F' ? (c * 9 / 5 + 32).toFixed(1) : c.toFixed(1);
const U = { alt: D.units.alt, climb: metric ? 'm/s' : 'ft/s', speed: D.units.speed, temp: '\u00b0' + D.units.temp };
const pad = (n) => (n < 10 ? '0' : '') + n;
function clock(ms, tenths) {
  const neg = ms < 0; let s = Math.abs(ms) / 1000;
  const h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60, sec = s % 60;
  let t = tenths ? sec.toFixed(1) : Math.floor(sec).toString();
  if (sec < 10) t = '0' + t;
  return (neg ? '-' : '') + (h ? h + ':' + pad(m) : m) + ':' + t;
}

// ---- time line ----
const lastEnd = CH.length ? CH[CH.length - 1].start + CH[CH.length - 1].len : 0;
const T_MIN = Math.min(0, D.t0), T_MAX = Math.max(D.t1, lastEnd);
// A chapter shows log times start..start+len; at a boundary the later one plays.
function chapterAt(ms) {
  for (let k = CH.length - 1; k >= 0; k--)
    if (ms >= CH[k].start && ms - CH[k].start <= CH[k].len) return (k + 1 < CH.length && ms === CH[k].start + CH[k].len) ? k + 1 : k;
  return -1;
}
// The last sample at or before ms, or -1.
function sampleAt(ms) {
  let lo = 0, hi = T.length - 1;
  if (!T.length || ms < T[0]) return -1;
  while (lo < hi) { const mid = (lo + hi + 1) >> 1; if (T[mid] <= ms) lo = mid; else hi = mid - 1; }
  return lo;
}
const GAP_MS = 1000;  // a sample older than this no longer describes the moment
function valuesAt(ms) {
  const i = sampleAt(ms);
  const v = { height_m: null, climb_m_s: null, g: null, speed_kmh: null, temperature_c: null };
  if (i < 0 || ms - T[i] > GAP_MS) return v;
  const num = (x, k) => isNaN(x) ? null : Math.round(x * k * 1e6) / 1e6;
  v.height_m = num(ALT[i], FT); v.climb_m_s = num(CLIMB[i], 0.01); v.g = num(G[i], 0.001);
  v.speed_kmh = num(SPEED[i], 0.1); v.temperature_c = num(TEMP[i], 0.1);
  return v;
}

// ---- player ----
const video = $('video');
let logTime = Math.max(D.t0, T_MIN), playing = false, cur = -1, pending = null, wallAt = 0;
function loadChapter(k, ms) {
  const c = CH[k];
  pending = (ms - c.start) / 1000;
  if (cur !== k) { cur = k; video.src = c.src.split('/').map(encodeURIComponent).join('/'); }
  else applyPending();
}
function applyPending() {
  if (pending === null || video.readyState < 1) return;
  video.currentTime = pending;
  pending = null;
  if (playing) video.play().catch(() => {});
}
video.addEventListener('loadedmetadata', applyPending);
// A chapter the browser cannot play (moved, damaged) is log time without
// video: playing goes on through it by the clock.
const broken = new Set();
video.addEventListener('error', () => {
  if (cur < 0) return;
  broken.add(cur);
  pending = null;
  showVideo(false, 'cannot play ' + CH[cur].name);
  wallAt = performance.now();
});
video.addEventListener('ended', () => { if (playing) nextChapter(); });
function nextChapter() {
  if (cur + 1 < CH.length) { seekMs(CH[cur + 1].start); return; }
  const end = CH[cur].start + CH[cur].len;
  if (end >= T_MAX) setPlaying(false);  // the end: play() again would start the video over
  else seekMs(end + 1);  // log time after the last chapter goes on by the clock
}
function showVideo(on, why) {
  video.style.visibility = on ? 'visible' : 'hidden';
  $('novideo').style.display = on ? 'none' : 'flex';
  $('novideo').textContent = why || 'no video at this time';
}
function seekMs(ms) {
  ms = Math.min(Math.max(ms, T_MIN), T_MAX);
  logTime = ms;
  const k = chapterAt(ms);
  if (k >= 0 && !broken.has(k)) { showVideo(true); loadChapter(k, ms); }
  else { video.pause(); showVideo(false, k >= 0 ? 'cannot play ' + CH[k].name : ''); wallAt = performance.now(); }
  update();
}
function videoOn() { return cur >= 0 && chapterAt(logTime) === cur && !broken.has(cur); }
// Log time now: the video's own clock while it shows the moment.
function now() {
  if (videoOn() && pending === null && !video.seeking && video.readyState >= 1)
    return CH[cur].start + video.currentTime * 1000;
  return logTime;
}
function setPlaying(on) {
  playing = on;
  $('play').innerHTML = on ? '&#10074;&#10074;' : '&#9654;';
  if (videoOn()) { if (on && pending === null) video.play().catch(() => {}); else if (!on) video.pause(); }
  wallAt = performance.now();
}
function tick() {
  if (playing) {
    if (videoOn() && pending === null) {
      logTime = now();
      const c = CH[cur];
      if (logTime >= c.start + c.len) nextChapter();  // the header's length ends the chapter
    } else if (!videoOn()) {
      const t = performance.now();
      logTime += t - wallAt;
      wallAt = t;
      if (logTime >= T_MAX) { logTime = T_MAX; setPlaying(false); }
      else if (chapterAt(logTime) >= 0 && !broken.has(chapterAt(logTime))) seekMs(logTime);
    }
  }
  update();
  requestAnimationFrame(tick);
}

// ---- live values, clock ----
const LIVE = [['height_m', 'height', U.alt, (v) => altText(v / FT)], ['climb_m_s', 'climb', U.climb, (v) => climbText(v * 100)],
  ['g', 'acceleration', 'G', (v) => v.toFixed(2)], ['speed_kmh', 'speed', U.speed, speedText], ['temperature_c', 'temperature', U.temp, tempText]];
$('live').innerHTML = LIVE.map((l) => '<div><b id="v_' + l[0] + '">-</b><span>' + l[1] + ' (' + l[2] + ')</span></div>').join('');
const timeline = $('timeline');
timeline.min = T_MIN / 1000; timeline.max = T_MAX / 1000;
timeline.addEventListener('input', () => seekMs(timeline.value * 1000));
let shown = NaN;
function update() {
  const ms = now();
  if (ms === shown) return;
  shown = ms;
  const k = chapterAt(ms);
  $('clock').textContent = clock(ms, true) + ' / ' + clock(T_MAX, false);
  $('where').textContent = k >= 0 ? CH[k].name + ' at ' + clock(ms - CH[k].start, true)
    : (CH.length ? 'no video at this time (log time only)' : 'no video: the page was made without the chapters');
  if (document.activeElement !== timeline) timeline.value = ms / 1000;
  const v = valuesAt(ms);
  for (const l of LIVE) $('v_' + l[0]).textContent = v[l[0]] === null ? '-' : l[3](v[l[0]]);
  drawPlotCursor(ms);
  drawMapTop(ms);
  for (const li of HL_ITEMS) li.classList.toggle('now', Math.abs(parseFloat(li.dataset.logTime) * 1000 - ms) < 1500);
}

// ---- canvases ----
function fitCanvas(c) {
  const r = c.getBoundingClientRect(), dpr = window.devicePixelRatio || 1;
  c.width = Math.max(1, Math.round(r.width * dpr)); c.height = Math.max(1, Math.round(r.height * dpr));
  const ctx = c.getContext('2d'); ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
  return { ctx, w: r.width, h: r.height };
}
function niceStep(span, n) {
  const raw = span / n, p = Math.pow(10, Math.floor(Math.log10(raw)));
  for (const m of [1, 2, 2.5, 5, 10]) if (m * p >= raw) return m * p;
  return 10 * p;
}
const TIME_STEPS = [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800];

// The plot: the panels of the ride picture, sharing one time axis.
const PL = { left: 56, right: 12, top: 8, gap: 26, panel: 120, bottom: 26 };
const hasSpeed = SPEED.some((x) => !isNaN(x));
const PANELS = [
  { cap: 'Altitude (' + U.alt + '): raw, and ' + D.filters.alt, kinds: ['height'],
    series: [{ raw: ALT, k: metric ? FT : 1, color: '#9ecae1', w: 1 }, { cols: ALT_S, k: metric ? FT : 1, color: '#08519c', w: 1.5 }] },
  { cap: 'Barometric climb rate (' + U.climb + ') over ' + D.filters.climb_window + ' samples', kinds: ['climb', 'sink'], zero: true,
    series: [{ raw: CLIMB, k: metric ? 0.01 : 0.01 / FT, color: '#31a354', w: 1.2 }] },
  { cap: 'Acceleration (G): raw magnitude, and ' + D.filters.accel, kinds: ['g'],
    series: [{ raw: G, k: 0.001, color: '#9ecae1', w: 1 }, { cols: G_S, k: 0.001, color: '#08519c', w: 1.5 }] },
];
if (hasSpeed) PANELS.push({ cap: 'GPS speed (' + U.speed + ')', kinds: ['speed'],
  series: [{ raw: SPEED, k: D.units.speed === 'km/h' ? 0.1 : 0.1 / MI, color: '#e6550d', w: 1.4 }] });
const plotArea = $('plotArea');
plotArea.style.height = (PL.top + PANELS.length * (PL.gap + PL.panel) + PL.bottom) + 'px';
let plotW = 0;
const xOf = (ms) => PL.left + (ms - T_MIN) / (T_MAX - T_MIN || 1) * (plotW - PL.left - PL.right);
const msOf = (x) => T_MIN + (x - PL.left) / (plotW - PL.left - PL.right) * (T_MAX - T_MIN);
function panelTop(i) { return PL.top + i * (PL.gap + PL.panel) + PL.gap; }
// Per pixel column the lowest and highest value, so one spike always shows.
function columns(s, n) {
  const lo = new Float64Array(n).fill(NaN), hi = new Float64Array(n).fill(NaN);
  const put = (c, v) => { if (c < 0 || c >= n || isNaN(v)) return; if (!(lo[c] <= v)) lo[c] = v; if (!(hi[c] >= v)) hi[c] = v; };
  if (s.raw) {
    const a = (n) / (T_MAX - T_MIN || 1);
    for (let i = 0; i < T.length; i++) put(Math.floor((T[i] - T_MIN) * a), s.raw[i] * s.k);
  } else {
    const span = D.t1 - D.t0 + 1;
    for (let c = 0; c < COLS; c++) {
      const ms = D.t0 + (c + 0.5) * span / COLS, px = Math.floor((ms - T_MIN) * n / (T_MAX - T_MIN || 1));
      put(px, s.cols[2 * c] * s.k); put(px, s.cols[2 * c + 1] * s.k);
    }
  }
  return { lo, hi };
}
function drawPlot() {
  const { ctx, w, h } = fitCanvas($('plot'));
  plotW = w;
  fitCanvas($('plotTop'));
  const n = Math.max(1, Math.floor(w - PL.left - PL.right));
  ctx.clearRect(0, 0, w, h);
  ctx.font = '11px sans-serif';
  const span = (T_MAX - T_MIN) / 1000;
  const step = TIME_STEPS.find((s) => span / s <= Math.max(2, n / 90)) || 604800;
  PANELS.forEach((p, i) => {
    const top = panelTop(i), bottom = top + PL.panel;
    const cols = p.series.map((s) => columns(s, n));
    let lo = Infinity, hi = -Infinity;
    for (const c of cols) for (let x = 0; x < n; x++) { if (c.lo[x] < lo) lo = c.lo[x]; if (c.hi[x] > hi) hi = c.hi[x]; }
    if (!isFinite(lo)) { lo = 0; hi = 1; }
    if (p.zero) { lo = Math.min(lo, 0); hi = Math.max(hi, 0); }
    if (hi - lo < 1e-9) { lo -= 1; hi += 1; }
    const vstep = niceStep(hi - lo, 4);
    lo = Math.floor(lo / vstep) * vstep; hi = Math.ceil(hi / vstep) * vstep;
    const yOf = (v) => bottom - (v - lo) / (hi - lo) * PL.panel;
    p.yOf = yOf;
    // no-video shading
    if (CH.length) {
      ctx.fillStyle = '#eeeeee';
      let from = T_MIN;
      for (const c of CH) { if (c.start > from) ctx.fillRect(xOf(from), top, xOf(c.start) - xOf(from), PL.panel); from = Math.max(from, c.start + c.len); }
      if (from < T_MAX) { ctx.fillRect(xOf(from), top, xOf(T_MAX) - xOf(from), PL.panel); if (i === 0) { ctx.fillStyle = '#888'; ctx.fillText('no video', xOf(from) + 3, bottom - 4); } }
    }
    ctx.strokeStyle = '#e6e6e6'; ctx.lineWidth = 1; ctx.fillStyle = '#333'; ctx.textAlign = 'right';
    for (let v = lo; v <= hi + vstep / 2; v += vstep) {
      const y = Math.round(yOf(v)) + 0.5;
      ctx.strokeStyle = (p.zero && Math.abs(v) < vstep / 2) ? '#aaa' : '#e6e6e6';
      ctx.beginPath(); ctx.moveTo(PL.left, y); ctx.lineTo(w - PL.right, y); ctx.stroke();
      ctx.fillText(+v.toFixed(3) + '', PL.left - 4, y + 4);
    }
    ctx.strokeStyle = '#e6e6e6';
    for (let s = Math.ceil(T_MIN / 1000 / step) * step; s <= span + T_MIN / 1000; s += step) {
      const x = Math.round(xOf(s * 1000)) + 0.5;
      ctx.beginPath(); ctx.moveTo(x, top); ctx.lineTo(x, bottom); ctx.stroke();
    }
    p.series.forEach((s, k) => {
      const c = cols[k];
      ctx.strokeStyle = s.color; ctx.lineWidth = s.w; ctx.beginPath();
      let open = false;
      for (let x = 0; x < n; x++) {
        if (isNaN(c.lo[x])) { open = false; continue; }
        const px = PL.left + x + 0.5;
        if (!open) ctx.moveTo(px, yOf(c.lo[x])); else ctx.lineTo(px, yOf(c.lo[x]));
        ctx.lineTo(px + (c.hi[x] === c.lo[x] ? 0.5 : 0), yOf(c.hi[x]));
        open = true;
      }
      ctx.stroke();
    });
    ctx.strokeStyle = '#d62728'; ctx.setLineDash([5, 3]); ctx.lineWidth = 1;
    for (const c of CH) if (c.start > T_MIN) { const x = xOf(c.start); ctx.beginPath(); ctx.moveTo(x, top); ctx.lineTo(x, bottom); ctx.stroke(); }
    ctx.setLineDash([]);
    ctx.fillStyle = '#d62728'; ctx.textAlign = 'left';
    for (const hl of HL) {
      if (!p.kinds.includes(hl.kind)) continue;
      const x = xOf(hl.log_time_s * 1000);
      ctx.beginPath(); ctx.moveTo(x, top + 1); ctx.lineTo(x - 4, top - 6); ctx.lineTo(x + 4, top - 6); ctx.fill();
    }
    ctx.strokeStyle = '#999'; ctx.strokeRect(PL.left + 0.5, top + 0.5, w - PL.left - PL.right, PL.panel);
    ctx.fillStyle = '#222'; ctx.font = 'bold 12px sans-serif'; ctx.textAlign = 'left';
    ctx.fillText(p.cap, PL.left, top - 10);
    ctx.font = '11px sans-serif';
    if (p.series.length > 1) {  // legend: raw and smoothed, at the panel's right
      ctx.textAlign = 'right';
      let x = w - PL.right;
      for (const s of p.series.slice().reverse()) {
        const label = s.raw ? 'raw' : 'smoothed';
        ctx.fillStyle = '#444'; ctx.fillText(label, x, top - 10);
        x -= ctx.measureText(label).width + 4;
        ctx.strokeStyle = s.color; ctx.lineWidth = 3; ctx.beginPath(); ctx.moveTo(x - 16, top - 14); ctx.lineTo(x, top - 14); ctx.stroke();
        x -= 28;
      }
      ctx.textAlign = 'left';
    }
    if (i === 0) {
      ctx.fillStyle = '#d62728';
      let free = 0;  // names that would overlap the one before are left out
      for (const c of CH) {
        const x = xOf(Math.max(c.start, T_MIN)) + 3;
        if (c.start > T_MAX || x < free) continue;
        ctx.fillText(c.name, x, top + 12);
        free = x + ctx.measureText(c.name).width + 6;
      }
    }
  });
  ctx.fillStyle = '#333'; ctx.textAlign = 'center';
  const yb = panelTop(PANELS.length - 1) + PL.panel + 16;
  for (let s = Math.ceil(T_MIN / 1000 / step) * step; s <= span + T_MIN / 1000; s += step) {
    const label = clock(s * 1000, false), x = xOf(s * 1000);
    ctx.fillText(label, Math.min(x, w - ctx.measureText(label).width / 2 - 2), yb);
  }
  shown = NaN;
}
function drawPlotCursor(ms) {
  const c = $('plotTop'), ctx = c.getContext('2d');
  const w = c.width / (window.devicePixelRatio || 1);
  ctx.clearRect(0, 0, w, c.height);
  const x = Math.round(xOf(ms)) + 0.5;
  ctx.strokeStyle = '#111'; ctx.lineWidth = 1.5;
  const top = panelTop(0), bottom = panelTop(PANELS.length - 1) + PL.panel;
  ctx.beginPath(); ctx.moveTo(x, top); ctx.lineTo(x, bottom); ctx.stroke();
  const i = sampleAt(ms);
  if (i < 0) return;
  ctx.fillStyle = '#111';
  PANELS.forEach((p) => {
    const s = p.series[p.series.length - 1];
    const v = s.raw ? s.raw[i] * s.k : NaN;
    if (!isNaN(v) && p.yOf) { ctx.beginPath(); ctx.arc(x, p.yOf(v), 3, 0, 7); ctx.fill(); }
  });
}
$('plotTop').addEventListener('click', (e) => {
  const r = e.target.getBoundingClientRect();
  seekMs(msOf(e.clientX - r.left));
});

// The map: the track in metres east and north of its start, equal scale.
let MAP = null;
function drawMap() {
  if (!TRACK) { $('mapbox').querySelector('.canvasbox').style.display = 'none'; return; }
  $('nomap').style.display = 'none';
  const { ctx, w, h } = fitCanvas($('map'));
  fitCanvas($('mapTop'));
  let x0 = Infinity, x1 = -Infinity, y0 = Infinity, y1 = -Infinity;
  for (let i = 0; i < TRACK.x.length; i++) {
    const x = TRACK.x[i], y = TRACK.y[i];
    if (isNaN(x)) continue;
    if (x < x0) x0 = x; if (x > x1) x1 = x; if (y < y0) y0 = y; if (y > y1) y1 = y;
  }
  const m = 16, sc = Math.min((w - 2 * m) / (x1 - x0 || 1), (h - 2 * m - 14) / (y1 - y0 || 1));
  const ox = (w - (x1 - x0) * sc) / 2, oy = (h - 14 - (y1 - y0) * sc) / 2;
  MAP = { px: (x) => ox + (x - x0) * sc, py: (y) => h - 14 - oy - (y - y0) * sc, last: -2 };
  ctx.clearRect(0, 0, w, h);
  trackPath(ctx, TRACK.x.length, '#b7c6d9', 2);
  // Highlights at their fixes.
  const lat0 = D.track.lat0 * Math.PI / 180, K = 6371000 * Math.PI / 180;
  ctx.font = '11px sans-serif'; ctx.textAlign = 'left';
  for (const hl of HL) {
    if (hl.lat_deg === undefined) continue;
    const x = MAP.px((hl.lon_deg - D.track.lon0) * K * Math.cos(lat0) * 10), y = MAP.py((hl.lat_deg - D.track.lat0) * K * 10);
    ctx.fillStyle = hl.kind === 'g' ? '#d62728' : '#7b3294';
    ctx.beginPath(); ctx.arc(x, y, 4, 0, 7); ctx.fill();
  }
  // Scale bar: a round length near a fifth of the width.
  const metres = niceStep((w / 5) / sc / 10, 1), len = metres * 10 * sc;
  ctx.strokeStyle = '#333'; ctx.lineWidth = 2; ctx.beginPath();
  ctx.moveTo(m, h - 8); ctx.lineTo(m + len, h - 8); ctx.stroke();
  ctx.fillStyle = '#333'; ctx.fillText(metres >= 1000 ? metres / 1000 + ' km' : metres + ' m', m + len + 6, h - 4);
  shown = NaN;
}
function trackPath(ctx, end, color, width) {
  ctx.strokeStyle = color; ctx.lineWidth = width; ctx.lineJoin = 'round'; ctx.beginPath();
  let open = false;
  for (let i = 0; i < end; i++) {
    const x = TRACK.x[i];
    if (isNaN(x)) { open = false; continue; }
    if (open) ctx.lineTo(MAP.px(x), MAP.py(TRACK.y[i])); else ctx.moveTo(MAP.px(x), MAP.py(TRACK.y[i]));
    open = true;
  }
  ctx.stroke();
}
// The last track point at or before ms.
function trackIndex(ms) {
  let lo = 0, hi = TRACK.t.length - 1, best = -1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    let k = mid; while (k >= lo && isNaN(TRACK.t[k])) k--;
    if (k < lo) { lo = mid + 1; continue; }
    if (TRACK.t[k] <= ms) { best = k; lo = mid + 1; } else hi = k - 1;
  }
  return best;
}
function drawMapTop(ms) {
  if (!MAP) return;
  const c = $('mapTop'), ctx = c.getContext('2d'), dpr = window.devicePixelRatio || 1;
  const i = trackIndex(ms);
  ctx.clearRect(0, 0, c.width / dpr, c.height / dpr);
  if (i < 0) return;
  trackPath(ctx, i + 1, '#08519c', 3);
  let x = TRACK.x[i], y = TRACK.y[i];
  const j = i + 1;
  if (j < TRACK.t.length && !isNaN(TRACK.t[j]) && TRACK.t[j] > TRACK.t[i]) {
    const f = Math.min(1, (ms - TRACK.t[i]) / (TRACK.t[j] - TRACK.t[i]));
    x += (TRACK.x[j] - x) * f; y += (TRACK.y[j] - y) * f;
  }
  ctx.fillStyle = '#ff7f0e'; ctx.strokeStyle = '#fff'; ctx.lineWidth = 2;
  ctx.beginPath(); ctx.arc(MAP.px(x), MAP.py(y), 6, 0, 7); ctx.fill(); ctx.stroke();
}
$('mapTop').addEventListener('click', (e) => {
  if (!MAP) return;
  const r = e.target.getBoundingClientRect(), cx = e.clientX - r.left, cy = e.clientY - r.top;
  let best = -1, bd = Infinity;
  for (let i = 0; i < TRACK.x.length; i++) {
    if (isNaN(TRACK.x[i])) continue;
    const d = (MAP.px(TRACK.x[i]) - cx) ** 2 + (MAP.py(TRACK.y[i]) - cy) ** 2;
    if (d < bd) { bd = d; best = i; }
  }
  if (best >= 0) seekMs(TRACK.t[best]);
});

// ---- statistics and highlights ----
const esc = (s) => String(s).replace(/[&<>"]/g, (c) => '&#' + c.charCodeAt(0) + ';');
const distText = (m) => D.units.dist === 'km' ? (m / 1000).toFixed(2) + ' km' : (m / 1000 / MI).toFixed(2) + ' mi';
const STATS = [['duration_s', 'duration', (v) => clock(v * 1000, false)],
  ['height_max_m', 'highest point', (v) => altText(v / FT) + ' ' + U.alt], ['height_min_m', 'lowest point', (v) => altText(v / FT) + ' ' + U.alt],
  ['climb_m', 'climb', (v) => altText(v / FT) + ' ' + U.alt], ['descent_m', 'descent', (v) => altText(v / FT) + ' ' + U.alt],
  ['climb_rate_max_m_s', 'steepest climb', (v) => climbText(v * 100) + ' ' + U.climb], ['sink_rate_max_m_s', 'steepest sink', (v) => climbText(v * 100) + ' ' + U.climb],
  ['g_max', 'largest G', (v) => v.toFixed(2) + ' G'],
  ['temperature_min_c', 'lowest temperature', (v) => tempText(v) + ' ' + U.temp], ['temperature_max_c', 'highest temperature', (v) => tempText(v) + ' ' + U.temp],
  ['speed_max_kmh', 'top speed', (v) => speedText(v) + ' ' + U.speed], ['speed_avg_kmh', 'average moving speed', (v) => speedText(v) + ' ' + U.speed],
  ['distance_m', 'distance', distText]];
$('stats').innerHTML = STATS.filter((s) => ST[s[0]] !== null && ST[s[0]] !== undefined).map((s) => {
  const t = D.stat_times[s[0]];
  return '<tr data-stat="' + s[0] + '"' + (t !== undefined ? ' data-log-time="' + t / 1000 + '"' : '') + '><td>' + s[1] + '</td><td>' + esc(s[2](ST[s[0]])) + '</td></tr>';
}).join('');
const NAMES = { g: 'hit', height: 'highest point', speed: 'top speed', climb: 'steepest climb', sink: 'steepest sink' };
function hlValue(h) {
  if (h.kind === 'g') return h.value.toFixed(2) + ' G';
  if (h.kind === 'height') return altText(h.value / FT) + ' ' + U.alt;
  if (h.kind === 'speed') return speedText(h.value) + ' ' + U.speed;
  return climbText(h.value * 100) + ' ' + U.climb;
}
let firstHit = true;
$('highlights').innerHTML = HL.map((h) => {
  const name = h.kind === 'g' && firstHit ? 'hardest hit' : NAMES[h.kind];
  if (h.kind === 'g') firstHit = false;
  const where = h.chapter ? esc(h.chapter) + ' ' + clock(h.chapter_time_s * 1000, false) : (CH.length ? 'no video' : '');
  return '<li data-kind="' + h.kind + '" data-log-time="' + h.log_time_s + '">' + name + ' <b>' + esc(hlValue(h)) +
    '</b> <small>at ' + clock(h.log_time_s * 1000, false) + (where ? ' = ' + where : '') + '</small></li>';
}).join('');
const HL_ITEMS = Array.from(document.querySelectorAll('#highlights li'));
for (const el of document.querySelectorAll('[data-log-time]'))
  el.addEventListener('click', () => { seekMs(parseFloat(el.dataset.logTime) * 1000); });

// ---- title, keys, start ----
const date = D.rec_date ? new Date(D.rec_date * 1000).toISOString().replace('T', ' ').slice(0, 16) + ' UTC' : 'an unknown date';
$('title').textContent = 'Ride of ' + (D.serial || 'a unit without serial number') + ' on ' + date;
document.title = $('title').textContent;
$('sub').textContent = D.log + ': ' + T.length + ' samples over ' + clock(D.t1 - D.t0, false) + ', ' +
  (CH.length ? CH.length + ' video chapter' + (CH.length > 1 ? 's' : '') : 'no video') + '. Space plays and pauses, arrow keys step 5 s; click the plot, the map or a highlight to go there.';
$('play').addEventListener('click', (e) => { setPlaying(!playing); e.currentTarget.blur(); });
document.addEventListener('keydown', (e) => {
  if ((e.target === timeline && e.key !== ' ') || e.target.tagName === 'BUTTON') return;  // their own keys
  if (e.key === ' ') { e.preventDefault(); setPlaying(!playing); }
  else if (e.key === 'ArrowLeft') { e.preventDefault(); seekMs(now() - 5000); }
  else if (e.key === 'ArrowRight') { e.preventDefault(); seekMs(now() + 5000); }
});
function redraw() { drawPlot(); drawMap(); update(); }
window.addEventListener('resize', redraw);
redraw();
seekMs(logTime);
requestAnimationFrame(tick);

window.ridePage = {
  seek: (s) => seekMs(s * 1000),
  state: () => {
    const ms = now(), k = chapterAt(ms);
    return { logTime: ms / 1000, chapter: k >= 0 ? CH[k].name : null, chapterTime: k >= 0 ? (ms - CH[k].start) / 1000 : null,
      playing: playing, values: valuesAt(ms) };
  },
  play: () => setPlaying(true),
  pause: () => setPlaying(false),
  // ms from the start of navigation to here, and of this script alone
  readyAt: performance.now(),
  scriptMs: performance.now() - t_start,
};
})();
</script>
</body>
</html>
)PAGE";

}  // namespace tarvex
