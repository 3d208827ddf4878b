// The page around the animation: the settings panel (kept in localStorage, given
// in the address as ?count=100&red=1, which follows the panel), full screen with
// the screen kept awake, pictures chosen or dropped on the page, and the service
// worker that keeps the page for use offline. The
// animation and every rule about values and pictures are the program's
// (src/main/web.cpp); this script only passes things on, and refuses what no
// setting or picture could be before it reaches the program.
'use strict';

var STORAGE_KEY = 'pendral.settings';
var KEYS = ['count', 'attraction', 'refresh', 'red', 'blue'];
var PLACES = ['red body', 'blue body', 'plain bodies'];
var MAX_PICTURE_BYTES = 16 * 1024 * 1024;
// No setting's value is this long; a longer one is refused here, so that the
// program is never handed more than a few bytes.
var MAX_VALUE_LENGTH = 32;
// The program's back buffer has at most this many pixels on a side; in a larger
// window the field keeps this size, in the top left corner, and the rest is black.
var MAX_SIDE = 16384;
// A notice shows at most this many lines, each cut to this length.
var NOTICE_LINES = 5;
var NOTICE_LINE_LENGTH = 160;
// A slider moved with the keyboard changes at every press: the scene starts anew
// once the presses stop.
var SLIDER_DELAY_MS = 400;
var canvas = document.getElementById('screen');
var panel = document.getElementById('panel');
var showButton = document.getElementById('show');
var pictureInput = document.getElementById('pictures');
var noticeTimer = 0;
var sliderTimer = 0;
var fieldCapped = false;
// The file shown in each picture place; null for the built-in picture.
var pictureNames = [null, null, null];
// The drop (a count) that last took each picture place: drops overlap while
// files are read, and of two that name one place the later one's file counts.
var pictureOwners = [0, 0, 0], drops = 0;

var Module = {
  canvas: canvas,
  // After main(), which seeds the random generator: the first scatter is this visit's own.
  postRun: [start],
  onAbort: function (what) { notice(['The animation could not start: ' + what]); },
  print: function (text) { console.log(text); },
  printErr: function (text) { console.warn(text); }
};

function cut(text, length) {
  return text.length > length ? text.slice(0, length - 1) + '…' : text;
}

function notice(lines) {
  var box = document.getElementById('notice');
  if (!lines.length) return;
  var shown = lines.length > NOTICE_LINES ? lines.slice(0, NOTICE_LINES - 1) : lines;
  shown = shown.map(function (line) { return cut(line, NOTICE_LINE_LENGTH); });
  if (lines.length > shown.length) shown.push('and ' + (lines.length - shown.length) + ' more');
  box.textContent = shown.join('\n');
  box.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(function () { box.hidden = true; }, 10000);
}

// One setting; false, with a line in `problems`, when its value was bad and the
// default took its place. Keys that are no setting are left out.
function setOne(key, value, from, problems) {
  if (KEYS.indexOf(key) < 0) return true;
  var said = from + ': ' + key + '=' + cut(value, MAX_VALUE_LENGTH + 1) + ': ';
  if (value.length > MAX_VALUE_LENGTH) {
    Module.ccall('pendral_set', 'number', ['string', 'string'], [key, '']);
    problems.push(said + 'longer than any setting; using the default');
    return false;
  }
  if (Module.ccall('pendral_set', 'number', ['string', 'string'], [key, value]) !== 2) return true;
  problems.push(said + Module.UTF8ToString(Module._pendral_error()) + '; using the default');
  return false;
}

// The settings of `query`; of a key given more than once the last counts, and
// the notice says so. False when a value was bad.
function setAll(query, from, problems) {
  var last = {}, times = {}, good = true;
  new URLSearchParams(query).forEach(function (value, key) {
    if (KEYS.indexOf(key) < 0) return;
    last[key] = value;
    times[key] = (times[key] || 0) + 1;
  });
  KEYS.forEach(function (key) {
    if (!times[key]) return;
    if (times[key] > 1) {
      problems.push(from + ': ' + key + ' given ' + times[key] + ' times; the last one counts: ' +
                    key + '=' + cut(last[key], MAX_VALUE_LENGTH + 1));
    }
    good = setOne(key, last[key], from, problems) && good;
  });
  return good;
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

// The scene for the window as it is now: a new scatter. Each canvas pixel covers
// a square of whole device pixels, as many as make one CSS pixel rounded (2 on a
// screen of density 2), and is shown without smoothing: sharp on a dense screen,
// with bodies of the size they have on an ordinary one. Gives the problems.
function restart() {
  var ratio = window.devicePixelRatio || 1, scale = Math.max(1, Math.round(ratio));
  var wantWidth = Math.max(1, Math.floor(window.innerWidth * ratio / scale));
  var wantHeight = Math.max(1, Math.floor(window.innerHeight * ratio / scale));
  var width = Math.min(MAX_SIDE, wantWidth), height = Math.min(MAX_SIDE, wantHeight);
  var problems = [];
  canvas.width = width;
  canvas.height = height;
  canvas.style.width = width * scale / ratio + 'px';
  canvas.style.height = height * scale / ratio + 'px';
  if (!Module._pendral_start(width, height)) {
    problems.push('No animation: not enough memory for a field of ' + width + ' x ' + height + ' pixels.');
  } else if ((width < wantWidth || height < wantHeight) && !fieldCapped) {
    problems.push('The field is at most ' + MAX_SIDE + ' pixels on a side; the rest of the window stays black.');
  }
  fieldCapped = width < wantWidth || height < wantHeight;
  return problems;
}

// Calls `then` at the first change of the media query's match, once. Engines
// without MediaQueryList.addEventListener (Safari before 14) have addListener.
function onceMediaChanges(query, then) {
  var list = matchMedia(query);
  function changed() {
    if (list.removeEventListener) list.removeEventListener('change', changed);
    else list.removeListener(changed);
    then();
  }
  if (list.addEventListener) list.addEventListener('change', changed);
  else list.addListener(changed);
}

// A change of zoom or of monitor changes the density: the scene follows it.
function followDensity() {
  onceMediaChanges('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)', function () {
    followDensity();
    if (Module.calledRun) notice(restart());
  });
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
  // A bad stored value gives way to its default in storage too: its notice shows once.
  if (!setAll(readStored(), 'saved', problems)) store();
  setAll(location.search, 'address', problems);
  showSettings();
  notice(problems.concat(restart()));
  if (new URLSearchParams(location.search).get('bench') === '1') runBenchmark();
}

// The panel's values as the settings, kept, and a new scatter.
function applyPanel() {
  clearTimeout(sliderTimer);
  sliderTimer = 0;
  var problems = [];
  KEYS.forEach(function (key) {
    var input = document.getElementById(key);
    setOne(key, input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value, 'panel', problems);
  });
  showSettings();
  store();
  notice(problems.concat(restart()));
}

// The address shows the panel's settings, so that it is the link that shares
// them and a reload (which reads the address after the stored settings) keeps
// them; the address's other parts stay.
function showInAddress() {
  var query = new URLSearchParams(), was = new URLSearchParams(location.search);
  KEYS.forEach(function (key) {
    var input = document.getElementById(key);
    query.set(key, input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value);
  });
  was.forEach(function (value, key) { if (KEYS.indexOf(key) < 0) query.append(key, value); });
  try { history.replaceState(history.state, '', '?' + query.toString() + location.hash); }
  catch (e) { console.log('the address cannot show the settings: ' + e.message); }
}

function onSettingChanged(event) {
  if (KEYS.indexOf(event.target.id) < 0 || !Module.calledRun) return;
  // At once, before a slider's delay: a reload meanwhile keeps the new value.
  showInAddress();
  if (event.target.type !== 'range') { applyPanel(); return; }
  clearTimeout(sliderTimer);
  sliderTimer = setTimeout(applyPanel, SLIDER_DELAY_MS);
}

// The place each file takes: by its name (SPPAT_R0..2, with or without .bmp),
// else the first place no other file took; -1 for a file left out, with a line
// in `problems`.
function picturePlaces(files, problems) {
  var places = [], taken = [null, null, null], over = 0;
  files.forEach(function (file, i) {
    var m = /^SPPAT_R([012])(\.bmp)?$/i.exec(file.name), place = m ? +m[1] : -1;
    if (place < 0) return;
    if (taken[place]) {
      places[i] = -1;
      problems.push(cut(file.name, 40) + ' left out: ' + cut(taken[place].name, 40) + ' is the picture for the ' +
                    PLACES[place]);
      return;
    }
    places[i] = place;
    taken[place] = file;
  });
  files.forEach(function (file, i) {
    if (places[i] !== undefined) return;
    var free = taken.indexOf(null);
    places[i] = free;
    if (free >= 0) taken[free] = file;
    else over++;
  });
  if (over) problems.push(over + (over === 1 ? ' file' : ' files') + ' left out: only three pictures are used');
  return places;
}

// The bytes of a file, as a promise that also rejects when the read throws at
// once: with Blob.arrayBuffer, or FileReader where the engine lacks it (Safari
// before 14).
function readFile(file) {
  return new Promise(function (resolve, reject) {
    if (file.arrayBuffer) {
      file.arrayBuffer().then(resolve, reject);
      return;
    }
    var reader = new FileReader();
    reader.onload = function () { resolve(reader.result); };
    reader.onerror = function () { reject(reader.error || new Error('the browser gave no reason')); };
    reader.readAsArrayBuffer(file);
  });
}

// What an exception says, or whatever else was thrown.
function reason(error) { return error && error.message ? error.message : String(error); }

// The files as the pictures of their places. The scene stops while they are
// read into the memory the replaced pictures held, and runs again afterwards
// whatever went wrong: a place whose file failed shows the built-in picture,
// and the notice says why. A place that a later drop takes before this one's
// file is checked is left to that drop, whose file is then the one checked.
function takePictures(fileList) {
  var files = Array.prototype.slice.call(fileList), problems = [], places = picturePlaces(files, problems);
  var news = [], was = pictureNames.slice(), mask = 0, drop = ++drops;
  var builtIn = function (place) { return '; the built-in picture stays for the ' + PLACES[place]; };
  var mine = function (place) { return place >= 0 && pictureOwners[place] === drop; };
  places.forEach(function (place) {
    if (place < 0) return;
    mask |= 1 << place;
    pictureNames[place] = null;
    pictureOwners[place] = drop;
  });
  Module._pendral_forget_pictures(mask);
  // Each read gives the line of its failure, if any: the lines come in the files' order.
  var reads = files.map(function (file, i) {
    var name = cut(file.name, 40), place = places[i];
    if (place < 0) return null;
    if (file.size > MAX_PICTURE_BYTES) return name + ': too large for a picture' + builtIn(place);
    return readFile(file).then(function (buffer) {
      // Of a place that a later drop took meanwhile, that drop's file is checked.
      if (mine(place)) {
        var bytes = new Uint8Array(buffer), at = Module._malloc(Math.max(1, bytes.length));
        if (!at) throw new Error('no memory for it');
        Module.HEAPU8.set(bytes, at);
        Module._pendral_take_picture(place, at, bytes.length);
      }
      news[place] = name;
    }).then(null, function (e) { return name + ': could not be read (' + reason(e) + ')' + builtIn(place); });
  });
  Promise.all(reads).then(function (failures) {
    failures.forEach(function (line) { if (line) problems.push(line); });
    var shown = Module._pendral_check_pictures();
    news.forEach(function (name, place) {
      if (!name) return;
      if (!mine(place)) {
        problems.push(name + ': not used; a later drop took the ' + PLACES[place]);
        return;
      }
      if (!(shown & (1 << place))) {
        problems.push(name + ': ' + Module.UTF8ToString(Module._pendral_refusal(place)) + builtIn(place));
        return;
      }
      problems.push(name + ' for the ' + PLACES[place] + ', in place of ' + (was[place] || 'the built-in picture'));
      pictureNames[place] = name;
    });
  }).catch(function (e) {
    // Pictures the program may not have checked are not shown.
    var still = places.filter(mine);
    Module._pendral_forget_pictures(still.reduce(function (bits, place) { return bits | 1 << place; }, 0));
    still.forEach(function (place) { pictureNames[place] = null; });
    problems.push('The pictures could not be taken (' + reason(e) + '); the built-in ones show.');
  }).then(function () {
    notice(problems.concat(restart()));
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

// Full screen as a screen saver: only the field, the cursor hidden, and a key, a
// button or a mouse movement of more than 4 pixels ends it. Without the
// Fullscreen API (or when it is refused) the field fills the window instead.
// Meanwhile a screen wake lock keeps the display on where the browser grants
// one; the browser lets it go while the page is hidden, and it is asked for
// again when the page shows again. Without one the display sleeps as it would.
// Movements count from the first place the pointer is seen in the page, again
// after each change of the window's size or state: the pointer that stays still
// while the window grows to the screen does not move in the page's own terms.
var moveOrigin = null;
// True from the browser's entry into full screen until the page or the browser
// ends it: the end of an earlier full screen, reported late (WebKit), does not
// end a newer one.
var browserFull = false;
var wakeLock = null, wakeAsked = false;
function inFullScreen() { return document.body.classList.contains('full'); }
function keepAwake() {
  if (!inFullScreen() || wakeAsked || (wakeLock && !wakeLock.released) || document.hidden || !navigator.wakeLock) return;
  wakeAsked = true;
  var granted = function (lock) {
    wakeAsked = false;
    wakeLock = lock;
    // Full screen ended while the lock was asked for.
    if (!inFullScreen()) letSleep();
  };
  try {
    Promise.resolve(navigator.wakeLock.request('screen')).then(granted, function () { wakeAsked = false; });
  } catch (e) {
    wakeAsked = false;
  }
}
function letSleep() {
  var lock = wakeLock;
  wakeLock = null;
  if (!lock || lock.released) return;
  try { Promise.resolve(lock.release()).catch(function () {}); } catch (e) { /* gone already */ }
}
function enterFullScreen() {
  var root = document.documentElement;
  moveOrigin = null;
  document.body.classList.add('full');
  keepAwake();
  if (root.requestFullscreen) root.requestFullscreen().catch(function () {});
}
function endFullScreen() {
  if (!inFullScreen()) return;
  document.body.classList.remove('full');
  browserFull = false;
  letSleep();
  if (document.fullscreenElement) document.exitFullscreen();
}
function onPointerMove(event) {
  if (!inFullScreen()) return;
  if (!moveOrigin) { moveOrigin = {x: event.clientX, y: event.clientY}; return; }
  if (Math.abs(event.clientX - moveOrigin.x) > 4 || Math.abs(event.clientY - moveOrigin.y) > 4) endFullScreen();
}

function showPanel(shown) {
  panel.hidden = !shown;
  showButton.hidden = shown;
}

// On a narrow screen the panel starts folded to its button.
if (matchMedia('(max-width: 600px), (max-height: 420px)').matches) showPanel(false);
followDensity();
// Installing and keeping the page need a server: a page opened from a file may
// fetch neither its manifest nor a service worker.
if (location.protocol !== 'file:') {
  var manifest = document.createElement('link');
  manifest.rel = 'manifest';
  manifest.href = 'manifest.webmanifest';
  document.head.appendChild(manifest);
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('sw.js').catch(function (e) { console.warn('no offline use: ' + e.message); });
  }
}

document.getElementById('fullscreen').addEventListener('click', enterFullScreen);
document.getElementById('hide').addEventListener('click', function () { showPanel(false); showButton.focus(); });
showButton.addEventListener('click', function () { showPanel(true); document.getElementById('count').focus(); });
document.getElementById('choose').addEventListener('click', function () { pictureInput.click(); });
pictureInput.addEventListener('change', function () {
  if (pictureInput.files.length && Module.calledRun) takePictures(pictureInput.files);
  pictureInput.value = '';
});
panel.addEventListener('change', onSettingChanged);
panel.addEventListener('input', function (event) {
  var out = document.getElementById(event.target.id + '-value');
  if (out) out.textContent = event.target.value;
});
window.addEventListener('pagehide', function () { if (sliderTimer) applyPanel(); });
document.addEventListener('fullscreenchange', function () {
  moveOrigin = null;
  var was = browserFull;
  browserFull = !!document.fullscreenElement;
  // Ended before the browser had entered it.
  if (browserFull && !inFullScreen()) document.exitFullscreen();
  if (browserFull || !was) return;
  document.body.classList.remove('full');
  letSleep();
});
document.addEventListener('visibilitychange', keepAwake);
window.addEventListener('resize', function () {
  moveOrigin = null;
  if (Module.calledRun) notice(restart());
});
document.addEventListener('keydown', endFullScreen);
document.addEventListener('mousedown', endFullScreen);
document.addEventListener('mousemove', onPointerMove);
document.addEventListener('dragover', function (event) { event.preventDefault(); document.body.classList.add('dragging'); });
document.addEventListener('dragleave', function () { document.body.classList.remove('dragging'); });
document.addEventListener('drop', function (event) {
  event.preventDefault();
  document.body.classList.remove('dragging');
  if (event.dataTransfer && event.dataTransfer.files.length && Module.calledRun) takePictures(event.dataTransfer.files);
});
