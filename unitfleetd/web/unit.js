// SPDX-License-Identifier: Apache-2.0
// One unit: its state and reply times, its modes with the drift from its
// group's baseline, its history, the side-by-side diff of two revisions,
// a comparison with another unit, and the actions the role allows.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const name = ufd.param('name') || '';
  const base = '/api/v1/units/' + encodeURIComponent(name);
  let commits = [];

  function fact(label, value, id) {
    return [ufd.el('dt', { text: label }), ufd.el('dd', { id, text: value === undefined || value === null || value === '' ? '–' : value })];
  }

  // A small line chart of the reply times (ms), drawn as SVG elements;
  // polls the unit did not answer are marked on the axis.
  function chart(recent) {
    const points = (recent || []).filter((p) => p && p.at);
    if (points.length < 2) return;
    const w = 600, h = 130, left = 46, bottom = 18;
    const replies = points.map((p) => (p.up && p.reply_seconds !== null ? p.reply_seconds * 1000 : null));
    const top = Math.max(1, ...replies.filter((v) => v !== null));
    const first = points[0].at, span = Math.max(1, points[points.length - 1].at - first);
    const x = (at) => left + (w - left - 6) * (at - first) / span;
    const y = (v) => 6 + (h - bottom - 6) * (1 - v / top);
    const svg = ufd.el('svg', { class: 'chart', viewBox: '0 0 ' + w + ' ' + h, role: 'img',
                                'aria-labelledby': 'chart-title' },
      ufd.el('title', { id: 'chart-title', text: 'Reply times of the last ' + points.length +
        ' checks: up to ' + top.toFixed(1) + ' ms' }),
      ufd.el('line', { class: 'axis', x1: left, y1: h - bottom, x2: w, y2: h - bottom }),
      ufd.el('line', { class: 'axis', x1: left, y1: 4, x2: left, y2: h - bottom }),
      ufd.el('text', { x: 2, y: 14, text: top.toFixed(0) + ' ms' }),
      ufd.el('text', { x: 2, y: h - bottom, text: '0' }),
      ufd.el('text', { x: left, y: h - 3, text: ufd.time(first).slice(11) }),
      ufd.el('text', { x: w - 52, y: h - 3, text: ufd.time(points[points.length - 1].at).slice(11) }));
    let line = [];
    const flush = () => {
      if (line.length) svg.append(ufd.el('polyline', { class: 'line', points: line.join(' ') }));
      line = [];
    };
    points.forEach((p, i) => {
      if (replies[i] === null) {
        flush();
        svg.append(ufd.el('circle', { cx: x(p.at).toFixed(1), cy: h - bottom, r: 3, class: 'down-mark' }));
      } else {
        line.push(x(p.at).toFixed(1) + ',' + y(replies[i]).toFixed(1));
      }
    });
    flush();
    ufd.clear($('chart')).append(svg);
  }

  function modes(unit) {
    const listing = unit.listing;
    const body = ufd.clear(document.querySelector('#modes tbody'));
    if (!listing) {
      $('modes-note').textContent = 'No listing of this unit in the store yet: back it up first.';
      return;
    }
    const drift = new Map(((unit.drift && unit.drift.modes) || []).map((d) => [d.mode, d]));
    $('modes-note').textContent = 'Listing of ' + ufd.time(listing.time) + ' (revision ' +
      String(listing.revision).slice(0, 7) + ')' +
      (unit.baseline ? '; baseline of group ' + unit.baseline.group : '; no baseline for its groups') +
      (unit.drift ? '; ' + unit.drift.count + ' modes drift.' : '.');
    const seen = new Set();
    for (const m of listing.modes) {
      seen.add(m.mode);
      const d = drift.get(m.mode);
      body.append(ufd.el('tr', { class: d ? 'drift' : null, 'data-mode': m.mode },
        ufd.el('th', { scope: 'row', class: 'text', text: m.mode }),
        ufd.el('td', { class: 'text', text: m.value }),
        ufd.el('td', { class: 'text', text: d ? d.baseline : '' }),
        ufd.el('td', { text: d ? 'drifts' : '' })));
    }
    for (const [mode, d] of drift) {
      if (seen.has(mode)) continue;
      body.append(ufd.el('tr', { class: 'drift', 'data-mode': mode },
        ufd.el('th', { scope: 'row', class: 'text', text: mode }),
        ufd.el('td', { class: 'muted', text: '(missing)' }),
        ufd.el('td', { class: 'text', text: d.baseline }),
        ufd.el('td', { text: 'drifts' })));
    }
  }

  // Side by side: mode, the left value, the right value; changed cells marked.
  function sideBySide(host, id, leftLabel, rightLabel, changes) {
    const body = ufd.el('tbody');
    for (const c of changes) {
      const cls = c.change === 'only_in_a' ? 'removed' : c.change === 'only_in_b' ? 'added' : 'changed';
      body.append(ufd.el('tr', { 'data-mode': c.mode },
        ufd.el('th', { scope: 'row', class: 'text', text: c.mode + (c.identity ? ' (identity)' : '') }),
        ufd.el('td', { class: c.a === null ? 'muted' : cls, text: c.a === null ? '(none)' : c.a }),
        ufd.el('td', { class: c.b === null ? 'muted' : cls, text: c.b === null ? '(none)' : c.b })));
    }
    if (!changes.length) body.append(ufd.el('tr', {}, ufd.el('td', { colspan: 3, text: 'No differences.' })));
    ufd.clear(host).append(ufd.el('div', { class: 'table-wrap' },
      ufd.el('table', { class: 'diff', id },
        ufd.el('caption', { text: changes.length + ' modes differ' }),
        ufd.el('thead', {}, ufd.el('tr', {},
          ufd.el('th', { scope: 'col', text: 'Mode' }),
          ufd.el('th', { scope: 'col', text: leftLabel }),
          ufd.el('th', { scope: 'col', text: rightLabel }))),
        body)));
  }

  function history(answer) {
    commits = answer.commits || [];
    const body = ufd.clear(document.querySelector('#history tbody'));
    const from = ufd.clear($('diff-from')), to = ufd.clear($('diff-to'));
    commits.forEach((c, i) => {
      const label = c.short + ' · ' + ufd.time(c.time) + ' · ' + c.author;
      from.append(ufd.el('option', { value: c.revision, text: label, selected: i === 1 }));
      to.append(ufd.el('option', { value: c.revision, text: label, selected: i === 0 }));
      const actions = ufd.el('td');
      if (ufd.can('operator') && i > 0) {
        actions.append(ufd.el('button', { type: 'button', class: 'restore', text: 'Restore',
          'aria-label': 'Restore revision ' + c.short, on: { click: () => restore(c) } }));
      }
      body.append(ufd.el('tr', { 'data-revision': c.revision },
        ufd.el('td', {}, ufd.el('code', { text: c.short })),
        ufd.el('td', { text: ufd.time(c.time) }),
        ufd.el('td', { class: 'text', text: c.author }),
        ufd.el('td', { class: 'text', text: c.subject }),
        ufd.el('td', { class: 'num', text: (c.changes || []).length }),
        actions));
    });
    if (!commits.length) body.append(ufd.el('tr', {}, ufd.el('td', { colspan: 6, text: 'No commits of this unit yet.' })));
    $('diff-form').hidden = commits.length < 2;
  }

  // The plan first (what the unit's modes would become), then the job.
  async function restore(commit) {
    const dialog = $('restore-dialog');
    $('restore-what').textContent = 'Restore ' + name + ' to revision ' + commit.short + ' of ' +
      ufd.time(commit.time) + '. These modes will be set:';
    ufd.clear($('restore-plan')).append(ufd.el('p', { text: 'Reading the plan…' }));
    dialog.showModal();
    try {
      const plan = await ufd.api('GET', base + '/diff?from=HEAD&to=' + encodeURIComponent(commit.revision));
      sideBySide($('restore-plan'), 'restore-table', 'Now (last listing)', 'After the restore',
                 plan.changes.filter((c) => !c.identity));
    } catch (e) {
      ufd.clear($('restore-plan')).append(ufd.el('p', { class: 'error', text: 'No plan: ' + e.message }));
    }
    $('restore-go').onclick = async () => {
      dialog.close();
      try {
        const job = await ufd.api('POST', '/api/v1/jobs',
                                  { kind: 'restore', units: [name], params: { revision: commit.revision } });
        location.assign('/jobs?id=' + job.id);
      } catch (e) { ufd.say('Cannot start the restore: ' + e.message, true); }
    };
  }
  $('restore-cancel').addEventListener('click', () => $('restore-dialog').close());

  async function readUnit() {
    const unit = await ufd.api('GET', base);
    const s = unit.status || {};
    document.title = unit.name + ' · unitfleetd';
    $('unit-name').textContent = unit.name;
    const drift = unit.drift ? unit.drift.count : (unit.drift_modes >= 0 ? unit.drift_modes : null);
    ufd.clear($('facts')).append(
      ...fact('Address', unit.address, 'fact-address'),
      ...fact('Groups', (unit.groups || []).join(', '), 'fact-groups'),
      ...fact('State', unit.state === 'unknown' ? 'not checked yet' : unit.state, 'fact-state'),
      ...fact('UnitID', s.unit_id, 'fact-unitid'),
      ...fact('UnitStatus', ufd.unitStatus(unit), 'fact-status'),
      ...fact('Reply time', unit.status && s.up ? ufd.ms(s.reply_seconds) : null, 'fact-reply'),
      ...fact('Last checked', ufd.time(s.checked), 'fact-checked'),
      ...fact('Last backup', ufd.time(s.last_backup), 'fact-backup'),
      ...fact('Drifting modes', drift === null ? null : String(drift), 'fact-drift'));
    chart(s.recent);
    modes(unit);
  }

  async function readHistory() {
    try {
      history(await ufd.api('GET', base + '/history?per_page=100'));
    } catch (e) {
      ufd.clear(document.querySelector('#history tbody')).append(
        ufd.el('tr', {}, ufd.el('td', { colspan: 6, text: 'No history: ' + e.message })));
      $('diff-form').hidden = true;
    }
  }

  $('diff-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const from = $('diff-from').value, to = $('diff-to').value;
    try {
      const d = await ufd.api('GET', base + '/diff?from=' + encodeURIComponent(from) + '&to=' + encodeURIComponent(to));
      sideBySide($('diff'), 'diff-table', 'Revision ' + from.slice(0, 7), 'Revision ' + to.slice(0, 7), d.changes);
      ufd.say(d.changes.length + ' modes differ between the two revisions.');
    } catch (e) {
      ufd.clear($('diff')).append(ufd.el('p', { class: 'error', text: 'No diff: ' + e.message }));
      ufd.say('No diff: ' + e.message, true);
    }
  });

  $('compare-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const other = $('compare-with').value.trim();
    const rev = $('compare-rev').value.trim() || 'HEAD';
    try {
      const d = await ufd.api('GET', '/api/v1/diff?a=' + encodeURIComponent(name) + '&b=' +
                                     encodeURIComponent(other) + '&rev=' + encodeURIComponent(rev));
      sideBySide($('compare'), 'compare-table', name, other, d.changes);
      ufd.say(d.changes.length + ' modes differ between ' + name + ' and ' + other + '.');
    } catch (e) {
      ufd.clear($('compare')).append(ufd.el('p', { class: 'error', text: 'Cannot compare: ' + e.message }));
      ufd.say('Cannot compare: ' + e.message, true);
    }
  });

  // Names for the comparison box: the unit's own groups first.
  $('compare-with').addEventListener('focus', async () => {
    if ($('unit-names').childElementCount) return;
    try {
      const list = await ufd.api('GET', '/api/v1/units?per_page=200&sort=name');
      for (const u of list.units) if (u.name !== name) $('unit-names').append(ufd.el('option', { value: u.name }));
    } catch (e) { /* typing still works */ }
  }, { once: true });

  await ufd.start();
  const backup = $('backup');
  if (backup) {
    backup.addEventListener('click', async () => {
      backup.disabled = true;
      try {
        const job = await ufd.api('POST', '/api/v1/jobs', { kind: 'backup', units: [name] });
        ufd.say('Backup started: job ' + job.id + '.');
        await jobView.show(ufd.el('div'), job.id, async (ended) => {
          backup.disabled = false;
          ufd.say('Backup job ' + ended.id + ' ended: ' + ended.state + '.');
          await Promise.all([readUnit(), readHistory()]);
        });
      } catch (e) {
        backup.disabled = false;
        ufd.say('Cannot back up: ' + e.message, true);
      }
    });
  }
  try {
    await readUnit();
  } catch (e) {
    $('unit-name').textContent = name || 'No unit';
    ufd.say(e.message, true);
    return;
  }
  await readHistory();
  document.body.dataset.loaded = 'unit';
  const reread = ufd.debounce(() => readUnit().catch(() => {}), 1000);
  ufd.events('', (event, data) => { if (event === 'status' && data && data.unit === name) reread(); });
})();
