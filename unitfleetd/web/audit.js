// SPDX-License-Identifier: Apache-2.0
// The audit log, newest first, 100 entries at a time (older: before the
// last id shown).
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const limit = 100;
  let before = null;
  let last = null;

  async function read() {
    let answer;
    try {
      answer = await ufd.api('GET', '/api/v1/audit?limit=' + limit + (before ? '&before=' + before : ''));
    } catch (e) {
      ufd.say('Cannot read the audit log: ' + e.message, true);
      return;
    }
    const body = ufd.clear(document.querySelector('#audit tbody'));
    for (const e of answer.entries) {
      const failed = !/^2/.test(e.outcome);
      body.append(ufd.el('tr', {},
        ufd.el('td', { class: 'num', text: e.id }),
        ufd.el('td', { text: ufd.time(e.at) }),
        ufd.el('td', { class: 'text', text: e.who }),
        ufd.el('td', { text: e.address }),
        ufd.el('td', { class: 'text', text: e.action }),
        ufd.el('td', { class: 'text', text: e.target }),
        ufd.el('td', { class: 'text' + (failed ? ' error' : ''), text: e.outcome })));
    }
    if (!answer.entries.length) body.append(ufd.el('tr', {}, ufd.el('td', { colspan: 7, text: 'No entries.' })));
    last = answer.entries.length ? answer.entries[answer.entries.length - 1].id : null;
    $('older').disabled = answer.entries.length < limit;
    $('newest').disabled = before === null;
    document.body.dataset.loaded = 'audit';
  }

  $('older').addEventListener('click', () => { before = last; read(); });
  $('newest').addEventListener('click', () => { before = null; read(); });
  await ufd.start();
  await read();
})();
