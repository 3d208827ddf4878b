// The page's service worker: keeps the page's files, so that it opens and runs
// without a network. Each request of the page goes to the network first, and a
// good answer is kept (so a newer build shows at once); without a network the
// kept answer is used.
'use strict';

var CACHE = 'pendral';
var FILES = ['./', 'index.html', 'page.js', 'pendral.js', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png',
  'icon-maskable-512.png'];

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(CACHE).then(function (cache) { return cache.addAll(FILES); })
    .then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) { event.waitUntil(self.clients.claim()); });

self.addEventListener('fetch', function (event) {
  var request = event.request, url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== location.origin) return;
  // Kept without the address's settings: one copy of the page for any of them.
  var key = url.origin + url.pathname;
  event.respondWith(fetch(request).then(function (response) {
    if (response.ok) {
      var copy = response.clone();
      event.waitUntil(caches.open(CACHE).then(function (cache) { return cache.put(key, copy); }));
    }
    return response;
  }, function () {
    return caches.match(key).then(function (kept) { return kept || Response.error(); });
  }));
});
