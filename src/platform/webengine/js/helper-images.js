// The helper's second part: image bytes for the adapter, and what the helper exports.
// Joined after helper-dom.js into one script (HelperScript): it continues that file's
// function and closes it.

    // Bytes of images the page already loaded, for the adapter, from the engine's cache.
    // A fetch settles after the call that starts it returns: the outcome waits here under
    // the adapter's id, and a report tells the adapter to take it.
    const fetches = new Map(); // id -> {settled, found, total, controllers}

    async function readCapped(response, controller, maxBytes) {
        // Opaque answers (cross-origin without CORS) cannot be read at all.
        if (response.type !== 'basic' && response.type !== 'cors')
            throw new Error('the answer is opaque');
        if (!response.ok)
            throw new Error('status ' + response.status);
        const length = response.headers.get('content-length');
        if (Number(length) > maxBytes || !response.body)
            throw new Error('no usable body');
        // A known, allowed length is read whole, which is much cheaper than chunk by chunk.
        if (length !== null && /^[0-9]+$/.test(length)) {
            const whole = new Uint8Array(await response.arrayBuffer());
            if (whole.length > maxBytes)
                throw new Error('too large');
            return whole;
        }
        const reader = response.body.getReader();
        const chunks = [];
        let total = 0;
        for (;;) {
            const chunk = await reader.read();
            if (chunk.done)
                break;
            total += chunk.value.byteLength;
            if (total > maxBytes) {
                controller.abort();
                throw new Error('too large');
            }
            chunks.push(chunk.value);
        }
        const bytes = new Uint8Array(total);
        let at = 0;
        for (const chunk of chunks) {
            bytes.set(chunk, at);
            at += chunk.byteLength;
        }
        return bytes;
    }

    // Same-origin images are asked of the cache alone; the engine allows that mode only
    // same-origin, so other images may reach the network when not cached.
    function fetchBytes(src, maxBytes, controllers) {
        let url;
        try {
            url = new URL(src, location.href);
        } catch (error) {
            return Promise.reject(new Error('no address'));
        }
        if (url.protocol !== 'http:' && url.protocol !== 'https:')
            return Promise.reject(new Error('no web address'));
        const controller = new AbortController();
        controllers.push(controller);
        const init = url.origin === location.origin
            ? {cache: 'only-if-cached', mode: 'same-origin', credentials: 'include'}
            : {cache: 'force-cache', mode: 'cors', credentials: 'include'};
        init.signal = controller.signal;
        return fetch(url.href, init).then((response) => readCapped(response, controller, maxBytes));
    }

    // On a page whose images are about to be saved (`eagerMaxBytes` above), the top document's images are read from the engine's cache as soon as
    // it has loaded, at most `kReadsAtOnce` at a time, and the bytes read within a moment
    // are sent in one report, at most `kMaxPushedBytes` together; the save then waits for
    // nothing. Reading after the load event keeps the reads out of the page's own loading.
    // Returns whether a report will come.
    const kMaxPushedBytes = 2 * 1024 * 1024;
    const kPushWaitMs = 500;
    const kReadsAtOnce = 32;
    function pushBytes(token, images) {
        const srcs = Array.from(new Set(images));
        if (srcs.length === 0)
            return false;
        const out = {};
        const controllers = [];
        let total = 0;
        let next = 0;
        let over = false;
        const readNext = () => {
            if (over || next >= srcs.length || total >= kMaxPushedBytes)
                return Promise.resolve();
            const src = srcs[next++];
            return fetchBytes(src, eagerMaxBytes, controllers).then((bytes) => {
                if (!over && bytes.length > 0 && total + bytes.length <= kMaxPushedBytes) {
                    out[src] = base64(bytes);
                    total += bytes.length;
                }
            }, () => {}).then(readNext);
        };
        const readers = [];
        for (let i = 0; i < Math.min(kReadsAtOnce, srcs.length); ++i)
            readers.push(readNext());
        let timer = 0;
        const limit = new Promise((resolve) => {
            timer = setTimeout(resolve, kPushWaitMs);
        });
        Promise.race([Promise.all(readers), limit]).then(() => {
            over = true;
            clearTimeout(timer);
            controllers.forEach((controller) => controller.abort());
            report({k: 'bytes', t: token, b: out});
        });
        return true;
    }

    function fetchOne(entry, src, maxBytes, maxTotal) {
        const bytes = fetchBytes(src, maxBytes, entry.controllers);
        return bytes.then((found) => {
            // What does not fit the answer is left to the adapter's other ways.
            if (found.length > 0 && entry.total + found.length <= maxTotal) {
                entry.found.set(src, found);
                entry.total += found.length;
            }
        }, () => {});
    }

    // Fetches all of `srcs` together; one report when the last has settled.
    function cacheFetch(id, srcs, maxBytes, maxTotal) {
        if (!Array.isArray(srcs))
            return 'no addresses';
        const entry = {settled: false, found: new Map(), total: 0, controllers: []};
        fetches.set(id, entry);
        const unique = Array.from(new Set(srcs.map(String)));
        Promise.all(unique.map((src) => fetchOne(entry, src, maxBytes, maxTotal)))
            .finally(() => {
                entry.settled = true;
                if (fetches.get(id) === entry)
                    report({k: 'fetched', i: id});
            });
        return 'ok';
    }

    function base64(bytes) {
        const parts = [];
        for (let i = 0; i < bytes.length; i += 0x8000)
            parts.push(String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000)));
        return btoa(parts.join(''));
    }

    // 'j:' and a JSON object of address -> bytes in base64, or 'e:' and why not.
    function cacheTake(id) {
        const entry = fetches.get(id);
        if (!entry)
            return 'e:unknown fetch';
        if (!entry.settled)
            return 'e:not settled';
        fetches.delete(id);
        const found = {};
        for (const [src, bytes] of entry.found)
            found[src] = base64(bytes);
        return 'j:' + stringify(found);
    }

    function cacheDrop(id) {
        const entry = fetches.get(id);
        fetches.delete(id);
        if (entry)
            entry.controllers.forEach((controller) => controller.abort());
        return '';
    }

    Object.defineProperty(win, 'brackenlyHelper', {
        value: Object.freeze({
            run: run,
            claimTop: claimTop,
            cacheFetch: cacheFetch,
            cacheTake: cacheTake,
            cacheDrop: cacheDrop,
        }),
        enumerable: false,
    });
})();
