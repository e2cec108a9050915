// SPDX-License-Identifier: Apache-2.0
// One job shown live, as the jobs and rollouts pages show it: its state,
// progress per batch and per unit, a stop, and at its end the retry set
// (the units that did not succeed) with a re-run for them alone.
'use strict';

const jobView = (() => {
  const good = new Set(['ok', 'done', 'saved', 'unchanged', 'changed', 'applied', 'committed',
                        'backed up', 'restored', 'same', 'up']);

  function failed(results) {
    return results.filter((r) => r.outcome !== 'running' && !good.has(r.outcome)).map((r) => r.unit);
  }

  // The job's batches, when its parameters give a batch size: each unit's
  // place in the job's unit order is known only from its results, so a
  // batch is the results in the order they came.
  // The canary units (params.canary) come first, as a batch of their own;
  // a batch is N units or N% of them.
  function batches(job, results) {
    const params = job.params || {};
    const text = String(params.batch || '');
    let size = parseInt(text, 10);
    if (text.endsWith('%')) size = Math.ceil(job.units_total * size / 100);
    if (!(size >= 1)) return null;
    const out = [];
    const canary = Math.max(0, parseInt(params.canary, 10) || 0);
    if (canary > 0) out.push(results.slice(0, canary));
    for (let i = canary; i < results.length; i += size) out.push(results.slice(i, i + size));
    return out;
  }

  function resultsTable(results) {
    const body = ufd.el('tbody');
    for (const r of results) {
      body.append(ufd.el('tr', { 'data-unit': r.unit, 'data-outcome': r.outcome },
        ufd.el('td', { class: 'text' }, ufd.unitLink(r.unit)),
        ufd.el('td', {}, ufd.el('span', { class: 'state ' + r.outcome.replace(/[^a-z]/g, ''), text: r.outcome })),
        ufd.el('td', { class: 'text', text: r.detail || '' }),
        ufd.el('td', { text: ufd.time(r.at) })));
    }
    return ufd.el('div', { class: 'table-wrap' },
      ufd.el('table', { class: 'results' },
        ufd.el('caption', { text: 'Per unit' }),
        ufd.el('thead', {}, ufd.el('tr', {},
          ufd.el('th', { scope: 'col', text: 'Unit' }), ufd.el('th', { scope: 'col', text: 'Outcome' }),
          ufd.el('th', { scope: 'col', text: 'Detail' }), ufd.el('th', { scope: 'col', text: 'At' }))),
        body));
  }

  // Shows job `id` in `host` and keeps it current until the job ends.
  // `onEnd(job)` is told once when it has ended.
  function show(host, id, onEnd) {
    let source = null;
    let ended = false;
    async function render() {
      let job;
      try {
        job = await ufd.api('GET', '/api/v1/jobs/' + encodeURIComponent(id));
      } catch (e) {
        ufd.say('Cannot read job ' + id + ': ' + e.message, true);
        return;
      }
      const results = job.results || [];
      // The API's retry set when it gives one (its words for success are its
      // own); else the units whose outcome is no known success.
      const retrySet = new Set(Array.isArray(job.retry) ? job.retry : failed(results));
      const done = results.filter((r) => r.outcome !== 'running').length;
      const bar = ufd.el('span');
      bar.style.width = (job.units_total ? Math.round(100 * done / job.units_total) : 0) + '%';
      const facts = ufd.el('dl', { class: 'facts' },
        ufd.el('dt', { text: 'Job' }), ufd.el('dd', { text: '#' + job.id + ' ' + job.kind }),
        ufd.el('dt', { text: 'State' }),
        ufd.el('dd', {}, ufd.el('span', { class: 'state ' + job.state, id: 'job-state', text: job.state })),
        ufd.el('dt', { text: 'Started by' }), ufd.el('dd', { text: job.started_by }),
        ufd.el('dt', { text: 'Started' }), ufd.el('dd', { text: ufd.time(job.created) }),
        ufd.el('dt', { text: 'Ended' }), ufd.el('dd', { text: ufd.time(job.finished) }),
        ufd.el('dt', { text: 'Units' }),
        ufd.el('dd', { id: 'job-count', text: done + ' of ' + job.units_total + ' with a result' }),
        ufd.el('dt', { text: 'Options' }), ufd.el('dd', { class: 'text', text: JSON.stringify(job.params) }),
        job.message ? ufd.el('dt', { text: 'Message' }) : null,
        job.message ? ufd.el('dd', { id: 'job-message', text: job.message }) : null);
      const parts = [facts,
        ufd.el('div', { class: 'progress', role: 'progressbar', 'aria-label': 'Units done',
                        'aria-valuemin': 0, 'aria-valuemax': job.units_total, 'aria-valuenow': done }, bar)];
      const running = job.state === 'running' || job.state === 'queued';
      if (running && ufd.can('operator')) {
        parts.push(ufd.el('div', { class: 'actions' },
          ufd.el('button', { type: 'button', class: 'danger', id: 'job-stop', text: 'Stop the job',
            on: { click: async () => {
              try {
                await ufd.api('POST', '/api/v1/jobs/' + job.id + '/stop');
                ufd.say('Stopping job ' + job.id + '.');
              } catch (e) { ufd.say('Cannot stop: ' + e.message, true); }
            } } })));
      }
      const groups = batches(job, results);
      if (groups) {
        const list = ufd.el('ol', { class: 'batches', 'aria-label': 'Batches' });
        groups.forEach((batch, i) => {
          const skipped = batch.filter((r) => r.outcome === 'not attempted').length;
          const open = batch.filter((r) => r.outcome === 'running').length;
          const bad = batch.filter((r) => retrySet.has(r.unit) && r.outcome !== 'not attempted').length;
          list.append(ufd.el('li', { text: 'Batch ' + (i + 1) + ': ' + batch.length + ' units, ' +
            (skipped === batch.length ? 'not started'
                                      : (open ? open + ' running, ' : '') + bad + ' failed') }));
        });
        parts.push(ufd.el('h3', { text: 'Batches' }), list);
      }
      if (!running) {
        const retry = [...retrySet];
        const box = ufd.el('section', { id: 'retry', 'aria-label': 'Retry set' },
          ufd.el('h3', { text: 'Retry set' }),
          ufd.el('p', { id: 'retry-units', class: 'text',
                        text: retry.length ? retry.join(', ') : 'none: every unit reached succeeded' }));
        if (retry.length && ufd.can('operator')) {
          box.append(ufd.el('button', { type: 'button', class: 'primary', id: 'job-rerun',
            text: 'Re-run for the ' + retry.length + ' failed units',
            on: { click: async () => {
              try {
                const again = await ufd.api('POST', '/api/v1/jobs',
                                            { kind: job.kind, params: job.params, units: retry });
                location.assign('/jobs?id=' + again.id);
              } catch (e) { ufd.say('Cannot re-run: ' + e.message, true); }
            } } }));
        }
        parts.push(box);
      }
      parts.push(resultsTable(results));
      ufd.clear(host).append(...parts);
      host.dataset.state = job.state;
      if (!running && !ended) {
        ended = true;
        if (source) source.close();
        ufd.say('Job ' + job.id + ' ended: ' + job.state + '.');
        if (onEnd) onEnd(job);
      }
    }
    const again = ufd.debounce(render, 300);
    // Read again on each event, "hello" included: an end that came before
    // the stream was subscribed is then seen too. A slow look as well, in
    // case the stream drops.
    source = ufd.events('?job=' + encodeURIComponent(id), () => { if (!ended) again(); });
    const watch = setInterval(() => { if (ended) clearInterval(watch); else again(); }, 5000);
    return render();
  }

  return { show, failed };
})();
