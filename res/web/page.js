// The page around the animation: the settings panel (kept in localStorage, given
// in the address as ?count=100&red=1), full screen, and pictures dropped on the
// page. The animation and every rule about values and pictures are the
// program's (src/main/web.cpp); this script only passes things on.
'use strict';

var STORAGE_KEY = 'pendral.settings';
var KEYS = ['count', 'attraction', 'refresh', 'red', 'blue'];
var MAX_PICTURE_BYTES = 16 * 1024 * 1024;
var canvas = document.getElementById('screen');
var panel = document.getElementById('panel');
var noticeTimer = 0;

var Module = {
  canvas: canvas,
  onRuntimeInitialized: start,
  print: function (text) { console.log(text); },
  printErr: function (text) { console.warn(text); }
};

function notice(lines) {
  var box = document.getElementById('notice');
  if (!lines.length) return;
  box.textContent = lines.join('\n');
  box.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(function () { box.hidden = true; }, 10000);
}

function setOne(key, value, from, problems) {
  var result = Module.ccall('pendral_set', 'number', ['string', 'string'], [key, value]);
  if (result === 2) {
    problems.push(from + ': ' + key + '=' + value + ': ' +
                  Module.UTF8ToString(Module._pendral_error()) + '; using the default');
  }
}

function currentSettings() {
  return new URLSearchParams(Module.UTF8ToString(Module._pendral_settings()));
}

function showSettings() {
  var settings = currentSettings();
  KEYS.forEach(function (key) {
    var input = document.getElementById(key);
    if (input.type === 'checkbox') input.checked = settings.get(key) === '1';
    else {
      input.value = settings.get(key);
      document.getElementById(key + '-value').textContent = settings.get(key);
    }
  });
}

// The scene for the canvas's size as it is now: a new scatter.
function restart() {
  var width = Math.max(1, canvas.clientWidth), height = Math.max(1, canvas.clientHeight);
  canvas.width = width;
  canvas.height = height;
  if (!Module._pendral_start(width, height)) notice(['Not enough memory for a canvas of ' + width + 'x' + height + '.']);
}

function readStored() {
  try { return localStorage.getItem(STORAGE_KEY) || ''; } catch (e) { return ''; }
}

function store() {
  try { localStorage.setItem(STORAGE_KEY, currentSettings().toString()); }
  catch (e) { notice(['The settings could not be kept: ' + e.message]); }
}

function start() {
  var problems = [];
  Module._pendral_reset_settings();
  new URLSearchParams(readStored()).forEach(function (value, key) { setOne(key, value, 'saved', problems); });
  new URLSearchParams(location.search).forEach(function (value, key) { setOne(key, value, 'address', problems); });
  showSettings();
  restart();
  notice(problems);
  if (new URLSearchParams(location.search).get('bench') === '1') runBenchmark();
}

function onSettingChanged(event) {
  var input = event.target;
  if (KEYS.indexOf(input.id) < 0) return;
  var problems = [];
  setOne(input.id, input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value, 'panel', problems);
  notice(problems);
  showSettings();
  store();
  restart();
}

// The place a dropped file takes: by its name (SPPAT_R0..2, with or without .bmp),
// else the first place no other dropped file took.
function picturePlaces(files) {
  var places = [], taken = [false, false, false];
  files.forEach(function (file, i) {
    var m = /^SPPAT_R([012])(\.bmp)?$/i.exec(file.name);
    places[i] = m && !taken[+m[1]] ? +m[1] : -1;
    if (places[i] >= 0) taken[places[i]] = true;
  });
  files.forEach(function (file, i) {
    if (places[i] >= 0) return;
    var free = taken.indexOf(false);
    places[i] = free;
    if (free >= 0) taken[free] = true;
  });
  return places;
}

function takePictures(fileList) {
  var files = Array.prototype.slice.call(fileList), places = picturePlaces(files), problems = [];
  var reads = files.map(function (file, i) {
    if (places[i] < 0) { problems.push(file.name + ': only three pictures are used'); return null; }
    if (file.size > MAX_PICTURE_BYTES) { problems.push(file.name + ': too large for a picture'); return null; }
    return file.arrayBuffer().then(function (buffer) {
      var bytes = new Uint8Array(buffer), at = Module._malloc(Math.max(1, bytes.length));
      if (!at) { problems.push(file.name + ': no memory for it'); return; }
      Module.HEAPU8.set(bytes, at);
      Module._pendral_take_picture(places[i], at, bytes.length);
    }, function () { problems.push(file.name + ': could not be read'); });
  });
  Promise.all(reads).then(function () {
    var refused = Module._pendral_check_pictures();
    files.forEach(function (file, i) {
      if (places[i] >= 0 && (refused & (1 << places[i]))) {
        problems.push(file.name + ': not a whole 8-bit bitmap; the built-in picture stays');
      }
    });
    restart();
    notice(problems);
  });
}

function runBenchmark() {
  var results = {};
  // Warm-up first: the browser compiles the hot code again, optimised, while it runs.
  Module._pendral_time_steps(5000);
  results.stepMs = Module._pendral_time_steps(5000);
  Module._pendral_time_frames(500);
  results.frameMs = Module._pendral_time_frames(1000);
  results.bodies = +currentSettings().get('count');
  var text = 'benchmark: ' + JSON.stringify(results);
  console.log(text);
  document.title = text;
}

// Full screen as a screen saver: the cursor hides, and a key, a button or a mouse
// movement of more than 4 pixels ends it.
var moveOrigin = null;
function endFullScreen() { if (document.fullscreenElement) document.exitFullscreen(); }
function onPointerMove(event) {
  if (!document.fullscreenElement) return;
  if (!moveOrigin) { moveOrigin = {x: event.screenX, y: event.screenY}; return; }
  if (Math.abs(event.screenX - moveOrigin.x) > 4 || Math.abs(event.screenY - moveOrigin.y) > 4) endFullScreen();
}

document.getElementById('fullscreen').addEventListener('click', function () {
  moveOrigin = null;
  canvas.requestFullscreen().catch(function (e) { notice(['Full screen is not allowed here: ' + e.message]); });
});
document.getElementById('hide').addEventListener('click', function () { panel.hidden = true; document.getElementById('show').hidden = false; });
document.getElementById('show').addEventListener('click', function () { panel.hidden = false; document.getElementById('show').hidden = true; });
panel.addEventListener('change', onSettingChanged);
panel.addEventListener('input', function (event) {
  var out = document.getElementById(event.target.id + '-value');
  if (out) out.textContent = event.target.value;
});
document.addEventListener('fullscreenchange', function () { moveOrigin = null; if (Module.calledRun) restart(); });
window.addEventListener('resize', function () { if (Module.calledRun && !document.fullscreenElement) restart(); });
document.addEventListener('keydown', endFullScreen);
document.addEventListener('mousedown', function () { if (document.fullscreenElement) endFullScreen(); });
document.addEventListener('mousemove', onPointerMove);
document.addEventListener('dragover', function (event) { event.preventDefault(); document.body.classList.add('dragging'); });
document.addEventListener('dragleave', function () { document.body.classList.remove('dragging'); });
document.addEventListener('drop', function (event) {
  event.preventDefault();
  document.body.classList.remove('dragging');
  if (event.dataTransfer && event.dataTransfer.files.length && Module.calledRun) takePictures(event.dataTransfer.files);
});
