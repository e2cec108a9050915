// SPDX-License-Identifier: Apache-2.0
// Sign-in: the password goes in the body of a POST, never in a URL.
'use strict';

// Already signed in: say as whom; signing in again replaces that session.
ufd.current().then((who) => {
  if (who) {
    const note = document.getElementById('signed-in');
    note.textContent = 'Signed in as ' + who.user + ' (' + who.role + '). ';
    note.append(ufd.el('a', { href: '/', text: 'Go to the fleet' }));
    note.hidden = false;
  }
});

document.getElementById('login').addEventListener('submit', async (event) => {
  event.preventDefault();
  const user = document.getElementById('user').value.trim();
  const password = document.getElementById('password').value;
  if (!user || !password) {
    ufd.say('Give a user name and a password.', true);
    return;
  }
  ufd.say('Signing in…');
  try {
    await ufd.api('POST', '/api/v1/login', { user, password });
    location.assign('/');
  } catch (e) {
    document.getElementById('password').value = '';
    document.getElementById('password').focus();
    ufd.say(e.message, true);
  }
});
