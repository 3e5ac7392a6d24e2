// The adapter's helper. Installed in every frame, in the adapter's own isolated world, when
// the document is created: before any page script. The page shares the DOM with this world
// but none of its JavaScript objects, so it can neither see nor replace anything here.
// Properties a page can shadow by naming its elements ("forms", "action", "id", ...) are
// read through the prototype getters of this world.
//
// The helper's first part: the document model. helper-images.js follows it in the same
// function; the two are joined into one script when the adapter loads them (HelperScript).
(function () {
    'use strict';
    const secret = '@SECRET@';
    const prefix = '@PREFIX@';
    // Non-zero on a page whose images are about to be saved: the largest image to read.
    // State lives in this closure, never in globals a page element's id or name could shadow.
    const eagerMaxBytes = @EAGER@;

    // Error pages carry no page of their own: the adapter reports the failed address.
    if (location.protocol === 'chrome-error:')
        return;

    const win = window;
    // The adapter injects the helper itself where the engine failed to; never twice.
    if (Object.prototype.hasOwnProperty.call(win, 'brackenlyHelper'))
        return;
    const log = console.log.bind(console);
    const stringify = JSON.stringify;
    const getter = (proto, name) => Object.getOwnPropertyDescriptor(proto, name).get;

    const docImages = getter(Document.prototype, 'images');
    const docLinks = getter(Document.prototype, 'links');
    const docForms = getter(Document.prototype, 'forms');
    const docElement = getter(Document.prototype, 'documentElement');
    const docView = getter(Document.prototype, 'defaultView');
    const docUrl = getter(Document.prototype, 'URL');
    const byTagName = Document.prototype.getElementsByTagName;
    const ownerDocument = getter(Node.prototype, 'ownerDocument');
    const localName = getter(Element.prototype, 'localName');
    const parentElement = getter(Node.prototype, 'parentElement');
    const namespaceUri = getter(Element.prototype, 'namespaceURI');
    const innerHtml = getter(Element.prototype, 'innerHTML');
    const elementId = getter(Element.prototype, 'id');
    const collectionLength = getter(HTMLCollection.prototype, 'length');
    const collectionItem = HTMLCollection.prototype.item;
    const formElements = getter(HTMLFormElement.prototype, 'elements');
    const formTarget = getter(HTMLFormElement.prototype, 'target');
    const selectOptions = getter(HTMLSelectElement.prototype, 'options');
    const imgComplete = getter(HTMLImageElement.prototype, 'complete');
    const naturalWidth = getter(HTMLImageElement.prototype, 'naturalWidth');
    const naturalHeight = getter(HTMLImageElement.prototype, 'naturalHeight');
    const getAttribute = Element.prototype.getAttribute;
    const docBase = getter(Node.prototype, 'baseURI');
    const docScroller = getter(Document.prototype, 'scrollingElement');
    const clientHeight = getter(Element.prototype, 'clientHeight');
    const scrollHeight = getter(Element.prototype, 'scrollHeight');
    const scrollTop = getter(Element.prototype, 'scrollTop');
    const elementScrollTo = Element.prototype.scrollTo;
    const htmlClick = HTMLElement.prototype.click;
    const dispatch = EventTarget.prototype.dispatchEvent;
    const hasOwn = Object.prototype.hasOwnProperty;
    const defineProperty = Object.defineProperty;
    const randomValues = Crypto.prototype.getRandomValues;
    const crypto = win.crypto;
    const html = 'http://www.w3.org/1999/xhtml';
    // Controls a form submits; fieldset, object and output are among its elements too.
    const submittable = new Set(['input', 'button', 'select', 'textarea']);
    // Where lazy-loading pages keep an image's address until it is scrolled into view.
    const lazyAttributes = ['data-src', 'data-original', 'data-lazy-src'];
    // Elements whose lazy address is a video, a script or a page, never an image.
    const notImages = new Set(['audio', 'embed', 'iframe', 'link', 'object', 'script', 'track',
                               'video']);
    // Boxes that scroll their own content ("overlay" is this engine's overlay scroll bar), and
    // controls whose scrolling shows text, never images.
    const scrollingOverflow = new Set(['auto', 'scroll', 'overlay']);
    const notScrolled = new Set(['textarea', 'select']);
    // The identity token of a document, kept on the document itself in this world, so the
    // helper of its own frame and the helper of the top document see the same one.
    const tokenKey = Symbol.for('brackenly.documentToken');

    const text = (value) => (typeof value === 'string' ? value : value == null ? '' : String(value));

    // Index path of this frame from the top; parent.frames[i] === window works across origins.
    function framePath() {
        const path = [];
        let w = win;
        while (w !== w.top) {
            const parent = w.parent;
            let index = -1;
            for (let i = 0, n = parent.length; i < n; i++) {
                if (parent[i] === w) {
                    index = i;
                    break;
                }
            }
            if (index < 0)
                return null;
            path.unshift(index);
            w = parent;
        }
        return path;
    }

    function report(message) {
        log(prefix + secret + ':' + stringify(message));
    }

    // One completion per document. Registered before any page script, so a page's own load
    // listeners (capture phase or not) run after this one and cannot stop it; events a page
    // dispatches itself are not trusted.
    //
    // On a page whose images are about to be saved (see `pushBytes` below), the report of
    // the top document carries what its completion handler reads first (identity, frame
    // count, images), and the images' bytes follow in one more report: the handler then
    // waits for no call to the page, which is busy for a while after its load event.
    let reported = false;
    win.addEventListener('load', function (event) {
        if (!event.isTrusted || reported || event.target !== win.document)
            return;
        reported = true;
        const path = framePath();
        if (!path)
            return;
        const doc = win.document;
        const token = tokenOf(doc);
        const message = {k: 'load', p: path, u: location.href, t: token};
        if (eagerMaxBytes > 0 && path.length === 0) {
            const images = ops.images(doc);
            message.s = {c: win.length, i: images, b: pushBytes(token, images)};
            message.n = next;
        }
        report(message);
    }, true);

    // The action as the document model's Action member gives it: a field named "action"
    // hides the attribute.
    function formAction(f) {
        const action = f.action;
        return typeof action === 'string' ? action : '[object]';
    }

    // Form submissions. Before it sends a form the engine builds the list of the successful
    // controls in order, the submitter included, and shows it in a formdata event: after a
    // submit event nobody cancelled, and for the page's own form.submit(). This listener is
    // registered before any page script, so it sees the list before a page's listener adds to
    // it. A page that builds a FormData of a form raises the event too: of the events of one
    // form within one task only the first is reported.
    const formDataEntries = FormData.prototype.entries;
    const eventFormData = getter(FormDataEvent.prototype, 'formData');
    const eventTarget = getter(Event.prototype, 'target');
    const fileName = getter(File.prototype, 'name');
    const submittedForms = new Set();
    win.addEventListener('formdata', function (event) {
        const f = eventTarget.call(event);
        if (!event.isTrusted || !(f instanceof HTMLFormElement) || submittedForms.has(f))
            return;
        if (submittedForms.size === 0)
            setTimeout(() => submittedForms.clear(), 0);
        submittedForms.add(f);
        const path = framePath();
        if (!path)
            return;
        const fields = [];
        for (const [name, value] of formDataEntries.call(eventFormData.call(event)))
            fields.push([name, typeof value === 'string' ? value : text(fileName.call(value))]);
        report({k: 'submit', p: path, u: location.href, a: formAction(f),
                g: text(formTarget.call(f)), f: fields});
    }, true);

    // Called by the adapter after the top document finished loading: claims the completion
    // when the load listener did not report it (its listeners can be erased by document.open).
    function claimTop() {
        if (reported || document.readyState !== 'complete')
            return stringify({h: true, c: false});
        reported = true;
        return stringify({h: true, c: true, u: location.href, t: tokenOf(document)});
    }

    // Handles come from a counter. The adapter passes the highest number it has seen, so
    // numbers are never reused after the top document is replaced.
    let next = Date.now() * 1024;
    const elements = new Map(); // handle -> WeakRef(element)
    const handles = new WeakMap(); // element -> handle

    function handleOf(element) {
        let handle = handles.get(element);
        if (handle === undefined) {
            handle = next++;
            handles.set(element, handle);
            elements.set(handle, new WeakRef(element));
        }
        return handle;
    }

    function elementOf(handle) {
        const ref = elements.get(handle);
        const element = ref && ref.deref();
        if (!element) {
            elements.delete(handle);
            throw new Error('the element is gone');
        }
        const doc = ownerDocument.call(element);
        if (!doc || !docView.call(doc))
            throw new Error('the document of the element is gone');
        return element;
    }

    // Random, so no later document, of this frame or another, can come to hold it.
    function tokenOf(doc) {
        if (hasOwn.call(doc, tokenKey))
            return doc[tokenKey];
        const words = randomValues.call(crypto, new Uint32Array(2));
        const token = (words[0] & 0xfffff) * 0x100000000 + words[1] + 1;
        defineProperty(doc, tokenKey, {value: token});
        return token;
    }

    function childWindow(w, index) {
        if (!w || !(index >= 0 && index < w.length))
            throw new Error('there is no frame ' + index);
        return w[index];
    }

    function documentAt(path, token) {
        let w = win;
        for (let i = 0; i < path.length; i++)
            w = childWindow(w, path[i]);
        const doc = w.document; // a cross-origin frame throws here
        if (!doc)
            throw new Error('the frame has no document');
        if (token && tokenOf(doc) !== token)
            throw new Error('the document was replaced');
        return doc;
    }

    function list(collection, read) {
        const n = collectionLength.call(collection);
        const out = new Array(n);
        for (let i = 0; i < n; i++)
            out[i] = read(collectionItem.call(collection, i));
        return out;
    }

    function option(o) {
        return [text(o.text), text(o.value), o.selected === true];
    }

    function field(element) {
        const type = text(element.type);
        const item = {
            i: handleOf(element),
            t: type,
            n: text(element.name),
            v: text(element.value),
            c: element.checked === true,
            s: type === 'image' && localName.call(element) === 'input' ? text(element.src) : '',
        };
        if (localName.call(element) === 'select')
            item.o = list(selectOptions.call(element), option);
        return item;
    }

    function form(f) {
        return {
            i: handleOf(f),
            a: formAction(f),
            d: text(elementId.call(f)),
            g: text(formTarget.call(f)),
            e: list(formElements.call(f), (element) => element).filter(
                (element) => submittable.has(localName.call(element))).map(field),
        };
    }

    function address(doc) {
        return text(docUrl.call(doc));
    }

    function link(a) {
        return [handleOf(a), text(a.href), innerHtml.call(a)];
    }

    function click(element) {
        if (namespaceUri.call(element) === html) {
            htmlClick.call(element);
            return;
        }
        dispatch.call(element, new MouseEvent('click', {bubbles: true, cancelable: true}));
    }

    // A user's edit: the new state, then input and change, both bubbling.
    function edited(element) {
        dispatch.call(element, new Event('input', {bubbles: true}));
        dispatch.call(element, new Event('change', {bubbles: true}));
    }

    function write(w) {
        const element = elementOf(w.i);
        if (w.k === 'v') {
            if (!('value' in element))
                throw new Error('the element has no value');
            element.value = w.s;
        } else if (w.k === 'c') {
            if (!('checked' in element))
                throw new Error('the element cannot be checked');
            element.checked = w.b;
        } else if (w.k === 'o') {
            if (localName.call(element) !== 'select')
                throw new Error('the element is not a list');
            const o = collectionItem.call(selectOptions.call(element), w.x);
            if (!o)
                throw new Error('there is no option ' + w.x);
            o.selected = w.b;
        } else {
            throw new Error('unknown write');
        }
        edited(element);
    }

    const ops = {
        open(doc, index) {
            return tokenOf(index >= 0 ? childWindow(docView.call(doc), index).document : doc);
        },
        url(doc) {
            return address(doc);
        },
        frames(doc) {
            const w = docView.call(doc);
            return w ? w.length : 0;
        },
        images(doc) {
            return list(docImages.call(doc), (img) => text(img.src));
        },
        links(doc) {
            return list(docLinks.call(doc), link);
        },
        // The raw sources the harvest picks modern images from, in one pass over the document:
        // ['s', img.src, natural width, natural height], ['S', srcset as written],
        // ['u', lazy address as written], ['b', computed background-image].
        sources(doc) {
            const view = docView.call(doc);
            const items = [];
            const all = byTagName.call(doc, '*');
            for (let i = 0, n = collectionLength.call(all); i < n; i++) {
                const element = collectionItem.call(all, i);
                const name = namespaceUri.call(element) === html ? localName.call(element) : '';
                const parent = name === 'source' ? parentElement.call(element) : null;
                const image = !notImages.has(name) &&
                    !(parent && notImages.has(localName.call(parent)));
                // Sets first: where a larger candidate shares its file name with the plain
                // address, the larger one is saved under it.
                const srcset = image && (name === 'img' || name === 'source')
                    ? getAttribute.call(element, 'srcset') : null;
                if (srcset)
                    items.push(['S', srcset]);
                const lazySet = image ? getAttribute.call(element, 'data-srcset') : null;
                if (lazySet)
                    items.push(['S', lazySet]);
                if (name === 'img') {
                    const loaded = imgComplete.call(element);
                    items.push(['s', text(element.src), loaded ? naturalWidth.call(element) : 0,
                                loaded ? naturalHeight.call(element) : 0]);
                }
                for (const lazy of image ? lazyAttributes : []) {
                    const value = getAttribute.call(element, lazy);
                    if (value)
                        items.push(['u', value]);
                }
                const background = view ? view.getComputedStyle(element).backgroundImage : '';
                if (background && background !== 'none')
                    items.push(['b', background]);
            }
            return [text(docBase.call(doc)), items];
        },
        // One screen down without smooth scrolling, the page and every element that scrolls on
        // its own: [all ends reached, different img addresses before the step].
        scroll(doc) {
            const count = new Set(list(docImages.call(doc), (img) => text(img.src))).size;
            const view = docView.call(doc);
            if (!view)
                return [true, count];
            // None in quirks mode when the body scrolls on its own.
            const root = docScroller.call(doc);
            let end = true;
            if (root) {
                view.scrollTo({top: view.scrollY + Math.max(1, view.innerHeight), behavior: 'instant'});
                end = view.scrollY + view.innerHeight >= root.scrollHeight - 1;
            }
            // Pages laid out as an app scroll an element of their own, not the page: each such
            // box moves down by its height too. Smaller boxes (code, a text field, a news ticker)
            // are left alone, so they do not hold the walk; a box that does not move is at its
            // end. A body that scrolls on its own is one of them (in quirks mode root is null).
            const all = byTagName.call(doc, '*');
            const least = view.innerHeight / 2;
            for (let i = 0, n = collectionLength.call(all); i < n; i++) {
                const element = collectionItem.call(all, i);
                const height = clientHeight.call(element);
                if (height <= 0 || height < least || element === root ||
                    notScrolled.has(localName.call(element)) ||
                    scrollHeight.call(element) <= height + 1)
                    continue;
                if (!scrollingOverflow.has(view.getComputedStyle(element).overflowY))
                    continue;
                const before = scrollTop.call(element);
                elementScrollTo.call(element, {top: before + height, behavior: 'instant'});
                const after = scrollTop.call(element);
                if (after > before && after + height < scrollHeight.call(element) - 1)
                    end = false;
            }
            return [end, count];
        },
        // Collections a fill acts on come with the address the document has at that moment.
        forms(doc) {
            return [address(doc), list(docForms.call(doc), form)];
        },
        tags(doc, tag) {
            return [address(doc), list(byTagName.call(doc, tag), field)];
        },
        markup(doc) {
            const root = docElement.call(doc);
            return root ? innerHtml.call(root) : '';
        },
        click(doc, handle) {
            click(elementOf(handle));
            return null;
        },
    };

    // One round trip: pending writes in order, then at most one operation on a document.
    // Nothing is written when the document the call is meant for was replaced.
    function run(request) {
        try {
            if (request.f > next)
                next = request.f;
            if (request.o && !hasOwn.call(ops, request.o))
                throw new Error('unknown operation');
            const doc = request.o || request.t ? documentAt(request.p, request.t) : null;
            const writes = request.w || [];
            for (let i = 0; i < writes.length; i++)
                write(writes[i]);
            let value = null;
            if (request.o)
                value = ops[request.o](doc, request.a);
            return stringify({v: value, n: next});
        } catch (error) {
            const message = error && typeof error.message === 'string' ? error.message : String(error);
            return stringify({e: message || 'the page refused the call', n: next});
        }
    }
