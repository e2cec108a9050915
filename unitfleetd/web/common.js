// SPDX-License-Identifier: Apache-2.0
// What every page of the console shares: calls to our own API (the CSRF
// token on every change), the header with who is signed in, elements built
// with text only (no markup from data, ever), times, and the live events.
'use strict';

const ufd = (() => {
  let csrf = '';
  let me = null;
  const rank = { viewer: 1, operator: 2, admin: 3 };

  // One call to the API; JSON in and out. A 401 means the session is gone:
  // back to the sign-in page. Failures throw an Error with the API's text.
  async function api(method, path, body) {
    const init = { method, headers: { Accept: 'application/json' }, credentials: 'same-origin' };
    if (method !== 'GET' && method !== 'HEAD') init.headers['X-CSRF-Token'] = csrf;
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const response = await fetch(path, init);
    let data = null;
    try { data = await response.json(); } catch (e) { data = null; }
    if (response.status === 401 && me !== null) {
      location.assign('/login');
    }
    if (!response.ok) {
      const error = new Error((data && data.error) || ('the server answered ' + response.status));
      error.status = response.status;
      error.data = data;
      throw error;
    }
    return data;
  }

  // el('td', {class: 'num', text: value}, child...): attributes are set as
  // attributes, texts as text nodes; no path takes markup.
  function el(tag, attrs, ...children) {
    const svg = ['svg', 'polyline', 'line', 'text', 'title', 'rect', 'circle', 'g'].includes(tag);
    const node = svg ? document.createElementNS('http://www.w3.org/2000/svg', tag)
                     : document.createElement(tag);
    for (const [key, value] of Object.entries(attrs || {})) {
      if (value === undefined || value === null || value === false) continue;
      if (key === 'text') node.textContent = String(value);
      else if (key === 'on') for (const [ev, fn] of Object.entries(value)) node.addEventListener(ev, fn);
      else node.setAttribute(key, value === true ? '' : String(value));
    }
    for (const child of children) {
      if (child === undefined || child === null || child === false) continue;
      node.append(child instanceof Node ? child : document.createTextNode(String(child)));
    }
    return node;
  }

  function clear(node) {
    while (node.firstChild) node.removeChild(node.firstChild);
    return node;
  }

  function can(role) {
    return me !== null && rank[me.role] >= rank[role];
  }

  // Says `text` in the page's live region (read out by screen readers).
  function say(text, isError) {
    const region = document.getElementById('status');
    if (!region) return;
    region.textContent = text;
    region.classList.toggle('error', !!isError);
  }

  function time(seconds) {
    if (seconds === undefined || seconds === null || seconds <= 0) return '–';
    const d = new Date(seconds * 1000);
    const pad = (n) => String(n).padStart(2, '0');
    return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
           pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
  }

  function ms(seconds) {
    if (seconds === undefined || seconds === null) return '–';
    return (seconds * 1000).toFixed(seconds < 0.01 ? 1 : 0) + ' ms';
  }

  // The UnitStatus as the tables show it: the unit's text, marked when it
  // is not OK; nothing for a unit that did not answer.
  function unitStatus(unit) {
    const s = unit.status;
    if (!s || !s.up) return '–';
    if (s.status_ok) return s.status_text || 'OK';
    return 'not OK: ' + (s.status_text || '(empty)');
  }

  function param(name) {
    return new URLSearchParams(location.search).get(name);
  }

  function unitLink(name) {
    return el('a', { href: '/unit?name=' + encodeURIComponent(name), text: name });
  }

  // Signs the page in: who, the role, the CSRF token; hides what the role
  // may not do (elements with data-needs="operator" or "admin"), marks the
  // current page in the navigation. Returns who it is.
  async function start() {
    me = await api('GET', '/api/v1/me').catch((e) => {
      location.assign('/login');
      throw e;
    });
    csrf = me.csrf || '';
    document.body.dataset.role = me.role;
    for (const node of document.querySelectorAll('[data-needs]')) {
      if (!can(node.dataset.needs)) node.remove();
    }
    header();
    return me;
  }

  // On the sign-in page: a session this browser still holds (its CSRF token
  // then goes with the new sign-in, which the API counts as a change), or null.
  async function current() {
    try {
      const who = await api('GET', '/api/v1/me');
      csrf = who.csrf || '';
      return who;
    } catch (e) {
      return null;
    }
  }

  // The pages, and the role each needs to be offered.
  const pages = [['/', 'Fleet', 'viewer'], ['/rollouts', 'Rollouts', 'viewer'],
                 ['/jobs', 'Jobs', 'viewer'], ['/audit', 'Audit', 'admin'],
                 ['/users', 'Users', 'admin']];

  // The header of every page: name, navigation, who is signed in, sign-out.
  function header() {
    const top = document.querySelector('header.top');
    if (!top) return;
    const list = el('ul');
    for (const [href, label, role] of pages) {
      if (!can(role)) continue;
      const current = href === location.pathname ||
                      (href === '/' && location.pathname === '/unit');
      list.append(el('li', {}, el('a', { href, text: label,
                                         'aria-current': current ? 'page' : null })));
    }
    const out = el('button', { type: 'button', id: 'signout', text: 'Sign out' });
    out.addEventListener('click', async () => {
      try { await api('POST', '/api/v1/logout'); } catch (e) { /* gone anyway */ }
      me = null;
      location.assign('/login');
    });
    clear(top).append(
      el('span', { class: 'brand', text: 'unitfleetd' }),
      el('nav', { 'aria-label': 'Pages' }, list),
      el('div', { class: 'who' },
         el('span', { id: 'who', text: me.user + ' (' + me.role + ')' }), out));
  }

  // Live events from /api/v1/events (or one job's, with `query`): calls
  // `onEvent(name, data)` for each, and keeps reconnecting as EventSource does.
  function events(query, onEvent) {
    const source = new EventSource('/api/v1/events' + (query || ''));
    for (const name of ['hello', 'job', 'unit', 'status', 'schedule', 'message']) {
      source.addEventListener(name, (ev) => {
        let data = null;
        try { data = JSON.parse(ev.data); } catch (e) { data = null; }
        onEvent(name, data);
      });
    }
    return source;
  }

  // Calls `fn` at most once per `wait` ms, at the end of a burst.
  function debounce(fn, wait) {
    let timer = null;
    return (...args) => {
      clearTimeout(timer);
      timer = setTimeout(() => fn(...args), wait);
    };
  }

  return { api, el, clear, can, say, time, ms, param, unitStatus, unitLink, start, current, events, debounce,
           get me() { return me; } };
})();
