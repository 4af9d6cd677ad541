"""Tests of the stand-in service: a real server on loopback, real HTTP."""

import base64
import hashlib
import http.client
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import blobs
import fixture
import standin

DRIVE = "drive-api.localhost"
UPDATE = "update.localhost"
DOMAIN = "localhost"

BAD_REQUEST = -15100000
NOT_FOUND = -15100200
NAME_EXISTS = -15100202
REVISION_CONFLICT = -15300200
SESSION_INVALID = -15400201

HERE = os.path.dirname(os.path.abspath(__file__))
server = None
port = None
data_dir = None


def setUpModule():
    global server, port, data_dir
    data_dir = tempfile.mkdtemp(prefix="standin-test-")
    server = standin.build_server(data_dir, port=0, quiet=True)
    port = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()


def tearDownModule():
    server.shutdown()
    server.server_close()
    shutil.rmtree(data_dir, ignore_errors=True)


def sha(data):
    return hashlib.sha256(data).hexdigest()


def raw_request(method, path, body=None, headers=None, host=DRIVE, conn=None):
    """One HTTP exchange; returns (status, headers, body bytes)."""
    own = conn is None
    conn = conn or http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    try:
        conn.putrequest(method, path, skip_host=True)
        conn.putheader("Host", "%s:%d" % (host, port))
        for name, value in (headers or {}).items():
            conn.putheader(name, value)
        if body is not None or method in ("POST", "PUT"):
            conn.putheader("Content-Length", str(len(body or b"")))
        conn.endheaders(body)
        resp = conn.getresponse()
        return resp.status, resp.headers, resp.read()
    finally:
        if own:
            conn.close()


def control(method, path, body=None):
    data = None if body is None else json.dumps(body).encode()
    status, _, out = raw_request(method, "/_control/" + path, data, host="127.0.0.1")
    return status, json.loads(out)


def settled_entries(path, timeout=30):
    """The log at `path` once no answer in it is still going out: the
    server marks an answer sent only after its last byte left, which may be
    a moment after the client has read it."""
    deadline = time.monotonic() + timeout
    entries = ok_control("GET", path)["entries"]
    while any(e["answering"] for e in entries) and time.monotonic() < deadline:
        time.sleep(0.02)
        entries = ok_control("GET", path)["entries"]
    return entries


def ok_control(method, path, body=None):
    status, out = control(method, path, body)
    assert status == 200 and out["ok"], out
    return out


class Account:
    """A fresh account with its own drive, and a client speaking for it."""

    counter = 0

    def __init__(self, tenant="acme"):
        Account.counter += 1
        self.tenant = tenant
        self.user_code = "user%d@%s" % (Account.counter, tenant)
        out = ok_control("POST", "accounts", {"tenant": tenant, "userCode": self.user_code,
                                              "name": "User %d" % Account.counter})
        self.session = out["session"]
        self.drive_id = out["driveId"]

    @property
    def auth(self):
        return {"SESSION": self.session, "Brelio-Tenant-Domain": "%s.%s" % (self.tenant, DOMAIN)}

    def call(self, method, path, body=None, headers=None, host=DRIVE, conn=None):
        """Returns (HTTP status, parsed envelope)."""
        if isinstance(body, (dict, list)):
            body = json.dumps(body).encode()
        all_headers = dict(self.auth)
        all_headers.update(headers or {})
        status, _, out = raw_request(method, path, body, all_headers, host, conn)
        return status, json.loads(out)

    def ok(self, method, path, body=None, headers=None, host=DRIVE):
        status, env = self.call(method, path, body, headers, host)
        assert status == 200 and env["header"]["isSuccessful"], env
        return env["result"]

    def error(self, method, path, body=None, headers=None, http_status=200):
        status, env = self.call(method, path, body, headers)
        assert status == http_status, (status, env)
        assert env["header"]["isSuccessful"] is False, env
        return env["header"]["resultCode"]

    def upload(self, parent, name, data):
        return self.ok("POST", "/files?parentId=%s" % parent, data,
                       {"Filename": name, "Content-Type": "application/octet-stream"})["content"]

    def mkdir(self, parent, name):
        return self.ok("POST", "/files/%s/create-folder" % parent, {"name": name})["content"]

    def seed(self, items):
        return ok_control("POST", "seed", {"session": self.session, "items": items})["items"]

    def changes(self, revision, file_id, size):
        return self.ok("GET", "/changes?latestRevision=%s&fileId=%s&size=%d"
                       % (revision, file_id, size))["contents"]

    def latest_revision(self):
        return int(self.ok("GET", "/drives")["contents"][0]["latestRevision"])

    def add_fault(self, **fault):
        ok_control("POST", "faults", dict(fault, session=self.session))

    def log(self):
        return settled_entries("log?session=" + self.session)


class EnvelopeTest(unittest.TestCase):
    def test_answers_carry_envelope_and_ids_as_decimal_text(self):
        acct = Account()
        folder = acct.mkdir("root", "Docs")
        data = b"hello world"
        item = acct.upload(folder["id"], "a.txt", data)
        drives = acct.ok("GET", "/drives")["contents"]
        meta = acct.ok("GET", "/files/%s?media=meta" % item["id"])["content"]
        listed = acct.ok("GET", "/files?parentId=%s" % folder["id"])["contents"]

        self.assertEqual(drives, [{"id": acct.drive_id, "tenantId": drives[0]["tenantId"],
                                   "projectId": None, "name": drives[0]["name"],
                                   "type": "private", "latestRevision": item["revision"]}])
        self.assertRegex(drives[0]["tenantId"], r"^[0-9]+$")
        self.assertEqual(folder["path"], "/Docs")
        self.assertNotIn("hash", folder)
        self.assertEqual(item, {"id": item["id"], "name": "a.txt", "path": "/Docs/a.txt",
                                "revision": item["revision"], "type": "file", "version": 1,
                                "hash": sha(data)})
        self.assertEqual(meta, {"changeType": "updated", "revision": item["revision"],
                                "file": item})
        self.assertEqual(listed, [item])
        for obj in (folder, item, meta, meta["file"]):
            for key in ("id", "revision"):
                if key in obj:
                    self.assertRegex(obj[key], r"^[0-9]+$")

    def test_keep_alive_connection_serves_several_requests(self):
        acct = Account()
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        try:
            for _ in range(3):
                status, env = acct.call("GET", "/drives", conn=conn)
                self.assertEqual((status, env["header"]["resultCode"]), (200, 0))
        finally:
            conn.close()

    def test_raw_download_streams_content_and_refuses_folders(self):
        acct = Account()
        folder = acct.mkdir("root", "F")
        item = acct.upload("root", "b.bin", bytes(range(256)) * 10)
        status, headers, body = raw_request("GET", "/files/%s?media=raw" % item["id"],
                                            headers=acct.auth)
        self.assertEqual((status, body), (200, bytes(range(256)) * 10))
        self.assertEqual(headers["Content-Type"], "application/octet-stream")
        self.assertEqual(headers["Content-Length"], "2560")
        for target in (folder["id"], "999999"):
            self.assertEqual(acct.error("GET", "/files/%s?media=raw" % target, http_status=404),
                             NOT_FOUND)

    def test_bodies_larger_than_memory_spool_arrive_whole(self):
        acct = Account()
        data = os.urandom(3 * (1 << 20) + 5)
        item = acct.upload("root", "large.bin", data)
        updated = acct.ok("POST", "/files/%s/update?latestRevision=%s"
                          % (item["id"], item["revision"]), data[::-1],
                          {"Filename": "large.bin"})["content"]
        status, _, body = raw_request("GET", "/files/%s?media=raw" % item["id"],
                                      headers=acct.auth)
        self.assertEqual((item["hash"], updated["hash"]), (sha(data), sha(data[::-1])))
        self.assertEqual(body, data[::-1])

    def test_filename_header_is_unescaped_utf8(self):
        acct = Account()
        item = acct.upload("root", "a%20b%25%c3%a9.txt", b"x")
        self.assertEqual(item["name"], "a b%\u00e9.txt")

    def test_member_record_on_tenant_host(self):
        acct = Account(tenant="member-co")
        result = acct.ok("GET", "/v2/mapi/members/me", host="member-co." + DOMAIN)
        self.assertEqual(result["content"]["userCode"], acct.user_code)
        self.assertEqual(acct.call("GET", "/v2/mapi/members/me", host="other." + DOMAIN)[0], 401)


class TenantLookupTest(unittest.TestCase):
    def test_known_and_unknown_tenants(self):
        acct = Account(tenant="lookup-co")
        tenant_id = ok_control("POST", "accounts", {"tenant": "lookup-co", "userCode": "x",
                                                    "name": "X"})["tenantId"]
        cases = [("lookup-co.localhost", {"name": "lookup-co", "tenantId": tenant_id}),
                 ("LOOKUP-CO.localhost", {"name": "lookup-co", "tenantId": tenant_id}),
                 ("nobody.localhost", None),
                 ("lookup-co.elsewhere", None)]
        for domain, expected in cases:
            with self.subTest(domain=domain):
                status, _, out = raw_request("GET", "/v2/mapi/tenants/" + domain, host=DOMAIN)
                env = json.loads(out)
                self.assertEqual(status, 200)
                self.assertTrue(env["header"]["isSuccessful"])
                self.assertEqual(env["result"], expected)
        self.assertTrue(acct.session)


class NameClashTest(unittest.TestCase):
    def test_create_folder_clash_ignores_case(self):
        acct = Account()
        sub = acct.mkdir("root", "Parent")
        cases = [("root", "Docs", "Docs", NAME_EXISTS),
                 ("root", "Docs", "docs", NAME_EXISTS),
                 ("root", "Docs", "DOCS", NAME_EXISTS),
                 ("root", "Docs", "Docs2", 0),
                 (sub["id"], "Docs", "dOcS", NAME_EXISTS),
                 (sub["id"], "Ünï", "üNÏ", NAME_EXISTS)]
        for parent, first, second, code in cases:
            with self.subTest(parent=parent, first=first, second=second):
                if not any(i["name"] == first for i in
                           acct.ok("GET", "/files?parentId=%s" % parent)["contents"]):
                    acct.mkdir(parent, first)
                status, env = acct.call("POST", "/files/%s/create-folder" % parent,
                                        {"name": second})
                self.assertEqual((status, env["header"]["resultCode"]), (200, code))

    def test_new_file_and_rename_clash_ignores_case(self):
        acct = Account()
        a = acct.upload("root", "Report.txt", b"1")
        b = acct.upload("root", "other.txt", b"2")
        self.assertEqual(acct.error("POST", "/files?parentId=root", b"3",
                                    {"Filename": "REPORT.TXT"}), NAME_EXISTS)
        self.assertEqual(acct.error("PUT", "/files/%s" % b["id"], {"name": "report.TXT"}),
                         NAME_EXISTS)
        renamed = acct.ok("PUT", "/files/%s" % a["id"], {"name": "report.txt"})["content"]
        self.assertEqual((renamed["name"], renamed["path"]), ("report.txt", "/report.txt"))
        self.assertGreater(int(renamed["revision"]), int(b["revision"]))


    def test_an_account_set_to_case_sensitive_names_holds_names_that_differ_only_in_case(self):
        acct = Account()
        a = acct.upload("root", "Report.txt", b"1")
        out = ok_control("POST", "config", {"session": acct.session, "caseSensitiveNames": True})
        self.assertTrue(out["caseSensitiveNames"])
        b = acct.upload("root", "report.txt", b"2")
        self.assertNotEqual(a["id"], b["id"])
        self.assertEqual(acct.error("POST", "/files?parentId=root", b"3", {"Filename": "Report.txt"}),
                         NAME_EXISTS)
        upper = ok_control("POST", "remote", {"session": acct.session, "op": "upload",
                                              "path": "/REPORT.txt", "content": ""})["item"]
        self.assertEqual(upper["path"], "/REPORT.txt")
        names = sorted(i["name"] for i in acct.ok("GET", "/files?parentId=root")["contents"])
        self.assertEqual(names, ["REPORT.txt", "Report.txt", "report.txt"])
        status, out = control("POST", "config", {"session": acct.session, "caseSensitiveNames": "yes"})
        self.assertEqual((status, out["ok"]), (400, False))

class ChangesTest(unittest.TestCase):
    def setUp(self):
        self.acct = Account()
        # One seed call is one revision, so these four share it.
        seeded = self.acct.seed([{"path": "/s1.txt"}, {"path": "/s2.txt"},
                                 {"path": "/s3.txt"}, {"path": "/s4.txt"}])
        self.seed_rev = int(seeded[0]["revision"])
        self.seed_ids = sorted(int(i["id"]) for i in seeded)
        self.later = self.acct.upload("root", "later.txt", b"x")

    def keys(self, entries):
        return [(int(e["revision"]), int(e["file"]["id"])) for e in entries]

    def test_paging_rules(self):
        r, ids = self.seed_rev, self.seed_ids
        later = (int(self.later["revision"]), int(self.later["id"]))
        seeded = [(r, i) for i in ids]
        cases = [  # (latestRevision, fileId, size, expected (revision, id) list)
            (0, 0, 100, seeded + [later]),
            (r - 1, 0, 100, seeded + [later]),
            (r, 0, 100, [later]),                     # fileId 0: past the whole revision
            (r, ids[1], 100, seeded[2:] + [later]),   # tie-break on id inside revision r
            (r, ids[3], 100, [later]),
            (r, ids[0] - 1, 100, seeded + [later]),
            (0, 0, 2, seeded[:2]),                    # size limit
            (r, ids[1], 1, seeded[2:3]),
            (later[0], 0, 100, []),
        ]
        for revision, file_id, size, expected in cases:
            with self.subTest(revision=revision, file_id=file_id, size=size):
                self.assertEqual(self.keys(self.acct.changes(revision, file_id, size)), expected)

    def test_one_entry_per_item_with_its_latest_state(self):
        item = self.later
        for n in range(3):
            item = self.acct.ok("POST", "/files/%s/update?latestRevision=%s"
                                % (item["id"], item["revision"]), b"v%d" % n,
                                {"Filename": "later.txt"})["content"]
        entries = self.acct.changes(0, 0, 100)
        mine = [e for e in entries if e["file"]["id"] == item["id"]]
        self.assertEqual(len(entries), 5)
        self.assertEqual(len(mine), 1)
        self.assertEqual((mine[0]["revision"], mine[0]["file"]["version"]), (item["revision"], 4))

    def test_paging_from_the_tail_visits_every_item_once(self):
        seen = []
        revision, file_id = 0, 0
        while True:
            page = self.acct.changes(revision, file_id, 2)
            if not page:
                break
            seen += page
            revision, file_id = page[-1]["file"]["revision"], page[-1]["file"]["id"]
        self.assertEqual(sorted(int(e["file"]["id"]) for e in seen),
                         sorted(self.seed_ids + [int(self.later["id"])]))


class TrashTest(unittest.TestCase):
    def test_trashing_a_folder_deletes_its_subtree(self):
        acct = Account()
        items = {i["path"]: i for i in acct.seed([
            {"path": "/a/b/c.txt"}, {"path": "/a/d.txt"}, {"path": "/e.txt"}])}
        before = acct.latest_revision()
        a = acct.ok("GET", "/files?parentId=root&type=folder")["contents"][0]
        self.assertEqual(a["path"], "/a")
        self.assertIsNone(acct.ok("POST", "/files/%s/trash" % a["id"]))

        changes = acct.changes(before, 0, 100)
        self.assertEqual(sorted(c["file"]["path"] for c in changes),
                         ["/a", "/a/b", "/a/b/c.txt", "/a/d.txt"])
        self.assertTrue(all(c["changeType"] == "deleted" for c in changes))
        revisions = [int(c["revision"]) for c in changes]
        self.assertEqual(len(set(revisions)), 4)
        self.assertTrue(all(rev > before for rev in revisions))
        self.assertEqual(acct.latest_revision(), max(revisions))

        listed = acct.ok("GET", "/files?parentId=root")["contents"]
        self.assertEqual([i["path"] for i in listed], ["/e.txt"])
        c = items["/a/b/c.txt"]
        meta = acct.ok("GET", "/files/%s?media=meta" % c["id"])["content"]
        self.assertEqual(meta["changeType"], "deleted")
        self.assertEqual(acct.error("POST", "/files/%s/trash" % c["id"]), NOT_FOUND)
        self.assertEqual(acct.error("GET", "/files?parentId=%s" % a["id"]), NOT_FOUND)


class UpdateTest(unittest.TestCase):
    def test_stale_revision_is_refused(self):
        acct = Account()
        first = acct.upload("root", "f.txt", b"one")
        second = acct.ok("POST", "/files/%s/update?latestRevision=%s"
                         % (first["id"], first["revision"]), b"two",
                         {"Filename": "f.txt"})["content"]
        self.assertEqual((second["version"], second["hash"]), (2, sha(b"two")))
        self.assertGreater(int(second["revision"]), int(first["revision"]))

        stale = "/files/%s/update?latestRevision=%s" % (first["id"], first["revision"])
        self.assertEqual(acct.error("POST", stale, b"three", {"Filename": "f.txt"}),
                         REVISION_CONFLICT)
        session = {"name": "f.txt", "fileId": first["id"], "mimeType": "text/plain",
                   "latestRevision": first["revision"], "size": 5}
        self.assertEqual(acct.error("POST", "/update-sessions", session), REVISION_CONFLICT)
        status, _, body = raw_request("GET", "/files/%s?media=raw" % first["id"],
                                      headers=acct.auth)
        self.assertEqual(body, b"two")


class UploadSessionTest(unittest.TestCase):
    def upload_parts(self, acct, kind, sid, parts, data, order=None):
        for part in order or parts:
            chunk = data[part["offset"]:part["offset"] + part["length"]]
            acct.ok("PUT", "/%s-sessions/%s/parts/%d" % (kind, sid, part["number"]), chunk,
                    {"Content-Type": "application/octet-stream"})

    def test_new_file_in_several_parts(self):
        acct = Account()
        ok_control("POST", "config", {"session": acct.session, "partSize": 1000})
        data = os.urandom(2500)
        created = acct.ok("POST", "/upload-sessions", {"name": "big.bin", "parentId": "root",
                                                       "mimeType": "application/octet-stream",
                                                       "size": len(data)})["content"]
        self.assertEqual(created["parts"], [{"number": 1, "offset": 0, "length": 1000},
                                            {"number": 2, "offset": 1000, "length": 1000},
                                            {"number": 3, "offset": 2000, "length": 500}])
        sid = created["id"]
        parts = created["parts"]
        self.assertEqual(acct.error("POST", "/upload-sessions/%s/finish" % sid), BAD_REQUEST)
        self.assertEqual(acct.error("PUT", "/upload-sessions/%s/parts/1" % sid, b"short"),
                         BAD_REQUEST)
        self.upload_parts(acct, "upload", sid, parts, data, order=[parts[2], parts[0], parts[1]])
        item = acct.ok("POST", "/upload-sessions/%s/finish" % sid)["content"]
        self.assertEqual((item["name"], item["path"], item["hash"]),
                         ("big.bin", "/big.bin", sha(data)))
        stored = ok_control("GET", "file?session=%s&id=%s" % (acct.session, item["id"]))
        self.assertEqual((stored["size"], stored["sha256"]), (2500, sha(data)))
        # A finished session is gone.
        self.assertEqual(acct.error("POST", "/upload-sessions/%s/finish" % sid,
                                    http_status=401), SESSION_INVALID)

    def test_new_revision_in_parts(self):
        acct = Account()
        ok_control("POST", "config", {"session": acct.session, "partSize": 700})
        first = acct.upload("root", "doc.bin", b"old")
        data = os.urandom(1500)
        created = acct.ok("POST", "/update-sessions", {
            "name": "doc.bin", "fileId": first["id"], "mimeType": "application/octet-stream",
            "latestRevision": first["revision"], "size": len(data)})["content"]
        self.assertEqual([p["length"] for p in created["parts"]], [700, 700, 100])
        self.upload_parts(acct, "update", created["id"], created["parts"], data)
        item = acct.ok("POST", "/update-sessions/%s/finish" % created["id"])["content"]
        self.assertEqual((item["id"], item["version"], item["hash"]), (first["id"], 2, sha(data)))

    def test_empty_file_has_no_parts(self):
        acct = Account()
        created = acct.ok("POST", "/upload-sessions", {"name": "empty", "parentId": "root",
                                                       "mimeType": "x", "size": 0})["content"]
        self.assertEqual(created["parts"], [])
        item = acct.ok("POST", "/upload-sessions/%s/finish" % created["id"])["content"]
        self.assertEqual(item["hash"], sha(b""))

    def test_unknown_session_and_bad_bodies(self):
        acct = Account()
        self.assertEqual(acct.error("PUT", "/upload-sessions/nope/parts/1", b"x",
                                    http_status=401), SESSION_INVALID)
        bodies = [
            {"name": "a", "parentId": "root", "mimeType": "x"},                 # no size
            {"name": "a", "parentId": "root", "mimeType": "x", "size": "5"},    # size as text
            {"name": "a", "parentId": 0, "mimeType": "x", "size": 5},           # id as number
            {"name": "a", "fileId": "1", "mimeType": "x", "latestRevision": 3, "size": 5},
        ]
        for body in bodies:
            kind = "update" if "fileId" in body else "upload"
            with self.subTest(body=body):
                self.assertEqual(acct.error("POST", "/%s-sessions" % kind, body), BAD_REQUEST)


class SessionTest(unittest.TestCase):
    def test_missing_or_unknown_session_answers_401(self):
        acct = Account(tenant="auth-co")
        cases = [
            ("no session header", {"Brelio-Tenant-Domain": "auth-co.localhost"}),
            ("unknown session", {"SESSION": "0" * 32,
                                 "Brelio-Tenant-Domain": "auth-co.localhost"}),
            ("tenant domain of another tenant", {"SESSION": acct.session,
                                                 "Brelio-Tenant-Domain": "acme.localhost"}),
            ("no tenant domain", {"SESSION": acct.session}),
        ]
        for label, headers in cases:
            for method, path in [("GET", "/drives"), ("GET", "/changes?latestRevision=0"),
                                 ("POST", "/files/root/create-folder")]:
                with self.subTest(label, path=path):
                    status, _, body = raw_request(method, path, b'{"name": "x"}', headers)
                    env = json.loads(body)
                    self.assertEqual(status, 401)
                    self.assertEqual((env["header"]["isSuccessful"], env["header"]["resultCode"]),
                                     (False, SESSION_INVALID))

    def test_accounts_do_not_share_drives(self):
        one, two = Account(), Account()
        one.mkdir("root", "Mine")
        self.assertEqual(two.ok("GET", "/files?parentId=root")["contents"], [])
        self.assertNotEqual(one.drive_id, two.drive_id)

    def test_parallel_accounts_keep_their_own_state(self):
        accounts = [Account() for _ in range(6)]
        errors = []

        def work(acct):
            try:
                acct.add_fault(path="^/drives$", times=-1, status=500)
                for n in range(10):
                    acct.upload("root", "f%d.txt" % n, acct.session.encode() * (n + 1))
            except Exception as exc:   # reported below, on the test's thread
                errors.append(exc)

        threads = [threading.Thread(target=work, args=(a,)) for a in accounts]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        for acct in accounts:
            self.assertEqual(len(acct.log()), 10)
            changes = acct.changes(0, 0, 100)
            self.assertEqual([int(c["revision"]) for c in changes], list(range(1, 11)))
            self.assertEqual(changes[-1]["file"]["hash"], sha(acct.session.encode() * 10))
            self.assertEqual(raw_request("GET", "/drives", headers=acct.auth)[0], 500)


class FaultTest(unittest.TestCase):
    def test_status_and_envelope_faults_replace_the_answer(self):
        acct = Account()
        cases = [  # (fault, expected HTTP status, expected body check)
            ({"status": 500, "body": "boom"}, 500, lambda b: b == b"boom"),
            ({"status": 503}, 503, lambda b: True),
            ({"envelope": {"resultCode": NAME_EXISTS, "httpStatus": 200}}, 200,
             lambda b: json.loads(b)["header"] == {"isSuccessful": False,
                                                   "resultCode": NAME_EXISTS,
                                                   "resultMessage": "injected failure"}),
            ({"envelope": {"resultCode": -15400202, "httpStatus": 403}}, 403,
             lambda b: json.loads(b)["header"]["resultCode"] == -15400202),
        ]
        for fault, status, check in cases:
            with self.subTest(fault=fault):
                acct.add_fault(method="GET", path="^/drives$", **fault)
                got, _, body = raw_request("GET", "/drives", headers=acct.auth)
                self.assertEqual(got, status)
                self.assertTrue(check(body), body)
                # used up: the next request is answered normally
                self.assertEqual(raw_request("GET", "/drives", headers=acct.auth)[0], 200)

    def test_fault_matches_method_path_and_query_and_counts_times(self):
        acct = Account()
        acct.add_fault(method="GET", path=r"^/changes\?latestRevision=7&", times=2, status=500)
        acct.add_fault(method="POST", path="/drives", times=-1, status=502)
        statuses = [raw_request("GET", path, headers=acct.auth)[0] for path in
                    ["/changes?latestRevision=0&fileId=0&size=5",
                     "/changes?latestRevision=7&fileId=0&size=5",
                     "/drives",
                     "/changes?latestRevision=7&fileId=0&size=5",
                     "/changes?latestRevision=7&fileId=0&size=5"]]
        self.assertEqual(statuses, [200, 500, 200, 500, 200])
        remaining = ok_control("GET", "faults?session=" + acct.session)["faults"]
        self.assertEqual([(f["method"], f["times"]) for f in remaining], [("POST", -1)])
        ok_control("DELETE", "faults?session=" + acct.session)
        self.assertEqual(ok_control("GET", "faults?session=" + acct.session)["faults"], [])

    def test_delay_then_normal_answer(self):
        acct = Account()
        acct.add_fault(path="^/drives$", delayMs=50)
        status, env = acct.call("GET", "/drives")
        self.assertEqual((status, env["header"]["resultCode"]), (200, 0))
        self.assertEqual(acct.log()[-1]["fault"], {"action": "delayMs", "value": 50})

    def test_truncate_sends_full_length_but_short_body(self):
        acct = Account()
        item = acct.upload("root", "t.bin", b"0123456789" * 10)
        acct.add_fault(path="media=raw", truncate=7)
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        try:
            conn.request("GET", "/files/%s?media=raw" % item["id"],
                         headers=dict(acct.auth, Host=DRIVE))
            resp = conn.getresponse()
            self.assertEqual((resp.status, resp.headers["Content-Length"]), (200, "100"))
            with self.assertRaises(http.client.IncompleteRead) as caught:
                resp.read()
            self.assertEqual(caught.exception.partial, b"0123456")
        finally:
            conn.close()

    def test_close_drops_the_connection_without_answer(self):
        acct = Account()
        acct.add_fault(method="POST", path="/create-folder$", close=True)
        with self.assertRaises(http.client.RemoteDisconnected):
            acct.call("POST", "/files/root/create-folder", {"name": "x"})
        self.assertEqual(acct.log()[-1]["fault"], {"action": "close", "value": True})
        self.assertEqual(acct.log()[-1]["status"], None)
        # nothing was created: the fault came before the normal handling
        self.assertEqual(acct.ok("GET", "/files?parentId=root")["contents"], [])

    def test_parts_fault_replaces_the_part_list(self):
        acct = Account()
        parts = [{"number": 1, "offset": 0, "length": 3}, {"number": 2, "offset": 3, "length": 7}]
        acct.add_fault(path="^/upload-sessions$", parts=parts)
        created = acct.ok("POST", "/upload-sessions", {"name": "p.bin", "parentId": "root",
                                                       "mimeType": "x", "size": 10})["content"]
        self.assertEqual(created["parts"], parts)
        for part, chunk in zip(parts, [b"abc", b"defghij"]):
            acct.ok("PUT", "/upload-sessions/%s/parts/%d" % (created["id"], part["number"]), chunk)
        item = acct.ok("POST", "/upload-sessions/%s/finish" % created["id"])["content"]
        self.assertEqual(item["hash"], sha(b"abcdefghij"))

    def test_faults_by_host_hit_requests_without_session(self):
        ok_control("DELETE", "log?host=" + DOMAIN)
        ok_control("POST", "faults", {"host": DOMAIN, "path": "^/v2/mapi/tenants/",
                                      "status": 500})
        self.assertEqual(raw_request("GET", "/v2/mapi/tenants/x.localhost", host=DOMAIN)[0], 500)
        self.assertEqual(raw_request("GET", "/v2/mapi/tenants/x.localhost", host=DOMAIN)[0], 200)
        entries = ok_control("GET", "log?host=" + DOMAIN)["entries"]
        self.assertEqual([(e["status"], e["fault"] and e["fault"]["action"]) for e in entries],
                         [(500, "status"), (200, None)])

    def test_bad_fault_specs_are_refused(self):
        acct = Account()
        for spec in [{}, {"status": 500, "close": True}, {"path": "(", "status": 500},
                     {"times": 0, "status": 500}, {"parts": [{"number": "1"}]}]:
            with self.subTest(spec=spec):
                status, out = control("POST", "faults", dict(spec, session=acct.session))
                self.assertEqual((status, out["ok"]), (400, False))


class BadInputTest(unittest.TestCase):
    def test_malformed_bodies_and_queries_get_error_envelopes(self):
        acct = Account()
        cases = [
            ("POST", "/files/root/create-folder", b"{"),
            ("POST", "/files/root/create-folder", b"[]"),
            ("POST", "/files/root/create-folder", b"{}"),
            ("POST", "/files/root/create-folder", b'{"name": 5}'),
            ("POST", "/files/root/create-folder", b'{"name": ""}'),
            ("POST", "/files/root/create-folder", b'{ "name": "say "hi"" }'),
            ("POST", "/files/root/create-folder", b"\xff\xfe{}"),
            ("POST", "/upload-sessions", b"null"),
            ("PUT", "/files/abc", b'{"name": "x"}'),
            ("GET", "/changes?latestRevision=abc", None),
            ("GET", "/changes", None),
            ("GET", "/files?parentId=root&type=odd", None),
            ("GET", "/files/1?media=thumbnail", None),
            ("POST", "/files?parentId=root", b"no filename header"),
        ]
        for method, path, body in cases:
            with self.subTest(method=method, path=path, body=body):
                status, _, out = raw_request(method, path, body, acct.auth)
                env = json.loads(out)
                self.assertEqual(status, 200)
                self.assertEqual((env["header"]["isSuccessful"], env["header"]["resultCode"]),
                                 (False, BAD_REQUEST))
        self.assertEqual(acct.latest_revision(), 0)

    def test_unknown_paths_and_hosts_answer_404_envelopes(self):
        acct = Account()
        cases = [("GET", "/nothing", DRIVE), ("DELETE", "/files/1", DRIVE),
                 ("GET", "/drives", "unknown.example"), ("GET", "/login", "acme." + DOMAIN),
                 ("GET", "/v2/mapi/other", DOMAIN)]
        for method, path, host in cases:
            with self.subTest(method=method, path=path, host=host):
                status, _, out = raw_request(method, path, headers=acct.auth, host=host)
                self.assertEqual(status, 404)
                self.assertEqual(json.loads(out)["header"]["resultCode"], BAD_REQUEST)

    def test_broken_framing_and_control_input(self):
        with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
            sock.sendall(b"POST /files HTTP/1.1\r\nHost: %s\r\nContent-Length: x\r\n\r\n"
                         % DRIVE.encode())
            self.assertIn(b" 400 ", sock.recv(4096).split(b"\r\n")[0])
        for body in [b"{", b"[1]", b'{"tenant": 5}']:
            with self.subTest(body=body):
                status, _, out = raw_request("POST", "/_control/accounts", body, host="127.0.0.1")
                self.assertEqual((status, json.loads(out)["ok"]), (400, False))
        self.assertEqual(control("GET", "health"), (200, {"ok": True}))


class LogTest(unittest.TestCase):
    def test_requests_are_logged_per_session(self):
        acct = Account()
        acct.mkdir("root", "Logged")
        acct.upload("root", "bin.dat", b"\xff" * 10)
        entries = acct.log()
        self.assertEqual([(e["method"], e["path"], e["status"]) for e in entries],
                         [("POST", "/files/root/create-folder", 200),
                          ("POST", "/files", 200)])
        first, second = entries
        self.assertEqual(first["body"], '{"name": "Logged"}')
        self.assertEqual(first["headers"]["SESSION"], acct.session)
        self.assertEqual((second["query"], second["body"], second["bodyLength"],
                          second["bodySha256"]), ("parentId=root", None, 10, sha(b"\xff" * 10)))
        self.assertEqual(settled_entries("log?session=%s&since=%d" % (acct.session, first["seq"])),
                         [second])
        ok_control("DELETE", "log?session=" + acct.session)
        self.assertEqual(acct.log(), [])


class ControlTest(unittest.TestCase):
    def test_seed_generated_content(self):
        acct = Account()
        size = (1 << 20) + 300
        items = acct.seed([{"path": "/g/gen.bin", "size": size},
                           {"path": "/g/b64.txt", "content": base64.b64encode(b"hi").decode()},
                           {"path": "/g/empty", "type": "folder"}])
        expected = blobs.generated_bytes(0, size)
        self.assertEqual(expected[:3], bytes([13, 20, 27]))
        self.assertEqual([i["hash"] if i["type"] == "file" else None for i in items],
                         [sha(expected), sha(b"hi"), None])
        status, _, body = raw_request("GET", "/files/%s?media=raw" % items[0]["id"],
                                      headers=acct.auth)
        self.assertEqual(body, expected)

    def test_remote_changes_raise_revisions(self):
        acct = Account()
        acct.seed([{"path": "/top/sub/f.txt"}, {"path": "/dest", "type": "folder"}])
        start = acct.latest_revision()
        sub_before = ok_control("GET", "file?session=%s&path=/top/sub" % acct.session)
        steps = [
            ({"op": "upload", "path": "/top/sub/f.txt", "content": "YWJj"}, "/top/sub/f.txt"),
            ({"op": "mkdir", "path": "/new/deep"}, "/new/deep"),
            ({"op": "rename", "path": "/top", "newName": "Top2"}, "/Top2"),
            ({"op": "move", "path": "/Top2", "newParentPath": "/dest"}, "/dest/Top2"),
            ({"op": "trash", "path": "/new"}, "/new"),
        ]
        revisions = []
        for body, path in steps:
            with self.subTest(op=body["op"]):
                item = ok_control("POST", "remote", dict(body, session=acct.session))["item"]
                self.assertEqual(item["path"], path)
                revisions.append(int(item["revision"]))
        self.assertEqual(revisions, sorted(revisions))
        self.assertGreater(revisions[0], start)
        tree = {i["path"]: i for i in ok_control("GET", "tree?session=" + acct.session)["items"]}
        self.assertEqual(tree["/dest/Top2/sub/f.txt"]["version"], 2)
        self.assertEqual(tree["/dest/Top2/sub/f.txt"]["hash"], sha(b"abc"))
        # descendants follow a move without a revision of their own
        self.assertEqual(tree["/dest/Top2/sub"]["revision"], sub_before["revision"])
        self.assertTrue(tree["/new/deep"]["trashed"])
        status, out = control("POST", "remote", {"session": acct.session, "op": "trash",
                                                 "path": "/missing"})
        self.assertEqual((status, out["ok"]), (400, False))


class ReleaseTest(unittest.TestCase):
    """The update host: one manifest and the cabinets it links to."""

    def setUp(self):
        ok_control("DELETE", "update")
        ok_control("DELETE", "log?host=" + UPDATE)
        ok_control("DELETE", "faults?host=" + UPDATE)
        self.addCleanup(ok_control, "DELETE", "update")

    def get(self, path):
        status, headers, body = raw_request("GET", path, host=UPDATE)
        return status, body

    def test_manifest_is_served_as_set_and_404_without_one(self):
        self.assertEqual(self.get("/release/drive/win")[0], 404)
        text = '{"version": "2.0.0.2", "link-x64": "http://update.localhost/x.cab", "force": 1}'
        ok_control("POST", "update/manifest", {"body": text})
        self.assertEqual(self.get("/release/drive/win"), (200, text.encode()))
        ok_control("DELETE", "update")
        self.assertEqual(self.get("/release/drive/win")[0], 404)

    def test_files_from_content_or_from_a_path(self):
        ok_control("POST", "update/file", {"name": "a.cab",
                                           "content": base64.b64encode(b"MSCF a").decode()})
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(b"MSCF from disk")
        self.addCleanup(os.remove, f.name)
        ok_control("POST", "update/file", {"name": "b.cab", "path": f.name})
        self.assertEqual(self.get("/release/drive/files/a.cab"), (200, b"MSCF a"))
        self.assertEqual(self.get("/release/drive/files/b.cab"), (200, b"MSCF from disk"))
        self.assertEqual(self.get("/release/drive/files/c.cab")[0], 404)
        self.assertEqual(self.get("/release/drive/files/")[0], 404)
        self.assertEqual(raw_request("POST", "/release/drive/files/a.cab", b"", host=UPDATE)[0], 404)
        # Only this host serves releases.
        self.assertEqual(raw_request("GET", "/release/drive/files/a.cab", host=DRIVE)[0], 404)

    def test_bad_file_specs_are_refused(self):
        for spec in [{"name": "../x", "content": ""}, {"name": "a/b", "content": ""},
                     {"name": "x.cab"}, {"name": "x.cab", "content": "", "path": "/etc/hostname"},
                     {"name": "x.cab", "path": "/no/such/file"}, {"name": "x.cab", "content": "%%"}]:
            with self.subTest(spec=spec):
                status, out = control("POST", "update/file", spec)
                self.assertEqual((status, out["ok"]), (400, False))

    def test_a_padded_manifest_is_the_same_json_only_longer(self):
        ok_control("POST", "update/manifest", {"body": '{"version": "2.0.0.2"}', "padTo": 4096})
        status, body = self.get("/release/drive/win")
        self.assertEqual((status, len(body)), (200, 4096))
        self.assertEqual(json.loads(body), {"version": "2.0.0.2"})
        status, out = control("POST", "update/manifest", {"body": "{}", "padTo": -1})
        self.assertEqual((status, out["ok"]), (400, False))

    def test_a_foreign_host_serves_the_same_release(self):
        ok_control("POST", "update/manifest", {"body": "{}"})
        ok_control("POST", "update/file", {"name": "a.cab",
                                           "content": base64.b64encode(b"MSCF a").decode()})
        for host in ("127.0.0.1", UPDATE):
            with self.subTest(host=host):
                self.assertEqual(raw_request("GET", "/release/drive/win", host=host)[2], b"{}")
                self.assertEqual(raw_request("GET", "/release/drive/files/a.cab", host=host)[2],
                                 b"MSCF a")

    def test_redirect_trickle_and_unframed_faults(self):
        text = '{"version": "2.0.0.2"}'
        ok_control("POST", "update/manifest", {"body": text})
        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win$",
                                      "redirect": "/release/drive/files/m.json"})
        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win$",
                                      "redirect": "http://127.0.0.1/x", "redirectStatus": 307})
        status, headers, _ = raw_request("GET", "/release/drive/win", host=UPDATE)
        self.assertEqual((status, headers["Location"]), (302, "/release/drive/files/m.json"))
        status, headers, _ = raw_request("GET", "/release/drive/win", host=UPDATE)
        self.assertEqual((status, headers["Location"]), (307, "http://127.0.0.1/x"))

        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win$",
                                      "trickleMs": 20})
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        try:
            conn.request("GET", "/release/drive/win", headers={"Host": UPDATE})
            resp = conn.getresponse()
            self.assertEqual(resp.headers["Content-Length"], str(len(text)))
            pieces = []
            while True:
                piece = resp.read1(64)
                if not piece:
                    break
                pieces.append(piece)
            self.assertEqual(b"".join(pieces), text.encode())
            self.assertGreater(len(pieces), 1, "the body came in pieces")
        finally:
            conn.close()

        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win$",
                                      "unframed": True})
        status, headers, body = raw_request("GET", "/release/drive/win", host=UPDATE)
        self.assertEqual((status, headers["Content-Length"], body), (200, None, text.encode()))
        self.assertEqual(headers["Connection"], "close")

        for spec in [{"redirect": ""}, {"redirect": "/x", "redirectStatus": 200},
                     {"unframed": 1}, {"trickleMs": "5"}]:
            with self.subTest(spec=spec):
                status, out = control("POST", "faults", dict(spec, host=UPDATE))
                self.assertEqual((status, out["ok"]), (400, False))

    def test_the_log_tells_whether_an_answer_is_still_going_out(self):
        ok_control("POST", "update/manifest", {"body": '{"version": "2.0.0.2"}'})
        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win$",
                                      "trickleMs": 200})
        ok_control("POST", "log/clear?host=" + UPDATE, {})

        def answering():
            return [e["answering"] for e in ok_control("GET", "log?host=" + UPDATE)["entries"]]

        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        conn.request("GET", "/release/drive/win", headers={"Host": UPDATE})
        resp = conn.getresponse()
        resp.read1(1)
        self.assertEqual(answering(), [True])
        # The client goes away: the next byte finds nobody to take it.
        conn.close()
        deadline = time.monotonic() + 30
        while answering() != [False] and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(answering(), [False])

        self.assertEqual(self.get("/release/drive/win")[0], 200)
        self.assertEqual([e["answering"] for e in settled_entries("log?host=" + UPDATE)], [False, False])

    def test_requests_are_logged_and_faulted_by_host(self):
        ok_control("POST", "update/manifest", {"body": "{}"})
        ok_control("POST", "faults", {"host": UPDATE, "path": "^/release/drive/win", "status": 503})
        self.assertEqual(self.get("/release/drive/win")[0], 503)
        self.assertEqual(self.get("/release/drive/win")[0], 200)
        entries = ok_control("GET", "log?host=" + UPDATE)["entries"]
        self.assertEqual([(e["path"], e["status"]) for e in entries],
                         [("/release/drive/win", 503), ("/release/drive/win", 200)])


class WebPagesTest(unittest.TestCase):
    """The tenant's web sign-in and sign-out pages, followed as a browser
    follows them: redirects by hand, the cookie carried along."""

    def setUp(self):
        self.account = ok_control("POST", "accounts", {"tenant": "webco", "userCode": "u@webco",
                                                       "name": "U"})
        self.host = "webco." + DOMAIN

    def follow(self, path, cookie=None):
        headers = {"Cookie": cookie} if cookie else {}
        status, head, body = raw_request("GET", path, headers=headers, host=self.host)
        while status == 302:
            path = head["Location"]
            status, head, body = raw_request("GET", path, headers=headers, host=self.host)
        return status, path, head, body.decode("utf-8")

    def session_works(self, session):
        status, _, _ = raw_request("GET", "/v2/mapi/members/me", host=self.host,
                                   headers={"SESSION": session,
                                            "Brelio-Tenant-Domain": self.host})
        return status == 200

    def test_sign_in_ends_on_the_finalize_page_with_a_new_session_and_sign_out_ends_it(self):
        status, path, head, text = self.follow("/auth/mobile/drive/signin")
        self.assertEqual(status, 200)
        self.assertTrue(path.startswith("/auth/signin/finalize?ticket="), path)
        session = re.search(r"<body>\s*(\S+)\s*</body>", text).group(1)
        self.assertNotEqual(session, self.account["session"])
        self.assertTrue(self.session_works(session))
        cookie = head["Set-Cookie"].split(";")[0]
        self.assertEqual(cookie, "BrelioWebSession=" + session)

        status, path, _, _ = self.follow("/auth/mobile/drive/signout", cookie)
        self.assertEqual((status, path), (200, "/auth/mobile/drive/signout/finalize"))
        self.assertFalse(self.session_works(session))
        self.assertTrue(self.session_works(self.account["session"]), "other sessions stay")

    def test_a_ticket_serves_once_any_letter_case_and_only_its_tenant(self):
        ticket = ok_control("POST", "web/ticket", {"tenant": "webco"})["ticket"]
        status, _, _, _ = self.follow("/AUTH/SIGNIN/FINALIZE?ticket=" + ticket)
        self.assertEqual(status, 200)
        status, _, _, _ = self.follow("/auth/signin/finalize?ticket=" + ticket)
        self.assertEqual(status, 400)
        status, _, _ = raw_request("GET", "/auth/mobile/drive/signin", host="nosuch." + DOMAIN)
        self.assertEqual(status, 404)


class FixtureTest(unittest.TestCase):
    def run_fixture(self, *args):
        return subprocess.run([sys.executable, os.path.join(HERE, "fixture.py")] + list(args),
                              capture_output=True, text=True, timeout=60)

    def test_start_and_stop_are_idempotent(self):
        state = tempfile.mkdtemp(prefix="standin-fixture-")
        self.addCleanup(shutil.rmtree, state, ignore_errors=True)
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            free = s.getsockname()[1]
        args = ["--port", str(free), "--state-dir", state]
        self.addCleanup(self.run_fixture, "stop", *args)
        for _ in range(2):
            result = self.run_fixture("start", *args, "--", "--quiet")
            self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(state, "standin.pid")) as f:
            pid = int(f.read())
        conn = http.client.HTTPConnection("127.0.0.1", free, timeout=10)
        try:
            conn.request("GET", "/_control/health")
            self.assertEqual(json.loads(conn.getresponse().read()), {"ok": True})
        finally:
            conn.close()
        for _ in range(2):
            result = self.run_fixture("stop", *args)
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(state, "standin.pid")))
        self.assertFalse(fixture.process_running(pid))

    def test_start_on_a_taken_port_fails_clearly(self):
        state = tempfile.mkdtemp(prefix="standin-fixture-")
        self.addCleanup(shutil.rmtree, state, ignore_errors=True)
        result = self.run_fixture("start", "--port", str(port), "--state-dir", state)
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, re.compile("already in use"))


@unittest.skipUnless(os.environ.get("STANDIN_BIG"), "set STANDIN_BIG=1 for the 2 GiB transfer")
class BigTransferTest(unittest.TestCase):
    """More than 2 GiB through an upload session with the default part size,
    streamed from generated content and back."""

    def test_session_upload_over_2_gib(self):
        acct = Account()
        size = (2 << 30) + 1
        created = acct.ok("POST", "/upload-sessions", {"name": "huge.bin", "parentId": "root",
                                                       "mimeType": "x", "size": size})["content"]
        self.assertEqual([p["length"] for p in created["parts"]], [1 << 30, 1 << 30, 1])
        expected = hashlib.sha256()
        block = blobs.generated_bytes(0, 1 << 20)
        for part in created["parts"]:
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=300)
            conn.putrequest("PUT", "/upload-sessions/%s/parts/%d" % (created["id"], part["number"]),
                            skip_host=True)
            for name, value in dict(acct.auth, Host=DRIVE,
                                    **{"Content-Length": str(part["length"])}).items():
                conn.putheader(name, value)
            conn.endheaders()
            left = part["length"]
            while left:
                # offsets of parts are multiples of 256, so the block lines up
                chunk = block[:min(left, len(block))]
                conn.send(chunk)
                expected.update(chunk)
                left -= len(chunk)
            resp = conn.getresponse()
            self.assertEqual(json.loads(resp.read())["header"]["resultCode"], 0)
            conn.close()
        item = acct.ok("POST", "/upload-sessions/%s/finish" % created["id"])["content"]
        self.assertEqual(item["hash"], expected.hexdigest())

        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=300)
        conn.request("GET", "/files/%s?media=raw" % item["id"], headers=dict(acct.auth, Host=DRIVE))
        resp = conn.getresponse()
        got = hashlib.sha256()
        total = 0
        while True:
            chunk = resp.read(1 << 20)
            if not chunk:
                break
            got.update(chunk)
            total += len(chunk)
        conn.close()
        self.assertEqual((total, got.hexdigest()), (size, expected.hexdigest()))


if __name__ == "__main__":
    unittest.main()
