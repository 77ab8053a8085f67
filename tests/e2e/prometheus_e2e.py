#!/usr/bin/env python3
"""A site of three rooms against the real servers: a climon-sim and a headless climon with
--metrics for each room, node_exporter reading their textfile folder, Prometheus scraping
it every second with a copy of the alert rules whose durations are short. Through
Prometheus' HTTP API: each room's values, the alerts that must fire and those that must
not, and every query of the dashboard. Everything it starts, it stops.

usage: prometheus_e2e.py BUILD_DIR SOURCE_DIR
"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

build, source = sys.argv[1], sys.argv[2]
for tool in ("prometheus", "prometheus-node-exporter"):
    if shutil.which(tool) is None:
        print(f"skipped: e2e.prometheus: {tool} is not installed (apt-get install prometheus prometheus-node-exporter)")
        sys.exit(77)

work = tempfile.mkdtemp(prefix="climon-prom.")
started = []  # (name, Popen), stopped in reverse at the end
failures = []
passed = 0


def start(name, args, **kw):
    p = subprocess.Popen(args, stdout=subprocess.DEVNULL,
                         stderr=open(os.path.join(work, name + ".err"), "w"), **kw)
    started.append((name, p))
    return p


def stop(p):
    if p.poll() is None:
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def check(ok, what):
    global passed
    print(("ok   " if ok else "FAIL ") + what)
    if ok:
        passed += 1
    else:
        failures.append(what)


def until(ok, bound, step=0.25):
    end = time.monotonic() + bound
    while time.monotonic() < end:
        got = ok()
        if got:
            return got
        time.sleep(step)
    return ok()


try:
    textfiles = os.path.join(work, "textfile")
    os.mkdir(textfiles)
    # Three rooms: B far off its temperature set point (12.5 C) with 20.0 C.
    rooms = {"Room A": "DM992=500", "Room B": "DM992=800", "Room C": "DM992=520"}
    want_temp = {"Room A": 12.5, "Room B": 20.0, "Room C": 13.0}
    sims, climons = {}, {}
    for i, (room, word) in enumerate(rooms.items(), start=1):
        link = os.path.join(work, f"COM{i}")
        sims[room] = start(f"sim{i}", [os.path.join(build, "climon-sim"), "--link", link,
                                       "--set", word])
        until(lambda: os.path.exists(link), 5)
        env = dict(os.environ, **{f"CLIMON_COM{i}": link})
        # Room A keeps a sealed value log too, whose seals Prometheus keeps a copy of.
        log = ["--log", os.path.join(work, "roomA.csv")] if i == 1 else []
        # The alarms with times cut to seconds; each room takes acknowledgements.
        acks = os.path.join(work, f"ack{i}")
        os.mkdir(acks)
        alarms = ["--alarms", "--delay", "0.05", "--settle", "0", "--ack-folder", acks]
        climons[room] = start(f"climon{i}", [os.path.join(build, "climon"), "--headless",
                                             "--port", str(i), "--room", room, "--metrics",
                                             os.path.join(textfiles, f"room{i}.prom")] + log + alarms,
                              env=env, stdin=subprocess.DEVNULL, start_new_session=True)

    node_port, prom_port = free_port(), free_port()
    start("node_exporter", ["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{node_port}",
                            "--collector.disable-defaults", "--collector.textfile",
                            f"--collector.textfile.directory={textfiles}"])
    # The rules with their durations cut to seconds, as a site would never run them.
    rules = open(os.path.join(source, "monitoring", "climon.rules.yml")).read()
    rules = re.sub(r"for: 15m", "for: 3s", rules)
    rules = re.sub(r"for: 2m", "for: 2s", rules)
    open(os.path.join(work, "rules.yml"), "w").write(rules)
    open(os.path.join(work, "prometheus.yml"), "w").write(f"""
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: [rules.yml]
scrape_configs:
  - job_name: node
    static_configs: [{{targets: ['127.0.0.1:{node_port}']}}]
""")
    start("prometheus", ["prometheus", f"--config.file={work}/prometheus.yml",
                         f"--storage.tsdb.path={work}/data", f"--web.listen-address=127.0.0.1:{prom_port}"],
          cwd=work)

    def query(expr):
        url = f"http://127.0.0.1:{prom_port}/api/v1/query?" + urllib.parse.urlencode({"query": expr})
        try:
            with urllib.request.urlopen(url, timeout=5) as r:
                return json.load(r)["data"]["result"]
        except OSError:
            return None

    def by_room(expr):
        return {s["metric"].get("room"): float(s["value"][1]) for s in (query(expr) or [])}

    def firing(name):
        return {s["metric"]["room"] for s in (query(f'ALERTS{{alertname="{name}",alertstate="firing"}}') or [])}

    temps = until(lambda: (lambda t: t if len(t) == 3 else None)(by_room("climon_temperature_celsius")), 60)
    check(temps == want_temp, f"each room's temperature as its simulator has it: {temps}")
    fired = until(lambda: firing("ClimonAlarm"), 30)
    time.sleep(3)  # the others have had their chance to fire too
    check(firing("ClimonAlarm") == {"Room B"},
          f"ClimonAlarm fires for Room B alone: {firing('ClimonAlarm')}")
    check(firing("ClimonLinkDown") == set(), "no link is down while every simulator answers")
    # Acknowledged at the room: the page ends, though the room is still outside its band.
    ack = subprocess.run([os.path.join(build, "climon"), "--acknowledge", "roomB", "--ack-folder",
                          os.path.join(work, "ack2"), "--cause", "door open", "--action", "shut"],
                         capture_output=True, text=True, timeout=30)
    check(ack.returncode == 0 and "acknowledged: temperature: 20.00 above" in ack.stdout,
          f"climon --acknowledge: {ack.returncode} {ack.stdout.strip()} {ack.stderr.strip()}")
    check(until(lambda: not firing("ClimonAlarm"), 30),
          f"ClimonAlarm ends once acknowledged: {firing('ClimonAlarm')}")
    states = by_room('climon_alarm_state{alarm="temperature"}')
    check(states == {"Room A": 0, "Room B": 3, "Room C": 0}, f"the alarms' states: {states}")

    # The copy of the seals: the last link written into Room A's log, its row and first
    # 12 hexadecimal digits, as Prometheus has them.
    def last_link():
        links = re.findall(r",(\d+):([0-9a-f]{64})\r\n", open(os.path.join(work, "roomA.csv"), newline="").read())
        return (float(links[-1][0]), float(int(links[-1][1][:12], 16))) if links else None

    def copied():
        link = last_link()
        rows = by_room('climon_seal_rows{record="log"}').get("Room A")
        head = by_room('climon_seal_head{record="log"}').get("Room A")
        return link if link and (rows, head) == link else None
    check(until(copied, 30) is not None,
          f"Prometheus has Room A's last link: {last_link()} in the log")

    # While every room answers: a silent one has no values to show.
    dashboard = json.load(open(os.path.join(source, "monitoring", "climon-dashboard.json")))
    exprs = [t["expr"] for p in dashboard["panels"] for t in p["targets"]]
    for expr in exprs:
        rooms_seen = {s["metric"].get("room") for s in (query(expr.replace("$room", ".*")) or [])}
        check(rooms_seen == set(rooms), f"dashboard query returns the three rooms: {expr}")
    variable = dashboard["templating"]["list"][1]["definition"]
    check(variable == "label_values(climon_info, room)", "the room variable lists climon_info's rooms")
    silent_at = time.monotonic()
    stop(sims["Room C"])
    down = until(lambda: firing("ClimonLinkDown"), 60, 0.1)
    took = time.monotonic() - silent_at
    check(down == {"Room C"}, f"ClimonLinkDown fires for Room C alone: {down}")
    print(f"from a silent simulator to ClimonLinkDown firing: {took:.1f} s "
          "(2 s without a reply, the 2 s 'for', scrape and evaluation at 1 s)")

finally:
    for name, p in reversed(started):
        stop(p)
    shutil.rmtree(work, ignore_errors=True)

print(f"{passed} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
