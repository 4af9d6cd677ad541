#!/usr/bin/env python3
"""Local stand-in of the cloud service for tests: drive API, member API
and a control interface, on one loopback port, routed by Host header.

    python3 standin.py --port 18480 [--data-dir DIR] [--domain localhost]
                       [--drive-host drive-api.localhost]
                       [--update-host update.localhost] [--quiet]
"""

import argparse
import http.server
import shutil
import signal
import sys
import tempfile

from api import Api
from control import Control
from handler import make_handler
from state import Store

DEFAULT_PORT = 18480


class StandInServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128


def build_server(data_dir, port=DEFAULT_PORT, domain="localhost",
                 drive_host="drive-api.localhost", quiet=False, update_host="update.localhost"):
    """A ready, bound server keeping file contents under data_dir (port 0
    picks a free one). The caller runs serve_forever() and, when done,
    shutdown() and server_close()."""
    store = Store(data_dir, domain.lower())
    api = Api(store, drive_host, update_host)
    handler = make_handler(store, api, Control(store, api.web), quiet)
    server = StandInServer(("127.0.0.1", port), handler)
    server.store = store
    return server


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--data-dir", help="where file contents live (default: a temporary "
                        "folder removed on exit)")
    parser.add_argument("--domain", default="localhost")
    parser.add_argument("--drive-host", default="drive-api.localhost")
    parser.add_argument("--update-host", default="update.localhost")
    parser.add_argument("--quiet", action="store_true", help="no line per request on stderr")
    args = parser.parse_args(argv)

    temp_dir = None
    data_dir = args.data_dir
    if data_dir is None:
        temp_dir = data_dir = tempfile.mkdtemp(prefix="standin-")
    # Termination by the test fixture must still clean the data folder up.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        try:
            server = build_server(data_dir, args.port, args.domain, args.drive_host, args.quiet,
                                  args.update_host)
        except OSError as exc:
            print("standin: cannot listen on 127.0.0.1:%d: %s" % (args.port, exc),
                  file=sys.stderr)
            return 2
        print("standin: listening on 127.0.0.1:%d (drive host %s, domain %s, data %s)"
              % (server.server_address[1], args.drive_host, args.domain, data_dir),
              file=sys.stderr, flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
        finally:
            server.server_close()
        return 0
    finally:
        if temp_dir is not None:
            shutil.rmtree(temp_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
