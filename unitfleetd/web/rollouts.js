// SPDX-License-Identifier: Apache-2.0
// Rollouts: a group's baseline (seen by all, edited by an admin), what it
// would change on each unit, and an apply job in batches with a failure
// ceiling and canary units, watched live, stoppable, with its retry set.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const perPage = 50;
  let page = 1;

  const group = () => $('group').value;
  const groupPath = () => '/api/v1/baselines/' + encodeURIComponent(group());

  async function readGroups() {
    let answer;
    try {
      answer = await ufd.api('GET', '/api/v1/baselines');
    } catch (e) {
      ufd.say('Cannot read the baselines: ' + e.message, true);
      return false;
    }
    const select = ufd.clear($('group'));
    for (const b of answer.baselines) {
      select.append(ufd.el('option', { value: b.group,
        text: b.group + ' (' + b.units + ' units' + (b.error ? ', ' + b.error : '') + ')' }));
    }
    const wanted = ufd.param('group');
    if (wanted) select.value = wanted;
    if (!answer.baselines.length) ufd.say('No group has a baseline: add one in the configuration file.');
    return answer.baselines.length > 0;
  }

  async function readBaseline() {
    try {
      const b = await ufd.api('GET', groupPath());
      $('baseline-text').value = b.text;
      $('baseline-faults').textContent = (b.faults || []).join('; ');
    } catch (e) {
      $('baseline-text').value = '';
      $('baseline-faults').textContent = e.message;
    }
  }

  function changeList(changes) {
    const list = ufd.el('ul', { class: 'changes' });
    for (const c of changes) {
      list.append(ufd.el('li', { text: c.mode + ': ' + (c.from === null ? '(none)' : c.from) + ' → ' + c.to }));
    }
    return list;
  }

  async function readPlan() {
    let plan;
    try {
      plan = await ufd.api('GET', groupPath() + '/plan?page=' + page + '&per_page=' + perPage);
    } catch (e) {
      $('plan-summary').textContent = 'No plan: ' + e.message;
      ufd.clear(document.querySelector('#plan tbody'));
      return;
    }
    $('plan-summary').textContent = plan.changing + ' of ' + plan.total + ' units in group ' +
      plan.group + ' would change.';
    const body = ufd.clear(document.querySelector('#plan tbody'));
    for (const u of plan.units) {
      body.append(ufd.el('tr', { 'data-unit': u.name },
        ufd.el('td', { class: 'text' }, ufd.unitLink(u.name)),
        ufd.el('td', { class: 'text' }, !u.listing ? ufd.el('span', { class: 'muted', text: 'no listing yet' })
                                        : u.changes.length ? changeList(u.changes) : ufd.el('span', { class: 'muted', text: 'nothing' })),
        ufd.el('td', { class: 'text', text: (u.unknown || []).join(', ') })));
    }
    const pages = Math.max(1, Math.ceil(plan.total / perPage));
    $('plan-page').textContent = 'Page ' + page + ' of ' + pages;
    $('plan-prev').disabled = page <= 1;
    $('plan-next').disabled = page >= pages;
  }

  async function chooseGroup() {
    page = 1;
    history.replaceState(null, '', '/rollouts?group=' + encodeURIComponent(group()));
    await Promise.all([readBaseline(), readPlan()]);
  }

  function watch(id) {
    $('run-section').hidden = false;
    $('run-h').textContent = 'Rollout: job #' + id;
    return jobView.show($('run'), id, () => readPlan());
  }

  $('group').addEventListener('change', chooseGroup);
  $('plan-prev').addEventListener('click', () => { page -= 1; readPlan(); });
  $('plan-next').addEventListener('click', () => { page += 1; readPlan(); });

  await ufd.start();
  if (ufd.can('admin')) $('baseline-text').readOnly = false;
  const save = $('baseline-save');
  if (save) {
    save.addEventListener('click', async () => {
      try {
        await ufd.api('PUT', groupPath(), { text: $('baseline-text').value });
        $('baseline-faults').textContent = '';
        ufd.say('Baseline of ' + group() + ' saved.');
        await readPlan();
      } catch (e) {
        const faults = e.data && e.data.faults ? e.data.faults.join('; ') : e.message;
        $('baseline-faults').textContent = faults;
        ufd.say('Not saved: ' + faults, true);
      }
    });
  }
  const start = $('start');
  if (start) {
    start.addEventListener('submit', async (event) => {
      event.preventDefault();
      const params = { baseline: group() };
      const batch = $('batch').value.trim(), maxFail = $('max-fail').value.trim();
      const canary = parseInt($('canary').value, 10);
      if (batch) params.batch = batch;
      if (maxFail) params.max_fail = maxFail;
      if (canary > 0) params.canary = canary;
      if ($('commit').checked) params.commit = true;
      try {
        const job = await ufd.api('POST', '/api/v1/jobs', { kind: 'apply', group: group(), params });
        ufd.say('Rollout started: job ' + job.id + '.');
        history.replaceState(null, '', '/rollouts?group=' + encodeURIComponent(group()) + '&job=' + job.id);
        await watch(job.id);
      } catch (e) { ufd.say('Cannot start: ' + e.message, true); }
    });
  }
  const job = ufd.param('job');
  if (await readGroups()) await chooseGroup();
  if (job) {
    history.replaceState(null, '', location.pathname + location.search + '&job=' + encodeURIComponent(job));
    await watch(job);
  }
  document.body.dataset.loaded = 'rollouts';
})();
