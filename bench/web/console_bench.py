#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The fleet page with 10,000 units in headless Chromium: time from
navigation to a usable table, and from a filter's submit to the filtered
table, each the median of several runs, against the targets (1 s, 200 ms)
as ratios. A unitfleetd of its own on 127.138.0.1; the units are inventory
lines only (their state does not change what the page fetches: one page of
the table and the counts)."""
import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

HOST, PORT = '127.138.0.1', 18538
PASSWORD = 'a long bench password'


def main():
    p = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    p.add_argument('--unitfleetd', required=True)
    p.add_argument('--units', type=int, default=10000)
    p.add_argument('--runs', type=int, default=7)
    p.add_argument('--chromium', default='/usr/bin/chromium')
    p.add_argument('--chromedriver', default='/usr/bin/chromedriver')
    p.add_argument('--timeout', type=float, default=300)
    args = p.parse_args()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By

    signal.alarm(int(args.timeout))
    folder = tempfile.mkdtemp(prefix='console-bench-')
    daemon = driver = None
    try:
        with open(os.path.join(folder, 'units.txt'), 'w') as f:
            for i in range(args.units):
                # Loopback only: nothing listens there, so a poll (if any) is refused at once.
                f.write('127.138.%d.%d till-%05d g%d shop-%d\n' % (i // 250 + 1, i % 250 + 1, i, i % 20, i // 100))
        config = os.path.join(folder, 'unitfleetd.conf')
        with open(config, 'w') as f:
            json.dump({'inventory': 'units.txt', 'state': 'state', 'listen': '%s:%d' % (HOST, PORT),
                       'backup': False, 'status_interval': 86400}, f)
        subprocess.run([args.unitfleetd, '--config', config, 'user', 'add', 'bench', '--role', 'viewer'],
                       input=PASSWORD + '\n', text=True, check=True, capture_output=True, timeout=60)
        daemon = subprocess.Popen([args.unitfleetd, '--config', config],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(150):
            try:
                urllib.request.urlopen('http://%s:%d/healthz' % (HOST, PORT), timeout=1)
                break
            except OSError:
                time.sleep(0.2)
        options = webdriver.ChromeOptions()
        options.binary_location = args.chromium
        for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--disable-background-networking', '--disable-component-update', '--disable-sync',
                     '--no-first-run', '--user-data-dir=' + os.path.join(folder, 'profile'),
                     '--window-size=1280,800'):
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service(args.chromedriver), options=options)
        base = 'http://%s:%d' % (HOST, PORT)
        driver.get(base + '/login')
        driver.find_element(By.ID, 'user').send_keys('bench')
        driver.find_element(By.ID, 'password').send_keys(PASSWORD + '\n')

        def loaded():
            for _ in range(300):
                if driver.execute_script('return document.body.dataset.loaded') == 'units':
                    return
                time.sleep(0.05)
            raise RuntimeError('the fleet page did not load')
        loaded()
        first, filtered = [], []
        for run in range(args.runs):
            driver.get(base + '/?per_page=100')
            loaded()
            first.append(driver.execute_script(
                "return performance.getEntriesByName('ufd-units')[0].startTime"))
            filtered.append(driver.execute_async_script('''
                const done = arguments[arguments.length - 1];
                const before = Number(document.body.dataset.shown);
                document.getElementById('f-group').value = 'g' + arguments[0];
                const t0 = performance.now();
                document.getElementById('filters').requestSubmit();
                (function wait() {
                  if (Number(document.body.dataset.shown) > before)
                    requestAnimationFrame(() => done(performance.now() - t0));
                  else requestAnimationFrame(wait);
                })();''', run % 20))
        total = driver.execute_script("return document.getElementById('page-info').textContent")
        a, b = statistics.median(first), statistics.median(filtered)
        print('fleet page, %d units (last filtered table: %s), median of %d runs in headless Chromium:' % (args.units, total, args.runs))
        print('  navigation to a usable table: %7.1f ms (target 1000 ms: %.2f of it)' % (a, a / 1000))
        print('  filter submit to the table:   %7.1f ms (target  200 ms: %.2f of it)' % (b, b / 200))
        print('  each run: navigation %s; filter %s' % ([round(x) for x in first], [round(x) for x in filtered]))
        return 0
    finally:
        if driver is not None:
            driver.quit()
        if daemon is not None:
            daemon.terminate()
            daemon.wait(timeout=10)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
