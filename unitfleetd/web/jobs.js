// SPDX-License-Identifier: Apache-2.0
// Every job with its outcome, newest first; ?id=N shows one job live.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const perPage = 50;
  let page = 1;

  async function readJobs() {
    let answer;
    try {
      answer = await ufd.api('GET', '/api/v1/jobs?page=' + page + '&per_page=' + perPage);
    } catch (e) {
      ufd.say('Cannot read the jobs: ' + e.message, true);
      return;
    }
    const body = ufd.clear(document.querySelector('#jobs tbody'));
    for (const job of answer.jobs) {
      body.append(ufd.el('tr', { 'data-job': job.id },
        ufd.el('td', { class: 'num' }, ufd.el('a', { href: '/jobs?id=' + job.id, text: '#' + job.id })),
        ufd.el('td', { text: job.kind }),
        ufd.el('td', {}, ufd.el('span', { class: 'state ' + job.state, text: job.state })),
        ufd.el('td', { text: job.started_by }),
        ufd.el('td', { text: ufd.time(job.created) }),
        ufd.el('td', { text: ufd.time(job.finished) }),
        ufd.el('td', { class: 'num', text: job.units_reached + ' / ' + job.units_total }),
        ufd.el('td', { class: 'text', text: job.message || '' })));
    }
    if (!answer.jobs.length) body.append(ufd.el('tr', {}, ufd.el('td', { colspan: 8, text: 'No jobs yet.' })));
    const pages = Math.max(1, Math.ceil(answer.total / perPage));
    $('page-info').textContent = 'Page ' + page + ' of ' + pages + ' · ' + answer.total + ' jobs';
    $('prev').disabled = page <= 1;
    $('next').disabled = page >= pages;
  }

  $('prev').addEventListener('click', () => { page -= 1; readJobs(); });
  $('next').addEventListener('click', () => { page += 1; readJobs(); });

  await ufd.start();
  const id = ufd.param('id');
  if (id) {
    $('job').hidden = false;
    $('job-h').textContent = 'Job #' + id;
    await jobView.show($('job-view'), id, () => readJobs());
  }
  await readJobs();
  document.body.dataset.loaded = 'jobs';
  const reread = ufd.debounce(readJobs, 1000);
  ufd.events('', (name) => { if (name === 'job') reread(); });
})();
