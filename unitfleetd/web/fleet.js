// SPDX-License-Identifier: Apache-2.0
// The fleet: counts by state and one page of the unit table. Filter, sort
// and paging are the API's query parameters (only one page is ever fetched,
// so 10,000 units cost what 100 do); the filter lives in the page's URL so
// it can be bookmarked; live events re-read what is shown.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const view = { name: '', group: '', state: '', sort: 'name', page: 1, per_page: 100 };
  let total = 0;
  let reading = null;

  function fromUrl() {
    const q = new URLSearchParams(location.search);
    for (const key of ['name', 'group', 'state', 'sort']) if (q.get(key)) view[key] = q.get(key);
    view.page = Math.max(1, parseInt(q.get('page') || '1', 10) || 1);
    view.per_page = parseInt(q.get('per_page') || '100', 10) || 100;
    $('f-name').value = view.name;
    $('f-group').value = view.group;
    $('f-state').value = view.state;
    $('f-per').value = String(view.per_page);
  }

  function query() {
    const q = new URLSearchParams();
    for (const [key, value] of Object.entries(view)) if (value !== '' && value !== null) q.set(key, value);
    return q.toString();
  }

  async function readCounts() {
    try {
      const counts = await ufd.api('GET', '/api/v1/fleet');
      for (const key of ['units', 'up', 'down', 'unknown', 'status_not_ok', 'drifting', 'never_backed_up']) {
        const value = counts[key];
        $('count-' + key).textContent = value === null || value === undefined ? '–' : String(value);
      }
    } catch (e) {
      ufd.say('Cannot read the counts: ' + e.message, true);
    }
  }

  function stateCell(unit) {
    return ufd.el('span', { class: 'state ' + unit.state,
                            text: unit.state === 'unknown' ? 'not checked' : unit.state });
  }

  // Modes off the baseline: a count, or nothing while it is not known.
  function driftOf(unit) {
    for (const value of [unit.drift_modes, (unit.status || {}).drift_modes]) {
      if (typeof value === 'number' && value >= 0) return value;
    }
    return null;
  }

  function row(unit) {
    const s = unit.status || {};
    const name = ufd.el('td', { class: 'text' }, ufd.unitLink(unit.name));
    if (s.unit_id && s.unit_id !== unit.name) name.append(ufd.el('span', { class: 'sub', text: s.unit_id }));
    const drift = driftOf(unit);
    return ufd.el('tr', { 'data-unit': unit.name },
      name,
      ufd.el('td', { text: unit.address }),
      ufd.el('td', { class: 'text', text: (unit.groups || []).join(', ') || '–' }),
      ufd.el('td', {}, stateCell(unit)),
      ufd.el('td', { class: 'text unitstatus', text: ufd.unitStatus(unit) }),
      ufd.el('td', { class: 'num', text: unit.status && s.up ? ufd.ms(s.reply_seconds) : '–' }),
      ufd.el('td', { text: ufd.time(s.last_backup) }),
      ufd.el('td', { class: 'num', text: drift === undefined || drift === null ? '–' : String(drift) }));
  }

  function markSort() {
    for (const th of document.querySelectorAll('th[data-sort]')) {
      const key = th.dataset.sort;
      th.setAttribute('aria-sort', view.sort === key ? 'ascending'
                                   : view.sort === '-' + key ? 'descending' : 'none');
    }
  }

  // Reads the page the view names; a newer read makes an older one moot.
  async function readUnits() {
    const mine = {};
    reading = mine;
    let answer;
    try {
      answer = await ufd.api('GET', '/api/v1/units?' + query());
    } catch (e) {
      ufd.say('Cannot read the units: ' + e.message, true);
      return;
    }
    if (reading !== mine) return;
    total = answer.total;
    const body = ufd.clear(document.querySelector('#units tbody'));
    const rows = document.createDocumentFragment();
    for (const unit of answer.units) rows.append(row(unit));
    body.append(rows);
    const pages = Math.max(1, Math.ceil(total / view.per_page));
    $('page-info').textContent = 'Page ' + view.page + ' of ' + pages + ' · ' + total + ' units';
    $('units-caption').textContent = total + ' units' +
      (view.group ? ' in group ' + view.group : '') + (view.state ? ', ' + view.state : '') +
      (view.name ? ', matching "' + view.name + '"' : '');
    $('prev').disabled = view.page <= 1;
    $('next').disabled = view.page >= pages;
    markSort();
    // For tests and the bench: the table is usable from here.
    document.body.dataset.shown = String(Number(document.body.dataset.shown || 0) + 1);
    performance.mark('ufd-units');
    document.body.dataset.loaded = 'units';
  }

  function show(pushToUrl) {
    if (pushToUrl) history.replaceState(null, '', '/?' + query());
    return readUnits();
  }

  $('filters').addEventListener('submit', (event) => {
    event.preventDefault();
    view.name = $('f-name').value.trim();
    view.group = $('f-group').value.trim();
    view.state = $('f-state').value;
    view.per_page = parseInt($('f-per').value, 10);
    view.page = 1;
    show(true).then(() => ufd.say(total + ' units shown by the filter.'));
  });
  $('f-clear').addEventListener('click', () => {
    for (const id of ['f-name', 'f-group', 'f-state']) $(id).value = '';
    $('filters').requestSubmit();
  });
  for (const th of document.querySelectorAll('th[data-sort]')) {
    th.querySelector('button').addEventListener('click', () => {
      const key = th.dataset.sort;
      view.sort = view.sort === key ? '-' + key : key;
      view.page = 1;
      show(true);
    });
  }
  $('prev').addEventListener('click', () => { view.page -= 1; show(true); });
  $('next').addEventListener('click', () => { view.page += 1; show(true); });

  await ufd.start();
  fromUrl();
  await Promise.all([readCounts(), readUnits()]);

  // Status changes and job ends arrive as events; a burst of them is one re-read.
  const reread = ufd.debounce(() => {
    readCounts();
    readUnits().then(() => ufd.say('Updated at ' + ufd.time(Date.now() / 1000).slice(11) + '.'));
  }, 1000);
  ufd.events('', (name) => { if (name !== 'hello') reread(); });
})();
