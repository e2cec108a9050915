#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The fleet console in a real browser.

Starts simulated units and a unitfleetd of its own on loopback addresses
(127.137.x.y), drives headless Chromium through Selenium over the console's
pages and checks each step on the page: sign-in, the fleet counts against
the API and the units' real states, a group filter, a unit's page, its
history after two backups, the side-by-side diff, the comparison of two
units, a rollout that stops at its failure ceiling with the retry set, what
a viewer is offered, a forged request, unit texts that hold markup, axe-core
on every page, a keyboard-only walk and sign-out. Steps whose API the daemon
lacks are reported as skipped. With --screenshots DIR it also saves every
page at desktop and tablet width.
"""
import argparse
import json
import re
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

HOST = '127.137.0.1'
PORT = 18537
PASSWORD = 'a long test password'
PAYLOAD_IMG = '<img/src=x/onerror=window.__xss=1>'
PAYLOAD_SCRIPT = '</script><script>window.__xss=2</script>'


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    p.add_argument('--unitfleetd', required=True, help='the unitfleetd program')
    p.add_argument('--unitsim', required=True, help='the unitsim program')
    p.add_argument('--axe', required=True, help='axe.min.js of npm\'s axe-core')
    p.add_argument('--chromium', default='/usr/bin/chromium')
    p.add_argument('--chromedriver', default='/usr/bin/chromedriver')
    p.add_argument('--screenshots', help='save every page at desktop and tablet width here')
    p.add_argument('--timeout', type=float, default=240, help='seconds for the whole run')
    p.add_argument('--keep', action='store_true', help='keep the temporary folder')
    return p.parse_args()


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


# --- the fleet: simulated units, inventory, config, daemon -------------------

class Fleet:
    """Units on 127.137.1.1-100 (north: 1-50, south: 51-100, pilot: 91-100,
    where 93 and 94 refuse sets of Backlight), two units that drift on
    127.137.4.1-2 (hist), one whose UnitID and UnitStatus hold markup on
    127.137.2.1 and two inventory lines nobody answers (127.137.3.1-2)."""

    def __init__(self, args, folder):
        self.args = args
        self.folder = folder
        self.processes = []
        self.token = None

    def path(self, name):
        return os.path.join(self.folder, name)

    def write(self, name, text):
        with open(self.path(name), 'w', encoding='utf-8') as f:
            f.write(text)

    def sim(self, first, last, *extra):
        address = first if first == last else first + '-' + last
        log = open(self.path('unitsim-' + first + '.log'), 'w')
        process = subprocess.Popen([self.args.unitsim, '--address', address, *extra],
                                   stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return log.name

    def start(self):
        logs = [
            self.sim('127.137.1.1', '127.137.1.92'),
            self.sim('127.137.1.93', '127.137.1.94', '--refuse', 'Backlight'),
            self.sim('127.137.1.95', '127.137.1.100'),
            self.sim('127.137.4.1', '127.137.4.2', '--name-pattern', 'HIST%02d', '--drift', 'Backlight'),
        ]
        self.write('xss-modes.txt',
                   'UnitID STRING,64 = ' + PAYLOAD_IMG + '\n'
                   'UnitStatus STRING,64 ro = ' + PAYLOAD_SCRIPT + '\n'
                   'Backlight INTEGER = 80\n')
        logs.append(self.sim('127.137.2.1', '127.137.2.1', '--modes', self.path('xss-modes.txt')))
        lines = []
        for i in range(1, 101):
            groups = ['north' if i <= 50 else 'south'] + (['pilot'] if i > 90 else [])
            lines.append('127.137.1.%d till-%03d %s' % (i, i, ' '.join(groups)))
        lines += ['127.137.4.1 hist-1 north', '127.137.4.2 hist-2 north',
                  '127.137.2.1 xss-1 ' + PAYLOAD_IMG + ' ' + PAYLOAD_SCRIPT,
                  '127.137.3.1 gone-1 north', '127.137.3.2 gone-2 south']
        self.units = len(lines)
        self.write('units.txt', '\n'.join(lines) + '\n')
        self.write('pilot.ini', 'Backlight = 60\nBeepVolume = 2\n')
        self.write('unitfleetd.conf', json.dumps({
            'inventory': 'units.txt', 'state': 'state', 'listen': '%s:%d' % (HOST, PORT),
            'status_interval': 2, 'backup': False, 'baselines': {'pilot': 'pilot.ini'},
            'timeouts': {'unit': 2}}))
        self.config = ['--config', self.path('unitfleetd.conf')]
        for name, role in (('ann', 'admin'), ('otto', 'operator'), ('vic', 'viewer')):
            r = subprocess.run([self.args.unitfleetd, *self.config, 'user', 'add', name, '--role', role],
                               input=PASSWORD + '\n', capture_output=True, text=True, timeout=60)
            check(r.returncode == 0, 'user add %s: %s' % (name, r.stderr))
        r = subprocess.run([self.args.unitfleetd, *self.config, 'token', 'add', 'tester', '--role', 'admin'],
                           capture_output=True, text=True, timeout=60)
        check(r.returncode == 0, 'token add: ' + r.stderr)
        self.token = r.stdout.split('\n')[0].strip()
        for log in logs:
            wait_for(lambda: 'listening' in open(log).read(), 30, 'unitsim to listen (' + log + ')')
        daemon_log = open(self.path('unitfleetd.log'), 'w')
        self.daemon = subprocess.Popen([self.args.unitfleetd, *self.config],
                                       stdout=daemon_log, stderr=subprocess.STDOUT)
        self.processes.append(self.daemon)
        wait_for(lambda: self.get('/healthz', auth=False) is not None, 30, 'unitfleetd to answer')

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
        for p in self.processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def call(self, method, path, body=None, auth=True):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request('http://%s:%d%s' % (HOST, PORT, path), data=data, method=method)
        if auth:
            request.add_header('Authorization', 'Bearer ' + self.token)
        if data is not None:
            request.add_header('Content-Type', 'application/json')
        try:
            with urllib.request.urlopen(request, timeout=10) as answer:
                return answer.status, json.loads(answer.read() or b'null')
        except urllib.error.HTTPError as e:
            return e.code, json.loads(e.read() or b'null')
        except (urllib.error.URLError, ConnectionError, TimeoutError):
            return None, None

    def get(self, path, auth=True):
        status, body = self.call('GET', path, auth=auth)
        return body if status == 200 else None

    def has(self, method, path):
        doc = self.get('/api/v1/openapi.json') or {}
        return method.lower() in doc.get('paths', {}).get(path, {})

    def kinds(self):
        return (self.get('/api/v1/jobs') or {}).get('kinds', [])

    def wait_job(self, job_id, seconds=60):
        def ended():
            job = self.get('/api/v1/jobs/%d' % job_id)
            return job if job and job['state'] not in ('queued', 'running') else None
        return wait_for(ended, seconds, 'job %d to end' % job_id)


def wait_for(probe, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    raise Failure('gave up waiting for ' + what)


# --- the browser ---------------------------------------------------------------

def browser(args, profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = args.chromium
    for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--no-first-run', '--disable-extensions', '--user-data-dir=' + profile,
                 '--window-size=1280,800', '--force-color-profile=srgb', '--hide-scrollbars'):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(args.chromedriver), options=options)
    driver.set_page_load_timeout(30)
    driver.set_script_timeout(60)
    return driver


class Console:
    """The pages as a user sees them."""

    def __init__(self, driver, fleet, axe_source):
        self.d = driver
        self.fleet = fleet
        self.axe = axe_source
        self.base = 'http://%s:%d' % (HOST, PORT)

    def go(self, path, loaded=None):
        self.d.get(self.base + path)
        if loaded:
            self.loaded(loaded)

    def loaded(self, what):
        wait_for(lambda: self.d.execute_script('return document.body.dataset.loaded') == what, 20,
                 'the %s page to load (at %s)' % (what, self.d.current_url))

    def by(self, css):
        from selenium.webdriver.common.by import By
        return self.d.find_elements(By.CSS_SELECTOR, css)

    def one(self, css):
        found = wait_for(lambda: self.by(css), 20, css + ' on ' + self.d.current_url)
        return found[0]

    def text(self, css):
        return self.one(css).text

    def status(self):
        return self.d.execute_script("return document.getElementById('status').textContent")

    def sign_in(self, user):
        self.go('/login')
        self.one('#user').send_keys(user)
        self.one('#password').send_keys(PASSWORD + '\n')
        self.loaded('units')

    def sign_out(self):
        self.one('#signout').click()
        wait_for(lambda: self.d.current_url.endswith('/login'), 20, 'the sign-in page after sign-out')

    def fetch_status(self, method, path, body):
        """Status of a change sent by a script in the page without the CSRF token."""
        return self.d.execute_async_script('''
            const [method, path, body, done] = arguments;
            fetch(path, {method, headers: {'Content-Type': 'application/json'},
                         body: JSON.stringify(body), credentials: 'same-origin'})
              .then(r => done(r.status), e => done(String(e)));
        ''', method, path, body)

    def axe_check(self, page):
        result = self.d.execute_async_script(self.axe + '''
            ;const done = arguments[arguments.length - 1];
            axe.run(document, {resultTypes: ['violations']})
              .then(r => done(r.violations.map(v => ({id: v.id, impact: v.impact, help: v.help,
                                                     nodes: v.nodes.slice(0, 3).map(n => n.target.join(' '))}))),
                    e => done([{id: 'axe-error', impact: 'critical', help: String(e), nodes: []}]));
        ''')
        bad = [v for v in result if v['impact'] in ('serious', 'critical')]
        for v in result:
            print('    axe %s: %s (%s) %s' % (page, v['id'], v['impact'], v['nodes']))
        check(not bad, 'axe on %s: %s' % (page, '; '.join('%s: %s' % (v['id'], v['help']) for v in bad)))

    def shoot(self, folder, name):
        if not folder:
            return
        for width, height, label in ((1280, 800, 'desktop'), (800, 1100, 'tablet')):
            self.d.set_window_size(width, height)
            time.sleep(0.3)
            self.d.save_screenshot(os.path.join(folder, 'console-%s-%s.png' % (name, label)))
        self.d.set_window_size(1280, 800)


# --- the steps ---------------------------------------------------------------

def step_sign_in(c, f, ctx):
    c.sign_in('ann')
    check('ann (admin)' in c.text('#who'), 'the role is shown: ' + c.text('#who'))
    names = [a.text for a in c.by('header nav a')]
    check(names == ['Fleet', 'Rollouts', 'Jobs', 'Audit', 'Users'], 'admin navigation: %s' % names)


def step_fleet_counts(c, f, ctx):
    c.go('/', 'units')
    api = f.get('/api/v1/fleet')
    check(api is not None, 'GET /api/v1/fleet answers')
    shown = {k: c.text('#count-' + k) for k in ('units', 'up', 'down', 'unknown', 'status_not_ok', 'never_backed_up')}
    for key, value in shown.items():
        check(value == str(api[key]), 'count %s: page %s, API %s' % (key, value, api[key]))
    check(shown['units'] == str(f.units), 'units counted: %s of %d' % (shown['units'], f.units))
    check('of 2 ' in c.text('#page-info') and str(f.units) + ' units' in c.text('#page-info'),
          'paging: ' + c.text('#page-info'))
    if api['unknown'] == f.units:
        raise Skip('no unit status known: the daemon has no status poll')
    # The real states: every simulated unit answers, the two lines without one do not.
    wait_for(lambda: (f.get('/api/v1/fleet') or {}).get('unknown') == 0, 60, 'every unit checked')
    c.go('/', 'units')
    check(c.text('#count-up') == str(f.units - 2), 'up: ' + c.text('#count-up'))
    check(c.text('#count-down') == '2', 'down: ' + c.text('#count-down'))
    check(c.text('#count-status_not_ok') == '1', 'status not OK (the markup unit): ' + c.text('#count-status_not_ok'))


def step_filter_group(c, f, ctx):
    c.go('/', 'units')
    c.one('#f-group').send_keys('pilot')
    c.one('#filters button[type=submit]').click()
    wait_for(lambda: 'in group pilot' in c.text('#units-caption'), 20, 'the filtered caption')
    rows = c.by('#units tbody tr')
    check(len(rows) == 10, 'ten units in pilot, shown %d' % len(rows))
    check(all('pilot' in r.find_elements('css selector', 'td')[2].text for r in rows), 'every row in pilot')
    check('group=pilot' in c.d.current_url, 'the filter is in the URL: ' + c.d.current_url)
    # The table comes sorted by name; a click on the heading reverses it, in the API.
    check(c.one('th[data-sort=name]').get_attribute('aria-sort') == 'ascending', 'sorted by name')
    c.one('th[data-sort=name] button').click()
    wait_for(lambda: c.one('th[data-sort=name]').get_attribute('aria-sort') == 'descending', 20, 'descending sort')
    wait_for(lambda: c.by('#units tbody tr')[0].get_attribute('data-unit') == 'till-100', 20, 'till-100 first')


def step_open_unit(c, f, ctx):
    c.go('/?group=pilot', 'units')
    link = c.one('#units tbody tr[data-unit="till-093"] a')
    link.click()
    c.loaded('unit')
    check(c.text('#unit-name') == 'till-093', 'unit heading: ' + c.text('#unit-name'))
    check(c.text('#fact-address') == '127.137.1.93', 'address: ' + c.text('#fact-address'))
    check('pilot' in c.text('#fact-groups'), 'groups: ' + c.text('#fact-groups'))
    check(c.by('#backup'), 'an admin is offered "Back up now"')


def step_history_and_diff(c, f, ctx):
    if 'backup' not in f.kinds() or not f.has('get', '/api/v1/units/{name}/history'):
        raise Skip('no backup job or no unit history in the API')
    c.go('/unit?name=hist-1', 'unit')
    last = 0
    for n in (1, 2):
        c.one('#backup').click()

        def ended():
            m = re.search(r'job (\d+) ended: (\w+)', c.status())
            return m if m and int(m.group(1)) > last else None
        m = wait_for(ended, 60, 'backup %d to end (%s)' % (n, c.status()))
        check(m.group(2) == 'done', 'backup %d: %s' % (n, c.status()))
        last = int(m.group(1))
        wait_for(lambda: not c.one('#backup').get_attribute('disabled'), 20, 'the button back')
    rows = wait_for(lambda: len(c.by('#history tbody tr[data-revision]')) >= 2 and c.by('#history tbody tr[data-revision]'),
                    20, 'two commits in the history')
    check(all(r.find_elements('css selector', 'td')[2].text == 'ann' for r in rows[:2]), 'the commits name ann')
    c.one('#diff-form button').click()
    table = c.one('#diff-table')
    modes = [r.get_attribute('data-mode') for r in c.by('#diff-table tbody tr')]
    check('Backlight' in modes, 'the drifting mode is in the diff: %s' % modes)
    check(len(c.by('#diff-table thead th')) == 3, 'side by side: mode, from, to')
    ctx['unit_page'] = True


def step_compare(c, f, ctx):
    if not f.has('get', '/api/v1/diff'):
        raise Skip('no unit comparison in the API')
    if not ctx.get('unit_page'):
        raise Skip('no backups to compare')
    status, job = f.call('POST', '/api/v1/jobs', {'kind': 'backup', 'units': ['hist-2']})
    check(status == 201, 'backup of hist-2: %s %s' % (status, job))
    check(f.wait_job(job['id'])['state'] == 'done', 'hist-2 backed up')
    c.go('/unit?name=hist-1', 'unit')
    c.one('#compare-with').send_keys('hist-2')
    c.one('#compare-form button').click()
    c.one('#compare-table')
    modes = [r.get_attribute('data-mode') for r in c.by('#compare-table tbody tr')]
    check('UnitID' in modes, 'the two units differ in UnitID: %s' % modes)
    headers = [h.text for h in c.by('#compare-table thead th')]
    check(headers == ['Mode', 'hist-1', 'hist-2'], 'columns: %s' % headers)


def step_rollout(c, f, ctx):
    if 'apply' not in f.kinds() or not f.has('get', '/api/v1/baselines/{group}/plan'):
        raise Skip('no apply job or no baseline plan in the API')
    c.go('/rollouts?group=pilot', 'rollouts')
    check('pilot.ini' not in c.one('#baseline-text').get_attribute('value'), 'the baseline text, not its file name')
    check('Backlight = 60' in c.one('#baseline-text').get_attribute('value'), 'the baseline is shown')
    wait_for(lambda: c.by('#plan tbody tr'), 20, 'the plan')
    for css, value in (('#batch', '2'), ('#max-fail', '1'), ('#canary', '0')):
        field = c.one(css)
        field.clear()
        field.send_keys(value)
    c.one('#start-button').click()
    state = wait_for(lambda: c.one('#run').get_attribute('data-state') not in (None, '', 'running', 'queued')
                     and c.one('#run').get_attribute('data-state'), 90, 'the rollout to end')
    check(state == 'failed', 'the rollout stops at its ceiling: ' + state)
    retry = c.text('#retry-units')
    for unit in ('till-093', 'till-094', 'till-100'):
        check(unit in retry, '%s in the retry set: %s' % (unit, retry))
    for unit in ('till-091', 'till-092'):
        check(unit not in retry.split(', '), '%s applied, not in the retry set' % unit)
    check(c.by('#job-rerun'), 'a re-run for the failed units is offered')
    ctx['rollout'] = c.d.current_url.split('/rollouts', 1)[1]


def step_forged_request(c, f, ctx):
    c.go('/', 'units')
    before = f.get('/api/v1/users')
    status = c.fetch_status('POST', '/api/v1/users', {'name': 'mallory', 'role': 'admin', 'password': PASSWORD})
    check(status == 403, 'a change without the CSRF token is refused: %s' % status)
    check(all(u['name'] != 'mallory' for u in f.get('/api/v1/users')['users']), 'no user was added')
    check(len(before['users']) == len(f.get('/api/v1/users')['users']), 'users unchanged')


def step_users_page(c, f, ctx):
    c.go('/users', 'users')
    c.one('#add-name').send_keys('paula')
    c.one('#add-password').send_keys(PASSWORD)
    c.one('#add button[type=submit]').click()
    wait_for(lambda: c.by('#users tr[data-user="paula"]'), 20, 'the new user in the table')
    check(any(u['name'] == 'paula' and u['role'] == 'viewer' for u in f.get('/api/v1/users')['users']),
          'paula added as a viewer')
    from selenium.webdriver.support.ui import Select
    Select(c.one('#users tr[data-user="paula"] select')).select_by_visible_text('operator')
    wait_for(lambda: any(u['name'] == 'paula' and u['role'] == 'operator'
                         for u in f.get('/api/v1/users')['users']), 20, 'the role change')
    audit = f.get('/api/v1/audit?limit=10')['entries']
    check(any(e['action'] == 'PATCH /api/v1/users/paula' and e['who'] == 'ann' for e in audit), 'audited')
    c.go('/audit', 'audit')
    check('PATCH /api/v1/users/paula' in c.text('#audit tbody'), 'the audit page shows the change')


def step_markup_is_text(c, f, ctx):
    c.go('/?name=xss', 'units')
    row = c.one('#units tbody tr[data-unit="xss-1"]')
    check(PAYLOAD_IMG in row.text and PAYLOAD_SCRIPT in row.text, 'the groups are shown as text: ' + row.text)
    status = f.get('/api/v1/units/xss-1')['status']
    if status:
        check(PAYLOAD_IMG in row.text, 'the UnitID is shown as text')
        check(PAYLOAD_SCRIPT in row.find_element('css selector', '.unitstatus').text, 'the UnitStatus is text')
    c.go('/unit?name=xss-1', 'unit')
    if status:
        check(c.text('#fact-unitid') == PAYLOAD_IMG, 'UnitID as text: ' + c.text('#fact-unitid'))
    time.sleep(0.5)
    check(c.d.execute_script('return window.__xss === undefined'), 'no script of the unit ran')
    check(not c.by('main img') and not c.by('main script'), 'no element made from unit text')
    if not status:
        raise Skip('UnitID and UnitStatus: no unit status known (groups checked)')


def step_axe(c, f, ctx):
    for path, loaded in (('/', 'units'), ('/unit?name=till-093', 'unit'), ('/rollouts?group=pilot', 'rollouts'),
                         ('/jobs', 'jobs'), ('/audit', 'audit'), ('/users', 'users')):
        c.go(path, loaded)
        c.axe_check(path)
    c.sign_out()
    c.axe_check('/login')
    c.sign_in('ann')


def step_keyboard(c, f, ctx):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    c.sign_out()
    c.go('/login')
    keys = ActionChains(c.d)
    keys.send_keys('otto', Keys.TAB, PASSWORD, Keys.ENTER).perform()
    c.loaded('units')

    def tab_to(test, most, what):
        for _ in range(most):
            ActionChains(c.d).send_keys(Keys.TAB).perform()
            if c.d.execute_script(test):
                return
        raise Failure('no keyboard path to ' + what)
    # The skip link comes first, then the navigation, the filters, the table.
    tab_to("return document.activeElement.classList.contains('skip')", 3, 'the skip link')
    tab_to("return document.activeElement.id === 'f-group'", 20, 'the group filter')
    ActionChains(c.d).send_keys('south', Keys.ENTER).perform()
    wait_for(lambda: 'in group south' in c.text('#units-caption'), 20, 'the filter by keyboard')
    tab_to("const a = document.activeElement; return a.tagName === 'A' && a.closest('#units tbody') !== null",
           30, 'the first unit of the table')
    name = c.d.execute_script('return document.activeElement.textContent')
    ActionChains(c.d).send_keys(Keys.ENTER).perform()
    c.loaded('unit')
    check(c.text('#unit-name') == name, 'the unit opened by keyboard: ' + name)
    tab_to("return document.activeElement.id === 'backup'", 20, 'the backup button')
    c.go('/rollouts?group=pilot', 'rollouts')
    tab_to("return document.activeElement.id === 'batch'", 40, 'the rollout options')
    tab_to("return document.activeElement.id === 'start-button'", 10, 'the start button')
    c.sign_out()


def step_viewer(c, f, ctx):
    c.sign_in('vic')
    check('vic (viewer)' in c.text('#who'), 'viewer shown')
    names = [a.text for a in c.by('header nav a')]
    check(names == ['Fleet', 'Rollouts', 'Jobs'], 'a viewer is offered no admin pages: %s' % names)
    c.go('/unit?name=till-093', 'unit')
    check(not c.by('#backup') and not c.by('button.restore'), 'no backup or restore for a viewer')
    c.go('/rollouts?group=pilot', 'rollouts')
    check(not c.by('#start') and not c.by('#baseline-save'), 'no rollout start or baseline edit for a viewer')
    c.go('/jobs', 'jobs')
    check(not c.by('#job-stop') and not c.by('#job-rerun'), 'no job actions for a viewer')
    status = c.fetch_status('POST', '/api/v1/jobs', {'kind': 'status'})
    check(status == 403, 'a forged job request from a viewer\'s page is refused: %s' % status)
    c.d.get(c.base + '/users')
    check('/users' in c.d.current_url, 'the page itself opens')
    wait_for(lambda: 'needs the admin role' in c.status() or 'Cannot' in c.status(), 20, 'the refusal said')


def step_sign_out(c, f, ctx):
    c.go('/', 'units')
    c.sign_out()
    c.d.get(c.base + '/')
    wait_for(lambda: c.d.current_url.endswith('/login'), 20, 'a signed-out visit to go to the sign-in page')
    status, _ = f.call('GET', '/api/v1/units', auth=False)
    check(status == 401, 'the API stays 401: %s' % status)


def step_screenshots(c, f, ctx):
    folder = ctx.get('screenshots')
    if not folder:
        raise Skip('no --screenshots folder')
    os.makedirs(folder, exist_ok=True)
    c.d.delete_all_cookies()  # the sign-in page as a newcomer sees it
    c.go('/login')
    c.shoot(folder, 'signin')
    c.sign_in('ann')
    rollout = ctx.get('rollout', '?group=pilot')
    job = re.search(r'job=(\d+)', rollout)
    for name, path, loaded in (('fleet', '/', 'units'), ('unit', '/unit?name=hist-1', 'unit'),
                               ('rollouts', '/rollouts' + rollout, 'rollouts'),
                               ('jobs', '/jobs' + ('?id=' + job.group(1) if job else ''), 'jobs'),
                               ('audit', '/audit', 'audit'), ('users', '/users', 'users')):
        c.go(path, loaded)
        time.sleep(0.3)
        c.shoot(folder, name)


STEPS = [
    ('sign in', step_sign_in),
    ('fleet counts', step_fleet_counts),
    ('filter to a group', step_filter_group),
    ('open a unit', step_open_unit),
    ('history after two backups, side-by-side diff', step_history_and_diff),
    ('compare two units', step_compare),
    ('rollout stops at its ceiling', step_rollout),
    ('forged request refused', step_forged_request),
    ('users and audit pages', step_users_page),
    ('unit markup shown as text', step_markup_is_text),
    ('axe-core on every page', step_axe),
    ('keyboard only', step_keyboard),
    ('viewer', step_viewer),
    ('screenshots', step_screenshots),
    ('sign out', step_sign_out),
]


def main():
    args = parse_args()
    if not os.path.isfile(args.axe):
        print('console_test: axe-core is missing: %s\n'
              '  install it with: npm install --prefix build/web-tools axe-core@4' % args.axe, file=sys.stderr)
        return 1
    for program in (args.chromium, args.chromedriver):
        if not os.access(program, os.X_OK):
            print('console_test: %s is missing (apt-get install chromium chromium-driver)' % program,
                  file=sys.stderr)
            return 1
    try:
        import selenium  # noqa: F401
    except ImportError:
        print('console_test: python3-selenium is missing (apt-get install python3-selenium)', file=sys.stderr)
        return 1
    with open(args.axe, encoding='utf-8') as f:
        axe_source = f.read()
    folder = tempfile.mkdtemp(prefix='console-test-')
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(Failure('the whole run timed out')))
    signal.alarm(int(args.timeout))
    fleet = Fleet(args, folder)
    driver = None
    failed = []
    try:
        fleet.start()
        driver = browser(args, os.path.join(folder, 'profile'))
        console = Console(driver, fleet, axe_source)
        ctx = {'screenshots': args.screenshots}
        for name, step in STEPS:
            started = time.monotonic()
            try:
                step(console, fleet, ctx)
                print('ok    %s' % name)
            except Skip as e:
                print('skip  %s: %s' % (name, e))
            except Exception as e:  # one step's fault is reported, the next steps still run
                failed.append(name)
                print('FAIL  %s: %s: %s (at %s)' % (name, type(e).__name__, e, driver.current_url))
                shot = os.path.join(folder, 'failed-%d.png' % len(failed))
                try:
                    driver.save_screenshot(shot)
                    args.keep = True
                    print('      screenshot: ' + shot)
                except Exception:
                    pass
                # A later step starts signed in as the admin.
                try:
                    console.sign_in('ann')
                except Exception:
                    pass
            sys.stdout.flush()
            del started
    except Failure as e:
        failed.append('setup')
        print('FAIL  setup: %s' % e)
        args.keep = True
    finally:
        signal.alarm(0)
        if driver is not None:
            driver.quit()
        fleet.stop()
        if args.keep:
            print('kept ' + folder)
        else:
            shutil.rmtree(folder, ignore_errors=True)
    print('%d steps failed' % len(failed) if failed else 'every step passed or was skipped')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
