// SPDX-License-Identifier: Apache-2.0
// Accounts (admin): add, change role, disable or enable, reset a password,
// revoke a name's API tokens.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);

  async function act(what, fn) {
    try {
      await fn();
      ufd.say(what + '.');
    } catch (e) {
      ufd.say(what + ' failed: ' + e.message, true);
    }
    await read();
  }

  function row(user) {
    const path = '/api/v1/users/' + encodeURIComponent(user.name);
    const role = ufd.el('select', { 'aria-label': 'Role of ' + user.name });
    for (const r of ['viewer', 'operator', 'admin']) role.append(ufd.el('option', { text: r, selected: r === user.role }));
    role.addEventListener('change', () => act('Role of ' + user.name + ' set to ' + role.value,
      () => ufd.api('PATCH', path, { role: role.value })));
    const self = ufd.me && ufd.me.user === user.name;
    return ufd.el('tr', { 'data-user': user.name },
      ufd.el('th', { scope: 'row', class: 'text', text: user.name }),
      ufd.el('td', {}, role),
      ufd.el('td', { text: ufd.time(user.created) }),
      ufd.el('td', {}, ufd.el('span', { class: 'state ' + (user.disabled ? 'down' : 'up'),
                                        text: user.disabled ? 'disabled' : 'active' })),
      ufd.el('td', {}, ufd.el('div', { class: 'actions' },
        ufd.el('button', { type: 'button', disabled: self, text: user.disabled ? 'Enable' : 'Disable',
          'aria-label': (user.disabled ? 'Enable ' : 'Disable ') + user.name,
          on: { click: () => act((user.disabled ? 'Enabled ' : 'Disabled ') + user.name,
                                 () => ufd.api('PATCH', path, { disabled: !user.disabled })) } }),
        ufd.el('button', { type: 'button', text: 'Revoke tokens', 'aria-label': 'Revoke tokens of ' + user.name,
          on: { click: () => act('Tokens of ' + user.name + ' revoked',
                                 () => ufd.api('POST', path + '/revoke-tokens')) } }))));
  }

  async function read() {
    let answer;
    try {
      answer = await ufd.api('GET', '/api/v1/users');
    } catch (e) {
      ufd.say('Cannot read the users: ' + e.message, true);
      return;
    }
    const body = ufd.clear(document.querySelector('#users tbody'));
    const names = ufd.clear($('reset-name'));
    for (const user of answer.users) {
      body.append(row(user));
      names.append(ufd.el('option', { text: user.name }));
    }
    document.body.dataset.loaded = 'users';
  }

  $('add').addEventListener('submit', (event) => {
    event.preventDefault();
    const name = $('add-name').value.trim();
    const body = { name, role: $('add-role').value, password: $('add-password').value };
    $('add-password').value = '';
    act('Added ' + name, () => ufd.api('POST', '/api/v1/users', body));
  });
  $('reset').addEventListener('submit', (event) => {
    event.preventDefault();
    const name = $('reset-name').value;
    const password = $('reset-password').value;
    $('reset-password').value = '';
    act('Password of ' + name + ' set', () =>
      ufd.api('POST', '/api/v1/users/' + encodeURIComponent(name) + '/password', { password }));
  });

  await ufd.start();
  await read();
})();
