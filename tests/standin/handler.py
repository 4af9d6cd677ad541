"""HTTP plumbing: read a request and its body, apply injected faults,
hand the request to the control interface or the API, log it, and write
the answer (or deliberately fail to)."""

import http.server
import socket
import sys
import time
import traceback
from urllib.parse import parse_qs, urlsplit

import blobs
import faults
from protocol import ApiError, BAD_REQUEST, Request, Response

CONTROL_PREFIX = "/_control/"


class BadFraming(Exception):
    """The request body cannot be delimited; the connection must go."""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"
    sys_version = ""
    disable_nagle_algorithm = True
    timeout = 600   # an idle keep-alive connection gives its thread back

    # Set on the subclass that the server factory builds.
    store = None
    api = None
    control = None
    quiet = False

    # One entry point for every method: unknown paths and methods get an
    # error envelope rather than http.server's HTML page.
    def do_GET(self):
        self._serve()

    do_POST = do_PUT = do_DELETE = do_PATCH = do_OPTIONS = do_HEAD = do_GET

    def handle_one_request(self):
        # Clients that send the headers and a small body in two writes
        # (Wine's HTTP stack does) would otherwise wait on our delayed
        # acknowledgement of the first write for every such request.
        try:
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
        except (OSError, AttributeError):
            pass
        super().handle_one_request()

    def version_string(self):
        return self.server_version

    def log_request(self, code="-", size="-"):
        pass   # requests are reported by _report, once their outcome is known

    def log_message(self, fmt, *args):
        if not self.quiet:
            sys.stderr.write("%s\n" % (fmt % args))
            sys.stderr.flush()

    # --- request ---------------------------------------------------------

    def _host(self):
        host = (self.headers.get("Host") or "").strip().lower()
        if host.startswith("["):
            return host.split("]")[0] + "]"
        return host.rsplit(":", 1)[0] if ":" in host else host

    def _read_body(self):
        body = blobs.Body(self.store.spool_dir)
        try:
            if "chunked" in (self.headers.get("Transfer-Encoding") or "").lower():
                self._read_chunked(body)
            else:
                text = self.headers.get("Content-Length")
                if text is not None and not text.strip().isdigit():
                    raise BadFraming("bad Content-Length: %r" % text)
                self._read_exact(body, int(text) if text is not None else 0)
            body.finish()
        except BaseException:
            body.discard()
            raise
        return body

    def _read_exact(self, body, length):
        buf = bytearray(min(blobs.CHUNK, max(length, 1)))
        view = memoryview(buf)
        while length:
            n = self.rfile.readinto(view[:min(len(buf), length)])
            if not n:
                raise ConnectionError("client closed the connection inside the body")
            body.write(view[:n])
            length -= n

    def _read_chunked(self, body):
        while True:
            line = self.rfile.readline(1024)
            try:
                size = int(line.split(b";")[0].strip(), 16)
            except ValueError:
                raise BadFraming("bad chunk size line: %r" % line) from None
            if size == 0:
                break
            self._read_exact(body, size)
            self.rfile.readline(1024)
        while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
            pass   # trailers are not used

    # --- the request cycle -----------------------------------------------

    def _serve(self):
        url = urlsplit(self.path)
        path, query = url.path, url.query
        params = {k: v[0] for k, v in parse_qs(query, keep_blank_values=True).items()}
        host = self._host()
        try:
            body = self._read_body()
        except BadFraming as exc:
            self.close_connection = True
            self._write(Response.error(ApiError(BAD_REQUEST, str(exc), 400)))
            return
        except (ConnectionError, socket.timeout):
            self.close_connection = True
            return
        req = Request(self.command, host, path, query, params, self.headers, body)
        self._answering = False
        try:
            if path.startswith(CONTROL_PREFIX):
                self._write(self.control.handle(req))
            else:
                self._serve_api(req)
        except (ConnectionError, socket.timeout):
            self.close_connection = True
        except Exception:
            # A bug in a handler must not take the server down: answer with
            # an error if nothing was written yet, else drop the connection.
            traceback.print_exc()
            self.close_connection = True
            if not self._answering:
                try:
                    self._write(Response.error(ApiError(BAD_REQUEST, "internal error", 500)))
                except OSError:
                    pass
        finally:
            body.discard()

    def _serve_api(self, req):
        store = self.store
        account = store.account(req.header("SESSION"))
        with store.lock:
            fault = faults.take(store.faults_for(account, req.host), req.method, req.path,
                                req.query, self.api.creates_session(req))
        action = fault.action if fault else None
        if action == "delayMs":
            time.sleep(fault.value / 1000.0)

        if action == "status":
            response = Response.text(fault.value, fault.body)
        elif action == "redirect":
            response = Response.text(fault.redirect_status, "moved\n")
            response.headers.append(("Location", fault.value))
        elif action == "envelope":
            response = Response.error(ApiError(fault.value, fault.message, fault.http_status))
        elif action == "close":
            response = None
        else:
            try:
                response = self.api.handle(req, fault.value if action == "parts" else None)
            except ApiError as exc:
                response = Response.error(exc)

        entry = self._record(account, req, response, fault)
        if response is None:
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        try:
            self._write(response, fault.value if action == "truncate" else None,
                        trickle_ms=fault.value if action == "trickleMs" else None,
                        unframed=action == "unframed")
        finally:
            response.close()
            with self.store.lock:
                entry["answering"] = False

    def _record(self, account, req, response, fault):
        entry = {
            "seq": None, "method": req.method, "host": req.host, "path": req.path,
            "query": req.query,
            "headers": {}, "bodyLength": req.body.length, "bodySha256": req.body.sha256,
            "body": req.body.log_text(),
            "status": response.status if response is not None else None,
            "fault": fault.describe() if fault else None,
            # The client's port tells whether requests shared a connection.
            "peerPort": self.client_address[1],
            "answering": response is not None,
        }
        for name, value in req.headers.items():
            entry["headers"][name] = (entry["headers"][name] + ", " + value
                                      if name in entry["headers"] else value)
        self.store.record(account, entry)
        if not self.quiet:
            note = " [fault %s]" % fault.action if fault else ""
            self.log_message("%s %s %s%s -> %s%s", req.method, req.host, req.path,
                             "?" + req.query if req.query else "", entry["status"], note)
        return entry

    # --- answer ----------------------------------------------------------

    def _write(self, response, limit=None, trickle_ms=None, unframed=False):
        """Send the answer. With `limit`, announce the full length but send
        only that many body bytes, then drop the connection. With
        `trickle_ms`, send the body one byte at a time, that long apart.
        `unframed` leaves out the length: the body ends when the connection
        closes."""
        self._answering = True
        self.send_response(response.status)
        self.send_header("Content-Type", response.content_type)
        if not unframed:
            self.send_header("Content-Length", str(response.length))
        for name, value in response.headers:
            self.send_header(name, value)
        if self.close_connection or limit is not None or unframed:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            return
        count = response.length if limit is None else min(limit, response.length)
        if trickle_ms is not None:
            self._trickle(response, count, trickle_ms / 1000.0)
        elif response.file is not None:
            if count:
                self.connection.sendfile(response.file, 0, count)
        else:
            self.wfile.write(response.body[:count])
        if limit is not None or unframed:
            self.close_connection = True

    def _trickle(self, response, count, pause):
        # A client that gives up ends this with a broken connection.
        self.wfile.flush()
        for i in range(count):
            byte = response.file.read(1) if response.file is not None else response.body[i:i + 1]
            self.wfile.write(byte)
            self.wfile.flush()
            time.sleep(pause)


def make_handler(store, api, control, quiet):
    return type("StandInHandler", (Handler,),
                {"store": store, "api": api, "control": control, "quiet": quiet})
