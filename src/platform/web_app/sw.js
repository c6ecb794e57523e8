// The web app's service worker: it keeps the app's own files, and nothing else, so that the
// game plays offline after one visit. The build names this version after the files it keeps:
// a changed page on the host is a changed worker, which the browser installs on the next
// visit; it caches the new files, takes over, and deletes the old version's cache.
const cacheName = 'oneline-@ONELINE_APP_VERSION@';
const appFiles = [
  './', 'index.html', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png',
  'icon-maskable-512.png'
];

self.addEventListener('install', (event) => {
  // From the host itself, not from the HTTP cache, which may still hold the old version.
  const fresh = appFiles.map((file) => new Request(file, {cache: 'reload'}));
  event.waitUntil(caches.open(cacheName)
                      .then((cache) => cache.addAll(fresh))
                      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
                      .then((names) => Promise.all(
                                names.filter((name) => name.startsWith('oneline-') && name !== cacheName)
                                    .map((name) => caches.delete(name))))
                      .then(() => self.clients.claim()));
});

// Cache first: the app's files as kept; anything else as the network gives it, never kept.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(cacheName)
                        .then((cache) => cache.match(event.request, {ignoreSearch: true}))
                        .then((kept) => kept ?? fetch(event.request)));
});
