"""The drive API and the member API, routed by the Host header."""

import re
from urllib.parse import unquote

import blobs
from protocol import (ApiError, BAD_REQUEST, NOT_FOUND, SESSION_INVALID, Response, content,
                      contents, success)
from tree import parse_id
from web import WebPages

DEFAULT_CHANGES_PAGE = 1024
_DIGITS = re.compile(r"[0-9]+")


class Call:
    """One authenticated drive API call."""

    def __init__(self, store, account, req, parts_override):
        self.store = store
        self.account = account
        self.drive = account.drive
        self.req = req
        self.parts_override = parts_override


# --- small readers of request input ---------------------------------------

def _param(req, key, default=None):
    value = req.params.get(key)
    if value is None:
        if default is None:
            raise ApiError(BAD_REQUEST, "query key %s missing" % key)
        return default
    return value


def _int_param(req, key, default=None):
    value = _param(req, key, None if default is None else str(default))
    if not _DIGITS.fullmatch(value):
        raise ApiError(BAD_REQUEST, "query key %s must be a decimal number" % key)
    return int(value)


def _field(body, key, kind):
    value = body.get(key)
    if kind is int:
        ok = isinstance(value, int) and not isinstance(value, bool) and value >= 0
    else:
        ok = isinstance(value, kind)
    if not ok:
        raise ApiError(BAD_REQUEST, "field %s missing or of the wrong type" % key)
    return value


def _digits_field(body, key):
    value = _field(body, key, str)
    if not _DIGITS.fullmatch(value):
        raise ApiError(BAD_REQUEST, "field %s must be a text of decimal digits" % key)
    return int(value)


def _filename(req):
    raw = req.header("Filename")
    if raw is None:
        raise ApiError(BAD_REQUEST, "Filename header missing")
    try:
        return unquote(raw, errors="strict")
    except UnicodeDecodeError:
        raise ApiError(BAD_REQUEST, "Filename header is not escaped UTF-8") from None


def authenticate(store, req):
    account = store.account(req.header("SESSION"))
    if account is None:
        raise ApiError(SESSION_INVALID, "session missing or unknown", 401)
    domain = req.header("Brelio-Tenant-Domain")
    if domain is None or domain.lower() != account.tenant_domain:
        raise ApiError(SESSION_INVALID, "tenant domain does not match the session", 401)
    return account


# --- drive API ------------------------------------------------------------

def get_drives(call):
    with call.store.lock:
        return Response.json(contents([call.drive.drive_object(call.account.tenant.id)]))


def list_files(call):
    parent = parse_id(_param(call.req, "parentId"), allow_root=True)
    kind = call.req.params.get("type")
    if kind not in (None, "folder", "file"):
        raise ApiError(BAD_REQUEST, "type must be folder or file")
    with call.store.lock:
        call.drive.folder_id(parent)
        items = sorted(call.drive.live_children(parent), key=lambda i: i.id)
        return Response.json(contents(call.drive.file_object(i) for i in items
                                       if kind is None or i.type == kind))


def get_file(call, id_text):
    item_id = parse_id(id_text)
    media = _param(call.req, "media")
    with call.store.lock:
        if media == "meta":
            return Response.json(content(call.drive.change_object(
                call.drive.item(item_id, allow_trashed=True))))
        if media != "raw":
            raise ApiError(BAD_REQUEST, "media must be meta or raw")
        item = call.drive.items.get(item_id)
        if item is None or item.trashed or item.is_folder:
            raise ApiError(NOT_FOUND, "no file content for item %d" % item_id, 404)
        # Opened under the lock: a later update replaces the blob file, and
        # the open handle keeps reading the content this answer announced.
        return Response.stream(open(item.blob_path, "rb"), item.size)


def upload_new(call):
    parent = parse_id(_param(call.req, "parentId"), allow_root=True)
    name = _filename(call.req)
    blob = call.req.body.to_blob()
    try:
        with call.store.lock:
            item = call.drive.create_file(parent, name, blob)
            return Response.json(content(call.drive.file_object(item)))
    finally:
        blob.discard()


def update_file(call, id_text):
    item_id = parse_id(id_text)
    expected = _int_param(call.req, "latestRevision")
    # The name stays as it is: a content update never renames.
    blob = call.req.body.to_blob()
    try:
        with call.store.lock:
            item = call.drive.update_file(item_id, blob, expected)
            return Response.json(content(call.drive.file_object(item)))
    finally:
        blob.discard()


def create_folder(call, parent_text):
    parent = parse_id(parent_text, allow_root=True)
    name = _field(call.req.json_body(), "name", str)
    with call.store.lock:
        item = call.drive.create_folder(parent, name)
        return Response.json(content(call.drive.file_object(item)))


def rename(call, id_text):
    item_id = parse_id(id_text)
    name = _field(call.req.json_body(), "name", str)
    with call.store.lock:
        item = call.drive.rename(item_id, name)
        return Response.json(content(call.drive.file_object(item)))


def trash(call, id_text):
    item_id = parse_id(id_text)
    with call.store.lock:
        call.drive.trash(item_id)
    return Response.json(success(None))


def changes(call):
    revision = _int_param(call.req, "latestRevision")
    file_id = _int_param(call.req, "fileId", 0)
    size = _int_param(call.req, "size", DEFAULT_CHANGES_PAGE)
    if size < 1:
        raise ApiError(BAD_REQUEST, "size must be at least 1")
    with call.store.lock:
        items = call.drive.changes(revision, file_id, size)
        return Response.json(contents(call.drive.change_object(i) for i in items))


def cut_parts(size, part_size):
    return [{"number": n + 1, "offset": offset, "length": min(part_size, size - offset)}
            for n, offset in enumerate(range(0, size, part_size))]


def create_session(call, kind):
    body = call.req.json_body()
    name = _field(body, "name", str)
    _field(body, "mimeType", str)
    size = _field(body, "size", int)
    fields = {"name": name, "size": size}
    with call.store.lock:
        if kind == "upload":
            fields["parent_id"] = parse_id(_field(body, "parentId", str), allow_root=True)
            call.drive.check_create(fields["parent_id"], name)
        else:
            fields["file_id"] = parse_id(_field(body, "fileId", str))
            fields["latest_revision"] = _digits_field(body, "latestRevision")
            call.drive.check_update(fields["file_id"], fields["latest_revision"])
        parts = call.parts_override
        if parts is None:
            parts = cut_parts(size, call.account.part_size)
        session = call.store.new_upload_session(call.account, kind, parts=parts, **fields)
        return Response.json(content({"id": session.id, "parts": session.part_list}))


def _upload_session(call, kind, sid):
    session = call.account.upload_sessions.get(sid)
    if session is None or session.kind != kind:
        raise ApiError(SESSION_INVALID, "no such %s session: %s" % (kind, sid), 401)
    return session


def put_part(call, kind, sid, number_text):
    with call.store.lock:
        session = _upload_session(call, kind, sid)
        part = session.parts.get(int(number_text)) if _DIGITS.fullmatch(number_text) else None
        if part is None:
            raise ApiError(BAD_REQUEST, "no part %s in session %s" % (number_text, sid))
    if call.req.body.length != part["length"]:
        raise ApiError(BAD_REQUEST, "part %d must be %d bytes, got %d"
                       % (part["number"], part["length"], call.req.body.length))
    blob = call.req.body.to_blob()
    with call.store.lock:
        try:
            session = _upload_session(call, kind, sid)
        except ApiError:
            blob.discard()   # finished or dropped while this part arrived
            raise
        old = session.received.get(part["number"])
        session.received[part["number"]] = blob
    if old is not None:
        old.discard()
    return Response.json(success(None))


def finish(call, kind, sid):
    with call.store.lock:
        session = _upload_session(call, kind, sid)
        missing = sorted(set(session.parts) - set(session.received))
        if missing:
            raise ApiError(BAD_REQUEST, "parts not uploaded yet: %s"
                           % ", ".join(str(n) for n in missing))
        if kind == "upload":
            call.drive.check_create(session.parent_id, session.name)
        else:
            call.drive.check_update(session.file_id, session.latest_revision)
        del call.account.upload_sessions[sid]
    # Joining parts can take seconds for large files; other calls go on.
    try:
        pieces = [(session.parts[n]["offset"], blob) for n, blob in session.received.items()]
        blob = blobs.assemble(call.store.spool_dir, pieces)
    finally:
        session.discard()
    try:
        with call.store.lock:
            if kind == "upload":
                item = call.drive.create_file(session.parent_id, session.name, blob)
            else:
                item = call.drive.update_file(session.file_id, blob, session.latest_revision)
            return Response.json(content(call.drive.file_object(item)))
    finally:
        blob.discard()


DRIVE_ROUTES = [(method, re.compile(pattern), func) for method, pattern, func in [
    ("GET", r"/drives", get_drives),
    ("GET", r"/files", list_files),
    ("POST", r"/files", upload_new),
    ("GET", r"/files/([^/]+)", get_file),
    ("PUT", r"/files/([^/]+)", rename),
    ("POST", r"/files/([^/]+)/update", update_file),
    ("POST", r"/files/([^/]+)/create-folder", create_folder),
    ("POST", r"/files/([^/]+)/trash", trash),
    ("GET", r"/changes", changes),
    ("POST", r"/(upload|update)-sessions", create_session),
    ("PUT", r"/(upload|update)-sessions/([^/]+)/parts/([^/]+)", put_part),
    ("POST", r"/(upload|update)-sessions/([^/]+)/finish", finish),
]]

_SESSION_CREATION = re.compile(r"/(upload|update)-sessions")


class Api:
    """Answers every request that is not for the control interface."""

    def __init__(self, store, drive_host, update_host="update.localhost",
                 foreign_release_host="127.0.0.1"):
        self.store = store
        self.drive_host = drive_host.lower()
        self.update_host = update_host.lower()
        self.foreign_release_host = foreign_release_host.lower()
        self.domain = store.domain.lower()
        self.web = WebPages(store)

    def creates_session(self, req):
        return (req.host == self.drive_host and req.method == "POST"
                and _SESSION_CREATION.fullmatch(req.path) is not None)

    def handle(self, req, parts_override=None):
        if req.host == self.drive_host:
            return self._drive(req, parts_override)
        if req.host in (self.update_host, self.foreign_release_host):
            return self.store.release.handle(req)
        if req.host == self.domain:
            return self._member(req)
        if req.host.endswith("." + self.domain):
            return self._tenant_site(req, req.host[:-len(self.domain) - 1])
        raise ApiError(BAD_REQUEST, "unknown host: %s" % req.host, 404)

    def _drive(self, req, parts_override):
        for method, pattern, func in DRIVE_ROUTES:
            match = pattern.fullmatch(req.path)
            if match and method == req.method:
                account = authenticate(self.store, req)
                return func(Call(self.store, account, req, parts_override), *match.groups())
        raise ApiError(BAD_REQUEST, "no such API: %s %s" % (req.method, req.path), 404)

    def _member(self, req):
        match = re.fullmatch(r"/v2/mapi/tenants/([^/]+)", req.path)
        if req.method == "GET" and match:
            with self.store.lock:
                tenant = self.store.tenant_by_domain(unquote(match.group(1)))
                result = None
                if tenant is not None:
                    result = {"name": tenant.display_name, "tenantId": tenant.id}
            return Response.json(success(result))
        raise ApiError(BAD_REQUEST, "no such API: %s %s" % (req.method, req.path), 404)

    def _tenant_site(self, req, tenant_name):
        if req.method == "GET" and req.path == "/v2/mapi/members/me":
            account = authenticate(self.store, req)
            if account.tenant.name != tenant_name:
                raise ApiError(SESSION_INVALID, "session belongs to another tenant", 401)
            return Response.json(content({"name": account.name, "userCode": account.user_code}))
        web_page = self.web.handle(req, tenant_name)
        if web_page is not None:
            return web_page
        raise ApiError(BAD_REQUEST, "no such page: %s %s" % (req.method, req.path), 404)
