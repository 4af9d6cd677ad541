#!/usr/bin/env python3
"""Start or stop the stand-in server around a test run.

    fixture.py start --port P --state-dir DIR [-- extra server arguments]
    fixture.py stop  --port P --state-dir DIR

start runs the server detached (pid in DIR/standin.pid, output in
DIR/standin.log) and returns once it answers its health check. Both are
idempotent: start with a healthy server already running and stop with none
running succeed."""

import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
START_TIMEOUT = 20.0
STOP_TIMEOUT = 10.0


def _paths(state_dir):
    return os.path.join(state_dir, "standin.pid"), os.path.join(state_dir, "standin.log")


def _read_pid(pid_file):
    try:
        with open(pid_file) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def process_running(pid):
    """True for a running process that is our server (a pid left over from
    an earlier run may since belong to something else)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                return False
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"standin.py" in f.read()
    except (OSError, IndexError):
        pass
    try:
        os.kill(pid, 0)
    except (ProcessLookupError, PermissionError):
        return False
    return not os.path.isdir("/proc")   # no /proc to tell: trust the signal probe


def _healthy(port):
    try:
        with urllib.request.urlopen("http://127.0.0.1:%d/_control/health" % port, timeout=2) as r:
            return json.load(r).get("ok") is True
    except (OSError, ValueError):
        return False


def _port_free(port):
    with socket.socket() as s:
        # As the server binds: connections of an earlier run still in
        # TIME_WAIT must not count as the port being taken.
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


def _log_tail(log_file, lines=20):
    try:
        with open(log_file, errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return ""


def start(port, state_dir, extra):
    os.makedirs(state_dir, exist_ok=True)
    pid_file, log_file = _paths(state_dir)
    pid = _read_pid(pid_file)
    if pid is not None and process_running(pid):
        if _healthy(port):
            print("standin already running (pid %d) on port %d" % (pid, port))
            return 0
        stop(port, state_dir)
    if not _port_free(port):
        sys.stderr.write("standin: port %d on 127.0.0.1 is already in use\n" % port)
        return 1

    with open(log_file, "ab") as log:
        proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "standin.py"), "--port", str(port)] + extra,
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True, close_fds=True)
    with open(pid_file, "w") as f:
        f.write("%d\n" % proc.pid)

    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            os.remove(pid_file)
            sys.stderr.write("standin: server exited with code %d during start-up:\n%s"
                             % (proc.returncode, _log_tail(log_file)))
            return 1
        if _healthy(port):
            print("standin started (pid %d) on port %d" % (proc.pid, port))
            return 0
        time.sleep(0.1)
    proc.kill()
    proc.wait()
    os.remove(pid_file)
    sys.stderr.write("standin: no health answer on port %d within %.0f s:\n%s"
                     % (port, START_TIMEOUT, _log_tail(log_file)))
    return 1


def stop(port, state_dir):
    pid_file, _ = _paths(state_dir)
    pid = _read_pid(pid_file)
    if pid is not None and process_running(pid):
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + STOP_TIMEOUT
        while process_running(pid) and time.monotonic() < deadline:
            time.sleep(0.05)
        if process_running(pid):
            os.kill(pid, signal.SIGKILL)
            while process_running(pid):
                time.sleep(0.05)
        print("standin stopped (pid %d)" % pid)
    if os.path.exists(pid_file):
        os.remove(pid_file)
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="start or stop the stand-in server",
                                     epilog="arguments after -- are passed to the server")
    parser.add_argument("action", choices=("start", "stop"))
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--state-dir", required=True)
    argv = list(sys.argv[1:] if argv is None else argv)
    # Everything after "--" goes to the server untouched.
    extra = argv[argv.index("--") + 1:] if "--" in argv else []
    args = parser.parse_args(argv[:len(argv) - len(extra) - (1 if "--" in argv else 0)])
    state_dir = os.path.abspath(args.state_dir)
    if args.action == "start":
        return start(args.port, state_dir, extra)
    return stop(args.port, state_dir)


if __name__ == "__main__":
    sys.exit(main())
