"""The control interface that tests use to set up accounts and content,
make changes as another device would, inject faults and read the request
log. JSON in and out; never logged and never faulted."""

import base64
import binascii
import json

import blobs
import faults
from protocol import ApiError, Response
from tree import ROOT


class ControlError(Exception):
    pass


def _ok(**fields):
    return Response.json(dict(ok=True, **fields))


def _text(body, key, required=True):
    value = body.get(key)
    if value is None and not required:
        return None
    if not isinstance(value, str) or not value:
        raise ControlError("%s must be a non-empty text" % key)
    return value


def _count(body, key):
    value = body.get(key)
    if isinstance(value, bool) or not isinstance(value, int) or value < 0:
        raise ControlError("%s must be a non-negative integer" % key)
    return value


def _split(path):
    if not isinstance(path, str) or not path.startswith("/") or path == "/":
        raise ControlError("path must start with / and name an item: %r" % (path,))
    names = [n for n in path.split("/") if n]
    return names[:-1], names[-1]


class Control:
    def __init__(self, store, web=None):
        self.store = store
        self.web = web
        self.routes = {
            ("GET", "/_control/health"): self.health,
            ("POST", "/_control/accounts"): self.accounts,
            ("POST", "/_control/seed"): self.seed,
            ("POST", "/_control/remote"): self.remote,
            ("GET", "/_control/tree"): self.tree,
            ("GET", "/_control/file"): self.file,
            ("GET", "/_control/log"): self.get_log,
            ("DELETE", "/_control/log"): self.clear_log,
            # POST forms for clients that only speak GET, POST and PUT.
            ("POST", "/_control/log/clear"): self.clear_log,
            ("POST", "/_control/faults/clear"): self.clear_faults,
            ("GET", "/_control/faults"): self.list_faults,
            ("POST", "/_control/faults"): self.add_fault,
            ("DELETE", "/_control/faults"): self.clear_faults,
            ("POST", "/_control/config"): self.config,
            ("POST", "/_control/update/manifest"): self.update_manifest,
            ("POST", "/_control/update/file"): self.update_file,
            ("POST", "/_control/update/clear"): self.update_clear,
            ("DELETE", "/_control/update"): self.update_clear,
            ("POST", "/_control/web/ticket"): self.web_ticket,
        }

    def handle(self, req):
        route = self.routes.get((req.method, req.path))
        try:
            if route is None:
                raise ControlError("no control call %s %s" % (req.method, req.path))
            body = None
            if req.method == "POST":
                body = self._json(req)
            return route(req, body)
        except (ControlError, ValueError) as exc:
            return Response.json({"ok": False, "error": str(exc)}, 400)
        except ApiError as exc:
            return Response.json({"ok": False, "error": exc.message, "resultCode": exc.code}, 400)

    @staticmethod
    def _json(req):
        if not req.body.in_memory:
            raise ControlError("control body too large")
        try:
            body = json.loads(req.body.data().decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as exc:
            raise ControlError("malformed JSON: %s" % exc) from None
        if not isinstance(body, dict):
            raise ControlError("JSON body must be an object")
        return body

    def _account(self, session):
        account = self.store.account(session)
        if account is None:
            raise ControlError("unknown session: %r" % (session,))
        return account

    # --- content helpers -------------------------------------------------

    def _blob(self, spec):
        """Content of a seeded or remote file: base64 "content", generated
        "size" bytes, or empty. Built before the lock is taken."""
        if spec.get("content") is not None and spec.get("size") is not None:
            raise ControlError("give content or size, not both")
        if spec.get("size") is not None:
            return blobs.blob_generated(self.store.spool_dir, _count(spec, "size"))
        data = b""
        if spec.get("content") is not None:
            if not isinstance(spec["content"], str):
                raise ControlError("content must be base64 text")
            try:
                data = base64.b64decode(spec["content"], validate=True)
            except binascii.Error as exc:
                raise ControlError("content is not base64: %s" % exc) from None
        return blobs.blob_from_bytes(self.store.spool_dir, data)

    @staticmethod
    def _folder(drive, names, create):
        """Folder id for a list of names below the root, optionally
        creating the missing ones (each a change of its own)."""
        parent = ROOT
        for name in names:
            item = drive.find_child(parent, name)
            if item is None:
                if not create:
                    raise ControlError("no folder /%s" % "/".join(names))
                item = drive.create_folder(parent, name)
            elif not item.is_folder:
                raise ControlError("%s is a file" % drive.path_of(item))
            parent = item.id
        return parent

    @staticmethod
    def _item(drive, path):
        _split(path)
        item = drive.lookup(path)
        if item is None:
            raise ControlError("no item at %s" % path)
        return item

    @staticmethod
    def _detailed(drive, item):
        obj = drive.file_object(item)
        obj["size"] = item.size
        obj["trashed"] = item.trashed
        return obj

    # --- calls -----------------------------------------------------------

    def health(self, req, body):
        return _ok()

    def accounts(self, req, body):
        session = _text(body, "session", required=False)
        session, account = self.store.create_account(
            _text(body, "tenant"), _text(body, "userCode"), _text(body, "name"),
            session=session, tenant_display=_text(body, "tenantName", required=False))
        return _ok(session=session, driveId=str(account.drive.id),
                   tenantId=account.tenant.id, tenantDomain=account.tenant_domain)

    def web_ticket(self, req, body):
        """A sign-in ticket of a known tenant, as the sign-in page would
        hand one to the finalize page."""
        tenant = _text(body, "tenant").lower()
        with self.store.lock:
            if tenant not in self.store.tenants:
                raise ControlError("no tenant %s" % tenant)
        return _ok(ticket=self.web.new_ticket(tenant))

    def seed(self, req, body):
        account = self._account(body.get("session"))
        specs = body.get("items")
        if not isinstance(specs, list) or not all(isinstance(s, dict) for s in specs):
            raise ControlError("items must be a list of objects")
        plans = []
        try:
            for spec in specs:
                parents, name = _split(spec.get("path"))
                kind = spec.get("type", "file")
                if kind not in ("file", "folder"):
                    raise ControlError("type must be file or folder")
                plans.append((parents, name, kind, self._blob(spec) if kind == "file" else None))
            drive = account.drive
            out = []
            with self.store.lock, drive.batch():
                # A seed is one bulk change: everything it makes shares a revision.
                for parents, name, kind, blob in plans:
                    parent = self._folder(drive, parents, create=True)
                    existing = drive.find_child(parent, name)
                    if kind == "folder" and existing is not None and existing.is_folder:
                        item = existing
                    elif kind == "folder":
                        item = drive.create_folder(parent, name)
                    else:
                        item = drive.create_file(parent, name, blob)
                    out.append(drive.file_object(item))
                return _ok(items=out, latestRevision=str(drive.latest_revision))
        finally:
            for plan in plans:
                if plan[3] is not None:
                    plan[3].discard()

    def remote(self, req, body):
        account = self._account(body.get("session"))
        drive = account.drive
        op = body.get("op")
        path = body.get("path")
        if op == "upload":
            parents, name = _split(path)
            blob = self._blob(body)
            try:
                with self.store.lock:
                    parent = self._folder(drive, parents, create=True)
                    existing = drive.find_child(parent, name)
                    if existing is None:
                        item = drive.create_file(parent, name, blob)
                    elif existing.is_folder:
                        raise ControlError("%s is a folder" % path)
                    else:
                        item = drive.update_file(existing.id, blob)
                    return _ok(item=self._detailed(drive, item))
            finally:
                blob.discard()
        with self.store.lock:
            if op == "mkdir":
                parents, name = _split(path)
                item = drive.create_folder(self._folder(drive, parents, create=True), name)
            elif op == "rename":
                item = drive.rename(self._item(drive, path).id, _text(body, "newName"))
            elif op == "move":
                target = body.get("newParentPath")
                if target == "/":
                    parent = ROOT
                else:
                    parent = self._item(drive, target).id
                item = drive.move(self._item(drive, path).id, parent,
                                  _text(body, "newName", required=False))
            elif op == "trash":
                item = drive.trash(self._item(drive, path).id)
            else:
                raise ControlError("op must be upload, mkdir, rename, move or trash")
            return _ok(item=self._detailed(drive, item))

    def tree(self, req, body):
        account = self._account(req.params.get("session"))
        drive = account.drive
        with self.store.lock:
            items = [self._detailed(drive, i) for i in drive.items.values()]
            items.sort(key=lambda o: (o["path"], int(o["id"])))
            return _ok(items=items, latestRevision=str(drive.latest_revision))

    def file(self, req, body):
        account = self._account(req.params.get("session"))
        drive = account.drive
        with self.store.lock:
            if req.params.get("id") is not None:
                if not req.params["id"].isdigit():
                    raise ControlError("id must be decimal digits")
                item = drive.items.get(int(req.params["id"]))
                if item is None:
                    raise ControlError("no item %s" % req.params["id"])
            else:
                item = self._item(drive, req.params.get("path"))
            obj = self._detailed(drive, item)
            obj["sha256"] = item.sha256
            return _ok(**obj)

    def _log_of(self, req):
        if req.params.get("session") is not None:
            return self._account(req.params["session"]).log, None
        host = req.params.get("host")
        return self.store.anonymous_log, host.lower() if host else None

    def get_log(self, req, body):
        since = req.params.get("since", "0")
        if not since.isdigit():
            raise ControlError("since must be decimal digits")
        with self.store.lock:
            log, host = self._log_of(req)
            entries = [e for e in log
                       if e["seq"] > int(since) and (host is None or e["host"] == host)]
            return _ok(entries=entries)

    def clear_log(self, req, body):
        with self.store.lock:
            log, host = self._log_of(req)
            log[:] = [e for e in log if host is not None and e["host"] != host]
        return _ok()

    def _faults_of(self, session, host):
        if session is not None:
            return self._account(session).faults
        if not host:
            raise ControlError("give a session or a host")
        return self.store.faults_for(None, host.lower(), create=True)

    def add_fault(self, req, body):
        fault = faults.Fault(body)
        with self.store.lock:
            self._faults_of(body.get("session"), body.get("host")).append(fault)
        return _ok()

    def list_faults(self, req, body):
        with self.store.lock:
            found = self._faults_of(req.params.get("session"), req.params.get("host"))
            return _ok(faults=[f.public() for f in found])

    def clear_faults(self, req, body):
        with self.store.lock:
            self._faults_of(req.params.get("session"), req.params.get("host")).clear()
        return _ok()

    def config(self, req, body):
        account = self._account(body.get("session"))
        with self.store.lock:
            if "partSize" in body:
                size = _count(body, "partSize")
                if size < 1:
                    raise ControlError("partSize must be at least 1")
                account.part_size = size
            if "caseSensitiveNames" in body:
                if not isinstance(body["caseSensitiveNames"], bool):
                    raise ControlError("caseSensitiveNames must be true or false")
                account.drive.case_sensitive_names = body["caseSensitiveNames"]
            return _ok(partSize=account.part_size, caseSensitiveNames=account.drive.case_sensitive_names)

    # --- the update host -------------------------------------------------

    def update_manifest(self, req, body):
        text = body.get("body")
        if not isinstance(text, str):
            raise ControlError("body must be the manifest text")
        pad_to = _count(body, "padTo") if "padTo" in body else 0
        self.store.release.set_manifest(text, pad_to)
        return _ok()

    def update_file(self, req, body):
        data = None
        if body.get("content") is not None:
            if not isinstance(body["content"], str):
                raise ControlError("content must be base64 text")
            try:
                data = base64.b64decode(body["content"], validate=True)
            except binascii.Error as exc:
                raise ControlError("content is not base64: %s" % exc) from None
        path = body.get("path")
        if path is not None and not isinstance(path, str):
            raise ControlError("path must be a text")
        self.store.release.add_file(body.get("name"), path=path, data=data)
        return _ok()

    def update_clear(self, req, body):
        self.store.release.clear()
        return _ok()
